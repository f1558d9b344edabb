// Arrays of arrays as a small table.
var grid = [[1, 2, 3], [4, 5, 6]];
var total = 0;
for (var r = 0; r < grid.length; r++)
  for (var c = 0; c < grid[r].length; c++)
    total += grid[r][c];
ShowMessage(total);
grid[1][2] = 60;
ShowMessage(grid[1].join(","));
