# Pictures: formats by content, thumbnails, a turned metafile, PDF pages, an
# image list set packed from icon folders, and the shared thumbnail cache.
if has image; then
  IMG=examples/data/images
  step "What the sample pictures are, by their content (the turned photo reports its upright size)"
  "$ZORCC" image info "$IMG"/*

  step "Thumbnails: 45 pixels high (the width follows, halves to even), a PDF page 200 wide as PNG"
  "$ZORCC" image thumb "$IMG/photo-exif-rotated.jpg" out/photo-thumb.jpg --height 45
  "$ZORCC" image thumb "$IMG/document.pdf" out/document-thumb.png --width 200

  step "An EMF turned a quarter clockwise, as pixels and as an SVG that stays vector"
  "$ZORCC" image render "$IMG/shapes.emf" out/shapes-turned.png --width 100 --height 200 --rotate 90
  "$ZORCC" image render "$IMG/plan.wmf" out/plan.svg --width 400 --height 200

  step "Page 2 of the PDF at 50 dpi, and a format nothing writes"
  "$ZORCC" image pdf-page "$IMG/document.pdf" out/page2.png --page 2 --dpi 50
  "$ZORCC" image convert "$IMG/icon.png" out/icon.emf || true

  step "Thumbnails of the whole folder into a thumbnail cache under out/ (the desktop's own without --cache)"
  "$ZORCC" image thumbs "$IMG" --cache out/thumbnails
fi
if has imagelist; then
  step "Icon folders of 16 and 32 pixels packed into one image list set, a 24-pixel list added"
  mkdir -p out/icons16 out/icons32
  "$ZORCC" image thumb "$IMG/icon.png" out/icons16/a.png --height 16 --width 16
  "$ZORCC" image thumb "$IMG/chart.bmp" out/icons16/b.png --height 16 --width 16
  "$ZORCC" image thumb "$IMG/icon.png" out/icons32/a.png --height 32 --width 32
  "$ZORCC" image thumb "$IMG/chart.bmp" out/icons32/b.png --height 32 --width 32
  "$ZORCC" imagelist pack out/icons.zis out/icons16 out/icons32
  "$ZORCC" imagelist scale out/icons.zis out/icons-3.zis --size 24
  "$ZORCC" imagelist info out/icons-3.zis
fi
GALLERY="$PWD/build/$preset/examples/gallery/gallery"
if [[ -x "$GALLERY" ]] && has image; then
  step "The gallery's Images page, headless: thumbnails from the cache and the preview window of the turned photo"
  XDG_CACHE_HOME="$PWD/out/cache" "$GALLERY" --headless --images out/preview.png
fi
