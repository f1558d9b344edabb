# Part of the showcase (sourced by scripts/showcase.sh): how far a form's texts
# are translated, as numbers and as the statistics dialog a translator sees.
# The picture is taken on a virtual X display when xvfb-run is there, else on
# Qt's offscreen platform.
GALLERY="$PWD/build/$preset/examples/gallery/gallery"
if [[ -x "$GALLERY" ]]; then
  step "Translation statistics of the demo form: stored texts per language (the French ones above came from the translator at run time, so French still counts as to be done), and a picture of the dialog"
  if command -v xvfb-run >/dev/null; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
      "$GALLERY" --headless --language French --statistics out/statistics.png
  else
    "$GALLERY" --headless --language French --statistics out/statistics.png
  fi
fi
