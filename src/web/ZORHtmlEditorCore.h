// TZORHtmlEditorCore: everything of the HTML editor that is neither drawing
// nor DOM editing, so that it runs (and is tested) without a browser engine.
// The editor widget holds one and delegates to it.
//
// Image folder. The pictures a text shows live as files in one folder: a
// private one (mode 0700 under the temporary folder, created when first
// needed, owned: emptied by StartLoading, removed with the core) unless the
// application sets ImagePath (never emptied nor removed by us). Stored text
// refers to the folder as "%IMAGEPATH%"; the document the engine shows uses
// file URLs: "file://" + the percent-encoded absolute path.
//
// Document. DocumentHTML is the engine's document as the engine holds it
// (file URLs). The widget keeps it current (SetDocumentHTML after edits) and
// loads what OnLoadDocument hands over; insertions go to OnInsertHTML (the
// engine's cursor). Without OnInsertHTML a fragment is appended to the end
// of the body, which makes the core a complete editor without a cursor.
//
// Paste. PasteText turns a clipboard into the HTML to insert (see
// ZORClipboardClassifier.h for what counts as what) and inserts it: local
// pictures are copied into the folder (or embedded), HTML is inserted with
// its file: pictures from outside the folder copied in, rich text goes
// through the rich-text engine to HTML, an address of a picture becomes a
// thumbnail link (downloaded on the thread pool; OnBusy brackets the wait and
// OnWait runs meanwhile), any other address a link. Errors pass to the caller
// after OnBusy(false).
//
// Container. SaveToBinaryStream writes the text with the pictures it uses
// (BinHTML, see ZORHTMLViewerHelper.h). LoadFromBinaryStream first checks
// that the whole container is there, reads it into a fresh folder and
// switches to it only when everything succeeded: a bad container raises
// EReadError "Invalid stream data!" and the open document stays as it was.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QMimeData;

namespace zor {

class THtmlNode;
class THtNodeList;
class TStream;
class TStringList;

// What a paste became.
enum class TZORPasteKind {
    Nothing,       // nothing was inserted
    Text,          // plain text
    Link,          // a link to an address
    ThumbnailLink, // a link to a picture showing its thumbnail
    Image,         // one or more pictures
    HTML,          // HTML (also converted rich text)
};

struct ZOR_EXPORT TZORPasteResult
{
    TZORPasteKind Kind = TZORPasteKind::Nothing;
    QString HTML; // the fragment inserted; empty when nothing was
};

class ZOR_EXPORT TZORHtmlEditorCore
{
public:
    // Receives an HTML text and returns its replacement (before saving,
    // after loading).
    using THTMLProcessCode = std::function<QString(const QString &)>;

    // Picture files larger than this are not copied nor embedded; a size the
    // file system reports beyond it is no picture's (kernel pseudo-files).
    static constexpr qint64 MaxLocalImageSize = 256 * 1024 * 1024;
    // Read time-out of a picture download, milliseconds.
    static constexpr int DownloadReadTimeout = 10000;

    TZORHtmlEditorCore();
    ~TZORHtmlEditorCore();
    TZORHtmlEditorCore(const TZORHtmlEditorCore &) = delete;
    TZORHtmlEditorCore &operator=(const TZORHtmlEditorCore &) = delete;

    // ---- image folder
    // The folder, created (owned, 0700) when none is set. EFCreateError when
    // it cannot be created.
    QString ImagePath();
    // Leaves an owned folder (removing it) for Value, created when missing;
    // empty: a private folder again when next needed.
    void SetImagePath(const QString &Value);
    bool OwnsImagePath() const;
    // Put in front of generated image file names; "Innline" by default.
    QString InlineImagePrefix() const;
    void SetInlineImagePrefix(const QString &Value);
    // Ensures a folder; an owned one is emptied.
    void InvalidateImagePath();
    // Nesting of loads; the outermost StartLoading invalidates the folder.
    void StartLoading();
    void EndLoading();
    int LoadingLockCount() const;

    // ---- options
    // Pictures added by the add-image action are embedded as data URLs.
    bool EmbedImages() const;
    void SetEmbedImages(bool Value);
    // HTMLText reads and writes the body's content only.
    bool BodyOnly() const;
    void SetBodyOnly(bool Value);
    // Pasted text that is an address or a picture path becomes a link or a
    // picture (on by default).
    bool LinkPaste() const;
    void SetLinkPaste(bool Value);
    // Pasted pictures are embedded as data URLs instead of copied.
    bool EmbedPastedImages() const;
    void SetEmbedPastedImages(bool Value);
    // The block an empty text gets: "p" by default.
    QString DefaultBlockTag() const;
    void SetDefaultBlockTag(const QString &Value);

