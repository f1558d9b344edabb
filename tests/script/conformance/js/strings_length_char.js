// length, charAt, charCodeAt and indexing from 0.
var s = "Hello";
ShowMessage(s.length);
ShowMessage(s.charAt(1));
ShowMessage(s.charAt(10) == "");
ShowMessage(s.charCodeAt(0));
ShowMessage(s[4]);
ShowMessage("".length);
