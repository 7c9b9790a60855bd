Attribute VB_Name = "ScannerDownload"
' Excel: DownloadScanner fills the active worksheet with the barcodes the scanner holds (item,
' barcode, type, scan time) below a header row; the scanner keeps them. Save the workbook, then run
' EmptyScannerIfSaved: it empties the scanner only when the sheet holds every barcode the scanner
' holds. Import this file in the VBA editor (File > Import File). Late binding: no reference to
' set; the 32-bit component serves 64-bit Office through the system's surrogate.
' The module is not called Harrowtally: with a reference to the type library set, Harrowtally.Clicker
' would then name something in this module, not the class.
Option Explicit

Private Const FirstRow As Long = 2          ' row 1 is the header

' What to do about the errors an installation can give.
Private Function Advice(ByVal number As Long) As String
    Select Case number
        Case 429
            Advice = "Harrowtally.Clicker is not registered: install the Harrowtally package, or register " & _
                     "Harrowtally.dll with the regsvr32 of its bitness."
        Case 53
            Advice = "csp2a.DLL was not found: put the scanner maker's csp2a.DLL in the folder of Harrowtally.dll."
        Case 48
            Advice = "csp2a.DLL does not load, most often because it is of the other bitness: the maker's " & _
                     "32-bit csp2a.DLL needs the 32-bit component (the x86 package), which serves 64-bit Office too."
        Case 453
            Advice = "csp2a.DLL lacks a function the component calls: use the scanner maker's csp2a.DLL."
        Case Else
            Advice = ""
    End Select
End Function

Private Sub ShowError(ByVal number As Long, ByVal description As String)
    MsgBox "Error " & number & ": " & description & vbLf & vbLf & Advice(number), vbCritical
End Sub

' Searches the ports from startport and downloads; Nothing when no scanner answered.
Private Function OpenScanner() As Object
    Dim clicker As Object
    Set clicker = CreateObject("Harrowtally.Clicker")
    clicker.open_clicker                    ' searches 16 ports from startport and downloads; erases nothing
    If clicker.open_ok Then
        Set OpenScanner = clicker
    Else
        MsgBox "No scanner found. Ports tried: " & clicker.log, vbExclamation
    End If
End Function

Public Sub DownloadScanner()
    Dim clicker As Object, sheet As Worksheet, count As Long, k As Long, kind As Variant
    Dim data() As Variant
    On Error GoTo Failed
    If TypeName(ActiveSheet) <> "Worksheet" Then
        MsgBox "Select a worksheet first.", vbExclamation
        Exit Sub
    End If
    Set sheet = ActiveSheet
    If MsgBox("Clear the sheet """ & sheet.Name & """ and fill it with the scanner's barcodes?", _
              vbYesNo + vbQuestion) <> vbYes Then Exit Sub

    Set clicker = OpenScanner()
    If clicker Is Nothing Then Exit Sub
    count = clicker.num_barcodes

    ' Each value is read once: in 64-bit Office every read crosses into the surrogate process. A
    ' barcode whose packet could not be read has no type, and stays blank.
    If count > 0 Then ReDim data(1 To count, 1 To 4)
    For k = 1 To count
        clicker.get_barcode = k
        data(k, 1) = k
        kind = clicker.stype
        If Not IsEmpty(kind) Then
            data(k, 2) = clicker.sbarcode
            data(k, 3) = kind
            data(k, 4) = clicker.stime
        End If
    Next

    sheet.Cells.Clear
    sheet.Range("A1:D1").Value = Array("Item", "Barcode", "Type", "Scan time")
    ' Text before the values arrive: "0012345678905" and 20-digit codes stay as scanned, not numbers.
    sheet.Columns(2).NumberFormat = "@"
    sheet.Columns(4).NumberFormat = "yyyy-mm-dd hh:mm:ss"
    If count > 0 Then sheet.Cells(FirstRow, 1).Resize(count, 4).Value = data
    sheet.Columns("A:D").AutoFit
    MsgBox count & " barcodes from scanner " & clicker.serial & " on port " & clicker.comport & "." & vbLf & _
           "Save the workbook, then run EmptyScannerIfSaved to empty the scanner.", vbInformation
    Exit Sub
Failed:
    ShowError Err.Number, Err.Description
End Sub

' Empties the scanner when the workbook is saved and the active sheet holds, from row 2 on, exactly
' the barcodes the scanner holds now.
Public Sub EmptyScannerIfSaved()
    Dim clicker As Object, sheet As Worksheet, count As Long, held As Long, k As Long, saved As String
    Dim serial As String
    On Error GoTo Failed
    If TypeName(ActiveSheet) <> "Worksheet" Then
        MsgBox "Select the worksheet DownloadScanner filled.", vbExclamation
        Exit Sub
    End If
    Set sheet = ActiveSheet
    If sheet.Parent.Path = "" Or Not sheet.Parent.Saved Then
        MsgBox "Save the workbook first: the scanner is emptied only once its barcodes are saved.", vbExclamation
        Exit Sub
    End If

    Set clicker = OpenScanner()
    If clicker Is Nothing Then Exit Sub
    count = clicker.num_barcodes
    serial = clicker.serial                 ' only this scanner, holding count barcodes, is erased
    held = sheet.Cells(sheet.Rows.Count, 1).End(xlUp).Row - FirstRow + 1
    If held <> count Then
        MsgBox "Not emptied: the sheet holds " & held & " rows, the scanner " & count & " barcodes. " & _
               "Run DownloadScanner again and save.", vbExclamation
        Exit Sub
    End If
    ' A barcode that could not be read, now or at the download, is blank on the sheet.
    For k = 1 To count
        clicker.get_barcode = k
        saved = CStr(sheet.Cells(FirstRow + k - 1, 2).Value)
        If IsEmpty(clicker.stype) Or saved = "" Or saved <> clicker.sbarcode Then
            MsgBox "Not emptied: barcode " & k & " on the sheet is not the scanner's. " & _
                   "Run DownloadScanner again and save.", vbExclamation
            Exit Sub
        End If
        ' 2001-01-01 00:00:00 stands for a time stamp the component could not read: the scanner keeps it.
        If clicker.stime = DateSerial(2001, 1, 1) Then
            MsgBox "Not emptied: the scan time of barcode " & k & " could not be read; the scanner keeps " & _
                   "its time stamp.", vbExclamation
            Exit Sub
        End If
    Next
    If count = 0 Then
        MsgBox "The scanner is empty.", vbInformation
        Exit Sub
    End If

    ' EmptyScannerIf opens startport as it is, without a search, and erases only while the scanner
    ' still holds what the sheet holds.
    clicker.startport = clicker.comport
    If clicker.EmptyScannerIf(count, serial) Then
        MsgBox "Emptied the scanner (" & count & " barcodes, saved in " & sheet.Parent.Name & ").", vbInformation
    ElseIf Left(clicker.log, 4) = "CHNG" Then
        MsgBox "Not emptied: the scanner changed since it was compared with the sheet (a barcode scanned, " & _
               "or another scanner). Run DownloadScanner again and save.", vbExclamation
    Else
        MsgBox "Not emptied: " & clicker.log, vbExclamation
    End If
    Exit Sub
Failed:
    ShowError Err.Number, Err.Description
End Sub
