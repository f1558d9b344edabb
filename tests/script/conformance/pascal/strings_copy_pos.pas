// Copy, Pos, Delete and Insert count from 1.
var s: String;
begin
  s := 'Hello, World';
  ShowMessage(Copy(s, 1, 5));
  ShowMessage(Copy(s, 8, 100));
  ShowMessage(Pos('World', s));
  ShowMessage(Pos('xyz', s));
  Delete(s, 6, 1);
  ShowMessage(s);
  Insert('!', s, 6);
  ShowMessage(s);
end.
