// Feeds arbitrary text to the four script front ends, the compiler and the
// interpreter: any input must end in a program, a syntax error or a runtime
// error, never in a crash or a hang. Runs are held to a time, statement and
// memory budget. Besides the raw text, a second mode grows the input into a
// deep or long program (nesting, operator chains, else-if lists), the shapes
// generated code has and hand-written seeds rarely reach.
#include <ZorCompCore/script/Interpreter.h>

#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// Byte 1 of a generated program picks the shape, byte 2 its size.
QString grown(const uint8_t *data, size_t size, int language)
{
    const int shape = data[0] % 4;
    const QString piece = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    // Up to a quarter of a megabyte of text: long enough for the shapes to matter,
    // short enough that compiling it is not what a run waits for.
    const int n = std::min<int>(100 + (size > 1 ? data[1] : 0) * 200, 250'000 / int(piece.size() + 48));
    const bool pascal = language == 0, basic = language == 2;
    QString s = QString::fromLatin1(pascal ? "begin x := " : "x = ");
    switch (shape) {
    case 0: // long chain
        s += u'1';
        for (int i = 0; i < n; ++i)
            s += (i % 3 ? u'+' : u'*') + piece + u'1';
        break;
    case 1: // deep brackets
        for (int i = 0; i < n; ++i)
            s += u'(';
        s += piece;
        for (int i = 0; i < n; ++i)
            s += u')';
        break;
    case 2: // unary chains
        for (int i = 0; i < n; ++i)
            s += u'-';
        s += u'1';
        break;
    default: // else-if list
        s += QStringLiteral("1") + (pascal ? u';' : u'\n');
        for (int i = 0; i < n; ++i)
            s += basic ? QStringLiteral("If x = %1 Then x = 0 ElseIf x > 0 Then %2\nEnd If\n").arg(i).arg(piece)
                       : QString::fromLatin1(pascal ? "if x = %1 then x := 0 else if x > 0 then %2;\n"
                                                    : "if (x == %1) x = 0; else if (x > 0) %2;\n")
                             .arg(i)
                             .arg(piece);
    }
    if (pascal)
        s += QStringLiteral(";\nend.");
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3 || size > 4096)
        return 0;
    static const char *const languages[] = {"PascalScript", "C++Script", "BasicScript", "JScript"};
    // Byte 0: the syntax (bits 0-1) and raw text or a grown program (bit 2).
    const int language = data[0] % 4;
    const QString source = data[0] & 4
        ? grown(data + 1, size - 1, language)
        : QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (!zor::fsShowMessageHook)
        zor::fsShowMessageHook = [](const QString &) {}; // no dialogs from fuzzed programs
    zor::TfsScript script;
    script.SetSyntaxType(QString::fromLatin1(languages[language]));
    script.SetTimeLimit(200);
    script.SetStatementLimit(200000);
    script.SetMemoryLimit(4 << 20);
    script.Lines() = source.split(u'\n');
    if (!script.Compile())
        return 0;
    try {
        script.Execute();
    } catch (const zor::Exception &) {
    }
    return 0;
}
