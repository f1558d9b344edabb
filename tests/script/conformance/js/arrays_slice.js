// slice copies a part; negative positions count from the end.
var a = [0, 1, 2, 3, 4];
ShowMessage(a.slice(1, 3).join(","));
ShowMessage(a.slice(-2).join(","));
ShowMessage(a.slice(3, 1).length);
var c = a.slice(0);
c[0] = 99;
ShowMessage(a[0]);
