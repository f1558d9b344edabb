' Dates as Select Case ranges.
Sub Quarter(d)
  Select Case d
    Case #2024-01-01# To #2024-03-31#
      ShowMessage "Q1"
    Case #2024-04-01# To #2024-06-30#
      ShowMessage "Q2"
    Case Else
      ShowMessage "later"
  End Select
End Sub
Quarter #2024-02-29#
Quarter #2024-04-01#
Quarter #2024-12-24#
