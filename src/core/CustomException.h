// The exception classes the library's own code raises: IsUserMessage tells a
// handler whether the text may be shown to the end user as it stands.
#pragma once

#include <ZorCompCore/zor_export.h>
#include <ZorCompCore/platform/Exception.h>

namespace zor {

class ZOR_EXPORT EquenlorCustomException : public Exception
{
public:
    explicit EquenlorCustomException(QString AMessage = {}, bool AIsUserMessage = false);
    ~EquenlorCustomException() override;
    EquenlorCustomException(const EquenlorCustomException &) = default;
    EquenlorCustomException &operator=(const EquenlorCustomException &) = default;

    const char *ClassName() const override { return "EquenlorCustomException"; }

    bool IsUserMessage() const { return FIsUserMessage; }
    void SetIsUserMessage(bool AValue) { FIsUserMessage = AValue; }

private:
    bool FIsUserMessage = false;
};

// Raised when user input fails validation.
class ZOR_EXPORT EquenlorUIValidationException : public EquenlorCustomException
{
public:
    using EquenlorCustomException::EquenlorCustomException;
    const char *ClassName() const override { return "EquenlorUIValidationException"; }
};

} // namespace zor
