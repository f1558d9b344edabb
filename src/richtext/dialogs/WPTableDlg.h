// Tables: a new one at the caret (rows, columns, width as a share of the
// line, border width in points, 0 for none), or, with the caret in a table,
// rows inserted above or below and columns left or right of the selected
// cells, or the rows or columns they span deleted.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

namespace zor {

class ZOR_EXPORT TWPTableDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPTableDlg(QObject *owner = nullptr);
    ~TWPTableDlg() override;

    bool Execute() override;
};

} // namespace zor
