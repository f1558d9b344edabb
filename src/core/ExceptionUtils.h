// Showing and annotating caught exceptions. A host (an application, or an
// exception logger) installs GlobalHandler to take over; without one, the
// additional information is appended to the message and the exception goes to
// ApplicationShowException, which a GUI host sets to its display routine
// (a message box when it is unset in a QApplication).
#pragma once

#include <ZorCompCore/zor_export.h>
#include <ZorCompCore/platform/Exception.h>

#include <QString>
#include <atomic>
#include <functional>

namespace zor {

// Host-side exception handling. Every operation left without an override
// raises EAbstractError ("Abstract Error").
class ZOR_EXPORT TZORExceptionUtilsHandler
{
public:
    virtual ~TZORExceptionUtilsHandler();
    virtual void Show(Exception &E, const QString &AdvInfo);
    virtual void AddExceptionInfo(Exception &E, const QString &AdvInfo);
    virtual void SetLogStateInThread(bool AEnabled);
    virtual void SetSilent(bool Value);
};

// Installed and freed by the host only; none by default. Read at each call.
ZOR_EXPORT extern TZORExceptionUtilsHandler *GlobalHandler;

// The application's display of an exception. While it is unset, Show uses a
// message box in a QApplication (on the main thread: modal there, queued from
// other threads) and shows nothing in other programs.
using TShowExceptionProc = std::function<void(Exception &)>;
ZOR_EXPORT extern TShowExceptionProc ApplicationShowException;

class ZOR_EXPORT TZORExceptionUtils
{
public:
    TZORExceptionUtils() = delete;

    // Drops silent aborts; hands E to the handler, or annotates it with
    // AdvInfo and displays it unless silent. Handler exceptions propagate.
    static void Show(Exception &E, const QString &AdvInfo = {});
    // Through the handler, or appends CR LF and AdvInfo to E's message.
    static void AddExceptionInfo(Exception &E, const QString &AdvInfo);
    static void SetLogStateInThread(bool AEnabled);
    // Tells the handler (if any) and remembers the value for Show.
    static void SetSilent(bool Value);
    static bool IsSilent() { return FIsSilent.load(std::memory_order_relaxed); }

private:
    static std::atomic<bool> FIsSilent;
};

} // namespace zor
