' The cost of the system's surrogate: alldata of the scanner and single property reads, timed in
' one host. cscript //nologo surrogate_bench.vbs CREATION CALLS
' CREATION is what GetObject or CreateObject is given ("new:{clsid}" or the ProgID); prints
' "alldata SECONDS BARCODES" (best of three) and "call MICROSECONDS" (comport, mean of CALLS reads).
Option Explicit
Dim c, i, x, start, best, elapsed, calls, record
If Left(WScript.Arguments(0), 4) = "new:" Then
    Set c = GetObject(WScript.Arguments(0))
Else
    Set c = CreateObject(WScript.Arguments(0))
End If
calls = CLng(WScript.Arguments(1))
x = c.SwVersion                             ' loads the scanner library outside the timing
best = 1E+30
For i = 1 To 3
    start = Timer
    record = c.alldata
    elapsed = Timer - start
    If elapsed < best Then best = elapsed
Next
WScript.Echo "alldata " & best & " " & c.num_barcodes & " " & Len(record)
start = Timer
For i = 1 To calls
    x = c.comport
Next
WScript.Echo "call " & (Timer - start) * 1000000 / calls
