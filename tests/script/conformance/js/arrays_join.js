// join with and without a separator; an array as text.
var a = [1, "b", 3.5];
ShowMessage(a.join());
ShowMessage(a.join(" - "));
ShowMessage(a.join(""));
ShowMessage("" + [1, 2]);
