// Internal to the html engine: the CSS tokenizer and the declaration spans
// that inline style editing works on.
#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace zor::css_p {

enum class Tok {
    Ident, Function, AtKeyword, Hash, String, BadString, Url, BadUrl, Delim,
    Number, Percentage, Dimension, Whitespace, CDO, CDC, Colon, Semicolon, Comma,
    LBracket, RBracket, LParen, RParen, LBrace, RBrace,
};

struct Token
{
    Tok Type;
    qsizetype Begin, End; // span in the source
    QString Value;        // ident/function/at/hash name, string or url text, delim, unit
    double Number = 0;
};

struct Tokens
{
    std::vector<Token> List;
    // What the text would need appended to close what is open at its end
    // (a comment, a string, an escape, url(, blocks), innermost first.
    QString Closers;
};

Tokens Tokenize(QStringView s);

// One declaration of a declaration list, with its spans in the source.
struct DeclSpan
{
    QString Name;                    // lower-cased
    qsizetype Begin, End;            // the declaration with its ";" when it has one
    qsizetype ValueBegin, ValueEnd;  // the value, trimmed, without "!important"
    bool Important = false;
    size_t FirstValueToken, EndValueToken; // token range of the value
};

// The declarations of tokens [from, to) of \a t (a block's content or a
// whole style attribute). Bad declarations are left out.
std::vector<DeclSpan> DeclarationSpans(const Tokens &t, size_t from, size_t to);

// Inline style editing on the text of a style attribute.
QString GetDeclaration(QStringView style, QStringView name);
QString SetDeclaration(const QString &style, const QString &name, const QString &value);
QString RemoveDeclaration(const QString &style, QStringView name, bool *removed);

} // namespace zor::css_p
