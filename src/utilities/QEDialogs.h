// Message and input dialogs that a host can redirect: with
// GlobalMessageDialogHandler set, every dialog goes through it; otherwise Qt
// dialogs are shown, which needs a running QApplication and the main thread.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QFlags>
#include <QString>
#include <functional>

namespace zor {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn {
    mbYes = 0x1,
    mbNo = 0x2,
    mbOK = 0x4,
    mbCancel = 0x8,
    mbAbort = 0x10,
    mbRetry = 0x20,
    mbIgnore = 0x40,
    mbAll = 0x80,
    mbNoToAll = 0x100,
    mbYesToAll = 0x200,
    mbHelp = 0x400,
    mbClose = 0x800,
};
Q_DECLARE_FLAGS(TMsgDlgButtons, TMsgDlgBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMsgDlgButtons)

// Modal results.
enum : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrClose = 8,
    mrHelp = 9,
    mrAll = 12,
    mrNoToAll = 13,
    mrYesToAll = 14,
};

// Returns the modal result; called on the caller's thread.
using TMessageDialogHandler = std::function<int(const QString &msg, TMsgDlgType dlgType,
                                                TMsgDlgButtons buttons, int helpCtx)>;

// Unset at load; a host that cannot show dialogs (service, unattended run,
// user interface on another thread) installs it.
ZOR_EXPORT extern TMessageDialogHandler GlobalMessageDialogHandler;

// Without a handler and off the main thread (or without a QApplication), these
// raise Exception "Can call MessageDialog only in MainThread!\r\n" + the text
// (for the input dialogs "InputBox " / "InputQuery " + the caption).
ZOR_EXPORT void ShowMessage(const QString &msg);
ZOR_EXPORT int MessageDlg(const QString &msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx = 0);
// With a handler: the default, without asking.
ZOR_EXPORT QString InputBox(const QString &caption, const QString &prompt, const QString &defaultValue);
// With a handler: false, without asking; value is changed only when accepted.
ZOR_EXPORT bool InputQuery(const QString &caption, const QString &prompt, QString &value);
// The desktop's alert sound for warnings, errors, information and
// confirmations; nothing for other types or without a QApplication.
ZOR_EXPORT void PlayMessageSound(TMsgDlgType dlgType);

} // namespace zor
