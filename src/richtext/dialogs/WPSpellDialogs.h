// The spelling dialogs of the editor. TWPSpellCheckDlg checks from the caret
// on: each misspelt word is selected in the editor and shown with its
// suggestions; Ignore passes it, Ignore All accepts it everywhere until the
// checker forgets, Add puts it into the personal word list, Change and
// Change All replace it (one undo step each, protected text refused). At the
// end of the text it says "The spelling check is complete.".
// TWPSpellOptionsDlg sets the checker's language (those with a dictionary
// on this system) and what it ignores, and lists the extra word lists.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

#include <QPointer>

namespace zor {

class TWPSpellController;

class ZOR_EXPORT TWPSpellCheckDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPSpellCheckDlg(QObject *owner = nullptr);
    ~TWPSpellCheckDlg() override;

    TWPSpellController *Controller() const;
    void SetController(TWPSpellController *controller);
    // False without an editor or a checker; true once the run ended.
    bool Execute() override;

    // The message at the end of a run.
    static QString CompleteText();

private:
    QPointer<TWPSpellController> m_controller;
};

class ZOR_EXPORT TWPSpellOptionsDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPSpellOptionsDlg(QObject *owner = nullptr);
    ~TWPSpellOptionsDlg() override;

    TWPSpellController *Controller() const;
    void SetController(TWPSpellController *controller);
    // True when confirmed: the checker has the new settings.
    bool Execute() override;

private:
    QPointer<TWPSpellController> m_controller;
};

} // namespace zor
