#include "Document.h"
#include "PicturePlacement.h"

#include <ZorCompCore/imaging/Graphic.h>

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QLocale>
#include <QMap>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextObjectInterface>
#include <QUrl>

#include <algorithm>

namespace zor {

QColor TColorToQColor(TColor c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

TColor QColorToTColor(const QColor &c)
{
    return TColor(c.red()) | (TColor(c.green()) << 8) | (TColor(c.blue()) << 16);
}

int UnitsToTwips(qreal units)
{
    return qRound(units * 15.0);
}

// ---- style text ------------------------------------------------------------

namespace {

struct AlignName
{
    Qt::Alignment align;
    const char *name;
};
constexpr AlignName kAligns[] = {
    {Qt::AlignLeft, "Left"}, {Qt::AlignHCenter, "Center"},
    {Qt::AlignRight, "Right"}, {Qt::AlignJustify, "Justify"},
};

QString colorText(const QColor &c)
{
    return c.name(QColor::HexRgb).toUpper();
}

// Calls fn(key, value) for each "Key=Value" pair; pairs without '=' are ignored.
template <class Fn>
void forEachPair(const QString &text, Fn fn)
{
    const auto pairs = QStringView(text).split(u';', Qt::SkipEmptyParts);
    for (QStringView pair : pairs) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq <= 0)
            continue;
        fn(pair.left(eq).trimmed().toString(), pair.mid(eq + 1).trimmed().toString());
    }
}

bool boolValue(const QString &v)
{
    return v == u"1" || v.compare(u"true", Qt::CaseInsensitive) == 0;
}

} // namespace

QTextCharFormat StyleTextToCharFormat(const QString &text)
{
    QTextCharFormat cf;
    forEachPair(text, [&](const QString &key, const QString &value) {
        bool ok = false;
        if (key.compare(u"Font", Qt::CaseInsensitive) == 0 && !value.isEmpty()) {
            cf.setFontFamilies(QStringList{value});
        } else if (key.compare(u"Size", Qt::CaseInsensitive) == 0) {
            const double pt = value.toDouble(&ok);
            if (ok && pt > 0 && pt <= 1638)
                cf.setFontPointSize(pt);
        } else if (key.compare(u"Bold", Qt::CaseInsensitive) == 0) {
            cf.setFontWeight(boolValue(value) ? QFont::Bold : QFont::Normal);
        } else if (key.compare(u"Italic", Qt::CaseInsensitive) == 0) {
            cf.setFontItalic(boolValue(value));
        } else if (key.compare(u"Underline", Qt::CaseInsensitive) == 0) {
            cf.setFontUnderline(boolValue(value));
        } else if (key.compare(u"StrikeOut", Qt::CaseInsensitive) == 0) {
            cf.setFontStrikeOut(boolValue(value));
        } else if (key.compare(u"Color", Qt::CaseInsensitive) == 0) {
            const QColor c = QColor::fromString(value);
            if (c.isValid())
                cf.setForeground(c);
        } else if (key.compare(u"BgColor", Qt::CaseInsensitive) == 0) {
            const QColor c = QColor::fromString(value);
            if (c.isValid())
                cf.setBackground(c);
        }
    });
    return cf;
}

QTextBlockFormat StyleTextToBlockFormat(const QString &text)
{
    QTextBlockFormat bf;
    forEachPair(text, [&](const QString &key, const QString &value) {
        bool ok = false;
        const int twips = value.toInt(&ok);
        if (key.compare(u"Align", Qt::CaseInsensitive) == 0) {
            for (const AlignName &a : kAligns)
                if (value.compare(QLatin1String(a.name), Qt::CaseInsensitive) == 0)
                    bf.setAlignment(a.align);
        } else if (!ok || twips < -31680 || twips > 31680) {
            return; // beyond 22 inches nothing sensible is meant
        } else if (key.compare(u"IndentLeft", Qt::CaseInsensitive) == 0) {
            bf.setLeftMargin(TwipsToUnits(twips));
        } else if (key.compare(u"IndentRight", Qt::CaseInsensitive) == 0) {
            bf.setRightMargin(TwipsToUnits(twips));
        } else if (key.compare(u"IndentFirst", Qt::CaseInsensitive) == 0) {
            bf.setTextIndent(TwipsToUnits(twips));
        } else if (key.compare(u"SpaceBefore", Qt::CaseInsensitive) == 0) {
            bf.setTopMargin(TwipsToUnits(twips));
        } else if (key.compare(u"SpaceAfter", Qt::CaseInsensitive) == 0) {
            bf.setBottomMargin(TwipsToUnits(twips));
        }
    });
    return bf;
}

