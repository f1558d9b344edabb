// The bands of a report template and the fields to put in it, shown beside
// the editor (not modal). The list shows the template's bands in order; a
// click on one takes the caret there. Add marks the caret's paragraph as the
// start of a band of the chosen kind, name and data base; Delete removes the
// selected band's mark. Fields and formulas go in at the caret: the
// before-insert handler may do it itself (the action module types
// "<<name>>"); otherwise a merge field is inserted. A formula goes in as a
// field named "FORMULA=" + its text. Each change is one undo step.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

namespace zor {

class TWPSuperMerge;

class ZOR_EXPORT TWPReportBandsDialog : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPReportBandsDialog(QObject *owner = nullptr);
    ~TWPReportBandsDialog() override;

    // Shows the form for EditBox() and SuperMerge(); false without either.
    bool Execute() override;
    // Closes the form when it is shown.
    void Close();
    QDialog *Form() const;

    TWPSuperMerge *SuperMerge() const;
    void SetSuperMerge(TWPSuperMerge *merge);
    // The data bases offered, comma-separated.
    QString DataBases;
    // Field names offered; empty: the template's merge fields.
    QStringList FieldNames;
    bool ShowAddDeleteButtons = true;
    bool ShowInsertFieldList = true;
    bool ShowFormulas = true;

    // (dialog, editor, field name, menu item, var handled)
    std::function<void(QObject *Dialog, TWPRichText *Editor, const QString &FieldName, QObject *MenuItem,
                       bool &Handled)>
        OnBeforeInsertField;

    // What the form's buttons do, for callers without the form.
    bool AddBand(int kind, const QString &name, const QString &dataBase);
    bool DeleteBand(int index);
    bool InsertField(const QString &fieldName);

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
