// A caught error offers its text as message and as Message.
try {
  throw new Error("bad input");
} catch (e) {
  ShowMessage(e.message);
  ShowMessage(e.Message);
}
