#include "WPOneStyleDlg.h"

#include "WPStyleForms_p.h"
#include "ui_WPOneStyleDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>

#include <QSet>
#include <QTextBlock>
#include <QTextDocument>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPOneStyleDlg> registerOneStyle("TWPOneStyleDlg");

constexpr Qt::Alignment kAligns[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
constexpr int kMaxIndent = 31680;
constexpr int kMaxBasedOn = 32; // links followed; a chain that long is a loop

double unitsToPoints(qreal units) { return units * 0.75; }

} // namespace

// ---- the form ----------------------------------------------------------

struct WPOneStyleForm::Private
{
    Ui::WPOneStyleDlg ui;
    TWPLengthUnit unit = WPLengthUnit(true);
    QStringList others;
    bool nameEditable = true;
    TWPStyle loaded;
    QTextCharFormat cf0;  // the loaded formats: keys the form does not
    QTextBlockFormat bf0; // show, and the exact values it shows rounded
    double spins0[5] = {};

    QDoubleSpinBox *spin(int i) const
    {
        QDoubleSpinBox *boxes[] = {ui.spIndentLeft, ui.spIndentRight, ui.spIndentFirst, ui.spSpaceBefore,
                                   ui.spSpaceAfter};
        return boxes[i];
    }
};

WPOneStyleForm::WPOneStyleForm(QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>())
{
    Ui::WPOneStyleDlg &ui = d->ui;
    ui.setupUi(this);
    connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ui.cbFont->setEditable(true);
    WPFillColorBox(ui.cbColor, QStringLiteral("-"));
    for (int i = 0; i < 3; ++i)
        WPSetUnit(d->spin(i), d->unit, -kMaxIndent, kMaxIndent);
    connect(ui.cbKind, &QComboBox::currentIndexChanged, this,
            [this](int kind) { d->ui.grpParagraph->setEnabled(kind == 0); });
    connect(ui.edName, &QLineEdit::textChanged, this, [this] { d->ui.lblError->clear(); });
}

WPOneStyleForm::~WPOneStyleForm() = default;

void WPOneStyleForm::Load(const TWPStyle &style, const QStringList &others, bool nameEditable)
{
    Ui::WPOneStyleDlg &ui = d->ui;
    d->loaded = style;
    d->others = others;
    d->nameEditable = nameEditable;
    ui.edName->setText(style.Name);
    ui.edName->setReadOnly(!nameEditable);
    ui.cbKind->setCurrentIndex(style.IsCharStyle ? 1 : 0);
    ui.grpParagraph->setEnabled(!style.IsCharStyle);
    ui.cbBasedOn->clear();
    ui.cbBasedOn->addItem(QStringLiteral("-"));
    ui.cbBasedOn->addItems(others);
    const int base = others.indexOf(style.BasedOn);
    ui.cbBasedOn->setCurrentIndex(base >= 0 ? base + 1 : 0);

    const QTextCharFormat cf = StyleTextToCharFormat(style.Text);
    const QTextBlockFormat bf = StyleTextToBlockFormat(style.Text);
    d->cf0 = cf;
    d->bf0 = bf;
    const QStringList families = cf.fontFamilies().toStringList();
    ui.cbFont->setEditText(families.value(0));
    ui.spSize->setValue(cf.hasProperty(QTextFormat::FontPointSize) ? cf.fontPointSize() : 0);
    WPSelectColor(ui.cbColor, cf.hasProperty(QTextFormat::ForegroundBrush) ? cf.foreground().color() : QColor());
    const auto tri = [](QCheckBox *box, bool has, bool on) {
        box->setCheckState(!has ? Qt::PartiallyChecked : on ? Qt::Checked : Qt::Unchecked);
    };
    tri(ui.chkBold, cf.hasProperty(QTextFormat::FontWeight), cf.fontWeight() >= QFont::DemiBold);
    tri(ui.chkItalic, cf.hasProperty(QTextFormat::FontItalic), cf.fontItalic());
    tri(ui.chkUnderline, cf.hasProperty(QTextFormat::TextUnderlineStyle) || cf.hasProperty(QTextFormat::FontUnderline),
        cf.fontUnderline());
    tri(ui.chkStrikeOut, cf.hasProperty(QTextFormat::FontStrikeOut), cf.fontStrikeOut());
    int align = 0;
    if (bf.hasProperty(QTextFormat::BlockAlignment))
        for (int i = 0; i < 4; ++i)
            if ((bf.alignment() & Qt::AlignHorizontal_Mask) == kAligns[i])
                align = i + 1;
    ui.cbAlignment->setCurrentIndex(align);
    WPSetSpinTwips(ui.spIndentLeft, d->unit, UnitsToTwips(bf.leftMargin()));
    WPSetSpinTwips(ui.spIndentRight, d->unit, UnitsToTwips(bf.rightMargin()));
    WPSetSpinTwips(ui.spIndentFirst, d->unit, UnitsToTwips(bf.textIndent()));
    ui.spSpaceBefore->setValue(unitsToPoints(bf.topMargin()));
    ui.spSpaceAfter->setValue(unitsToPoints(bf.bottomMargin()));
    for (int i = 0; i < 5; ++i)
        d->spins0[i] = d->spin(i)->value();
    ui.lblError->clear();
}

