// UpperCase, LowerCase and Trim; Length counts characters.
var s: String;
begin
  s := '  Mixed Case  ';
  ShowMessage('[' + Trim(s) + ']');
  ShowMessage(UpperCase(Trim(s)));
  ShowMessage(LowerCase(Trim(s)));
  ShowMessage(Length(s));
  ShowMessage(Length(Trim(s)));
end.
