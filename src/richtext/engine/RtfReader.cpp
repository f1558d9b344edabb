#include "RtfReader.h"
#include "PicturePlacement.h"

#include "Document.h"
#include "RtfBuilder_p.h"

#include <ZorCompCore/platform/CodePage.h>

#include <QHash>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cstring>
#include <map>

namespace zor {

using namespace rtf;

namespace {

// ---- tokenizer ---------------------------------------------------------------

enum class Tok { End, Open, Close, Word, Symbol, Text, Hex };

struct Token
{
    Tok type = Tok::End;
    QByteArray word;      // Word: the name; Text: the bytes
    bool hasParam = false;
    int param = 0;
    char symbol = 0;      // Symbol
    uchar hex = 0;        // Hex
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Tokenizer
{
public:
    explicit Tokenizer(const QByteArray &data) : m_p(data.constData()), m_end(m_p + data.size()) {}

    qsizetype BytesLeft() const { return m_end - m_p; }

    // Raw bytes for \bin: never more than are left.
    QByteArray Take(qint64 n)
    {
        n = std::clamp<qint64>(n, 0, BytesLeft());
        QByteArray out(m_p, qsizetype(n));
        m_p += n;
        return out;
    }

    Token Next()
    {
        Token t;
        while (m_p < m_end && (*m_p == '\r' || *m_p == '\n'))
            ++m_p;
        if (m_p >= m_end)
            return t;
        const char c = *m_p;
        if (c == '{' || c == '}') {
            ++m_p;
            t.type = c == '{' ? Tok::Open : Tok::Close;
            return t;
        }
        if (c != '\\') {
            const char *start = m_p;
            while (m_p < m_end && *m_p != '\\' && *m_p != '{' && *m_p != '}' && *m_p != '\r'
                   && *m_p != '\n')
                ++m_p;
            t.type = Tok::Text;
            t.word = QByteArray(start, m_p - start);
            return t;
        }
        ++m_p; // the backslash
        if (m_p >= m_end) {
            t.type = Tok::Symbol;
            t.symbol = '\\';
            return t;
        }
        if (isLetter(*m_p)) {
            const char *start = m_p;
            while (m_p < m_end && isLetter(*m_p))
                ++m_p;
            // Names are short; a longer one is unknown anyway.
            t.word = QByteArray(start, std::min<qsizetype>(m_p - start, 32));
            t.type = Tok::Word;
            bool negative = false;
            if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && isDigit(m_p[1])) {
                negative = true;
                ++m_p;
            }
            if (m_p < m_end && isDigit(*m_p)) {
                qint64 v = 0;
                while (m_p < m_end && isDigit(*m_p)) {
                    if (v < 0x80000000LL)
                        v = v * 10 + (*m_p - '0');
                    ++m_p;
                }
                v = std::min<qint64>(v, negative ? 0x80000000LL : 0x7FFFFFFFLL);
                t.hasParam = true;
                t.param = int(negative ? -v : v);
            }
            if (m_p < m_end && *m_p == ' ')
                ++m_p;
            return t;
        }
        if (*m_p == '\'') {
            ++m_p;
            const int hi = m_p < m_end ? hexValue(*m_p) : -1;
            const int lo = m_p + 1 < m_end ? hexValue(m_p[1]) : -1;
            if (hi >= 0 && lo >= 0) {
                m_p += 2;
                t.type = Tok::Hex;
                t.hex = uchar(hi * 16 + lo);
                return t;
            }
            t.type = Tok::Symbol; // a broken \' is dropped
            t.symbol = 0;
            return t;
        }
        t.type = Tok::Symbol;
        t.symbol = *m_p++;
        return t;
    }

private:
    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    const char *m_p;
    const char *m_end;
};

// A control word as the dispatch compares it: against literals, length
// first, so the long lists of names cost next to nothing per word.
struct Word
{
    const QByteArray &bytes;
    template <size_t N>
    bool operator==(const char (&name)[N]) const
    {
        return bytes.size() == qsizetype(N - 1) && std::memcmp(bytes.constData(), name, N - 1) == 0;
    }
};

// ---- group state -------------------------------------------------------------

enum class Dest {
    Normal,
    Skip,
    FontTable,
    ColorTable,
    StyleSheet,
    InfoText,      // \title, \author … inside \info
    Pict,
    FieldInst,
    FieldResult,   // result of an object field: captured, not shown
    BookmarkStart,
    BookmarkEnd,
    ListTable,
    LevelText,
    ListOverrideTable,
    DataItem,
    ListNumbering, // \pn: its words number the paragraph, its text is dropped
    Object,        // \object: everything but its \result is dropped
    Band,          // \zorband: kind;name;data base of the paragraph's report band
    Shape,         // \shp and its \shpinst: the shape's words and properties
    ShapeName,     // \sn: a shape property's name
    ShapeValue,    // \sv: its value (only a picture, under "pib", is kept)
};

struct Para
{
    QTextBlockFormat block;
    bool inTable = false;
    int itap = -1;        // -1: not given (1 when in a table)
    int ls = 0;
    int ilvl = 0;
    int pnStyle = 0;      // old-style numbering: QTextListFormat::Style, 0: none
    int pnLevel = 0;
    int depth() const { return itap >= 0 ? itap : (inTable ? 1 : 0); }
};

struct State
{
    Dest dest = Dest::Normal;
    bool destOwner = false;   // this group set dest (so closing it completes it)
    QTextCharFormat cf;
    int font = -1;
    int uc = 1;
    Para para;
    Builder *builder = nullptr;
    int field = -1;           // index into fields when this group is a \field
    int footnote = -1;        // the footnote whose text this group is
    bool ownsCapture = false; // this group started a capture: the outer one is kept below
    QString outerCapture;
};

struct FontEntry
{
    QString name;
    int codePage = 0;         // 0: the document's
};

struct FieldInfo
{
    QString inst;
    QString result;
    QTextCharFormat format;   // of the result (object fields)
    bool hasFormat = false;
    bool resultStarted = false;
};

struct ListLevel
{
    int nfc = 0;
    QString text;
};

struct ListDef
{
    int id = 0;
    std::vector<ListLevel> levels;
};

struct PictState
{
    QByteArray data;
    QString kind;
    int goalW = 0, goalH = 0;  // twips
    int picW = 0, picH = 0;    // picture units (pixels for bitmaps)
    int scaleX = 100, scaleY = 100;
};

// A shape being read: where and how its picture is placed, and the picture.
struct ShapeState
{
    bool active = false;  // inside a \shp group
    bool done = false;    // its picture went into the text (or could not)
    bool placed = false;  // the picture is in the text: its \shprslt is not needed
    int xPage = -1, yPage = -1; // 1 page or margin, 0 column or paragraph, -1 not given
    int wrap = -1, wrapSide = -1; // \shpwr, \shpwrk
    bool under = false;   // \shpfblwtxt1
    QString name;         // of the property being read
    bool hasPict = false;
    PictState pict;
};

// A font table entry's name without control characters and line breaks (no
// font has them, and written back they would come out as control words the
// table does not read) and without the ';' that ends an entry.
QString fontName(const QString &captured)
{
    QString name;
    for (const QChar c : captured)
        if (c.unicode() >= 0x20 && c.unicode() != 0x2028 && c != u';')
            name += c;
    return name.trimmed();
}

// Windows charset number -> code page.
int charsetCodePage(int charset)
{
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    default: return 0; // ANSI, default, symbol: the document's code page
    }
}

QTextListFormat::Style styleForNfc(int nfc, const QString &text)
{
    switch (nfc) {
    case 0: return QTextListFormat::ListDecimal;
    case 1: return QTextListFormat::ListUpperRoman;
    case 2: return QTextListFormat::ListLowerRoman;
    case 3: return QTextListFormat::ListUpperAlpha;
    case 4: return QTextListFormat::ListLowerAlpha;
    default: break;
    }
    // Bullets: the level text is the bullet character (after its length).
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == u'o' || u == 0x25CB || u == 0x25E6)
            return QTextListFormat::ListCircle;
        if (u == 0x25AA || u == 0x25A0 || u == 0xF0A7 || u == 0xA7)
            return QTextListFormat::ListSquare;
    }
    return QTextListFormat::ListDisc;
}

