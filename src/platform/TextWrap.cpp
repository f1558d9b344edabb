#include <ZorCompCore/platform/TextWrap.h>

namespace zor {

QString WrapText(const QString &Line, const QString &BreakStr, const QString &BreakChars, int MaxCol)
{
    if (BreakStr.isEmpty())
        return Line;
    MaxCol = qMax(1, MaxCol);

    QString out;
    out.reserve(Line.size() + Line.size() / 4);
    qsizetype lineStart = 0;    // index in out where the current line begins
    qsizetype breakAfter = -1;  // index in out after which the line may break
    bool hasText = false;       // the current line holds a non-break character
    QChar quote;                // open quote character, or null

    auto newLine = [&] {
        lineStart = out.size();
        breakAfter = -1;
        hasText = false;
        quote = QChar();
    };

    const qsizetype n = Line.size();
    for (qsizetype i = 0; i < n;) {
        if (QStringView(Line).sliced(i).startsWith(BreakStr)) {
            out += BreakStr;
            i += BreakStr.size();
            newLine();
            continue;
        }
        const QChar c = Line.at(i);
        if (c == u'\r' || c == u'\n') {
            out += c;
            ++i;
            if (c == u'\r' && i < n && Line.at(i) == u'\n')
                out += Line.at(i++);
            newLine();
            continue;
        }
        ++i;
        if (!quote.isNull()) {
            out += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        const bool isBreak = BreakChars.contains(c);
        if (isBreak) {
            out += c;
            if (hasText)
                breakAfter = out.size();
            continue;
        }
        // A character that starts or continues a word: break first if the
        // line would grow past the limit and there is a place to break.
        if (breakAfter >= 0 && out.size() - lineStart >= MaxCol) {
            out.insert(breakAfter, BreakStr);
            lineStart = breakAfter + BreakStr.size();
            breakAfter = -1;
        }
        out += c;
        hasText = true;
        if (c == u'\'' || c == u'"')
            quote = c;
    }
    return out;
}

} // namespace zor
