' Compound assignments update a variable in place.
Dim n, s
n = 10
n += 5
n -= 3
n *= 2
ShowMessage n
n /= 8
ShowMessage n
s = "ab"
s &= "cd"
ShowMessage s
