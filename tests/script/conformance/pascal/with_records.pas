// with opens a record: its fields are named directly, before other names.
type
  TPoint = record
    X, Y: Integer;
  end;
  TRect = record
    A, B: TPoint;
  end;

var p: TPoint;
    r: TRect;
    X: Integer;
begin
  X := 100;
  with p do
  begin
    X := 1;
    Y := X + 1;
  end;
  ShowMessage(IntToStr(p.X) + ',' + IntToStr(p.Y) + ' ' + IntToStr(X));
  with r, B do
  begin
    X := 7;
    A.Y := 8;
  end;
  ShowMessage(IntToStr(r.B.X) + ',' + IntToStr(r.A.Y));
end.
