// The invoice workbook's script: SCRIPT("VatRate"), SCRIPT("Discount(…)") and
// SCRIPT("Pieces") in its cells call these; SpreadSheet is the workbook itself.
function VatRate: Double;
begin
  Result := 0.19;
end;

// Five per cent off orders above 100.
function Discount(Net: Double): Double;
begin
  if Net > 100 then
    Result := Round(Net * 5) / 100
  else
    Result := 0;
end;

// The quantities of the item rows, read from the sheet.
function Pieces: Integer;
var
  Row: Integer;
begin
  Result := 0;
  for Row := 5 to 7 do
    Result := Result + SpreadSheet.CellValue('B' + IntToStr(Row));
end;

begin
end.
