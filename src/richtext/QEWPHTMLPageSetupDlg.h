// The page-background colour of a document in web-page mode: a small form
// with a colour box (the default white, the sixteen HTML 4 colour names and
// any colour of the user's own) and the dialog that shows it for an editor,
// storing the choice as the document's "page-background-color".
#pragma once

#include <ZorCompCore/zor_export.h>

#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>

#include <functional>
#include <memory>

namespace zor {

class TWPCustomRtfEdit;

class ZOR_EXPORT TQEWPHTMLPageSetupDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TQEWPHTMLPageSetupDialog(QWidget *parent = nullptr);
    ~TQEWPHTMLPageSetupDialog() override;

    // White, listed as "Default".
    static constexpr TColor DefaultColor = 0xFFFFFF;

    // The chosen colour; a colour the list lacks is added as the user's own.
    TColor Color() const;
    void SetColor(TColor color);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

class ZOR_EXPORT TQEWPHTMLPageSetupDlg
{
public:
    explicit TQEWPHTMLPageSetupDlg(QWidget *parent = nullptr);
    ~TQEWPHTMLPageSetupDlg();

    // The editor whose page the dialog sets; not owned.
    TWPCustomRtfEdit *EditBox() const;
    void SetEditBox(TWPCustomRtfEdit *editor);

    // Shows the form modally with the stored colour. OK stores the chosen
    // one in the document (which is the paper's colour) and returns true;
    // false without an editor, for a read-only one and on Cancel.
    bool Execute();
    // Called with the form before it is shown (tests, customising).
    std::function<void(TQEWPHTMLPageSetupDialog &)> OnShow;

private:
    QWidget *m_parent = nullptr;
    TWPCustomRtfEdit *m_edit = nullptr;
};

} // namespace zor
