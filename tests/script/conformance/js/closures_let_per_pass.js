// let in a loop: every pass has a binding of its own, var shares one.
var byLet = [];
for (let i = 0; i < 3; i++) {
  byLet.push(function () { return i; });
}
ShowMessage(byLet[0]() + " " + byLet[1]() + " " + byLet[2]());

var byVar = [];
for (var j = 0; j < 3; j++) {
  byVar.push(function () { return j; });
}
ShowMessage(byVar[0]() + " " + byVar[1]() + " " + byVar[2]());

// a let declared in the body is new in each pass too
var inBody = [];
for (var k = 0; k < 3; k++) {
  let square = k * k;
  inBody.push(function () { return square; });
}
ShowMessage(inBody[0]() + " " + inBody[1]() + " " + inBody[2]());

// the step works on the next pass's copy; continue still steps
var stepped = [];
for (let n = 0; n < 6; n++) {
  if (n % 2 == 1) continue;
  stepped.push(function () { return n; });
  n = n + 0;
}
ShowMessage(stepped.length + " " + (stepped[0]() + stepped[1]() + stepped[2]()));

// for … of with let: one binding per element
var letters = [];
for (let c of ["a", "b", "c"]) {
  letters.push(function () { return c.toUpperCase(); });
}
ShowMessage(letters[0]() + letters[1]() + letters[2]());

// inside a function, and a function made in the pass that changes its own copy
function counters() {
  var list = [];
  for (let i = 1; i <= 2; i++) {
    list.push(function () { i = i * 10; return i; });
  }
  return list;
}
var cs = counters();
ShowMessage(cs[0]() + " " + cs[0]() + " " + cs[1]());

// a function made before the let in the same block sees the value it gets
function early() {
  var get = function () { return late; };
  let late = 42;
  return get();
}
ShowMessage(early());