TWPStyle WPOneStyleForm::Style() const
{
    const Ui::WPOneStyleDlg &ui = d->ui;
    TWPStyle s;
    s.Name = ui.edName->text().trimmed();
    s.IsCharStyle = ui.cbKind->currentIndex() == 1;
    s.BasedOn = ui.cbBasedOn->currentIndex() > 0 ? ui.cbBasedOn->currentText() : QString();
    QTextCharFormat cf;
    if (!ui.cbFont->currentText().trimmed().isEmpty())
        cf.setFontFamilies(QStringList{ui.cbFont->currentText().trimmed().remove(u';').remove(u'=')});
    if (ui.spSize->value() > 0)
        cf.setFontPointSize(ui.spSize->value());
    if (const QColor color = WPBoxColor(ui.cbColor); color.isValid())
        cf.setForeground(color);
    if (d->cf0.hasProperty(QTextFormat::BackgroundBrush))
        cf.setBackground(d->cf0.background());
    if (ui.chkBold->checkState() != Qt::PartiallyChecked)
        cf.setFontWeight(ui.chkBold->isChecked() ? QFont::Bold : QFont::Normal);
    if (ui.chkItalic->checkState() != Qt::PartiallyChecked)
        cf.setFontItalic(ui.chkItalic->isChecked());
    if (ui.chkUnderline->checkState() != Qt::PartiallyChecked)
        cf.setFontUnderline(ui.chkUnderline->isChecked());
    if (ui.chkStrikeOut->checkState() != Qt::PartiallyChecked)
        cf.setFontStrikeOut(ui.chkStrikeOut->isChecked());
    QTextBlockFormat bf;
    if (!s.IsCharStyle) {
        if (ui.cbAlignment->currentIndex() > 0)
            bf.setAlignment(kAligns[std::clamp(ui.cbAlignment->currentIndex() - 1, 0, 3)]);
        const int props[] = {QTextFormat::BlockLeftMargin, QTextFormat::BlockRightMargin, QTextFormat::TextIndent,
                             QTextFormat::BlockTopMargin, QTextFormat::BlockBottomMargin};
        for (int i = 0; i < 5; ++i) {
            const QDoubleSpinBox *box = d->spin(i);
            // A value as loaded keeps its exact twips; a key the style had stays.
            if (box->value() == d->spins0[i]) {
                if (d->bf0.hasProperty(props[i]))
                    bf.setProperty(props[i], d->bf0.doubleProperty(props[i]));
                continue;
            }
            const double units = i < 3 ? TwipsToUnits(WPSpinTwips(box, d->unit)) : box->value() / 0.75;
            bf.setProperty(props[i], units);
        }
    }
    s.Text = StyleTextFromFormats(cf, bf);
    return s;
}

void WPOneStyleForm::accept()
{
    const QString name = d->ui.edName->text().trimmed();
    if (name.isEmpty()) {
        d->ui.lblError->setText(TWPOneStyleDlg::tr("Please give the style a name."));
        return;
    }
    if (name.contains(u';') || name.contains(u'=')) {
        d->ui.lblError->setText(TWPOneStyleDlg::tr("A style name cannot hold \";\" or \"=\"."));
        return;
    }
    if (d->nameEditable && d->others.contains(name, Qt::CaseInsensitive)) {
        d->ui.lblError->setText(TWPOneStyleDlg::tr("There is a style of this name already."));
        return;
    }
    QDialog::accept();
}

