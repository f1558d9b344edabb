' "" inside a string is one quote; _ continues a line; ' and Rem are comments.
Dim s
s = "say ""hi""" ' a comment
Rem another comment
ShowMessage s
ShowMessage "one" & _
  " two"
ShowMessage "it's"
