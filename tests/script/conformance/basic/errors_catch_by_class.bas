' The first Catch whose class matches runs; ClassName names the class.
Dim a, b
a = 1
b = 0
Try
  ShowMessage a \ b
Catch ex As EConvertError
  ShowMessage "conversion"
Catch ex As EDivByZero
  ShowMessage ex.ClassName
End Try
