#include "HtmlReader.h"

#include "Document.h"

#include <ZorCompCore/html/HtmlColors.h>
#include <ZorCompCore/html/HtmlNode.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <vector>

namespace zor {

namespace {

// Pictures larger than this are left out rather than read into memory.
constexpr qint64 kMaxPictureBytes = 64 * 1024 * 1024;

// The file a src names below baseFolder, or empty when it names none there
// (a URL with a scheme other than file, an absolute path, a way out by "..").
QString localPicture(const QString &src, const QString &baseFolder)
{
    if (baseFolder.isEmpty() || src.isEmpty())
        return {};
    const QUrl url(src);
    if (!url.scheme().isEmpty() || src.startsWith(u'/') || src.startsWith(u'\\'))
        return {};
    const QString rel = QUrl::fromPercentEncoding(url.path().toUtf8());
    const QString base = QDir::cleanPath(QDir(baseFolder).absolutePath());
    const QString path = QDir::cleanPath(base + u'/' + rel);
    if (!path.startsWith(base + u'/'))
        return {};
    return path;
}

QString pictureKind(const QByteArray &data)
{
    if (data.startsWith("\x89PNG"))
        return u"png"_qs;
    if (data.startsWith("\xFF\xD8"))
        return u"jpeg"_qs;
    if (data.size() >= 44 && data.mid(40, 4) == " EMF")
        return u"emf"_qs;
    if (data.startsWith("\xD7\xCD\xC6\x9A") || data.startsWith(QByteArray("\x01\x00\x09\x00", 4)))
        return u"wmf"_qs;
    return {};
}

// Pictures of formats the writers cannot carry (GIF, BMP, TIFF, ...) as PNG;
// empty when Qt cannot read them either.
QByteArray asPng(const QByteArray &data)
{
    QImage image;
    if (!image.loadFromData(data))
        return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return png;
}

// The colour of a CSS declaration list's background, if it sets one.
bool cssBackground(const QString &style, quint32 &color)
{
    static const QRegularExpression re(
        u"(?:^|;)\\s*background(?:-color)?\\s*:\\s*([^;]+)"_qs,
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(style);
    if (!m.hasMatch())
        return false;
    // "background: #fff url(x)": the colour is the word that reads as one.
    const auto words = m.captured(1).trimmed().split(u' ', Qt::SkipEmptyParts);
    for (const QString &w : words)
        if (HtmlStrToColor(w, color))
            return true;
    return false;
}

void collect(const THtmlNode *node, const QString &tag, std::vector<THtmlNode *> &out)
{
    // Iterative: nesting depth costs no stack.
    std::vector<std::pair<const THtmlNode *, int>> stack{{node, 0}};
    while (!stack.empty()) {
        auto &[n, i] = stack.back();
        if (i >= n->ChildCount()) {
            stack.pop_back();
            continue;
        }
        THtmlNode *c = n->Child(i++);
        if (c->IsElement() && c->TagName() == tag)
            out.push_back(c);
        if (c->ChildCount())
            stack.emplace_back(c, 0);
    }
}

bool hasClass(const THtmlNode *n, QStringView cls)
{
    const QString classes = n->GetAttribute(u"class");
    for (QStringView c : QStringView(classes).split(u' ', Qt::SkipEmptyParts))
        if (c == cls)
            return true;
    return false;
}

// Replaces an element by an image whose src names footnote k: the import
// keeps it as one object character, which becomes the note's field.
void toNotePlaceholder(THtmlNode *n, int k)
{
    THtmlNode *parent = n->Parent();
    const int at = parent->IndexOf(n);
    auto img = std::make_unique<THtmlNode>(u"img"_qs);
    img->SetAttribute(u"src"_qs, u"zorhtmlfn:"_qs + QString::number(k));
    parent->InsertChild(at, std::move(img));
    parent->DeleteChild(at + 1);
}

// Our writer's notes: a <div class="wp-footnotes"> after the text with one
// <div class="wp-footnote" id="wpfnN"> per note; references are links of
// class wp-fnref to "#wpfnN", marks in a note links of class wp-fnmark.
// The container leaves the tree; each note's HTML (marks as placeholders)
// is returned in order, and references in the text become placeholders.
std::vector<QString> takeFootnotes(THtmlNode &root)
{
    std::vector<THtmlNode *> divs;
    collect(&root, u"div"_qs, divs);
    THtmlNode *container = nullptr;
    for (THtmlNode *d : divs)
        if (hasClass(d, u"wp-footnotes") && d->Parent()) {
            container = d;
            break;
        }
    if (!container)
        return {};
    std::vector<QString> notes;
    QHash<QString, int> byId;
    std::vector<THtmlNode *> noteDivs;
    collect(container, u"div"_qs, noteDivs);
    for (THtmlNode *n : noteDivs) {
        if (!hasClass(n, u"wp-footnote"))
            continue;
        const int k = int(notes.size());
        byId.insert(u'#' + n->GetAttribute(u"id"), k);
        std::vector<THtmlNode *> marks;
        collect(n, u"a"_qs, marks);
        for (THtmlNode *m : marks)
            if (hasClass(m, u"wp-fnmark"))
                toNotePlaceholder(m, k);
        notes.push_back(n->InnerHTML());
    }
    container->Parent()->DeleteChild(container->Parent()->IndexOf(container));
    std::vector<THtmlNode *> refs;
    collect(&root, u"a"_qs, refs);
    for (THtmlNode *r : refs) {
        const auto it = byId.constFind(r->GetAttribute(u"href"));
        if (hasClass(r, u"wp-fnref") && it != byId.constEnd())
            toNotePlaceholder(r, it.value());
    }
    return notes;
}

} // namespace

bool TWPHTMLReader::IsHTML(const QByteArray &data)
{
    const QByteArray head = data.left(1024).toLower();
    return head.contains("<!doctype html") || head.contains("<html") || head.contains("<body")
           || head.contains("<head");
}

void TWPHTMLReader::ReadBytes(const QByteArray &html, TWPDocument &doc, const QString &baseFolder)
{
    Read(DecodeHtmlBytes(html), doc, baseFolder);
}

void TWPHTMLReader::Read(const QString &html, TWPDocument &doc, const QString &baseFolder)
{
    Read(html, doc, baseFolder, {});
}

void TWPHTMLReader::Read(const QString &html, TWPDocument &doc, const QString &baseFolder,
                         const TWPPictureSource &source)
{
    THtmlNode root;
    root.Parse(html);

    QString title;
    if (const THtmlNode *t = root.FindFirst(u"title")) {
        // The title's content is text only: its nodes' decoded text.
        for (int i = 0; i < t->ChildCount(); ++i)
            title += t->Child(i)->Kind() == THtmlNodeKind::Text ? t->Child(i)->Text() : QString();
        title = title.simplified();
    }

    bool hasBackground = false;
    quint32 background = 0;
    if (const THtmlNode *body = root.FindFirst(u"body")) {
        if (body->HasAttribute(u"bgcolor"))
            hasBackground = HtmlStrToColor(body->GetAttribute(u"bgcolor"), background);
        if (body->HasAttribute(u"style") && cssBackground(body->GetAttribute(u"style"), background))
            hasBackground = true;
    }

    // Pictures get placeholder names the import cannot resolve by itself;
    // the bytes are added once the text stands (the import clears resources).
    std::vector<THtmlNode *> images;
    collect(&root, u"img"_qs, images);
    std::vector<QByteArray> pictures;
    for (THtmlNode *img : images) {
        const QString src = img->GetAttribute(u"src");
        QByteArray data;
        if (source && !src.isEmpty())
            data = source(src);
        const QString file = data.isEmpty() ? localPicture(src, baseFolder) : QString();
        if (!file.isEmpty()) {
            QFile f(file);
            if (f.size() <= kMaxPictureBytes && f.open(QIODevice::ReadOnly))
                data = f.readAll();
        }
        if (data.size() > kMaxPictureBytes)
            data.clear();
        if (!data.isEmpty() && pictureKind(data).isEmpty())
            data = asPng(data);
        if (data.isEmpty()) {
            img->SetAttribute(u"src"_qs, QString());
            continue;
        }
        img->SetAttribute(u"src"_qs, u"zorhtmlimg:"_qs + QString::number(pictures.size()));
        pictures.push_back(std::move(data));
    }

    const std::vector<QString> notes = takeFootnotes(root);

    doc.Clear();
    QTextDocument *text = doc.Text();
    text->setHtml(root.OuterHTML());
    text->clearUndoRedoStacks();
    for (const QString &note : notes)
        doc.Footnote(doc.AddFootnote())->setHtml(note);
    if (!title.isEmpty())
        doc.SetInfo(u"title"_qs, title);
    if (hasBackground)
        SetRTFDataColorValue(doc, u"page-background-color"_qs, background);

    std::vector<QString> names;
    names.reserve(pictures.size());
    for (const QByteArray &data : pictures)
        names.push_back(doc.AddPicture(data, pictureKind(data)));

    // Point each image at its picture, or drop it when nothing can show it;
    // note placeholders become the notes' fields.
    const auto resolve = [&](QTextDocument *t) {
        struct Found
        {
            int Position, Length;
            QTextImageFormat Format;
        };
        std::vector<Found> found;
        for (QTextBlock b = t->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                if (it.fragment().charFormat().isImageFormat())
                    found.push_back({it.fragment().position(), it.fragment().length(),
                                     it.fragment().charFormat().toImageFormat()});
        QTextCursor c(t);
        const auto number = [](const QString &s, qsizetype from, size_t count) -> qsizetype {
            bool ok = false;
            const qsizetype k = s.mid(from).toLongLong(&ok);
            return ok && k >= 0 && size_t(k) < count ? k : -1;
        };
        for (auto f = found.rbegin(); f != found.rend(); ++f) {
            c.setPosition(f->Position);
            c.setPosition(f->Position + f->Length, QTextCursor::KeepAnchor);
            const QString src = f->Format.name();
            if (src.startsWith(u"zorhtmlfn:")) {
                const qsizetype k = number(src, 10, notes.size());
                if (k < 0) {
                    c.removeSelectedText();
                    continue;
                }
                QTextCharFormat cf = f->Format;
                cf.clearProperty(QTextFormat::ImageName);
                cf.clearProperty(QTextFormat::ImageWidth);
                cf.clearProperty(QTextFormat::ImageHeight);
                cf.setObjectType(WPFieldObjectType);
                cf.setProperty(wpFieldKind, int(TWPFieldKind::Footnote));
                cf.setProperty(wpFootnote, int(k));
                cf.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
                c.setCharFormat(cf);
                continue;
            }
            QString name;
            if (src.startsWith(u"zorhtmlimg:")) {
                const qsizetype k = number(src, 11, names.size());
                if (k >= 0)
                    name = names[size_t(k)];
            }
            if (name.isEmpty()) {
                c.removeSelectedText();
                continue;
            }
            f->Format.setName(name);
            f->Format.setProperty(wpPictureName, name);
            c.setCharFormat(f->Format);
        }
        t->clearUndoRedoStacks();
    };
    resolve(text);
    for (int i = 0; i < doc.FootnoteCount(); ++i)
        resolve(doc.Footnote(i));
    text->clearUndoRedoStacks();
    text->setModified(false);
}

} // namespace zor
