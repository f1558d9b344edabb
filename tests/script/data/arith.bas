' Operators and their precedence.
Dim i As Integer, s As String, f As Double
Print 7 + 3 * 2
Print (7 + 3) * 2
Print 17 Mod 5
Print 7 / 2
Print 2 * 3 - 4 - 1
s = "abc" & "def"
Print s
Print Length(s)
Print 1 < 2
Print (3 = 3) And (2 > 5)
Print Not (1 > 2)
f = 1.5
Print f * 2
i = 10
i -= 4
Print i
Print 6 Xor 3
Print 6 And 3
Print -i + 1
