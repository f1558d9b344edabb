#include <ZorCompCore/richtext/actions/WPComboActions.h>

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QComboBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace zor {

namespace {

const int HTMLSizes[] = {8, 10, 12, 14, 18, 24, 36};
const int PointSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
// The largest point size a format takes from a box (QFont's limit is higher;
// nobody means more).
constexpr qreal MaxPointSize = 1638;

const Qt::Alignment Alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};

bool isColor(TWPComboKind k)
{
    return k == TWPComboKind::FontColor || k == TWPComboKind::BkColor || k == TWPComboKind::ParColor;
}

bool isParagraph(TWPComboKind k)
{
    return k == TWPComboKind::ParColor || k == TWPComboKind::ParAlignment || k == TWPComboKind::StyleNames;
}

} // namespace

QList<QPair<QString, QColor>> WPComboColors()
{
    static const QList<QPair<QString, QColor>> colors = {
        {QStringLiteral("Black"), QColor(0, 0, 0)},       {QStringLiteral("Maroon"), QColor(128, 0, 0)},
        {QStringLiteral("Green"), QColor(0, 128, 0)},     {QStringLiteral("Olive"), QColor(128, 128, 0)},
        {QStringLiteral("Navy"), QColor(0, 0, 128)},      {QStringLiteral("Purple"), QColor(128, 0, 128)},
        {QStringLiteral("Teal"), QColor(0, 128, 128)},    {QStringLiteral("Gray"), QColor(128, 128, 128)},
        {QStringLiteral("Silver"), QColor(192, 192, 192)}, {QStringLiteral("Red"), QColor(255, 0, 0)},
        {QStringLiteral("Lime"), QColor(0, 255, 0)},      {QStringLiteral("Yellow"), QColor(255, 255, 0)},
        {QStringLiteral("Blue"), QColor(0, 0, 255)},      {QStringLiteral("Fuchsia"), QColor(255, 0, 255)},
        {QStringLiteral("Aqua"), QColor(0, 255, 255)},    {QStringLiteral("White"), QColor(255, 255, 255)},
    };
    return colors;
}

TWPToolsCustomEditContolAction::TWPToolsCustomEditContolAction(TWPComboKind kind, QObject *parent)
    : TWPToolsAction(QStringLiteral("TWPToolsCustomEditContolAction"), -1, parent), m_kind(kind)
{
}

TWPToolsCustomEditContolAction::~TWPToolsCustomEditContolAction() = default;

int TWPToolsCustomEditContolAction::HTMLSizeToPoints(int size)
{
    return HTMLSizes[std::clamp(size, 1, 7) - 1];
}

int TWPToolsCustomEditContolAction::PointsToHTMLSize(qreal points)
{
    int best = 1;
    for (int i = 1; i <= 7; ++i)
        if (std::abs(HTMLSizes[i - 1] - points) < std::abs(HTMLSizes[best - 1] - points))
            best = i;
    return best;
}

QComboBox *TWPToolsCustomEditContolAction::Control() const { return m_combo; }

void TWPToolsCustomEditContolAction::SetControl(QComboBox *combo)
{
    if (m_combo == combo)
        return;
    if (m_combo)
        m_combo->disconnect(this);
    m_combo = combo;
    if (!combo)
        return;
    combo->setEditable(m_kind == TWPComboKind::FontSizeManual || m_kind == TWPComboKind::FontSize);
    combo->setInsertPolicy(QComboBox::NoInsert); // a size typed in is applied, not listed
    FillItems();
    connect(combo, &QComboBox::textActivated, this, [this](const QString &text) {
        if (!m_updating)
            ApplyText(text);
    });
    UpdateFor(Editor());
}

