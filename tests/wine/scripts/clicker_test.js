// Harrowtally.Clicker from JScript: the main path against the stand-in scanner library and the
// errors as JScript sees them (error objects carrying the HRESULT 0x800A0000 + number).
var shell = new ActiveXObject("WScript.Shell");
var environment = shell.Environment("PROCESS");
var arch = environment.Item("HARROWTALLY_ARCH");
var passed = 0, failed = 0;

function errorNumber(e) {
    return e.number & 0xFFFF;
}

// Runs one case; a thrown check or a call error fails it.
function run(name, body) {
    var outcome = "PASS", detail = "";
    try {
        body();
    } catch (e) {
        outcome = "FAIL";
        detail = " -- " + (e.number !== undefined ? "error " + errorNumber(e) + " " + e.description : e);
    }
    if (outcome === "PASS") passed++;
    else failed++;
    WScript.Echo(outcome + " " + arch + " jscript: " + name + detail);
}

function expect(condition, what) {
    if (!condition) throw what;
}

function expectError(number, what, body) {
    try {
        body();
    } catch (e) {
        if (errorNumber(e) === number) return e;
        throw e;
    }
    throw what + ": no error";
}

run("hello and a new object", function () {
    var c = new ActiveXObject("Harrowtally.Clicker");
    expect(c.hello === "Clicker control successfully installed", "hello");
    expect(c.comport === 0 && c.num_barcodes === 0 && c.open_ok === false && c.serial === "", "new state");
    expect(typeof c.startport === "undefined", "startport empty");
});

run("values through startport and lastport", function () {
    var c = new ActiveXObject("Harrowtally.Clicker");
    c.startport = 3;
    expect(c.startport === 3, "number");
    c.lastport = "4";
    expect(c.startport === "4", "text stays text");
    c.get_barcode = -2;
    expect(c.get_barcode === -2, "get_barcode");
});

run("errors: 94 with text and source, 13, 438", function () {
    var c = new ActiveXObject("Harrowtally.Clicker");
    var e = expectError(94, "newparams null", function () { c.newparams = null; });
    expect(e.description === "Invalid use of Null", "description " + e.description);
    expect((e.number >>> 16) === 0x800A, "facility " + (e.number >>> 0).toString(16));
    expectError(13, "object without a default value", function () {
        c.cur_clicker_params = new ActiveXObject("Scripting.Dictionary");
    });
    expectError(438, "unknown member", function () { c.no_such_member(); });
});

// A function given as a value is never called for it: a member that takes a value asks an object
// for its default property, which a function does not run.
run("a function given as a value is not called", function () {
    var calls = 0;
    var port = function () { calls++; return 3; };
    var c = new ActiveXObject("Harrowtally.Clicker");
    var members = {
        startport: function () { c.startport = port; c.open_clicker(); },
        lastport: function () { c.lastport = port; c.open_clicker(); },
        newparams: function () { c.newparams = port; },
        cur_clicker_params: function () { c.cur_clicker_params = port; },
        pnewdatetime: function () { c.pnewdatetime = port; }
    };
    for (var name in members) {
        try { members[name](); } catch (e) { }
        expect(calls === 0, name + " called the function");
        expect(!(c.open_ok && c.comport === 3), name + " opened the port the function answers");
    }
});

// A port that holds no whole number (parseInt("") is NaN) is an overflow in every member that
// takes one, before the scanner library is called.
run("NaN and infinite ports are overflows everywhere", function () {
    var members = {
        open_clicker: function (c) { c.open_clicker(); },
        EmptyScanner: function (c) { c.EmptyScanner(); },
        EmptyScannerIf: function (c) { return c.EmptyScannerIf(2, "1A2B3C4D5E6F7081"); },
        getdate: function (c) { c.getdate(); },
        reset_params: function (c) { c.newparams = "010501"; c.reset_params(); },
        showparams: function (c) { c.cur_clicker_params = "0105"; return c.showparams; }
    };
    var ports = [NaN, Infinity, -Infinity];
    for (var p = 0; p < ports.length; p++) {
        for (var name in members) {
            var c = new ActiveXObject("Harrowtally.Clicker");
            c.startport = ports[p];
            expectError(6, name + " with startport " + ports[p], function () { members[name](c); });
            expect(c.log === "", name + " with startport " + ports[p] + " wrote a trace: " + c.log);
        }
    }
});

run("main path: open, accessors, record", function () {
    var c = new ActiveXObject("Harrowtally.Clicker");
    c.startport = 3;
    c.open_clicker();
    expect(c.open_ok === true && c.comport === 3 && c.num_barcodes === 2, "open");
    expect(c.serial === "1A2B3C4D5E6F7081", "serial " + c.serial);
    c.get_barcode = 2;
    expect(c.sbarcode === "ABC-42" && c.stype === 3, "barcode 2");
    var when = new Date(c.stime);
    expect(when.getFullYear() === 2026 && when.getMonth() === 11 && when.getDate() === 6 &&
           when.getHours() === 14 && when.getMinutes() === 31 && when.getSeconds() === 17, "stime " + when);
    var record = c.alldata;
    expect(record.length === 100 && record.substr(0, 19) === "V011A2B3C4D5E6F7081", "record " + record);
});

run("EmptyScannerIf: NaN counts are overflows, a count that differs keeps the scanner", function () {
    var c = new ActiveXObject("Harrowtally.Clicker");
    c.startport = 3;
    c.open_clicker();
    expectError(6, "NaN count", function () { c.EmptyScannerIf(NaN, c.serial); });
    expectError(6, "parseInt(\"\") count", function () { c.EmptyScannerIf(parseInt(""), c.serial); });
    expect(c.EmptyScannerIf(c.num_barcodes + 1, c.serial) === false && c.empty_ok === false &&
           /^CHNG:01:OPOK:03\d{6}\*0$/.test(c.log), "refused: " + c.log);
    c.open_clicker();
    expect(c.num_barcodes === 2, "barcodes kept: " + c.num_barcodes);
});

WScript.Echo("jscript: " + passed + " passed, " + failed + " failed");
WScript.Quit(failed === 0 ? 0 : 1);
