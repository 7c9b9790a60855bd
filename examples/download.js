// Downloads the scanner into a new CSV file and empties the scanner only when the file holds every
// barcode the scanner reported.
//   cscript //nologo download.js [OUTPUT.csv [STARTPORT]]
// Without OUTPUT.csv the file is %TEMP%\scans-YYYY-MM-DD-HHMMSS.csv; an existing folder as OUTPUT gets
// the same name in it. The folder of OUTPUT.csv must exist. An existing OUTPUT.csv is never
// replaced: it may hold the only copy of an earlier download.
// Exit status: 0 downloaded and emptied (or nothing to empty), 1 not emptied (the reason is
// printed; for an error of the component, its number and what to do), 2 wrong arguments.
function quit(status, message) {
    WScript.Echo(message);
    WScript.Quit(status);
}

// What to do about the errors an installation can give.
var advice = {
    429: "Harrowtally.Clicker is not registered: install the Harrowtally package, or register " +
         "Harrowtally.dll with the regsvr32 of its bitness",
    53: "csp2a.DLL was not found: put the scanner maker's csp2a.DLL in the folder of Harrowtally.dll",
    48: "csp2a.DLL does not load, most often because it is of the other bitness: the maker's " +
        "32-bit csp2a.DLL needs the 32-bit component (the x86 package), which serves 64-bit hosts too",
    453: "csp2a.DLL lacks a function the component calls: use the scanner maker's csp2a.DLL"
};

// An automation error carries the HRESULT 0x800A0000 + its number.
function fail(e) {
    var number = e.number & 0xFFFF;
    WScript.Echo("not emptied: error " + number + ": " + e.description);
    if (advice[number]) WScript.Echo(advice[number]);
    WScript.Quit(1);
}

function csvField(text) {
    return /[",\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
}

function two(n) {
    return (n < 10 ? "0" : "") + n;
}

function isoDate(d) {
    return d.getFullYear() + "-" + two(d.getMonth() + 1) + "-" + two(d.getDate());
}

function isoTime(date) {  // the scan time arrives as an automation date
    var d = new Date(date);
    return isoDate(d) + " " + two(d.getHours()) + ":" + two(d.getMinutes()) + ":" + two(d.getSeconds());
}

function main() {
    var args = WScript.Arguments;
    var usage = "usage: cscript //nologo download.js [OUTPUT.csv [STARTPORT]]";
    if (args.length > 2) quit(2, usage);
    if (args.length == 2 && !/^-?[0-9]{1,9}$/.test(args(1))) quit(2, "STARTPORT is a whole number; " + usage);
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var path = args.length == 0 ? fso.GetSpecialFolder(2).Path : args(0);  // 2: %TEMP%
    if (args.length == 0 || fso.FolderExists(path)) {
        // A new name every run, so a scheduled run never meets the last one's file.
        var now = new Date();
        path = fso.BuildPath(path, "scans-" + isoDate(now) + "-" + two(now.getHours()) + two(now.getMinutes()) +
                                       two(now.getSeconds()) + ".csv");
    }
    var folder = fso.GetParentFolderName(path);
    if (folder != "" && !fso.FolderExists(folder)) {
        quit(1, "not emptied: the folder " + folder + " does not exist; create it first");
    }
    if (fso.FileExists(path)) quit(1, "not emptied: " + path + " exists already");

    var clicker = new ActiveXObject("Harrowtally.Clicker");
    if (args.length == 2) clicker.startport = parseInt(args(1), 10);
    clicker.open_clicker();  // searches 16 ports from startport and downloads
    if (!clicker.open_ok) quit(1, "not emptied: no scanner found (" + clicker.log + ")");
    var count = clicker.num_barcodes;
    var serial = clicker.serial;  // the scanner read: only it, holding count barcodes, is erased

    // Each value is read once: in a 64-bit host every read crosses into the surrogate process. A
    // barcode whose packet could not be read has no type: it is left out of the file, so the count
    // below shows the download was incomplete.
    var barcodes = [], types = [], times = [];
    for (var k = 1; k <= count; k++) {
        clicker.get_barcode = k;
        types[k] = clicker.stype;
        if (typeof types[k] == "undefined") continue;
        barcodes[k] = clicker.sbarcode;
        times[k] = clicker.stime;
    }

    // Write the file; any failure ends here, with the scanner untouched and no part of the file
    // left under its name.
    var lines = ["item,barcode,type,scan_time"];
    var unread = 0;
    for (var k = 1; k <= count; k++) {
        if (typeof types[k] == "undefined") continue;
        // 2001-01-01 00:00:00 stands for a time stamp the component could not read.
        if (new Date(times[k]).getTime() == new Date(2001, 0, 1).getTime()) unread++;
        lines.push(k + "," + csvField(barcodes[k]) + "," + types[k] + "," + isoTime(times[k]));
    }
    var created = false;
    try {
        var file = fso.CreateTextFile(path, false);
        created = true;
        for (var i = 0; i < lines.length; i++) file.WriteLine(lines[i]);
        file.Close();
    } catch (e) {
        try {
            if (created) fso.DeleteFile(path);
        } catch (ignored) {
        }
        quit(1, "not emptied: " + path + " was not written (" + (e.message || "error " + (e.number & 0xFFFF)) + ")");
    }

    // Read the file back from the disk and compare it line by line: a character the file's code
    // page cannot hold comes back as another one, and then the scanner keeps its barcodes.
    var input = fso.OpenTextFile(path, 1);
    var back = input.ReadAll().split("\r\n");
    input.Close();
    var written = lines.length - 1;
    WScript.Echo("downloaded " + written + " of " + count + " barcodes into " + path);
    for (var i = 0; i < lines.length; i++) {
        if (back[i] !== lines[i]) {
            quit(1, "not emptied: line " + (i + 1) + " of the file is not what was written (a character this " +
                    "computer's code page cannot hold? harrowtally.exe writes UTF-8)");
        }
    }
    if (back.length != lines.length + 1 || written != count) {
        quit(1, "not emptied: the file holds " + (back.length - 2) + " of " + count + " barcodes");
    }
    if (count == 0) quit(0, "nothing to empty");
    if (unread > 0) {
        quit(1, "not emptied: " + unread + " scan times could not be read (2001-01-01 00:00:00 in the file); " +
                "the scanner keeps their time stamps");
    }

    // EmptyScannerIf opens startport as it is, without a search, and erases only the scanner read
    // above while it still holds what was saved.
    clicker.startport = clicker.comport;
    if (!clicker.EmptyScannerIf(count, serial)) {
        if (clicker.log.substr(0, 4) == "CHNG") {
            quit(1, "not emptied: the scanner changed since the download (a barcode scanned since, or " +
                    "another scanner on the port); run again to save the rest");
        }
        quit(1, "not emptied: " + clicker.log);
    }
    quit(0, "emptied the scanner");
}

// main ends every run with quit: only an error of the component (new ActiveXObject's 429 among
// them) comes back here.
try {
    main();
} catch (e) {
    fail(e);
}
