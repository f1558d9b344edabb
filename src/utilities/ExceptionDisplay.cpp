// The message box that TZORExceptionUtils::Show falls back to in a
// QApplication when the host has set neither a handler nor a display routine.
#include <ZorCompCore/core/ExceptionUtils_p.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

namespace zor {

namespace {

void showBox(const QString &className, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("zorExceptionBox"));
    box.setDetailedText(className);
    box.exec();
}

bool showInMessageBox(const QString &className, const QString &message)
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app)
        return false;
    if (QThread::currentThread() == app->thread())
        showBox(className, message);
    else // widgets live on the main thread: show it there, without waiting
        QMetaObject::invokeMethod(app, [className, message] { showBox(className, message); }, Qt::QueuedConnection);
    return true;
}

// Registered when the library loads; plain assignment of a constant-initialised
// atomic, so the order of static initialisation does not matter.
const bool registered = [] {
    detail::GuiExceptionDisplay.store(&showInMessageBox);
    return true;
}();

} // namespace

} // namespace zor
