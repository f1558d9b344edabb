// zorcc rtf: rich-text documents from the command line.
//   convert IN OUT [--format NAME] [--image-prefix P] [--image-folder D] [--no-images]
//   info FILE [--json]
//   pdf IN OUT.pdf [--margins L,T,R,B] [--page-size NAME] [--landscape] [--title T]
//                  [--author A] [--subject S] [--keywords K]
//   spell FILE [--language L] [--json] [--no-suggestions]   (richtext_rtfspell.cpp)
// The input's format comes from its bytes or extension; the output's from
// --format or its extension.
#include "Command.h"
#include "richtext_rtfspell.h"

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/HtmlWriter.h>
#include <ZorCompCore/richtext/engine/PagePainter.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <nlohmann/json.hpp>

#include <map>

using json = nlohmann::ordered_json;
using namespace zor;

namespace {

const QString kUsage = QStringLiteral(
    "usage: zorcc rtf convert IN OUT [--format NAME] [--image-prefix P] [--image-folder D] [--no-images]\n"
    "       zorcc rtf info FILE [--json]\n"
    "       zorcc rtf pdf IN OUT.pdf [--margins L,T,R,B] [--page-size NAME] [--landscape]\n"
    "                     [--title T] [--author A] [--subject S] [--keywords K]\n"
    "       zorcc rtf spell FILE [--language L] [--json] [--no-suggestions]\n\n"
    "Rich-text documents: RTF, HTML, plain text; written as RTF, HTML, TXT, ANSI, ODT or PDF.\n\n"
    "  convert   reads IN (format from its bytes or extension) and writes OUT in the format\n"
    "            --format names (\"HTML-onlybody,\" with options) or OUT's extension. HTML\n"
    "            pictures become files img<prefix><n>.<ext> in --image-folder (default:\n"
    "            OUT's folder); --no-images leaves them out.\n"
    "  info      sections, paragraphs, tables, pictures, fields, styles, bookmarks, data\n"
    "            items, document information and the page count.\n"
    "  pdf       margins in millimetres (default 20,20,20,20), page size one of Letter, A4,\n"
    "            A3, Legal, B5, C5, 8x11, B4, A5, Folio, Executive, Envelope B4, Envelope B5,\n"
    "            Envelope C6, Envelope DL, Envelope Monarch, Envelope #9, Envelope #10,\n"
    "            Envelope #11 (default A4).\n"
    "  spell     misspelt words of the main text: position, word, suggestions. L is an\n"
    "            LCID (1031, 1033, 2057, 1036, 1040) or a code (de_DE); default: the\n"
    "            spell checker's language setting.");

struct Args
{
    QStringList positional;
    std::map<QString, QString> options;

    Args(const QStringList &args, const QStringList &valued, const QStringList &flags)
    {
        for (int i = 0; i < args.size(); ++i) {
            const QString &a = args[i];
            if (!a.startsWith(u"--") || a == u"--") {
                positional << a;
            } else if (flags.contains(a)) {
                options[a] = QString();
            } else if (valued.contains(a)) {
                if (i + 1 >= args.size())
                    throw zorcc::UsageError{QStringLiteral("%1 needs a value").arg(a)};
                options[a] = args[++i];
            } else {
                throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
            }
        }
    }
    bool has(const QString &n) const { return options.count(n) > 0; }
    QString value(const QString &n) const
    {
        const auto it = options.find(n);
        return it == options.end() ? QString() : it->second;
    }
};

void load(TWPCustomRtfEdit &edit, const QString &path)
{
    if (!edit.LoadFromFile(path))
        throw zorcc::InputError{edit.LastError()};
}

void save(const QString &path, const QByteArray &data)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        throw zorcc::InputError{QStringLiteral("cannot write %1: %2").arg(path, f.errorString())};
}

