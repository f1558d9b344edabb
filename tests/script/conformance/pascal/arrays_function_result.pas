// Functions build dynamic arrays in Result; Copy takes a part of one.
type
  TPair = record
    Key: String;
    Value: Integer;
  end;

function Squares(n: Integer): array of Integer;
var i: Integer;
begin
  SetLength(Result, n);
  for i := 0 to n - 1 do
    Result[i] := i * i;
end;

function Pairs: array of TPair;
begin
  SetLength(Result, 2);
  Result[0].Key := 'a';
  Result[0].Value := 1;
  Result[1].Key := 'b';
  Result[1].Value := 2;
end;

var sq, part: array of Integer;
    ps: array of TPair;
    i: Integer;
    s: String;
begin
  sq := Squares(5);
  part := Copy(sq, 1, 3);
  part[0] := -1;
  s := '';
  for i := 0 to High(part) do
    s := s + IntToStr(part[i]) + ' ';
  ShowMessage(s + '/ ' + IntToStr(sq[1]));
  ps := Pairs;
  ShowMessage(ps[1].Key + '=' + IntToStr(ps[1].Value));
end.
