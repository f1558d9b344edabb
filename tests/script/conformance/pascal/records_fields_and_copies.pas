// Records: fields start at their type's default; assignment copies the record.
type
  TPoint = record
    X, Y: Integer;
    Tag: String;
  end;

var p, q: TPoint;
begin
  ShowMessage(IntToStr(p.X) + ',' + IntToStr(p.Y) + '[' + p.Tag + ']');
  p.X := 3;
  p.Y := 4;
  p.Tag := 'p';
  q := p;
  q.X := 30;
  q.Tag := 'q';
  ShowMessage(IntToStr(p.X) + ' ' + p.Tag);
  ShowMessage(IntToStr(q.X) + ' ' + IntToStr(q.Y) + ' ' + q.Tag);
end.
