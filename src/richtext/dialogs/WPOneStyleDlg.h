// One named style: its name, kind (paragraph or character), the style it is
// based on, and what it sets: font, size, colour, bold, italic, underline,
// strikethrough, and for paragraphs alignment, indents and spacing. What
// the style leaves alone shows as "-" (a check box in its third state).
//
// Execute edits the style named StyleName, else the style of the caret's
// paragraph; without either it makes a new style from the caret's formats
// and gives the selection that style. An edited style is applied again to
// all text that has it, in one undo step.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

#include <ZorCompCore/richtext/engine/Document.h>

namespace zor {

class ZOR_EXPORT TWPOneStyleDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPOneStyleDlg(QObject *owner = nullptr);
    ~TWPOneStyleDlg() override;

    QString StyleName() const;
    void SetStyleName(const QString &name);

    bool Execute() override;

private:
    QString m_name;
};

// The style's text over those it is based on (theirs first, so its own
// keys win); a loop of "based on" ends where it comes round.
ZOR_EXPORT QString WPResolvedStyleText(const TWPDocument &doc, const QString &name);
// Gives what the cursor selects the style: a paragraph style its
// paragraphs (with their text), a character style the selected runs.
ZOR_EXPORT void WPApplyStyle(TWPDocument &doc, const QTextCursor &cursor, const TWPStyle &style);
// Applies the style again to every paragraph or run that has it.
ZOR_EXPORT void WPReapplyStyle(TWPDocument &doc, const TWPStyle &style);

} // namespace zor