// HYPERLINK "x" \l "y" -> words with quotes removed; inside quotes \" and
// \\ stand for the character.
QStringList instructionWords(const QString &inst)
{
    QStringList words;
    QString cur;
    bool quoted = false, has = false;
    for (qsizetype i = 0; i < inst.size(); ++i) {
        const QChar c = inst[i];
        if (quoted && c == u'\\' && i + 1 < inst.size() && (inst[i + 1] == u'"' || inst[i + 1] == u'\\')) {
            cur += inst[++i];
        } else if (c == u'"') {
            quoted = !quoted;
            has = true;
        } else if (c.isSpace() && !quoted) {
            if (has)
                words << cur;
            cur.clear();
            has = false;
        } else {
            cur += c;
            has = true;
        }
    }
    if (has)
        words << cur;
    return words;
}

// ---- the reader --------------------------------------------------------------

class Reader
{
public:
    Reader(const QByteArray &data, TWPDocument &doc) : m_tok(data), m_doc(doc) {}

    TWPRTFReadResult Run();

private:
    State &st() { return m_stack.back(); }
    void push();
    void pop();
    void word(const Token &t);
    bool destinationWord(const Word &w, const Token &t);
    bool charWord(const Word &w, const Token &t);
    bool paraWord(const Word &w, const Token &t);
    bool sectionWord(const Word &w, const Token &t);
    bool tableWord(const Word &w, const Token &t);
    void symbol(char c);
    void textBytes(const QByteArray &bytes);
    void addChar(QChar c);
    void flushBytes();
    void flushText();
    void takeText(const QString &text);
    void endParagraph();
    ParaInfo paraInfo();
    void noteParagraph();
    int codePage();
    QColor color(int index) const;
    Builder *builderFor(bool header, TWPHeaderKind kind);
    void finishField(const FieldInfo &f, const State &s);
    void startFieldResult();
    void finishPict(const State &s);
    QTextImageFormat pictureFormat(const PictState &p, const QTextCharFormat &cf);
    void finishShape();
    void shapeWord(const Word &w, const Token &t);
    void commitSection();
    QString styleName(int number, bool charStyle) const;

    Tokenizer m_tok;
    TWPDocument &m_doc;
    std::vector<State> m_stack;
    int m_skipDepth = 0;        // groups being skipped beyond MaxGroupDepth
    int m_skippedGroups = 0;
    bool m_ignorable = false;   // \* seen, for the next control word
    int m_ucSkip = 0;           // fallback characters still to skip after \u

    QByteArray m_bytes;         // 8-bit text not yet decoded
    QString m_text;             // decoded text not yet handed on
    QString m_capture;          // text of the capturing destination

    int m_ansiCodePage = 1252;
    int m_defaultFont = -1;
    std::map<int, FontEntry> m_fonts;
    int m_fontNumber = -1;      // entry being read in the font table
    int m_fontCharset = 0;
    int m_fontCpg = 0;
    std::vector<QColor> m_colors;
    int m_red = -1, m_green = -1, m_blue = -1;

    std::map<int, QString> m_paraStyles, m_charStyles;
    struct StyleEntry { int number = 0; bool isChar = false; int basedOn = -1; bool skip = false; };
    StyleEntry m_style;
    std::vector<std::pair<QString, int>> m_basedOn; // style name -> paragraph style number

    QString m_infoKey;
    PictState m_pict;
    ShapeState m_shape;
    std::vector<FieldInfo> m_fields;

    std::vector<ListDef> m_lists;
    std::map<int, int> m_overrides; // \ls -> \listid

    std::unique_ptr<Builder> m_main;
    std::vector<std::unique_ptr<Builder>> m_subBuilders;
    std::map<QTextDocument *, Builder *> m_builderOf;

    TWPPageSetup m_docPage;
    TWPPageSetup m_sectPage;
    int m_section = 0;
    // Row and cell definitions by builder (a footnote or header inside a
    // cell has tables of its own) and table depth.
    struct TableDefs
    {
        std::map<int, RowDef> rows;
        CellDef cell;
    };
    std::map<const Builder *, TableDefs> m_tableDefs;
    int m_borderTarget = 0;          // 0 none, 1..4 paragraph sides, 5 cell, 6 row
    int m_cellEdge = -1;             // with target 5: the cell edge (left, top, right, bottom)
    int m_overrideListId = -1;
    QString m_tabKind;
};

void Reader::push()
{
    if (m_stack.size() >= size_t(TWPRTFReader::MaxGroupDepth)) {
        ++m_skipDepth;
        ++m_skippedGroups;
        return;
    }
    State s = st();
    s.destOwner = false;
    s.field = -1;
    s.ownsCapture = false;
    s.outerCapture.clear();
    m_stack.push_back(std::move(s));
}

void Reader::pop()
{
    flushText();
    if (m_stack.size() <= 1) {
        return; // unbalanced '}': nothing to close
    }
    const State closing = std::move(m_stack.back());
    m_stack.pop_back();
    if (closing.destOwner) {
        switch (closing.dest) {
        case Dest::FontTable:
            if (m_fontNumber >= 0 && !m_capture.trimmed().isEmpty()) {
                m_fonts[m_fontNumber] = {fontName(m_capture), m_fontCpg ? m_fontCpg : charsetCodePage(m_fontCharset)};
                m_fontNumber = -1;
            }
            break;
        case Dest::InfoText:
            if (!m_infoKey.isEmpty())
                m_doc.SetInfo(m_infoKey, m_capture.trimmed());
            m_infoKey.clear(); // the \info group's own end sets nothing
            break;
        case Dest::Pict:
            finishPict(closing);
            break;
        case Dest::Shape:
            finishShape();
            m_shape.active = false;
            break;
        case Dest::ShapeName:
            m_shape.name = m_capture.trimmed();
            break;
        case Dest::BookmarkStart:
        case Dest::BookmarkEnd:
            if (closing.builder)
                closing.builder->Bookmark(st().para.depth(), m_capture.trimmed(),
                                          closing.dest == Dest::BookmarkStart);
            break;
        case Dest::Band: {
            // The paragraph being read starts a band.
            const QStringList parts = m_capture.split(u';');
            const int kind = parts.value(0).trimmed().toInt();
            QTextBlockFormat &bf = st().para.block;
            if (kind > 0 && kind <= int(TWPBandKind::GroupFooter)) {
                bf.setProperty(wpBandKind, kind);
                bf.setProperty(wpBandName, parts.value(1).left(256));
                bf.setProperty(wpBandDataBase, parts.value(2).left(256));
                noteParagraph(); // a last paragraph that no \par ends keeps it too
            }
            break;
        }
        case Dest::LevelText:
            if (!m_lists.empty() && !m_lists.back().levels.empty())
                m_lists.back().levels.back().text = m_capture;
            break;
        case Dest::DataItem: {
            const qsizetype semi = m_capture.indexOf(u';');
            if (semi > 0) {
                QByteArray hex = m_capture.mid(semi + 1).toLatin1();
                hex.replace(' ', "");
                m_doc.SetDataItem(m_capture.left(semi), QByteArray::fromHex(hex));
            }
            break;
        }
        default:
            break;
        }
    }
    // A capture inside another (a data item inside a style entry, say)
    // leaves the outer one's text as it was.
    if (closing.ownsCapture)
        m_capture = closing.outerCapture;
    if (closing.field >= 0 && closing.field < int(m_fields.size())) {
        const FieldInfo f = m_fields[size_t(closing.field)];
        m_fields.resize(size_t(closing.field));
        finishField(f, closing);
    }
}

