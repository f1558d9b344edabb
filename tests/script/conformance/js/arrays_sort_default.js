// Without a comparison, sort orders by text.
var a = [10, 9, 1, 100];
a.sort();
ShowMessage(a.join(","));
var s = ["pear", "apple", "fig"];
s.sort();
ShowMessage(s.join(","));
