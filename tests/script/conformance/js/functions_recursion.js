// Recursion: Fibonacci numbers and the greatest common divisor.
function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }
function gcd(a, b) { return b == 0 ? a : gcd(b, a % b); }
ShowMessage(fib(20));
ShowMessage(gcd(1071, 462));