int Reader::codePage()
{
    const auto it = m_fonts.find(st().font);
    const int cp = it != m_fonts.end() && it->second.codePage ? it->second.codePage : m_ansiCodePage;
    return IsCodePageSupported(cp) ? cp : 1252;
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    m_text += FromCodePage(m_bytes, codePage());
    m_bytes.clear();
}

void Reader::flushText()
{
    flushBytes();
    if (m_text.isEmpty())
        return;
    QString text;
    text.swap(m_text);
    takeText(text);
}

// Hands decoded text to the current destination.
void Reader::takeText(const QString &text)
{
    State &s = st();
    switch (s.dest) {
    case Dest::Normal:
        if (s.builder) {
            s.builder->AddText(s.para.depth(), text, s.cf);
            noteParagraph();
        }
        break;
    case Dest::FontTable:
        for (QChar c : text) {
            if (c == u';') {
                if (m_fontNumber >= 0)
                    m_fonts[m_fontNumber] = {fontName(m_capture), m_fontCpg ? m_fontCpg : charsetCodePage(m_fontCharset)};
                m_fontNumber = -1;
                m_capture.clear();
            } else {
                m_capture += c;
            }
        }
        break;
    case Dest::ColorTable:
        for (QChar c : text) {
            if (c != u';')
                continue;
            if (m_colors.size() < 4096)
                m_colors.push_back(m_red < 0 && m_green < 0 && m_blue < 0
                                       ? QColor()
                                       : QColor(std::clamp(m_red, 0, 255), std::clamp(m_green, 0, 255),
                                                std::clamp(m_blue, 0, 255)));
            m_red = m_green = m_blue = -1;
        }
        break;
    case Dest::StyleSheet:
        for (QChar c : text) {
            if (c != u';') {
                m_capture += c;
                continue;
            }
            // Text a nested destination left behind may hold a ';': a
            // table entry's name never does.
            const QString name = QString(m_capture).remove(u';').trimmed();
            m_capture.clear();
            if (name.isEmpty() || m_style.skip)
                continue;
            TWPStyle style;
            style.Name = name;
            style.IsCharStyle = m_style.isChar;
            style.Text = StyleTextFromFormats(s.cf, s.para.block);
            m_doc.SetStyle(style);
            (m_style.isChar ? m_charStyles : m_paraStyles)[m_style.number] = name;
            if (m_style.basedOn >= 0 && m_style.basedOn != m_style.number)
                m_basedOn.emplace_back(name, m_style.basedOn);
            m_style = {};
        }
        break;
    case Dest::FieldInst:
        if (!m_fields.empty())
            m_fields.back().inst += text;
        break;
    case Dest::FieldResult:
        if (!m_fields.empty()) {
            FieldInfo &f = m_fields.back();
            if (!f.hasFormat) // the result's own format, often in a group of its own
                f.format = s.cf;
            f.hasFormat = true;
            f.result += text;
        }
        break;
    case Dest::Pict:
        for (QChar c : text) {
            // Hex digits in pairs; anything else between them is ignored.
            const int v = c.unicode() < 128 ? hexValue(char(c.unicode())) : -1;
            if (v < 0)
                continue;
            m_capture += c;
            if (m_capture.size() == 2) {
                m_pict.data.append(char(hexValue(char(m_capture[0].unicode())) * 16 + v));
                m_capture.clear();
            }
        }
        break;
    case Dest::InfoText:
    case Dest::BookmarkStart:
    case Dest::BookmarkEnd:
    case Dest::LevelText:
    case Dest::DataItem:
        m_capture += text;
        break;
    case Dest::Band:
        if (m_capture.size() < 1024) // a band's names are short; more is noise
            m_capture += text;
        break;
    case Dest::ShapeName:
        if (m_capture.size() < 64) // property names are short words
            m_capture += text;
        break;
    default:
        break;
    }
}

void Reader::textBytes(const QByteArray &bytes)
{
    qsizetype i = 0;
    while (m_ucSkip > 0 && i < bytes.size()) {
        --m_ucSkip;
        ++i;
    }
    if (i < bytes.size())
        m_bytes.append(bytes.constData() + i, bytes.size() - i);
}

void Reader::addChar(QChar c)
{
    flushBytes();
    m_text += c;
}

QColor Reader::color(int index) const
{
    if (index < 0 || size_t(index) >= m_colors.size())
        return {};
    return m_colors[size_t(index)];
}

QString Reader::styleName(int number, bool charStyle) const
{
    const auto &map = charStyle ? m_charStyles : m_paraStyles;
    const auto it = map.find(number);
    return it == map.end() ? QString() : it->second;
}

ParaInfo Reader::paraInfo()
{
    const Para &p = st().para;
    ParaInfo info;
    info.Block = p.block;
    if (p.ls > 0) {
        const auto ov = m_overrides.find(p.ls);
        const int id = ov == m_overrides.end() ? -1 : ov->second;
        const int level = std::clamp(p.ilvl, 0, 8);
        QTextListFormat lf;
        lf.setStyle(QTextListFormat::ListDisc);
        for (const ListDef &l : m_lists) {
            if (l.id == id && size_t(level) < l.levels.size())
                lf.setStyle(styleForNfc(l.levels[size_t(level)].nfc, l.levels[size_t(level)].text));
        }
        lf.setIndent(level + 1);
        info.ListFormat = lf;
        info.ListKey = u"ls"_qs + QString::number(p.ls) + u'.' + QString::number(level);
    } else if (p.pnStyle != 0) {
        QTextListFormat lf;
        lf.setStyle(QTextListFormat::Style(p.pnStyle));
        lf.setIndent(std::clamp(p.pnLevel, 1, 9));
        info.ListFormat = lf;
        info.ListKey = u"pn"_qs + QString::number(p.pnStyle) + u'.' + QString::number(p.pnLevel);
    }
    return info;
}

// The format for a last paragraph that no \par ends; table paragraphs end
// with their cell.
void Reader::noteParagraph()
{
    const State &s = st();
    if (s.builder && s.dest == Dest::Normal && s.para.depth() == 0)
        s.builder->NoteParagraph(paraInfo());
}

void Reader::endParagraph()
{
    flushText();
    State &s = st();
    if (s.dest != Dest::Normal || !s.builder)
        return;
    s.builder->EndParagraph(s.para.depth(), paraInfo());
}

Builder *Reader::builderFor(bool header, TWPHeaderKind kind)
{
    QTextDocument *text = header ? m_doc.Header(m_section, kind) : m_doc.Footer(m_section, kind);
    auto it = m_builderOf.find(text);
    if (it != m_builderOf.end())
        return it->second;
    m_subBuilders.push_back(std::make_unique<Builder>(m_doc, text));
    m_builderOf[text] = m_subBuilders.back().get();
    return m_subBuilders.back().get();
}

void Reader::commitSection()
{
    m_doc.PageSetup(m_section) = m_sectPage;
}

void Reader::startFieldResult()
{
    if (m_fields.empty())
        return;
    FieldInfo &f = m_fields.back();
    f.resultStarted = true;
    const QStringList words = instructionWords(f.inst);
    const QString kind = words.value(0).toUpper();
    if (kind == u"HYPERLINK") {
        QString href;
        for (int i = 1; i < words.size(); ++i) {
            if (words[i] == u"\\l" && i + 1 < words.size())
                href += u'#' + words[++i];
            else if (!words[i].startsWith(u'\\') && href.isEmpty())
                href = words[i];
        }
        st().dest = Dest::Normal;
        if (!href.isEmpty()) {
            st().cf.setAnchor(true);
            st().cf.setAnchorHref(href);
        }
        return;
    }
    static const QStringList objectKinds = {u"PAGE"_qs, u"NUMPAGES"_qs, u"DATE"_qs, u"TIME"_qs,
                                            u"MERGEFIELD"_qs, u"ZORFIELD"_qs};
    if (objectKinds.contains(kind)) {
        st().dest = Dest::FieldResult;
        st().destOwner = true;
    } else {
        st().dest = Dest::Normal; // other fields show their result
    }
}

