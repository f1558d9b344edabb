// split into an array, with a limit, and into characters.
var parts = "a,b,,c".split(",");
ShowMessage(parts.length);
ShowMessage(parts[3]);
ShowMessage("a,b,c".split(",", 2).join("+"));
ShowMessage("abc".split("").join("-"));
ShowMessage("abc".split().length);
