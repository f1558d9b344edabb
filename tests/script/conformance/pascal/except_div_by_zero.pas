// Integer division by zero raises EDivByZero, which handlers can select.
var a, b: Integer;
begin
  a := 10;
  b := 0;
  try
    ShowMessage(a div b);
  except
    on E: EConvertError do ShowMessage('conversion');
    on E: EDivByZero do ShowMessage(E.ClassName);
  end;
end.
