// Object literals, property reads and writes.
var o = {a: 1, b: "two", "c d": 3};
ShowMessage(o.a);
ShowMessage(o.b);
ShowMessage(o["c d"]);
o.a = o.a + 10;
o.e = "new";
ShowMessage(o.a + " " + o.e);
ShowMessage(o.missing);
