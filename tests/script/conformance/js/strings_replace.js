// replace with a text pattern changes the first occurrence only.
var s = "a-b-c";
ShowMessage(s.replace("-", "+"));
ShowMessage(s.replace("x", "+"));
ShowMessage(s);
ShowMessage("2024-01-31".split("-").join("."));
