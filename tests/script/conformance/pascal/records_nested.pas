// Records hold records; r.A.X reaches a field of the inner one.
type
  TPoint = record
    X, Y: Integer;
  end;
  TRect = record
    TopLeft, BottomRight: TPoint;
  end;

function Area(const R: TRect): Integer;
begin
  Result := (R.BottomRight.X - R.TopLeft.X) * (R.BottomRight.Y - R.TopLeft.Y);
end;

var r: TRect;
begin
  r.TopLeft.X := 1;
  r.TopLeft.Y := 2;
  r.BottomRight.X := 6;
  r.BottomRight.Y := 5;
  ShowMessage(Area(r));
end.
