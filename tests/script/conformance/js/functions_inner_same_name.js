// Inner functions belong to the function they are written in: two outer
// functions may each have their own "helper".
function area(w, h) {
  function helper() {
    return w * h;
  }
  return helper();
}

function perimeter(w, h) {
  function helper() {
    return 2 * (w + h);
  }
  return helper();
}

function helper() {
  return "top-level";
}

ShowMessage(area(3, 4));
ShowMessage(perimeter(3, 4));
ShowMessage(helper());
