// + joins text as soon as either side is a string, left to right.
ShowMessage("a" + 1);
ShowMessage(1 + "a");
ShowMessage(1 + 2 + "x");
ShowMessage("x" + 1 + 2);
ShowMessage("v=" + true);
ShowMessage("n=" + null);
