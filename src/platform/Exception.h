// Exception classes of the library. Every failure the library reports is a
// zor::Exception (or a subclass) carrying a user-readable message.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <exception>

namespace zor {

// Root of the library's exceptions; the message is mutable so that handlers can
// annotate a caught exception before it is shown.
class ZOR_EXPORT Exception : public std::exception
{
public:
    explicit Exception(QString message = {});
    ~Exception() override;
    Exception(const Exception &) = default;
    Exception &operator=(const Exception &) = default;

    const QString &Message() const { return FMessage; }
    void SetMessage(const QString &message);
    // Name of the most derived class ("EConvertError"), for messages and scripts.
    virtual const char *ClassName() const { return "Exception"; }
    const char *what() const noexcept override;

private:
    QString FMessage;
    QByteArray FWhat;
};

#define ZOR_DECLARE_EXCEPTION(Name, Base)                                      \
    class ZOR_EXPORT Name : public Base                                        \
    {                                                                          \
    public:                                                                    \
        using Base::Base;                                                      \
        const char *ClassName() const override { return #Name; }               \
    };

// A silent exception: shown by nobody (see TZORExceptionUtils::Show).
ZOR_DECLARE_EXCEPTION(EAbort, Exception)
ZOR_DECLARE_EXCEPTION(EConvertError, Exception)
ZOR_DECLARE_EXCEPTION(EListError, Exception)
ZOR_DECLARE_EXCEPTION(EStringListError, Exception)
ZOR_DECLARE_EXCEPTION(EStreamError, Exception)
ZOR_DECLARE_EXCEPTION(EReadError, EStreamError)
ZOR_DECLARE_EXCEPTION(EWriteError, EStreamError)
ZOR_DECLARE_EXCEPTION(EFOpenError, EStreamError)
ZOR_DECLARE_EXCEPTION(EFCreateError, EStreamError)
ZOR_DECLARE_EXCEPTION(EAssertionFailed, Exception)
ZOR_DECLARE_EXCEPTION(EVariantError, Exception)
ZOR_DECLARE_EXCEPTION(EVariantTypeCastError, EVariantError)
ZOR_DECLARE_EXCEPTION(EVariantOverflowError, EVariantError)
ZOR_DECLARE_EXCEPTION(EVariantBadIndexError, EVariantError)
ZOR_DECLARE_EXCEPTION(EVariantInvalidOpError, EVariantError)
ZOR_DECLARE_EXCEPTION(EMathError, Exception)
ZOR_DECLARE_EXCEPTION(EZeroDivide, EMathError)
ZOR_DECLARE_EXCEPTION(EInvalidOp, EMathError)
ZOR_DECLARE_EXCEPTION(EOverflow, EMathError)
ZOR_DECLARE_EXCEPTION(EIntError, Exception)
ZOR_DECLARE_EXCEPTION(EDivByZero, EIntError)
ZOR_DECLARE_EXCEPTION(ERangeError, EIntError)
ZOR_DECLARE_EXCEPTION(EIntOverflow, EIntError)
ZOR_DECLARE_EXCEPTION(EInvalidCast, Exception)
ZOR_DECLARE_EXCEPTION(EInvalidPointer, Exception)
ZOR_DECLARE_EXCEPTION(EAbstractError, Exception)
ZOR_DECLARE_EXCEPTION(EArgumentException, Exception)
ZOR_DECLARE_EXCEPTION(EArgumentOutOfRangeException, EArgumentException)
ZOR_DECLARE_EXCEPTION(ENotSupportedException, Exception)
ZOR_DECLARE_EXCEPTION(ENotImplemented, Exception)
ZOR_DECLARE_EXCEPTION(EInvalidOperation, Exception)
ZOR_DECLARE_EXCEPTION(EComponentError, Exception)
ZOR_DECLARE_EXCEPTION(ERegistryException, Exception)
ZOR_DECLARE_EXCEPTION(EEncodingError, Exception)
ZOR_DECLARE_EXCEPTION(EOutOfMemory, Exception)

// An operating-system call failed; ErrorCode is errno (or the library's own code).
class ZOR_EXPORT EOSError : public Exception
{
public:
    explicit EOSError(QString message = {}, int errorCode = 0)
        : Exception(std::move(message)), ErrorCode(errorCode) {}
    const char *ClassName() const override { return "EOSError"; }
    int ErrorCode = 0;
};

// Raises EOSError for errno (or the given code) with the system's text, as
// "System Error.  Code: %d.\n%s".
[[noreturn]] ZOR_EXPORT void RaiseLastOSError(int errorCode = -1);
// Raises EAbort with "Operation aborted".
[[noreturn]] ZOR_EXPORT void Abort();
// Raises EAssertionFailed with the message when the condition does not hold.
ZOR_EXPORT void Assert(bool condition, const QString &message);

} // namespace zor
