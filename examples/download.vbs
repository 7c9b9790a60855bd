' Downloads the scanner into a new CSV file and empties the scanner only when the file holds every
' barcode the scanner reported.
'   cscript //nologo download.vbs [OUTPUT.csv [STARTPORT]]
' Without OUTPUT.csv the file is %TEMP%\scans-YYYY-MM-DD-HHMMSS.csv; an existing folder as OUTPUT gets
' the same name in it. The folder of OUTPUT.csv must exist. An existing OUTPUT.csv is never
' replaced: it may hold the only copy of an earlier download.
' Exit status: 0 downloaded and emptied (or nothing to empty), 1 not emptied (the reason is
' printed; for an error of the component, its number and what to do), 2 wrong arguments.
Option Explicit

' What to do about the errors an installation can give.
Function Advice(number)
    Select Case number
        Case 429
            Advice = "Harrowtally.Clicker is not registered: install the Harrowtally package, or register " & _
                     "Harrowtally.dll with the regsvr32 of its bitness"
        Case 53
            Advice = "csp2a.DLL was not found: put the scanner maker's csp2a.DLL in the folder of Harrowtally.dll"
        Case 48
            Advice = "csp2a.DLL does not load, most often because it is of the other bitness: the maker's " & _
                     "32-bit csp2a.DLL needs the 32-bit component (the x86 package), which serves 64-bit hosts too"
        Case 453
            Advice = "csp2a.DLL lacks a function the component calls: use the scanner maker's csp2a.DLL"
        Case Else
            Advice = ""
    End Select
End Function

Sub Quit(status, message)
    WScript.Echo message
    WScript.Quit status
End Sub

Sub Fail(number, description)
    WScript.Echo "not emptied: error " & number & ": " & description
    If Advice(number) <> "" Then WScript.Echo Advice(number)
    WScript.Quit 1
End Sub

