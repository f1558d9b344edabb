// Case changes and trimming.
var s = "  Mixed Case  ";
ShowMessage("[" + s.trim() + "]");
ShowMessage(s.trim().toUpperCase());
ShowMessage(s.trim().toLowerCase());
ShowMessage(s.length);
