// IntToStr, StrToInt, StrToIntDef and FloatToStr.
var n: Integer;
begin
  n := StrToInt('42') + 1;
  ShowMessage(IntToStr(n) + '!');
  ShowMessage(StrToIntDef('4x2', -1));
  ShowMessage(FloatToStr(1.25));
  ShowMessage('n=' + IntToStr(n * 2));
end.
