// TWindowsPreviewHandlerControl: a pane that shows a file through the
// previewer registered for its kind, as a file manager's preview pane does.
// The previewer is found by the file's extension (its MIME type and that
// type's ancestors, then the per-extension registry entries under
// HKEY_CLASSES_ROOT), else by the file's content; it is made through
// CoCreateInstance, handed the file, and its widget is parented into the
// control and kept at the control's size. Without one, or after a failure,
// the control paints a centred line: NoPreviewText, or the error in
// parentheses.
//
// Errors: with RaiseErrors, SetFileName and LoadPreview throw to their caller
// (callers in slots must catch: exceptions may not cross Qt's event loop).
// A file name set before the control was first shown loads on that first
// show, and its failure is always painted, never thrown; so is the failure of
// a previewer that finishes its picture later (a large picture decoding on
// the thread pool, PDF pages from the worker).
//
// PreviewRendered tells when the pane's picture is final: wait for it instead
// of polling what the pane paints.
#pragma once

#include <ZorCompCore/core/PreviewHandlerDef.h>
#include <ZorCompCore/zor_export.h>

#include <QWidget>

#include <memory>

namespace zor {

enum class TPreviewHandlerMode { pvmInProcServer = 0x1 };
Q_DECLARE_FLAGS(TPreviewHandlerModes, TPreviewHandlerMode)

class ZOR_EXPORT TWindowsPreviewHandlerControl : public QWidget, public IPreviewHandlerFrame
{
    Q_OBJECT
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(bool RaiseErrors READ RaiseErrors WRITE SetRaiseErrors)
    // Qt 6 takes only a constant for STORED: writers ask IsNoPreviewTextStored().
    Q_PROPERTY(QString NoPreviewText READ NoPreviewText WRITE SetNoPreviewText RESET ResetNoPreviewText)
public:
    explicit TWindowsPreviewHandlerControl(QWidget *AParent = nullptr);
    ~TWindowsPreviewHandlerControl() override;

    static QString DefaultNoPreviewText();

    QString FileName() const;
    void SetFileName(const QString &Value); // then LoadPreview(FileName)
    bool RaiseErrors() const;
    void SetRaiseErrors(bool Value);
    QString NoPreviewText() const;
    void SetNoPreviewText(const QString &Value);
    void ResetNoPreviewText();
    bool IsNoPreviewTextStored() const; // only when it differs from the default

    bool PreviewLoaded() const;
    IPtr<IPreviewHandler> PreviewHandler() const;
    QString ErrorText() const;
    // What Paint draws: "(error)", NoPreviewText, or nothing while a previewer shows.
    QString DisplayText() const;
    QString PendingFileName() const;

    void LoadPreview(const QString &AFileName);
    void ClearPreview();

    // The previewer class (braced text) for an extension such as ".pdf", or empty.
    QString GetPreviewHandlerClass(const QString &Extension) const;
    // Classes that must not preview: RTF's system previewer for ".rtf", and one class everywhere.
    virtual void SpecialPreviewHandlerClassFixUp(const QString &Extension, QString &ClassId) const;
    virtual TPreviewHandlerModes GetPreviewHandlerModes(const QString &ClassId) const;
    void GetPreviewHandler(const QString &Extension, QString &ErrorText, IPtr<IPreviewHandler> &Handler,
                           TPreviewHandlerModes &Modes);
    void CreatePreviewHandlerByClass(const QString &ClassId, QString &ErrorText, IPtr<IPreviewHandler> &Handler,
                                     TPreviewHandlerModes &Modes);

    // IPreviewHandlerFrame: the control is owned by its parent, not counted.
    HRESULT QueryInterface(const QUuid &iid, void **obj) override;
    int AddRef() override { return -1; }
    int Release() override { return -1; }
    HRESULT GetWindowContext(void *info) override;
    HRESULT TranslateAccelerator(void *msg) override;

Q_SIGNALS:
    // Once per load of a shown control, when its picture is final: the
    // previewer's picture is complete, or the pane paints NoPreviewText or an
    // error instead. A load replaced (or cleared) before it was complete
    // never emits. For synchronous previewers it comes before LoadPreview
    // returns.
    void PreviewRendered();

protected:
    void paintEvent(QPaintEvent *AEvent) override;
    void resizeEvent(QResizeEvent *AEvent) override;
    void showEvent(QShowEvent *AEvent) override;
    bool event(QEvent *AEvent) override;

private:
    void HandleCreated();
    // Whether the previewer finishes its picture later.
    bool LoadFile(const QString &AFileName);
    void Completed(quint64 load, HRESULT result, const QString &description);
    struct Private;
    std::unique_ptr<Private> const d;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TPreviewHandlerModes)

// The class identifiers of the built-in previewers and of the PDF worker.
namespace PreviewClasses {
constexpr QUuid Picture = Guid("{6A1C3F2E-9B47-4D8E-A5C1-3E7F20B94D11}");
constexpr QUuid Text = Guid("{6A1C3F2E-9B47-4D8E-A5C1-3E7F20B94D12}");
constexpr QUuid Markdown = Guid("{6A1C3F2E-9B47-4D8E-A5C1-3E7F20B94D13}");
constexpr QUuid Html = Guid("{6A1C3F2E-9B47-4D8E-A5C1-3E7F20B94D14}");
// Local server only: pages are rendered by zor-preview-worker ($ZOR_PREVIEW_WORKER
// overrides where it is found), ten seconds per request at most.
constexpr QUuid Pdf = Guid("{6A1C3F2E-9B47-4D8E-A5C1-3E7F20B94D15}");
} // namespace PreviewClasses

} // namespace zor
