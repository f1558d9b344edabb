# Rich text: a letter with nested lists, merged cells, a picture, a link,
# fields, header and footer, a page colour, Greek and CJK, converted to HTML
# with its picture beside it, to PDF, page 1 as a picture; then its structure
# and a spelling check.
if has rtf; then
  RTF=examples/data/richtext/sample.rtf
  step "The sample letter's structure: sections, lists, tables, pictures, fields, data items, pages"
  "$ZORCC" rtf info "$RTF" --json

  step "To HTML with its picture written beside it, to PDF with document information"
  mkdir -p out/richtext
  "$ZORCC" rtf convert "$RTF" out/richtext/sample.html
  ls out/richtext
  "$ZORCC" rtf pdf "$RTF" out/richtext/sample.pdf --title "Sample letter" --author ZorCompCore

  if command -v pdftoppm >/dev/null; then
    step "Page 1 of that PDF as a picture (poppler's pdftoppm, run as a separate program)"
    pdftoppm -f 1 -l 1 -r 60 -png -singlefile out/richtext/sample.pdf out/richtext/page1
    ls -l out/richtext/page1.png
  fi

  step "Spelling in British English, the misspelt words with suggestions"
  printf '{\\rtf1\\ansi The recieved colour was definately grey.\\par}' > out/richtext/typos.rtf
  "$ZORCC" rtf spell out/richtext/typos.rtf --language 2057 || true
fi
GALLERY="$PWD/build/$preset/examples/gallery/gallery"
if [[ -x "$GALLERY" ]] && has rtf; then
  # The word-processor window with a misspelt word typed at the top; on a
  # virtual X screen when Xvfb is there, else drawn offscreen.
  step "The word-processor window on the sample letter: out/richtext.png, a misspelt word marked while typing"
  if command -v xvfb-run >/dev/null; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24" "$GALLERY" --headless --richtext out/richtext.png
  else
    "$GALLERY" --headless --richtext out/richtext.png
  fi
fi
