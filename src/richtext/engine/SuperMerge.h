// TWPSuperMerge: the report side of a template document. It knows the
// template's bands (blocks marked with wpBandKind, each running to the next
// band's start), its merge fields, the data bases the application offers
// (a comma-separated list the band dialog shows), and turns typed tokens
// into fields and bands:
//   "<<name>>"    a merge field of that name           (wpConvertFields)
//   "<<:BASE>>"   alone in a paragraph: a data band over BASE   (wpConvertBands)
//   "<<#NAME>>"   alone in a paragraph: a group header band NAME (wpConvertGroups)
// Other tokens with those characters stay text.
// Running a merge is not this class's work: the application fills the
// fields (TWPFieldContext::Value) and repeats the bands itself.
#pragma once

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/zor_export.h>

#include <QObject>
#include <QPointer>
#include <QStringList>

class QTextCursor;

namespace zor {

struct TWPBand
{
    TWPBandKind Kind = TWPBandKind::None;
    QString Name;
    QString DataBase;
    int Position = 0; // the first position of its first block
};

enum TWPConvertMode : unsigned {
    wpConvertFields = 0x01,
    wpConvertBands = 0x02,
    wpConvertGroups = 0x04,
    wpClearErrorsAndWarning = 0x08, // forget what the last conversion reported
};

class ZOR_EXPORT TWPSuperMerge : public QObject
{
    Q_OBJECT

public:
    explicit TWPSuperMerge(QObject *parent = nullptr);
    ~TWPSuperMerge() override;

    // The template is also where a merge would write; not owned, and it
    // must outlive this object or be replaced first.
    void SetSourceDest(TWPDocument *document);
    TWPDocument *Source() const;

    QString DataBases() const;
    void SetDataBases(const QString &commaList);
    QStringList DataBaseList() const;

    QList<TWPBand> Bands() const;
    // Names of the merge fields in document order, each once.
    QStringList MergeFieldNames() const;

    // Marks the paragraph at the cursor as the start of a band (None removes
    // the mark). False when the text there is protected. One undo step.
    bool SetBand(const QTextCursor &at, TWPBandKind kind, const QString &name = {},
                 const QString &dataBase = {});

    // Converts tokens written between start and end; bandChar and groupChar
    // open band and group tokens. Returns how many tokens were converted;
    // tokens in protected text stay and are reported in Warnings(). One
    // undo step.
    int ConvertTokens(unsigned modes, const QString &start = QStringLiteral("<<"),
                      const QString &end = QStringLiteral(">>"), QChar bandChar = u':', QChar groupChar = u'#');
    QStringList Warnings() const;

Q_SIGNALS:
    void Changed();

private:
    TWPDocument *m_source = nullptr;
    QString m_dataBases;
    QStringList m_warnings;
};

} // namespace zor
