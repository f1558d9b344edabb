// TZORHtmlEditor: a WYSIWYG HTML editor with local pictures, the BinHTML
// container and the paste rules of the HTML editor core (web/ZORHtmlEditorCore.h),
// drawn and edited by Qt WebEngine.
//
// Why a browser engine: people who edit mail and reports want untouched parts
// back unchanged, pastes that keep their formatting and their own HTML in the
// source view. QTextDocument drops <style>, classes, ids, comments and
// type="cite" and rewrites everything else; a layout of our own would be a
// browser. Chromium's DOM keeps everything, and what the engine would
// normalise when serialising we keep ourselves: every top-level block of the
// body that the user did not change comes back as the exact text that was
// set (see ZORHtmlBlockMap.h), so an unedited text returns byte for byte.
//
// Mail is untrusted and Debian's WebEngine gets no security support, so the
// page is locked down: JavaScript is off in the page's own world (our script
// runs in an isolated world), the profile is off the record without plugins,
// only file: and data: requests pass unless AllowRemoteContent is set, and
// the page never navigates away from what we load (a clicked link or a
// dropped file changes nothing). The document carries no trace of editing:
// no contenteditable attribute, the editor's own styling is an adopted style
// sheet.
//
// The engine is asynchronous, the API is not: a getter runs the serialiser
// and waits for it in a local event loop that takes no user input, and a call
// made while a text loads first waits for the load. An engine that does not
// answer within EngineTimeout raises EZORHtmlEditorError.
//
// The widget is a tab pair: the page ("Design") and the source ("Source"), a
// plain text editor coloured by tag, attribute, comment and entity showing
// exactly HTMLText; leaving the source tab sets HTMLText from it.
//
// Processes: Chromium's helper process is started with the first editor. As
// root (CI, containers) Chromium's sandbox cannot run; set
// QTWEBENGINE_DISABLE_SANDBOX=1 there. Set Qt::AA_ShareOpenGLContexts before
// creating the QApplication, as Qt WebEngine asks.
#pragma once

#include <ZorCompCore/zor_htmleditor_export.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/web/ZORHtmlEditorCore.h>

#include <QMap>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QMimeData;
class QPlainTextEdit;
class QWebEngineView;

namespace zor {

class TStream;
class TStringList;

class ZOR_HTMLEDITOR_EXPORT EZORHtmlEditorError : public Exception
{
public:
    using Exception::Exception;
    const char *ClassName() const override { return "EZORHtmlEditorError"; }
};

// What OnElementClickEx receives: the clicked element as it was at the click.
struct ZOR_HTMLEDITOR_EXPORT TZORHtmlElementInfo
{
    QString TagName;                 // lower case
    QMap<QString, QString> Attributes; // names lower case
    bool PictureLoaded = false;      // an img whose picture is shown
    QRect Rect;                      // in the editor's page coordinates
    QString OuterHTML;               // as the engine serialises it
};

// The formatting commands the editor's actions run (execCommand names).
enum class TZORHtmlEditCommand {
    Bold, Italic, Underline, StrikeThrough, Subscript, Superscript,
    OrderedList, UnorderedList, JustifyLeft, JustifyCenter, JustifyRight, JustifyFull,
    Indent, Outdent, RemoveFormat, HorizontalRule, Undo, Redo,
};

class ZOR_HTMLEDITOR_EXPORT TZORHtmlEditor : public QWidget
{
    Q_OBJECT
public:
    // Longest wait for the engine (load, serialise, insert), milliseconds.
    static constexpr int EngineTimeout = 30000;

    explicit TZORHtmlEditor(QWidget *AParent = nullptr);
    ~TZORHtmlEditor() override;

    // The headless part: image folder, names, container, paste rules.
    TZORHtmlEditorCore &Core();

    // ---- text
    // The document with "%IMAGEPATH%" for the image folder (body only with
    // BodyOnly). Unedited blocks come back exactly as set.
    QString HTMLText();
    void SetHTMLText(const QString &AValue);
    // The whole document as the page shows it (file URLs for the folder).
    QString DocumentHTML();