int convert(const Args &a, zorcc::Io &io)
{
    if (a.positional.size() != 2)
        throw zorcc::UsageError{QStringLiteral("convert needs IN and OUT")};
    const QString in = a.positional[0], out = a.positional[1];
    const QString format = a.has(u"--format"_qs) ? a.value(u"--format"_qs) : QFileInfo(out).suffix();
    TWPCustomRtfEdit edit;
    load(edit, in);

    const QString outDir = QFileInfo(out).absolutePath();
    const QString imageDir = a.has(u"--image-folder"_qs) ? QDir(outDir).absoluteFilePath(a.value(u"--image-folder"_qs))
                                                         : outDir;
    const QString prefix = a.value(u"--image-prefix"_qs);
    const bool images = !a.has(u"--no-images"_qs);
    QStringList written;
    edit.OnPrepareHTMLWriter = [&](TWPHTMLWriter &w) {
        w.OnImage = [&](const TWPHTMLImage &img) -> QString {
            if (!images)
                return {};
            // Pictures browsers show keep their bytes; metafiles go as JPEG.
            const bool own = img.Picture && (img.Picture->Kind == u"png" || img.Picture->Kind == u"jpeg");
            const QString name = QStringLiteral("img%1%2.%3").arg(prefix).arg(written.size())
                                     .arg(own ? img.Extension : u"jpg"_qs);
            QByteArray data = own ? img.Picture->Data : QByteArray();
            if (!own) {
                QBuffer buf(&data);
                buf.open(QIODevice::WriteOnly);
                QImage flat(img.Image.size(), QImage::Format_RGB32);
                flat.fill(Qt::white);
                QPainter(&flat).drawImage(0, 0, img.Image);
                if (img.Image.isNull() || !flat.save(&buf, "JPEG", 90))
                    return {};
            }
            if (!QDir().mkpath(imageDir))
                throw zorcc::InputError{QStringLiteral("cannot create %1").arg(imageDir)};
            save(QDir(imageDir).filePath(name), data);
            written << name;
            return QDir(outDir).relativeFilePath(QDir(imageDir).filePath(name));
        };
    };
    const QByteArray data = edit.SaveToBytes(format);
    if (!edit.LastError().isEmpty())
        throw zorcc::InputError{edit.LastError()};
    save(out, data);
    for (const QString &n : written)
        io.out << QDir(imageDir).filePath(n) << '\n';
    return 0;
}

json infoJson(TWPCustomRtfEdit &edit)
{
    const TWPDocument &doc = edit.Document();
    json j;
    json sections = json::array();
    for (int s = 0; s < doc.SectionCount(); ++s) {
        const TWPPageSetup &p = doc.PageSetup(s);
        json sj = {{"pageWidth", p.PageWidth}, {"pageHeight", p.PageHeight},
                   {"margins", {p.MarginLeft, p.MarginTop, p.MarginRight, p.MarginBottom}},
                   {"landscape", p.Landscape}, {"titlePage", p.TitlePage}};
        json hf = json::array();
        static const char *const kinds[] = {"header", "header-left", "header-first",
                                            "footer", "footer-left", "footer-first"};
        for (int k = 0; k < 6; ++k) {
            const QTextDocument *t = k < 3 ? doc.Header(s, TWPHeaderKind(k)) : doc.Footer(s, TWPHeaderKind(k - 3));
            if (t && !t->isEmpty())
                hf.push_back(kinds[k]);
        }
        sj["headersFooters"] = hf;
        sections.push_back(sj);
    }
    int paragraphs = 0, fields = 0, pictures = 0, hidden = 0, links = 0;
    for (QTextBlock b = doc.Text()->begin(); b.isValid(); b = b.next()) {
        ++paragraphs;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat cf = it.fragment().charFormat();
            if (cf.objectType() == WPFieldObjectType)
                fields += it.fragment().length();
            else if (cf.isImageFormat())
                ++pictures;
            if (cf.boolProperty(wpHidden))
                hidden += it.fragment().length();
            if (cf.isAnchor() && !cf.anchorHref().isEmpty())
                ++links;
        }
    }
    int tables = 0;
    std::vector<QTextFrame *> frames{doc.Text()->rootFrame()};
    while (!frames.empty()) {
        QTextFrame *f = frames.back();
        frames.pop_back();
        for (QTextFrame *c : f->childFrames()) {
            if (qobject_cast<QTextTable *>(c))
                ++tables;
            frames.push_back(c);
        }
    }
    j["sections"] = sections;
    j["paragraphs"] = paragraphs;
    j["tables"] = tables;
    j["pictures"] = pictures;
    j["fields"] = fields;
    j["links"] = links;
    j["hiddenCharacters"] = hidden;
    j["pages"] = edit.PageCount();
    json styles = json::array();
    for (const TWPStyle &s : doc.Styles())
        styles.push_back({{"name", s.Name.toStdString()}, {"text", s.Text.toStdString()}});
    j["styles"] = styles;
    json bookmarks = json::array();
    for (const TWPBookmark &b : doc.Bookmarks())
        bookmarks.push_back({{"name", b.Name.toStdString()}, {"start", b.Start}, {"end", b.End}});
    j["bookmarks"] = bookmarks;
    json items = json::object();
    for (const QString &n : doc.DataItemNames()) {
        const QByteArray v = doc.DataItem(n);
        json item = {{"hex", v.left(256).toHex().toStdString()}, {"size", v.size()}};
        if (v.size() == 4) // a colour item reads as one
            item["color"] = TColorToQColor(GetRTFDataColorValue(doc, n, 0)).name().toStdString();
        items[n.toStdString()] = item;
    }
    j["dataItems"] = items;
    json info = json::object();
    for (const QString &k : doc.InfoKeys())
        info[k.toStdString()] = doc.Info(k).toStdString();
    j["info"] = info;
    return j;
}

