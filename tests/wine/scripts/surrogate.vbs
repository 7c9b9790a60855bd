' A 64-bit script host using the 32-bit component, which only the system's surrogate can load:
' creation, a download of the simulated device and a runtime error with its number, description
' and source, all across the process boundary. Runs behind common.vbs.
' Usage: cscript surrogate.vbs   (64-bit cscript; only the 32-bit component registered)

Sub DownloadThroughSurrogate()
    Dim c, record
    Set c = NewClicker()
    record = c.alldata
    Check c.open_ok, "open_ok after alldata"
    CheckEqual c.comport, CInt(3), "comport"
    CheckEqual c.num_barcodes, CInt(2), "num_barcodes"
    CheckEqual c.serial, "1A2B3C4D5E6F7081", "serial"
    Check InStr(record, "12345670") > 0 And InStr(record, "ABC-42") > 0, "both barcodes in the record"
    c.get_barcode = 1
    CheckEqual c.sbarcode, "12345670", "first barcode"
End Sub

Sub ErrorThroughSurrogate()
    Dim c, number, description, source
    Set c = NewClicker()
    c.startport = Null
    On Error Resume Next
    c.open_clicker
    number = Err.Number: description = Err.Description: source = Err.Source
    Err.Clear
    On Error GoTo 0
    CheckEqual number, CLng(94), "error number"
    CheckEqual description, "Invalid use of Null", "error description"
    CheckEqual source, "Harrowtally", "error source"
End Sub

BeginCase "64-bit host, 32-bit component through the surrogate: alldata of the device"
DownloadThroughSurrogate
EndCase
BeginCase "64-bit host, 32-bit component through the surrogate: error number, description and source"
ErrorThroughSurrogate
EndCase
Finish