void Reader::finishField(const FieldInfo &f, const State &s)
{
    if (s.dest != Dest::Normal && s.dest != Dest::FieldResult)
        return;
    const QStringList words = instructionWords(f.inst);
    const QString kind = words.value(0).toUpper();
    TWPFieldKind fk{};
    QString name, format;
    const auto pictureSwitch = [&] {
        const qsizetype at = words.indexOf(u"\\@"_qs);
        return at >= 0 ? words.value(at + 1) : QString();
    };
    if (kind == u"PAGE") {
        fk = TWPFieldKind::Page;
    } else if (kind == u"NUMPAGES") {
        fk = TWPFieldKind::NumPages;
    } else if (kind == u"DATE") {
        fk = TWPFieldKind::Date;
        format = pictureSwitch();
    } else if (kind == u"TIME") {
        fk = TWPFieldKind::Time;
        format = pictureSwitch();
    } else if (kind == u"MERGEFIELD") {
        fk = TWPFieldKind::Merge;
        name = words.value(1);
    } else if (kind == u"ZORFIELD") {
        static const QStringList kinds = {u"PAGE"_qs, u"NEXTPAGE"_qs, u"PRIORPAGE"_qs, u"NUMPAGES"_qs,
                                          u"DATE"_qs, u"TIME"_qs, u"NAMED"_qs, u"MERGE"_qs, u"FORM"_qs};
        const qsizetype k = kinds.indexOf(words.value(1).toUpper());
        if (k < 0)
            return;
        fk = TWPFieldKind(k + 1);
        name = words.value(2);
        format = pictureSwitch();
    } else {
        return; // result text already shown
    }
    Builder *b = st().builder;
    if (!b || st().dest != Dest::Normal)
        return;
    QTextCharFormat cf = f.hasFormat ? f.format : s.cf;
    cf.setObjectType(WPFieldObjectType);
    cf.setProperty(wpFieldKind, int(fk));
    if (!name.isEmpty())
        cf.setProperty(wpFieldName, name);
    if (!format.isEmpty())
        cf.setProperty(wpFieldFormat, format);
    cf.setProperty(wpFieldResult, f.result);
    b->AddText(st().para.depth(), QString(QChar::ObjectReplacementCharacter), cf);
}

QTextImageFormat Reader::pictureFormat(const PictState &p, const QTextCharFormat &cf)
{
    const QString name = m_doc.AddPicture(p.data, p.kind);
    if (name.isEmpty())
        return {};
    QTextImageFormat f;
    f.merge(cf);
    f.setName(name);
    f.setProperty(wpPictureName, name);
    int w = p.goalW, h = p.goalH;
    if (w > 0 && h > 0) {
        w = int(qint64(w) * std::clamp(p.scaleX, 1, 1000) / 100);
        h = int(qint64(h) * std::clamp(p.scaleY, 1, 1000) / 100);
        f.setWidth(TwipsToUnits(std::min(w, 31680 * 4)));
        f.setHeight(TwipsToUnits(std::min(h, 31680 * 4)));
    }
    return f;
}

void Reader::finishPict(const State &s)
{
    m_capture.clear();
    PictState p = std::move(m_pict);
    m_pict = {};
    if (st().dest == Dest::ShapeValue) {
        // A shape's picture is placed when the shape is complete.
        if (m_shape.name == u"pib" && !p.kind.isEmpty() && !p.data.isEmpty()) {
            m_shape.pict = std::move(p);
            m_shape.hasPict = true;
        }
        return;
    }
    if (p.kind.isEmpty() || p.data.isEmpty() || st().dest != Dest::Normal || !st().builder)
        return;
    const QTextImageFormat f = pictureFormat(p, s.cf);
    if (f.name().isEmpty()) // no reader takes the bytes
        return;
    st().builder->AddImage(st().para.depth(), f.name(), f);
    noteParagraph();
}

// A shape with a picture we can show becomes that picture, placed as the
// shape says; any other shape is left to its \shprslt rendering.
void Reader::finishShape()
{
    if (m_shape.done)
        return;
    m_shape.done = true;
    if (!m_shape.hasPict || !st().builder)
        return;
    QTextImageFormat f = pictureFormat(m_shape.pict, st().cf);
    m_shape.pict = {};
    if (f.name().isEmpty()) // no reader takes the bytes
        return;
    const int page = m_shape.yPage >= 0 ? m_shape.yPage : m_shape.xPage;
    f.setProperty(wpObjPositionMode, int(page == 1 ? wpotPage : wpotPar));
    // \shpwr: 1 top and bottom, 3 none (text as if there were no shape):
    // either way nothing flows beside it; 2 square, 4 tight, 5 through do.
    const bool beside = m_shape.wrap == 2 || m_shape.wrap == 4 || m_shape.wrap == 5;
    f.setProperty(wpObjWrapMode, int(!beside ? wpwrNone : m_shape.wrapSide == 3 ? wpwrAutomatic : wpwrBoth));
    if (m_shape.under)
        f.setProperty(wpObjUnderText, true);
    st().builder->AddImage(st().para.depth(), f.name(), f);
    noteParagraph();
    m_shape.placed = true;
}

void Reader::shapeWord(const Word &w, const Token &t)
{
    if (w == "shpbxpage" || w == "shpbxmargin") m_shape.xPage = 1;
    else if (w == "shpbxcolumn") m_shape.xPage = 0;
    else if (w == "shpbypage" || w == "shpbymargin") m_shape.yPage = 1;
    else if (w == "shpbypara" || w == "shpbyline") m_shape.yPage = 0;
    else if (w == "shpwr") m_shape.wrap = t.param;
    else if (w == "shpwrk") m_shape.wrapSide = t.param;
    else if (w == "shpfblwtxt") m_shape.under = t.hasParam ? t.param != 0 : true;
}

void Reader::symbol(char c)
{
    switch (c) {
    case '*':
        m_ignorable = true;
        return;
    case '~': addChar(QChar(0x00A0)); return;
    case '-': addChar(QChar(0x00AD)); return;
    case '_': addChar(QChar(0x2011)); return;
    case '\\': case '{': case '}':
        m_bytes.append(c);
        return;
    case '\n': case '\r':
        endParagraph();
        return;
    case '\t':
        addChar(u'\t');
        return;
    default:
        return; // \: \| and the like are index entry marks
    }
}

