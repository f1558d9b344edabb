# Spreadsheets: a formula on its own, then an invoice workbook whose cells ask
# the application for data (DBVALUE) and the workbook's script for values
# (SCRIPT), calculated and converted to OpenDocument and CSV.
if has sheet; then
  S=examples/data/sheets
  step "A formula, and one that asks the script engine"
  "$ZORCC" sheet eval '=TEXT(DATE(2026,12,7),"dddd d mmmm yyyy")&" / "&ROUND(PI()*1000,2)'
  "$ZORCC" sheet eval '=SCRIPT("1+2")'

  step "The invoice calculated with its script and the order's data (DBVALUE, SCRIPT, SUM, VLOOKUP)"
  DATA=(--script "$S/invoice.pas" --data Orders.Number=2026-0042 --data "Orders.Customer=Ada Lovelace")
  "$ZORCC" sheet calc "$S/invoice.xlsx" "${DATA[@]}" --cells B1:B2,A5:D7,C8:D12

  step "Without the data: DBVALUE has nobody to ask (#N/A)"
  "$ZORCC" sheet calc "$S/invoice.xlsx" --script "$S/invoice.pas" --cells B1,D12

  step "Converted to out/invoice.ods and out/invoice.csv (the first sheet, values as shown)"
  "$ZORCC" sheet convert "$S/invoice.xlsx" out/invoice.ods "${DATA[@]}"
  "$ZORCC" sheet convert "$S/invoice.xlsx" out/invoice.csv "${DATA[@]}"
  cat out/invoice.csv
  step "The .ods keeps the formulas in OpenFormula; read back and calculated again"
  if command -v unzip >/dev/null; then
    unzip -p out/invoice.ods content.xml | grep -o 'table:formula="of:=[^"]*\[[^"]*"' | head -n 2
  fi
  "$ZORCC" sheet calc out/invoice.ods "${DATA[@]}" --cells B2,C5,D9 --json

  GALLERY="$PWD/build/$preset/examples/gallery/gallery"
  if [[ -x "$GALLERY" ]]; then
    step "The gallery's Spreadsheet page, headless: the invoice with its script, a script error's line and column, a form's Save and Close through callbacks"
    "$GALLERY" --headless --sheet out/sheet.png
  fi
fi