Function CsvField(text)
    If InStr(text, ",") > 0 Or InStr(text, """") > 0 Or InStr(text, vbCr) > 0 Or InStr(text, vbLf) > 0 Then
        CsvField = """" & Replace(text, """", """""") & """"
    Else
        CsvField = text
    End If
End Function

' "3", "-1": digits with a minus sign in front at most, short enough for a port number.
Function IsWholeNumber(text)
    Dim i, c
    IsWholeNumber = Len(text) > 0 And Len(text) <= 9
    For i = 1 To Len(text)
        c = Mid(text, i, 1)
        If Not ((c >= "0" And c <= "9") Or (c = "-" And i = 1 And Len(text) > 1)) Then IsWholeNumber = False
    Next
End Function

Function Two(n)
    Two = Right("0" & n, 2)
End Function

Function IsoDate(d)
    IsoDate = Year(d) & "-" & Two(Month(d)) & "-" & Two(Day(d))
End Function

Function IsoTime(d)
    IsoTime = IsoDate(d) & " " & Two(Hour(d)) & ":" & Two(Minute(d)) & ":" & Two(Second(d))
End Function

Sub Main()
    Dim fso, clicker, path, folder, started, count, k, barcodes, types, times, file, written, failure, text
    Dim lines, back, created, usage, serial, unread
    usage = "usage: cscript //nologo download.vbs [OUTPUT.csv [STARTPORT]]"
    If WScript.Arguments.Count > 2 Then Quit 2, usage
    If WScript.Arguments.Count = 2 Then
        If Not IsWholeNumber(WScript.Arguments(1)) Then Quit 2, "STARTPORT is a whole number; " & usage
    End If
    Set fso = CreateObject("Scripting.FileSystemObject")
    If WScript.Arguments.Count = 0 Then
        folder = fso.GetSpecialFolder(2).Path                                               ' 2: %TEMP%
    ElseIf fso.FolderExists(WScript.Arguments(0)) Then
        folder = WScript.Arguments(0)
    End If
    If folder <> "" Then
        ' A new name every run, so a scheduled run never meets the last one's file.
        started = Now
        path = fso.BuildPath(folder, "scans-" & IsoDate(started) & "-" & _
               Two(Hour(started)) & Two(Minute(started)) & Two(Second(started)) & ".csv")
    Else
        path = WScript.Arguments(0)
    End If
    folder = fso.GetParentFolderName(path)
    If folder <> "" And Not fso.FolderExists(folder) Then
        Quit 1, "not emptied: the folder " & folder & " does not exist; create it first"
    End If
    If fso.FileExists(path) Then Quit 1, "not emptied: " & path & " exists already"

    Set clicker = CreateObject("Harrowtally.Clicker")
    If WScript.Arguments.Count = 2 Then clicker.startport = CLng(WScript.Arguments(1))
    clicker.open_clicker                    ' searches 16 ports from startport and downloads
    If Not clicker.open_ok Then Quit 1, "not emptied: no scanner found (" & clicker.log & ")"
    count = clicker.num_barcodes
    serial = clicker.serial                 ' the scanner read: only it, holding count barcodes, is erased

    ' Each value is read once: in a 64-bit host every read crosses into the surrogate process. A
    ' barcode whose packet could not be read has no type: it is left out of the file, so the count
    ' below shows the download was incomplete.
    ReDim barcodes(count), types(count), times(count)
    For k = 1 To count
        clicker.get_barcode = k
        types(k) = clicker.stype
        If Not IsEmpty(types(k)) Then
            barcodes(k) = clicker.sbarcode
            times(k) = clicker.stime
        End If
    Next

    ' The file's lines; a barcode without a type is left out, which the count below shows.
    ReDim lines(count)
    lines(0) = "item,barcode,type,scan_time"
    written = 0
    unread = 0
    For k = 1 To count
        If Not IsEmpty(types(k)) Then
            ' 2001-01-01 00:00:00 stands for a time stamp the component could not read.
            If times(k) = DateSerial(2001, 1, 1) Then unread = unread + 1
            written = written + 1
            lines(written) = k & "," & CsvField(barcodes(k)) & "," & types(k) & "," & IsoTime(times(k))
        End If
    Next

    ' Write the file; any failure ends here, with the scanner untouched and no part of the file
    ' left under its name.
    created = False
    On Error Resume Next
    Set file = fso.CreateTextFile(path, False)
    If Err.Number = 0 Then
        created = True
        For k = 0 To written
            file.WriteLine lines(k)
        Next
        file.Close
    End If
    failure = Err.Number
    text = Err.Description
    If failure <> 0 And created Then fso.DeleteFile path
    On Error GoTo 0
    If failure <> 0 Then Quit 1, "not emptied: " & path & " was not written (error " & failure & " " & text & ")"

    ' Read the file back from the disk and compare it line by line: a character the file's code
    ' page cannot hold comes back as another one, and then the scanner keeps its barcodes.
    Set file = fso.OpenTextFile(path, 1)
    back = Split(file.ReadAll, vbCrLf)
    file.Close
    WScript.Echo "downloaded " & written & " of " & count & " barcodes into " & path
    If UBound(back) <> written + 1 Then Quit 1, "not emptied: the file does not hold the lines written"
    For k = 0 To written
        If back(k) <> lines(k) Then
            Quit 1, "not emptied: line " & (k + 1) & " of the file is not what was written (a character " & _
                    "this computer's code page cannot hold? harrowtally.exe writes UTF-8)"
        End If
    Next
    If written <> count Then Quit 1, "not emptied: the file holds " & written & " of " & count & " barcodes"
    If count = 0 Then Quit 0, "nothing to empty"
    If unread > 0 Then
        Quit 1, "not emptied: " & unread & " scan times could not be read (2001-01-01 00:00:00 in the file); " & _
                "the scanner keeps their time stamps"
    End If

    ' EmptyScannerIf opens startport as it is, without a search, and erases only the scanner read
    ' above while it still holds what was saved.
    clicker.startport = clicker.comport
    If Not clicker.EmptyScannerIf(count, serial) Then
        If Left(clicker.log, 4) = "CHNG" Then
            Quit 1, "not emptied: the scanner changed since the download (a barcode scanned since, or " & _
                    "another scanner on the port); run again to save the rest"
        End If
        Quit 1, "not emptied: " & clicker.log
    End If
    Quit 0, "emptied the scanner"
End Sub

' Main ends every run with Quit: only an error of the component (or CreateObject's 429) ends it
' and comes back here.
On Error Resume Next
Main
Fail Err.Number, Err.Description
