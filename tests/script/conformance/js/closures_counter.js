// A function made inside another keeps the variables it uses: each counter
// has its own count, and it survives the call that made it.
function makeCounter(start) {
  var count = start;
  return function () {
    count++;
    return count;
  };
}

var a = makeCounter(0);
var b = makeCounter(10);
a();
a();
ShowMessage(a());
ShowMessage(b());
ShowMessage(a() + b());
