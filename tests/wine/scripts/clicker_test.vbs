' Harrowtally.Clicker driven from VBScript through IDispatch, against the simulated scanner library
' with the device of tests/wine/scanner.txt (HARROWTALLY_SIM_STATE names its copy): one scanner on
' port 3, device ID 1A2B3C4D5E6F7081, its clock at the PC's time, two barcodes. Each scanner case
' writes the device afresh, with a fault switch where it needs one.
' Usage: cscript clicker_test.vbs [main|locale|absent|partial|badfile]
'   main     the simulated library beside the component
'   locale   the conversion cases alone, for a run in another user locale
'   absent   no csp2a.DLL anywhere            -> 53
'   partial  a library without csp2GetSwVersion -> 453
'   badfile  a file that does not load          -> 48
' Runs behind common.vbs.

Dim fso
Set fso = CreateObject("Scripting.FileSystemObject")
Const HelloText = "Clicker control successfully installed"
Const SerialText = "1A2B3C4D5E6F7081"
Dim versionText, infoText
versionText = "FK1.00" & String(4, Chr(0))
infoText = "0x1:0x0:" & versionText & ":0x1:0x0"

Dim stateFile, baseDevice
stateFile = shell.Environment("PROCESS")("HARROWTALLY_SIM_STATE")
If stateFile <> "" Then baseDevice = fso.OpenTextFile(stateFile).ReadAll

' Writes the test device, with extra lines (fault switches) after it.
Sub UseDevice(extra)
    Dim file
    Set file = fso.CreateTextFile(stateFile, True)
    file.Write baseDevice & vbLf & Replace(extra, "|", vbLf) & vbLf
    file.Close
End Sub

' The clock field of a record (six two-digit fields, seconds first) as a date.
Function ClockOf(record)
    Dim f
    f = Mid(record, 21, 12)
    ClockOf = DateSerial(2000 + CInt(Mid(f, 11, 2)), CInt(Mid(f, 9, 2)), CInt(Mid(f, 7, 2))) + _
              TimeSerial(CInt(Mid(f, 5, 2)), CInt(Mid(f, 3, 2)), CInt(Mid(f, 1, 2)))
End Function

Function Matches(text, pattern)
    Dim re
    Set re = New RegExp
    re.Pattern = pattern
    Matches = re.Test(text)
End Function

Function SameTime(a, b)
    SameTime = (VarType(a) = vbDate) And Abs(CDbl(a) - CDbl(b)) < 1 / 172800
End Function

' An object whose default member gives a text.
Class DefaultText
    Public Text
    Public Default Property Get Value
        Value = Text
    End Property
End Class

' An object whose default member answers the object itself: no value behind it.
Class SelfDefault
    Public Default Property Get Value
        Set Value = Me
    End Property
End Class

' A link in a chain of default members: it answers the next link, or its text at the chain's end.
Class DefaultLink
    Public Following
    Public Text
    Public Default Property Get Value
        If IsObject(Following) Then
            Set Value = Following
        Else
            Value = Text
        End If
    End Property
End Class

Function DefaultChain(links)
    Dim i, link, first
    Set first = Nothing
    For i = 1 To links
        Set link = New DefaultLink
        If first Is Nothing Then link.Text = "3" Else Set link.Following = first
        Set first = link
    Next
    Set DefaultChain = first
End Function

' An object that, when released, puts a new one of its kind into the Clicker's startport.
Dim replacingClicker, replacersMade, replacersEnded
Class Replacer
    Private Sub Class_Initialize
        replacersMade = replacersMade + 1
    End Sub
    Private Sub Class_Terminate
        replacersEnded = replacersEnded + 1
        If replacersMade < 150 Then Set replacingClicker.startport = New Replacer
    End Sub
End Class

' ---- state and simple accessors -------------------------------------------------------------

Sub NewObjectState()
    Dim c
    Set c = NewClicker()
    CheckEqual c.comport, CInt(0), "comport"
    CheckEqual c.num_barcodes, CInt(0), "num_barcodes"
    CheckEqual c.open_ok, False, "open_ok"
    CheckEqual c.empty_ok, False, "empty_ok"
    CheckEqual c.serial, "", "serial"
    CheckEqual c.log, "", "log"
    CheckEqual c.get_barcode, CInt(0), "get_barcode"
    Check IsEmpty(c.startport), "startport not Empty"
