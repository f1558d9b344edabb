' Comparisons give True or False; they print as such and join as text.
Dim ok
ok = 2 > 1
ShowMessage ok
ShowMessage Not ok
ShowMessage "ok=" & ok
If ok Then ShowMessage "yes"
