// getTime gives milliseconds: differences between dates in days; month overflow.
var a = new Date(2024, 0, 1);
var b = new Date(2024, 2, 1);
ShowMessage((b.getTime() - a.getTime()) / 86400000);
var c = new Date(2023, 12, 1);
ShowMessage(c.getFullYear() + "-" + (c.getMonth() + 1));
var e = new Date(a.getTime());
ShowMessage(e.getTime() == a.getTime());
ShowMessage(b - a > 0);
