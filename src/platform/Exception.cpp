#include "Exception.h"

#include <cerrno>
#include <cstring>

namespace zor {

Exception::Exception(QString message)
    : FMessage(std::move(message)), FWhat(FMessage.toUtf8())
{
}

Exception::~Exception() = default;

void Exception::SetMessage(const QString &message)
{
    FMessage = message;
    FWhat = FMessage.toUtf8();
}

const char *Exception::what() const noexcept
{
    return FWhat.constData();
}

void RaiseLastOSError(int errorCode)
{
    if (errorCode < 0)
        errorCode = errno;
    throw EOSError(QStringLiteral("System Error.  Code: %1.\n%2")
                       .arg(errorCode)
                       .arg(QString::fromLocal8Bit(std::strerror(errorCode))),
                   errorCode);
}

void Abort()
{
    throw EAbort(QStringLiteral("Operation aborted"));
}

void Assert(bool condition, const QString &message)
{
    if (!condition)
        throw EAssertionFailed(message);
}

} // namespace zor
