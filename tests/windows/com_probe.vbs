' Late-bound calls into the probe server from VBScript (run by tools/windows/smoke.sh).
Set o = CreateObject("MorphelProbe.Probe")
WScript.Echo "add=" & o.Add(2, 40)
o.Name = "abc"
WScript.Echo "name=" & o.Name
WScript.Echo "echo=" & o.Echo("hi") & " " & o.Echo(3.5, 1) & " " & TypeName(o.Echo(7, 1))
WScript.Echo "case=" & o.add(1, 1)
On Error Resume Next
r = o.Echo("fail", 1)
WScript.Echo "err=" & Hex(Err.Number) & " desc=[" & Err.Description & "]"
Err.Clear
r = o.Nope()
WScript.Echo "nomember=" & Hex(Err.Number)
Err.Clear
r = o.Add("x", 1)
WScript.Echo "typemismatch=" & Hex(Err.Number)
Err.Clear
r = o.Add(1)
WScript.Echo "argcount=" & Hex(Err.Number)
WScript.Echo "DONE"
