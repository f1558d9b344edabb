// Writing past the end grows an array; reading past it gives undefined.
var a = [1];
a[3] = 4;
ShowMessage(a.length);
ShowMessage(a[1]);
ShowMessage(a[10]);
ShowMessage(a.join("|"));
a.length = 2;
ShowMessage(a.length);
