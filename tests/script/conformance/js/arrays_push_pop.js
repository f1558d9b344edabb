// push returns the new length, pop the removed element.
var a = [];
ShowMessage(a.push(1));
ShowMessage(a.push(2, 3));
ShowMessage(a.pop());
ShowMessage(a.length);
var e = [];
ShowMessage(e.pop());
