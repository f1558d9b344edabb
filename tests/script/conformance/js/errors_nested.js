// An inner handler rethrows to an outer one.
try {
  try {
    throw new Error("first");
  } catch (e) {
    ShowMessage("inner " + e.message);
    throw new Error("second");
  }
} catch (e2) {
  ShowMessage("outer " + e2.message);
}
