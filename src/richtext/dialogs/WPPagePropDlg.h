// Page setup of the section the caret is in: paper (the common sizes of
// QPageSize, or any size of the user's own), orientation, margins and the
// header's and footer's distances from the edge, in millimetres or inches
// as the locale measures; kept in twips in the section. The page setup is
// no part of the text's undo history.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

namespace zor {

class ZOR_EXPORT TWPPagePropDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPPagePropDlg(QObject *owner = nullptr);
    ~TWPPagePropDlg() override;

    bool Execute() override;
};

} // namespace zor
