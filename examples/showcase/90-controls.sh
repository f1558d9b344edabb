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
  step "The gallery's Controls page, headless: a picture with its popup menu open, and the tour's calls"
  "$GALLERY" --headless --controls out/controls.png
fi
