// Inner functions reach the variables of every function around them, and
// inner functions call each other and themselves.
function outer(n) {
  var log = [];
  function middle(m) {
    var factor = 10;
    function inner(k) {
      log.push(n + ":" + m + ":" + k);
      return (n + m + k) * factor;
    }
    return inner(1) + inner(2);
  }
  function fact(k) {
    return k <= 1 ? 1 : k * fact(k - 1);
  }
  var r = middle(100);
  return r + " " + fact(n) + " " + log.join(" ");
}

ShowMessage(outer(5));
