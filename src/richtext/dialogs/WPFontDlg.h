// Character formatting of the selection (without one: of what is typed
// next): family, size, colour, bold, italic, underline, strikethrough,
// sub- and superscript, small or all capitals, with a preview (text without
// a family or size of its own shows the document's default font). Where the
// selection is mixed the form shows no value (a check box its third state);
// only what the user changes is applied, so the rest keeps its mixture.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

namespace zor {

class ZOR_EXPORT TWPFontDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPFontDlg(QObject *owner = nullptr);
    ~TWPFontDlg() override;

    bool Execute() override;
};

} // namespace zor
