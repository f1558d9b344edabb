// new Object() and new Array() build empty containers.
var o = new Object();
o.k = 7;
ShowMessage(o.k);
var a = new Array(3);
ShowMessage(a.length);
a[5] = 1;
ShowMessage(a.length);
ShowMessage(a[0]);
