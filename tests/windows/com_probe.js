// Late-bound calls into the probe server from JScript (run by tools/windows/smoke.sh).
var o = new ActiveXObject("MorphelProbe.Probe");
o.Name = "js";
WScript.Echo("add=" + o.Add(2, 40) + " name=" + o.Name + " echo=" + o.Echo("x"));
try { o.Echo("fail", 1); } catch (e) { WScript.Echo("caught " + (e.number >>> 0).toString(16)); }
WScript.Echo("DONE");
