#include <ZorCompCore/web/ZORHtmlEditorCore.h>

#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/html/HtDocument.h>
#include <ZorCompCore/html/HtmlNode.h>
#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/imaging/Graphic.h>
#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/utilities/AnsiStringTools.h>
#include <ZorCompCore/utilities/HTTPUtils.h>
#include <ZorCompCore/web/EmailSenderUtils.h>
#include <ZorCompCore/web/HtmlEncodeDecode.h>
#include <ZorCompCore/web/ZORClipboardClassifier.h>
#include <ZorCompCore/web/ZORHTMLViewerHelper.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMimeData>
#include <QSet>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThreadPool>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>

namespace zor {

namespace {

Q_LOGGING_CATEGORY(lcHtmlEdit, "zor.web.htmleditor", QtInfoMsg)

const QString kImagePathTag = QStringLiteral("%IMAGEPATH%");
const QString kThumbImageClass = QStringLiteral("zor-auto-lnkpast-thumb-img");
const QString kThumbLinkClass = QStringLiteral("zor-auto-lnkpast-thumb-lnk");
constexpr int kMaxCompatibleName = 200;
// A thumbnail size from a document's style is clamped to this.
constexpr double kMaxThumbnailSide = 16384;

[[noreturn]] void cannotCreate(const QString &name, const QString &reason)
{
    throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(name, reason));
}

[[noreturn]] void cannotOpen(const QString &name, const QString &reason)
{
    throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(name, reason));
}

// A new folder of our own (mode 0700) from a QTemporaryDir pattern.
QString createPrivateFolder(const QString &pattern)
{
    QTemporaryDir dir(pattern);
    if (!dir.isValid())
        cannotCreate(pattern, dir.errorString());
    dir.setAutoRemove(false);
    return dir.path();
}

// Removes what a folder holds, keeping the folder itself (a removed and
// re-created folder in a shared temporary folder could be taken meanwhile).
void emptyFolder(const QString &folder)
{
    QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                    | QDir::NoDotAndDotDot);
    for (const QFileInfo &e : entries) {
        if (e.isDir() && !e.isSymLink())
            QDir(e.filePath()).removeRecursively();
        else
            QFile::remove(e.filePath());
    }
}

QString fileNamePart(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

// A name with a NUL names no file (and Qt warns about each such name).
bool isRegularFile(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0)) && QFileInfo(path).isFile();
}

// The size of a picture file we may read: a regular file, not empty, not
// beyond the limit; -1 otherwise. Kernel pseudo-files report 0 or absurd
// sizes, so reading no more than the size bounds the work.
qint64 pictureFileSize(const QString &path)
{
    if (!isRegularFile(path))
        return -1;
    const qint64 size = QFileInfo(path).size();
    return size > 0 && size <= TZORHtmlEditorCore::MaxLocalImageSize ? size : -1;
}

