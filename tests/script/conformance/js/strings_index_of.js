// indexOf and lastIndexOf.
var s = "banana";
ShowMessage(s.indexOf("an"));
ShowMessage(s.indexOf("an", 2));
ShowMessage(s.lastIndexOf("an"));
ShowMessage(s.indexOf("x"));
