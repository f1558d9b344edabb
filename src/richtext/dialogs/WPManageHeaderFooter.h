// The document's headers and footers: listed by section, part (header or
// footer) and pages (all pages - the odd ones when there are even ones
// apart -, even pages, the first page); added, deleted, and their text
// edited. Nothing changes before OK. A first-page part turns the section's
// separate first page on; deleting its last first-page part turns it off.
// Headers and footers are no part of the body's undo history.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

namespace zor {

class ZOR_EXPORT TWPManageHeaderFooter : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPManageHeaderFooter(QObject *owner = nullptr);
    ~TWPManageHeaderFooter() override;

    // True when OK changed any header or footer.
    bool Execute() override;
};

} // namespace zor
