' ^ raises to a power and binds tighter than unary minus.
ShowMessage 2 ^ 10
ShowMessage 2 ^ -1
ShowMessage -2 ^ 2
ShowMessage (-2) ^ 2
ShowMessage 2 ^ 3 ^ 2
