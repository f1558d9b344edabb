// switch falls through until break; strings as labels.
function kind(c) {
  var r = "";
  switch (c) {
    case "a":
    case "e":
      r = "vowel";
      break;
    case "z":
      r = "last ";
    default:
      r = r + "other";
  }
  return r;
}
ShowMessage(kind("a"));
ShowMessage(kind("z"));
ShowMessage(kind("q"));
