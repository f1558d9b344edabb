// for ... in visits the property names in the order they were added.
var o = {x: 1, y: 2};
o.z = 3;
var keys = "";
var sum = 0;
for (var k in o) {
  keys = keys + k;
  sum += o[k];
}
ShowMessage(keys);
ShowMessage(sum);
