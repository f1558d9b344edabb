#include "TextWriter.h"
#include "PicturePlacement.h"

#include "Document.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

namespace zor {

namespace {

class TextOut
{
public:
    TextOut(const TWPDocument &doc, const QString &lineEnd) : m_doc(doc), m_lineEnd(lineEnd) {}

    // Returns the text of a frame's content; blocks joined by line ends.
    QString Frame(QTextFrame *frame)
    {
        QStringList lines;
        for (auto it = frame->begin(); !it.atEnd(); ++it) {
            // A placed picture's frame and its spacer hold no text.
            if (IsPictureFrame(it.currentFrame()) || IsPictureSpacer(it.currentBlock()))
                continue;
            if (QTextFrame *child = it.currentFrame()) {
                if (auto *t = qobject_cast<QTextTable *>(child))
                    lines << Table(t);
                else
                    lines << Frame(child);
            } else {
                lines << Block(it.currentBlock());
            }
        }
        return lines.join(m_lineEnd);
    }

private:
    // QTextList numbers items but has no text for bullets.
    static QString marker(QTextList *l, const QTextBlock &b)
    {
        switch (l->format().style()) {
        case QTextListFormat::ListDisc: return QString(QChar(0x2022));
        case QTextListFormat::ListCircle: return QString(QChar(0x25E6));
        case QTextListFormat::ListSquare: return QString(QChar(0x25AA));
        default: return l->itemText(b);
        }
    }

    QString Table(QTextTable *t)
    {
        QStringList rows;
        for (int r = 0; r < t->rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < t->columns(); ++c) {
                const QTextTableCell cell = t->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue; // covered by a merged cell
                QStringList parts;
                for (auto it = cell.begin(); !it.atEnd(); ++it) {
                    if (IsPictureFrame(it.currentFrame()) || IsPictureSpacer(it.currentBlock()))
                        continue;
                    if (QTextFrame *child = it.currentFrame()) {
                        if (auto *nested = qobject_cast<QTextTable *>(child))
                            parts << Table(nested);
                    } else {
                        parts << Block(it.currentBlock());
                    }
                }
                cells << parts.join(u' ');
            }
            rows << cells.join(u'\t');
        }
        return rows.join(m_lineEnd);
    }

    QString Block(const QTextBlock &b)
    {
        QString out;
        if (QTextList *l = b.textList())
            out += marker(l, b) + u'\t';
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat cf = f.charFormat();
            if (cf.boolProperty(wpHidden) || cf.isImageFormat())
                continue;
            if (cf.objectType() == WPFieldObjectType) {
                for (int i = 0; i < f.length(); ++i)
                    out += TWPDocument::FieldText(cf, m_doc.FieldContext());
                continue;
            }
            QString s = f.text();
            s.replace(QChar(0x2028), m_lineEnd);
            s.remove(QChar::ObjectReplacementCharacter);
            out += s;
        }
        return out;
    }

    const TWPDocument &m_doc;
    QString m_lineEnd;
};

} // namespace

QString TWPTextWriter::Write(const TWPDocument &doc, const QString &lineEnd)
{
    TextOut out(doc, lineEnd);
    QString text = out.Frame(doc.Text()->rootFrame());
    // Footnotes follow the text, each after its number.
    for (int i = 0; i < doc.FootnoteCount(); ++i) {
        const QString number = QString::number(i + 1);
        QString note = out.Frame(doc.Footnote(i)->rootFrame()).trimmed();
        if (!note.startsWith(number)) // notes usually begin with their own mark
            note = number + u' ' + note;
        text += lineEnd + note;
    }
    return text;
}

} // namespace zor
