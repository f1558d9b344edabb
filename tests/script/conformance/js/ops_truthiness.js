// Every value has a truth: empty text, 0, null and undefined are false;
// || and && give the operand that decided.
var u;
var name = "" || "anonymous";
ShowMessage(name);
ShowMessage(0 || null || "last");
ShowMessage("a" && "b");
if ("text") ShowMessage("text is true");
if (!u) ShowMessage("undefined is false");
if ([]) ShowMessage("arrays are true");
ShowMessage(!!"" + " " + !!"0");
