# The script engine: one program in two syntaxes, a function call, an expression.
if has script; then
  step "A PascalScript program"
  "$ZORCC" script run examples/scripts/invoice.pas
  step "The same program in JScript"
  "$ZORCC" script run examples/scripts/invoice.js --language JScript
  step "Calling one of its functions with arguments"
  "$ZORCC" script run examples/scripts/invoice.pas --call "Gross(100)"
  step "An expression through the expression cache"
  "$ZORCC" script eval "FormatDateTime('yyyy-mm-dd', EncodeDate(2026, 12, 5)) + ' / ' + IntToStr(6 * 7)"
  step "A syntax error reports file, line and column"
  printf 'begin\n  x := 1 +;\nend.\n' > out/broken.pas
  "$ZORCC" script run out/broken.pas || true
fi
