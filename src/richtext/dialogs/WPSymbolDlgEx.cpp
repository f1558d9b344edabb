#include "WPSymbolDlgEx.h"

#include "ui_WPSymbolDlgEx.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QHeaderView>
#include <QTableWidget>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPSymbolDlgEx> registerSymbol("TWPSymbolDlgEx");

struct Block
{
    const char *Name;
    char32_t First, Last;
};

// The Unicode blocks a document is likely to want symbols from.
constexpr Block kBlocks[] = {
    {"Basic Latin", 0x20, 0x7E},
    {"Latin-1 Supplement", 0xA0, 0xFF},
    {"Latin Extended-A", 0x100, 0x17F},
    {"Latin Extended-B", 0x180, 0x24F},
    {"IPA Extensions", 0x250, 0x2AF},
    {"Spacing Modifier Letters", 0x2B0, 0x2FF},
    {"Greek and Coptic", 0x370, 0x3FF},
    {"Cyrillic", 0x400, 0x4FF},
    {"Hebrew", 0x590, 0x5FF},
    {"Arabic", 0x600, 0x6FF},
    {"Latin Extended Additional", 0x1E00, 0x1EFF},
    {"Greek Extended", 0x1F00, 0x1FFF},
    {"General Punctuation", 0x2000, 0x206F},
    {"Superscripts and Subscripts", 0x2070, 0x209F},
    {"Currency Symbols", 0x20A0, 0x20CF},
    {"Letterlike Symbols", 0x2100, 0x214F},
    {"Number Forms", 0x2150, 0x218F},
    {"Arrows", 0x2190, 0x21FF},
    {"Mathematical Operators", 0x2200, 0x22FF},
    {"Miscellaneous Technical", 0x2300, 0x23FF},
    {"Enclosed Alphanumerics", 0x2460, 0x24FF},
    {"Box Drawing", 0x2500, 0x257F},
    {"Block Elements", 0x2580, 0x259F},
    {"Geometric Shapes", 0x25A0, 0x25FF},
    {"Miscellaneous Symbols", 0x2600, 0x26FF},
    {"Dingbats", 0x2700, 0x27BF},
    {"Supplemental Arrows-A", 0x27F0, 0x27FF},
    {"Braille Patterns", 0x2800, 0x28FF},
    {"CJK Symbols and Punctuation", 0x3000, 0x303F},
    {"Hiragana", 0x3040, 0x309F},
    {"Katakana", 0x30A0, 0x30FF},
    {"Private Use Area", 0xE000, 0xF8FF},
    {"Alphabetic Presentation Forms", 0xFB00, 0xFB4F},
    {"Halfwidth and Fullwidth Forms", 0xFF00, 0xFFEF},
    {"Mathematical Alphanumeric Symbols", 0x1D400, 0x1D7FF},
    {"Emoticons", 0x1F600, 0x1F64F},
};

constexpr int kColumns = 16;
constexpr int kCodeRole = Qt::UserRole;

class SymbolForm : public QDialog
{
public:
    Ui::WPSymbolDlgEx ui;

    explicit SymbolForm(QWidget *parent)
        : QDialog(parent)
    {
        ui.setupUi(this);
        ui.tblChars->setColumnCount(kColumns);
        ui.tblChars->horizontalHeader()->hide();
        ui.tblChars->verticalHeader()->hide();
        ui.tblChars->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        ui.tblChars->setEditTriggers(QAbstractItemView::NoEditTriggers);
        ui.tblChars->setSelectionMode(QAbstractItemView::SingleSelection);
        for (const Block &b : kBlocks)
            ui.cbBlock->addItem(TWPSymbolDlgEx::tr(b.Name));
        connect(ui.cbBlock, &QComboBox::currentIndexChanged, this, [this] { fill(); });
        connect(ui.cbFont, &QFontComboBox::currentFontChanged, this, [this](const QFont &f) {
            QFont cells = f;
            cells.setPointSize(14);
            ui.tblChars->setFont(cells);
        });
        connect(ui.tblChars, &QTableWidget::currentItemChanged, this, [this](QTableWidgetItem *item) {
            ui.lblCode->setText(item ? QStringLiteral("U+%1").arg(item->data(kCodeRole).toUInt(), 4, 16, QChar(u'0')).toUpper()
                                     : QString());
            ui.btnInsert->setEnabled(item != nullptr);
        });
        connect(ui.btnClose, &QPushButton::clicked, this, &QDialog::reject);
        ui.btnInsert->setEnabled(false);
    }

    void fill()
    {
        const Block &b = kBlocks[std::clamp(ui.cbBlock->currentIndex(), 0, int(std::size(kBlocks)) - 1)];
        ui.tblChars->clearContents();
        int n = 0;
        std::vector<char32_t> codes;
        for (char32_t c = b.First; c <= b.Last; ++c)
            if (QChar::category(c) != QChar::Other_NotAssigned && QChar::category(c) != QChar::Other_Control)
                codes.push_back(c);
        ui.tblChars->setRowCount(int((codes.size() + kColumns - 1) / kColumns));
        for (char32_t c : codes) {
            auto *item = new QTableWidgetItem(QString::fromUcs4(&c, 1));
            item->setData(kCodeRole, uint(c));
            item->setTextAlignment(Qt::AlignCenter);
            ui.tblChars->setItem(n / kColumns, n % kColumns, item);
            ++n;
        }
        ui.tblChars->setCurrentItem(nullptr);
    }

    // The code of the chosen cell; 0 when none.
    char32_t current() const
    {
        const QTableWidgetItem *item = ui.tblChars->currentItem();
        return item ? char32_t(item->data(kCodeRole).toUInt()) : 0;
    }
};

} // namespace

struct TWPSymbolDlgEx::Private
{
    QString family;
    int block = 0;
};

TWPSymbolDlgEx::TWPSymbolDlgEx(QObject *owner)
    : TWPFormDialog(owner), d(std::make_unique<Private>())
{
}

TWPSymbolDlgEx::~TWPSymbolDlgEx() = default;

bool TWPSymbolDlgEx::InsertSymbol(char32_t code, const QString &family)
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    QTextCursor c = editor->TextCursor();
    if (!MayEdit(c))
        return false;
    QTextCharFormat f = c.charFormat();
    f.clearProperty(wpProtected);
    if (!family.isEmpty())
        f.setFontFamilies(QStringList{family});
    c.beginEditBlock();
    c.insertText(QString::fromUcs4(&code, 1), f);
    c.endEditBlock();
    editor->SetTextCursor(c);
    return true;
}

bool TWPSymbolDlgEx::Execute()
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    SymbolForm form(ParentWindow());
    QString family = d->family;
    if (family.isEmpty()) {
        const QStringList families = editor->TextCursor().charFormat().fontFamilies().toStringList();
        family = families.isEmpty() ? editor->Document().Text()->defaultFont().family() : families.first();
    }
    form.ui.cbFont->setCurrentFont(QFont(family));
    form.ui.cbBlock->setCurrentIndex(d->block);
    form.fill();
    int inserted = 0;
    const auto insert = [&] {
        const char32_t code = form.current();
        if (code && InsertSymbol(code, form.ui.cbFont->currentFont().family()))
            ++inserted;
    };
    QObject::connect(form.ui.btnInsert, &QPushButton::clicked, &form, insert);
    QObject::connect(form.ui.tblChars, &QTableWidget::itemDoubleClicked, &form, insert);
    Run(form);
    d->family = form.ui.cbFont->currentFont().family();
    d->block = form.ui.cbBlock->currentIndex();
    return inserted > 0;
}

} // namespace zor
