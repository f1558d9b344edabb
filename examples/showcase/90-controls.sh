# Controls: the loading animation's built-in sprite sheets, cut into frames.
if has sprite; then
  step "The circle animation's sheet: twelve 32-pixel frames"
  "$ZORCC" sprite info ZORLOADINGANIM_C132

  step "The same sheet drawn for screens at twice the density"
  "$ZORCC" sprite info --json --ratio 2 ZORLOADINGANIM_C132

  step "The blocks animation cut into out/sprites/frame000.png … frame022.png"
  "$ZORCC" sprite cut ZORLOADINGANIM_BLKS32 out/sprites
fi
GALLERY="$PWD/build/$preset/examples/gallery/gallery"
if [[ -x "$GALLERY" ]] && has sprite; then
  # On a virtual X screen the picture is the screen itself, grabbed while the
  # menu is open; without Xvfb the page and its menu are drawn offscreen.
  if command -v xvfb-run >/dev/null; then
    step "The gallery's Controls page on a virtual screen: out/controls.png grabbed with its popup menu open, and the tour's calls"
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" "$GALLERY" --headless --controls out/controls.png
  else
    step "The gallery's Controls page, offscreen: out/controls.png with its popup menu open, and the tour's calls"
    "$GALLERY" --headless --controls out/controls.png
  fi
fi
