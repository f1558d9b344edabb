// % keeps the sign of the left side and works on fractions.
ShowMessage(7 % 3);
ShowMessage(-7 % 3);
ShowMessage(7 % -3);
ShowMessage(5.5 % 2);
