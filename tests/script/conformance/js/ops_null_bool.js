// null counts as 0 and booleans as 0 and 1 in arithmetic.
ShowMessage(null + 1);
ShowMessage(true + 1);
ShowMessage(false + true + true);
ShowMessage(null * 5);
ShowMessage(true * 10 - 3);
