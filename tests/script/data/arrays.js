// Fixed arrays, element updates and strings indexed by character.
var a = [0, 0, 0, 0, 0];
var i, sum, s;
for (i = 0; i <= 4; i++)
  a[i] = i * i;
sum = 0;
for (i = 0; i <= 4; i++)
  sum += a[i];
Print(sum);
Print(a[3]);
s = "script";
Print(UpperCase(s[0]) + Copy(s, 2, 5));
