#include "TextReader.h"

#include "Document.h"

#include <ZorCompCore/platform/CodePage.h>

#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace zor {

QString TWPTextReader::Decode(const QByteArray &bytes, bool ansi)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder dec(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                          : QStringConverter::Utf16BE);
        return dec(bytes.mid(2));
    }
    if (!ansi) {
        QStringDecoder dec(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        QString s = dec(bytes);
        if (!dec.hasError())
            return s;
    }
    return FromAnsi(bytes);
}

void TWPTextReader::Read(const QString &text, TWPDocument &doc)
{
    doc.Clear();
    doc.BeginBulkLoad();
    QTextDocument *t = doc.Text();
    QTextCursor c(t);
    c.beginEditBlock();
    bool first = true;
    bool pageBreak = false;
    qsizetype start = 0;
    const qsizetype n = text.size();
    const auto paragraph = [&](qsizetype end) {
        if (!first)
            c.insertBlock();
        if (pageBreak) {
            QTextBlockFormat bf = c.blockFormat();
            bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            bf.setProperty(wpPageBreakBefore, true);
            c.setBlockFormat(bf);
            pageBreak = false;
        }
        if (end > start)
            c.insertText(text.mid(start, end - start));
        first = false;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text.at(i);
        if (ch == u'\n' || ch == u'\r' || ch == u'\f' || ch == QChar::ParagraphSeparator) {
            // A form feed right after a line end breaks the page of the next line
            // instead of adding an empty paragraph.
            if (ch == u'\f' && i == start && !first) {
                pageBreak = true;
                start = i + 1;
                continue;
            }
            paragraph(i);
            if (ch == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            if (ch == u'\f')
                pageBreak = true;
            start = i + 1;
        }
    }
    if (start < n || first || pageBreak)
        paragraph(n);
    c.endEditBlock();
    t->clearUndoRedoStacks();
    doc.EndBulkLoad();
}

} // namespace zor
