# The preview pane: for every sample in examples/data/preview, the previewer
# its MIME type takes (in process, or the PDF worker in a process of its own),
# then the pane itself grabbed into out/preview-<file>.png. The .png holding
# garbage shows its error and the binary .xyz "No preview available.", as a
# file manager's pane would.
if has preview; then
  P=examples/data/preview
  step "Which previewer the pane takes for each sample, and where it runs"
  for f in "$P"/*; do "$ZORCC" preview which "$f"; done

  step "The pane grabbed for each sample into out/preview-*.png (the PDF's first page from zor-preview-worker)"
  for f in "$P"/*; do
    "$ZORCC" preview render "$f" "out/preview-$(basename "$f").png" --size 640x480 \
      || echo "  (the pane shows the error above instead of a preview)"
  done

  GALLERY="$PWD/build/$preset/examples/gallery/gallery"
  if [[ -x "$GALLERY" ]]; then
    step "The gallery's Files page, headless: the folder with thumbnails from the shared cache, the PDF in the pane"
    "$GALLERY" --headless --preview "$P/report.pdf" --grab out/files.png
  fi
fi
