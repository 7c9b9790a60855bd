' The cost of one call through IDispatch: reading comport and hello on a Clicker against reading
' Item on Scripting.Dictionary, the runtime's own automation object, in the same run.
Option Explicit
Dim n, c, d, i, x, t, clickerComport, clickerHello, dictionary
n = 200000
If WScript.Arguments.Count > 0 Then n = CLng(WScript.Arguments(0))
Set c = CreateObject("Harrowtally.Clicker")
Set d = CreateObject("Scripting.Dictionary")
d.Add "k", 1

Function Best(kind)
    ' The best of three rounds, so that a slow first round (loading, caches) does not count.
    Dim round, start, elapsed
    Best = 1E+30
    For round = 1 To 3
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
        If elapsed < Best Then Best = elapsed
    Next
End Function

clickerComport = Best(0)
clickerHello = Best(1)
dictionary = Best(2)
WScript.Echo "calls per round: " & n
WScript.Echo "Clicker.comport: " & FormatNumber(clickerComport * 1E+9 / n, 0) & " ns per call"
WScript.Echo "Clicker.hello: " & FormatNumber(clickerHello * 1E+9 / n, 0) & " ns per call"
WScript.Echo "Dictionary.Item: " & FormatNumber(dictionary * 1E+9 / n, 0) & " ns per call"
WScript.Echo "ratio comport/Item: " & FormatNumber(clickerComport / dictionary, 2)
WScript.Echo "ratio hello/Item: " & FormatNumber(clickerHello / dictionary, 2)