bool Reader::destinationWord(const Word &w, const Token &t)
{
    State &s = st();
    const auto become = [&](Dest d) {
        s.dest = d;
        s.destOwner = true;
        if (!s.ownsCapture) {
            s.ownsCapture = true;
            s.outerCapture = std::move(m_capture);
        }
        m_capture.clear();
    };
    if (w == "fonttbl") {
        become(Dest::FontTable);
    } else if (w == "colortbl") {
        become(Dest::ColorTable);
        m_red = m_green = m_blue = -1;
    } else if (w == "stylesheet") {
        become(Dest::StyleSheet);
        s.cf = {};
        s.para = {};
        m_style = {};
    } else if (w == "info") {
        // Only its known parts are read: their text goes to named entries.
        s.destOwner = true;
        s.dest = Dest::InfoText;
        m_infoKey.clear();
    } else if (s.dest == Dest::InfoText
               && (w == "title" || w == "subject" || w == "author" || w == "keywords"
                   || w == "doccomm" || w == "operator" || w == "company" || w == "manager"
                   || w == "category")) {
        become(Dest::InfoText);
        m_infoKey = QString::fromLatin1(w.bytes);
    } else if (w == "pict") {
        become(Dest::Pict);
        m_pict = {};
    } else if (w == "shppict") {
        s.destOwner = true; // its \pict is the picture to show
    } else if (w == "shp" || w == "shpgrp") {
        // Shapes inside a shape (a group's) are left to the group's rendering.
        flushText();
        if (m_shape.active || s.dest != Dest::Normal || !s.builder) {
            become(Dest::Skip);
        } else {
            become(Dest::Shape);
            m_shape = {};
            m_shape.active = true;
        }
    } else if (s.dest == Dest::Shape && (w == "shpinst" || w == "sp")) {
        // Their words and properties belong to the shape.
    } else if (s.dest == Dest::Shape && w == "sn") {
        become(Dest::ShapeName);
    } else if (s.dest == Dest::Shape && w == "sv") {
        become(Dest::ShapeValue);
    } else if (s.dest == Dest::Shape && w == "shprslt") {
        // The shape's rendering: shown only when the shape itself is not.
        finishShape();
        if (m_shape.placed) {
            become(Dest::Skip);
        } else {
            s.dest = Dest::Normal;
            s.destOwner = true;
        }
    } else if (w == "nonshppict" || w == "annotation" || w == "pntext"
               || w == "listtext" || w == "xe" || w == "tc"
               || w == "nonesttables" || w == "fldtype" || w == "datafield"
               || w == "revtbl" || w == "filetbl" || w == "template" || w == "txe") {
        become(Dest::Skip);
    } else if (w == "footnote") {
        // The note's reference goes where the note starts; its text is a
        // text of its own. Notes inside notes are dropped.
        flushText();
        if (s.footnote >= 0 || s.dest != Dest::Normal || !s.builder || m_doc.FootnoteCount() >= 100000) {
            become(Dest::Skip);
        } else {
            const int index = m_doc.AddFootnote();
            QTextCharFormat cf = s.cf;
            cf.setObjectType(WPFieldObjectType);
            cf.setProperty(wpFieldKind, int(TWPFieldKind::Footnote));
            cf.setProperty(wpFootnote, index);
            s.builder->AddText(s.para.depth(), QString(QChar::ObjectReplacementCharacter), cf);
            noteParagraph();
            become(Dest::Normal);
            s.footnote = index;
            m_subBuilders.push_back(std::make_unique<Builder>(m_doc, m_doc.Footnote(index)));
            s.builder = m_subBuilders.back().get();
            s.para = {};
            s.cf = {};
        }
    } else if (w == "object") {
        // An embedded object shows the rendering in its \result; its data,
        // class and name are ignorable destinations, skipped as such. Text
        // straight inside the object group is none of its content.
        flushText();
        become(Dest::Object);
    } else if (w == "result" || w == "shprslt") {
        // A shape's own rendering: shown when the shape itself is not.
        become(Dest::Skip);
    } else if (w == "field") {
        flushText();
        if (m_fields.size() < 64) {
            s.field = int(m_fields.size());
            m_fields.emplace_back();
        }
    } else if (w == "fldinst") {
        become(Dest::FieldInst);
    } else if (w == "fldrslt") {
        s.destOwner = true;
        startFieldResult();
    } else if (w == "bkmkstart") {
        become(Dest::BookmarkStart);
    } else if (w == "bkmkend") {
        become(Dest::BookmarkEnd);
    } else if (w == "header" || w == "headerr" || w == "footer" || w == "footerr" || w == "headerl"
               || w == "footerl" || w == "headerf" || w == "footerf") {
        flushText();
        become(Dest::Normal);
        const TWPHeaderKind kind = w.bytes.endsWith('l') ? TWPHeaderKind::Left
                                 : w.bytes.endsWith('f') ? TWPHeaderKind::First : TWPHeaderKind::All;
        s.builder = builderFor(w.bytes.startsWith("header"), kind);
        s.para = {};
    } else if (w == "listtable") {
        become(Dest::ListTable);
    } else if (s.dest == Dest::ListTable && w == "list") {
        if (m_lists.size() < 1024)
            m_lists.emplace_back();
    } else if (s.dest == Dest::ListTable && w == "listlevel") {
        if (!m_lists.empty() && m_lists.back().levels.size() < 9)
            m_lists.back().levels.emplace_back();
    } else if (s.dest == Dest::ListTable && w == "leveltext") {
        become(Dest::LevelText);
    } else if (w == "listoverridetable") {
        become(Dest::ListOverrideTable);
    } else if (w == "zordata") {
        become(Dest::DataItem);
    } else if (w == "zorband") {
        become(Dest::Band);
    } else if (w == "nesttableprops") {
        s.destOwner = true;
    } else if (w == "pn") {
        // Old-style numbering: the words inside set the paragraph's list.
        become(Dest::ListNumbering);
        if (m_stack.size() >= 2)
            m_stack[m_stack.size() - 2].para.pnStyle = QTextListFormat::ListDecimal;
        s.para.pnStyle = QTextListFormat::ListDecimal;
    } else {
        (void)t;
        return false;
    }
    return true;
}

bool Reader::charWord(const Word &w, const Token &t)
{
    QTextCharFormat &cf = st().cf;
    const bool on = !t.hasParam || t.param != 0;
    if (w == "plain") {
        cf = {};
        st().font = m_defaultFont;
    } else if (w == "b") {
        cf.setFontWeight(on ? QFont::Bold : QFont::Normal);
    } else if (w == "i") {
        cf.setFontItalic(on);
    } else if (w == "ul" || w == "uld" || w == "uldash" || w == "uldashd" || w == "uldb"
               || w == "ulth" || w == "ulw" || w == "ulwave" || w == "ulhwave") {
        cf.setFontUnderline(on);
    } else if (w == "ulnone") {
        cf.setFontUnderline(false);
    } else if (w == "strike" || w == "striked") {
        cf.setFontStrikeOut(on);
    } else if (w == "sub") {
        cf.setVerticalAlignment(on ? QTextCharFormat::AlignSubScript : QTextCharFormat::AlignNormal);
    } else if (w == "super") {
        cf.setVerticalAlignment(on ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignNormal);
    } else if (w == "nosupersub") {
        cf.setVerticalAlignment(QTextCharFormat::AlignNormal);
    } else if (w == "caps") {
        cf.setFontCapitalization(on ? QFont::AllUppercase : QFont::MixedCase);
    } else if (w == "scaps") {
        cf.setFontCapitalization(on ? QFont::SmallCaps : QFont::MixedCase);
    } else if (w == "fs") {
        if (t.hasParam && t.param > 0)
            cf.setFontPointSize(std::min(t.param, 3276) / 2.0);
    } else if (w == "f") {
        if (!t.hasParam)
            return true;
        st().font = t.param;
        const auto it = m_fonts.find(t.param);
        if (it != m_fonts.end() && !it->second.name.isEmpty())
            cf.setFontFamilies(QStringList{it->second.name});
    } else if (w == "cf") {
        const QColor c = color(t.param);
        if (c.isValid())
            cf.setForeground(c);
        else
            cf.clearForeground();
    } else if (w == "cb" || w == "highlight" || w == "chcbpat") {
        const QColor c = color(t.param);
        if (c.isValid())
            cf.setBackground(c);
        else
            cf.clearBackground();
    } else if (w == "v") {
        if (on)
            cf.setProperty(wpHidden, true);
        else
            cf.clearProperty(wpHidden);
    } else if (w == "protect") {
        if (on)
            cf.setProperty(wpProtected, true);
        else
            cf.clearProperty(wpProtected);
    } else if (w == "cs") {
        const QString name = styleName(t.param, true);
        if (!name.isEmpty())
            cf.setProperty(wpStyleName, name);
        if (st().dest == Dest::StyleSheet) {
            m_style.number = t.param;
            m_style.isChar = true;
        }
    } else {
        return false;
    }
    return true;
}