QString StyleTextFromFormats(const QTextCharFormat &cf, const QTextBlockFormat &bf)
{
    QStringList parts;
    const QStringList families = cf.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        parts << u"Font="_qs + families.first();
    if (cf.hasProperty(QTextFormat::FontPointSize))
        parts << u"Size="_qs + QString::number(cf.fontPointSize());
    if (cf.hasProperty(QTextFormat::FontWeight))
        parts << (cf.fontWeight() >= QFont::DemiBold ? u"Bold=1"_qs : u"Bold=0"_qs);
    if (cf.hasProperty(QTextFormat::FontItalic))
        parts << (cf.fontItalic() ? u"Italic=1"_qs : u"Italic=0"_qs);
    if (cf.hasProperty(QTextFormat::TextUnderlineStyle) || cf.hasProperty(QTextFormat::FontUnderline))
        parts << (cf.fontUnderline() ? u"Underline=1"_qs : u"Underline=0"_qs);
    if (cf.hasProperty(QTextFormat::FontStrikeOut))
        parts << (cf.fontStrikeOut() ? u"StrikeOut=1"_qs : u"StrikeOut=0"_qs);
    if (cf.hasProperty(QTextFormat::ForegroundBrush))
        parts << u"Color="_qs + colorText(cf.foreground().color());
    if (cf.hasProperty(QTextFormat::BackgroundBrush))
        parts << u"BgColor="_qs + colorText(cf.background().color());
    if (bf.hasProperty(QTextFormat::BlockAlignment)) {
        const Qt::Alignment h = bf.alignment() & Qt::AlignHorizontal_Mask;
        for (const AlignName &a : kAligns)
            if (h == a.align)
                parts << u"Align="_qs + QLatin1String(a.name);
    }
    const auto twips = [&](int prop, const char *key) {
        if (bf.hasProperty(prop))
            parts << QLatin1String(key) + u'=' + QString::number(UnitsToTwips(bf.doubleProperty(prop)));
    };
    twips(QTextFormat::BlockLeftMargin, "IndentLeft");
    twips(QTextFormat::BlockRightMargin, "IndentRight");
    twips(QTextFormat::TextIndent, "IndentFirst");
    twips(QTextFormat::BlockTopMargin, "SpaceBefore");
    twips(QTextFormat::BlockBottomMargin, "SpaceAfter");
    return parts.join(u';');
}

// ---- fields ----------------------------------------------------------------

namespace {

// Draws field objects: their text in the field's character format, measured
// the same way so that lines break where the drawn text ends.
class TWPFieldHandler : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    TWPFieldHandler(std::function<TWPFieldContext()> context, QObject *parent)
        : QObject(parent), m_context(std::move(context))
    {
    }

    // An inline object stands on the baseline (it has no descent), so it is
    // as high as the font's ascent: drawn from its top, the field's text then
    // shares the baseline of the text around it instead of riding above it.
    QSizeF intrinsicSize(QTextDocument *doc, int, const QTextFormat &format) override
    {
        const QFontMetricsF fm(format.toCharFormat().font(), doc->documentLayout()->paintDevice());
        return QSizeF(fm.horizontalAdvance(text(format)), fm.ascent());
    }

    // Through a QTextLayout made for the layout's paint device, as the
    // document's own text is drawn: a painter's font would be sized for the
    // painter's device (a PDF's 1200 dpi) and then scaled once more.
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *doc, int,
                    const QTextFormat &format) override
    {
        const QTextCharFormat cf = format.toCharFormat();
        QTextLayout layout(text(format), cf.font(), doc->documentLayout()->paintDevice());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        painter->save();
        if (cf.hasProperty(QTextFormat::ForegroundBrush))
            painter->setPen(cf.foreground().color());
        layout.draw(painter, rect.topLeft());
        painter->restore();
    }

