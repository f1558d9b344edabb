// for ... in gives the indices (as text); for ... of the elements.
var a = ["x", "y"];
var s = "";
for (var i in a)
  s = s + i + "=" + a[i] + " ";
ShowMessage(s);
var t = 0;
for (var v of [1, 2, 3])
  t += v;
ShowMessage(t);
