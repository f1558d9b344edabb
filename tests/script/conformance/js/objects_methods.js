// Functions stored in objects are called as methods.
var calc = {
  twice: function (x) { return x * 2; },
  add: function (a, b) { return a + b; }
};
ShowMessage(calc.twice(21));
ShowMessage(calc.add(2, 3));
