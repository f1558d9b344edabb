// Functions declared inside functions, called there and recursively.
function outer(n) {
  function fact(k) {
    if (k <= 1)
      return 1;
    return k * fact(k - 1);
  }
  return fact(n) + 1;
}
ShowMessage(outer(5));
