// A date from its parts, read back in local time (months count from 0).
var d = new Date(2024, 0, 31, 13, 45, 10);
ShowMessage(d.getFullYear());
ShowMessage(d.getMonth());
ShowMessage(d.getDate());
ShowMessage(d.getDay());
ShowMessage(d.getHours() + ":" + d.getMinutes() + ":" + d.getSeconds());
