// with opens a record inside an array, or a record field of a record.
type
  TSize = record
    W, H: Integer;
  end;
  TBox = record
    Name: String;
    Size: TSize;
  end;

var boxes: array of TBox;
    i: Integer;
begin
  SetLength(boxes, 2);
  for i := 0 to 1 do
    with boxes[i] do
    begin
      Name := 'box' + IntToStr(i);
      Size.W := i + 2;
    end;
  with boxes[1].Size do
    H := W * 3;
  with boxes[0], Size do
    H := 1;
  ShowMessage(boxes[0].Name + ' ' + IntToStr(boxes[0].Size.W) + 'x' + IntToStr(boxes[0].Size.H));
  ShowMessage(boxes[1].Name + ' ' + IntToStr(boxes[1].Size.W) + 'x' + IntToStr(boxes[1].Size.H));
end.
