' And, Or, Xor and Not are bitwise on integers and logical on Booleans.
ShowMessage 12 And 10
ShowMessage 12 Or 10
ShowMessage 12 Xor 10
ShowMessage Not 0
ShowMessage Not True
ShowMessage 3 > 2 And 1 > 2
ShowMessage 3 > 2 Or 1 > 2
