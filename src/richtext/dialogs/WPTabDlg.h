// Tab stops of the paragraphs the selection touches: the first paragraph's
// stops are listed; the user sets (adds, or changes the one at the same
// position), clears one or clears all, each left, right, centred or decimal
// (on the locale's decimal sign). OK gives all the paragraphs the list.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

namespace zor {

class ZOR_EXPORT TWPTabDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPTabDlg(QObject *owner = nullptr);
    ~TWPTabDlg() override;

    bool Execute() override;
};

} // namespace zor
