' The 32-bit component used by a 64-bit host: every call crosses into the system's surrogate
' process, the only place the 32-bit component and its 32-bit scanner library can be loaded.
' Runs against the simulator's built-in demo device (port 3, 30 barcodes).
' Wine's installer keeps a 32-bit package's ProgID in the 32-bit registry view, where Windows
' shares it between the views; the class is therefore created by its identifier here.
' The identifier comes from the test script's environment (HARROWTALLY_CLASS_ID).
Dim creation
creation = "new:" & CreateObject("WScript.Shell").Environment("PROCESS").Item("HARROWTALLY_CLASS_ID")

Function SurrogateClicker()
    Set SurrogateClicker = GetObject(creation)
End Function

Sub Created()
    Dim c
    Set c = SurrogateClicker()
    CheckEqual c.hello, "Clicker control successfully installed", "hello"
End Sub

Sub DownloadsTheDemoDevice()
    Dim c, record, k
    Set c = SurrogateClicker()
    record = c.alldata
    CheckEqual c.open_ok, True, "open_ok"
    CheckEqual c.comport, 3, "comport"
    CheckEqual c.num_barcodes, 30, "num_barcodes"
    CheckEqual Left(record, 19), "V014A58010C7F0093E2", "record header"
    CheckEqual Mid(record, 33, 4), "0030", "record count"
    CheckEqual c.serial, "4A58010C7F0093E2", "serial"
    c.get_barcode = 30
    Check Len(c.sbarcode) > 0, "sbarcode of the last barcode"
    CheckEqual VarType(c.stime), vbDate, "stime type"
    CheckEqual VarType(c.stype), vbInteger, "stype type"
End Sub

Sub ByReferenceArguments()
    Dim c, port, stamp
    Set c = SurrogateClicker()
    port = "4"
    c.lastport = port
    CheckEqual c.startport, "4", "startport set through lastport"
    CheckEqual port, "4", "the host's variable after lastport"
    stamp = "050403020126"
    c.pnewdatetime = stamp
    CheckEqual stamp, "050403020126", "the host's variable after pnewdatetime"
End Sub

Sub ErrorsCrossTheBoundary()
    Dim c, n, d, s
    Set c = SurrogateClicker()
    c.startport = "abc"
    On Error Resume Next
    c.open_clicker
    n = Err.Number: d = Err.Description: s = Err.Source: Err.Clear
    On Error GoTo 0
    ExpectError n, 13, "open_clicker with startport ""abc"""
    CheckEqual d, "Type mismatch", "description"
    CheckEqual s, "Harrowtally", "source"
    c.get_barcode = 31
    On Error Resume Next
    n = c.sbarcode
    n = Err.Number: Err.Clear
    On Error GoTo 0
    ExpectError n, 9, "sbarcode past the download"
End Sub

If WScript.Arguments.Count > 0 Then creation = WScript.Arguments(0)
On Error Resume Next
BeginCase "surrogate: created": Created: EndCase
BeginCase "surrogate: download of the demo device": DownloadsTheDemoDevice: EndCase
BeginCase "surrogate: by-reference arguments": ByReferenceArguments: EndCase
BeginCase "surrogate: error number, description and source": ErrorsCrossTheBoundary: EndCase
Finish
