// Paragraph formatting of the paragraphs the selection touches: alignment,
// indents (left, right, first line; in centimetres or inches as the locale
// measures), spacing before and after (points) and line spacing (single,
// 1.5 lines, double, at least / exactly so many points, a multiple of
// lines). The form shows the first paragraph; only what the user changes is
// applied to all of them.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

namespace zor {

class ZOR_EXPORT TWPParagraphPropDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPParagraphPropDlg(QObject *owner = nullptr);
    ~TWPParagraphPropDlg() override;

    bool Execute() override;
};

} // namespace zor
