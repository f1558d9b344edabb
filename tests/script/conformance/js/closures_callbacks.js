// Callbacks passed to other functions see and change the caller's locals.
function each(list, fn) {
  for (var i = 0; i < list.length; i++) {
    fn(list[i], i);
  }
}

function summary(values) {
  var total = 0;
  var names = [];
  each(values, function (v, i) {
    total += v;
    names.push("#" + i + "=" + v);
  });
  return names.join(",") + " total " + total;
}

ShowMessage(summary([3, 4, 5]));

function sortedBy(list, key) {
  var copy = list.slice(0);
  copy.sort(function (x, y) { return x[key] - y[key]; });
  var out = [];
  for (var k = 0; k < copy.length; k++) {
    out.push(copy[k].name);
  }
  return out.join(" ");
}

var people = [{name: "Ann", age: 41}, {name: "Bob", age: 25}, {name: "Cid", age: 33}];
ShowMessage(sortedBy(people, "age"));
