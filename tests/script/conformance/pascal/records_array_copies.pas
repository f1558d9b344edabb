// A record read out of an array is a copy; writing to the copy leaves the
// element alone, and a record stored in the array is copied in.
type
  TPoint = record
    X, Y: Integer;
  end;

var pts: array of TPoint;
    p: TPoint;
begin
  SetLength(pts, 2);
  pts[0].X := 1;
  p := pts[0];
  p.X := 50;
  ShowMessage(IntToStr(pts[0].X) + ' ' + IntToStr(p.X));
  p.Y := 7;
  pts[1] := p;
  p.Y := 8;
  ShowMessage(IntToStr(pts[1].X) + ' ' + IntToStr(pts[1].Y));
end.
