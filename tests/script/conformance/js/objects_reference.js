// Objects are shared, not copied, by assignment and by calls.
var a = {n: 1};
var b = a;
b.n = 5;
ShowMessage(a.n);
function bump(o) { o.n = o.n * 2; }
bump(a);
ShowMessage(b.n);
ShowMessage(a == b);
ShowMessage(a === {n: 10});
