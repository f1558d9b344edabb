// Division is always by floating point: no error on zero.
ShowMessage(7 / 2);
ShowMessage(1 / 0);
ShowMessage(-1 / 0);
ShowMessage(1 / 0 == Infinity);
ShowMessage(0 / 0 == 0 / 0);
ShowMessage(6 / 3);
