Attribute VB_Name = "Harrowtally"
' Excel: fills the active worksheet with the barcodes the scanner holds (item, barcode, type,
' scan time), below a header row. The scanner keeps its barcodes: save the workbook, then empty
' it with EmptyScanner. Import this file in the VBA editor (File > Import File) and run
' DownloadScanner. Late binding: no reference to set; the 32-bit component serves 64-bit Office
' through the system's surrogate.
Option Explicit

Public Sub DownloadScanner()
    Dim clicker As Object, sheet As Worksheet, count As Long, k As Long
    Set clicker = CreateObject("Harrowtally.Clicker")
    clicker.open_clicker                ' searches 16 ports from startport and downloads
    If Not clicker.open_ok Then
        MsgBox "No scanner found.", vbExclamation
        Exit Sub
    End If
    count = clicker.num_barcodes

    Set sheet = ActiveSheet
    sheet.Cells.Clear
    sheet.Range("A1:D1").Value = Array("Item", "Barcode", "Type", "Scan time")
    For k = 1 To count
        clicker.get_barcode = k
        sheet.Cells(k + 1, 1).Value = k
        sheet.Cells(k + 1, 2).NumberFormat = "@"    ' keep leading zeros of EAN and UPC codes
        sheet.Cells(k + 1, 2).Value = clicker.sbarcode
        sheet.Cells(k + 1, 3).Value = clicker.stype
        sheet.Cells(k + 1, 4).Value = clicker.stime
    Next
    sheet.Columns(4).NumberFormat = "yyyy-mm-dd hh:mm:ss"
    sheet.Columns("A:D").AutoFit
    MsgBox count & " barcodes from the scanner on port " & clicker.comport & ".", vbInformation
End Sub
