// Copy without a count takes the rest of the string; an index before the
// first character counts from it, one past the end gives ''.
var s: String;
begin
  s := 'Hello, World';
  ShowMessage(Copy(s, 8));
  ShowMessage(Copy(s, 1) = s);
  ShowMessage('[' + Copy(s, 13) + '][' + Copy(s, 12) + ']');
  ShowMessage(Copy(s, 0));
end.
