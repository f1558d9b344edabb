#include "ReportHelper.h"

#include "Document.h"
#include "HtmlWriter.h"
#include "LoadLock.h"

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/html/HtmlNode.h>
#include <ZorCompCore/platform/CodePage.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLoggingCategory>
#include <QPainter>
#include <QSaveFile>

#include <mutex>

namespace zor {

Q_LOGGING_CATEGORY(lcReportHelper, "zor.richtext.report")

// ---- THTMLImages -------------------------------------------------------------

void THTMLImages::Clear()
{
    TStringList::Clear();
    NamePrefix.clear();
}

QString THTMLImages::GetDestFolder(const QString &defaultFolder) const
{
    return ImageFolder.isEmpty() ? defaultFolder : ImageFolder;
}

QString THTMLImages::SaveImage(const TWPHTMLImage &image)
{
    QByteArray data;
    QString extension;
    if (image.Picture && (image.Picture->Kind == u"png" || image.Picture->Kind == u"jpeg")) {
        data = image.Picture->Data;
        extension = image.Picture->Kind == u"jpeg" ? u"jpg"_qs : u"png"_qs;
    } else if (!image.Image.isNull()) {
        // Metafiles and bare images: as JPEG, over white, for JPEG has no
        // transparency and would show it black.
        QImage flat(image.Image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter p(&flat);
        p.drawImage(0, 0, image.Image);
        p.end();
        QBuffer buf(&data);
        buf.open(QIODevice::WriteOnly);
        if (!flat.save(&buf, "JPEG", 90))
            data.clear();
        extension = u"jpg"_qs;
    }
    if (data.isEmpty())
        return {};
    const QString name = QString::asprintf("img%s%d", qUtf8Printable(NamePrefix), Count()) + u'.' + extension;
    if (WriteImages) {
        const QString folder = GetDestFolder(BaseFolder);
        QSaveFile f(QDir(folder.isEmpty() ? u"."_qs : folder).filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
            qCWarning(lcReportHelper) << "cannot write image" << f.fileName() << f.errorString();
    }
    Add(name);
    return name;
}

// ---- TWPRichTextReportHelper ---------------------------------------------------

struct TWPRichTextReportHelper::Private
{
    THTMLImages images;
};

TWPRichTextReportHelper::TWPRichTextReportHelper() : d(std::make_unique<Private>())
{
    ClearMargins();
    OnPrepareHTMLWriter = [this](TWPHTMLWriter &w) {
        if (d->images.AutoClear)
            d->images.Clear();
        w.OnImage = [this](const TWPHTMLImage &image) { return d->images.SaveImage(image); };
    };
}

TWPRichTextReportHelper::~TWPRichTextReportHelper() = default;

THTMLImages &TWPRichTextReportHelper::HTMLFileList()
{
    return d->images;
}

namespace {

// Loads with the lock held and the pages laid out again before it is left,
// whatever the load did.
template <typename Load>
bool lockedLoad(TWPCustomRtfEdit &edit, Load load)
{
    std::lock_guard<TCriticalSection> lock(WPLoadLock());
    const bool ok = load();
    edit.ReformatAll();
    return ok;
}

} // namespace

bool TWPRichTextReportHelper::LoadFromFile(const QString &fileName, bool insert, const QString &formatName)
{
    return lockedLoad(*this, [&] { return TWPCustomRtfEdit::LoadFromFile(fileName, insert, formatName); });
}

bool TWPRichTextReportHelper::LoadFromStream(QIODevice &stream, const QString &formatName, bool insert)
{
    return lockedLoad(*this, [&] { return TWPCustomRtfEdit::LoadFromStream(stream, formatName, insert); });
}

bool TWPRichTextReportHelper::LoadFromBytes(const QByteArray &data, const QString &formatName, bool insert)
{
    return lockedLoad(*this, [&] { return TWPCustomRtfEdit::LoadFromBytes(data, formatName, insert); });
}

bool TWPRichTextReportHelper::LoadFromString(const QString &text, const QString &formatName)
{
    return lockedLoad(*this, [&] { return TWPCustomRtfEdit::LoadFromString(text, formatName); });
}

bool TWPRichTextReportHelper::LoadHTMLFromStr(const QString &text)
{
    return LoadFromBytes(HTMLToAnsiBuffer(text), u"HTML"_qs);
}

bool TWPRichTextReportHelper::SaveToStream(QIODevice &stream, const QString &formatName)
{
    if (Modified()) {
        std::lock_guard<TCriticalSection> lock(WPLoadLock());
        ReformatAll();
    }
    return TWPCustomRtfEdit::SaveToStream(stream, formatName);
}

void TWPRichTextReportHelper::Clear()
{
    const TWPPageSetup page = Document().PageSetup(0);
    Document().Clear();
    Document().PageSetup(0) = page;
    TextCursor() = QTextCursor(Document().Text());
    d->images.Clear();
}

void TWPRichTextReportHelper::ClearMargins()
{
    for (int s = 0; s < Document().SectionCount(); ++s) {
        TWPPageSetup &p = Document().PageSetup(s);
        p.MarginLeft = p.MarginTop = p.MarginRight = p.MarginBottom = 0;
    }
}

bool TWPRichTextReportHelper::SaveToHTMLFile(const QString &fileName, const QString &imagePrefix,
                                             const QString &imageFolder, bool onlyBody, bool keepFonts,
                                             bool writeImages)
{
    THTMLImages &list = d->images;
    list.Clear();
    list.BaseFolder = QFileInfo(fileName).absolutePath();
    list.NamePrefix = imagePrefix;
    list.ImageFolder = imageFolder;
    list.WriteImages = writeImages;
    list.AutoClear = false;
    const bool ok = SaveToFile(fileName, false, GetHTMLSaveWPFormat(onlyBody, keepFonts, true));
    list.AutoClear = true;
    list.WriteImages = true;
    return ok;
}

bool TWPRichTextReportHelper::SaveToHTMLStream(QIODevice &stream, const QString &baseFolder,
                                               const QString &imagePrefix, const QString &imageFolder,
                                               bool onlyBody, bool keepFonts, const QString &formatOptions,
                                               bool writeImages)
{
    THTMLImages &list = d->images;
    list.Clear();
    list.BaseFolder = baseFolder;
    list.NamePrefix = imagePrefix;
    list.ImageFolder = imageFolder;
    list.WriteImages = writeImages;
    list.AutoClear = false;
    const bool ok = SaveToStream(stream, GetHTMLSaveWPFormat(onlyBody, keepFonts, true) + formatOptions);
    list.AutoClear = true;
    list.WriteImages = true;
    return ok;
}

bool TWPRichTextReportHelper::SaveToTEXTFile(const QString &fileName)
{
    return SaveToFile(fileName, false, u"TXT"_qs);
}

QString TWPRichTextReportHelper::GetHTMLSaveWPFormat(bool onlyBody, bool keepFonts, bool useQEWriter)
{
    QString format = useQEWriter ? u"TQEWPHTMLWriter"_qs : u"HTML-nopageinfo,"_qs;
    if (onlyBody)
        format += u"-onlybody,"_qs;
    if (!keepFonts)
        format += u"-usedefaultfont,"_qs;
    return format;
}

// ---- HTML from text --------------------------------------------------------------

QByteArray HTMLToAnsiBuffer(const QString &html)
{
    const QByteArray whole = ToAnsi(html);
    // A meta charset other than the ANSI code page would make the reader
    // decode these bytes under that charset: ASCII reads the same in both.
    const QString declared = HtmlCharsetOf(ToCodePage(html.left(1024), 20127 /* US-ASCII */));
    const bool asciiOnly = !declared.isEmpty() && CharsetToCodePage(declared) != AnsiCodePage();
    if (!asciiOnly && FromAnsi(whole) == html)
        return whole;
    QByteArray out;
    out.reserve(html.size() + html.size() / 4);
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar c = html[i];
        if (c.unicode() < 0x80) {
            out += char(c.unicode());
            continue;
        }
        char32_t cp = c.unicode();
        QString one(c);
        if (c.isHighSurrogate() && i + 1 < html.size() && html[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, html[i + 1]);
            one += html[++i];
        }
        if (!asciiOnly) {
            const QByteArray b = ToAnsi(one);
            if (FromAnsi(b) == one) {
                out += b;
                continue;
            }
        }
        out += "&#" + QByteArray::number(quint32(cp)) + ';';
    }
    return out;
}

bool LoadHTMLFromStr(TWPCustomRtfEdit &editor, const QString &html)
{
    return editor.LoadFromBytes(HTMLToAnsiBuffer(html), u"HTML"_qs);
}

} // namespace zor
