// W A R N I N G: not part of the library's API; shared between its parts.
#pragma once

#include <QString>
#include <atomic>

namespace zor::detail {

// Set by the widgets part of the library: shows an exception's message in a
// QApplication and returns true, or returns false when there is none.
using TGuiExceptionDisplay = bool (*)(const QString &AClassName, const QString &AMessage);
extern constinit std::atomic<TGuiExceptionDisplay> GuiExceptionDisplay;

} // namespace zor::detail
