#include "WPFontDlg.h"

#include "ui_WPFontDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QValidator>
#include <QTextBlock>
#include <QTextDocument>


namespace zor {

namespace {

const TWPDialogRegistrar<TWPFontDlg> registerFont("TWPFontDlg");

constexpr double kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

// One value over all runs of the selection, or none when they differ.
template <class T>
struct Common
{
    T value{};
    bool has = false;
    bool mixed = false;
    void add(const T &v)
    {
        if (!has)
            value = v, has = true;
        else if (!(value == v))
            mixed = true;
    }
    T or_(const T &none) const { return has && !mixed ? value : none; }
};

std::vector<QTextCharFormat> selectionFormats(const QTextCursor &c)
{
    std::vector<QTextCharFormat> formats;
    if (!c.hasSelection()) {
        formats.push_back(c.charFormat());
        return formats;
    }
    const int start = c.selectionStart(), end = c.selectionEnd();
    for (QTextBlock b = c.document()->findBlock(start); b.isValid() && b.position() < end; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() < end && f.position() + f.length() > start)
                formats.push_back(f.charFormat());
        }
    if (formats.empty())
        formats.push_back(c.charFormat());
    return formats;
}

QString familyOf(const QTextCharFormat &f)
{
    const QStringList families = f.fontFamilies().toStringList();
    return families.isEmpty() ? QString() : families.first();
}

QString sizeText(double pt)
{
    return QLocale().toString(pt, 'g', 4);
}

Qt::CheckState state(const Common<bool> &c)
{
    return c.mixed ? Qt::PartiallyChecked : c.or_(false) ? Qt::Checked : Qt::Unchecked;
}

class FontForm : public QDialog
{
public:
    Ui::WPFontDlg ui;
    // What the form showed first: only what differs from it is applied.
    QString family0, size0;
    int color0 = -1, position0 = -1, caps0 = -1;
    Qt::CheckState bold0{}, italic0{}, underline0{}, strike0{};

    explicit FontForm(QWidget *parent)
        : QDialog(parent)
    {
        ui.setupUi(this);
        connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
        ui.cbFont->setEditable(true);
        for (double s : kSizes)
            ui.cbSize->addItem(sizeText(s));
        ui.cbSize->setValidator(new QDoubleValidator(1, 1638, 1, ui.cbSize));
        WPFillColorBox(ui.cbColor, TWPFontDlg::tr("Automatic"));
        for (QCheckBox *box : {ui.chkBold, ui.chkItalic, ui.chkUnderline, ui.chkStrikeOut})
            connect(box, &QCheckBox::stateChanged, this, [this] { preview(); });
        for (QComboBox *box : {static_cast<QComboBox *>(ui.cbFont), ui.cbSize, ui.cbColor, ui.cbCaps, ui.cbPosition})
            connect(box, &QComboBox::currentTextChanged, this, [this] { preview(); });
        connect(ui.cbSize, &QComboBox::editTextChanged, this, [this] { preview(); });
        connect(ui.cbFont, &QComboBox::editTextChanged, this, [this] { preview(); });
    }

    // Runs without a family or size of their own show the text's default font.
    void load(const std::vector<QTextCharFormat> &formats, const QFont &base)
    {
        Common<QString> family, size;
        Common<QRgb> color; // 0: automatic (no colour of its own)
        Common<bool> bold, italic, underline, strike;
        Common<int> position, caps;
        bool anyAuto = false, anyColor = false;
        for (const QTextCharFormat &f : formats) {
            const QString ownFamily = familyOf(f);
            family.add(ownFamily.isEmpty() ? base.family() : ownFamily);
            size.add(f.hasProperty(QTextFormat::FontPointSize) ? sizeText(f.fontPointSize())
                     : base.pointSizeF() > 0                    ? sizeText(base.pointSizeF())
                                                                : QString());
            const bool own = f.hasProperty(QTextFormat::ForegroundBrush);
            (own ? anyColor : anyAuto) = true;
            color.add(own ? f.foreground().color().rgba() : 0);
            bold.add(f.fontWeight() >= QFont::DemiBold);
            italic.add(f.fontItalic());
            underline.add(f.fontUnderline());
            strike.add(f.fontStrikeOut());
            const auto va = f.verticalAlignment();
            position.add(va == QTextCharFormat::AlignSuperScript ? 1 : va == QTextCharFormat::AlignSubScript ? 2 : 0);
            const QFont::Capitalization cap = f.fontCapitalization();
            caps.add(cap == QFont::SmallCaps ? 1 : cap == QFont::AllUppercase ? 2 : 0);
        }
        ui.cbFont->setEditText(family.or_(QString()));
        ui.cbSize->setEditText(size.or_(QString()));
        if (color.mixed || (anyAuto && anyColor))
            ui.cbColor->setCurrentIndex(-1);
        else
            WPSelectColor(ui.cbColor, anyColor ? QColor::fromRgba(color.value) : QColor());
        for (auto [box, c] : {std::pair{ui.chkBold, &bold}, std::pair{ui.chkItalic, &italic},
                              std::pair{ui.chkUnderline, &underline}, std::pair{ui.chkStrikeOut, &strike}}) {
            box->setTristate(c->mixed);
            box->setCheckState(state(*c));
        }
        ui.cbPosition->setCurrentIndex(position.or_(-1));
        ui.cbCaps->setCurrentIndex(caps.or_(-1));
        family0 = ui.cbFont->currentText();
        size0 = ui.cbSize->currentText();
        color0 = ui.cbColor->currentIndex();
        position0 = ui.cbPosition->currentIndex();
        caps0 = ui.cbCaps->currentIndex();
        bold0 = ui.chkBold->checkState();
        italic0 = ui.chkItalic->checkState();
        underline0 = ui.chkUnderline->checkState();
        strike0 = ui.chkStrikeOut->checkState();
        preview();
    }