bool Reader::paraWord(const Word &w, const Token &t)
{
    Para &p = st().para;
    QTextBlockFormat &bf = p.block;
    const int v = t.hasParam ? std::clamp(t.param, -31680 * 4, 31680 * 4) : 0;
    if (w == "pard") {
        p = {};
        m_borderTarget = 0;
    } else if (w == "ql") {
        bf.setAlignment(Qt::AlignLeft);
    } else if (w == "qc") {
        bf.setAlignment(Qt::AlignHCenter);
    } else if (w == "qr") {
        bf.setAlignment(Qt::AlignRight);
    } else if (w == "qj" || w == "qd") {
        bf.setAlignment(Qt::AlignJustify);
    } else if (w == "li" || w == "lin") {
        bf.setLeftMargin(TwipsToUnits(v));
    } else if (w == "ri" || w == "rin") {
        bf.setRightMargin(TwipsToUnits(v));
    } else if (w == "fi") {
        bf.setTextIndent(TwipsToUnits(v));
    } else if (w == "sb") {
        bf.setTopMargin(TwipsToUnits(v));
    } else if (w == "sa") {
        bf.setBottomMargin(TwipsToUnits(v));
    } else if (w == "sl") {
        if (v == 0)
            bf.clearProperty(QTextFormat::LineHeight), bf.clearProperty(QTextFormat::LineHeightType);
        else
            bf.setLineHeight(TwipsToUnits(std::abs(v)), v < 0 ? QTextBlockFormat::FixedHeight
                                                                : QTextBlockFormat::MinimumHeight);
    } else if (w == "slmult") {
        if (v == 1 && bf.lineHeightType() == QTextBlockFormat::MinimumHeight)
            bf.setLineHeight(qRound(bf.lineHeight() * 15 * 100.0 / 240), QTextBlockFormat::ProportionalHeight);
    } else if (w == "keep") {
        bf.setNonBreakableLines(true);
    } else if (w == "pagebb") {
        bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    } else if (w == "intbl") {
        p.inTable = true;
    } else if (w == "itap") {
        p.itap = std::clamp(t.param, 0, Builder::MaxTableDepth);
    } else if (w == "s") {
        if (st().dest == Dest::StyleSheet) {
            m_style.number = t.param;
            m_style.isChar = false;
        } else {
            const QString name = styleName(t.param, false);
            if (!name.isEmpty())
                bf.setProperty(wpStyleName, name);
        }
    } else if (w == "ds" || w == "ts") {
        if (st().dest == Dest::StyleSheet)
            m_style.skip = true; // section and table styles: not kept
    } else if (w == "sbasedon") {
        if (st().dest == Dest::StyleSheet)
            m_style.basedOn = t.param;
    } else if (w == "ls") {
        if (st().dest == Dest::ListOverrideTable) {
            m_overrides[t.param] = m_overrideListId; // \listoverride\listidN … \lsM
        } else {
            p.ls = std::max(0, t.param);
        }
    } else if (w == "listid") {
        if (st().dest == Dest::ListOverrideTable)
            m_overrideListId = t.param;
        else if (st().dest == Dest::ListTable && !m_lists.empty())
            m_lists.back().id = t.param;
    } else if (w == "levelnfc" || w == "levelnfcn") {
        if (!m_lists.empty() && !m_lists.back().levels.empty())
            m_lists.back().levels.back().nfc = t.param;
    } else if (w == "ilvl") {
        p.ilvl = std::clamp(t.param, 0, 8);
    } else if (w == "pnlvlblt") {
        p.pnStyle = QTextListFormat::ListDisc;
        p.pnLevel = 1;
        if (m_stack.size() >= 2)
            m_stack[m_stack.size() - 2].para.pnStyle = p.pnStyle,
            m_stack[m_stack.size() - 2].para.pnLevel = 1;
    } else if (w == "pnlvlbody" || w == "pnlvl") {
        const int level = w == "pnlvl" ? std::clamp(t.param, 1, 9) : 1;
        p.pnLevel = level;
        if (m_stack.size() >= 2)
            m_stack[m_stack.size() - 2].para.pnLevel = level;
    } else if (w == "pnlcltr" || w == "pnucltr" || w == "pnlcrm" || w == "pnucrm" || w == "pndec") {
        const int style = w == "pnlcltr" ? QTextListFormat::ListLowerAlpha
                          : w == "pnucltr" ? QTextListFormat::ListUpperAlpha
                          : w == "pnlcrm" ? QTextListFormat::ListLowerRoman
                          : w == "pnucrm" ? QTextListFormat::ListUpperRoman
                                          : QTextListFormat::ListDecimal;
        if (p.pnStyle != QTextListFormat::ListDisc) {
            p.pnStyle = style;
            if (m_stack.size() >= 2)
                m_stack[m_stack.size() - 2].para.pnStyle = style;
        }
    } else if (w == "brdrt" || w == "brdrl" || w == "brdrb" || w == "brdrr" || w == "box") {
        m_borderTarget = w == "brdrl" ? 1 : w == "brdrt" ? 2 : w == "brdrr" ? 3 : w == "brdrb" ? 4 : 7;
    } else if (w == "brdrw") {
        const int width = std::clamp(t.param, 0, 1000);
        if (m_borderTarget == 5 && m_cellEdge >= 0)
            m_tableDefs[st().builder].cell.EdgeWidth[m_cellEdge] = width;
        const auto side = [&](int n) {
            bf.setProperty(wpBorderLeft + n - 1, width);
        };
        if (m_borderTarget >= 1 && m_borderTarget <= 4)
            side(m_borderTarget);
        else if (m_borderTarget == 7)
            for (int n = 1; n <= 4; ++n)
                side(n);
    } else if ((w == "brdrs" || w == "brdrdb" || w == "brdrdot" || w == "brdrdash" || w == "brdrth")
               && ((m_borderTarget >= 1 && m_borderTarget <= 4) || m_borderTarget == 7)) {
        bf.setProperty(wpBorderStyle, w == "brdrdb"     ? wpbsDouble
                                      : w == "brdrdot"  ? wpbsDotted
                                      : w == "brdrdash" ? wpbsDashed
                                      : w == "brdrth"   ? wpbsThick
                                                        : wpbsSingle);
    } else if (w == "brdrcf") {
        if (m_borderTarget >= 1 && m_borderTarget <= 7 && m_borderTarget != 5 && m_borderTarget != 6
            && color(t.param).isValid())
            bf.setProperty(wpBorderColor, color(t.param));
    } else if (w == "brsp") {
        if (m_borderTarget >= 1 && m_borderTarget <= 4)
            bf.setProperty(wpBorderSpacing, std::clamp(t.param, 0, 31680));
        else if (m_borderTarget == 7)
            bf.setProperty(wpBorderSpacing, std::clamp(t.param, 0, 31680));
    } else if (w == "cbpat") {
        const QColor c = color(t.param);
        if (c.isValid())
            bf.setBackground(c);
    } else if (w == "shading") {
        bf.setProperty(wpShading, std::clamp(t.param, 0, 10000));
    } else if (w == "cfpat") {
        const QColor c = color(t.param);
        if (c.isValid())
            bf.setProperty(wpShadingColor, c);
    } else if (w == "rtlpar") {
        bf.setLayoutDirection(Qt::RightToLeft);
    } else if (w == "ltrpar") {
        bf.clearProperty(QTextFormat::LayoutDirection);
    } else if (w == "tqr" || w == "tqc" || w == "tqdec") {
        m_tabKind = QString::fromLatin1(w.bytes); // for the next \tx
    } else if (w == "tx") {
        QList<QTextOption::Tab> tabs = bf.tabPositions();
        QTextOption::Tab tab(TwipsToUnits(v), QTextOption::LeftTab);
        if (m_tabKind == u"tqr")
            tab.type = QTextOption::RightTab;
        else if (m_tabKind == u"tqc")
            tab.type = QTextOption::CenterTab;
        else if (m_tabKind == u"tqdec")
            tab.type = QTextOption::DelimiterTab, tab.delimiter = u'.';
        m_tabKind.clear();
        if (tabs.size() < 64) {
            tabs << tab;
            bf.setTabPositions(tabs);
        }
    } else {
        return false;
    }
    noteParagraph();
    return true;
}