private:
    QString text(const QTextFormat &format) const
    {
        return TWPDocument::FieldText(format, m_context ? m_context() : TWPFieldContext{});
    }
    std::function<TWPFieldContext()> m_context;
};

} // namespace

void RegisterFieldHandler(QTextDocument *text, std::function<TWPFieldContext()> context)
{
    text->documentLayout()->registerHandler(WPFieldObjectType,
                                            new TWPFieldHandler(std::move(context), text));
    RegisterPictureHandler(text);
}

void RegisterFieldHandler(QTextDocument *text, const TWPDocument *owner)
{
    RegisterFieldHandler(text, [owner] { return owner ? owner->FieldContext() : TWPFieldContext{}; });
}

QString TWPDocument::FieldText(const QTextFormat &field, const TWPFieldContext &ctx)
{
    const auto kind = TWPFieldKind(field.intProperty(wpFieldKind));
    const QString name = field.stringProperty(wpFieldName);
    const QString fmt = field.stringProperty(wpFieldFormat);
    const QDateTime now = ctx.Now.isValid() ? ctx.Now : QDateTime::currentDateTime();
    switch (kind) {
    case TWPFieldKind::Page: return QString::number(ctx.Page);
    case TWPFieldKind::NumPages: return QString::number(ctx.PageCount);
    case TWPFieldKind::NextPage:
        return ctx.Page < ctx.PageCount ? QString::number(ctx.Page + 1) : QString();
    case TWPFieldKind::PriorPage: return ctx.Page > 1 ? QString::number(ctx.Page - 1) : QString();
    case TWPFieldKind::Date:
        return fmt.isEmpty() ? QLocale().toString(now.date(), QLocale::ShortFormat)
                             : now.toString(fmt);
    case TWPFieldKind::Time:
        return fmt.isEmpty() ? QLocale().toString(now.time(), QLocale::ShortFormat)
                             : now.toString(fmt);
    case TWPFieldKind::Merge:
        if (ctx.Value)
            return ctx.Value(name);
        return u"<<"_qs + name + u">>"_qs;
    case TWPFieldKind::Named:
        if (ctx.Value)
            return ctx.Value(name);
        return field.stringProperty(wpFieldResult);
    case TWPFieldKind::Form:
        return field.stringProperty(wpFieldResult);
    case TWPFieldKind::Footnote:
        return QString::number(field.intProperty(wpFootnote) + 1);
    }
    return field.stringProperty(wpFieldResult);
}

// ---- the document ----------------------------------------------------------

namespace {

struct Section
{
    TWPPageSetup Page;
    std::unique_ptr<QTextDocument> Headers[3]; // by TWPHeaderKind
    std::unique_ptr<QTextDocument> Footers[3];
};

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

class TWPDocumentPrivate
{
public:
    std::unique_ptr<QTextDocument> text;
    std::vector<Section> sections;
    std::vector<TWPStyle> styles;
    std::vector<TWPBookmark> bookmarks;
    std::vector<std::unique_ptr<QTextDocument>> footnotes;
    QMap<QString, QByteArray> dataItems;
    QMap<QString, QString> info;
    QHash<QString, TWPPicture> pictures;
    int nextPicture = 1;
    TWPFieldContext fieldContext;

    // Keeps bookmark positions on the same characters when text changes.
    // Equal removed and added counts are format changes, which move nothing.
    void shiftBookmarks(int position, int removed, int added)
    {
        // A new layout reports the whole text as added; nothing moved. A
        // bulk load reports its edits as one, after placing its bookmarks.
        if (removed == added || switchingLayout || bulk)
            return;
        const auto move = [&](int &p, bool isStart) {
            if (p < position)
                return;
            if (p < position + removed)
                p = position; // inside the removed text
            else if (p > position || isStart)
                p += added - removed;
        };
        for (TWPBookmark &b : bookmarks) {
            move(b.Start, true);
            move(b.End, false);
            if (b.End < b.Start)
                b.End = b.Start;
        }
    }