int info(const Args &a, zorcc::Io &io)
{
    if (a.positional.size() != 1)
        throw zorcc::UsageError{QStringLiteral("info needs one FILE")};
    TWPCustomRtfEdit edit;
    load(edit, a.positional[0]);
    const json j = infoJson(edit);
    if (a.has(u"--json"_qs)) {
        io.out << QString::fromStdString(j.dump(2)) << '\n';
        return 0;
    }
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (it.key() == "sections") {
            int n = 0;
            for (const json &s : *it)
                io.out << "section " << n++ << ": " << QString::fromStdString(s.dump()) << '\n';
        } else {
            io.out << QString::fromStdString(it.key()) << ": " << QString::fromStdString(it->dump()) << '\n';
        }
    }
    return 0;
}

int pdf(const Args &a, zorcc::Io &)
{
    if (a.positional.size() != 2)
        throw zorcc::UsageError{QStringLiteral("pdf needs IN and OUT.pdf")};
    int margins[4] = {20, 20, 20, 20};
    if (a.has(u"--margins"_qs)) {
        const QStringList parts = a.value(u"--margins"_qs).split(u',');
        if (parts.size() != 4)
            throw zorcc::UsageError{QStringLiteral("--margins takes four numbers L,T,R,B in millimetres")};
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            margins[i] = parts[i].trimmed().toInt(&ok);
            if (!ok || margins[i] < 0 || margins[i] > 10000)
                throw zorcc::UsageError{QStringLiteral("--margins: '%1' is no number of millimetres").arg(parts[i])};
        }
    }
    TPDFPageSize size = psA4;
    if (a.has(u"--page-size"_qs)) {
        const QStringList names = PDFPageSizeNames();
        int i = int(names.size()) - 1;
        while (i >= 0 && names[i].compare(a.value(u"--page-size"_qs), Qt::CaseInsensitive) != 0)
            --i;
        if (i < 0)
            throw zorcc::UsageError{QStringLiteral("unknown page size '%1'").arg(a.value(u"--page-size"_qs))};
        size = TPDFPageSize(i);
    }
    const TPDFPageOrientation orientation = a.has(u"--landscape"_qs) ? poPageLandscape : poPagePortrait;

    TWPCustomRtfEdit edit;
    load(edit, a.positional[0]);
    TWPPdfOptions options;
    options.Page = PDFPageSetup(size, orientation, margins[0], margins[1], margins[2], margins[3]);
    // What is left between the margins, in pixels at 96 dpi as a screen shows it.
    const auto px = [](int twips) { return qRound(twips / 15.0); };
    const TWPPageSetup &p = *options.Page;
    if (px(p.PageWidth) - px(p.MarginLeft) - px(p.MarginRight) < 50)
        throw zorcc::InputError{QStringLiteral("Horizontal margins are too large")};
    if (px(p.PageHeight) - px(p.MarginTop) - px(p.MarginBottom) < 50)
        throw zorcc::InputError{QStringLiteral("Vertical margins are too large")};
    options.Title = a.value(u"--title"_qs);
    options.Author = a.value(u"--author"_qs);
    options.Subject = a.value(u"--subject"_qs);
    options.Keywords = a.value(u"--keywords"_qs);
    const QByteArray data = TWPPagePainter::WritePdf(edit.Document(), options);
    if (data.isEmpty())
        throw zorcc::InputError{QStringLiteral("the PDF could not be written")};
    save(a.positional[1], data);
    return 0;
}

int run(const QStringList &args, zorcc::Io &io)
{
    if (args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("missing verb (convert, info, pdf or spell)")};
    const QString verb = args.first();
    const QStringList rest = args.mid(1);
    if (verb == u"convert")
        return convert(Args(rest, {u"--format"_qs, u"--image-prefix"_qs, u"--image-folder"_qs},
                            {u"--no-images"_qs}), io);
    if (verb == u"info")
        return info(Args(rest, {}, {u"--json"_qs}), io);
    if (verb == u"pdf")
        return pdf(Args(rest, {u"--margins"_qs, u"--page-size"_qs, u"--title"_qs, u"--author"_qs,
                               u"--subject"_qs, u"--keywords"_qs},
                        {u"--landscape"_qs}), io);
    if (verb == u"spell")
        return zorcc::runRtfSpell(rest, io);
    throw zorcc::UsageError{QStringLiteral("unknown verb '%1'").arg(verb)};
}

} // namespace

ZORCC_COMMAND(zorcc::Command{QStringLiteral("rtf"),
                             QStringLiteral("convert rich text (RTF, HTML, text) to other formats and PDF, "
                                            "spell-check it"),
                             kUsage, run});
// Pages and pictures need fonts and image plug-ins; help and wrong usage do not.
static const bool rtfGui = zorcc::registerGuiNeed(QStringLiteral("rtf"), [](const QStringList &args) {
    return !args.isEmpty() && QStringList({u"convert"_qs, u"info"_qs, u"pdf"_qs, u"spell"_qs}).contains(args.first())
           && !args.contains(u"--help"_qs) && !args.contains(u"-h"_qs);
});