bool Reader::sectionWord(const Word &w, const Token &t)
{
    const int v = std::clamp(t.param, 0, 31680 * 4);
    const auto both = [&](int TWPPageSetup::*field) {
        m_docPage.*field = v;
        m_sectPage.*field = v;
    };
    if (w == "paperw") both(&TWPPageSetup::PageWidth);
    else if (w == "paperh") both(&TWPPageSetup::PageHeight);
    else if (w == "margl") both(&TWPPageSetup::MarginLeft);
    else if (w == "margr") both(&TWPPageSetup::MarginRight);
    else if (w == "margt") both(&TWPPageSetup::MarginTop);
    else if (w == "margb") both(&TWPPageSetup::MarginBottom);
    else if (w == "landscape") m_docPage.Landscape = m_sectPage.Landscape = true;
    else if (w == "pgwsxn") m_sectPage.PageWidth = v;
    else if (w == "pghsxn") m_sectPage.PageHeight = v;
    else if (w == "marglsxn") m_sectPage.MarginLeft = v;
    else if (w == "margrsxn") m_sectPage.MarginRight = v;
    else if (w == "margtsxn") m_sectPage.MarginTop = v;
    else if (w == "margbsxn") m_sectPage.MarginBottom = v;
    else if (w == "headery") m_sectPage.HeaderY = v;
    else if (w == "footery") m_sectPage.FooterY = v;
    else if (w == "titlepg") m_sectPage.TitlePage = !t.hasParam || t.param != 0;
    else if (w == "lndscpsxn") m_sectPage.Landscape = !t.hasParam || t.param != 0;
    else if (w == "sectd") m_sectPage = m_docPage;
    else if (w == "sect") {
        if (st().builder != m_main.get() || st().dest != Dest::Normal)
            return true;
        endParagraph();
        commitSection();
        // The paragraph just begun is the new section's first.
        QTextCursor at(m_doc.Text());
        at.movePosition(QTextCursor::End);
        const int n = m_doc.AddSection(at);
        if (n > 0)
            m_section = n;
    } else
        return false;
    return true;
}

bool Reader::tableWord(const Word &w, const Token &t)
{
    State &s = st();
    const int depth = std::clamp(std::max(1, s.para.depth()), 1, Builder::MaxTableDepth);
    TableDefs &defs = m_tableDefs[s.builder];
    RowDef &row = defs.rows[depth];
    CellDef &cellDef = defs.cell;
    if (w == "trowd") {
        row = {};
        cellDef = {};
        m_borderTarget = 6;
    } else if (w == "trleft") {
        row.Left = std::clamp(t.param, -31680, Builder::MaxCellEdge);
    } else if (w == "cellx") {
        cellDef.Right = std::clamp(t.param, -31680, Builder::MaxCellEdge);
        if (row.Cells.size() < 256)
            row.Cells.push_back(cellDef);
        cellDef = {};
    } else if (w == "clmgf") {
        cellDef.MergeFirst = true;
    } else if (w == "clmrg") {
        cellDef.MergeNext = true;
    } else if (w == "clvmgf") {
        cellDef.VMergeFirst = true;
    } else if (w == "clvmrg") {
        cellDef.VMergeNext = true;
    } else if (w == "clftsWidth") {
        cellDef.WidthType = std::clamp(t.param, 0, 3);
    } else if (w == "clwWidth") {
        cellDef.Width = std::clamp(t.param, 0, 31680 * 4);
    } else if (w == "clcbpat") {
        cellDef.Background = color(t.param);
    } else if (w == "clbrdrt" || w == "clbrdrl" || w == "clbrdrb" || w == "clbrdrr") {
        m_borderTarget = 5;
        m_cellEdge = w == "clbrdrl" ? 0 : w == "clbrdrt" ? 1 : w == "clbrdrr" ? 2 : 3;
        cellDef.EdgeOn[m_cellEdge] = 0; // given; a line style below turns it on
    } else if (w == "trbrdrt" || w == "trbrdrl" || w == "trbrdrb" || w == "trbrdrr") {
        m_borderTarget = 5;
        m_cellEdge = -1;
    } else if (w == "brdrs" || w == "brdrth" || w == "brdrdb" || w == "brdrdot" || w == "brdrdash") {
        if (m_borderTarget == 5 || m_borderTarget == 6)
            row.Borders = true;
        if (m_borderTarget == 5 && m_cellEdge >= 0)
            cellDef.EdgeOn[m_cellEdge] = 1;
    } else if (w == "cell" || w == "nestcell") {
        flushText();
        if (s.dest == Dest::Normal && s.builder)
            s.builder->EndCell(w == "cell" ? 1 : std::max(2, s.para.depth()), paraInfo());
    } else if (w == "row" || w == "nestrow") {
        flushText();
        const int d = w == "row" ? 1 : std::max(2, depth);
        if (s.builder && (s.dest == Dest::Normal || w == "nestrow"))
            s.builder->EndRow(d, defs.rows[d]);
    } else {
        return false;
    }
    return true;
}

