// Fixed-size arrays inside records (and records inside them) are part of the
// record's value: a copy of the record has its own elements.
type
  TLine = record
    Qty: array[1..3] of Integer;
    Name: String;
  end;
  TGrid = record
    Cells: array[0..1, 0..2] of Double;
    Lines: array[0..1] of TLine;
  end;
  TRow = array[0..2] of Integer;

var a, b: TLine;
    g: TGrid;
    r: TRow;
    i: Integer;
begin
  ShowMessage(IntToStr(Low(a.Qty)) + '..' + IntToStr(High(a.Qty)) + ' ' + IntToStr(a.Qty[2]));
  for i := 1 to 3 do
    a.Qty[i] := i * 5;
  b := a;
  b.Qty[2] := 0;
  ShowMessage(IntToStr(a.Qty[2]) + ' ' + IntToStr(b.Qty[2]) + ' ' + IntToStr(b.Qty[3]));
  g.Cells[1, 2] := 1.5;
  g.Lines[1].Qty[3] := 7;
  g.Lines[1].Name := 'second';
  ShowMessage(FloatToStr(g.Cells[1][2]) + ' ' + FloatToStr(g.Cells[0][2]) + ' ' + IntToStr(g.Lines[1].Qty[3])
    + ' ' + IntToStr(g.Lines[0].Qty[3]) + ' ' + g.Lines[1].Name);
  r[2] := 4;
  ShowMessage(IntToStr(Length(r)) + ' ' + IntToStr(r[0] + r[2]));
end.
