' Mod keeps the sign of the dividend; \ divides and truncates toward zero.
ShowMessage 17 Mod 5
ShowMessage -7 Mod 3
ShowMessage 17 \ 5
ShowMessage -7 \ 2
ShowMessage 7 / 2
