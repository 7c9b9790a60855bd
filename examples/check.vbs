' Checks an installation without changing the scanner: creates Harrowtally.Clicker, reads hello
' and the scanner library's version, searches the ports for the scanner and tells where it is, its
' serial number and how many barcodes it holds. Nothing is erased and no file is written.
'   cscript //nologo check.vbs [STARTPORT]
' Exit status: 0 the scanner was found, 1 not (the reason is printed; for an error of the
' component, its number and what to do), 2 wrong arguments.
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

Sub Fail(number, description)
    WScript.Echo "error " & number & ": " & description
    If Advice(number) <> "" Then WScript.Echo Advice(number)
    WScript.Quit 1
End Sub

Sub Main()
    Dim clicker, version
    If WScript.Arguments.Count > 1 Then
        WScript.Echo "usage: cscript //nologo check.vbs [STARTPORT]"
        WScript.Quit 2
    End If
    If WScript.Arguments.Count = 1 Then
        If Not IsNumeric(WScript.Arguments(0)) Or InStr(WScript.Arguments(0), ".") > 0 Then
            WScript.Echo "STARTPORT is a whole number; usage: cscript //nologo check.vbs [STARTPORT]"
            WScript.Quit 2
        End If
    End If
    Set clicker = CreateObject("Harrowtally.Clicker")
    WScript.Echo "component: " & clicker.hello
    ' The first member that needs csp2a.DLL loads it: 53 or 48 come from here.
    version = Trim(Replace(clicker.SwVersion, Chr(0), ""))
    WScript.Echo "scanner library: csp2a.DLL, version " & version
    If WScript.Arguments.Count = 1 Then clicker.startport = CLng(WScript.Arguments(0))
    clicker.open_clicker                    ' searches 16 ports from startport and downloads; erases nothing
    If Not clicker.open_ok Then
        WScript.Echo "no scanner found; each port tried, with the library's answer: " & clicker.log
        WScript.Quit 1
    End If
    WScript.Echo "scanner " & clicker.serial & " on port " & clicker.comport & " holds " & _
                 clicker.num_barcodes & " barcodes"
    WScript.Quit 0
End Sub

' Main ends every run with Quit: only an error of the component (or CreateObject's 429) ends it
' and comes back here.
On Error Resume Next
Main
Fail Err.Number, Err.Description