// Reads a picture file whole (at most its size). EFOpenError on failure.
QByteArray readPictureFile(const QString &path)
{
    const qint64 size = pictureFileSize(path);
    if (size < 0)
        cannotOpen(path, QStringLiteral("It is no picture file that can be read."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        cannotOpen(path, file.errorString());
    QByteArray bytes = file.read(size);
    if (bytes.size() != size)
        cannotOpen(path, file.errorString());
    return bytes;
}

// Writes data as target through a temporary file beside it: the rename
// replaces a symbolic link standing under the name instead of writing
// through it, and a failed write leaves an old file alone.
bool writeFileAtomically(const QString &target, const QByteArray &data, QString *error)
{
    QTemporaryFile tmp(QFileInfo(target).absolutePath() + QStringLiteral("/.zorhtml-XXXXXX"));
    if (!tmp.open() || tmp.write(data) != data.size() || !tmp.flush()) {
        *error = tmp.errorString();
        return false;
    }
    tmp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (std::rename(QFile::encodeName(tmp.fileName()).constData(), QFile::encodeName(target).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    tmp.setAutoRemove(false);
    return true;
}

// Copies a picture file, overwriting target; false (and nothing changed)
// when the source cannot be read or the target not written.
bool copyPictureFile(const QString &source, const QString &target)
{
    QByteArray bytes;
    try {
        bytes = readPictureFile(source);
    } catch (const EFOpenError &e) {
        qCDebug(lcHtmlEdit) << "not copied:" << e.Message();
        return false;
    }
    QString error;
    if (!writeFileAtomically(target, bytes, &error)) {
        qCDebug(lcHtmlEdit) << "cannot write" << target << error;
        return false;
    }
    return true;
}

std::unique_ptr<THtDocument> parseDocument(const QString &html)
{
    auto doc = std::make_unique<THtDocument>();
    doc->SetSharedStyles(false); // an editor's styles change with its text
    doc->Parse(html);
    return doc;
}

THtNodeList imagesOf(const THtmlNode &root)
{
    THtNodeList list;
    list.LoadNodesByTag(&root, QStringLiteral("img"));
    return list;
}

// A white background colour from the body's style, without a background
// picture, is dropped: the editor's own background shows instead.
QString dropWhiteBodyBackground(const QString &html)
{
    if (!html.contains(u"background", Qt::CaseInsensitive))
        return html;
    const auto doc = parseDocument(html);
    THtmlNode *body = doc->Body();
    quint32 color = 0;
    if (!body || !THtDocument::GetInlineStyleColor(body, u"background-color", color) || color <= 0xFFFFFE)
        return html;
    if (!THtDocument::GetInlineStyle(body, u"background-image").isEmpty() || body->HasAttribute(u"background"))
        return html;
    THtDocument::RemoveInlineStyle(body, u"background-color");
    return doc->OuterHTML();
}

// The data URL of picture bytes: JPEG, PNG and GIF as they are, anything
// else converted to PNG.
QString embeddedSource(QByteArray bytes, const TGraphicClass *cls)
{
    QString format = cls->FormatName();
    if (format != u"jpg" && format != u"png" && format != u"gif") {
        const TGraphicClass *png = FindDibGraphicClass(QStringLiteral("png"));
        bytes = TGraphic::Load(bytes, cls).SaveToBytes(png);
        format = png->FormatName();
    }
    return QStringLiteral("data:image/") + format + QStringLiteral(";base64,") + MIMEEncodeBytes(bytes, -1);
}

QString attr(const QString &value)
{
    return value.toHtmlEscaped();
}

QString imageFragment(const QString &source)
{
    return QStringLiteral("<img src=\"") + attr(source) + QStringLiteral("\">");
}

QString linkFragment(const QString &url, bool newWindow)
{
    return QStringLiteral("<a ") + (newWindow ? QStringLiteral("target=\"_blank\" ") : QString())
           + QStringLiteral("href=\"") + attr(url) + QStringLiteral("\">")
           + THTTPUtils::RemoveProtocol(url).toHtmlEscaped() + QStringLiteral("</a>");
}

QString textFragment(const QString &text)
{
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normal.replace(u'\r', u'\n');
    QStringList lines = normal.split(u'\n');
    for (QString &line : lines)
        line = line.toHtmlEscaped();
    return lines.join(QStringLiteral("<br>"));
}

// A number from the document's style class, else def; sizes are clamped.
int cssSize(const THtDocument &doc, const QString &value, int def)
{
    const Variant v = TZORHTMLViewerHelper::GetCSSClassValue(doc, kThumbImageClass, value, Variant(def));
    if (!v.IsNumeric())
        return def;
    const double d = VarToDouble(v);
    if (!(d >= 0))
        return 0;
    return int(std::min(d, kMaxThumbnailSide));
}

// Checks that a whole BinHTML container stands at the stream's position,
// so that reading it cannot end early; the position is kept.
void requireWholeContainer(TStream &s)
{
    const qint64 size = s.Size();
    if (size == 0)
        return; // an empty stream reads as an empty text
    const qint64 start = s.Position();
    TStreamHelper h(&s);
    auto left = [&] { return size - s.Position(); };
    auto skipCounted = [&](qint64 unit) {
        if (left() < 8)
            return false;
        const qint64 n = h.ReadInt64();
        if (n < 0 || n > left() / unit)
            return false;
        s.Seek(n * unit, soCurrent);
        return true;
    };
    bool whole = left() >= 8;
    if (whole) {
        h.ReadInteger(); // version
        const qint32 count = h.ReadInteger();
        whole = count >= 0 && skipCounted(2);
        // Each entry takes at least 16 bytes: the loop ends with the data.
        for (qint32 i = 0; whole && i < count; ++i)
            whole = skipCounted(2) && skipCounted(1);
    }
    s.SetPosition(start);
    if (!whole)
        throw EReadError(QStringLiteral("Invalid stream data!"));
}

// Moves the files of one folder into another (same file system), replacing
// files of the same name there.
void moveFilesInto(const QString &from, const QString &to)
{
    const QStringList files = QDir(from).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &f : files) {
        const QString target = to + u'/' + f;
        if (std::rename(QFile::encodeName(from + u'/' + f).constData(), QFile::encodeName(target).constData()) != 0)
            cannotCreate(target, QString::fromLocal8Bit(std::strerror(errno)));
    }
}

struct BusyScope
{
    const std::function<void(bool)> &onBusy;
    explicit BusyScope(const std::function<void(bool)> &f) : onBusy(f)
    {
        if (onBusy)
            onBusy(true);
    }
    ~BusyScope()
    {
        if (onBusy)
            onBusy(false);
    }
};

} // namespace

struct TZORHtmlEditorCore::Private
{
    QString imagePath;
    bool ownsImagePath = false;
    int loadingLock = 0;
    QString inlineImagePrefix = QStringLiteral("Innline");
    bool embedImages = false;
    bool bodyOnly = false;
    bool linkPaste = true;
    bool embedPastedImages = false;
    QString defaultBlockTag = QStringLiteral("p");
    QString documentHTML;
    // Paths handed out for new pictures since the document was last set: the
    // engine may not show them yet, but they are taken.
    QSet<QString> handedOut;

    void cleanUpImagePath()
    {
        if (ownsImagePath && !imagePath.isEmpty())
            QDir(imagePath).removeRecursively();
    }
    QString folderURL() const { return ConvertLocalPathToHTML(imagePath + u'/', true); }
};

TZORHtmlEditorCore::TZORHtmlEditorCore() : d(std::make_unique<Private>()) {}

TZORHtmlEditorCore::~TZORHtmlEditorCore()
{
    d->cleanUpImagePath();
}

// ---- image folder

QString TZORHtmlEditorCore::ImagePath()
{
    if (d->imagePath.isEmpty()) {
        d->imagePath = createPrivateFolder(QDir::tempPath() + QStringLiteral("/zorhtml-XXXXXX"));
        d->ownsImagePath = true;
    }
    return d->imagePath;
}

void TZORHtmlEditorCore::SetImagePath(const QString &Value)
{
    d->cleanUpImagePath();
    QString path = Value;
    path.replace(u'\\', u'/');
    d->imagePath = path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    d->ownsImagePath = false;
    d->handedOut.clear();
    if (!d->imagePath.isEmpty() && !QFileInfo::exists(d->imagePath)) {
        if (!QDir().mkpath(d->imagePath))
            qCWarning(lcHtmlEdit) << "cannot create the image folder" << d->imagePath;
        else
            QFile::setPermissions(d->imagePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ExeOwner);
    }
}

bool TZORHtmlEditorCore::OwnsImagePath() const
{
    return d->ownsImagePath;
}

QString TZORHtmlEditorCore::InlineImagePrefix() const
{
    return d->inlineImagePrefix;
}

void TZORHtmlEditorCore::SetInlineImagePrefix(const QString &Value)
{
    d->inlineImagePrefix = Value;
}

void TZORHtmlEditorCore::InvalidateImagePath()
{
    ImagePath();
    if (!d->ownsImagePath)
        return;
    if (QFileInfo(d->imagePath).isDir()) {
        emptyFolder(d->imagePath);
    } else {
        d->imagePath.clear(); // gone: a new one
        ImagePath();
    }
    d->handedOut.clear();
}

void TZORHtmlEditorCore::StartLoading()
{
    if (d->loadingLock++ == 0)
        InvalidateImagePath();
}

void TZORHtmlEditorCore::EndLoading()
{
    if (d->loadingLock > 0)
        --d->loadingLock;
}

int TZORHtmlEditorCore::LoadingLockCount() const
{
    return d->loadingLock;
}

// ---- options

bool TZORHtmlEditorCore::EmbedImages() const { return d->embedImages; }
void TZORHtmlEditorCore::SetEmbedImages(bool Value) { d->embedImages = Value; }
bool TZORHtmlEditorCore::BodyOnly() const { return d->bodyOnly; }
void TZORHtmlEditorCore::SetBodyOnly(bool Value) { d->bodyOnly = Value; }
bool TZORHtmlEditorCore::LinkPaste() const { return d->linkPaste; }
void TZORHtmlEditorCore::SetLinkPaste(bool Value) { d->linkPaste = Value; }
bool TZORHtmlEditorCore::EmbedPastedImages() const { return d->embedPastedImages; }
void TZORHtmlEditorCore::SetEmbedPastedImages(bool Value) { d->embedPastedImages = Value; }
QString TZORHtmlEditorCore::DefaultBlockTag() const { return d->defaultBlockTag; }
void TZORHtmlEditorCore::SetDefaultBlockTag(const QString &Value) { d->defaultBlockTag = Value; }

// ---- document

QString TZORHtmlEditorCore::DocumentHTML() const
{
    return d->documentHTML;
}

void TZORHtmlEditorCore::SetDocumentHTML(const QString &Value)
{
    d->documentHTML = Value;
    d->handedOut.clear();
}

QString TZORHtmlEditorCore::HTMLText() const
{
    QString html = d->documentHTML;
    if (d->bodyOnly) {
        const auto doc = parseDocument(html);
        if (const THtmlNode *body = doc->Body())
            html = body->InnerHTML();
    }
    if (!d->imagePath.isEmpty())
        html.replace(d->folderURL(), kImagePathTag);
    return html;
}

void TZORHtmlEditorCore::SetHTMLText(const QString &Value)
{
    QString html;
    if (!Value.isEmpty()) {
        html = Value;
        if (html.contains(kImagePathTag)) {
            ImagePath();
            html.replace(kImagePathTag, d->folderURL());
        }
    } else {
        const QString &tag = d->defaultBlockTag;
        html = u'<' + tag + QStringLiteral(">&nbsp;</") + tag + u'>';
        if (!d->bodyOnly)
            html = QStringLiteral("<html>") + html + QStringLiteral("</html>");
    }
    html = dropWhiteBodyBackground(html);
    SetDocumentHTML(html);
    if (OnLoadDocument)
        OnLoadDocument(html);
}

void TZORHtmlEditorCore::InsertHTML(const QString &AFragment)
{
    if (OnInsertHTML) {
        OnInsertHTML(AFragment);
        return;
    }
    const auto doc = parseDocument(d->documentHTML);
    THtmlNode *at = doc->Body();
    if (!at)
        at = doc->FindFirst(u"html");
    if (!at)
        at = doc.get();
    THtmlNode fragment;
    fragment.Parse(AFragment);
    while (fragment.ChildCount() > 0)
        fragment.Child(0)->MoveTo(at, at->ChildCount());
    d->documentHTML = doc->OuterHTML();
}

// ---- images

bool TZORHtmlEditorCore::GetIsReferencedOnElement(const QString &AFileName, const THtmlNode *E, bool ALocalOnly)
{
    if (AFileName.isEmpty() || !E || !E->IsElement() || E->TagName() != u"img")
        return false;
    const QString src = E->GetAttribute(u"src");
    if (src.contains(u"file://") != ALocalOnly)
        return false;
    return src.contains(ConvertLocalPathToHTML(AFileName, false));
}

THtmlNode *TZORHtmlEditorCore::GetReferencedElement(const QString &AFileName, const THtNodeList &AList,
                                                    bool ALocalOnly)
{
    for (THtmlNode *n : AList)
        if (GetIsReferencedOnElement(AFileName, n, ALocalOnly))
            return n;
    return nullptr;
}

void TZORHtmlEditorCore::FillImageList(TStringList &AImageList) const
{
    AImageList.Clear();
    if (d->imagePath.isEmpty())
        return;
    const QStringList files = QDir(d->imagePath).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    for (const QString &f : files)
        AImageList.Add(f);
    const auto doc = parseDocument(d->documentHTML);
    // The same test as GetReferencedElement's, with each source read and each
    // name encoded once: a folder of n pictures costs n encodings, not n².
    QStringList localSources;
    for (const THtmlNode *n : imagesOf(*doc)) {
        const QString src = n->GetAttribute(u"src");
        if (src.contains(u"file://"))
            localSources << src;
    }
    for (int i = AImageList.Count() - 1; i >= 0; --i) {
        const QString encoded = ConvertLocalPathToHTML(d->imagePath + u'/' + AImageList.Get(i), false);
        const bool used = std::any_of(localSources.cbegin(), localSources.cend(),
                                      [&](const QString &src) { return src.contains(encoded); });
        if (!used)
            AImageList.Delete(i);
    }
}

QString TZORHtmlEditorCore::AddLocalImage(const QString &AFileName, bool AEmbed)
{
    if (AEmbed) {
        const QString name = fileNamePart(AFileName);
        const qsizetype dot = name.lastIndexOf(u'.');
        const TGraphicClass *cls = dot < 0 ? nullptr : FindDibGraphicClass(name.mid(dot));
        if (!cls)
            throw Exception(QStringLiteral("Unknown graphic format ") + AFileName);
        const QString source = embeddedSource(readPictureFile(AFileName), cls);
        AddLocalImageLink(source);
        return source;
    }
    const QString target = CreateNewLocalInlineImageFileName(AFileName);
    if (!copyPictureFile(AFileName, target))
        return {};
    const QString source = ConvertLocalPathToHTML(target, true);
    AddLocalImageLink(source);
    return source;
}

void TZORHtmlEditorCore::AddLocalImageLink(const QString &ASource)
{
    InsertHTML(imageFragment(ASource));
}

// ---- container

void TZORHtmlEditorCore::SaveToBinaryStream(TStream &AStream, const THTMLProcessCode &ABeforeSave)
{
    TStringList images;
    FillImageList(images);
    QString html = HTMLText();
    if (ABeforeSave)
        html = ABeforeSave(html);
    TZORHTMLViewerHelper::WriteToBinaryStream(AStream, html, d->imagePath, &images);
}

void TZORHtmlEditorCore::LoadFromBinaryStream(TStream &AStream, const THTMLProcessCode &ABeforeLoad)
{
    requireWholeContainer(AStream);
    ++d->loadingLock;
    struct Unlock
    {
        int &lock;
        ~Unlock() { --lock; }
    } unlock{d->loadingLock};

    // The pictures go to a fresh folder; the document switches only when
    // everything was read. An application's folder receives them by rename
    // from a folder inside it (same file system).
    const bool intoApplicationFolder = !d->imagePath.isEmpty() && !d->ownsImagePath;
    const QString staging = createPrivateFolder(intoApplicationFolder
                                                    ? d->imagePath + QStringLiteral("/.zorload-XXXXXX")
                                                    : QDir::tempPath() + QStringLiteral("/zorhtml-XXXXXX"));
    QString html;
    try {
        TZORHTMLViewerHelper::ReadFromBinaryStream(AStream, html, staging, nullptr, false);
        if (ABeforeLoad)
            html = ABeforeLoad(html);
        if (intoApplicationFolder)
            moveFilesInto(staging, d->imagePath);
    } catch (...) {
        QDir(staging).removeRecursively();
        throw;
    }
    if (intoApplicationFolder) {
        QDir(staging).removeRecursively();
    } else {
        d->cleanUpImagePath();
        d->imagePath = staging;
        d->ownsImagePath = true;
    }
    SetHTMLText(html);
}

void TZORHtmlEditorCore::LoadFromFile(const QString &AFileName, bool AEmbedLocalImages)
{
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly))
        cannotOpen(AFileName, file.errorString());
    QString text = DecodeHtmlBytes(file.readAll());
    file.close();
    StartLoading();
    struct End
    {
        TZORHtmlEditorCore *core;
        ~End() { core->EndLoading(); }
    } end{this};
    if (AEmbedLocalImages)
        text = ConvertLocalImagesToEmbededLocals(text, QFileInfo(AFileName).absolutePath());
    SetHTMLText(text);
}

