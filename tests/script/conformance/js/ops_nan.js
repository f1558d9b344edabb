// NaN is unequal to everything, itself included; relations with it are false.
var n = 0 / 0;
ShowMessage(n == n);
ShowMessage(n < 1);
ShowMessage(n > 1);
ShowMessage("abc" * 2);
ShowMessage("6" * "7");
