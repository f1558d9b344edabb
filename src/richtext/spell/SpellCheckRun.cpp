#include "SpellCheckRun.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace zor {

struct TWPSpellCheckRun::Private
{
    TWPSpellController &Controller;
    QTextDocument &Doc;
    int Lcid;
    // Where the search goes on; a cursor, so edits before it move it along.
    QTextCursor At;
    TWPSpellError Current;

    Private(TWPSpellController &c, QTextDocument &doc, int start, int lcid)
        : Controller(c), Doc(doc), Lcid(lcid), At(&doc)
    {
        At.setPosition(qBound(0, start, doc.characterCount() - 1));
    }

    QTextCursor select(const TWPSpellError &e)
    {
        QTextCursor c(&Doc);
        c.setPosition(e.Start);
        c.setPosition(e.Start + e.Length, QTextCursor::KeepAnchor);
        return c;
    }
};

TWPSpellCheckRun::TWPSpellCheckRun(TWPSpellController &AController, QTextDocument &ADocument, int AStart, int ALcid)
    : d(std::make_unique<Private>(AController, ADocument, AStart, ALcid))
{
}

TWPSpellCheckRun::~TWPSpellCheckRun() = default;

bool TWPSpellCheckRun::Next()
{
    const int from = d->At.position();
    for (QTextBlock b = d->Doc.findBlock(from); b.isValid(); b = b.next()) {
        for (const TWPSpellError &e : d->Controller.CheckText(b.text(), d->Lcid)) {
            const int start = b.position() + e.Start;
            if (start < from)
                continue;
            d->Current = {start, e.Length, e.Word};
            d->At.setPosition(start + e.Length);
            return true;
        }
    }
    d->Current = {};
    d->At.movePosition(QTextCursor::End);
    return false;
}

TWPSpellError TWPSpellCheckRun::Current() const
{
    return d->Current;
}

QStringList TWPSpellCheckRun::Suggestions() const
{
    return d->Current.Length ? d->Controller.Suggest(d->Current.Word, d->Lcid) : QStringList();
}

void TWPSpellCheckRun::IgnoreAll()
{
    if (d->Current.Length)
        d->Controller.IgnoreAll(d->Current.Word);
}

bool TWPSpellCheckRun::Add()
{
    return d->Current.Length && d->Controller.AddWord(d->Current.Word, d->Lcid);
}

void TWPSpellCheckRun::Change(const QString &AReplacement)
{
    if (!d->Current.Length)
        return;
    d->select(d->Current).insertText(AReplacement);
    d->At.setPosition(d->Current.Start + int(AReplacement.size()));
    d->Current.Length = int(AReplacement.size());
    d->Current.Word = AReplacement;
}

void TWPSpellCheckRun::ChangeAll(const QString &AReplacement)
{
    if (!d->Current.Length)
        return;
    const QString word = d->Current.Word;
    QTextCursor edit(&d->Doc);
    edit.beginEditBlock();
    for (QTextBlock b = d->Doc.begin(); b.isValid(); b = b.next()) {
        const QList<TWPSpellError> errors = d->Controller.CheckText(b.text(), d->Lcid);
        // Last to first, so the offsets found stay valid.
        for (qsizetype i = errors.size() - 1; i >= 0; --i)
            if (errors[i].Word == word)
                d->select({b.position() + errors[i].Start, errors[i].Length, word}).insertText(AReplacement);
    }
    edit.endEditBlock();
    d->Current = {d->At.position() - int(AReplacement.size()), int(AReplacement.size()), AReplacement};
}

} // namespace zor
