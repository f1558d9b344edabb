// Functions, recursion, default values, early exit. JScript has no
// by-reference parameters: the swap goes through an array.
function Fib(n) {
  if (n < 2)
    return n;
  return Fib(n - 1) + Fib(n - 2);
}

function Swap(pair) {
  return [pair[1], pair[0]];
}

function Greet(name, greeting = "Hello") {
  return greeting + ", " + name;
}

function FirstOver(limit) {
  for (var i = 1; i <= 100; i++)
    if (i * i > limit)
      return i;
  return -1;
}

var p;
Print(Fib(15));
p = Swap([1, 2]);
Print(IntToStr(p[0]) + "," + IntToStr(p[1]));
Print(Greet("Ann"));
Print(Greet("Bob", "Hi"));
Print(FirstOver(50));
