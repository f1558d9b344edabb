#include "HtmlWriter.h"
#include "PicturePlacement.h"

#include "Document.h"

#include <QBuffer>
#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <utility>
#include <vector>
#include <QUrl>

#include <set>

namespace zor {

QString HtmlEscape(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'&': out += u"&amp;"; break;
        case u'<': out += u"&lt;"; break;
        case u'>': out += u"&gt;"; break;
        case u'"': out += u"&quot;"; break;
        case 0x00A0: out += u"&nbsp;"; break;
        default: out += c;
        }
    }
    return out;
}

namespace {

QString pt(qreal units)
{
    // Document units are pixels at 96 dpi.
    return QString::number(units * 0.75, 'g', 4) + u"pt"_qs;
}

QString cssClassFor(const QString &styleName)
{
    QString name = u"s-"_qs;
    for (QChar c : styleName)
        name += (c.isLetterOrNumber() && c.unicode() < 128) ? c.toLower() : u'_';
    return name;
}

QString cssColor(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

QString charCss(const QTextCharFormat &cf, bool withFont)
{
    QString css;
    if (withFont) {
        const QStringList fam = cf.fontFamilies().toStringList();
        if (!fam.isEmpty() && !fam.first().isEmpty())
            css += u"font-family:'"_qs + fam.first() + u"';"_qs;
        if (cf.hasProperty(QTextFormat::FontPointSize))
            css += u"font-size:"_qs + QString::number(cf.fontPointSize()) + u"pt;"_qs;
    }
    if (cf.hasProperty(QTextFormat::FontWeight))
        css += cf.fontWeight() >= QFont::DemiBold ? u"font-weight:bold;"_qs : u"font-weight:normal;"_qs;
    if (cf.hasProperty(QTextFormat::FontItalic))
        css += cf.fontItalic() ? u"font-style:italic;"_qs : u"font-style:normal;"_qs;
    QStringList deco;
    if (cf.fontUnderline())
        deco << u"underline"_qs;
    if (cf.fontStrikeOut())
        deco << u"line-through"_qs;
    if (!deco.isEmpty())
        css += u"text-decoration:"_qs + deco.join(u' ') + u';';
    if (cf.verticalAlignment() == QTextCharFormat::AlignSubScript)
        css += u"vertical-align:sub;"_qs;
    else if (cf.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        css += u"vertical-align:super;"_qs;
    if (cf.hasProperty(QTextFormat::ForegroundBrush))
        css += u"color:"_qs + cssColor(cf.foreground().color()) + u';';
    if (cf.hasProperty(QTextFormat::BackgroundBrush))
        css += u"background-color:"_qs + cssColor(cf.background().color()) + u';';
    return css;
}

QString blockCss(const QTextBlockFormat &bf)
{
    QString css;
    if (bf.hasProperty(QTextFormat::BlockAlignment)) {
        const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
        css += a == Qt::AlignHCenter ? u"text-align:center;"_qs
             : a == Qt::AlignRight ? u"text-align:right;"_qs
             : a == Qt::AlignJustify ? u"text-align:justify;"_qs : u"text-align:left;"_qs;
    }
    const auto len = [&](int prop, const char *name) {
        if (bf.hasProperty(prop))
            css += QLatin1String(name) + u':' + pt(bf.doubleProperty(prop)) + u';';
    };
    len(QTextFormat::BlockLeftMargin, "margin-left");
    len(QTextFormat::BlockRightMargin, "margin-right");
    len(QTextFormat::TextIndent, "text-indent");
    len(QTextFormat::BlockTopMargin, "margin-top");
    len(QTextFormat::BlockBottomMargin, "margin-bottom");
    QColor bg;
    if (bf.hasProperty(QTextFormat::BackgroundBrush))
        bg = bf.background().color();
    if (bf.hasProperty(wpShading)) {
        // A shade is the percentage of its colour (black by default) over the background.
        const QColor base = bg.isValid() ? bg : QColor(Qt::white);
        const QColor ink = bf.hasProperty(wpShadingColor) ? bf.colorProperty(wpShadingColor) : QColor(Qt::black);
        const double f = std::clamp(bf.intProperty(wpShading), 0, 10000) / 10000.0;
        bg = QColor(qRound(base.red() * (1 - f) + ink.red() * f), qRound(base.green() * (1 - f) + ink.green() * f),
                    qRound(base.blue() * (1 - f) + ink.blue() * f));
    }
    if (bg.isValid())
        css += u"background-color:"_qs + cssColor(bg) + u';';
    static const char *const sides[] = {"left", "top", "right", "bottom"};
    const QColor borderColor = bf.hasProperty(wpBorderColor) ? bf.colorProperty(wpBorderColor) : QColor(Qt::black);
    for (int i = 0; i < 4; ++i) {
        const int w = bf.intProperty(wpBorderLeft + i);
        if (w > 0)
            css += u"border-"_qs + QLatin1String(sides[i]) + u':' + QString::number(w / 20.0) + u"pt solid "_qs
                   + cssColor(borderColor) + u';';
    }
    if (bf.hasProperty(wpBorderSpacing))
        css += u"padding:"_qs + QString::number(bf.intProperty(wpBorderSpacing) / 20.0) + u"pt;"_qs;
    return css;
}

} // namespace

class TWPHTMLWriterPrivate
{
public:
    bool onlyBody = false;
    bool noPageInfo = false;
    bool useDefaultFont = false;
    const TWPDocument *doc = nullptr;
    QString out;
};

TWPHTMLWriter::TWPHTMLWriter() : d(std::make_unique<TWPHTMLWriterPrivate>()) {}

TWPHTMLWriter::~TWPHTMLWriter() = default;

bool TWPHTMLWriter::UseForFilterName(const QString &name) const
{
    return name.compare(u"HTML", Qt::CaseInsensitive) == 0;
}

void TWPHTMLWriter::SetOptions(const QString &options)
{
    const auto parts = QStringView(options).split(u',', Qt::SkipEmptyParts);
    for (QStringView p : parts) {
        const QString o = p.trimmed().toString().toLower();
        if (o == u"-onlybody")
            d->onlyBody = true;
        else if (o == u"-nopageinfo")
            d->noPageInfo = true;
        else if (o == u"-usedefaultfont")
            d->useDefaultFont = true;
    }
}

bool TWPHTMLWriter::OnlyBody() const { return d->onlyBody; }
bool TWPHTMLWriter::NoPageInfo() const { return d->noPageInfo; }
bool TWPHTMLWriter::UseDefaultFont() const { return d->useDefaultFont; }

void TWPHTMLWriter::Out(const QString &text)
{
    d->out += text;
}

const TWPDocument &TWPHTMLWriter::Document() const
{
    return *d->doc;
}

QString TWPHTMLWriter::CssClassName(const QString &styleName)
{
    return cssClassFor(styleName);
}

QString TWPHTMLWriter::StyleTextToCss(const QString &styleText)
{
    return charCss(StyleTextToCharFormat(styleText), true)
           + blockCss(StyleTextToBlockFormat(styleText));
}

bool TWPHTMLWriter::HasStyleSheet() const
{
    return !d->doc->Styles().empty() || !d->noPageInfo;
}

void TWPHTMLWriter::WriteStyleSheet()
{
    if (!d->noPageInfo) {
        const TWPPageSetup &p = d->doc->PageSetup(0);
        Out(u"@page { size: %1pt %2pt; margin: %3pt %4pt %5pt %6pt; }\r\n"_qs
                .arg(p.PageWidth / 20.0).arg(p.PageHeight / 20.0).arg(p.MarginTop / 20.0)
                .arg(p.MarginRight / 20.0).arg(p.MarginBottom / 20.0).arg(p.MarginLeft / 20.0));
    }
    for (const TWPStyle &s : d->doc->Styles())
        Out(u"."_qs + CssClassName(s.Name) + u" { "_qs + StyleTextToCss(s.Text) + u" }\r\n"_qs);
}

void TWPHTMLWriter::WriteHeader()
{
    Out(u"<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"_qs);
    const QString title = d->doc->Info(u"title"_qs);
    if (!title.isEmpty())
        Out(u"<title>"_qs + HtmlEscape(title) + u"</title>\r\n"_qs);
    if (HasStyleSheet()) {
        Out(u"<style type=\"text/css\">\r\n"_qs);
        WriteStyleSheet();
        Out(u"</style>\r\n"_qs);
    }
    Out(u"</head>\r\n<body>\r\n"_qs);
}

void TWPHTMLWriter::WriteParagraphStart(const QTextBlock &block)
{
    const QTextBlockFormat bf = block.blockFormat();
    QString tag = u"<p"_qs;
    if (bf.hasProperty(wpStyleName))
        tag += u" class=\""_qs + CssClassName(bf.stringProperty(wpStyleName)) + u'"';
    const QString css = blockCss(bf);
    if (!css.isEmpty())
        tag += u" style=\""_qs + css + u'"';
    Out(tag + u'>');
}

void TWPHTMLWriter::WriteParagraphEnd(const QTextBlock &)
{
    Out(u"</p>\r\n"_qs);
}

namespace {

class Body
{
public:
    Body(const TWPDocument &doc, std::function<void(const QString &)> out,
         std::function<void(const QTextBlock &)> start, std::function<void(const QTextBlock &)> end,
         const std::function<QString(const TWPHTMLImage &)> &onImage, bool defaultFont)
        : m_doc(doc), m_out(std::move(out)), m_start(std::move(start)), m_end(std::move(end)),
          m_onImage(onImage), m_defaultFont(defaultFont)
    {
    }

    void Frame(QTextFrame *frame)
    {
        for (auto it = frame->begin(); !it.atEnd(); ++it) {
            if (placed(it.currentFrame()) || IsPictureSpacer(it.currentBlock()))
                continue;
            if (QTextFrame *child = it.currentFrame()) {
                closeList();
                if (auto *t = qobject_cast<QTextTable *>(child))
                    Table(t);
                else
                    Frame(child);
            } else {
                Block(it.currentBlock());
            }
        }
        closeList();
    }

private:
    // A frame holding a placed picture: its picture goes to the start of the
    // paragraph after it, floated as the frame floats.
    bool placed(QTextFrame *f)
    {
        if (!IsPictureFrame(f))
            return false;
        const QTextFrameFormat::Position pos = f->frameFormat().position();
        const QString style = pos == QTextFrameFormat::FloatLeft    ? u"float:left;margin-right:6px"_qs
                              : pos == QTextFrameFormat::FloatRight ? u"float:right;margin-left:6px"_qs
                                                                    : u"display:block"_qs;
        for (auto it = f->begin(); !it.atEnd(); ++it)
            for (auto fi = it.currentBlock().begin(); it.currentBlock().isValid() && !fi.atEnd(); ++fi)
                if (fi.fragment().charFormat().isImageFormat())
                    m_placed.emplace_back(fi.fragment().charFormat().toImageFormat(), style);
        return true;
    }
    void placedImages()
    {
        for (const auto &[format, style] : std::exchange(m_placed, {}))
            Image(format, style);
    }

    void closeList()
    {
        if (m_list) {
            m_out(isOrdered(m_list) ? u"</ol>\r\n"_qs : u"</ul>\r\n"_qs);
            m_list = nullptr;
        }
    }

    static bool isOrdered(QTextList *l)
    {
        const auto s = l->format().style();
        return s != QTextListFormat::ListDisc && s != QTextListFormat::ListCircle
               && s != QTextListFormat::ListSquare;
    }

    void Table(QTextTable *t)
    {
        const bool border = t->format().border() > 0;
        m_out(border ? u"<table border=\"1\" cellspacing=\"0\">\r\n"_qs : u"<table cellspacing=\"0\">\r\n"_qs);
        for (int r = 0; r < t->rows(); ++r) {
            m_out(u"<tr>"_qs);
            for (int c = 0; c < t->columns(); ++c) {
                const QTextTableCell cell = t->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue;
                QString td = u"<td"_qs;
                if (cell.columnSpan() > 1)
                    td += u" colspan=\""_qs + QString::number(cell.columnSpan()) + u'"';
                if (cell.rowSpan() > 1)
                    td += u" rowspan=\""_qs + QString::number(cell.rowSpan()) + u'"';
                const QTextCharFormat cf = cell.format();
                if (cf.hasProperty(QTextFormat::BackgroundBrush))
                    td += u" style=\"background-color:"_qs + cssColor(cf.background().color()) + u"\""_qs;
                m_out(td + u'>');
                for (auto it = cell.begin(); !it.atEnd(); ++it) {
                    if (placed(it.currentFrame()) || IsPictureSpacer(it.currentBlock()))
                        continue;
                    if (QTextFrame *child = it.currentFrame()) {
                        closeList();
                        if (auto *nested = qobject_cast<QTextTable *>(child))
                            Table(nested);
                    } else {
                        Block(it.currentBlock());
                    }
                }
                closeList();
                m_out(u"</td>"_qs);
            }
            m_out(u"</tr>\r\n"_qs);
        }
        m_out(u"</table>\r\n"_qs);
    }

    void Block(const QTextBlock &b)
    {
        QTextList *l = b.textList();
        if (l != m_list) {
            closeList();
            if (l) {
                static const char *const types[] = {"", "", "", "", "1", "a", "A", "i", "I"};
                const int style = -int(l->format().style());
                if (isOrdered(l))
                    m_out(u"<ol type=\""_qs + QLatin1String(style > 0 && style < 9 ? types[style] : "1")
                          + u"\">\r\n"_qs);
                else
                    m_out(u"<ul>\r\n"_qs);
            }
            m_list = l;
        }
        if (l) {
            m_out(u"<li>"_qs);
            placedImages();
            Runs(b);
            m_out(u"</li>\r\n"_qs);
            return;
        }
        m_start(b);
        placedImages();
        Runs(b);
        if (b.length() <= 1)
            m_out(u"&nbsp;"_qs); // keeps empty paragraphs' height
        m_end(b);
    }

    void Runs(const QTextBlock &b)
    {
        QString href;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat cf = f.charFormat();
            if (cf.boolProperty(wpHidden))
                continue;
            const QString h = cf.isAnchor() ? cf.anchorHref() : QString();
            if (h != href) {
                if (!href.isEmpty())
                    m_out(u"</a>"_qs);
                if (!h.isEmpty())
                    m_out(u"<a href=\""_qs + HtmlEscape(h) + u"\">"_qs);
                href = h;
            }
            if (cf.isImageFormat()) {
                Image(cf.toImageFormat());
                continue;
            }
            if (cf.objectType() == WPFieldObjectType
                && cf.intProperty(wpFieldKind) == int(TWPFieldKind::Footnote)) {
                // A link may not hold another: the note's link ends it.
                if (!href.isEmpty())
                    m_out(u"</a>"_qs);
                href.clear();
                for (int i = 0; i < f.length(); ++i)
                    FootnoteLink(cf.intProperty(wpFootnote));
                continue;
            }
            QString text;
            if (cf.objectType() == WPFieldObjectType) {
                for (int i = 0; i < f.length(); ++i)
                    text += TWPDocument::FieldText(cf, m_doc.FieldContext());
            } else {
                text = f.text();
                text.remove(QChar::ObjectReplacementCharacter);
            }
            QString html = HtmlEscape(text);
            html.replace(QChar(0x2028), u"<br>"_qs);
            const QString &open = spanOpen(f.charFormatIndex(), cf);
            if (open.isEmpty())
                m_out(html);
            else
                m_out(open + html + u"</span>"_qs);
        }
        if (!href.isEmpty())
            m_out(u"</a>"_qs);
    }

    // The <span> that opens a run of the format (empty: none needed), made
    // once per format: long texts repeat a handful of formats many times.
    const QString &spanOpen(int formatIndex, const QTextCharFormat &cf)
    {
        const auto known = m_spans.constFind(formatIndex);
        if (known != m_spans.cend())
            return *known;
        const QString css = charCss(cf, !m_defaultFont);
        QString cls;
        if (cf.hasProperty(wpStyleName))
            cls = u" class=\""_qs + cssClassFor(cf.stringProperty(wpStyleName)) + u'"';
        QString open;
        if (!css.isEmpty() || !cls.isEmpty())
            open = u"<span"_qs + cls + (css.isEmpty() ? QString() : u" style=\""_qs + css + u'"') + u'>';
        return *m_spans.insert(formatIndex, open);
    }

public:
    // The note being written (its mark links back to the reference), -1 in
    // the main text.
    int m_inNote = -1;

private:
    // A reference links to its note at the end, the note's mark back to its
    // first reference; ids are given once so that they stay unique.
    void FootnoteLink(int index)
    {
        const QString n = QString::number(index + 1);
        if (m_inNote >= 0) {
            m_out(u"<a class=\"wp-fnmark\" href=\"#wpfnref"_qs + n + u"\"><sup>"_qs + n + u"</sup></a>"_qs);
            return;
        }
        QString id;
        if (m_referenced.insert(index).second)
            id = u" id=\"wpfnref"_qs + n + u'"';
        m_out(u"<a class=\"wp-fnref\""_qs + id + u" href=\"#wpfn"_qs + n + u"\"><sup>"_qs + n
              + u"</sup></a>"_qs);
    }

    void Image(const QTextImageFormat &f, const QString &style = {})
    {
        TWPHTMLImage img;
        img.Picture = m_doc.Picture(f.stringProperty(wpPictureName));
        img.Image = m_doc.Text()->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
        img.Extension = img.Picture ? (img.Picture->Kind == u"jpeg" ? u"jpg"_qs : img.Picture->Kind) : u"png"_qs;
        QString src;
        if (m_onImage) {
            src = m_onImage(img);
        } else if (img.Picture && (img.Picture->Kind == u"png" || img.Picture->Kind == u"jpeg")) {
            src = u"data:image/"_qs + img.Picture->Kind + u";base64,"_qs
                  + QString::fromLatin1(img.Picture->Data.toBase64());
        } else if (!img.Image.isNull()) {
            // Metafiles: browsers do not show them, so their rendering goes in.
            QByteArray png;
            QBuffer buf(&png);
            buf.open(QIODevice::WriteOnly);
            img.Image.save(&buf, "PNG");
            src = u"data:image/png;base64,"_qs + QString::fromLatin1(png.toBase64());
        }
        if (src.isEmpty())
            return;
        QString tag = u"<img src=\""_qs + HtmlEscape(src) + u"\" alt=\"\""_qs;
        if (f.hasProperty(QTextFormat::ImageWidth))
            tag += u" width=\""_qs + QString::number(qRound(f.width())) + u'"';
        if (f.hasProperty(QTextFormat::ImageHeight))
            tag += u" height=\""_qs + QString::number(qRound(f.height())) + u'"';
        if (!style.isEmpty())
            tag += u" style=\""_qs + style + u'"';
        m_out(tag + u'>');
    }

    const TWPDocument &m_doc;
    std::vector<std::pair<QTextImageFormat, QString>> m_placed; // pictures with their style
    std::function<void(const QString &)> m_out;
    std::function<void(const QTextBlock &)> m_start, m_end;
    const std::function<QString(const TWPHTMLImage &)> &m_onImage;
    bool m_defaultFont;
    QTextList *m_list = nullptr;
    QHash<int, QString> m_spans;
    std::set<int> m_referenced;
};

} // namespace

QString TWPHTMLWriter::Write(const TWPDocument &doc)
{
    d->doc = &doc;
    d->out.clear();
    if (!d->onlyBody)
        WriteHeader();
    Body body(doc, [this](const QString &s) { Out(s); },
              [this](const QTextBlock &b) { WriteParagraphStart(b); },
              [this](const QTextBlock &b) { WriteParagraphEnd(b); }, OnImage, d->useDefaultFont);
    body.Frame(doc.Text()->rootFrame());
    // Notes follow the text, every one of them (a note nothing refers to
    // is still part of the document), each under an id its references link to.
    if (doc.FootnoteCount() > 0) {
        Out(u"<div class=\"wp-footnotes\">\r\n<hr>\r\n"_qs);
        for (int i = 0; i < doc.FootnoteCount(); ++i) {
            Out(u"<div class=\"wp-footnote\" id=\"wpfn"_qs + QString::number(i + 1) + u"\">\r\n"_qs);
            body.m_inNote = i;
            body.Frame(doc.Footnote(i)->rootFrame());
            Out(u"</div>\r\n"_qs);
        }
        body.m_inNote = -1;
        Out(u"</div>\r\n"_qs);
    }
    if (!d->onlyBody)
        Out(u"</body>\r\n</html>\r\n"_qs);
    QString result;
    result.swap(d->out);
    d->doc = nullptr;
    return result;
}

} // namespace zor
