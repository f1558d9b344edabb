// abs, max, min, pow, sqrt and the constants.
ShowMessage(Math.abs(-3.5));
ShowMessage(Math.max(1, 7, 3));
ShowMessage(Math.min(4, -2, 9));
ShowMessage(Math.pow(2, 10));
ShowMessage(Math.sqrt(144));
ShowMessage(Math.PI);
ShowMessage(Math.floor(Math.PI * 100) / 100);
ShowMessage(Math.max());
