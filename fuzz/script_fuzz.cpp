// Feeds arbitrary text to the four script front ends and the compiler: any
// input must end in a program or a syntax error, never in a crash.
#include <ZorCompCore/script/Interpreter.h>

#include <QString>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    static const char *const languages[] = {"PascalScript", "C++Script", "BasicScript", "JScript"};
    // The first byte picks the syntax; the rest is the source.
    const QString source = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    zor::TfsScript script;
    script.SetSyntaxType(QString::fromLatin1(languages[data[0] % 4]));
    script.Lines() = source.split(u'\n');
    script.Compile(); // running is left out: programs may loop forever
    return 0;
}
