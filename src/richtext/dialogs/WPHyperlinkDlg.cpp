#include "WPHyperlinkDlg.h"

#include "ui_WPHyperlinkDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPHyperlinkDlg> registerHyperlink("TWPHyperlinkDlg");

const QColor kLinkColor(0, 0, 255);

// The done() code of "Remove Link".
constexpr int kRemove = 2;

class HyperlinkForm : public QDialog
{
public:
    Ui::WPHyperlinkDlg ui;

    HyperlinkForm(QWidget *parent, bool isLink)
        : QDialog(parent)
    {
        ui.setupUi(this);
        connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(ui.btnRemove, &QPushButton::clicked, this, [this] { done(kRemove); });
        ui.btnRemove->setEnabled(isLink);
        connect(ui.edURL, &QLineEdit::textChanged, this, [this] { enable(); });
        enable();
    }

    void enable()
    {
        ui.buttonBox->button(QDialogButtonBox::Ok)->setEnabled(!ui.edURL->text().trimmed().isEmpty());
    }

    void accept() override
    {
        if (!ui.edURL->text().trimmed().isEmpty())
            QDialog::accept();
    }
};

} // namespace

TWPHyperlinkDlg::TWPHyperlinkDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPHyperlinkDlg::~TWPHyperlinkDlg() = default;

QTextCursor TWPHyperlinkDlg::LinkAt(QTextDocument *text, int position)
{
    const QTextBlock block = text->findBlock(position);
    if (!block.isValid())
        return {};
    // The block's runs; a link is the longest stretch of them with one href.
    std::vector<QTextFragment> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        runs.push_back(it.fragment());
    int hit = -1;
    for (int i = 0; i < int(runs.size()); ++i) {
        const QTextFragment &f = runs[size_t(i)];
        if (!f.charFormat().isAnchor() || f.charFormat().anchorHref().isEmpty())
            continue;
        if (position >= f.position() && position < f.position() + f.length()) {
            hit = i;
            break;
        }
        if (position == f.position() + f.length())
            hit = i; // the character before; one after still wins
    }
    if (hit < 0)
        return {};
    const QString href = runs[size_t(hit)].charFormat().anchorHref();
    const auto same = [&](int i) {
        return i >= 0 && i < int(runs.size()) && runs[size_t(i)].charFormat().isAnchor()
               && runs[size_t(i)].charFormat().anchorHref() == href;
    };
    int first = hit, last = hit;
    while (same(first - 1))
        --first;
    while (same(last + 1))
        ++last;
    QTextCursor c(text);
    c.setPosition(runs[size_t(first)].position());
    c.setPosition(runs[size_t(last)].position() + runs[size_t(last)].length(), QTextCursor::KeepAnchor);
    return c;
}

bool TWPHyperlinkDlg::Execute()
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    QTextDocument *text = editor->Document().Text();
    QTextCursor range = editor->TextCursor();
    const QTextCursor link = LinkAt(text, range.selectionStart());
    const bool isLink = !link.isNull() && (!range.hasSelection() || range.selectionEnd() <= link.selectionEnd());
    if (isLink)
        range = link;
    if (!MayEdit(range))
        return false;

    const QString shown = range.selectedText();
    // Text over several paragraphs cannot be retyped in one line: it keeps
    // its text and only becomes the link.
    const bool oneLine = !shown.contains(QChar::ParagraphSeparator);
    HyperlinkForm form(ParentWindow(), isLink);
    form.ui.edText->setText(oneLine ? shown : QString());
    form.ui.edText->setEnabled(oneLine);
    if (isLink) {
        QTextCursor at(text);
        at.setPosition(range.selectionStart() + 1);
        form.ui.edURL->setText(at.charFormat().anchorHref());
    }
    const int result = RunForResult(form);
    if (result == QDialog::Rejected)
        return false;

    range.beginEditBlock();
    if (result == kRemove) {
        WPChangeCharFormats(range, [](QTextCharFormat &f) {
            f.setAnchor(false);
            f.clearProperty(QTextFormat::AnchorHref);
            // The look a link was given goes with it.
            if (f.fontUnderline() && f.foreground().color() == kLinkColor) {
                f.clearProperty(QTextFormat::TextUnderlineStyle);
                f.clearProperty(QTextFormat::FontUnderline);
                f.clearForeground();
            }
        });
    } else {
        const QString url = form.ui.edURL->text().trimmed();
        QString newText = form.ui.edText->text();
        const auto makeLink = [&url](QTextCharFormat &f) {
            f.setAnchor(true);
            f.setAnchorHref(url);
            f.setFontUnderline(true);
            f.setForeground(kLinkColor);
        };
        if (oneLine && (newText != shown || !range.hasSelection())) {
            if (newText.isEmpty())
                newText = url;
            QTextCursor at(text);
            at.setPosition(range.selectionStart() + (range.hasSelection() ? 1 : 0));
            QTextCharFormat f = at.charFormat();
            f.clearProperty(wpProtected);
            makeLink(f);
            const int start = range.selectionStart();
            range.insertText(newText, f);
            range.setPosition(start, QTextCursor::KeepAnchor);
        } else {
            WPChangeCharFormats(range, makeLink);
        }
    }
    range.endEditBlock();
    QTextCursor caret(text);
    caret.setPosition(range.selectionEnd());
    editor->SetTextCursor(caret);
    return true;
}

} // namespace zor
