// Bullets and numbering of the paragraphs the selection touches: none, a
// bullet (disc, circle, square) or numbers (1., a., A., i., I.) at a level
// of 1 to 9. When all of them are in one list, that list changes (with its
// other paragraphs); otherwise they become a new list. Lists number from
// 1: the text layout has no other start.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

namespace zor {

class ZOR_EXPORT TWPBulletDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPBulletDlg(QObject *owner = nullptr);
    ~TWPBulletDlg() override;

    bool Execute() override;
};

} // namespace zor