// ---- names and paths

QString TZORHtmlEditorCore::ConvertLocalPathToHTML(const QString &APath, bool AAddFileProtocol)
{
    QString path = APath;
    path.replace(u'\\', u'/');
    // Quotes, '&', '<', '>', '%', '#', '?' and blanks are encoded: the result
    // stands in HTML attributes and compares as plain text.
    QString out = QString::fromLatin1(QUrl::toPercentEncoding(path, QByteArrayLiteral("/!$()*+,;=:@")));
    if (AAddFileProtocol)
        out = (out.startsWith(u'/') ? QStringLiteral("file://") : QStringLiteral("file:///")) + out;
    return out;
}

bool TZORHtmlEditorCore::ConvertLocalFileNameToFullPath(QString &AFileName, const QString &ABasePath)
{
    QString name = AFileName;
    if (name.startsWith(u"cid:", Qt::CaseInsensitive))
        name.remove(0, 4);
    if (name.isEmpty())
        return false;
    for (QStringView scheme : {u"http://", u"https://", u"ftp://"})
        if (name.startsWith(scheme, Qt::CaseInsensitive))
            return false;
    if (name.startsWith(u"file:", Qt::CaseInsensitive)) {
        name = LocalPathFromFileURL(name);
        if (name.isEmpty())
            return false;
    }
    name.replace(u'\\', u'/');
    if (!name.startsWith(u'/') && !ABasePath.isEmpty()) {
        QStringList candidates{name};
        const QString decoded = QUrl::fromPercentEncoding(name.toUtf8());
        if (decoded != name)
            candidates.append(decoded); // a relative URL as HTML writes it
        for (const QString &c : candidates) {
            const QString full = QDir::cleanPath(ABasePath + u'/' + c);
            if (isRegularFile(full)) {
                AFileName = full;
                return true;
            }
        }
    }
    if (!isRegularFile(name))
        return false;
    AFileName = name;
    return true;
}

