#include "WPBulletDlg.h"

#include "ui_WPBulletDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPBulletDlg> registerBullet("TWPBulletDlg");

// Keep in step with the entries of the style list (0 is "None").
constexpr QTextListFormat::Style kStyles[] = {
    QTextListFormat::ListStyleUndefined, QTextListFormat::ListDisc,       QTextListFormat::ListCircle,
    QTextListFormat::ListSquare,         QTextListFormat::ListDecimal,    QTextListFormat::ListLowerAlpha,
    QTextListFormat::ListUpperAlpha,     QTextListFormat::ListLowerRoman, QTextListFormat::ListUpperRoman};

class BulletForm : public QDialog
{
public:
    Ui::WPBulletDlg ui;

    explicit BulletForm(QWidget *parent)
        : QDialog(parent)
    {
        ui.setupUi(this);
        connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(ui.lstStyles, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
        connect(ui.lstStyles, &QListWidget::currentRowChanged, this,
                [this](int row) { ui.spLevel->setEnabled(row > 0); });
    }
};

} // namespace

TWPBulletDlg::TWPBulletDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPBulletDlg::~TWPBulletDlg() = default;

bool TWPBulletDlg::Execute()
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    const QTextCursor c = editor->TextCursor();
    const QTextCursor span = WPBlockSpan(c);
    if (!MayEdit(span))
        return false;
    QTextDocument *text = editor->Document().Text();
    const QTextBlock first = text->findBlock(span.selectionStart());
    const QTextBlock last = text->findBlock(span.selectionEnd());
    std::vector<QTextBlock> blocks;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        blocks.push_back(b);
        if (b == last)
            break;
    }

    BulletForm form(ParentWindow());
    int row = 0, level = 1;
    if (QTextList *list = first.textList()) {
        const QTextListFormat lf = list->format();
        for (int i = 1; i < int(std::size(kStyles)); ++i)
            if (lf.style() == kStyles[i])
                row = i;
        level = std::clamp(lf.indent(), 1, 9);
    }
    form.ui.lstStyles->setCurrentRow(row);
    form.ui.spLevel->setValue(level);
    form.ui.spLevel->setEnabled(row > 0);
    if (!Run(form))
        return false;

    row = std::clamp(form.ui.lstStyles->currentRow(), 0, int(std::size(kStyles)) - 1);
    level = form.ui.spLevel->value();
    QTextCursor edit(text);
    edit.beginEditBlock();
    if (row == 0) {
        for (const QTextBlock &b : blocks) {
            if (QTextList *list = b.textList()) {
                list->remove(b);
                QTextBlockFormat bf = b.blockFormat();
                bf.setIndent(0);
                edit.setPosition(b.position());
                edit.setBlockFormat(bf);
            }
        }
    } else {
        QTextList *shared = first.textList();
        for (const QTextBlock &b : blocks)
            if (b.textList() != shared)
                shared = nullptr;
        QTextListFormat lf = shared ? shared->format() : QTextListFormat();
        lf.setStyle(kStyles[row]);
        lf.setIndent(level);
        if (shared) {
            shared->setFormat(lf);
        } else {
            for (const QTextBlock &b : blocks)
                if (QTextList *old = b.textList())
                    old->remove(b);
            edit.setPosition(first.position());
            QTextList *list = edit.createList(lf);
            for (size_t i = 1; i < blocks.size(); ++i)
                list->add(blocks[i]);
        }
    }
    edit.endEditBlock();
    editor->SetTextCursor(editor->TextCursor());
    return true;
}

} // namespace zor