void Reader::word(const Token &t)
{
    const Word w{t.word};
    if (w == "u") {
        flushBytes();
        if (t.hasParam) {
            m_text += QChar(char16_t(t.param & 0xFFFF));
            m_ucSkip = st().uc;
        }
        return;
    }
    flushText();
    const bool ignorable = m_ignorable;
    m_ignorable = false;
    if (st().dest == Dest::Skip)
        return;
    if (st().dest == Dest::Object) {
        if (w == "bin") {
            m_tok.Take(t.hasParam ? qint64(std::max(0, t.param)) : 0);
        } else if (w == "result") {
            st().dest = Dest::Normal;
            st().destOwner = true;
        }
        return;
    }
    if (destinationWord(w, t))
        return;
    if (ignorable && !(st().dest == Dest::StyleSheet && w == "cs")) {
        // An optional destination we do not know: skip its group.
        st().dest = Dest::Skip;
        st().destOwner = true;
        return;
    }
    if (st().dest == Dest::ColorTable) {
        const int v = std::clamp(t.param, 0, 255);
        if (w == "red") m_red = v;
        else if (w == "green") m_green = v;
        else if (w == "blue") m_blue = v;
        return;
    }
    if (st().dest == Dest::FontTable) {
        if (w == "f") {
            m_fontNumber = t.param;
            m_fontCharset = 0;
            m_fontCpg = 0;
            m_capture.clear();
        } else if (w == "fcharset") {
            m_fontCharset = t.param;
        } else if (w == "cpg") {
            m_fontCpg = t.param;
        }
        return;
    }
    if (w == "rtf" || w == "ansi") {
        return;
    } else if (w == "ansicpg") {
        if (t.hasParam && IsCodePageSupported(t.param))
            m_ansiCodePage = t.param;
        return;
    } else if (w == "mac") {
        m_ansiCodePage = 10000;
        return;
    } else if (w == "pc") {
        m_ansiCodePage = 437;
        return;
    } else if (w == "pca") {
        m_ansiCodePage = 850;
        return;
    } else if (w == "deff") {
        m_defaultFont = t.param;
        if (m_stack.size() >= 1)
            st().font = t.param;
        return;
    } else if (w == "uc") {
        st().uc = std::clamp(t.param, 0, 8);
        return;
    } else if (w == "bin") {
        // Raw bytes: kept only by a picture, bounded by what is left.
        const QByteArray raw = m_tok.Take(t.hasParam ? qint64(std::max(0, t.param)) : 0);
        if (st().dest == Dest::Pict)
            m_pict.data += raw;
        return;
    }
    if (st().dest == Dest::Shape) {
        shapeWord(w, t);
        return;
    }
    if (st().dest == Dest::ShapeName || st().dest == Dest::ShapeValue)
        return;
    if (st().dest == Dest::Pict) {
        if (w == "pngblip") m_pict.kind = u"png"_qs;
        else if (w == "jpegblip") m_pict.kind = u"jpeg"_qs;
        else if (w == "emfblip") m_pict.kind = u"emf"_qs;
        else if (w == "wmetafile") m_pict.kind = u"wmf"_qs;
        else if (w == "picwgoal") m_pict.goalW = std::clamp(t.param, 0, 31680 * 4);
        else if (w == "pichgoal") m_pict.goalH = std::clamp(t.param, 0, 31680 * 4);
        else if (w == "picscalex") m_pict.scaleX = t.param;
        else if (w == "picscaley") m_pict.scaleY = t.param;
        return;
    }
    if (charWord(w, t) || paraWord(w, t) || tableWord(w, t) || sectionWord(w, t))
        return;
    // Words that stand for characters.
    static const QHash<QByteArray, char16_t> chars = {
        {"tab", u'\t'}, {"line", 0x2028}, {"emdash", 0x2014}, {"endash", 0x2013},
        {"bullet", 0x2022}, {"lquote", 0x2018}, {"rquote", 0x2019}, {"ldblquote", 0x201C},
        {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005},
        {"zwj", 0x200D}, {"zwnj", 0x200C}, {"ltrmark", 0x200E}, {"rtlmark", 0x200F},
        {"zwbo", 0x200B}, {"zwnbo", 0xFEFF},
    };
    const auto it = chars.constFind(w.bytes);
    if (it != chars.cend()) {
        addChar(QChar(*it));
        return;
    }
    if (w == "par") {
        endParagraph();
    } else if (w == "page") {
        endParagraph();
        if (st().builder && st().dest == Dest::Normal)
            st().builder->PageBreak();
    } else if (w == "chftn") {
        // In a note its number; a reference is made where its note starts.
        if (st().footnote >= 0 && st().builder && st().dest == Dest::Normal) {
            QTextCharFormat cf = st().cf;
            cf.setObjectType(WPFieldObjectType);
            cf.setProperty(wpFieldKind, int(TWPFieldKind::Footnote));
            cf.setProperty(wpFootnote, st().footnote);
            st().builder->AddText(st().para.depth(), QString(QChar::ObjectReplacementCharacter), cf);
        }
    } else if (w == "chpgn" || w == "chdate") {
        if (st().builder && st().dest == Dest::Normal) {
            QTextCharFormat cf = st().cf;
            cf.setObjectType(WPFieldObjectType);
            cf.setProperty(wpFieldKind, int(w == "chpgn" ? TWPFieldKind::Page : TWPFieldKind::Date));
            // What it shows now is its result, as for a field inserted by hand.
            cf.setProperty(wpFieldResult, TWPDocument::FieldText(cf, m_doc.FieldContext()));
            st().builder->AddText(st().para.depth(), QString(QChar::ObjectReplacementCharacter), cf);
        }
    }
    // Anything else: a property we do not keep.
}

TWPRTFReadResult Reader::Run()
{
    TWPRTFReadResult result;
    m_doc.Clear();
    m_main = std::make_unique<Builder>(m_doc, m_doc.Text());
    State root;
    root.builder = m_main.get();
    m_stack.push_back(root);
    m_doc.Text()->setUndoRedoEnabled(false);

    bool started = false;
    for (Token t = m_tok.Next(); t.type != Tok::End; t = m_tok.Next()) {
        if (m_skipDepth > 0) {
            if (t.type == Tok::Open)
                ++m_skipDepth;
            else if (t.type == Tok::Close)
                --m_skipDepth;
            else if (t.type == Tok::Word && t.word == "bin")
                m_tok.Take(t.hasParam ? qint64(std::max(0, t.param)) : 0);
            continue;
        }
        if (m_ucSkip > 0 && (t.type == Tok::Word || t.type == Tok::Symbol || t.type == Tok::Hex)) {
            --m_ucSkip;
            if (t.type == Tok::Word && t.word == "bin")
                m_tok.Take(t.hasParam ? qint64(std::max(0, t.param)) : 0);
            continue;
        }
        if (t.type == Tok::Open || t.type == Tok::Close)
            m_ucSkip = 0;
        switch (t.type) {
        case Tok::Open:
            m_ignorable = false;
            flushText();
            push();
            break;
        case Tok::Close:
            if (m_stack.size() <= 1)
                break;
            pop();
            break;
        case Tok::Word:
            if (!started && t.word == "rtf")
                started = true;
            word(t);
            break;
        case Tok::Symbol:
            if (st().dest == Dest::Skip)
                break;
            if (t.symbol != '*')
                m_ignorable = false;
            if (t.symbol != '\\' && t.symbol != '{' && t.symbol != '}')
                flushText();
            symbol(t.symbol);
            break;
        case Tok::Hex:
            if (st().dest != Dest::Skip)
                m_bytes.append(char(t.hex));
            break;
        case Tok::Text:
            if (st().dest != Dest::Skip)
                textBytes(t.word);
            break;
        case Tok::End:
            break;
        }
    }
    // Groups left open are closed as if their braces had come.
    while (m_stack.size() > 1)
        pop();
    flushText();
    commitSection();
    m_main->Finish();
    for (auto &b : m_subBuilders)
        b->Finish();
    for (const auto &[name, number] : m_basedOn) {
        // A later definition may give the base's number to the style itself.
        const QString base = styleName(number, false);
        const TWPStyle *s = m_doc.FindStyle(name);
        if (s && !base.isEmpty() && base.compare(name, Qt::CaseInsensitive) != 0) {
            TWPStyle copy = *s;
            copy.BasedOn = base;
            m_doc.SetStyle(copy);
        }
    }
    const auto deff = m_fonts.find(m_defaultFont);
    if (deff != m_fonts.end() && !deff->second.name.isEmpty()) {
        QFont f = m_doc.Text()->defaultFont();
        f.setFamilies({deff->second.name});
        m_doc.Text()->setDefaultFont(f);
    }
    // Pictures placed beside their paragraph get the frames that place them.
    PlacePictures(m_doc.Text());
    for (int s = 0; s < m_doc.SectionCount(); ++s)
        for (const TWPHeaderKind kind : {TWPHeaderKind::All, TWPHeaderKind::Left, TWPHeaderKind::First}) {
            const TWPDocument &doc = m_doc;
            PlacePictures(doc.Header(s, kind));
            PlacePictures(doc.Footer(s, kind));
        }
    for (int i = 0; i < m_doc.FootnoteCount(); ++i)
        PlacePictures(m_doc.Footnote(i));
    m_doc.Text()->setUndoRedoEnabled(true);
    m_doc.Text()->setModified(false);
    result.Ok = true;
    result.SkippedGroups = m_skippedGroups;
    return result;
}

} // namespace

bool TWPRTFReader::IsRTF(const QByteArray &data)
{
    qsizetype i = 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return data.mid(i, 5) == "{\\rtf";
}

TWPRTFReadResult TWPRTFReader::Read(const QByteArray &data, TWPDocument &doc)
{
    if (!IsRTF(data)) {
        TWPRTFReadResult r;
        r.Error = u"Not an RTF document"_qs;
        return r;
    }
    struct Bulk
    {
        TWPDocument &doc;
        explicit Bulk(TWPDocument &d) : doc(d) { doc.BeginBulkLoad(); }
        ~Bulk() { doc.EndBulkLoad(); }
    } bulk(doc);
    Reader reader(data, doc);
    return reader.Run();
}

} // namespace zor
