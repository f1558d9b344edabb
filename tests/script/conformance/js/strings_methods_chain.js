// Methods on the results of methods, and on literals.
ShowMessage(" a,b ".trim().split(",")[1].toUpperCase());
ShowMessage("report".charAt(0).toUpperCase() + "report".substring(1));
ShowMessage("abc".concat("def", 1));
ShowMessage("file.txt".endsWith(".txt"));
