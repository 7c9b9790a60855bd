' Downloads the scanner into a CSV file and empties the scanner only when the file holds every
' barcode the scanner reported.
'   cscript //nologo download.vbs OUTPUT.csv [STARTPORT]
' Exit status: 0 downloaded and emptied (or nothing to empty), 1 not emptied, 2 wrong arguments.
' An existing OUTPUT.csv is never replaced: it may hold the only copy of an earlier download.
Option Explicit

Function CsvField(text)
    If InStr(text, ",") > 0 Or InStr(text, """") > 0 Or InStr(text, vbCr) > 0 Or InStr(text, vbLf) > 0 Then
        CsvField = """" & Replace(text, """", """""") & """"
    Else
        CsvField = text
    End If
End Function

Function Two(n)
    Two = Right("0" & n, 2)
End Function

Function IsoTime(d)
    IsoTime = Year(d) & "-" & Two(Month(d)) & "-" & Two(Day(d)) & " " & _
              Two(Hour(d)) & ":" & Two(Minute(d)) & ":" & Two(Second(d))
End Function

Sub Quit(status, message)
    WScript.Echo message
    WScript.Quit status
End Sub

Dim fso, clicker, path, count, k, rows, written, file, text, failure
If WScript.Arguments.Count < 1 Or WScript.Arguments.Count > 2 Then
    Quit 2, "usage: cscript //nologo download.vbs OUTPUT.csv [STARTPORT]"
End If
path = WScript.Arguments(0)
Set fso = CreateObject("Scripting.FileSystemObject")
If fso.FileExists(path) Then Quit 1, "not emptied: " & path & " exists already"

Set clicker = CreateObject("Harrowtally.Clicker")
If WScript.Arguments.Count = 2 Then clicker.startport = CInt(WScript.Arguments(1))
clicker.open_clicker                        ' searches 16 ports from startport and downloads
If Not clicker.open_ok Then Quit 1, "no scanner found"
count = clicker.num_barcodes

' Write the file; any failure ends here, with the scanner untouched.
On Error Resume Next
Set file = fso.CreateTextFile(path, False)
If Err.Number = 0 Then
    file.WriteLine "item,barcode,type,scan_time"
    written = 0
    For k = 1 To count
        clicker.get_barcode = k
        ' A barcode whose packet could not be read has no type: leave it out, so the count
        ' below shows the download was incomplete.
        If Not IsEmpty(clicker.stype) Then
            file.WriteLine k & "," & CsvField(clicker.sbarcode) & "," & clicker.stype & "," & IsoTime(clicker.stime)
            written = written + 1
        End If
    Next
    file.Close
End If
failure = Err.Number
text = Err.Description
On Error GoTo 0
If failure <> 0 Then Quit 1, "not emptied: " & path & " was not written (" & text & ")"

'' Count the rows the file holds now, as read back from the disk: the lines after the header, each
' ended by CR LF.
Set file = fso.OpenTextFile(path, 1)
rows = UBound(Split(file.ReadAll, vbCrLf)) - 1
file.Close
WScript.Echo "downloaded " & written & " of " & count & " barcodes into " & path
If rows <> count Or written <> count Then Quit 1, "not emptied: the file holds " & rows & " of " & count & " barcodes"
If count = 0 Then Quit 0, "nothing to empty"

clicker.startport = clicker.comport         ' EmptyScanner uses startport as it is, without a search
clicker.EmptyScanner
If Not clicker.empty_ok Then Quit 1, "not emptied: " & clicker.log
If clicker.num_barcodes > count Then
    Quit 1, "emptied, but the scanner held " & clicker.num_barcodes & " barcodes: some were scanned after the download"
End If
Quit 0, "emptied the scanner"