QString TZORHtmlEditorCore::ExtractHTMLCompatibleFileName(const QString &AFileName)
{
    QString name = fileNamePart(AFileName);
    for (QChar &c : name) {
        const char16_t u = c.unicode();
        const bool keep = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.'
                          || u == '_' || u == ' ';
        if (!keep)
            c = u'_';
    }
    if (name.isEmpty() || name == u"." || name == u"..")
        name.prepend(u'_'); // never the folder itself or its parent
    if (name.size() > kMaxCompatibleName) {
        const qsizetype dot = name.lastIndexOf(u'.');
        const QString ext = dot >= 0 && name.size() - dot <= 20 ? name.mid(dot) : QString();
        name = name.left(kMaxCompatibleName - ext.size()) + ext;
    }
    return name;
}

bool TZORHtmlEditorCore::GetIsGraphicTypeExtension(const QString &AFileName)
{
    return IsGraphicTypeExtension(AFileName);
}

QString TZORHtmlEditorCore::CreateNewLocalInlineImageFileName(const QString &AFileName)
{
    const QString folder = ImagePath() + u'/';
    const QString name = ExtractHTMLCompatibleFileName(AFileName);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString base = dot >= 0 ? name.left(dot) : name;
    const QString ext = dot >= 0 ? name.mid(dot) : QString();
    const auto doc = parseDocument(d->documentHTML);
    const THtNodeList images = imagesOf(*doc);
    QString candidate = folder + name;
    // Bounded: each round passes one picture of the document or one handed out.
    for (int n = 1; d->handedOut.contains(candidate) || GetReferencedElement(candidate, images, true); ++n)
        candidate = folder + d->inlineImagePrefix + base + u'_' + QString::number(n) + ext;
    d->handedOut.insert(candidate);
    return candidate;
}

