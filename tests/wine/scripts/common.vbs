Option Explicit
' Shared by the VBScript tests: the case runner, checks, and the members still pending. tests/wine/run
' puts this file in front of each test script (the script hosts have no include), so a test script
' starts with its own declarations. Every case prints one PASS, FAIL or PEND line.

Dim shell, pendingMembers, archLabel, passedCount, failedCount, pendingCount, caseState, caseDetail
Set shell = CreateObject("WScript.Shell")
' HARROWTALLY_PENDING (set by tests/wine/run) names members that are still being built and fail with
' 438 on this branch; a case that needs one of them and meets 438 is reported PEND, not FAIL.
pendingMembers = "," & LCase(Replace(shell.Environment("PROCESS")("HARROWTALLY_PENDING"), " ", "")) & ","
archLabel = shell.Environment("PROCESS")("HARROWTALLY_ARCH")
passedCount = 0: failedCount = 0: pendingCount = 0

Function NewClicker()
    Set NewClicker = CreateObject("Harrowtally.Clicker")
End Function

Function IsPending(members)
    Dim m
    IsPending = False
    For Each m In Split(LCase(members), ",")
        If m <> "" And InStr(pendingMembers, "," & Trim(m) & ",") > 0 Then IsPending = True
    Next
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
Sub ExpectError(actual, expected, member, what)
    If actual = expected Then Exit Sub
    If actual = 438 And IsPending(member) Then
        If caseState = "pass" Then caseState = "pending"
        Exit Sub
    End If
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
Dim caseName, caseMembers
Sub BeginCase(name, members)
    caseName = name: caseMembers = members
    caseState = "pass": caseDetail = ""
    Err.Clear
End Sub

Sub EndCase()
    Dim number, description
    number = Err.Number: description = Err.Description
    Err.Clear
    If number <> 0 Then
        If number = 438 And IsPending(caseMembers) Then
            If caseState = "pass" Then caseState = "pending"
        ElseIf caseState <> "fail" Then
            caseState = "fail"
            caseDetail = "error " & number & " " & description
        End If
    End If
    Select Case caseState
        Case "pass"
            passedCount = passedCount + 1
            WScript.Echo "PASS " & archLabel & " vbscript: " & caseName
        Case "pending"
            pendingCount = pendingCount + 1
            WScript.Echo "PEND " & archLabel & " vbscript: " & caseName & " (member pending: 438)"
        Case Else
            failedCount = failedCount + 1
            WScript.Echo "FAIL " & archLabel & " vbscript: " & caseName & " -- " & caseDetail
    End Select
End Sub

Sub Finish()
    WScript.Echo "vbscript: " & passedCount & " passed, " & failedCount & " failed, " & pendingCount & " pending"
    If failedCount > 0 Then WScript.Quit 1
    WScript.Quit 0
End Sub