    void preview()
    {
        QFont f = font();
        if (!ui.cbFont->currentText().isEmpty())
            f.setFamilies({ui.cbFont->currentText()});
        bool ok = false;
        const double pt = QLocale().toDouble(ui.cbSize->currentText(), &ok);
        if (ok && pt > 0)
            f.setPointSizeF(std::min(pt, 72.0));
        f.setBold(ui.chkBold->checkState() == Qt::Checked);
        f.setItalic(ui.chkItalic->checkState() == Qt::Checked);
        f.setUnderline(ui.chkUnderline->checkState() == Qt::Checked);
        f.setStrikeOut(ui.chkStrikeOut->checkState() == Qt::Checked);
        f.setCapitalization(ui.cbCaps->currentIndex() == 1   ? QFont::SmallCaps
                            : ui.cbCaps->currentIndex() == 2 ? QFont::AllUppercase
                                                             : QFont::MixedCase);
        ui.lblPreview->setFont(f);
        QPalette pal = ui.lblPreview->palette();
        const QColor c = WPBoxColor(ui.cbColor);
        pal.setColor(QPalette::WindowText, c.isValid() ? c : palette().color(QPalette::WindowText));
        ui.lblPreview->setPalette(pal);
    }

    void accept() override
    {
        bool ok = false;
        const QString size = ui.cbSize->currentText();
        if (size != size0 && !size.isEmpty()) {
            const double pt = QLocale().toDouble(size, &ok);
            if (!ok || pt < 1 || pt > 1638) {
                ui.cbSize->setFocus();
                return; // the size box keeps what the user typed to correct it
            }
        }
        QDialog::accept();
    }

    void apply(QTextCharFormat &f) const
    {
        const QString family = ui.cbFont->currentText();
        if (family != family0 && !family.isEmpty())
            f.setFontFamilies(QStringList{family});
        const QString size = ui.cbSize->currentText();
        if (size != size0 && !size.isEmpty())
            f.setFontPointSize(QLocale().toDouble(size));
        if (ui.cbColor->currentIndex() != color0 && ui.cbColor->currentIndex() >= 0) {
            const QColor c = WPBoxColor(ui.cbColor);
            if (c.isValid())
                f.setForeground(c);
            else
                f.clearForeground();
        }
        const auto changed = [](const QCheckBox *box, Qt::CheckState was) {
            return box->checkState() != was && box->checkState() != Qt::PartiallyChecked;
        };
        if (changed(ui.chkBold, bold0))
            f.setFontWeight(ui.chkBold->isChecked() ? QFont::Bold : QFont::Normal);
        if (changed(ui.chkItalic, italic0))
            f.setFontItalic(ui.chkItalic->isChecked());
        if (changed(ui.chkUnderline, underline0))
            f.setFontUnderline(ui.chkUnderline->isChecked());
        if (changed(ui.chkStrikeOut, strike0))
            f.setFontStrikeOut(ui.chkStrikeOut->isChecked());
        const int position = ui.cbPosition->currentIndex();
        if (position != position0 && position >= 0)
            f.setVerticalAlignment(position == 1   ? QTextCharFormat::AlignSuperScript
                                   : position == 2 ? QTextCharFormat::AlignSubScript
                                                   : QTextCharFormat::AlignNormal);
        const int caps = ui.cbCaps->currentIndex();
        if (caps != caps0 && caps >= 0)
            f.setFontCapitalization(caps == 1 ? QFont::SmallCaps : caps == 2 ? QFont::AllUppercase : QFont::MixedCase);
    }
};

} // namespace

TWPFontDlg::TWPFontDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPFontDlg::~TWPFontDlg() = default;

bool TWPFontDlg::Execute()
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    QTextCursor c = editor->TextCursor();
    if (!MayEdit(c))
        return false;
    FontForm form(ParentWindow());
    form.load(selectionFormats(c), editor->Document().Text()->defaultFont());
    if (!Run(form))
        return false;
    c.beginEditBlock();
    WPChangeCharFormats(c, [&form](QTextCharFormat &f) { form.apply(f); });
    c.endEditBlock();
    editor->SetTextCursor(c);
    return true;
}

} // namespace zor
