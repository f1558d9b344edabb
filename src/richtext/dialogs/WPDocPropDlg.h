// Document properties: title, subject, author, keywords and comments (the
// document's information, as RTF keeps it in \info), and counts of pages
// (as printed), words, characters and paragraphs. Changed properties mark
// the document modified; they are no part of the text's undo history.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

namespace zor {

struct TWPDocStatistics
{
    int Pages = 0;
    int Words = 0;      // runs of characters between white space with a letter or digit
    int Characters = 0; // without paragraph and line breaks
    int Paragraphs = 0; // that hold any text
};

class ZOR_EXPORT TWPDocPropDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPDocPropDlg(QObject *owner = nullptr);
    ~TWPDocPropDlg() override;

    bool Execute() override;

    static TWPDocStatistics Statistics(TWPRichText &editor);
};

} // namespace zor
