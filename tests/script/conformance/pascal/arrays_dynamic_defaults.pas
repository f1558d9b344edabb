// New elements of a typed dynamic array start at their type's default.
var counts: array of Integer;
    names: array of String;
    flags: array of Boolean;
    grid: array of array of Integer;
    r, c: Integer;
begin
  SetLength(counts, 2);
  SetLength(names, 2);
  SetLength(flags, 1);
  ShowMessage(IntToStr(counts[1] + 5));
  ShowMessage('[' + names[0] + ']');
  if not flags[0] then
    ShowMessage('false');
  SetLength(grid, 3);
  for r := 0 to High(grid) do
  begin
    SetLength(grid[r], r + 1);
    for c := 0 to High(grid[r]) do
      grid[r][c] := r * 10 + c;
  end;
  ShowMessage(IntToStr(Length(grid[2])) + ' ' + IntToStr(grid[2][1]) + ' ' + IntToStr(grid[1, 0]));
end.
