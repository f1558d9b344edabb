#include "HtActionAddLocalImage.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/utilities/QEDialogs.h>
#include <ZorCompCore/web/ZORHtmlEditorCore.h>

#include <QFileDialog>
#include <QStringList>

namespace zor {

TPictureDialogHandler GlobalPictureDialogHandler;

const QString THtActionAddLocalImage::cCategory = QStringLiteral("HtmlEdit.quenlor");

namespace {

// The extensions the editor takes as pictures. Keep in step with
// TZORHtmlEditorCore::GetIsGraphicTypeExtension (the action's test checks).
const char *const kPictureExtensions[] = {"jpg", "jpeg", "gif", "png", "svg", "bmp", "tiff", "tif", "eps"};

QString askForPicture(QWidget *AParent)
{
    const QString filter = THtActionAddLocalImage::PictureFilter();
    if (GlobalPictureDialogHandler)
        return GlobalPictureDialogHandler(AParent, filter);
    return QFileDialog::getOpenFileName(AParent, QObject::tr("Add picture"), QString(), filter);
}

} // namespace

THtActionAddLocalImage::THtActionAddLocalImage(QObject *AParent) : QAction(AParent)
{
    setObjectName(QStringLiteral("HtActionAddLocalImage"));
    setText(tr("Add picture…"));
    setToolTip(tr("Inserts a picture file at the caret"));
    setIcon(QIcon::fromTheme(QStringLiteral("insert-image")));
    // Action lists read the category from this property (TWPActionList::Category).
    setProperty("Category", cCategory);
    connect(this, &QAction::triggered, this, &THtActionAddLocalImage::Execute);
    UpdateEnabled();
}

THtActionAddLocalImage::~THtActionAddLocalImage() = default;

TZORHtmlEditor *THtActionAddLocalImage::Editor() const
{
    return FEditor.data();
}

void THtActionAddLocalImage::SetEditor(TZORHtmlEditor *AEditor)
{
    if (FEditor == AEditor)
        return;
    if (FEditor)
        disconnect(FEditor, &QObject::destroyed, this, nullptr);
    FEditor = AEditor;
    // A widget says destroyed() before its QPointers are cleared: forget it here.
    if (AEditor)
        connect(AEditor, &QObject::destroyed, this, [this] {
            FEditor = nullptr;
            UpdateEnabled();
        });
    UpdateEnabled();
}

QString THtActionAddLocalImage::PictureFilter()
{
    QStringList patterns;
    for (const char *ext : kPictureExtensions)
        patterns << QStringLiteral("*.") + QLatin1String(ext);
    return tr("Pictures (%1)").arg(patterns.join(u' ')) + QStringLiteral(";;") + tr("All files (*)");
}

bool THtActionAddLocalImage::ExecuteTarget(TZORHtmlEditor *AEditor)
{
    if (!AEditor || AEditor->ReadOnly())
        return false;
    const QString file = askForPicture(AEditor);
    if (file.isEmpty())
        return false;
    AEditor->AddLocalImage(file, AEditor->EmbedImages());
    if (OnChange)
        OnChange(this);
    return true;
}

void THtActionAddLocalImage::Execute()
{
    // A slot must not let an exception into Qt's event loop: the user sees it.
    try {
        ExecuteTarget(FEditor.data());
    } catch (const Exception &e) {
        ShowMessage(e.Message());
    } catch (const std::exception &e) {
        ShowMessage(QString::fromLocal8Bit(e.what()));
    }
}

void THtActionAddLocalImage::UpdateEnabled()
{
    setEnabled(!FEditor.isNull());
}

} // namespace zor
