# Typed binary encoding: values and named variant lists to bytes and back.
if has variant; then
  step "A UTF-16 string variant as bytes, and back"
  "$ZORCC" variant encode '{"vt": 258, "value": "AB"}'
  "$ZORCC" variant decode 02010200000041004200

  step "An array of three 32-bit integers (one raw block after the count)"
  "$ZORCC" variant encode '{"vt": 8195, "items": [{"vt": 3, "value": 1}, {"vt": 3, "value": 2}, {"vt": 3, "value": 3}]}'

  step "Hostile input is refused with one line, not a crash"
  "$ZORCC" variant decode 0820ffffff7f || true
fi
if has nvl; then
  step "A named variant list written to out/settings.nvl and read back"
  "$ZORCC" nvl encode examples/data/showcase/settings.json out/settings.nvl
  "$ZORCC" nvl decode out/settings.nvl
fi
