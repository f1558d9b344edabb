// An error thrown in a function is caught by its caller; finally always runs.
function check(v) {
  if (v < 0)
    throw new Error("negative: " + v);
  return v;
}
try {
  ShowMessage(check(2));
  ShowMessage(check(-1));
  ShowMessage("not reached");
} catch (e) {
  ShowMessage(e.message);
} finally {
  ShowMessage("done");
}
