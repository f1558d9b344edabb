#include "RtfWriter.h"
#include "PicturePlacement.h"

#include "Document.h"

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <map>

namespace zor {

namespace {

constexpr const char *kInfoKeys[] = {"title", "subject", "author", "keywords", "doccomm",
                                     "operator", "company", "manager", "category"};

const char *fieldKindName(TWPFieldKind k)
{
    switch (k) {
    case TWPFieldKind::Page: return "PAGE";
    case TWPFieldKind::NextPage: return "NEXTPAGE";
    case TWPFieldKind::PriorPage: return "PRIORPAGE";
    case TWPFieldKind::NumPages: return "NUMPAGES";
    case TWPFieldKind::Date: return "DATE";
    case TWPFieldKind::Time: return "TIME";
    case TWPFieldKind::Named: return "NAMED";
    case TWPFieldKind::Merge: return "MERGE";
    case TWPFieldKind::Form: return "FORM";
    case TWPFieldKind::Footnote: return "FOOTNOTE";
    }
    return "PAGE";
}

// A field instruction's argument in quotes, with \ and " escaped.
QString fieldQuote(QString s)
{
    s.replace(u'\\', u"\\\\"_qs);
    s.replace(u'"', u"\\\""_qs);
    return u'"' + s + u'"';
}

int listNfc(QTextListFormat::Style s)
{
    switch (s) {
    case QTextListFormat::ListDecimal: return 0;
    case QTextListFormat::ListUpperRoman: return 1;
    case QTextListFormat::ListLowerRoman: return 2;
    case QTextListFormat::ListUpperAlpha: return 3;
    case QTextListFormat::ListLowerAlpha: return 4;
    default: return 23;
    }
}

class Writer
{
public:
    explicit Writer(const TWPDocument &doc) : m_doc(doc) {}
    QByteArray Run();

private:
    void collectChar(const QTextCharFormat &cf);
    int fontIndex(const QString &family);
    int colorIndex(const QColor &c);
    void text(const QString &s);
    // A font or style table entry's name: a ';' would end the entry.
    void entryName(const QString &name) { text(QString(name).remove(u';')); }
    void num(const char *word, int value);
    void charProps(const QTextCharFormat &cf);
    void paraProps(const QTextBlockFormat &bf, const QTextBlock &block, int depth);
    void header();
    void sectionProps(int section);
    void subText(const char *dest, const QTextDocument *text);
    void frame(QTextFrame *f, int depth, bool isRoot);
    void block(const QTextBlock &b, int depth);
    void table(QTextTable *t, int depth);
    void rowDef(QTextTable *t, int row);
    void fragmentRun(const QTextFragment &f, int from, int to);
    void field(const QTextCharFormat &cf);
    void picture(const QTextImageFormat &f);
    void shape(const QTextImageFormat &f);
    bool pictureFrame(QTextFrame *f);
    void bookmarksAt(int position, bool blockEnd);