End Sub

Sub HelloAnswers()
    Dim c
    Set c = NewClicker()
    CheckEqual c.hello, HelloText, "hello"
    CheckEqual c.HELLO, HelloText, "names match without case"
End Sub

Sub StartportKeepsEveryType()
    Dim c, values, v
    Set c = NewClicker()
    values = Array(CInt(5), CLng(70000), 2.5, CSng(1.25), "abc", "", True, CCur(1.5), CByte(7), _
                   DateSerial(2026, 12, 6) + TimeSerial(14, 30, 5), Empty)
    For Each v In values
        c.startport = v
        CheckEqual c.startport, v, "startport " & TypeName(v)
    Next
    c.startport = Null
    Check IsNull(c.startport), "startport Null"
    c.startport = Array(1, 2, 3)
    Check IsArray(c.startport), "startport array"
    If IsArray(c.startport) Then CheckEqual UBound(c.startport), CLng(2), "startport array bound"
End Sub

Sub StartportHoldsObjects()
    Dim c, d, o
    Set c = NewClicker()
    Set d = CreateObject("Scripting.Dictionary")
    Set c.startport = d
    Check IsObject(c.startport), "Set startport keeps the reference"
    If IsObject(c.startport) Then Check c.startport Is d, "the same object comes back"
    Set o = New DefaultText
    o.Text = "7"
    c.startport = o
    CheckEqual c.startport, "7", "assigning an object by value stores its default value"
End Sub

Sub GetBarcodeRange()
    Dim c, v, n
    Set c = NewClicker()
    For Each v In Array(-5, 32767, -32768, 0, 1)
        c.get_barcode = v
        CheckEqual c.get_barcode, CInt(v), "get_barcode " & v
    Next
    c.get_barcode = "12"
    CheckEqual c.get_barcode, CInt(12), "get_barcode from text"
    On Error Resume Next
    c.get_barcode = 32768
    n = Err.Number: Err.Clear
    ExpectError n, 6, "get_barcode 32768"
    c.get_barcode = "abc"
    n = Err.Number: Err.Clear
    ExpectError n, 13, "get_barcode abc"
    CheckEqual c.get_barcode, CInt(12), "get_barcode kept after failed assignments"
End Sub

Sub ByReferenceArgumentsUnchanged()
    Dim c, port, params, list, stamp, arr
    Set c = NewClicker()
    port = "3": params = 12: list = 2.5: stamp = "051710061226"
    c.lastport = port
    c.newparams = params
    c.cur_clicker_params = list
    c.pnewdatetime = stamp
    CheckEqual port, "3", "lastport argument"
    CheckEqual params, 12, "newparams argument"
    CheckEqual list, 2.5, "cur_clicker_params argument"
    CheckEqual stamp, "051710061226", "pnewdatetime argument"
    CheckEqual c.startport, "3", "lastport stores the text as text"
    arr = Array(1)
    On Error Resume Next
    c.newparams = arr
    ExpectError Err.Number, 13, "newparams array"
    Err.Clear
    Check IsArray(arr), "array argument unchanged"
End Sub

' Each by-reference property is handed a long text held in a variable, with other texts made and
' dropped in between: the variable keeps its text, and the host's memory stays whole.
Sub LongTextsByReference()
    Dim c, x, kept, junk, i, member, members
    Set c = NewClicker()
    members = Array("lastport", "newparams", "cur_clicker_params", "pnewdatetime")
    kept = String(100000, "7")
    On Error Resume Next
    For i = 1 To 25
        For Each member In members
            x = String(100000, "7")
            Select Case member
                Case "lastport": c.lastport = x
                Case "newparams": c.newparams = x
                Case "cur_clicker_params": c.cur_clicker_params = x
                Case "pnewdatetime": c.pnewdatetime = x
            End Select
            Err.Clear
            junk = String(50000 + i, "x") & member
            Check Len(x) = 100000 And x = kept, member & " changed its argument (length " & Len(x) & ")"
        Next
    Next
End Sub

