// sort with a comparison function, ascending and descending.
var a = [10, 9, 1, 100, 25];
a.sort(function (x, y) { return x - y; });
ShowMessage(a.join(","));
function desc(x, y) { return y - x; }
a.sort(desc);
ShowMessage(a.join(","));
