// shift, unshift and splice.
var a = [1, 2, 3, 4, 5];
ShowMessage(a.shift());
a.unshift(0);
ShowMessage(a.join(","));
var removed = a.splice(1, 2, "x", "y", "z");
ShowMessage(removed.join(","));
ShowMessage(a.join(","));
