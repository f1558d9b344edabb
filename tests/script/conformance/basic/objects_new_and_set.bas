' Set x = New Class(…) creates an object; its members are read through x.
Dim e
Set e = New Exception("made here")
ShowMessage e.Message
ShowMessage e.ClassName
