Option Explicit
' Shared by the VBScript tests: the case runner and the checks. tests/wine/run puts this file in
' front of each test script (the script hosts have no include), so a test script starts with its own
' declarations. Every case prints one PASS or FAIL line.

Dim shell, archLabel, passedCount, failedCount, caseState, caseDetail
Set shell = CreateObject("WScript.Shell")
archLabel = shell.Environment("PROCESS")("HARROWTALLY_ARCH")
passedCount = 0: failedCount = 0

Function NewClicker()
    Set NewClicker = CreateObject("Harrowtally.Clicker")
End Function

Sub Check(condition, what)
    If Not condition And caseState = "pass" Then
        caseState = "fail"
        caseDetail = what
    End If
End Sub

Sub CheckEqual(actual, expected, what)
    Dim same
    same = (VarType(actual) = VarType(expected))
    If same Then same = (actual = expected)
    Check same, what & ": got " & Shown(actual) & ", expected " & Shown(expected)
End Sub

' An error number met by a case that ran with On Error Resume Next.
Sub ExpectError(actual, expected, what)
    If actual = expected Then Exit Sub
    Check False, what & ": error " & actual & ", expected " & expected
End Sub

Function Shown(v)
    If IsObject(v) Then
        Shown = "<object>"
    ElseIf IsNull(v) Then
        Shown = "Null"
    ElseIf IsArray(v) Then
        Shown = "<array>"
    Else
        Shown = TypeName(v) & ":" & Replace(CStr(v), Chr(0), "\0")
    End If
End Function

' A case is run as three statements under the script-level On Error Resume Next (the hosts' VBScript
' has no GetRef): BeginCase, the case's Sub, EndCase. An error that ends the Sub arrives in EndCase.
Dim caseName
Sub BeginCase(name)
    caseName = name
    caseState = "pass": caseDetail = ""
    Err.Clear
End Sub

Sub EndCase()
    Dim number, description
    number = Err.Number: description = Err.Description
    Err.Clear
    If number <> 0 And caseState <> "fail" Then
        caseState = "fail"
        caseDetail = "error " & number & " " & description
    End If
    If caseState = "pass" Then
        passedCount = passedCount + 1
        WScript.Echo "PASS " & archLabel & " vbscript: " & caseName
    Else
        failedCount = failedCount + 1
        WScript.Echo "FAIL " & archLabel & " vbscript: " & caseName & " -- " & caseDetail
    End If
End Sub

Sub Finish()
    WScript.Echo "vbscript: " & passedCount & " passed, " & failedCount & " failed"
    If failedCount > 0 Then WScript.Quit 1
    WScript.Quit 0
End Sub
