// Nested with statements: the innermost record that has the field wins.
type
  TInner = record
    Value: Integer;
  end;
  TOuter = record
    Value: Integer;
    Count: Integer;
  end;

var i: TInner;
    o: TOuter;
begin
  with o do
  begin
    Value := 1;
    with i do
    begin
      Value := 2;
      Count := 3;
    end;
  end;
  ShowMessage(IntToStr(o.Value) + ' ' + IntToStr(i.Value) + ' ' + IntToStr(o.Count));
end.
