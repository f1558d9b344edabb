' Date literals compare and order like the days they name.
Dim a, b
a = #2023-12-31#
b = #2024-01-01#
ShowMessage a < b
ShowMessage b - a
ShowMessage #2024-01-01 06:00# > b