Sub SelfReturningDefaultMember()
    Dim c
    Set c = NewClicker()
    On Error Resume Next
    c.newparams = New SelfDefault
    ExpectError Err.Number, 13, "newparams given an object that answers itself"
    Err.Clear
    c.cur_clicker_params = New SelfDefault
    ExpectError Err.Number, 13, "cur_clicker_params given an object that answers itself"
    Err.Clear
    Set c.startport = New SelfDefault
    c.open_clicker
    ExpectError Err.Number, 13, "open_clicker with startport an object that answers itself"
    Err.Clear
    c.pnewdatetime = New SelfDefault
    ExpectError Err.Number, 13, "pnewdatetime given an object that answers itself"
    Err.Clear
    c.lastport = New SelfDefault
    ExpectError Err.Number, 13, "lastport given an object that answers itself, as startport's let"
    Err.Clear
    Dim text
    Set text = New DefaultText
    text.Text = "3"
    c.lastport = text
    CheckEqual c.startport, "3", "lastport given an object takes its default member's value"
End Sub

' Every member that takes a value follows a chain of eight default members to its value, and none
' follows a ninth.
Sub DefaultMemberChains()
    Dim c, links, member, expected
    Set c = NewClicker()
    On Error Resume Next
    For Each links In Array(8, 9)
        If links = 8 Then expected = 0 Else expected = 13
        For Each member In Array("startport", "lastport", "newparams", "cur_clicker_params", "pnewdatetime")
            Err.Clear
            Select Case member
                Case "startport": c.startport = DefaultChain(links)
                Case "lastport": c.lastport = DefaultChain(links)
                Case "newparams": c.newparams = DefaultChain(links)
                Case "cur_clicker_params": c.cur_clicker_params = DefaultChain(links)
                Case "pnewdatetime": c.pnewdatetime = DefaultChain(links)
            End Select
            ExpectError Err.Number, expected, member & " given a chain of " & links & " default members"
        Next
    Next
    Err.Clear
    c.lastport = DefaultChain(8)
    CheckEqual c.startport, "3", "lastport given a chain of default members takes the value at its end"
End Sub

' Each assignment releases the previous object, which assigns startport again from inside that
' release: every object made is released in the end, none lost between the two assignments.
Sub ReplacedFromItsOwnRelease()
    Dim i
    replacersMade = 0
    replacersEnded = 0
    Set replacingClicker = NewClicker()
    For i = 1 To 75
        Set replacingClicker.startport = New Replacer
    Next
    Set replacingClicker = Nothing
    CheckEqual replacersEnded, replacersMade, "objects released of " & replacersMade & " made"
    Check replacersMade >= 150, "releases replaced startport (" & replacersMade & " objects made)"
End Sub

Sub LetOnlyAndReadOnlyMembers()
    Dim c, x
    Set c = NewClicker()
    On Error Resume Next
    x = c.lastport
    ExpectError Err.Number, 438, "reading lastport"
    Err.Clear
    x = c.newparams
    ExpectError Err.Number, 438, "reading newparams"
    Err.Clear
    x = c.cur_clicker_params
    ExpectError Err.Number, 438, "reading cur_clicker_params"
    Err.Clear
    x = c.pnewdatetime
    ExpectError Err.Number, 438, "reading pnewdatetime"
    Err.Clear
    c.comport = 5
    ExpectError Err.Number, 438, "assigning comport"
    Err.Clear
    c.hello = "x"
    ExpectError Err.Number, 438, "assigning hello"
    Err.Clear
    c.serial = "x"
    ExpectError Err.Number, 438, "assigning serial"
    Err.Clear
    c.open_ok = True
    ExpectError Err.Number, 438, "assigning open_ok"
    Err.Clear
    c.no_such_member
    ExpectError Err.Number, 438, "unknown method"
    Err.Clear
    c.no_such_member = 1
    ExpectError Err.Number, 438, "unknown property"
    Err.Clear
    CheckEqual c.comport, CInt(0), "comport unchanged"
End Sub

Sub TextConversionErrors()
    Dim c, n, d, s, o
    Set c = NewClicker()
    On Error Resume Next
    c.newparams = Null
    n = Err.Number: d = Err.Description: s = Err.Source: Err.Clear
    ExpectError n, 94, "newparams Null"
    CheckEqual d, "Invalid use of Null", "description"
    CheckEqual s, "Harrowtally", "source"
    c.cur_clicker_params = Null
    ExpectError Err.Number, 94, "cur_clicker_params Null"
    Err.Clear
    c.cur_clicker_params = CreateObject("Scripting.Dictionary")
    ExpectError Err.Number, 13, "object without a default value"
    Err.Clear
    Set o = New DefaultText
    o.Text = "00"
    c.cur_clicker_params = o
    ExpectError Err.Number, 0, "object with a default value"
    Err.Clear
    For Each d In Array(12, 2.5, True, Empty, CCur(3), CByte(9), "0205011200")
        c.newparams = d
        ExpectError Err.Number, 0, "newparams " & TypeName(d)
        Err.Clear
    Next
