// typeof names the kind of a value.
var f = function () { return 1; };
var u;
ShowMessage(typeof 1);
ShowMessage(typeof 1.5);
ShowMessage(typeof "s");
ShowMessage(typeof true);
ShowMessage(typeof u);
ShowMessage(typeof null);
ShowMessage(typeof [1]);
ShowMessage(typeof {a: 1});
ShowMessage(typeof f);
