// Loops, branches and case labels.
var i, n, sum = 0;
for (i = 1; i <= 10; i++)
  sum = sum + i;
Print(sum);
sum = 0;
for (i = 10; i >= 1; i--)
  if (i % 2 == 0)
    sum += i;
Print(sum);
n = 0;
while (n < 100) {
  n = n + 7;
  if (n > 50)
    break;
}
Print(n);
n = 0;
sum = 0;
do {
  n++;
  if (n != 3)
    sum += n;
} while (n < 5);
Print(sum);
for (i = 1; i <= 4; i++)
  switch (i) {
    case 1: Print("one"); break;
    case 2:
    case 3: Print("two or three"); break;
    default: Print("other");
  }
if (sum > 10)
  Print("big");
else
  Print("small");
