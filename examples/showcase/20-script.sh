# The script engine: one program in four syntaxes, a function call, an expression.
if has script; then
  step "A PascalScript program"
  "$ZORCC" script run examples/scripts/invoice.pas
  step "The same program in C++Script, BasicScript and JScript prints the same"
  for f in invoice.cpps invoice.bas invoice.js; do
    if "$ZORCC" script run "examples/scripts/$f" | diff -q - examples/scripts/invoice.expected >/dev/null; then
      echo "$f: same output"
    else
      echo "$f: DIFFERENT output"
    fi
  done
  step "Calling one of its functions with arguments"
  "$ZORCC" script run examples/scripts/invoice.pas --call "Gross(100)" | tail -n 1  # after the invoice shown above
  step "An expression through the expression cache"
  "$ZORCC" script eval "FormatDateTime('yyyy-mm-dd', EncodeDate(2026, 12, 5)) + ' / ' + IntToStr(6 * 7)"
  step "BasicScript's own names for the shared library"
  "$ZORCC" script functions --syntax BasicScript | grep -A1 -E '^  Function (UCase|InStr|DateAdd)\('
  step "A syntax error reports file, line and column"
  printf 'begin\n  x := 1 +;\nend.\n' > out/broken.pas
  "$ZORCC" script run out/broken.pas || true
fi
