// Library functions that talk to the host or the running handler: messages
// and the exception a handler is running for.
#include <ZorCompCore/script/Builtins_p.h>
#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/script/Library_p.h>

#include <ZorCompCore/utilities/QEDialogs.h>

#include <vector>

namespace zor {

std::function<void(const QString &)> fsShowMessageHook;

} // namespace zor

namespace zor::script {

namespace {

struct HandledException
{
    QString Message, ClassName;
};
thread_local std::vector<HandledException> t_handled;

} // namespace

void PushHandledException(const QString &message, const QString &className)
{
    t_handled.push_back({message, className});
}

void PopHandledException()
{
    if (!t_handled.empty())
        t_handled.pop_back();
}

namespace lib {

Value fnShowMessage(Args a, int)
{
    const QString text = str(a, 0);
    if (fsShowMessageHook)
        fsShowMessageHook(text);
    else
        zor::ShowMessage(text); // the package's dialog, or the host's dialog handler
    return Value();
}

Value fnExceptionMessage(Args, int)
{
    return Value(t_handled.empty() ? QString() : t_handled.back().Message);
}

Value fnExceptionClassName(Args, int)
{
    return Value(t_handled.empty() ? QString() : t_handled.back().ClassName);
}

} // namespace lib

} // namespace zor::script
