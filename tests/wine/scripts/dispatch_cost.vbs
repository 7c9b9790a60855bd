' The cost of one call through IDispatch: reading comport and hello on a Clicker against reading
' Item on Scripting.Dictionary, the runtime's own automation object, in the same run. The three
' loops take turns for five rounds and each keeps its best round, so that load from elsewhere on the
' machine weighs on all of them alike.
Option Explicit
Dim n, c, d, i, x, round, best(2), kind, start, elapsed
n = 200000
If WScript.Arguments.Count > 0 Then n = CLng(WScript.Arguments(0))
Set c = CreateObject("Harrowtally.Clicker")
Set d = CreateObject("Scripting.Dictionary")
d.Add "k", 1
For kind = 0 To 2: best(kind) = 1E+30: Next
For round = 1 To 5
    For kind = 0 To 2
        start = Timer
        Select Case kind
            Case 0
                For i = 1 To n: x = c.comport: Next
            Case 1
                For i = 1 To n: x = c.hello: Next
            Case 2
                For i = 1 To n: x = d.Item("k"): Next
        End Select
        elapsed = Timer - start
        If elapsed < best(kind) Then best(kind) = elapsed
    Next
Next
WScript.Echo "calls per round: " & n
WScript.Echo "Clicker.comport: " & FormatNumber(best(0) * 1E+9 / n, 0) & " ns per call"
WScript.Echo "Clicker.hello: " & FormatNumber(best(1) * 1E+9 / n, 0) & " ns per call"
WScript.Echo "Dictionary.Item: " & FormatNumber(best(2) * 1E+9 / n, 0) & " ns per call"
WScript.Echo "ratio comport/Item: " & FormatNumber(best(0) / best(2), 2)
WScript.Echo "ratio hello/Item: " & FormatNumber(best(1) / best(2), 2)