End Sub

' ---- the scanner -------------------------------------------------------------------------------

Sub OpenOnPort3()
    Dim c
    UseDevice ""
    Set c = NewClicker()
    c.startport = 3
    c.open_clicker
    CheckEqual c.open_ok, True, "open_ok"
    CheckEqual c.comport, CInt(3), "comport"
    CheckEqual c.num_barcodes, CInt(2), "num_barcodes"
    CheckEqual c.serial, SerialText, "serial"
    Check Matches(c.log, "^OPOK:03\d{6}\*0\*0\*2$"), "log " & c.log
    c.close_clicker
End Sub

Sub OpenSearchesFromEmptyAndText()
    Dim c
    UseDevice ""
    Set c = NewClicker()
    c.open_clicker
    CheckEqual c.comport, CInt(3), "empty startport finds port 3"
    Check Matches(c.log, "^OPOK:00\d{6}\*-1:01\d{6}\*-1:02\d{6}\*-1:03\d{6}\*0\*0\*2$"), "log " & c.log
    c.lastport = "3"
    c.open_clicker
    CheckEqual c.comport, CInt(3), "text startport"
    CheckEqual c.startport, "3", "startport keeps its text"
End Sub

Sub OpenWithoutScanner()
    Dim c
    UseDevice ""
    Set c = NewClicker()
    c.startport = 20
    c.open_clicker
    CheckEqual c.open_ok, False, "open_ok"
    CheckEqual c.comport, CInt(999), "comport"
    Check Matches(c.log, "^OPNC(:\d{8}\*-1){16}$"), "log " & c.log
    Check Left(c.log, 7) = "OPNC:20", "search starts at 20: " & c.log
    CheckEqual c.serial, "", "serial untouched"
End Sub

' Port texts read as the platform reads numbers: a currency sign, parentheses for a negative
' number ((3) searches from -3 upward), the text up to a null character; get_barcode alike.
Sub PortTextsAsThePlatformReadsThem()
    Dim c, v
    UseDevice ""
    Set c = NewClicker()
    On Error Resume Next
    For Each v In Array("$3", "(3)", "3" & Chr(0) & "x")
        c.startport = v
        c.open_clicker
        ExpectError Err.Number, 0, "open_clicker with startport " & Shown(v)
        Err.Clear
        CheckEqual c.comport, CInt(3), "scanner found from startport " & Shown(v)
    Next
    c.get_barcode = "3" & Chr(0) & "x"
    ExpectError Err.Number, 0, "get_barcode from a text with a null"
    CheckEqual c.get_barcode, CInt(3), "get_barcode from a text with a null"
End Sub

' The port open_clicker searched from first, read from its log; Empty when the log names none.
Function FirstPort(log)
    Dim re, found
    Set re = New RegExp
    re.Pattern = "^OP(OK|NC):(-?\d+)\d{6}\*"
    Set found = re.Execute(log)
    If found.Count > 0 Then FirstPort = CLng(found(0).SubMatches(1))
End Function

' The port number open_clicker reads from a text, beside CLng of the same text in this process:
' signs after the digits, "d" exponents, currency signs, parentheses, blanks and separators. Most
' texts name ports around 30, where no scanner answers, so that no search waits.
Sub PortTextsAsCLngReadsThem()
    Dim c, t, expected, expectedError, got, gotError
    UseDevice ""
    Set c = NewClicker()
    On Error Resume Next
    For Each t In Array("3-", "3 -", "$3-", "3-$", "(3)-", "3+", "+-3", "1d1", "3d0", _
                        "30-", "30 -", "$30-", "30-$", "30$-", "(30)-", "(30-)", "(-30)-", "30+", "+-30", "-+30", _
                        "+30-", "--30", "-30-", "++30", "30-30", "3d1", "1D1", "3e1", "1E+1", "30e", "$30", "30$", _
                        "$ 30", "$$30", "(30)", "($30)", "(30", "30)", "()", "&H1E", "&O36", "&H", "30.5", "31.5", _
                        ".5", "30.", "1,000", "1,0,0", "30,", ",30", "1 000", "", " ", "x", "30x", "3 0", _
                        vbTab & "30" & vbTab, "30" & Chr(0) & "x", Chr(0) & "30", "2147483648")
        Err.Clear
        expected = CLng(t)
        expectedError = Err.Number
        Err.Clear
        c.startport = t
        c.open_clicker
        gotError = Err.Number
        Err.Clear
        got = Empty
        If gotError = 0 Then got = FirstPort(c.log)
        If expectedError <> 0 Then
            ExpectError gotError, expectedError, "open_clicker with startport " & Shown(t)
        ElseIf gotError <> 0 Then
            ExpectError gotError, 0, "open_clicker with startport " & Shown(t) & " (CLng " & expected & ")"
        Else
            CheckEqual got, expected, "first port searched from startport " & Shown(t)
        End If
    Next
