// && and || decide from the left side when they can.
var calls = 0;
function hit() { calls++; return true; }
if (false && hit()) ShowMessage("no");
if (true || hit()) ShowMessage("short");
ShowMessage(calls);
ShowMessage(!0);
ShowMessage(!"x");
