// TfrmRTFPDFOptions: the options asked before a document is exported as PDF:
// page size and orientation, margins in millimetres and the document
// information (title, subject, author, keywords). Its texts are German by
// design; English comes from its language component (Language).
#pragma once

#include <ZorCompCore/richtext/engine/PagePainter.h>
#include <ZorCompCore/zor_export.h>

#include <QDialog>

#include <memory>

namespace zor {

class TZORLang;

class ZOR_EXPORT TfrmRTFPDFOptions : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmRTFPDFOptions(QWidget *AParent = nullptr);
    ~TfrmRTFPDFOptions() override;

    // Margins in millimetres: the edit's text as a number, 0 when it is none.
    int LeftMargin() const;
    int TopMargin() const;
    int RightMargin() const;
    int BottomMargin() const;
    void SetLeftMargin(int AValue);
    void SetTopMargin(int AValue);
    void SetRightMargin(int AValue);
    void SetBottomMargin(int AValue);

    // The list's index is the size (values outside it are ignored).
    TPDFPageSize PageSize() const;
    void SetPageSize(TPDFPageSize AValue);
    // Landscape exactly when its button is checked; any other value checks
    // portrait.
    TPDFPageOrientation PageOrientation() const;
    void SetPageOrientation(TPDFPageOrientation AValue);

    QString Title() const;
    QString Author() const;
    QString Subject() const;
    QString Keywords() const;
    void SetTitle(const QString &AValue);
    void SetAuthor(const QString &AValue);
    void SetSubject(const QString &AValue);
    void SetKeywords(const QString &AValue);

    // The OK/Cancel panel (hidden when the form is embedded elsewhere).
    bool ShowButtons() const;
    void SetShowButtons(bool AValue);

    // The language of the texts ("German", "English"), given to Lang().
    QString Language() const;
    void SetLanguage(const QString &AValue);
    TZORLang *Lang() const;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
