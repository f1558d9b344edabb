// The dialog that renames the languages of a language component: a list of
// the names and an editor for the selected one. OK is offered only when the
// names changed and none is empty.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QColor>
#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace zor {

class TStringList;
class TsiCustomLang;
class TsiLangDispatcher;

class ZOR_EXPORT TfrmLangNames : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmLangNames(QWidget *AParent = nullptr);
    ~TfrmLangNames() override;

    // Fills the list; the names count as the unchanged state once the dialog
    // is shown.
    void SetNames(const QStringList &ANames);
    QStringList Names() const;

    QListWidget *ListBox() const;
    QLineEdit *NameEdit() const;
    QPushButton *ModifyButton() const;
    QPushButton *OKButton() const;
    TsiCustomLang *Lang() const;

    // Stores the editor's text as the selected entry's name.
    void Modify();
    void UpdateButtons();

    // How entry AIndex is drawn: an empty name as a grey placeholder, a
    // selected entry in the selection's text colour.
    struct ItemLook
    {
        QString Text;
        QColor Color;
    };
    ItemLook LookOf(int AIndex, bool ASelected) const;
    // Height of every entry: a line of the list's font plus 4 pixels at 96 dpi.
    int ItemHeight() const;

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

// Lets the user rename ALangNames; on OK the edited names replace its
// contents. The dialog follows ADispatcher when given. ACallback, when given,
// is called with the dialog before it runs. Returns the dialog's result.
ZOR_EXPORT int ChangeLanguagesDlg(TStringList &ALangNames, TsiLangDispatcher *ADispatcher,
                                  const std::function<void(TfrmLangNames &)> &ACallback = {});

} // namespace zor
