// A function that returns functions: each keeps the argument it was made with.
function adder(x) {
  return function (y) {
    return x + y;
  };
}

function compose(f, g) {
  return function (v) {
    return f(g(v));
  };
}

var add2 = adder(2);
var add10 = adder(10);
ShowMessage(add2(5));
ShowMessage(add10(5));
var both = compose(add2, add10);
ShowMessage(both(1));
var fns = [];
for (var i = 1; i <= 3; i++) {
  fns.push(adder(i * 100));
}
ShowMessage(fns[0](1) + " " + fns[1](1) + " " + fns[2](1));
ShowMessage(adder(1)(2));
