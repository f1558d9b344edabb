// Compound assignments and increments.
var x = 10;
x += 5;
x -= 3;
x *= 2;
x /= 4;
ShowMessage(x);
var s = "ab";
s += "cd";
s += 1;
ShowMessage(s);
var i = 1;
var j = i++ + ++i;
ShowMessage(i + " " + j);
