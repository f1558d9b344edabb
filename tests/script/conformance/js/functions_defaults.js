// Missing arguments are undefined unless a default is given.
function f(a, b) { return typeof b; }
function g(a, b = 10) { return a + b; }
ShowMessage(f(1));
ShowMessage(g(1));
ShowMessage(g(1, 2));
