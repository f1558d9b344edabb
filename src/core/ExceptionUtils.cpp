#include "ExceptionUtils.h"
#include "ExceptionUtils_p.h"

namespace zor {

TZORExceptionUtilsHandler *GlobalHandler = nullptr;
TShowExceptionProc ApplicationShowException;
std::atomic<bool> TZORExceptionUtils::FIsSilent{false};
constinit std::atomic<detail::TGuiExceptionDisplay> detail::GuiExceptionDisplay{nullptr};

namespace {
[[noreturn]] void abstractCall()
{
    throw EAbstractError(QStringLiteral("Abstract Error"));
}
} // namespace

TZORExceptionUtilsHandler::~TZORExceptionUtilsHandler() = default;
void TZORExceptionUtilsHandler::Show(Exception &, const QString &) { abstractCall(); }
void TZORExceptionUtilsHandler::AddExceptionInfo(Exception &, const QString &) { abstractCall(); }
void TZORExceptionUtilsHandler::SetLogStateInThread(bool) { abstractCall(); }
void TZORExceptionUtilsHandler::SetSilent(bool) { abstractCall(); }

void TZORExceptionUtils::Show(Exception &E, const QString &AdvInfo)
{
    if (dynamic_cast<EAbort *>(&E))
        return;
    // Copied once: the host may swap the handler from another thread.
    if (TZORExceptionUtilsHandler *handler = GlobalHandler) {
        handler->Show(E, AdvInfo);
        return;
    }
    if (!AdvInfo.isEmpty())
        AddExceptionInfo(E, AdvInfo);
    if (IsSilent())
        return;
    if (ApplicationShowException)
        ApplicationShowException(E);
    else if (const detail::TGuiExceptionDisplay gui = detail::GuiExceptionDisplay.load())
        gui(QString::fromLatin1(E.ClassName()), E.Message());
}

void TZORExceptionUtils::AddExceptionInfo(Exception &E, const QString &AdvInfo)
{
    if (TZORExceptionUtilsHandler *handler = GlobalHandler) {
        handler->AddExceptionInfo(E, AdvInfo);
        return;
    }
    E.SetMessage(E.Message() + QLatin1String("\r\n") + AdvInfo);
}

void TZORExceptionUtils::SetLogStateInThread(bool AEnabled)
{
    if (TZORExceptionUtilsHandler *handler = GlobalHandler)
        handler->SetLogStateInThread(AEnabled);
}

void TZORExceptionUtils::SetSilent(bool Value)
{
    if (TZORExceptionUtilsHandler *handler = GlobalHandler)
        handler->SetSilent(Value);
    FIsSilent.store(Value, std::memory_order_relaxed);
}

} // namespace zor
