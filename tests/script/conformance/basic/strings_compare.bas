' Strings compare by character codes; = is case-sensitive.
ShowMessage "abc" < "abd"
ShowMessage "B" < "a"
ShowMessage "abc" = "ABC"
ShowMessage "abc" <> "ABC"
ShowMessage "ab" < "abc"