    // Handlers ask the private part, which Swap hands over with the texts.
    // They go onto each layout the text gets (see BeginBulkLoad).
    void registerHandler(QTextDocument *t)
    {
        QObject::connect(t, &QTextDocument::documentLayoutChanged, t, [this, t] {
            // Asking for the layout while the old one is being dropped would
            // create one at once and lay the whole text out twice.
            if (!bulk && !droppingLayout)
                RegisterFieldHandler(t, [this] { return fieldContext; });
        });
        t->documentLayout(); // edits report their changes only to a text with a layout
    }
    bool bulk = false;
    bool switchingLayout = false;
    bool droppingLayout = false;

    QTextDocument *newSubText()
    {
        auto *t = new QTextDocument;
        t->setUndoRedoEnabled(false);
        registerHandler(t);
        return t;
    }
};

TWPDocument::TWPDocument() : d(std::make_unique<TWPDocumentPrivate>())
{
    d->text = std::make_unique<QTextDocument>();
    d->registerHandler(d->text.get());
    QObject::connect(d->text.get(), &QTextDocument::contentsChange, d->text.get(),
                     [p = d.get()](int pos, int removed, int added) {
                         p->shiftBookmarks(pos, removed, added);
                     });
    d->sections.emplace_back();
}

TWPDocument::~TWPDocument() = default;

void TWPDocument::Swap(TWPDocument &other)
{
    std::swap(d, other.d);
}

QTextDocument *TWPDocument::Text() const
{
    return d->text.get();
}

void TWPDocument::Clear()
{
    d->text->clear();
    d->sections.clear();
    d->sections.emplace_back();
    d->styles.clear();
    d->bookmarks.clear();
    d->footnotes.clear();
    d->dataItems.clear();
    d->info.clear();
    d->pictures.clear();
    d->nextPicture = 1;
}

namespace {

// Takes the changes of a bulk load without laying anything out: the real
// layout lays out a little after every change, which makes inserting a long
// document piece by piece quadratic.
class TWPNullLayout : public QAbstractTextDocumentLayout
{
public:
    using QAbstractTextDocumentLayout::QAbstractTextDocumentLayout;
    void draw(QPainter *, const PaintContext &) override {}
    int hitTest(const QPointF &, Qt::HitTestAccuracy) const override { return -1; }
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override { return {}; }
    QRectF frameBoundingRect(QTextFrame *) const override { return {}; }
    QRectF blockBoundingRect(const QTextBlock &) const override { return {}; }

protected:
    void documentChanged(int, int, int) override {}
};

} // namespace

void TWPDocument::BeginBulkLoad()
{
    if (d->bulk)
        return;
    d->bulk = true;
    d->switchingLayout = true;
    d->text->setDocumentLayout(new TWPNullLayout(d->text.get()));
    d->switchingLayout = false;
}

void TWPDocument::EndBulkLoad()
{
    if (!d->bulk)
        return;
    d->bulk = false;
    // A new layout of the usual kind; it lays out when first asked.
    d->switchingLayout = true;
    d->droppingLayout = true;
    d->text->setDocumentLayout(nullptr);
    d->droppingLayout = false;
    d->text->documentLayout();
    d->switchingLayout = false;
}

int TWPDocument::AddFootnote()
{
    d->footnotes.emplace_back(d->newSubText());
    return int(d->footnotes.size()) - 1;
}

int TWPDocument::FootnoteCount() const
{
    return int(d->footnotes.size());
}

QTextDocument *TWPDocument::Footnote(int index) const
{
    return index >= 0 && size_t(index) < d->footnotes.size() ? d->footnotes[size_t(index)].get() : nullptr;
}

int TWPDocument::SectionCount() const
{
    return int(d->sections.size());
}

TWPPageSetup &TWPDocument::PageSetup(int section)
{
    return d->sections.at(size_t(section)).Page;
}

const TWPPageSetup &TWPDocument::PageSetup(int section) const
{
    return d->sections.at(size_t(section)).Page;
}

QTextDocument *TWPDocument::Header(int section, TWPHeaderKind kind)
{
    auto &t = d->sections.at(size_t(section)).Headers[std::clamp(int(kind), 0, 2)];
    if (!t)
        t.reset(d->newSubText());
    return t.get();
}

QTextDocument *TWPDocument::Footer(int section, TWPHeaderKind kind)
{
    auto &t = d->sections.at(size_t(section)).Footers[std::clamp(int(kind), 0, 2)];
    if (!t)
        t.reset(d->newSubText());
    return t.get();
}

QTextDocument *TWPDocument::Header(int section, TWPHeaderKind kind) const
{
    return d->sections.at(size_t(section)).Headers[std::clamp(int(kind), 0, 2)].get();
}

QTextDocument *TWPDocument::Footer(int section, TWPHeaderKind kind) const
{
    return d->sections.at(size_t(section)).Footers[std::clamp(int(kind), 0, 2)].get();
}

QTextDocument *TWPDocument::Header(int section) { return Header(section, TWPHeaderKind::All); }
QTextDocument *TWPDocument::Footer(int section) { return Footer(section, TWPHeaderKind::All); }
QTextDocument *TWPDocument::Header(int section) const { return Header(section, TWPHeaderKind::All); }
QTextDocument *TWPDocument::Footer(int section) const { return Footer(section, TWPHeaderKind::All); }

int TWPDocument::AddSection(const QTextCursor &at)
{
    QTextBlock block = at.block();
    if (!block.isValid() || block.blockNumber() == 0)
        return 0;
    Section s;
    s.Page = d->sections.at(size_t(SectionAt(block.position()))).Page;
    const int index = int(d->sections.size());
    d->sections.push_back(std::move(s));
    QTextCursor c(block);
    QTextBlockFormat bf;
    bf.setProperty(wpSectionIndex, index);
    c.mergeBlockFormat(bf);
    return index;
}

int TWPDocument::SectionAt(int position) const
{
    int current = 0;
    for (QTextBlock b = d->text->begin(); b.isValid() && b.position() <= position; b = b.next()) {
        const QTextBlockFormat bf = b.blockFormat();
        if (bf.hasProperty(wpSectionIndex)) {
            const int n = bf.intProperty(wpSectionIndex);
            // Later sections only: a mark copied onto the next block by an
            // edit does not start a section again.
            if (n > current && n < SectionCount())
                current = n;
        }
    }
    return current;
}

const std::vector<TWPStyle> &TWPDocument::Styles() const
{
    return d->styles;
}

void TWPDocument::SetStyle(const TWPStyle &style)
{
    for (TWPStyle &s : d->styles) {
        if (sameName(s.Name, style.Name)) {
            s = style;
            return;
        }
    }
    d->styles.push_back(style);
}

const TWPStyle *TWPDocument::FindStyle(const QString &name) const
{
    for (const TWPStyle &s : d->styles)
        if (sameName(s.Name, name))
            return &s;
    return nullptr;
}

bool TWPDocument::RemoveStyle(const QString &name)
{
    const QString key = name; // name may be a style's own, about to go
    return std::erase_if(d->styles, [&key](const TWPStyle &s) { return sameName(s.Name, key); }) > 0;
}

bool TWPDocument::RemoveHeaderFooter(int section, TWPHeaderKind kind, bool footer)
{
    if (section < 0 || section >= SectionCount())
        return false;
    auto &parts = footer ? d->sections[size_t(section)].Footers : d->sections[size_t(section)].Headers;
    auto &part = parts[std::clamp(int(kind), 0, 2)];
    if (!part)
        return false;
    part.reset();
    return true;
}

const std::vector<TWPBookmark> &TWPDocument::Bookmarks() const
{
    return d->bookmarks;
}

void TWPDocument::AddBookmark(const QString &name, int start, int end)
{
    const int last = std::max(0, d->text->characterCount() - 1);
    start = std::clamp(start, 0, last);
    end = std::clamp(end, start, last);
    for (TWPBookmark &b : d->bookmarks) {
        if (sameName(b.Name, name)) {
            b = {name, start, end};
            return;
        }
    }
    d->bookmarks.push_back({name, start, end});
}

const TWPBookmark *TWPDocument::FindBookmark(const QString &name) const
{
    for (const TWPBookmark &b : d->bookmarks)
        if (sameName(b.Name, name))
            return &b;
    return nullptr;
}

QStringList TWPDocument::DataItemNames() const
{
    return d->dataItems.keys();
}

bool TWPDocument::HasDataItem(const QString &name) const
{
    return d->dataItems.contains(name);
}

QByteArray TWPDocument::DataItem(const QString &name) const
{
    return d->dataItems.value(name);
}

void TWPDocument::SetDataItem(const QString &name, const QByteArray &data)
{
    d->dataItems.insert(name, data);
}

QString TWPDocument::Info(const QString &key) const
{
    return d->info.value(key.toLower());
}

void TWPDocument::SetInfo(const QString &key, const QString &value)
{
    const QString k = key.toLower();
    if (value.isEmpty())
        d->info.remove(k);
    else
        d->info.insert(k, value);
    if (k == u"title")
        d->text->setMetaInformation(QTextDocument::DocumentTitle, value);
}

QStringList TWPDocument::InfoKeys() const
{
    return d->info.keys();
}

QString TWPDocument::AddPicture(const QByteArray &data, const QString &kind)
{
    QImage image;
    try {
        const TGraphic g = TGraphic::Load(data);
        const QSize size = g.Size();
        if (size.isEmpty())
            return {};
        image = g.IsVector() ? g.ToImage(size, false) : g.Image();
    } catch (const std::exception &) {
        return {};
    }
    if (image.isNull())
        return {};
    const QString name = u"zorpict:"_qs + QString::number(d->nextPicture++);
    d->pictures.insert(name, TWPPicture{data, kind});
    d->text->addResource(QTextDocument::ImageResource, QUrl(name), image);
    return name;
}

const TWPPicture *TWPDocument::Picture(const QString &name) const
{
    const auto it = d->pictures.constFind(name);
    return it == d->pictures.cend() ? nullptr : &it.value();
}

QStringList TWPDocument::PictureNames() const
{
    QStringList names = d->pictures.keys();
    names.sort();
    return names;
}

void TWPDocument::InsertPicture(QTextCursor &cursor, const QString &name, QSizeF size)
{
    QTextImageFormat f;
    f.setName(name);
    f.setProperty(wpPictureName, name);
    if (size.isValid() && !size.isEmpty()) {
        f.setWidth(size.width());
        f.setHeight(size.height());
    }
    cursor.insertImage(f);
}

void TWPDocument::InsertField(QTextCursor &cursor, TWPFieldKind kind, const QString &name,
                              const QString &format, const QTextCharFormat &base)
{
    QTextCharFormat f = base;
    f.setObjectType(WPFieldObjectType);
    f.setProperty(wpFieldKind, int(kind));
    if (!name.isEmpty())
        f.setProperty(wpFieldName, name);
    if (!format.isEmpty())
        f.setProperty(wpFieldFormat, format);
    f.setProperty(wpFieldResult, FieldText(f, d->fieldContext));
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), f);
}

