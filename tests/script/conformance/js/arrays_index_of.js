// indexOf compares strictly and returns -1 when absent.
var a = [5, "5", 7, 5];
ShowMessage(a.indexOf(5));
ShowMessage(a.indexOf("5"));
ShowMessage(a.indexOf(8));
ShowMessage(a.indexOf(5, 1));
ShowMessage(a.lastIndexOf(5));
