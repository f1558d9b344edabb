// A readable description of everything a TWPDocument holds, for comparing
// documents (round trips) and for failure messages that show what differs.
#pragma once

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfReader.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QtEndian>

#include <string>

namespace richtext_test {

using namespace zor;

inline QString Twips(qreal units) { return QString::number(UnitsToTwips(units)); }

inline QString CharDump(const TWPDocument &doc, const QTextCharFormat &cf)
{
    QStringList p;
    const QStringList fam = cf.fontFamilies().toStringList();
    if (!fam.isEmpty())
        p << "font=" + fam.first();
    if (cf.hasProperty(QTextFormat::FontPointSize))
        p << "size=" + QString::number(cf.fontPointSize());
    if (cf.fontWeight() >= QFont::DemiBold) p << "b";
    if (cf.fontItalic()) p << "i";
    if (cf.fontUnderline()) p << "u";
    if (cf.fontStrikeOut()) p << "s";
    if (cf.verticalAlignment() != QTextCharFormat::AlignNormal)
        p << "valign=" + QString::number(int(cf.verticalAlignment()));
    if (cf.fontCapitalization() != QFont::MixedCase)
        p << "caps=" + QString::number(int(cf.fontCapitalization()));
    if (cf.hasProperty(QTextFormat::ForegroundBrush)) p << "fg=" + cf.foreground().color().name();
    if (cf.hasProperty(QTextFormat::BackgroundBrush)) p << "bg=" + cf.background().color().name();
    if (cf.boolProperty(wpHidden)) p << "hidden";
    if (cf.boolProperty(wpProtected)) p << "protected";
    if (cf.isAnchor()) p << "href=" + cf.anchorHref();
    if (cf.hasProperty(wpStyleName)) p << "cs=" + cf.stringProperty(wpStyleName);
    if (cf.objectType() == WPFieldObjectType)
        p << QStringLiteral("field(%1,%2,%3,%4)")
                 .arg(cf.intProperty(wpFieldKind))
                 .arg(cf.stringProperty(wpFieldName), cf.stringProperty(wpFieldFormat),
                      cf.stringProperty(wpFieldResult));
    if (cf.hasProperty(wpFootnote)) p << "fn=" + QString::number(cf.intProperty(wpFootnote));
    if (cf.isImageFormat()) {
        const QTextImageFormat f = cf.toImageFormat();
        const TWPPicture *pic = doc.Picture(f.stringProperty(wpPictureName));
        p << QStringLiteral("image(%1,%2,%3x%4)")
                 .arg(pic ? pic->Kind : QStringLiteral("?"))
                 .arg(pic ? QString::fromLatin1(QCryptographicHash::hash(pic->Data, QCryptographicHash::Md5).toHex())
                          : QString())
                 .arg(qRound(f.width())).arg(qRound(f.height()));
    }
    return p.join(',');
}

inline QString BlockDump(const QTextBlockFormat &bf)
{
    QStringList p;
    if (bf.hasProperty(QTextFormat::BlockAlignment))
        p << "align=" + QString::number(int(bf.alignment() & Qt::AlignHorizontal_Mask));
    const auto len = [&](int prop, const char *name) {
        if (bf.hasProperty(prop)) p << QString::fromLatin1(name) + "=" + Twips(bf.doubleProperty(prop));
    };
    len(QTextFormat::BlockLeftMargin, "li");
    len(QTextFormat::BlockRightMargin, "ri");
    len(QTextFormat::TextIndent, "fi");
    len(QTextFormat::BlockTopMargin, "sb");
    len(QTextFormat::BlockBottomMargin, "sa");
    if (bf.hasProperty(QTextFormat::LineHeightType))
        p << QStringLiteral("lh=%1/%2").arg(bf.lineHeightType()).arg(bf.lineHeight());
    if (bf.nonBreakableLines()) p << "keep";
    if (bf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) p << "pagebb";
    if (bf.hasProperty(QTextFormat::BackgroundBrush)) p << "bg=" + bf.background().color().name();
    if (bf.hasProperty(wpStyleName)) p << "style=" + bf.stringProperty(wpStyleName);
    for (int i = 0; i < 4; ++i)
        if (bf.intProperty(wpBorderLeft + i) > 0)
            p << QStringLiteral("border%1=%2").arg(i).arg(bf.intProperty(wpBorderLeft + i));
    if (bf.hasProperty(wpBorderColor)) p << "bordercolor=" + bf.colorProperty(wpBorderColor).name();
    if (bf.hasProperty(wpBorderSpacing)) p << "brsp=" + QString::number(bf.intProperty(wpBorderSpacing));
    if (bf.hasProperty(wpShading)) p << "shading=" + QString::number(bf.intProperty(wpShading));
    if (bf.hasProperty(wpShadingColor)) p << "shadingcolor=" + bf.colorProperty(wpShadingColor).name();
    if (bf.hasProperty(wpSectionIndex)) p << "section=" + QString::number(bf.intProperty(wpSectionIndex));
    for (const QTextOption::Tab &t : bf.tabPositions())
        p << QStringLiteral("tab=%1/%2").arg(UnitsToTwips(t.position)).arg(int(t.type));
    return p.join(',');
}

inline void DumpFrame(const TWPDocument &doc, QTextFrame *frame, QString &out, const QString &indent);

inline void DumpBlock(const TWPDocument &doc, const QTextBlock &b, QString &out, const QString &indent)
{
    out += indent + "P[" + BlockDump(b.blockFormat()) + "]";
    if (QTextList *l = b.textList())
        out += QStringLiteral(" list(%1,%2,#%3)").arg(int(l->format().style())).arg(l->format().indent()).arg(l->itemNumber(b));
    out += "\n";
    for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        out += indent + "  '" + f.text() + "' {" + CharDump(doc, f.charFormat()) + "}\n";
    }
}

