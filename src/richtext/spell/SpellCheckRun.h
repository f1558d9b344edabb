// One run of the check-now dialog over a document: finds the misspelt words
// from a position on, in order, and carries out the dialog's answers (ignore,
// ignore all, add, change, change all). Changes are edits through
// QTextCursor, so they are undoable: one step per Change, one step for a
// whole ChangeAll.
#pragma once

#include <ZorCompCore/richtext/spell/SpellController.h>
#include <ZorCompCore/zor_export.h>

#include <memory>

class QTextDocument;

namespace zor {

class ZOR_EXPORT TWPSpellCheckRun
{
public:
    // Both must outlive the run. ALcid 0: the controller's current language.
    TWPSpellCheckRun(TWPSpellController &AController, QTextDocument &ADocument, int AStart = 0, int ALcid = 0);
    ~TWPSpellCheckRun();
    TWPSpellCheckRun(const TWPSpellCheckRun &) = delete;
    TWPSpellCheckRun &operator=(const TWPSpellCheckRun &) = delete;

    // Moves to the next misspelt word after the current one (an ignored word
    // is simply passed); false at the end of the document.
    bool Next();
    // The word found last, Start a document position; Length 0 before the
    // first Next and after the last.
    TWPSpellError Current() const;
    QStringList Suggestions() const;

    // Accepted everywhere until the controller forgets its ignored words.
    void IgnoreAll();
    // Into the personal list; false with the controller's LastError when it
    // cannot be written.
    bool Add();
    // Replaces the current word.
    void Change(const QString &AReplacement);
    // Replaces the current word and every other misspelt occurrence of it in
    // the document.
    void ChangeAll(const QString &AReplacement);

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