QString TZORHtmlEditorCore::ConvertLocalImagesToEmbededLocals(const QString &AHTML, const QString &ABasePath)
{
    THtmlNode root;
    root.Parse(AHTML);
    const THtNodeList images = imagesOf(root);
    QHash<QString, QString> copies; // source file -> its copy in the folder
    QSet<QString> taken;
    bool changed = false;
    for (THtmlNode *img : images) {
        if (!img->HasAttribute(u"src"))
            continue;
        QString file = img->GetAttribute(u"src");
        if (file.startsWith(u"data") || !ConvertLocalFileNameToFullPath(file, ABasePath))
            continue;
        file = QFileInfo(file).absoluteFilePath();
        QString copy = copies.value(file);
        if (copy.isEmpty()) {
            const QString folder = ImagePath() + u'/';
            const QString name = d->inlineImagePrefix + ExtractHTMLCompatibleFileName(file);
            const qsizetype dot = name.lastIndexOf(u'.');
            copy = folder + name;
            // Two files of one name from different folders keep apart.
            for (int n = 1; taken.contains(copy) || QFileInfo::exists(copy); ++n)
                copy = folder + (dot >= 0 ? name.left(dot) : name) + u'_' + QString::number(n)
                       + (dot >= 0 ? name.mid(dot) : QString());
            if (!copyPictureFile(file, copy))
                continue;
            taken.insert(copy);
            copies.insert(file, copy);
        }
        img->SetAttribute(QStringLiteral("src"), ConvertLocalPathToHTML(copy, true));
        changed = true;
    }
    return changed ? root.OuterHTML() : AHTML;
}