inline void DumpTable(const TWPDocument &doc, QTextTable *t, QString &out, const QString &indent)
{
    out += indent + QStringLiteral("TABLE %1x%2 border=%3\n").arg(t->rows()).arg(t->columns()).arg(t->format().border() > 0);
    QStringList widths;
    for (const QTextLength &w : t->format().columnWidthConstraints())
        widths << Twips(w.rawValue());
    out += indent + "  widths " + widths.join(',') + "\n";
    for (int r = 0; r < t->rows(); ++r)
        for (int c = 0; c < t->columns(); ++c) {
            const QTextTableCell cell = t->cellAt(r, c);
            if (cell.row() != r || cell.column() != c)
                continue;
            out += indent + QStringLiteral("  CELL %1,%2 span %3x%4").arg(r).arg(c).arg(cell.rowSpan()).arg(cell.columnSpan());
            if (cell.format().hasProperty(QTextFormat::BackgroundBrush))
                out += " bg=" + cell.format().background().color().name();
            out += "\n";
            for (auto it = cell.begin(); !it.atEnd(); ++it) {
                if (QTextFrame *child = it.currentFrame()) {
                    if (auto *nested = qobject_cast<QTextTable *>(child))
                        DumpTable(doc, nested, out, indent + "    ");
                } else {
                    DumpBlock(doc, it.currentBlock(), out, indent + "    ");
                }
            }
        }
}

inline void DumpFrame(const TWPDocument &doc, QTextFrame *frame, QString &out, const QString &indent)
{
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame *child = it.currentFrame()) {
            if (auto *t = qobject_cast<QTextTable *>(child))
                DumpTable(doc, t, out, indent);
            else
                DumpFrame(doc, child, out, indent + "  ");
        } else {
            DumpBlock(doc, it.currentBlock(), out, indent);
        }
    }
}

