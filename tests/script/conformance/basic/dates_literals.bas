' #…# date literals, in ISO or month/day/year order, with an optional time.
Dim d
d = #2024-01-31#
ShowMessage d = #1/31/2024#
ShowMessage #2024-03-01# - #2024-02-01#
ShowMessage #2024-01-31 12:00# - d