QStringList TWPToolsCustomEditContolAction::Items() const
{
    QStringList items;
    switch (m_kind) {
    case TWPComboKind::Fonts: case TWPComboKind::ScreenFonts: case TWPComboKind::PrinterFonts:
        items = QFontDatabase::families();
        break;
    case TWPComboKind::TrueTypeFonts:
        for (const QString &f : QFontDatabase::families())
            if (QFontDatabase::isScalable(f))
                items.append(f);
        break;
    case TWPComboKind::FontSize: case TWPComboKind::FontSizeManual:
        for (int s : PointSizes)
            items.append(QString::number(s));
        break;
    case TWPComboKind::HTMLFontSize:
        for (int s = 1; s <= 7; ++s)
            items.append(QString::number(s));
        break;
    case TWPComboKind::FontColor: case TWPComboKind::BkColor: case TWPComboKind::ParColor:
        items.append(AutomaticText);
        for (const auto &c : WPComboColors())
            items.append(c.first);
        break;
    case TWPComboKind::ParAlignment:
        items = AlignmentNames.split(u',');
        break;
    case TWPComboKind::StyleNames:
        if (TWPRichText *e = Editor())
            for (const TWPStyle &s : e->Document().Styles())
                items.append(s.Name);
        break;
    }
    return items;
}

void TWPToolsCustomEditContolAction::FillItems()
{
    if (!m_combo)
        return;
    m_updating = true;
    const QString text = m_combo->currentText();
    m_combo->clear();
    m_combo->addItems(Items());
    if (isColor(m_kind)) {
        const auto colors = WPComboColors();
        for (int i = 0; i < colors.size(); ++i)
            m_combo->setItemData(i + 1, colors[i].second, Qt::DecorationRole);
    }
    m_combo->setCurrentIndex(m_combo->findText(text));
    if (m_combo->isEditable())
        m_combo->setEditText(text);
    m_updating = false;
}

QString TWPToolsCustomEditContolAction::CurrentText(TWPRichText &e) const
{
    const QTextCursor c = e.TextCursor();
    const QTextCharFormat cf = c.charFormat();
    const QTextBlockFormat bf = c.blockFormat();
    switch (m_kind) {
    case TWPComboKind::Fonts: case TWPComboKind::ScreenFonts: case TWPComboKind::PrinterFonts:
    case TWPComboKind::TrueTypeFonts: {
        const QStringList families = cf.fontFamilies().toStringList();
        return families.isEmpty() ? e.Document().Text()->defaultFont().family() : families.first();
    }
    case TWPComboKind::FontSize: case TWPComboKind::FontSizeManual: {
        const qreal pt = cf.fontPointSize() > 0 ? cf.fontPointSize() : e.Document().Text()->defaultFont().pointSizeF();
        return QString::number(pt);
    }
    case TWPComboKind::HTMLFontSize: {
        const qreal pt = cf.fontPointSize() > 0 ? cf.fontPointSize() : e.Document().Text()->defaultFont().pointSizeF();
        return QString::number(PointsToHTMLSize(pt));
    }
    case TWPComboKind::FontColor: case TWPComboKind::BkColor: case TWPComboKind::ParColor: {
        const int prop = m_kind == TWPComboKind::FontColor ? QTextFormat::ForegroundBrush : QTextFormat::BackgroundBrush;
        const QTextFormat &f = m_kind == TWPComboKind::ParColor ? static_cast<const QTextFormat &>(bf) : cf;
        if (!f.hasProperty(prop))
            return AutomaticText;
        const QColor color = f.brushProperty(prop).color();
        for (const auto &named : WPComboColors())
            if (named.second.rgb() == color.rgb())
                return named.first;
        return color.name();
    }
    case TWPComboKind::ParAlignment: {
        const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
        const QStringList names = AlignmentNames.split(u',');
        for (int i = 0; i < 4; ++i)
            if (a == Alignments[i])
                return names.value(i);
        return names.value(0);
    }
    case TWPComboKind::StyleNames:
        return bf.stringProperty(wpStyleName);
    }
    return {};
}

bool TWPToolsCustomEditContolAction::IsEnabledFor(TWPRichText &e)
{
    return !e.ReadOnly();
}

void TWPToolsCustomEditContolAction::UpdateFor(TWPRichText *editor)
{
    TWPToolsAction::UpdateFor(editor);
    if (!m_combo)
        return;
    m_combo->setEnabled(isEnabled());
    if (!editor)
        return;
    if (m_kind == TWPComboKind::StyleNames && m_combo->count() != int(editor->Document().Styles().size()))
        FillItems();
    const QString text = CurrentText(*editor);
    m_updating = true;
    m_combo->setCurrentIndex(m_combo->findText(text));
    if (m_combo->isEditable())
        m_combo->setEditText(text);
    m_updating = false;
}