inline QString Dump(const TWPDocument &doc)
{
    QString out;
    for (int s = 0; s < doc.SectionCount(); ++s) {
        const TWPPageSetup &p = doc.PageSetup(s);
        out += QStringLiteral("SECTION %1: %2x%3 m%4,%5,%6,%7 h%8 f%9 %10\n")
                   .arg(s).arg(p.PageWidth).arg(p.PageHeight).arg(p.MarginLeft).arg(p.MarginTop)
                   .arg(p.MarginRight).arg(p.MarginBottom).arg(p.HeaderY).arg(p.FooterY)
                   .arg(p.Landscape ? "landscape" : "portrait");
        if (p.TitlePage)
            out += "TITLEPAGE\n";
        static const char *const kinds[] = {"", " LEFT", " FIRST"};
        for (int k = 0; k < 3; ++k) {
            if (QTextDocument *h = doc.Header(s, TWPHeaderKind(k))) {
                out += QStringLiteral("HEADER%1\n").arg(kinds[k]);
                DumpFrame(doc, h->rootFrame(), out, "  ");
            }
            if (QTextDocument *f = doc.Footer(s, TWPHeaderKind(k))) {
                out += QStringLiteral("FOOTER%1\n").arg(kinds[k]);
                DumpFrame(doc, f->rootFrame(), out, "  ");
            }
        }
    }
    for (int i = 0; i < doc.FootnoteCount(); ++i) {
        out += QStringLiteral("FOOTNOTE %1\n").arg(i);
        DumpFrame(doc, doc.Footnote(i)->rootFrame(), out, "  ");
    }
    for (const TWPStyle &s : doc.Styles())
        out += QStringLiteral("STYLE %1 [%2] based=%3 char=%4\n").arg(s.Name, s.Text, s.BasedOn).arg(s.IsCharStyle);
    for (const TWPBookmark &b : doc.Bookmarks())
        out += QStringLiteral("BOOKMARK %1 %2-%3\n").arg(b.Name).arg(b.Start).arg(b.End);
    for (const QString &n : doc.DataItemNames())
        out += "DATA " + n + "=" + QString::fromLatin1(doc.DataItem(n).toHex()) + "\n";
    for (const QString &k : doc.InfoKeys())
        out += "INFO " + k + "=" + doc.Info(k) + "\n";
    out += "DEFAULTFONT " + doc.Text()->defaultFont().family() + "\n";
    DumpFrame(doc, doc.Text()->rootFrame(), out, "");
    return out;
}

inline std::string S(const QString &s) { return s.toStdString(); }

// A placeable WMF drawing one rectangle.
inline QByteArray PlaceableWmf()
{
    QByteArray h;
    const auto u16 = [&](quint16 v) { char c[2]; qToLittleEndian(v, c); h.append(c, 2); };
    const auto u32 = [&](quint32 v) { char c[4]; qToLittleEndian(v, c); h.append(c, 4); };
    u32(0x9AC6CDD7); u16(0); u16(0); u16(0); u16(200); u16(100); u16(200); u32(0);
    quint16 sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= qFromLittleEndian<quint16>(h.constData() + i * 2);
    u16(sum);
    u16(1); u16(9); u16(0x0300); u32(19); u16(0); u32(7); u16(0);
    u32(7); u16(0x041B); u16(50); u16(100); u16(0); u16(0); // rectangle
    u32(3); u16(0);                                         // end of file
    return h;
}

inline QString ReadDump(const QByteArray &rtf)
{
    TWPDocument doc;
    TWPRTFReader::Read(rtf, doc);
    return Dump(doc);
}

// The plain text of the main text with blocks joined by '|'.
inline QString Plain(const TWPDocument &doc)
{
    QString s = doc.Text()->toRawText();
    s.replace(QChar::ParagraphSeparator, u'|');
    s.replace(u'\n', u'|');
    return s;
}

inline QByteArray PngBytes(QSize size, QColor color)
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

// The first fragment whose text contains what.
inline QTextCharFormat FormatOf(const TWPDocument &doc, const QString &what)
{
    for (QTextBlock b = doc.Text()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().text().contains(what))
                return it.fragment().charFormat();
    return {};
}

} // namespace richtext_test
