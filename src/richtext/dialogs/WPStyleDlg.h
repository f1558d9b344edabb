// The document's named styles: listed with what each sets; new ones made,
// one edited (all text with it follows, one undo step) or deleted; the
// chosen one applied to the selection ("Apply" or a double click, one undo
// step, closing the form); and all of them exported to or imported from a
// CSS style sheet (see WPStyleSheet.h), imported styles replacing those of
// the same name.
#pragma once

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

namespace zor {

class ZOR_EXPORT TWPStyleDlg : public TWPFormDialog
{
    Q_OBJECT

public:
    explicit TWPStyleDlg(QObject *owner = nullptr);
    ~TWPStyleDlg() override;

    // True when a style was applied or the styles were changed.
    bool Execute() override;

    // Reads the styles of a CSS file into the document: how many, -1 (and
    // LastError) when the file cannot be read.
    int ImportStyleSheet(const QString &fileName);
    // Writes the document's styles as CSS; false (and LastError) on failure.
    bool ExportStyleSheet(const QString &fileName);
    QString LastError() const;

    // Asks for the file to import (forSaving false) or export to; empty:
    // none. Unset, a file dialog asks.
    std::function<QString(bool forSaving)> OnChooseFile;

    // The filter the file dialogs offer.
    static constexpr const char *StyleSheetFilter = "Stylesheets (*.CSS)|*.CSS";

private:
    QString m_error;
};

} // namespace zor
