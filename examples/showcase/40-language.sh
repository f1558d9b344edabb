# Part of the showcase (sourced by scripts/showcase.sh): a form switching
# language at run time, and translation files handed to translators as
# tab-separated text and as a gettext file.
GALLERY="$PWD/build/$preset/examples/gallery/gallery"
if [[ -x "$GALLERY" ]]; then
  step "A form switches from its German design to French; missing texts come from the offline glossary, deferred"
  "$GALLERY" --headless --language French
fi

if has sib; then
  step "Translation files to tab-separated text and back"
  printf 'ID\tType\tGerman\tEnglish\tFrench\nbtnApply.text\tstCaptions\tÜbernehmen\tApply\tAppliquer\nmsgSaved\tstStrings\tGespeichert.\\nWeiter?\tSaved.\\nContinue?\t\n' \
    > out/TfrmLanguageDemo.tsv
  "$ZORCC" sib import out/TfrmLanguageDemo.tsv out/TfrmLanguageDemo.sib --owner TfrmLanguageDemo
  "$ZORCC" sib export out/TfrmLanguageDemo.sib out/TfrmLanguageDemo.export.tsv
  cat out/TfrmLanguageDemo.export.tsv
  step "The French texts as a gettext file (for Poedit, Weblate, Transifex …), and a translation merged back"
  "$ZORCC" sib export out/TfrmLanguageDemo.sib out/TfrmLanguageDemo_fr.po --language French
  cat out/TfrmLanguageDemo_fr.po
  # A translator fills in the missing text; the import writes it into the .sib.
  awk '/stStrings:msgSaved/ { hit = 1 } hit && /^msgstr ""$/ { print "msgstr \"Enregistré.\\nContinuer ?\""; hit = 0; next } { print }' \
    out/TfrmLanguageDemo_fr.po > out/TfrmLanguageDemo_fr.done.po
  "$ZORCC" sib import out/TfrmLanguageDemo_fr.done.po out/TfrmLanguageDemo.sib
  step "How far the texts of that translation file are translated"
  "$ZORCC" sib stats out/TfrmLanguageDemo.sib
fi
