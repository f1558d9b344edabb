// substring swaps reversed bounds; substr takes a length; slice counts from the end.
var s = "JavaScript";
ShowMessage(s.substring(0, 4));
ShowMessage(s.substring(4));
ShowMessage(s.substring(4, 0));
ShowMessage(s.substr(4, 3));
ShowMessage(s.substr(-6, 2));
ShowMessage(s.slice(-6));
ShowMessage(s.slice(2, -2));
