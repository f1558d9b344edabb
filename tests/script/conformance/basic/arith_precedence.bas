' * and / before \, before Mod, before + and -.
ShowMessage 2 + 3 * 4
ShowMessage 10 - 2 - 3
ShowMessage 20 \ 3 * 2
ShowMessage 10 Mod 4 + 1
ShowMessage (2 + 3) * 4
