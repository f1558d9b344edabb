// while, do ... while, continue and break.
var i = 0, s = 0;
while (true) {
  i++;
  if (i % 2 == 0)
    continue;
  if (i > 9)
    break;
  s += i;
}
ShowMessage(s);
var n = 100;
do { n = n - 30; } while (n > 0);
ShowMessage(n);