void TWPDocument::SetFieldContext(const TWPFieldContext &context)
{
    d->fieldContext = context;
}

const TWPFieldContext &TWPDocument::FieldContext() const
{
    return d->fieldContext;
}

bool TWPDocument::CanEdit(int position, int length) const
{
    const auto isProtected = [this](int pos) {
        if (pos < 0 || pos >= d->text->characterCount() - 1)
            return false;
        const QTextBlock block = d->text->findBlock(pos);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (pos >= f.position() && pos < f.position() + f.length())
                return f.charFormat().boolProperty(wpProtected);
        }
        return false;
    };
    if (length <= 0)
        return !(isProtected(position - 1) && isProtected(position));
    for (int p = position; p < position + length; ++p)
        if (isProtected(p))
            return false;
    return true;
}

bool TWPDocument::CanEdit(const QTextCursor &cursor) const
{
    return CanEdit(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart());
}

TColor GetRTFDataColorValue(const TWPDocument &doc, const QString &name, TColor defaultColor)
{
    if (!doc.HasDataItem(name))
        return defaultColor;
    const QByteArray b = doc.DataItem(name);
    if (b.size() < 4)
        return defaultColor;
    return TColor(uchar(b[0])) | TColor(uchar(b[1])) << 8 | TColor(uchar(b[2])) << 16
           | TColor(uchar(b[3])) << 24;
}

void SetRTFDataColorValue(TWPDocument &doc, const QString &name, TColor color)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((color >> (8 * i)) & 0xFF);
    doc.SetDataItem(name, b);
}

} // namespace zor

#include "Document.moc"
