// == converts, === compares type and value.
ShowMessage("1" == 1);
ShowMessage("1" === 1);
ShowMessage(1 === 1.0);
ShowMessage(null == undefined);
ShowMessage(null === undefined);
ShowMessage("a" !== "a");
ShowMessage(0 != "");
ShowMessage(2 !== "2");
