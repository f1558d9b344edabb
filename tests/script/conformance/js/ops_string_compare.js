// Two strings compare as text; a string and a number as numbers.
ShowMessage("apple" < "banana");
ShowMessage("10" < "9");
ShowMessage("10" < 9);
ShowMessage("b" > "a");
