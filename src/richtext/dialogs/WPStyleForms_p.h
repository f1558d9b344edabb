// The form of one style, shared by the style sheet dialog and the one-style
// dialog. Not part of the library's interface.
#pragma once

#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QStringList>

#include <memory>

namespace zor {

class WPOneStyleForm : public QDialog
{
public:
    explicit WPOneStyleForm(QWidget *parent);
    ~WPOneStyleForm() override;

    // Shows style; others are the document's other styles' names (offered
    // to base it on; a new name must not be one of them).
    void Load(const TWPStyle &style, const QStringList &others, bool nameEditable);
    TWPStyle Style() const;

    void accept() override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zor
