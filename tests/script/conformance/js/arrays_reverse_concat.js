// reverse works in place; concat builds a new array.
var a = [1, 2, 3];
a.reverse();
ShowMessage(a.join(","));
var b = a.concat([4, 5], 6);
ShowMessage(b.join(","));
ShowMessage(a.length);
