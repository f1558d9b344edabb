' Inside With, a call written without parentheses may take members of the
' object as arguments: a dot after a blank starts the argument.
Sub Report(label, text)
  ShowMessage label & ": " & text
End Sub

Dim e
Set e = New EConvertError("not a number")
With e
  ShowMessage .Message
  ShowMessage .ClassName
  Report "class", .ClassName
  Report .ClassName, .Message
  ShowMessage .Message & " (" & .ClassName & ")"
  Call Report("call", .Message)
  If Len(.Message) > 3 Then ShowMessage .Message
  ShowMessage _
    .ClassName
End With
