#include <ZorCompCore/utilities/QEDialogs.h>

#include <ZorCompCore/platform/Exception.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

namespace zor {

TMessageDialogHandler GlobalMessageDialogHandler;

namespace {

const QString kNotMainThread = QStringLiteral("Can call MessageDialog only in MainThread!\r\n");

// Qt widgets need a QApplication and its thread.
void CheckCanShow(const QString &what)
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        throw Exception(kNotMainThread + what);
}

struct ButtonMap
{
    TMsgDlgBtn Button;
    QMessageBox::StandardButton Standard;
    int Result;
};

// Keep in step with TMsgDlgBtn.
const ButtonMap kButtons[] = {
    {mbYes, QMessageBox::Yes, mrYes},
    {mbNo, QMessageBox::No, mrNo},
    {mbOK, QMessageBox::Ok, mrOk},
    {mbCancel, QMessageBox::Cancel, mrCancel},
    {mbAbort, QMessageBox::Abort, mrAbort},
    {mbRetry, QMessageBox::Retry, mrRetry},
    {mbIgnore, QMessageBox::Ignore, mrIgnore},
    {mbAll, QMessageBox::YesToAll, mrAll}, // replaced by a custom "All" button below
    {mbNoToAll, QMessageBox::NoToAll, mrNoToAll},
    {mbYesToAll, QMessageBox::YesToAll, mrYesToAll},
    {mbHelp, QMessageBox::Help, mrHelp},
    {mbClose, QMessageBox::Close, mrClose},
};

QMessageBox::Icon IconOf(TMsgDlgType type)
{
    switch (type) {
    case mtWarning:
        return QMessageBox::Warning;
    case mtError:
        return QMessageBox::Critical;
    case mtInformation:
        return QMessageBox::Information;
    case mtConfirmation:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}

QString TitleOf(TMsgDlgType type)
{
    switch (type) {
    case mtWarning:
        return QStringLiteral("Warning");
    case mtError:
        return QStringLiteral("Error");
    case mtInformation:
        return QStringLiteral("Information");
    case mtConfirmation:
        return QStringLiteral("Confirm");
    default:
        return QCoreApplication::applicationName();
    }
}

int ShowBox(const QString &msg, TMsgDlgType type, TMsgDlgButtons buttons)
{
    QMessageBox box(IconOf(type), TitleOf(type), msg);
    std::vector<std::pair<QAbstractButton *, int>> results;
    for (const ButtonMap &b : kButtons) {
        if (!buttons.testFlag(b.Button))
            continue;
        QAbstractButton *button = b.Button == mbAll
            ? box.addButton(QStringLiteral("&All"), QMessageBox::AcceptRole)
            : box.addButton(b.Standard);
        results.emplace_back(button, b.Result);
    }
    if (results.empty())
        results.emplace_back(box.addButton(QMessageBox::Ok), mrOk);
    box.exec();
    for (const auto &[button, result] : results)
        if (box.clickedButton() == button)
            return result;
    return buttons.testFlag(mbCancel) ? mrCancel : mrNone;
}

} // namespace

void ShowMessage(const QString &msg)
{
    if (GlobalMessageDialogHandler) {
        GlobalMessageDialogHandler(msg, mtCustom, mbOK, 0);
        return;
    }
    CheckCanShow(msg);
    ShowBox(msg, mtCustom, mbOK);
}

int MessageDlg(const QString &msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx)
{
    if (GlobalMessageDialogHandler)
        return GlobalMessageDialogHandler(msg, dlgType, buttons, helpCtx);
    CheckCanShow(msg);
    return ShowBox(msg, dlgType, buttons);
}

QString InputBox(const QString &caption, const QString &prompt, const QString &defaultValue)
{
    if (GlobalMessageDialogHandler)
        return defaultValue;
    CheckCanShow(QStringLiteral("InputBox ") + caption);
    bool ok = false;
    const QString value = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, defaultValue, &ok);
    return ok ? value : defaultValue;
}

bool InputQuery(const QString &caption, const QString &prompt, QString &value)
{
    if (GlobalMessageDialogHandler)
        return false;
    CheckCanShow(QStringLiteral("InputQuery ") + caption);
    bool ok = false;
    const QString entered = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = entered;
    return ok;
}

void PlayMessageSound(TMsgDlgType dlgType)
{
    if (dlgType == mtCustom || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    // The beep is queued to the application's thread, so the caller never waits.
    QMetaObject::invokeMethod(qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

} // namespace zor
