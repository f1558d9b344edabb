// A hyperlink's text and address. With the caret in a link the form edits
// that link (all of its run); otherwise the selection becomes the link's
// text, or, without one, the text typed into the form is inserted. "Remove
// Link" turns the link back into plain text. New links look as links do:
// blue and underlined.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

namespace zor {

class ZOR_EXPORT TWPHyperlinkDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPHyperlinkDlg(QObject *owner = nullptr);
    ~TWPHyperlinkDlg() override;

    bool Execute() override;

    // The run of the link at position (the character after it, else the one
    // before), as a selection; null when there is no link there.
    static QTextCursor LinkAt(QTextDocument *text, int position);
};

} // namespace zor