// ---- paste

namespace {

// The headless rich-text engine lies below web already (mail messages keep a
// rendering of themselves), so pasted rich text goes to it directly: no
// converter hook for the widget to set, and no new dependency.
QString rtfToHTML(const QByteArray &rtf)
{
    TWPCustomRtfEdit edit;
    if (!edit.LoadFromBytes(rtf, QStringLiteral("RTF"))) {
        qCDebug(lcHtmlEdit) << "pasted rich text not read:" << edit.LastError();
        return {};
    }
    return QString::fromUtf8(edit.SaveToBytes(QStringLiteral("HTML-onlybody,")));
}

} // namespace

TZORPasteResult TZORHtmlEditorCore::PasteText(const QMimeData &AData, bool AControlRightDown)
{
    const TZORClipboardContent content = ClassifyClipboard(AData, d->linkPaste);
    TZORPasteResult result;
    auto insert = [&](TZORPasteKind kind, const QString &fragment) {
        if (fragment.isEmpty())
            return;
        InsertHTML(fragment);
        result.Kind = kind;
        result.HTML = fragment;
    };

    switch (content.Kind) {
    case TZORClipboardKind::Nothing:
        break;
    case TZORClipboardKind::LocalImages:
    case TZORClipboardKind::LocalImage: {
        const QStringList files = content.Kind == TZORClipboardKind::LocalImage ? QStringList{content.Text}
                                                                               : content.Files;
        for (const QString &file : files) {
            const QString source = AddLocalImage(file, d->embedPastedImages);
            if (!source.isEmpty()) {
                result.Kind = TZORPasteKind::Image;
                result.HTML += imageFragment(source);
            }
        }
        break;
    }
    case TZORClipboardKind::HTML:
        insert(TZORPasteKind::HTML, PreparePastedHTML(THTMLUtils::ExtractBodyPartFromHTML(content.Text)));
        break;
    case TZORClipboardKind::RTF: {
        const QString html = rtfToHTML(content.Data);
        if (!html.trimmed().isEmpty())
            insert(TZORPasteKind::HTML, PreparePastedHTML(html));
        else if (AData.hasText())
            insert(TZORPasteKind::Text, textFragment(AData.text()));
        break;
    }
    case TZORClipboardKind::Image: {
        const TGraphicClass *cls = GuessDibGraphicClass(content.Data);
        if (!cls)
            break;
        if (d->embedPastedImages) {
            const QString source = embeddedSource(content.Data, cls);
            insert(TZORPasteKind::Image, imageFragment(source));
            break;
        }
        // Through a file, as a picture file pasted from outside.
        QTemporaryDir tmp;
        if (!tmp.isValid())
            cannotCreate(tmp.path(), tmp.errorString());
        const QString file = tmp.filePath(QStringLiteral("image.") + cls->FormatName());
        QString error;
        if (!writeFileAtomically(file, content.Data, &error))
            cannotCreate(file, error);
        const QString source = AddLocalImage(file, false);
        if (!source.isEmpty()) {
            result.Kind = TZORPasteKind::Image;
            result.HTML = imageFragment(source);
        }
        break;
    }
    case TZORClipboardKind::GraphicURL:
        if (!AControlRightDown) {
            result = PasteThumbnailLink(content.Text);
            break;
        }
        insert(TZORPasteKind::Link, linkFragment(content.Text, false));
        break;
    case TZORClipboardKind::URL:
        insert(TZORPasteKind::Link, linkFragment(content.Text, false));
        break;
    case TZORClipboardKind::Text:
        insert(TZORPasteKind::Text, textFragment(content.Text));
        break;
    }
    return result;
}

