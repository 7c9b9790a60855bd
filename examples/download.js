// Downloads the scanner into a CSV file and empties the scanner only when the file holds every
// barcode the scanner reported.
//   cscript //nologo download.js OUTPUT.csv [STARTPORT]
// Exit status: 0 downloaded and emptied (or nothing to empty), 1 not emptied, 2 wrong arguments.
// An existing OUTPUT.csv is never replaced: it may hold the only copy of an earlier download.
function quit(status, message) {
    WScript.Echo(message);
    WScript.Quit(status);
}

function csvField(text) {
    return /[",\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
}

function two(n) {
    return (n < 10 ? "0" : "") + n;
}

function isoTime(date) {  // the scan time arrives as an automation date
    var d = new Date(date);
    return d.getFullYear() + "-" + two(d.getMonth() + 1) + "-" + two(d.getDate()) + " " +
           two(d.getHours()) + ":" + two(d.getMinutes()) + ":" + two(d.getSeconds());
}

var args = WScript.Arguments;
if (args.length < 1 || args.length > 2) quit(2, "usage: cscript //nologo download.js OUTPUT.csv [STARTPORT]");
var path = args(0);
var fso = new ActiveXObject("Scripting.FileSystemObject");
if (fso.FileExists(path)) quit(1, "not emptied: " + path + " exists already");

var clicker = new ActiveXObject("Harrowtally.Clicker");
if (args.length == 2) clicker.startport = parseInt(args(1), 10);
clicker.open_clicker();  // searches 16 ports from startport and downloads
if (!clicker.open_ok) quit(1, "no scanner found");
var count = clicker.num_barcodes;

// Write the file; any failure ends here, with the scanner untouched.
var written = 0;
try {
    var file = fso.CreateTextFile(path, false);
    file.WriteLine("item,barcode,type,scan_time");
    for (var k = 1; k <= count; k++) {
        clicker.get_barcode = k;
        var type = clicker.stype;
        // A barcode whose packet could not be read has no type: leave it out, so the count below
        // shows the download was incomplete.
        if (typeof type == "undefined") continue;
        file.WriteLine(k + "," + csvField(clicker.sbarcode) + "," + type + "," + isoTime(clicker.stime));
        written++;
    }
    file.Close();
} catch (e) {
    quit(1, "not emptied: " + path + " was not written (" + e.message + ")");
}

// Count the rows the file holds now, as read back from the disk: the lines after the header, each
// ended by CR LF.
var input = fso.OpenTextFile(path, 1);
var rows = input.ReadAll().split("\r\n").length - 2;
input.Close();
WScript.Echo("downloaded " + written + " of " + count + " barcodes into " + path);
if (rows != count || written != count) quit(1, "not emptied: the file holds " + rows + " of " + count + " barcodes");
if (count == 0) quit(0, "nothing to empty");

clicker.startport = clicker.comport;  // EmptyScanner uses startport as it is, without a search
clicker.EmptyScanner();
if (!clicker.empty_ok) quit(1, "not emptied: " + clicker.log);
if (clicker.num_barcodes > count) {
    quit(1, "emptied, but the scanner held " + clicker.num_barcodes + " barcodes: some were scanned after the download");
}
quit(0, "emptied the scanner");
