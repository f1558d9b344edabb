// The base of the editor's own dialogs: a form from forms/ shown for
// EditBox(), and the rules every dialog keeps when it changes the document.
// Nothing changes while the editor is read-only or where the change would
// touch protected text; both are reported as the control reports them, by
// its EditRefused signal. A confirmed dialog is one undo step.
#pragma once

#include <ZorCompCore/richtext/WPCustomDialog.h>
#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QTextBlockFormat>
#include <QTextCursor>

#include <functional>

class QColor;
class QComboBox;
class QDialog;
class QDoubleSpinBox;
class QTextCharFormat;
class QWidget;

namespace zor {

class ZOR_EXPORT TWPFormDialog : public TWPCustomDialog
{
    Q_OBJECT

public:
    explicit TWPFormDialog(QObject *owner = nullptr);
    ~TWPFormDialog() override;

    // Called with the form just before it is shown. A handler may adjust it
    // (a wrapper replacing a list's entries) or answer it: a form the handler
    // closed (an OK click, done()) is not shown at all.
    std::function<void(QDialog &form)> OnShow;

protected:
    // The window forms are shown over: the editor's, else none.
    QWidget *ParentWindow() const;
    // An editor that takes changes: there is one and it is not read-only
    // (a read-only one reports the refusal).
    bool MayChange() const;
    // Whether the editor may change what cursor selects (without a selection:
    // insert at it); a refusal is reported.
    bool MayEdit(const QTextCursor &cursor) const;
    // The environment's OnDialog, then OnShow, then the form modally unless
    // one of them answered it; true on OK.
    bool Run(QDialog &form);
    // The same giving the form's result code (a form with more answers).
    int RunForResult(QDialog &form);
    // The same, the form shown without blocking (find and replace).
    void Show(QDialog &form);

    // The run of a paragraph form: it shows the first paragraph the
    // selection touches (load) and OK gives every one of them its settings
    // (apply), refused when any is protected. One undo step.
    template <class Form>
    bool RunParagraphForm();

private:
    QTextCursor EditorCursor() const;
    static QTextBlockFormat FirstBlockFormat(const QTextCursor &c);
    static void RefreshEditor(TWPRichText *editor);
};

// The cursor widened to whole paragraphs: from the start of the first block
// it touches to the end of the last.
QTextCursor WPBlockSpan(const QTextCursor &cursor);

// Calls change on the format of every run the cursor selects and sets the
// result, run by run, so properties a change clears are gone (mergeCharFormat
// can only add). Without a selection the cursor's typing format changes.
void WPChangeCharFormats(QTextCursor &cursor, const std::function<void(QTextCharFormat &)> &change);
// The same for the formats of every paragraph the cursor touches.
void WPChangeBlockFormats(const QTextCursor &cursor, const std::function<void(QTextBlockFormat &)> &change);

// Lengths in the user's units: centimetres (fine) or millimetres where the
// locale measures metric, inches elsewhere.
struct TWPLengthUnit
{
    QString Suffix;       // " cm", " mm", " in"
    double TwipsPerUnit;  // 566.93, 56.69, 1440
    int Decimals;
    double Step;
};
TWPLengthUnit WPLengthUnit(bool fine);
// Sets up a spin box for the unit with limits in twips; reads or shows a
// length in twips.
void WPSetUnit(QDoubleSpinBox *box, const TWPLengthUnit &unit, int minTwips, int maxTwips);
int WPSpinTwips(const QDoubleSpinBox *box, const TWPLengthUnit &unit);
void WPSetSpinTwips(QDoubleSpinBox *box, const TWPLengthUnit &unit, int twips);

// Colour boxes: an entry for no colour of its own (noneText), the sixteen
// basic colours, and "Other..." that asks for any colour. A colour the box
// lacks is added before "Other...".
void WPFillColorBox(QComboBox *box, const QString &noneText);
void WPSelectColor(QComboBox *box, const QColor &color); // invalid: noneText
QColor WPBoxColor(const QComboBox *box);                  // invalid: none chosen

template <class Form>
bool TWPFormDialog::RunParagraphForm()
{
    if (!MayChange())
        return false;
    TWPRichText *editor = EditBox();
    const QTextCursor c = EditorCursor();
    if (!MayEdit(WPBlockSpan(c)))
        return false;
    Form form(ParentWindow());
    form.load(FirstBlockFormat(c));
    if (!Run(form))
        return false;
    WPChangeBlockFormats(c, [&form](QTextBlockFormat &bf) { form.apply(bf); });
    RefreshEditor(editor);
    return true;
}

// Registers a dialog class under its name when the library loads.
template <class Dialog>
struct TWPDialogRegistrar
{
    explicit TWPDialogRegistrar(const char *name)
    {
        TWPCustomDialog::RegisterClass(QString::fromLatin1(name),
                                       [](QObject *owner) -> TWPCustomDialog * { return new Dialog(owner); });
    }
};

} // namespace zor
