// THtActionAddLocalImage: the "add picture" action of the HTML editor. On
// trigger it asks for a picture file and inserts it into its Editor at the
// caret: copied into the editor's image folder, or embedded as a data URL
// when the editor's EmbedImages is set. The action sits in the category
// "HtmlEdit.quenlor" (the "Category" property action lists read).
//
// The picture dialog goes through GlobalPictureDialogHandler when one is
// installed (tests, unattended hosts); otherwise a QFileDialog is shown.
#pragma once

#include <ZorCompCore/htmleditor/ZORHtmlEditor.h>
#include <ZorCompCore/zor_htmleditor_export.h>

#include <QAction>
#include <QPointer>
#include <QString>

#include <functional>

namespace zor {

// Asks for one picture file: AParent the dialog's parent, AFilter the name
// filter (as QFileDialog takes it). Returns the file, empty for cancel.
using TPictureDialogHandler = std::function<QString(QWidget *AParent, const QString &AFilter)>;

// Unset at load: a QFileDialog asks.
ZOR_HTMLEDITOR_EXPORT extern TPictureDialogHandler GlobalPictureDialogHandler;

class ZOR_HTMLEDITOR_EXPORT THtActionAddLocalImage : public QAction
{
    Q_OBJECT
    Q_PROPERTY(zor::TZORHtmlEditor *Editor READ Editor WRITE SetEditor)
public:
    // The action-list category of the HTML editor's actions.
    static const QString cCategory;

    explicit THtActionAddLocalImage(QObject *AParent = nullptr);
    ~THtActionAddLocalImage() override;

    // The editor pictures go into; not owned. The action is disabled
    // without one (also once the editor is destroyed).
    TZORHtmlEditor *Editor() const;
    void SetEditor(TZORHtmlEditor *AEditor);

    // The picture dialog's filter: the graphic types the editor takes
    // (TZORHtmlEditorCore::GetIsGraphicTypeExtension), then all files.
    static QString PictureFilter();

    // What a trigger runs: asks for a picture and inserts it into AEditor
    // (EmbedImages decides copy or data URL), then calls OnChange. False
    // when there was nothing to do (no editor, a read-only one, the dialog
    // cancelled). Errors of the insertion (a file of no picture type to
    // embed, an image folder that cannot be created) raise.
    bool ExecuteTarget(TZORHtmlEditor *AEditor);

    // Called after a picture was inserted.
    std::function<void(THtActionAddLocalImage *ASender)> OnChange;

private:
    // The trigger: ExecuteTarget on Editor, errors shown as a message.
    void Execute();
    void UpdateEnabled();

    QPointer<TZORHtmlEditor> FEditor;
};

} // namespace zor