    const TWPDocument &m_doc;
    const QTextDocument *m_current = nullptr;
    QByteArray m_out;
    QStringList m_fonts;
    std::vector<QColor> m_colors; // index 0 is "auto"
    std::map<const QTextList *, int> m_lists;
    std::vector<const QTextList *> m_listOrder;
    std::map<QString, int> m_paraStyles, m_charStyles;
    int m_section = 0; // the section being written
    // An open run group and its properties: fragments that write the same
    // properties share one group, as the reader would merge them anyway.
    // Pictures of frames before the paragraph being written: written as
    // shapes at its start.
    std::vector<QTextImageFormat> m_shapes;
    bool m_runOpen = false;
    QByteArray m_runProps;
    void closeRun()
    {
        if (m_runOpen)
            m_out += '}';
        m_runOpen = false;
    }
};

int Writer::fontIndex(const QString &family)
{
    qsizetype i = m_fonts.indexOf(family);
    if (i < 0) {
        m_fonts << family;
        i = m_fonts.size() - 1;
    }
    return int(i);
}

int Writer::colorIndex(const QColor &c)
{
    const QRgb rgb = c.rgb() & 0xFFFFFF;
    for (size_t i = 1; i < m_colors.size(); ++i)
        if ((m_colors[i].rgb() & 0xFFFFFF) == rgb)
            return int(i);
    m_colors.push_back(QColor::fromRgb(rgb));
    return int(m_colors.size()) - 1;
}

void Writer::collectChar(const QTextCharFormat &cf)
{
    const QStringList fam = cf.fontFamilies().toStringList();
    if (!fam.isEmpty() && !fam.first().isEmpty())
        fontIndex(fam.first());
    if (cf.hasProperty(QTextFormat::ForegroundBrush))
        colorIndex(cf.foreground().color());
    if (cf.hasProperty(QTextFormat::BackgroundBrush))
        colorIndex(cf.background().color());
}

void Writer::num(const char *word, int value)
{
    m_out += '\\';
    m_out += word;
    m_out += QByteArray::number(value);
}

void Writer::text(const QString &s)
{
    for (QChar ch : s) {
        const char16_t c = ch.unicode();
        switch (c) {
        case u'\\': m_out += "\\\\"; continue;
        case u'{': m_out += "\\{"; continue;
        case u'}': m_out += "\\}"; continue;
        case u'\t': m_out += "\\tab "; continue;
        case 0x2028: m_out += "\\line "; continue;
        case 0x00A0: m_out += "\\~"; continue;
        case 0x00AD: m_out += "\\-"; continue;
        case 0x2011: m_out += "\\_"; continue;
        default: break;
        }
        if (c >= 0x20 && c < 0x7F) {
            m_out += char(c);
        } else {
            m_out += "\\u";
            m_out += QByteArray::number(int(c) > 32767 ? int(c) - 65536 : int(c));
            m_out += '?';
        }
    }
}

void Writer::charProps(const QTextCharFormat &cf)
{
    const qsizetype start = m_out.size();
    const QStringList fam = cf.fontFamilies().toStringList();
    if (!fam.isEmpty() && !fam.first().isEmpty())
        num("f", fontIndex(fam.first()));
    if (cf.hasProperty(QTextFormat::FontPointSize))
        num("fs", qRound(cf.fontPointSize() * 2));
    if (cf.fontWeight() >= QFont::DemiBold)
        m_out += "\\b";
    if (cf.fontItalic())
        m_out += "\\i";
    if (cf.fontUnderline())
        m_out += "\\ul";
    if (cf.fontStrikeOut())
        m_out += "\\strike";
    if (cf.verticalAlignment() == QTextCharFormat::AlignSubScript)
        m_out += "\\sub";
    else if (cf.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        m_out += "\\super";
    if (cf.fontCapitalization() == QFont::AllUppercase)
        m_out += "\\caps";
    else if (cf.fontCapitalization() == QFont::SmallCaps)
        m_out += "\\scaps";
    if (cf.hasProperty(QTextFormat::ForegroundBrush))
        num("cf", colorIndex(cf.foreground().color()));
    if (cf.hasProperty(QTextFormat::BackgroundBrush))
        num("chcbpat", colorIndex(cf.background().color()));
    if (cf.boolProperty(wpHidden))
        m_out += "\\v";
    if (cf.boolProperty(wpProtected))
        m_out += "\\protect";
    if (cf.hasProperty(wpStyleName)) {
        const auto it = m_charStyles.find(cf.stringProperty(wpStyleName).toLower());
        if (it != m_charStyles.end())
            num("cs", it->second);
    }
    if (m_out.size() > start)
        m_out += ' '; // ends the last control word; no space of the text
}

void Writer::paraProps(const QTextBlockFormat &bf, const QTextBlock &block, int depth)
{
    m_out += "\\pard";
    if (depth > 0) {
        m_out += "\\intbl";
        if (depth > 1)
            num("itap", depth);
    }
    if (bf.hasProperty(wpStyleName)) {
        const auto it = m_paraStyles.find(bf.stringProperty(wpStyleName).toLower());
        if (it != m_paraStyles.end())
            num("s", it->second);
    }
    if (bf.hasProperty(QTextFormat::BlockAlignment)) {
        const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
        m_out += a == Qt::AlignHCenter ? "\\qc" : a == Qt::AlignRight ? "\\qr"
               : a == Qt::AlignJustify ? "\\qj" : "\\ql";
    }
    const auto twips = [&](int prop, const char *word) {
        if (bf.hasProperty(prop))
            num(word, UnitsToTwips(bf.doubleProperty(prop)));
    };
    twips(QTextFormat::BlockLeftMargin, "li");
    twips(QTextFormat::BlockRightMargin, "ri");
    twips(QTextFormat::TextIndent, "fi");
    twips(QTextFormat::BlockTopMargin, "sb");
    twips(QTextFormat::BlockBottomMargin, "sa");
    if (bf.hasProperty(QTextFormat::LineHeightType)) {
        switch (bf.lineHeightType()) {
        case QTextBlockFormat::FixedHeight:
            num("sl", -UnitsToTwips(bf.lineHeight()));
            m_out += "\\slmult0";
            break;
        case QTextBlockFormat::MinimumHeight:
            num("sl", UnitsToTwips(bf.lineHeight()));
            m_out += "\\slmult0";
            break;
        case QTextBlockFormat::ProportionalHeight:
            num("sl", qRound(bf.lineHeight() * 240 / 100));
            m_out += "\\slmult1";
            break;
        default:
            break;
        }
    }
    if (bf.nonBreakableLines())
        m_out += "\\keep";
    if (bf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
        m_out += "\\pagebb";
    if (bf.hasProperty(QTextFormat::LayoutDirection) && bf.layoutDirection() == Qt::RightToLeft)
        m_out += "\\rtlpar";
    const auto tabs = bf.tabPositions();
    for (const QTextOption::Tab &tab : tabs) {
        if (tab.type == QTextOption::RightTab)
            m_out += "\\tqr";
        else if (tab.type == QTextOption::CenterTab)
            m_out += "\\tqc";
        else if (tab.type == QTextOption::DelimiterTab)
            m_out += "\\tqdec";
        num("tx", UnitsToTwips(tab.position));
    }
    if (bf.hasProperty(QTextFormat::BackgroundBrush))
        num("cbpat", colorIndex(bf.background().color()));
    static const char *const sides[] = {"\\brdrl", "\\brdrt", "\\brdrr", "\\brdrb"};
    for (int i = 0; i < 4; ++i) {
        const int w = bf.intProperty(wpBorderLeft + i);
        if (w <= 0)
            continue;
        m_out += sides[i];
        static const char *const styles[] = {"\\brdrs", "\\brdrdb", "\\brdrdot", "\\brdrdash", "\\brdrth"};
        m_out += styles[std::clamp(bf.intProperty(wpBorderStyle), 0, 4)];
        num("brdrw", w);
        if (bf.hasProperty(wpBorderColor))
            num("brdrcf", colorIndex(bf.colorProperty(wpBorderColor)));
        if (bf.hasProperty(wpBorderSpacing))
            num("brsp", bf.intProperty(wpBorderSpacing));
    }
    if (bf.hasProperty(wpShading))
        num("shading", bf.intProperty(wpShading));
    if (bf.hasProperty(wpShadingColor))
        num("cfpat", colorIndex(bf.colorProperty(wpShadingColor)));
    // Lists, like fonts and colours, get their numbers as the text that uses
    // them is written (the tables follow the body): the list table then
    // holds exactly the lists some written paragraph refers to.
    if (QTextList *l = block.textList()) {
        auto it = m_lists.find(l);
        if (it == m_lists.end()) {
            m_listOrder.push_back(l);
            it = m_lists.emplace(l, int(m_listOrder.size())).first;
        }
        num("ls", it->second);
        num("ilvl", std::clamp(l->format().indent() - 1, 0, 8));
    }
    if (const int band = bf.intProperty(wpBandKind); band > 0 && band <= int(TWPBandKind::GroupFooter)) {
        // Our own destination (readers that do not know it skip it); its
        // brace ends the last control word, so no blank reaches the text.
        m_out += "{\\*\\zorband ";
        text(QString::number(band) + u';' + bf.stringProperty(wpBandName) + u';' + bf.stringProperty(wpBandDataBase));
        m_out += '}';
        return;
    }
    m_out += ' ';
}

void Writer::bookmarksAt(int position, bool)
{
    if (m_current != m_doc.Text())
        return;
    for (const TWPBookmark &b : m_doc.Bookmarks())
        if (b.Start == position || b.End == position)
            closeRun();
    for (const TWPBookmark &b : m_doc.Bookmarks()) {
        if (b.Start == position) {
            m_out += "{\\*\\bkmkstart ";
            text(b.Name);
            m_out += '}';
        }
    }
    for (const TWPBookmark &b : m_doc.Bookmarks()) {
        if (b.End == position) {
            m_out += "{\\*\\bkmkend ";
            text(b.Name);
            m_out += '}';
        }
    }
}

void Writer::field(const QTextCharFormat &cf)
{
    const auto kind = TWPFieldKind(cf.intProperty(wpFieldKind));
    const QString name = cf.stringProperty(wpFieldName);
    const QString fmt = cf.stringProperty(wpFieldFormat);
    if (kind == TWPFieldKind::Footnote) {
        // The reference carries its note; inside the note it is the mark.
        QTextCharFormat plain = cf;
        plain.setObjectType(QTextFormat::NoObject);
        plain.clearProperty(wpFootnote);
        plain.clearProperty(wpFieldKind);
        m_out += '{';
        charProps(plain);
        m_out += "\\chftn";
        const QTextDocument *note = m_doc.Footnote(cf.intProperty(wpFootnote));
        bool inNote = false;
        for (int i = 0; i < m_doc.FootnoteCount(); ++i)
            inNote = inNote || m_current == m_doc.Footnote(i);
        if (note && !inNote)
            subText("footnote", note);
        m_out += '}';
        return;
    }
    QString inst;
    const auto quoted = fieldQuote;
    switch (kind) {
    case TWPFieldKind::Page: inst = u"PAGE"_qs; break;
    case TWPFieldKind::NumPages: inst = u"NUMPAGES"_qs; break;
    case TWPFieldKind::Date:
    case TWPFieldKind::Time:
        inst = kind == TWPFieldKind::Date ? u"DATE"_qs : u"TIME"_qs;
        if (!fmt.isEmpty())
            inst += u" \\@ "_qs + quoted(fmt);
        break;
    case TWPFieldKind::Merge: inst = u"MERGEFIELD "_qs + quoted(name); break;
    default:
        inst = u"ZORFIELD "_qs + QLatin1String(fieldKindName(kind));
        if (!name.isEmpty() || !fmt.isEmpty())
            inst += u' ' + quoted(name);
        if (!fmt.isEmpty())
            inst += u" \\@ "_qs + quoted(fmt);
        break;
    }
    QTextCharFormat plain = cf;
    plain.setObjectType(QTextFormat::NoObject);
    // The format goes on the field itself: an empty result still has it.
    m_out += "{\\field";
    charProps(plain);
    m_out += "{\\*\\fldinst ";
    text(inst);
    m_out += "}{\\fldrslt ";
    text(cf.hasProperty(wpFieldResult) ? cf.stringProperty(wpFieldResult)
                                       : TWPDocument::FieldText(cf, m_doc.FieldContext()));
    m_out += "}}";
}

void Writer::picture(const QTextImageFormat &f)
{
    const TWPPicture *p = m_doc.Picture(f.stringProperty(wpPictureName));
    QByteArray data;
    QString kind;
    if (p) {
        data = p->Data;
        kind = p->Kind;
    } else {
        // A picture someone put in as a resource only: written as PNG.
        const QVariant res = m_current->resource(QTextDocument::ImageResource, QUrl(f.name()));
        const QImage img = res.value<QImage>();
        if (img.isNull())
            return;
        QBuffer buf(&data);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "PNG");
        kind = u"png"_qs;
    }
    m_out += "{\\pict";
    m_out += kind == u"jpeg" ? "\\jpegblip" : kind == u"emf" ? "\\emfblip"
           : kind == u"wmf" ? "\\wmetafile8" : "\\pngblip";
    if (f.hasProperty(QTextFormat::ImageWidth) && f.hasProperty(QTextFormat::ImageHeight)) {
        num("picwgoal", UnitsToTwips(f.width()));
        num("pichgoal", UnitsToTwips(f.height()));
    }
    m_out += '\n';
    const QByteArray hex = data.toHex();
    for (qsizetype i = 0; i < hex.size(); i += 128) {
        m_out += hex.mid(i, 128);
        m_out += '\n';
    }
    m_out += '}';
}

// A placed picture: a shape whose picture is its "pib" property, with the
// plain picture as its rendering for readers that know no shapes.
void Writer::shape(const QTextImageFormat &f)
{
    const QSizeF size = PictureSize(m_current, f);
    m_out += "{\\shp{\\*\\shpinst";
    num("shpleft", 0);
    num("shptop", 0);
    num("shpright", UnitsToTwips(size.width()));
    num("shpbottom", UnitsToTwips(size.height()));
    m_out += PicturePositionMode(f) == wpotPage ? "\\shpbxpage\\shpbypage" : "\\shpbxcolumn\\shpbypara";
    switch (PictureWrapMode(f)) {
    case wpwrNone: num("shpwr", 3); break;
    case wpwrBoth: num("shpwr", 2); num("shpwrk", 0); break;
    case wpwrAutomatic: num("shpwr", 2); num("shpwrk", 3); break;
    }
    num("shpfblwtxt", f.boolProperty(wpObjUnderText) ? 1 : 0);
    m_out += "\n{\\sp{\\sn shapeType}{\\sv 75}}{\\sp{\\sn pib}{\\sv ";
    picture(f);
    m_out += "}}}{\\shprslt ";
    picture(f);
    m_out += "}}";
}

// A frame holding a placed picture is no frame in RTF: its picture goes to
// the start of the paragraph after it.
bool Writer::pictureFrame(QTextFrame *f)
{
    if (!IsPictureFrame(f))
        return false;
    for (auto it = f->begin(); !it.atEnd(); ++it) {
        const QTextBlock b = it.currentBlock();
        for (auto fi = b.begin(); b.isValid() && !fi.atEnd(); ++fi) {
            const QTextCharFormat cf = fi.fragment().charFormat();
            if (cf.isImageFormat())
                for (int i = 0; i < fi.fragment().length(); ++i)
                    m_shapes.push_back(cf.toImageFormat());
        }
    }
    return true;
}

void Writer::fragmentRun(const QTextFragment &frag, int from, int to)
{
    const QTextCharFormat cf = frag.charFormat();
    if (cf.objectType() == WPFieldObjectType || cf.isImageFormat())
        closeRun();
    if (cf.objectType() == WPFieldObjectType) {
        for (int i = from; i < to; ++i) {
            bookmarksAt(i, false);
            field(cf);
        }
        return;
    }
    if (cf.isImageFormat()) {
        const bool placed = PicturePositionMode(cf) != wpotChar;
        for (int i = from; i < to; ++i) {
            bookmarksAt(i, false);
            if (placed)
                shape(cf.toImageFormat());
            else
                picture(cf.toImageFormat());
        }
        return;
    }
    const QString s = frag.text();
    int p = from;
    while (p < to) {
        bookmarksAt(p, false);
        // Up to the next bookmark edge.
        int next = to;
        if (m_current == m_doc.Text())
            for (const TWPBookmark &b : m_doc.Bookmarks()) {
                if (b.Start > p && b.Start < next) next = b.Start;
                if (b.End > p && b.End < next) next = b.End;
            }
        QTextCharFormat plain = cf;
        plain.clearProperty(QTextFormat::IsAnchor);
        plain.clearProperty(QTextFormat::AnchorHref);
        QByteArray props;
        props.swap(m_out);
        charProps(plain);
        props.swap(m_out);
        if (!m_runOpen || props != m_runProps) {
            closeRun();
            m_out += '{';
            m_out += props;
            m_runOpen = true;
            m_runProps = props;
        }
        text(s.mid(p - frag.position(), next - p));
        p = next;
    }
}

void Writer::block(const QTextBlock &b, int depth)
{
    paraProps(b.blockFormat(), b, depth);
    for (const QTextImageFormat &f : std::exchange(m_shapes, {}))
        shape(f);
    QString href;
    for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        const QTextCharFormat cf = f.charFormat();
        const QString h = cf.isAnchor() ? cf.anchorHref() : QString();
        if (h != href) {
            closeRun();
            if (!href.isEmpty())
                m_out += "}}}";
            if (!h.isEmpty()) {
                m_out += "{\\field{\\*\\fldinst HYPERLINK ";
                if (h.startsWith(u'#')) {
                    m_out += "\\\\l ";
                    text(fieldQuote(h.mid(1)));
                } else {
                    text(fieldQuote(h));
                }
                m_out += "}{\\fldrslt {";
            }
            href = h;
        }
        fragmentRun(f, f.position(), f.position() + f.length());
    }
    closeRun();
    if (!href.isEmpty())
        m_out += "}}}";
    bookmarksAt(b.position() + b.length() - 1, true);
}

void Writer::rowDef(QTextTable *t, int row)
{
    const QTextTableFormat tf = t->format();
    const auto widths = tf.columnWidthConstraints();
    int x = UnitsToTwips(tf.leftMargin());
    m_out += "\\trowd\\trgaph30";
    num("trleft", x);
    const bool borders = tf.border() > 0;
    bool ownEdges = false;
    for (int r = 0; r < t->rows() && !ownEdges; ++r)
        for (int c = 0; c < t->columns() && !ownEdges; ++c) {
            const QTextTableCellFormat f = t->cellAt(r, c).format().toTableCellFormat();
            ownEdges = f.hasProperty(QTextFormat::TableCellLeftBorder) || f.hasProperty(QTextFormat::TableCellTopBorder)
                       || f.hasProperty(QTextFormat::TableCellRightBorder)
                       || f.hasProperty(QTextFormat::TableCellBottomBorder);
        }
    for (int c = 0; c < t->columns(); ++c) {
        const QTextTableCell cell = t->cellAt(row, c);
        if (cell.row() < row)
            m_out += "\\clvmrg";
        else if (cell.rowSpan() > 1)
            m_out += "\\clvmgf";
        if (cell.column() < c)
            m_out += "\\clmrg";
        else if (cell.columnSpan() > 1)
            m_out += "\\clmgf";
        const QTextCharFormat cf = cell.format();
        if (cf.hasProperty(QTextFormat::BackgroundBrush))
            num("clcbpat", colorIndex(cf.background().color()));
        // Edges with lines of their own are written edge by edge; the others
        // follow the table's border.
        const QTextTableCellFormat own = cell.format().toTableCellFormat();
        static const int edgeProps[4] = {QTextFormat::TableCellLeftBorder, QTextFormat::TableCellTopBorder,
                                         QTextFormat::TableCellRightBorder, QTextFormat::TableCellBottomBorder};
        static const char *const edgeWords[4] = {"\\clbrdrl", "\\clbrdrt", "\\clbrdrr", "\\clbrdrb"};
        const bool perEdge = std::any_of(std::begin(edgeProps), std::end(edgeProps),
                                         [&own](int prop) { return own.hasProperty(prop); });
        if (perEdge || (ownEdges && !borders)) {
            // (A table without a border of its own but with lined cells says
            // "none" for the others: the lines make a reader draw a border.)
            for (int e = 0; e < 4; ++e) {
                const qreal width = own.hasProperty(edgeProps[e]) ? own.doubleProperty(edgeProps[e]) : (borders ? 1 : 0);
                m_out += edgeWords[e];
                if (width > 0) {
                    m_out += "\\brdrs";
                    num("brdrw", std::max(1, UnitsToTwips(width)));
                } else {
                    m_out += "\\brdrnone";
                }
            }
        } else if (borders) {
            m_out += "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10"
                     "\\clbrdrr\\brdrs\\brdrw10";
        }
        // The edges are twips; automatic and percentage widths are said as
        // such, with edges an inch apart.
        const QTextLength w = c < widths.size() ? widths[c] : QTextLength();
        if (w.type() == QTextLength::PercentageLength) {
            m_out += "\\clftsWidth2";
            num("clwWidth", qRound(w.rawValue() * 50));
        } else if (w.type() != QTextLength::FixedLength) {
            m_out += "\\clftsWidth1";
        }
        x += w.type() == QTextLength::FixedLength ? std::max(1, UnitsToTwips(w.rawValue())) : 1440;
        num("cellx", x);
    }
    m_out += '\n';
}

void Writer::table(QTextTable *t, int depth)
{
    for (int r = 0; r < t->rows(); ++r) {
        if (depth == 1) {
            m_out += "\\pard";
            rowDef(t, r);
        }
        for (int c = 0; c < t->columns(); ++c) {
            const QTextTableCell cell = t->cellAt(r, c);
            if (cell.row() == r && cell.column() == c) {
                bool pending = false;
                for (auto it = cell.begin(); !it.atEnd(); ++it) {
                    if (pictureFrame(it.currentFrame()) || IsPictureSpacer(it.currentBlock()))
                        continue;
                    if (QTextFrame *child = it.currentFrame()) {
                        if (pending)
                            m_out += "\\par\n";
                        pending = false;
                        if (auto *nested = qobject_cast<QTextTable *>(child))
                            table(nested, depth + 1);
                        else
                            frame(child, depth, false);
                        continue;
                    }
                    if (pending)
                        m_out += "\\par\n";
                    block(it.currentBlock(), depth);
                    pending = true;
                }
            } else {
                paraProps(QTextBlockFormat(), QTextBlock(), depth);
            }
            m_out += depth == 1 ? "\\cell\n" : "\\nestcell\n";
        }
        if (depth == 1) {
            m_out += "\\row\n";
        } else {
            m_out += "{\\*\\nesttableprops";
            rowDef(t, r);
            m_out += "\\nestrow}{\\nonesttables\\par}\n";
        }
    }
}

// Blocks end with \par, except the last one of the text or cell; a block
// before a table ends too (the reader puts the table after it).
void Writer::frame(QTextFrame *f, int depth, bool isRoot)
{
    bool pending = false; // a block was written and not ended yet
    for (auto it = f->begin(); !it.atEnd(); ++it) {
        if (pictureFrame(it.currentFrame()) || IsPictureSpacer(it.currentBlock()))
            continue;
        if (QTextFrame *child = it.currentFrame()) {
            if (pending)
                m_out += "\\par\n";
            pending = false;
            if (auto *t = qobject_cast<QTextTable *>(child))
                table(t, depth + 1);
            else
                frame(child, depth, false);
            continue;
        }
        const QTextBlock b = it.currentBlock();
        if (pending) {
            const int section = b.blockFormat().intProperty(wpSectionIndex);
            if (isRoot && m_current == m_doc.Text() && section > m_section && section < m_doc.SectionCount()) {
                m_section = section;
                m_out += "\\sect\n";
                sectionProps(section);
            } else {
                m_out += "\\par\n";
            }
        }
        block(b, depth);
        pending = true;
    }
}

void Writer::sectionProps(int section)
{
    const TWPPageSetup &p = m_doc.PageSetup(section);
    m_out += "\\sectd";
    num("pgwsxn", p.PageWidth);
    num("pghsxn", p.PageHeight);
    num("marglsxn", p.MarginLeft);
    num("margrsxn", p.MarginRight);
    num("margtsxn", p.MarginTop);
    num("margbsxn", p.MarginBottom);
    num("headery", p.HeaderY);
    num("footery", p.FooterY);
    if (p.Landscape)
        m_out += "\\lndscpsxn";
    if (p.TitlePage)
        m_out += "\\titlepg";
    m_out += '\n';
    // With left (even-page) texts the all-pages ones are the right-hand pages'.
    const bool facing = m_doc.Header(section, TWPHeaderKind::Left) || m_doc.Footer(section, TWPHeaderKind::Left);
    if (const QTextDocument *h = m_doc.Header(section))
        subText(facing ? "headerr" : "header", h);
    if (const QTextDocument *f = m_doc.Footer(section))
        subText(facing ? "footerr" : "footer", f);
    if (const QTextDocument *h = m_doc.Header(section, TWPHeaderKind::Left))
        subText("headerl", h);
    if (const QTextDocument *f = m_doc.Footer(section, TWPHeaderKind::Left))
        subText("footerl", f);
    if (const QTextDocument *h = m_doc.Header(section, TWPHeaderKind::First))
        subText("headerf", h);
    if (const QTextDocument *f = m_doc.Footer(section, TWPHeaderKind::First))
        subText("footerf", f);
}

void Writer::subText(const char *dest, const QTextDocument *t)
{
    const QTextDocument *saved = m_current;
    m_current = t;
    m_out += "{\\";
    m_out += dest;
    m_out += ' ';
    frame(t->rootFrame(), 0, false);
    m_out += "}\n";
    m_current = saved;
}

void Writer::header()
{
    m_out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (int i = 0; i < m_fonts.size(); ++i) {
        m_out += "{\\f";
        m_out += QByteArray::number(i);
        m_out += "\\fnil\\fcharset0 ";
        entryName(m_fonts[i]);
        m_out += ";}";
    }
    m_out += "}\n{\\colortbl;";
    for (size_t i = 1; i < m_colors.size(); ++i) {
        num("red", m_colors[i].red());
        num("green", m_colors[i].green());
        num("blue", m_colors[i].blue());
        m_out += ';';
    }
    m_out += "}\n";
}

QByteArray Writer::Run()
{
    const QTextDocument *main = m_doc.Text();
    m_current = main;
    fontIndex(main->defaultFont().family());
    m_colors.emplace_back();
    // Styles get numbers first: runs and paragraphs refer to them.
    int number = 1;
    for (const TWPStyle &s : m_doc.Styles()) {
        (s.IsCharStyle ? m_charStyles : m_paraStyles)[s.Name.toLower()] = number++;
        collectChar(StyleTextToCharFormat(s.Text));
    }

    // The body first: it may still add fonts and colours (pictures' alt
    // formats, cell shades), which the tables written before it must hold.
    QByteArray body;
    body.swap(m_out);
    const TWPPageSetup &p0 = m_doc.PageSetup(0);
    num("paperw", p0.PageWidth);
    num("paperh", p0.PageHeight);
    num("margl", p0.MarginLeft);
    num("margr", p0.MarginRight);
    num("margt", p0.MarginTop);
    num("margb", p0.MarginBottom);
    // No \landscape here: \sectd starts every section from these values,
    // and a section can only say that it is landscape, not that it is not.
    m_out += '\n';
    sectionProps(0);
    frame(main->rootFrame(), 0, true);
    m_out += "}\n";
    body.swap(m_out);

    header();
    if (!m_doc.Styles().empty()) {
        m_out += "{\\stylesheet";
        for (const TWPStyle &s : m_doc.Styles()) {
            m_out += s.IsCharStyle ? "{\\*\\cs" : "{\\s";
            m_out += QByteArray::number((s.IsCharStyle ? m_charStyles : m_paraStyles)[s.Name.toLower()]);
            if (!s.IsCharStyle)
                paraProps(StyleTextToBlockFormat(s.Text), QTextBlock(), 0);
            charProps(StyleTextToCharFormat(s.Text));
            if (!s.BasedOn.isEmpty() && s.BasedOn.compare(s.Name, Qt::CaseInsensitive) != 0) {
                const auto it = m_paraStyles.find(s.BasedOn.toLower());
                if (it != m_paraStyles.end())
                    num("sbasedon", it->second);
            }
            m_out += ' ';
            entryName(s.Name);
            m_out += ";}\n";
        }
        m_out += "}\n";
    }
    if (!m_listOrder.empty()) {
        m_out += "{\\*\\listtable";
        for (size_t i = 0; i < m_listOrder.size(); ++i) {
            const QTextListFormat lf = m_listOrder[i]->format();
            const int nfc = listNfc(lf.style());
            m_out += "{\\list\\listtemplateid";
            m_out += QByteArray::number(qulonglong(i + 1));
            for (int level = 0; level < 9; ++level) {
                m_out += "{\\listlevel";
                num("levelnfc", nfc);
                m_out += "\\levelstartat1";
                if (nfc == 23) {
                    const char16_t bullet = lf.style() == QTextListFormat::ListCircle ? u'o'
                                          : lf.style() == QTextListFormat::ListSquare ? 0x25AA
                                                                                      : 0x2022;
                    m_out += "{\\leveltext\\'01\\u";
                    m_out += QByteArray::number(int(bullet));
                    m_out += " ?;}{\\levelnumbers;}";
                } else {
                    m_out += "{\\leveltext\\'02\\'0";
                    m_out += QByteArray::number(level);
                    m_out += ".;}{\\levelnumbers\\'01;}";
                }
                num("fi", -360);
                num("li", 720 * (level + 1));
                m_out += '}';
            }
            num("listid", int(i + 1));
            m_out += "}\n";
        }
        m_out += "}\n{\\*\\listoverridetable";
        for (size_t i = 0; i < m_listOrder.size(); ++i) {
            m_out += "{\\listoverride";
            num("listid", int(i + 1));
            m_out += "\\listoverridecount0";
            num("ls", int(i + 1));
            m_out += '}';
        }
        m_out += "}\n";
    }
    bool info = false;
    for (const char *key : kInfoKeys) {
        const QString v = m_doc.Info(QLatin1String(key));
        if (v.isEmpty())
            continue;
        if (!info)
            m_out += "{\\info";
        info = true;
        m_out += "{\\";
        m_out += key;
        m_out += ' ';
        text(v);
        m_out += '}';
    }
    if (info)
        m_out += "}\n";
    for (const QString &name : m_doc.DataItemNames()) {
        m_out += "{\\*\\zordata ";
        text(name);
        m_out += ';';
        m_out += m_doc.DataItem(name).toHex();
        m_out += "}\n";
    }
    // The font and colour tables are written last but placed first.
    QByteArray headerPart;
    headerPart.swap(m_out);
    return headerPart + body;
}

} // namespace

QByteArray TWPRTFWriter::Write(const TWPDocument &doc)
{
    return Writer(doc).Run();
}

} // namespace zor