End Sub

' Values the component keeps as text (cur_clicker_params) are written as CStr writes them: showparams
' gives the same for the value as for CStr of it.
Function ShownParams(c)
    On Error Resume Next
    ShownParams = c.showparams
    If Err.Number <> 0 Then ShownParams = "error " & Err.Number
    Err.Clear
End Function

Sub ValuesAsCStrWritesThem()
    Dim c, v, fromValue
    UseDevice ""
    Set c = NewClicker()
    c.startport = 3
    On Error Resume Next
    For Each v In Array(True, False, 0.5, -2.5, CCur(-1.25), CCur(0.5), 1E+20, -1E-20, CSng(0.1), 1 / 3, _
                        #1/2/2026#, #6:00:00 AM#, Empty, CByte(7), -5, CDbl(-0.5))
        c.cur_clicker_params = v
        ExpectError Err.Number, 0, "cur_clicker_params " & Shown(v)
        fromValue = ShownParams(c)
        c.cur_clicker_params = CStr(v)
        CheckEqual fromValue, ShownParams(c), "showparams of " & Shown(v) & " and of CStr of it"
    Next
End Sub

Sub OpenInputErrors()
    Dim c, v, expected, i
    UseDevice ""
    Set c = NewClicker()
    v = Array("", "x", Null)
    expected = Array(13, 13, 94)
    On Error Resume Next
    For i = 0 To 2
        c.startport = v(i)
        Err.Clear
        c.open_clicker
        ExpectError Err.Number, expected(i), "open_clicker with startport " & Shown(v(i))
    Next
    Err.Clear
    c.startport = 3
    c.getdate
    ExpectError Err.Number, 0, "getdate on port 3"
    Err.Clear
    c.startport = "x"
    c.getdate
    ExpectError Err.Number, 13, "getdate with text startport"
    Err.Clear
    c.startport = 1E+10
    c.EmptyScanner
    ExpectError Err.Number, 6, "EmptyScanner with startport 1E+10"
    Err.Clear
End Sub

Sub PerBarcodeAccessors()
    Dim c, n, x
    UseDevice ""
    Set c = NewClicker()
    On Error Resume Next
    c.get_barcode = 1
    n = c.sbarcode
    ExpectError Err.Number, 9, "sbarcode before a download"
    Err.Clear
    On Error GoTo 0
    c.startport = 3
    c.open_clicker
    c.get_barcode = 1
    CheckEqual c.sbarcode, "12345670", "sbarcode 1"
    CheckEqual c.stype, CInt(10), "stype 1"
    Check SameTime(c.stime, DateSerial(2026, 12, 6) + TimeSerial(14, 30, 5)), "stime 1 " & c.stime
    c.get_barcode = 2
    CheckEqual c.sbarcode, "ABC-42", "sbarcode 2"
    CheckEqual c.stype, CInt(3), "stype 2"
    Check SameTime(c.stime, DateSerial(2026, 12, 6) + TimeSerial(14, 31, 17)), "stime 2 " & c.stime
    c.get_barcode = 0
    CheckEqual c.sbarcode, "", "sbarcode 0"
    Check IsEmpty(c.stype), "stype 0 Empty"
    Check SameTime(c.stime, CDate(0)), "stime 0"
    On Error Resume Next
    For Each n In Array(3, -1)
        c.get_barcode = n
        Err.Clear
        x = c.sbarcode
        ExpectError Err.Number, 9, "sbarcode " & n
        Err.Clear
        x = c.stime
        ExpectError Err.Number, 9, "stime " & n
    Next
    Err.Clear
End Sub

Sub ExportRecord()
    Dim c, record, expected
    UseDevice ""
    Set c = NewClicker()
    c.startport = 3
    record = c.alldata
    expected = "V01" & SerialText & "H" & "hhhhhhhhhhhh" & "0002" & _
               "001" & "12345670     " & "10" & "20261206143005" & _
               "002" & "ABC-42       " & "03" & "20261206143117"
    CheckEqual Left(record, 20) & "hhhhhhhhhhhh" & Mid(record, 33), expected, "alldata"
    Check Abs(CDbl(ClockOf(record)) - CDbl(Now)) * 86400 <= 10, "clock field " & Mid(record, 21, 12) & " at " & Now
    CheckEqual c.comport, CInt(3), "alldata ran open_clicker"
End Sub

Sub ScannerFaults()
    Dim c, x, n
    UseDevice ""
    Set c = NewClicker()
    c.startport = 3
    On Error Resume Next
    UseDevice "fault_stamp_text = no_slash"
    c.open_clicker
    ExpectError Err.Number, 5, "time stamp without a slash"
    Err.Clear
    c.close_clicker
    ' A packet the library reported but did not write is no copy of the one before.
    UseDevice "fault_packet_unwritten_at = 2"
    c.open_clicker
    c.get_barcode = 2
    Check c.num_barcodes = 2 And c.sbarcode = "" And IsEmpty(c.stype), _
          "packet reported but not written: [" & c.sbarcode & "] " & TypeName(c.stype)
    UseDevice "fault_count = 40000"
    c.open_clicker
    ExpectError Err.Number, 6, "a count beyond 16 bits"
    Err.Clear
    c.close_clicker
    ' A download of two barcodes, then an attempt that reads 5 and is rejected: no record.
    UseDevice ""
    c.open_clicker
    UseDevice "fault_count = 5|system_status = -3"
    x = c.alldata
    n = Err.Number
    Err.Clear
    ExpectError n, 9, "count beyond the lists"
    CheckEqual c.num_barcodes, CInt(5), "count left by the rejected attempt"
    CheckEqual c.comport, CInt(999), "no scanner accepted"
    UseDevice "fault_erase_failures = always"
    c.EmptyScanner
    ExpectError Err.Number, 0, "EmptyScanner with failing erases"
    Err.Clear
    CheckEqual c.empty_ok, False, "empty_ok after five failed erases"
    Check Matches(c.log, "^OPOK:03\d{6}\*0(:-8:0\*2){5}$"), "five tries: " & c.log
End Sub

Sub ScannerClock()
    Dim c, record
    UseDevice "port = 0|clock_offset = 7200"
    Set c = NewClicker()
    c.startport = 0
    record = c.alldata
    Check Abs((CDbl(ClockOf(record)) - CDbl(Now)) * 86400 - 7200) <= 10, "scanner clock 2 h ahead: " & record
    c.setdate
    c.getdate
    record = c.alldata
    Check Abs(CDbl(ClockOf(record)) - CDbl(Now)) * 86400 <= 10, "setdate gives the PC's time: " & record
    UseDevice "clock_lost = yes"
    c.startport = 3
    record = c.alldata
    CheckEqual Mid(record, 20, 3), "L00", "a lost clock"
End Sub

Sub DeviceInformation()
    Dim c
    UseDevice ""
    Set c = NewClicker()
    CheckEqual c.num_files, CInt(3), "num_files in c:\larkvale"
    CheckEqual c.SwVersion, versionText, "SwVersion"
    c.close_clicker
    c.setdate
End Sub

Sub ParameterReport()
    Dim c
    UseDevice ""
    Set c = NewClicker()
    c.startport = 3
    c.cur_clicker_params = "020512"
    CheckEqual c.showparams, "0205011207:" & infoText, "showparams"
    c.cur_clicker_params = ""
    CheckEqual c.showparams, ":" & infoText, "showparams of an empty list"
End Sub

' EmptyScannerIf after a download: a barcode scanned since, another scanner or another count keep the
' scanner; the scanner saved, its serial in any case with blanks after it, is erased. Variables
' arrive by reference. Erases the scanner: runs before EmptyAndReset.
' A serial whose default member assigns the count variable passed beside it: the count is read as
' it was passed, not from what the variable held before.
Dim countPassed, serialSaved
Class CountChanger
    Public Default Property Get Value()
        countPassed = 12345
        Value = serialSaved
    End Property
End Class

Sub EmptyScannerIfGuards()
    Dim c, n, s, row, parts, x, changer
    UseDevice ""
    Set c = NewClicker()
    c.startport = 3
    x = c.alldata
    n = c.num_barcodes: s = c.serial
    For Each row In Array("barcode = 39 2026-12-06 14:32:00 NEW|3|0", "device_id = 1A 2B 3C 4D 5E 6F 70 82|2|0", _
                          "|2|1")
        parts = Split(row, "|")
        UseDevice parts(0)
        CheckEqual c.EmptyScannerIf(n + CInt(parts(2)), s), False, "EmptyScannerIf after " & row
        CheckEqual c.empty_ok, False, "empty_ok after " & row
        CheckEqual c.open_ok, True, "open_ok after " & row
        Check Matches(c.log, "^CHNG:01:OPOK:03\d{6}\*0$"), "refused after " & row & ": " & c.log
        x = c.alldata
        CheckEqual c.num_barcodes, CInt(parts(1)), "barcodes kept after " & row
    Next
    On Error Resume Next
    UseDevice ""
    countPassed = "9" & String(200, " "): serialSaved = s
    Set changer = New CountChanger
    CheckEqual c.EmptyScannerIf(countPassed, changer), False, "EmptyScannerIf with a count changed by the serial"
    UseDevice "fault_calls = csp2GetDeviceId"
    CheckEqual c.EmptyScannerIf(n, ""), False, "EmptyScannerIf of a scanner without a device ID, none saved"
    x = c.alldata
    CheckEqual c.num_barcodes, n, "barcodes kept without a device ID"
    For Each row In Array(Array(Null, s, 94), Array("two", s, 13), Array(1E+10, s, 6), Array(2, Null, 94), _
                          Array(2.5, s, 5))
        x = c.EmptyScannerIf(row(0), row(1))
        ExpectError Err.Number, row(2), "EmptyScannerIf(" & Shown(row(0)) & ", " & Shown(row(1)) & ")"
        Err.Clear
    Next
    x = c.EmptyScannerIf(n)
    ExpectError Err.Number, 450, "EmptyScannerIf with one argument"
    Err.Clear
    On Error GoTo 0
    UseDevice ""
    CheckEqual c.EmptyScannerIf(n, LCase(s) & "  "), True, "EmptyScannerIf of the saved scanner"
    Check Matches(c.log, "^CLOK:01:OPOK:03\d{6}\*0:0$"), "erased: " & c.log
    x = c.alldata
    CheckEqual c.num_barcodes, CInt(0), "erased"
End Sub

' Changes the scanner: runs last.
Sub EmptyAndReset()
    Dim c
    UseDevice ""
    Set c = NewClicker()
    c.EmptyScanner
    CheckEqual c.log, "ENSP", "EmptyScanner without startport"
    c.startport = 20
    c.EmptyScanner
    Check Matches(c.log, "^OPNP:20\d{6}\*-1$"), "no scanner: " & c.log
    On Error Resume Next
    c.startport = 3
    c.pnewdatetime = "-5"
    c.EmptyScanner
    ExpectError Err.Number, 5, "clock text -5"
    Err.Clear
    c.close_clicker
    On Error GoTo 0
    c.pnewdatetime = "090514230307"
    c.EmptyScanner
    Check Matches(c.log, "^CLOK:01:OPOK:03\d{6}\*0:0$"), "erased: " & c.log
    CheckEqual c.empty_ok, True, "empty_ok"
    CheckEqual c.open_ok, True, "open_ok"
    Dim record
    record = c.alldata
    CheckEqual Left(record, 20) & Mid(record, 23), "V01" & SerialText & "H" & "0514230307" & "0000", _
               "record after emptying and setting the clock: " & record
    Check CInt(Mid(record, 21, 2)) >= 9 And CInt(Mid(record, 21, 2)) < 30, "clock runs on from 09 s: " & record
    c.newparams = "0205031209"
    c.cur_clicker_params = "020512"
    c.reset_params
    CheckEqual c.showparams, "0205031209:" & infoText, "parameters written by reset_params"
End Sub

' ---- the scanner library missing or broken ---------------------------------------------------

Sub LibraryError(expected)
    Dim c, n, x
    Set c = NewClicker()
    CheckEqual c.hello, HelloText, "hello needs no library"
    On Error Resume Next
    c.startport = 3
    c.open_clicker
    n = Err.Number: Err.Clear
    If expected = 453 Then
        ExpectError n, 0, "open_clicker with a partial library"
        x = c.SwVersion
        n = Err.Number: Err.Clear
        ExpectError n, 453, "SwVersion"
    Else
        ExpectError n, expected, "open_clicker"
        x = c.SwVersion
        n = Err.Number: Err.Clear
        ExpectError n, expected, "SwVersion"
        c.close_clicker
        n = Err.Number: Err.Clear
        ExpectError n, expected, "close_clicker"
    End If
End Sub

Dim mode
On Error Resume Next
mode = "main"
If WScript.Arguments.Count > 0 Then mode = WScript.Arguments(0)
Select Case mode
    Case "main"
        BeginCase "new object state"
        NewObjectState
        EndCase
        BeginCase "hello"
        HelloAnswers
        EndCase
        BeginCase "startport keeps every value type"
        StartportKeepsEveryType
        EndCase
        BeginCase "startport holds object references"
        StartportHoldsObjects
        EndCase
        BeginCase "get_barcode 16-bit range, 6 and 13"
        GetBarcodeRange
        EndCase
        BeginCase "by-reference arguments left unchanged"
        ByReferenceArgumentsUnchanged
        EndCase
        BeginCase "long texts handed by reference stay the caller's"
        LongTextsByReference
        EndCase
        BeginCase "a default member that answers its own object: 13"
        SelfReturningDefaultMember
        EndCase
        BeginCase "startport replaced from inside its old object's release"
        ReplacedFromItsOwnRelease
        EndCase
        BeginCase "chains of default members: eight followed, not nine"
        DefaultMemberChains
        EndCase
        BeginCase "let-only and read-only members, unknown members: 438"
        LetOnlyAndReadOnlyMembers
        EndCase
        BeginCase "text conversions: 94, 13, error source and text"
        TextConversionErrors
        EndCase
        BeginCase "open_clicker finds the scanner on port 3"
        OpenOnPort3
        EndCase
        BeginCase "open_clicker searches from empty and text startport"
        OpenSearchesFromEmptyAndText
        EndCase
        BeginCase "open_clicker without a scanner: OPNC"
        OpenWithoutScanner
        EndCase
        BeginCase "port texts with a currency sign, parentheses or a null"
        PortTextsAsThePlatformReadsThem
        EndCase
        BeginCase "port texts read as CLng reads them"
        PortTextsAsCLngReadsThem
        EndCase
        BeginCase "values kept as text written as CStr writes them"
        ValuesAsCStrWritesThem
        EndCase
        BeginCase "startport errors: 13, 94, 6"
        OpenInputErrors
        EndCase
        BeginCase "per-barcode accessors and 9"
        PerBarcodeAccessors
        EndCase
        BeginCase "alldata export record"
        ExportRecord
        EndCase
        BeginCase "scanner clock: setdate, getdate, lost clock"
        ScannerClock
        EndCase
        BeginCase "device information"
        DeviceInformation
        EndCase
        BeginCase "parameter report"
        ParameterReport
        EndCase
        BeginCase "scanner faults: 5, 6, 9 and five failed erases"
        ScannerFaults
        EndCase
        BeginCase "EmptyScannerIf erases only the scanner saved"
        EmptyScannerIfGuards
        EndCase
        BeginCase "EmptyScanner, clock setting and reset_params"
        EmptyAndReset
        EndCase
    Case "locale"
        ' Run in another user locale (tests/wine/run sets a German one).
        BeginCase "port texts read as CLng reads them, in the user's locale"
        PortTextsAsCLngReadsThem
        EndCase
        BeginCase "values kept as text written as CStr writes them, in the user's locale"
        ValuesAsCStrWritesThem
        EndCase
    Case "absent"
        BeginCase "no scanner library: 53"
        LibraryError 53
        EndCase
    Case "partial"
        BeginCase "library without a function: 453"
        LibraryError 453
        EndCase
    Case "badfile"
        BeginCase "library that will not load: 48"
        LibraryError 48
        EndCase
End Select
Finish