void TWPToolsCustomEditContolAction::ExecuteOn(TWPRichText &)
{
    if (m_combo)
        ApplyText(m_combo->currentText());
}

bool TWPToolsCustomEditContolAction::ApplyText(const QString &text)
{
    TWPRichText *e = Editor();
    if (!e || !IsEnabledFor(*e))
        return false;
    QTextCursor c = e->TextCursor();
    QTextCharFormat cf;
    QTextBlockFormat bf;
    bool clearColor = false;
    QColor color;
    switch (m_kind) {
    case TWPComboKind::Fonts: case TWPComboKind::ScreenFonts: case TWPComboKind::PrinterFonts:
    case TWPComboKind::TrueTypeFonts:
        if (text.trimmed().isEmpty())
            return false;
        cf.setFontFamilies(QStringList{text.trimmed()});
        break;
    case TWPComboKind::FontSize: case TWPComboKind::FontSizeManual: case TWPComboKind::HTMLFontSize: {
        bool ok = false;
        const qreal v = text.trimmed().toDouble(&ok);
        if (!ok || v <= 0 || v > MaxPointSize)
            return false;
        if (m_kind == TWPComboKind::HTMLFontSize) {
            if (v != std::floor(v) || v > 7)
                return false;
            cf.setFontPointSize(HTMLSizeToPoints(int(v)));
        } else {
            cf.setFontPointSize(v);
        }
        break;
    }
    case TWPComboKind::FontColor: case TWPComboKind::BkColor: case TWPComboKind::ParColor: {
        if (text == AutomaticText) {
            clearColor = true;
            break;
        }
        for (const auto &named : WPComboColors())
            if (named.first.compare(text, Qt::CaseInsensitive) == 0)
                color = named.second;
        if (!color.isValid())
            color = QColor::fromString(text);
        if (!color.isValid())
            return false;
        break;
    }
    case TWPComboKind::ParAlignment: {
        const int i = AlignmentNames.split(u',').indexOf(text);
        if (i < 0 || i >= 4)
            return false;
        bf.setAlignment(Alignments[i]);
        break;
    }
    case TWPComboKind::StyleNames: {
        const TWPStyle *style = e->Document().FindStyle(text);
        if (!style)
            return false;
        bf = StyleTextToBlockFormat(style->Text);
        bf.setProperty(wpStyleName, style->Name);
        cf = StyleTextToCharFormat(style->Text);
        break;
    }
    }

    const bool paragraph = isParagraph(m_kind);
    if (!MayEdit(*e, paragraph ? BlockSpan(c) : c))
        return false;
    c.beginEditBlock();
    if (m_kind == TWPComboKind::ParColor) {
        for (QTextBlock b = c.document()->findBlock(c.selectionStart()); b.isValid(); b = b.next()) {
            QTextCursor bc(b);
            QTextBlockFormat f = b.blockFormat();
            if (clearColor)
                f.clearBackground();
            else
                f.setBackground(color);
            bc.setBlockFormat(f);
            if (b.contains(c.selectionEnd()))
                break;
        }
    } else if (isColor(m_kind)) {
        const int prop = m_kind == TWPComboKind::FontColor ? QTextFormat::ForegroundBrush : QTextFormat::BackgroundBrush;
        if (clearColor) {
            // mergeCharFormat cannot remove a property: set each run's format without it.
            if (c.hasSelection()) {
                QTextCursor run(c.document());
                for (int pos = c.selectionStart(); pos < c.selectionEnd(); ++pos) {
                    run.setPosition(pos);
                    run.setPosition(pos + 1, QTextCursor::KeepAnchor);
                    QTextCharFormat f = run.charFormat();
                    f.clearProperty(prop);
                    run.setCharFormat(f);
                }
            } else {
                QTextCharFormat f = c.charFormat();
                f.clearProperty(prop);
                c.setCharFormat(f);
            }
        } else {
            cf.setProperty(prop, QBrush(color));
            c.mergeCharFormat(cf);
        }
    } else if (paragraph) {
        c.mergeBlockFormat(bf);
        if (m_kind == TWPComboKind::StyleNames) {
            QTextCursor span = BlockSpan(c);
            span.mergeCharFormat(cf);
        }
    } else {
        c.mergeCharFormat(cf);
    }
    c.endEditBlock();
    e->SetTextCursor(c);
    return true;
}

} // namespace zor
