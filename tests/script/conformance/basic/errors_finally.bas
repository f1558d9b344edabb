' Finally runs whether or not an exception passes.
Sub Work(fail)
  Try
    ShowMessage "work"
    If fail Then Throw New Exception("failed")
  Finally
    ShowMessage "cleanup"
  End Try
End Sub
Work False
Try
  Work True
Catch ex As Exception
  ShowMessage "caught " & ex.Message
End Try
