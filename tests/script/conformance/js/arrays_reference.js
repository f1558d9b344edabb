// Arrays are shared by assignment; changes show through every name.
var a = [1, 2, 3];
var b = a;
b[0] = 9;
b.push(4);
ShowMessage(a.join(","));
ShowMessage(a.length);
ShowMessage(a === b);
