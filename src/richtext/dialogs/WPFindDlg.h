// Find and replace over the editor's text in a form that does not block the
// editor: it stays open while the user goes on editing. A search is for
// plain text or a regular expression (QRegularExpression; the replacement
// may name groups as \1 ... \9 and the whole match as \0), with or without
// case, optionally whole words only; it starts at the caret and wraps around
// the text once. Replacing leaves protected text alone; Replace All is one
// undo step.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

#include <memory>

class QDialog;

namespace zor {

class ZOR_EXPORT TWPFindDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPFindDlg(QObject *owner = nullptr);
    ~TWPFindDlg() override;

    // Shows the form (with the selection as the text to find when it lies
    // on one line); true when there is an editor.
    bool Execute() override;
    // The form, created by the first call; its widgets hold the settings.
    QDialog *Form();

    // Selects the next match after the caret (before it when searching
    // backwards); false, the caret left alone, when there is none.
    bool FindNext();
    // Replaces the selection when it is a match, then selects the next one.
    // False when nothing was replaced.
    bool Replace();
    // Replaces every match in one undo step, matches in protected text
    // excepted; the number replaced.
    int ReplaceAll();

protected:
    TWPFindDlg(bool replace, QObject *owner);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The same form with the replace field and buttons shown.
class ZOR_EXPORT TWPReplaceDlg : public TWPFindDlg
{
    Q_OBJECT

public:
    explicit TWPReplaceDlg(QObject *owner = nullptr);
};

} // namespace zor
