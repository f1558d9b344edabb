#include "ZORHtmlSourceHighlighter.h"

namespace zor {

TZORHtmlSourceHighlighter::TZORHtmlSourceHighlighter(QTextDocument *ADocument) : QSyntaxHighlighter(ADocument)
{
    m_tag.setForeground(QColor(0x00, 0x00, 0xa0));
    m_tag.setFontWeight(QFont::Bold);
    m_attribute.setForeground(QColor(0x80, 0x00, 0x80));
    m_value.setForeground(QColor(0x00, 0x70, 0x00));
    m_comment.setForeground(QColor(0x80, 0x80, 0x80));
    m_comment.setFontItalic(true);
    m_doctype.setForeground(QColor(0x60, 0x60, 0x00));
    m_entity.setForeground(QColor(0xa0, 0x40, 0x00));
}

void TZORHtmlSourceHighlighter::highlightBlock(const QString &AText)
{
    int state = qMax(previousBlockState(), 0);
    const qsizetype n = AText.size();
    qsizetype i = 0;
    // Raw text follows the start tag of script and style (within the line).
    int pendingRaw = Text;
    auto isNameChar = [](QChar c) { return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u':' || c == u'.'; };
    while (i < n) {
        switch (state) {
        case Text: {
            const QChar c = AText[i];
            if (c == u'&') {
                qsizetype e = i + 1;
                while (e < n && e - i < 40 && (AText[e].isLetterOrNumber() || AText[e] == u'#'))
                    ++e;
                if (e < n && AText[e] == u';') {
                    setFormat(int(i), int(e + 1 - i), m_entity);
                    i = e + 1;
                    continue;
                }
                ++i;
            } else if (c == u'<' && AText.mid(i, 4) == u"<!--") {
                state = InComment;
                setFormat(int(i), 4, m_comment);
                i += 4;
            } else if (c == u'<' && i + 1 < n && AText[i + 1] == u'!') {
                const qsizetype end = AText.indexOf(u'>', i);
                const qsizetype stop = end < 0 ? n : end + 1;
                setFormat(int(i), int(stop - i), m_doctype);
                i = stop;
            } else if (c == u'<' && i + 1 < n && (AText[i + 1].isLetter() || AText[i + 1] == u'/')) {
                qsizetype e = i + 1 + (AText[i + 1] == u'/' ? 1 : 0);
                const qsizetype nameStart = e;
                while (e < n && isNameChar(AText[e]))
                    ++e;
                const QString name = AText.mid(nameStart, e - nameStart).toLower();
                setFormat(int(i), int(e - i), m_tag);
                i = e;
                state = InTag;
                if (AText[nameStart - 1] != u'/' && (name == u"script" || name == u"style"))
                    pendingRaw = name == u"script" ? InScript : InStyle;
            } else {
                ++i;
            }
            break;
        }
        case InTag: {
            const QChar c = AText[i];
            if (c == u'>' || (c == u'/' && i + 1 < n && AText[i + 1] == u'>')) {
                const int len = c == u'>' ? 1 : 2;
                setFormat(int(i), len, m_tag);
                i += len;
                state = c == u'>' ? pendingRaw : Text;
                pendingRaw = Text;
            } else if (c == u'"') {
                state = InDoubleQuoted;
                setFormat(int(i), 1, m_value);
                ++i;
            } else if (c == u'\'') {
                state = InSingleQuoted;
                setFormat(int(i), 1, m_value);
                ++i;
            } else if (isNameChar(c)) {
                qsizetype e = i;
                while (e < n && isNameChar(AText[e]))
                    ++e;
                // A name followed by "=" and an unquoted value.
                setFormat(int(i), int(e - i), m_attribute);
                i = e;
                if (i < n && AText[i] == u'=' && i + 1 < n && AText[i + 1] != u'"' && AText[i + 1] != u'\'') {
                    qsizetype v = i + 1;
                    while (v < n && !AText[v].isSpace() && AText[v] != u'>')
                        ++v;
                    setFormat(int(i + 1), int(v - i - 1), m_value);
                    i = v;
                }
            } else {
                ++i;
            }
            break;
        }
        case InDoubleQuoted:
        case InSingleQuoted: {
            const QChar quote = state == InDoubleQuoted ? u'"' : u'\'';
            const qsizetype end = AText.indexOf(quote, i);
            const qsizetype stop = end < 0 ? n : end + 1;
            setFormat(int(i), int(stop - i), m_value);
            i = stop;
            if (end >= 0)
                state = InTag;
            break;
        }
        case InComment: {
            const qsizetype end = AText.indexOf(u"-->", i);
            const qsizetype stop = end < 0 ? n : end + 3;
            setFormat(int(i), int(stop - i), m_comment);
            i = stop;
            if (end >= 0)
                state = Text;
            break;
        }
        case InScript:
        case InStyle: {
            const QString close = state == InScript ? u"</script"_qs : u"</style"_qs;
            const qsizetype end = AText.indexOf(close, i, Qt::CaseInsensitive);
            if (end < 0) {
                i = n;
            } else {
                i = end;
                state = Text;
            }
            break;
        }
        default:
            state = Text;
            break;
        }
    }
    setCurrentBlockState(state);
}

} // namespace zor
