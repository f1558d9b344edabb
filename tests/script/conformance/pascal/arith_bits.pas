// and, or, xor, shl and shr on integers are bitwise.
begin
  ShowMessage(12 and 10);
  ShowMessage(12 or 10);
  ShowMessage(12 xor 10);
  ShowMessage(1 shl 4);
  ShowMessage(256 shr 3);
  ShowMessage(not 0);
end.
