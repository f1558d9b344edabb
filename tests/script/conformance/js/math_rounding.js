// floor, ceil and round (halves round up, also below zero).
ShowMessage(Math.floor(2.7));
ShowMessage(Math.floor(-2.2));
ShowMessage(Math.ceil(2.1));
ShowMessage(Math.round(2.5));
ShowMessage(Math.round(-2.5));
ShowMessage(Math.round(2.4));
