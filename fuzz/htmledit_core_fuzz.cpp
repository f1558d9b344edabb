// Feeds arbitrary text to the HTML editor core's decisions: the clipboard
// classifier (the text offered as HTML, rich text, a URI list, picture bytes
// and plain text, chosen by the first byte), the copying of a page's local
// pictures, the "%IMAGEPATH%" mapping and the name functions. Checks:
//  * compatible names hold only A-Z a-z 0-9 . _ and blanks, are never empty,
//    "." or "..", and new picture names stay directly inside the folder;
//  * a path as file URL is plain ASCII without quotes, blanks or markup, and
//    reads back as the path;
//  * pictures a page refers to are copied into the folder only, and every
//    rewritten source points into it;
//  * a text without file URLs comes back from the document unchanged.
// First byte: bit 0 HTML, bit 1 RTF, bit 2 URI list, bit 3 picture bytes,
// bit 4 link paste, bit 5 embed pasted pictures; the rest is the text
// (FuzzText.h's rules for UTF-16 apply from the second byte).
#include "FuzzText.h"

#include <ZorCompCore/html/HtmlNode.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/utilities/HTTPUtils.h>
#include <ZorCompCore/web/ZORClipboardClassifier.h>
#include <ZorCompCore/web/ZORHtmlEditorCore.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

using zor::TZORHtmlEditorCore;

void fail(const char *what)
{
    fprintf(stderr, "htmledit_core_fuzz: %s\n", what);
    std::abort();
}

bool compatibleChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.' || u == '_'
           || u == ' ';
}

bool validUtf16(const QString &s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        else if (s[i].isSurrogate() || s[i].unicode() == 0)
            return false;
    }
    return true;
}

// A page folder with a few pictures the input may name.
const QString &pageFolder()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        QDir().mkpath(dir.filePath(QStringLiteral("sub dir")));
        for (const char *name : {"a.png", "sub dir/b.gif", "c.txt"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            if (f.open(QIODevice::WriteOnly))
                f.write("picture");
        }
        return true;
    }();
    (void)made;
    static const QString path = dir.path();
    return path;
}

void checkNames(TZORHtmlEditorCore &core, const QString &text)
{
    const QString name = TZORHtmlEditorCore::ExtractHTMLCompatibleFileName(text);
    if (name.isEmpty() || name == u"." || name == u".." || name.size() > 200)
        fail("a compatible name that names no file");
    for (QChar c : name)
        if (!compatibleChar(c))
            fail("a character a compatible name must not hold");
    const QString folder = core.ImagePath();
    const QString fresh = core.CreateNewLocalInlineImageFileName(text);
    if (QFileInfo(fresh).absolutePath() != folder || QFileInfo(fresh).fileName().isEmpty())
        fail("a new picture name outside the folder");

    const QString asUrl = TZORHtmlEditorCore::ConvertLocalPathToHTML(text, true);
    for (QChar c : asUrl)
        if (c.unicode() <= ' ' || c.unicode() > '~' || c == u'"' || c == u'\'' || c == u'<' || c == u'>'
            || c == u'&')
            fail("a file URL with a character HTML would have to escape");
    QString path = text;
    path.replace(u'\\', u'/');
    if (path.startsWith(u'/') && validUtf16(path) && zor::LocalPathFromFileURL(asUrl) != path)
        fail("a file URL does not read back as its path");

    QString resolved = text;
    if (TZORHtmlEditorCore::ConvertLocalFileNameToFullPath(resolved, pageFolder()) && !QFileInfo(resolved).isFile())
        fail("a reference resolved to something that is no file");
}

void checkClassifier(uint8_t flags, const QString &text, const QByteArray &raw)
{
    QMimeData m;
    if (flags & 0x01)
        m.setHtml(text);
    if (flags & 0x02)
        m.setData(QStringLiteral("text/rtf"), raw);
    if (flags & 0x04)
        m.setData(QStringLiteral("text/uri-list"), raw);
    if (flags & 0x08)
        m.setData(QStringLiteral("image/png"), raw);
    m.setText(text);
    const zor::TZORClipboardContent c = zor::ClassifyClipboard(m, flags & 0x10);
    using K = zor::TZORClipboardKind;
    switch (c.Kind) {
    case K::LocalImages:
        if (c.Files.isEmpty())
            fail("local pictures without files");
        for (const QString &f : c.Files)
            if (!zor::IsGraphicTypeExtension(f) || !QFileInfo(f).isFile() || !f.startsWith(u'/'))
                fail("a listed file that is no picture file");
        break;
    case K::LocalImage:
        if (!QFileInfo(c.Text).isFile())
            fail("a picture path that names no file");
        break;
    case K::GraphicURL:
    case K::URL:
        if (!zor::THTTPUtils::IsHTTPUrl(c.Text, false))
            fail("an address that is no http address");
        break;
    case K::RTF:
    case K::Image:
        if (c.Data.isEmpty())
            fail("bytes of nothing");
        break;
    default:
        break;
    }
}

void checkPage(TZORHtmlEditorCore &core, const QString &text)
{
    const QString folder = core.ImagePath();
    const QString html = core.ConvertLocalImagesToEmbededLocals(text, pageFolder());
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                       | QDir::NoDotAndDotDot);
    for (const QString &e : entries)
        if (!QFileInfo(folder + u'/' + e).isFile() || QFileInfo(folder + u'/' + e).isSymLink())
            fail("something other than a plain file in the image folder");
    if (entries.size() > 0 && html == text)
        fail("pictures copied for an unchanged page");
    zor::THtmlNode root;
    root.Parse(html);
    zor::THtNodeList images;
    images.LoadNodesByTag(&root, QStringLiteral("img"));
    const QString folderUrl = TZORHtmlEditorCore::ConvertLocalPathToHTML(folder + u'/', true);
    for (const zor::THtmlNode *img : images) {
        const QString src = img->GetAttribute(u"src");
        if (src.startsWith(folderUrl) && !QFileInfo(zor::LocalPathFromFileURL(src)).isFile())
            fail("a rewritten source names no copy");
    }

    // %IMAGEPATH% there and back.
    if (!text.isEmpty() && !text.contains(u"file:", Qt::CaseInsensitive)
        && !text.contains(u"background", Qt::CaseInsensitive)) {
        core.SetHTMLText(text);
        if (core.HTMLText() != text)
            fail("a text without file URLs changed on its way through the document");
    }
    for (const QString &e : entries)
        QFile::remove(folder + u'/' + e);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static TZORHtmlEditorCore core;
    const uint8_t flags = data[0];
    const QString text = fuzz::textOf(data + 1, size - 1);
    const QByteArray raw(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    core.SetDocumentHTML(text);
    checkNames(core, text);
    checkClassifier(flags, text, raw);
    checkPage(core, text);
    return 0;
}