QString TZORHtmlEditorCore::PreparePastedHTML(const QString &AHTML)
{
    THtmlNode root;
    root.Parse(AHTML);
    const THtNodeList images = imagesOf(root);
    const QString folder = d->imagePath.isEmpty() ? QString() : d->imagePath + u'/';
    bool changed = false;
    for (THtmlNode *img : images) {
        QString path = LocalPathFromFileURL(img->GetAttribute(u"src"));
        if (path.isEmpty())
            continue;
        path = QDir::cleanPath(path);
        if (!folder.isEmpty() && path.startsWith(folder))
            continue; // already ours
        if (pictureFileSize(path) < 0)
            continue;
        const QString copy = CreateNewLocalInlineImageFileName(path);
        if (!copyPictureFile(path, copy))
            continue;
        img->SetAttribute(QStringLiteral("src"), ConvertLocalPathToHTML(copy, true));
        changed = true;
    }
    return changed ? root.OuterHTML() : AHTML;
}

QByteArray TZORHtmlEditorCore::DownloadPicture(const QString &AURL)
{
    auto promise = std::make_shared<std::promise<QByteArray>>();
    std::future<QByteArray> done = promise->get_future();
    QThreadPool::globalInstance()->start([promise, url = AURL] {
        try {
            TBytesStream body;
            THTTPUtils::Get(url, body, DownloadReadTimeout);
            promise->set_value(body.Bytes());
        } catch (...) {
            promise->set_exception(std::current_exception());
        }
    });
    {
        BusyScope busy(OnBusy);
        if (OnWait) {
            while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
                OnWait();
        } else {
            done.wait();
        }
    }
    return done.get(); // the download's error, after the busy state ended
}