    // ---- document
    QString DocumentHTML() const;
    // The engine's document after an edit; no callback is raised.
    void SetDocumentHTML(const QString &Value);
    // The document with folder URLs as "%IMAGEPATH%" (body only with BodyOnly).
    QString HTMLText() const;
    // Loads Value with "%IMAGEPATH%" as folder URLs; an empty value gives an
    // empty block holding a non-breaking space. A white background colour
    // the body's style sets (with no background image) is dropped.
    void SetHTMLText(const QString &Value);

    // The engine loads a whole document.
    std::function<void(const QString &AHTML)> OnLoadDocument;
    // The engine inserts a fragment at its cursor.
    std::function<void(const QString &AFragment)> OnInsertHTML;
    // Brackets a download: true before, false after (also on failure).
    std::function<void(bool ABusy)> OnBusy;
    // Called repeatedly while a download runs; unset: the caller blocks.
    std::function<void()> OnWait;

    // Inserts AFragment (OnInsertHTML, else at the end of the body).
    void InsertHTML(const QString &AFragment);

    // ---- images
    // Names of the folder's files (plain files, no links) that an img
    // element of the document refers to.
    void FillImageList(TStringList &AImageList) const;
    // Inserts a picture: embedded as a data URL (JPEG, PNG and GIF as they
    // are, others converted to PNG; Exception "Unknown graphic format " +
    // AFileName for a name of no picture type) or copied into the folder.
    // Returns the source inserted; empty when the copy failed (nothing then
    // is inserted).
    QString AddLocalImage(const QString &AFileName, bool AEmbed);
    // Inserts <img src="ASource">.
    void AddLocalImageLink(const QString &ASource);

    // ---- container
    void SaveToBinaryStream(TStream &AStream, const THTMLProcessCode &ABeforeSave = {});
    void LoadFromBinaryStream(TStream &AStream, const THTMLProcessCode &ABeforeLoad = {});
    // Loads an HTML file (charset by byte order mark or meta tag); with
    // AEmbedLocalImages the pictures it refers to are copied into the folder.
    void LoadFromFile(const QString &AFileName, bool AEmbedLocalImages);

    // ---- paste
    TZORPasteResult PasteText(const QMimeData &AData, bool AControlRightDown);

    // ---- names and paths
    // "\" becomes "/", the path is percent-encoded (only A-Z a-z 0-9 and
    // -._~/!$()*+,;=:@ stay) and, with AAddFileProtocol, becomes a file URL.
    static QString ConvertLocalPathToHTML(const QString &APath, bool AAddFileProtocol);
    // Resolves a reference of a document: "cid:" dropped; empty, http, https
    // and ftp addresses give false; a file URL gives its path; a relative
    // name is looked up in ABasePath first. True (AFileName then the path)
    // when a regular file is found.
    static bool ConvertLocalFileNameToFullPath(QString &AFileName, const QString &ABasePath);
    // The file name part with each character outside A-Z a-z 0-9 . _ and the
    // blank replaced by "_"; never empty, "." or "..", at most 200 characters.
    static QString ExtractHTMLCompatibleFileName(const QString &AFileName);
    static bool GetIsGraphicTypeExtension(const QString &AFileName);
    // A path in the folder for a copy of AFileName that no picture of the
    // document (nor one handed out since the document was last set) uses:
    // the compatible name, else prefix + name + "_n" + extension.
    QString CreateNewLocalInlineImageFileName(const QString &AFileName);
    // Copies the local pictures AHTML refers to (relative to ABasePath) into
    // the folder as prefix + name, rewriting their sources as file URLs.
    QString ConvertLocalImagesToEmbededLocals(const QString &AHTML, const QString &ABasePath);

    // Whether E is an img whose src refers to AFileName (a file URL with
    // ALocalOnly, anything else without).
    static bool GetIsReferencedOnElement(const QString &AFileName, const THtmlNode *E, bool ALocalOnly);
    static THtmlNode *GetReferencedElement(const QString &AFileName, const THtNodeList &AList, bool ALocalOnly);

private:
    // Pasted HTML with its file: pictures from outside the folder copied in.
    QString PreparePastedHTML(const QString &AHTML);
    // The body of AURL, fetched on the thread pool; OnBusy brackets the wait.
    QByteArray DownloadPicture(const QString &AURL);
    TZORPasteResult PasteThumbnailLink(const QString &AURL);
    // The thumbnail's source (a file URL or a data URL); empty when the
    // download is no picture.
    QString ThumbnailSource(const QString &AURL, const QByteArray &ADownload);

    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