    bool Modified() const;
    void SetModified(bool AValue);
    // Counts edits since the text was set.
    int ChangeCount() const;

    // ---- properties (the core's, forwarded)
    QString ImagePath();
    void SetImagePath(const QString &AValue);
    QString InlineImagePrefix() const;
    void SetInlineImagePrefix(const QString &AValue);
    bool EmbedImages() const;
    void SetEmbedImages(bool AValue);
    bool BodyOnly() const;
    void SetBodyOnly(bool AValue);
    bool LinkPaste() const;
    void SetLinkPaste(bool AValue);
    bool EmbedPastedImages() const;
    void SetEmbedPastedImages(bool AValue);
    QString DefaultBlockTag() const;
    void SetDefaultBlockTag(const QString &AValue);

    // The page can be looked at but not changed.
    bool ReadOnly() const;
    void SetReadOnly(bool AValue);
    // Lets the page fetch http(s) resources (pictures of a mail, say). Off:
    // only file: and data: are loaded.
    bool AllowRemoteContent() const;
    void SetAllowRemoteContent(bool AValue);
    // The widget's height follows the content (UpdateAutoSize).
    bool AutoHeight() const;
    void SetAutoHeight(bool AValue);

    // ---- editing
    // Inserts AFragment at the caret (end of the text without one) as one
    // undo step.
    void InsertHTML(const QString &AFragment);
    void Exec(TZORHtmlEditCommand ACommand);
    // Whether ACommand is on at the caret (bold text, a list …).
    bool CommandState(TZORHtmlEditCommand ACommand);
    // The page's undo history goes: the current text is loaded anew.
    void ClearHistory();
    // Focus in the page, caret at the end of the text.
    void EnterEditMode();
    // With AutoHeight: the widget takes the content's height; OnHeightChanged.
    void UpdateAutoSize();
    // The actions of the formatting commands, checked as the caret's text is.
    QAction *Action(TZORHtmlEditCommand ACommand) const;

    // ---- pictures and container (see the core)
    void FillImageList(TStringList &AImageList);
    QString AddLocalImage(const QString &AFileName, bool AEmbed);
    void AddLocalImageLink(const QString &ALocalFileName);
    void SaveToBinaryStream(TStream &AStream, const TZORHtmlEditorCore::THTMLProcessCode &ABeforeSave = {});
    void LoadFromBinaryStream(TStream &AStream, const TZORHtmlEditorCore::THTMLProcessCode &ABeforeLoad = {});
    void LoadFromFile(const QString &AFileName, bool AEmbedLocalImages);
    void StartLoading();
    void EndLoading();

    // ---- paste
    // Inserts the clipboard content AData by the paste rules; errors (a failed
    // download) pass to the caller and nothing is inserted.
    TZORPasteResult PasteText(const QMimeData &AData, bool AControlRightDown);
    // The user's paste: the system clipboard, the right Ctrl key's state,
    // errors shown.
    void Paste();

    // Shows the picture of an img element in the preview pop-up beside
    // ARelParent; false for anything else or a picture not loaded.
    static bool ShowImageElementAsPopUp(const TZORHtmlElementInfo &AElement, QWidget *ARelParent);

    // ---- views
    bool SourceViewActive() const;
    void SetSourceViewActive(bool AValue);
    QWebEngineView *View() const;
    QPlainTextEdit *SourceView() const;

    // Raised for a click on an element of the page.
    std::function<void(TZORHtmlEditor *ASender, const TZORHtmlElementInfo &AElement)> OnElementClickEx;
    // Raised by UpdateAutoSize when the height changed.
    std::function<void(TZORHtmlEditor *ASender)> OnHeightChanged;

Q_SIGNALS:
    // The text was changed by the user or an insertion.
    void Changed();
    // The caret moved or the formatting at it changed.
    void SelectionChanged();

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
