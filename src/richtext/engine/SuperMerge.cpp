#include "SuperMerge.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace zor {

TWPSuperMerge::TWPSuperMerge(QObject *parent) : QObject(parent) {}
TWPSuperMerge::~TWPSuperMerge() = default;

void TWPSuperMerge::SetSourceDest(TWPDocument *document)
{
    m_source = document;
    Q_EMIT Changed();
}

TWPDocument *TWPSuperMerge::Source() const { return m_source; }
QString TWPSuperMerge::DataBases() const { return m_dataBases; }

void TWPSuperMerge::SetDataBases(const QString &commaList)
{
    m_dataBases = commaList;
    Q_EMIT Changed();
}

QStringList TWPSuperMerge::DataBaseList() const
{
    QStringList names;
    for (const QString &n : m_dataBases.split(u',', Qt::SkipEmptyParts))
        if (const QString t = n.trimmed(); !t.isEmpty())
            names << t;
    return names;
}

QList<TWPBand> TWPSuperMerge::Bands() const
{
    QList<TWPBand> bands;
    if (!m_source)
        return bands;
    for (QTextBlock b = m_source->Text()->begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat f = b.blockFormat();
        const int kind = f.intProperty(wpBandKind);
        if (kind <= 0 || kind > int(TWPBandKind::GroupFooter))
            continue;
        bands.append({TWPBandKind(kind), f.stringProperty(wpBandName), f.stringProperty(wpBandDataBase), b.position()});
    }
    return bands;
}

QStringList TWPSuperMerge::MergeFieldNames() const
{
    QStringList names;
    if (!m_source)
        return names;
    for (QTextBlock b = m_source->Text()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.objectType() == WPFieldObjectType && f.intProperty(wpFieldKind) == int(TWPFieldKind::Merge))
                if (const QString n = f.stringProperty(wpFieldName); !names.contains(n))
                    names << n;
        }
    return names;
}

bool TWPSuperMerge::SetBand(const QTextCursor &at, TWPBandKind kind, const QString &name, const QString &dataBase)
{
    if (!m_source || at.document() != m_source->Text())
        return false;
    QTextCursor c(at.block());
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    if (!m_source->CanEdit(c))
        return false;
    QTextBlockFormat f = at.blockFormat();
    if (kind == TWPBandKind::None) {
        f.clearProperty(wpBandKind);
        f.clearProperty(wpBandName);
        f.clearProperty(wpBandDataBase);
    } else {
        f.setProperty(wpBandKind, int(kind));
        f.setProperty(wpBandName, name);
        f.setProperty(wpBandDataBase, dataBase);
    }
    c.beginEditBlock();
    c.setBlockFormat(f);
    c.endEditBlock();
    Q_EMIT Changed();
    return true;
}

int TWPSuperMerge::ConvertTokens(unsigned modes, const QString &start, const QString &end, QChar bandChar,
                                 QChar groupChar)
{
    if (modes & wpClearErrorsAndWarning)
        m_warnings.clear();
    if (!m_source || start.isEmpty() || end.isEmpty())
        return 0;
    QTextDocument *text = m_source->Text();
    // A token's body holds neither delimiter: "<<>> <<City>>" is one empty
    // token and one named City.
    const QString open = QRegularExpression::escape(start), close = QRegularExpression::escape(end);
    const QRegularExpression token(open + u"((?:(?!"_qs + open + u"|"_qs + close + u").)+)"_qs + close);
    struct Found
    {
        int Start, End;
        QString Body;
        bool WholeBlock;
    };
    QList<Found> found;
    for (QTextBlock b = text->begin(); b.isValid(); b = b.next())
        for (auto it = token.globalMatch(b.text()); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            found.append({b.position() + int(m.capturedStart()), b.position() + int(m.capturedEnd()),
                          m.captured(1).trimmed(), m.captured(0).size() == b.text().trimmed().size()});
        }
    QTextCursor edit(text);
    edit.beginEditBlock();
    int converted = 0;
    // From the end, so that the positions found stay valid.
    for (auto it = found.crbegin(); it != found.crend(); ++it) {
        const QChar lead = it->Body.isEmpty() ? QChar() : it->Body.front();
        const bool band = lead == bandChar, group = lead == groupChar;
        if ((band && !(modes & wpConvertBands)) || (group && !(modes & wpConvertGroups))
            || (!band && !group && !(modes & wpConvertFields)))
            continue;
        QTextCursor c(text);
        c.setPosition(it->Start);
        c.setPosition(it->End, QTextCursor::KeepAnchor);
        if (!m_source->CanEdit(c)) {
            m_warnings << tr("Token %1 is in protected text").arg(c.selectedText());
            continue;
        }
        if (band || group) {
            const QString name = it->Body.mid(1).trimmed();
            if (!it->WholeBlock || name.isEmpty()) {
                m_warnings << tr("Token %1 must stand alone in its paragraph").arg(c.selectedText());
                continue;
            }
            QTextBlockFormat f = c.blockFormat();
            f.setProperty(wpBandKind, int(band ? TWPBandKind::Data : TWPBandKind::GroupHeader));
            f.setProperty(wpBandName, name);
            f.setProperty(wpBandDataBase, band ? name : QString());
            c.removeSelectedText();
            c.setBlockFormat(f);
        } else {
            // "<<Sum:0.00>>" is no field name: left as written.
            if (it->Body.contains(bandChar) || it->Body.contains(groupChar))
                continue;
            QTextCursor first(text);
            first.setPosition(it->Start + 1);
            const QTextCharFormat base = first.charFormat();
            c.removeSelectedText();
            m_source->InsertField(c, TWPFieldKind::Merge, it->Body, {}, base);
        }
        ++converted;
    }
    edit.endEditBlock();
    if (converted)
        Q_EMIT Changed();
    return converted;
}

QStringList TWPSuperMerge::Warnings() const { return m_warnings; }

} // namespace zor
