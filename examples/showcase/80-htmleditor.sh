# The HTML editor: the sample letter loaded with its pictures, an address
# pasted as plain text (it becomes a link), the text saved as BinHTML with the
# pictures it uses, and a picture of the editor; then the container unpacked
# by zorcc. Chromium draws the page, so this needs a (virtual) X screen and
# the gallery built with Qt WebEngine.
GALLERY="$PWD/build/$preset/examples/gallery/gallery"
if [[ -x "$GALLERY" ]] && "$GALLERY" --help | grep -q -- '--htmledit' && command -v xvfb-run >/dev/null && has html; then
  step "The HTML editor on the sample letter, an address pasted as a link: out/htmleditor.png, saved as out/htmleditor.binhtml"
  # As root Chromium runs without its sandbox; under Xvfb it draws in
  # software. Qt WebEngine's start-up report, Chromium's own log lines
  # ([pid:tid:time:LEVEL:file] …) and its note on the sandbox are left out.
  as_root=()
  [[ $(id -u) -ne 0 ]] || as_root=(QTWEBENGINE_DISABLE_SANDBOX=1)
  err=$(mktemp)
  env "${as_root[@]}" QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-gpu-compositing" \
    QT_LOGGING_RULES="qt.webenginecontext.info=false" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24" \
    "$GALLERY" --headless --htmledit examples/html/letter.html --paste-text "https://example.org/track/4711" \
    --save out/htmleditor.binhtml --grab out/htmleditor.png 2>"$err" || { cat "$err" >&2; rm -f "$err"; false; }
  grep -v -e '^\[[0-9]*:[0-9]*:' -e '^Sandboxing disabled by user' "$err" >&2 || true
  rm -f "$err"

  step "The editor's container unpacked: the pictures to out/htmleditor-files/, the text to out/htmleditor.html"
  rm -rf out/htmleditor-files
  "$ZORCC" html unpack out/htmleditor.binhtml --to out/htmleditor-files -o out/htmleditor.html
  ls out/htmleditor-files
  grep -o 'src="%IMAGEPATH%[^"]*"' out/htmleditor.html
fi
