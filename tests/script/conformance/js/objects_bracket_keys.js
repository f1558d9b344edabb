// Bracket access with computed names; counting words in an object.
var counts = {};
var words = "a b a c b a".split(" ");
for (var i = 0; i < words.length; i++) {
  var w = words[i];
  if (counts.hasOwnProperty(w))
    counts[w] = counts[w] + 1;
  else
    counts[w] = 1;
}
ShowMessage(counts.a + " " + counts["b"] + " " + counts.c);
