// Exceptions raised by the runtime and by the script, finally blocks,
// and the string functions that reports use.
var s, i;
try {
  i = 0;
  if (10 / i == Infinity) // division never raises here
    throw new Error("Floating point division by zero");
} catch (e) {
  Print("caught: " + e.message);
}
try {
  try {
    throw "boom";
  } finally {
    Print("finally");
  }
} catch (e) {
  Print(ExceptionMessage);
}
s = Trim("  Hello World  ");
Print(UpperCase(s));
Print(Copy(s, 7, 5));
Print(Pos("World", s));
Print(StrToInt("42") + 1);
Print(Format("%d items at %s", [3, "noon"]));