// ---- applying styles -----------------------------------------------------

QString WPResolvedStyleText(const TWPDocument &doc, const QString &name)
{
    QStringList texts;
    QSet<QString> seen;
    const TWPStyle *s = doc.FindStyle(name);
    while (s && !seen.contains(s->Name.toLower()) && texts.size() < kMaxBasedOn) {
        seen.insert(s->Name.toLower());
        texts.prepend(s->Text);
        s = s->BasedOn.isEmpty() ? nullptr : doc.FindStyle(s->BasedOn);
    }
    return texts.join(u';');
}

void WPApplyStyle(TWPDocument &doc, const QTextCursor &cursor, const TWPStyle &style)
{
    const QString text = WPResolvedStyleText(doc, style.Name).isEmpty() ? style.Text
                                                                        : WPResolvedStyleText(doc, style.Name);
    const QTextCharFormat cf = StyleTextToCharFormat(text);
    QTextCursor c = cursor;
    c.beginEditBlock();
    if (style.IsCharStyle) {
        WPChangeCharFormats(c, [&](QTextCharFormat &f) {
            f.merge(cf);
            f.setProperty(wpStyleName, style.Name);
        });
    } else {
        const QTextBlockFormat bf = StyleTextToBlockFormat(text);
        WPChangeBlockFormats(c, [&](QTextBlockFormat &f) {
            f.merge(bf);
            f.setProperty(wpStyleName, style.Name);
        });
        if (!cf.properties().isEmpty()) {
            QTextCursor span = WPBlockSpan(c);
            WPChangeCharFormats(span, [&](QTextCharFormat &f) { f.merge(cf); });
        }
    }
    c.endEditBlock();
}

void WPReapplyStyle(TWPDocument &doc, const TWPStyle &style)
{
    QTextDocument *text = doc.Text();
    const auto named = [&style](const QTextFormat &f) {
        return f.hasProperty(wpStyleName) && f.stringProperty(wpStyleName).compare(style.Name, Qt::CaseInsensitive) == 0;
    };
    std::vector<std::pair<int, int>> ranges;
    for (QTextBlock b = text->begin(); b.isValid(); b = b.next()) {
        if (!style.IsCharStyle) {
            if (named(b.blockFormat()))
                ranges.emplace_back(b.position(), b.position());
            continue;
        }
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (named(it.fragment().charFormat()))
                ranges.emplace_back(it.fragment().position(), it.fragment().position() + it.fragment().length());
    }
    QTextCursor edit(text);
    edit.beginEditBlock();
    for (const auto &[from, to] : ranges) {
        QTextCursor c(text);
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        WPApplyStyle(doc, c, style);
    }
    edit.endEditBlock();
}

// ---- the dialog ----------------------------------------------------------

TWPOneStyleDlg::TWPOneStyleDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPOneStyleDlg::~TWPOneStyleDlg() = default;

QString TWPOneStyleDlg::StyleName() const { return m_name; }
void TWPOneStyleDlg::SetStyleName(const QString &name) { m_name = name; }

bool TWPOneStyleDlg::Execute()
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    TWPDocument &doc = editor->Document();
    const QTextCursor c = editor->TextCursor();
    QString name = m_name;
    if (name.isEmpty())
        name = c.blockFormat().stringProperty(wpStyleName);
    const TWPStyle *existing = name.isEmpty() ? nullptr : doc.FindStyle(name);
    TWPStyle style;
    if (existing) {
        style = *existing;
    } else {
        // A new style: named as asked, looking like the caret's text.
        style.Name = name;
        style.Text = StyleTextFromFormats(c.charFormat(), c.blockFormat());
        if (!MayEdit(WPBlockSpan(c)))
            return false;
    }
    QStringList others;
    for (const TWPStyle &s : doc.Styles())
        if (s.Name.compare(style.Name, Qt::CaseInsensitive) != 0)
            others << s.Name;
    WPOneStyleForm form(ParentWindow());
    form.Load(style, others, !existing);
    if (!Run(form))
        return false;
    const TWPStyle edited = form.Style();
    doc.SetStyle(edited);
    if (existing)
        WPReapplyStyle(doc, edited);
    else
        WPApplyStyle(doc, c, edited);
    editor->SetModified(true);
    editor->SetTextCursor(editor->TextCursor());
    return true;
}

} // namespace zor
