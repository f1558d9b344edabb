#include "CustomException.h"

namespace zor {

EquenlorCustomException::EquenlorCustomException(QString AMessage, bool AIsUserMessage)
    : Exception(std::move(AMessage)), FIsUserMessage(AIsUserMessage)
{
}

// Out of line so that the class's type information is emitted once, here.
EquenlorCustomException::~EquenlorCustomException() = default;

} // namespace zor
