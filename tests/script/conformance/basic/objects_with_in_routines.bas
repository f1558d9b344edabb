' With blocks in a Sub and in a Catch handler, nested in each other.
Sub Describe(ex)
  With ex
    ShowMessage "caught " & .ClassName
    ShowMessage .Message
  End With
End Sub

Dim outer
Set outer = New Exception("outer")
Try
  Throw New EDivByZero("inner")
Catch err As Exception
  With outer
    ShowMessage .Message
    Describe err
    With err
      ShowMessage .Message
    End With
    ShowMessage .Message
  End With
End Try
