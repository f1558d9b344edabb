# HTML text utilities and BinHTML: a letter with its two images packed into
# one block of bytes, then unpacked into a single page that carries the
# images inside it.
if has html; then
  step "Text for HTML: blanks in runs and the characters of the fixed tables become references, by name or by number"
  printf 'M\xc3\xbcller & S\xc3\xb6hne  \xe2\x84\xa2' | "$ZORCC" html encode --entities; echo
  printf 'M\xc3\xbcller & S\xc3\xb6hne  \xe2\x84\xa2' | "$ZORCC" html encode; echo

  step "The charset the letter's meta content declares, and what a reader sees of the letter"
  "$ZORCC" html charset examples/html/letter.html
  "$ZORCC" html to-text examples/html/letter.html; echo

  step "The letter and the two images it refers to as %IMAGEPATH%name, packed into out/letter.binhtml"
  "$ZORCC" html pack examples/html/letter.html --images examples/html -o out/letter.binhtml

  step "Unpacked again: the images go to out/letter-files/, the page with both images embedded to out/letter.html"
  "$ZORCC" html unpack out/letter.binhtml --to out/letter-files --embed -o out/letter.html --json
fi