TZORPasteResult TZORHtmlEditorCore::PasteThumbnailLink(const QString &AURL)
{
    const QByteArray download = DownloadPicture(AURL);
    const QString source = ThumbnailSource(AURL, download);
    TZORPasteResult result;
    if (source.isEmpty()) {
        result.Kind = TZORPasteKind::Link;
        result.HTML = linkFragment(AURL, true);
    } else {
        result.Kind = TZORPasteKind::ThumbnailLink;
        result.HTML = QStringLiteral("<a class=\"") + kThumbLinkClass + QStringLiteral("\" target=\"_blank\" href=\"")
                      + attr(AURL) + QStringLiteral("\"><img class=\"") + kThumbImageClass + QStringLiteral("\" src=\"")
                      + attr(source) + QStringLiteral("\"></a>");
    }
    InsertHTML(result.HTML);
    return result;
}

QString TZORHtmlEditorCore::ThumbnailSource(const QString &AURL, const QByteArray &ADownload)
{
    if (!GuessDibGraphicClass(ADownload))
        return {};
    const auto doc = parseDocument(d->documentHTML);
    const QString format = VarToStr(
        TZORHTMLViewerHelper::GetCSSClassValue(*doc, kThumbImageClass, QStringLiteral("thumbfmt"), Variant(u"jpg")));
    const int width = cssSize(*doc, QStringLiteral("width"), 200);
    const int height = cssSize(*doc, QStringLiteral("height"), 0);
    QByteArray thumbnail = ADownload;
    try {
        if (!ConvertImage(thumbnail, height, width, u'.' + format.trimmed()))
            return {};
    } catch (const EEnvisionError &e) {
        qCDebug(lcHtmlEdit) << "no thumbnail of" << AURL << e.Message();
        return {}; // a picture no reader takes is no picture
    }
    // The class written: a format no writer has falls back (to PNG).
    const TGraphicClass *cls = GuessDibGraphicClass(thumbnail);
    if (!cls)
        return {};
    const QString ext = u'.' + cls->FormatName();
    if (d->embedPastedImages)
        return QStringLiteral("data:") + TEmailSenderUtils::GetGraphicTypeForInlineImage(u'x' + ext)
               + QStringLiteral(";base64,") + MIMEEncodeBytes(thumbnail, -1);
    QString name = QUrl(AURL).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        name = QStringLiteral("image");
    const QString file = CreateNewLocalInlineImageFileName(name + ext);
    QString error;
    if (!writeFileAtomically(file, thumbnail, &error))
        cannotCreate(file, error);
    return ConvertLocalPathToHTML(file, true);
}

} // namespace zor
