// Function expressions are values: stored, passed and called.
var square = function (x) { return x * x; };
ShowMessage(square(7));
function apply(f, v) { return f(v); }
ShowMessage(apply(square, 3));
ShowMessage(apply(function (s) { return s + "!"; }, "hi"));
var g = square;
ShowMessage(g(5));
