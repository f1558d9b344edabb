// Borders and shading of the paragraphs the selection touches: which sides
// have a line, the lines' style, width, colour and distance from the text,
// and a shading (a percentage of a colour over the paragraph's background).
// The form shows the first paragraph; OK gives all of them its settings.
//
// The line styles are a list of "code=NAME" entries ("0=SINGLE",
// "1=DOUBLE", "2=DOTTED", "3=DASHED", "4=THICK"); a caller may narrow it
// from OnShow (web pages know single lines only).
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

#include <QStringList>

class QComboBox;

namespace zor {

class ZOR_EXPORT TWPParagraphBorderDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPParagraphBorderDlg(QObject *owner = nullptr);
    ~TWPParagraphBorderDlg() override;

    bool Execute() override;

    // The entries every form starts with.
    static QStringList DefaultLineStyles();
    // The form's line style list (the widget), and its entries as
    // "code=NAME"; setting them replaces the list, keeping the choice when
    // it is still offered (else the first entry).
    static QComboBox *LineStyleList(QDialog &form);
    static QStringList LineStyles(QDialog &form);
    static void SetLineStyles(QDialog &form, const QStringList &entries);
};

} // namespace zor
