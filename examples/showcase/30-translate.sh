# Dynamic translation: the offline glossary behind the translator and its cache.
if has translate; then
  step "German to French through the offline glossary (cached under out/cache)"
  "$ZORCC" translate --from German --to French --glossary examples/data/glossary \
      --cache-dir out/cache Datei Bearbeiten Ansicht || true
  step "The same texts deferred to the background loader"
  "$ZORCC" translate --from German --to Italian --glossary examples/data/glossary \
      --cache-dir out/cache --defer Datei Bearbeiten Ansicht || true
fi
if has cache; then
  step "The cache files the translator wrote"
  for f in out/cache/*.lc; do
    [[ -e "$f" ]] || continue
    echo "-- $f"
    "$ZORCC" cache dump "$f"
  done
  step "The key of a text"
  "$ZORCC" cache key "TfrmMain.Caption" "Datei"
fi
