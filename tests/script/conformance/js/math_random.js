// random stays in [0, 1): a thousand draws.
var ok = true;
for (var i = 0; i < 1000; i++) {
  var r = Math.random();
  if (r < 0 || r >= 1)
    ok = false;
}
ShowMessage(ok);
var dice = Math.floor(Math.random() * 6) + 1;
ShowMessage(dice >= 1 && dice <= 6);
