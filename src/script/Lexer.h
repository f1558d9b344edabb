// The scanner shared by the four syntaxes. What differs between them (key
// words, operators, comments, string quoting, line breaks as separators)
// comes from a per-syntax table; the scanner itself is one.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace zor::script {

enum class Syntax { Pascal, Cpp, Basic, JScript };

// Syntax of a language name ("PascalScript", "C++Script", "BasicScript",
// "JScript", case-insensitive); false for an unknown name.
bool SyntaxFromLanguage(const QString &language, Syntax &out);

enum class Tok { End, Ident, Int, Float, Str, Sym, Kw, NewLine, Date /* Float: days since 1899-12-30 */ };

struct Token
{
    Tok Kind = Tok::End;
    QString Text;   // identifier as written, upper-case key word, operator, string contents
    qint64 Int = 0;
    double Float = 0;
    int Line = 1;
    int Col = 1;
    // Blanks, a comment or a line continuation come before it (Basic's
    // "Print .Name" inside With: a spaced dot starts an argument).
    bool SpaceBefore = false;
};

// A syntax error with its position (1-based line and column).
struct SyntaxError
{
    QString Message;
    int Line = 0;
    int Col = 0;
};

// Tokenises the whole source; throws SyntaxError on a bad character or an
// unterminated string or comment. Without the extended character set,
// identifiers are ASCII letters, digits and underscores only.
std::vector<Token> Tokenize(const QString &source, Syntax syntax, bool extendedCharset = true);

} // namespace zor::script
