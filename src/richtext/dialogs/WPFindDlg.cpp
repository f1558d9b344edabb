#include "WPFindDlg.h"

#include "ui_WPFindDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QPointer>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPFindDlg> registerFind("TWPFindDlg");
const TWPDialogRegistrar<TWPReplaceDlg> registerReplace("TWPReplaceDlg");

// The replacement for one match: \0 ... \9 name its groups, \\ is a
// backslash; anything else is taken as written.
QString expandReplacement(const QString &replacement, const QRegularExpressionMatch &m)
{
    QString out;
    out.reserve(replacement.size());
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        const QChar ch = replacement[i];
        if (ch == u'\\' && i + 1 < replacement.size()) {
            const QChar next = replacement[i + 1];
            if (next.isDigit() && next.digitValue() <= m.lastCapturedIndex()) {
                out += m.captured(next.digitValue());
                ++i;
                continue;
            }
            if (next == u'\\') {
                out += u'\\';
                ++i;
                continue;
            }
        }
        out += ch;
    }
    return out;
}

} // namespace

struct TWPFindDlg::Private
{
    TWPFindDlg *q;
    bool replaceMode;
    QPointer<QDialog> form;
    Ui::WPFindDlg ui;

    QTextDocument *text() const { return q->EditBox() ? q->EditBox()->Document().Text() : nullptr; }

    void status(const QString &message) { ui.lblStatus->setText(message); }

    // The search as a pattern; invalid (with the reason shown) when the
    // expression does not compile or there is nothing to find.
    QRegularExpression pattern()
    {
        const QString what = ui.edFind->text();
        if (what.isEmpty())
            return QRegularExpression(QStringLiteral("("));
        QString p = ui.chkRegExp->isChecked() ? what : QRegularExpression::escape(what);
        // Lookarounds rather than \b: a search for "-x" must work as well.
        if (ui.chkWholeWords->isChecked())
            p = QStringLiteral("(?<!\\w)(?:%1)(?!\\w)").arg(p);
        QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
        if (!ui.chkCase->isChecked())
            options |= QRegularExpression::CaseInsensitiveOption;
        QRegularExpression re(p, options);
        if (!re.isValid())
            status(TWPFindDlg::tr("Invalid regular expression: %1").arg(re.errorString()));
        return re;
    }

    // The next non-empty match from cursor; null when none. Empty matches
    // (of "x*", say) are stepped over: they select nothing to replace.
    QTextCursor find(const QRegularExpression &re, QTextCursor from, bool backward) const
    {
        QTextDocument *t = text();
        const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
        for (int guard = t->characterCount() + 1; guard > 0; --guard) {
            QTextCursor found = t->find(re, from, flags);
            if (found.isNull() || found.hasSelection())
                return found;
            const int next = found.position() + (backward ? -1 : 1);
            if (next < 0 || next >= t->characterCount())
                return {};
            from = QTextCursor(t);
            from.setPosition(next);
        }
        return {};
    }

    // The match of re that is exactly what cursor selects, if it is one.
    QRegularExpressionMatch matchAt(const QRegularExpression &re, const QTextCursor &c) const
    {
        if (!c.hasSelection())
            return {};
        const QTextBlock block = text()->findBlock(c.selectionStart());
        if (block != text()->findBlock(c.selectionEnd()))
            return {};
        const int offset = c.selectionStart() - block.position();
        QRegularExpressionMatch m = re.match(block.text(), offset, QRegularExpression::NormalMatch,
                                             QRegularExpression::AnchorAtOffsetMatchOption);
        if (m.hasMatch() && m.capturedLength() == c.selectionEnd() - c.selectionStart())
            return m;
        return {};
    }

    // Replaces what c selects by the match's replacement in the format of
    // its first character (without protection, which c has none of).
    void replaceAt(QTextCursor &c, const QRegularExpressionMatch &m)
    {
        const QString replacement = ui.chkRegExp->isChecked() ? expandReplacement(ui.edReplace->text(), m)
                                                              : ui.edReplace->text();
        QTextCursor first(c.document());
        first.setPosition(c.selectionStart() + 1);
        QTextCharFormat f = first.charFormat();
        f.clearProperty(wpProtected);
        if (f.objectType() != QTextFormat::NoObject || f.isImageFormat())
            f = QTextCharFormat();
        c.insertText(replacement, f);
    }

    void create()
    {
        form = new QDialog(q->ParentWindow());
        ui.setupUi(form);
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        for (QWidget *w : {static_cast<QWidget *>(ui.lblReplace), static_cast<QWidget *>(ui.edReplace),
                           static_cast<QWidget *>(ui.btnReplace), static_cast<QWidget *>(ui.btnReplaceAll)})
            w->setVisible(replaceMode);
        form->setWindowTitle(replaceMode ? TWPFindDlg::tr("Replace") : TWPFindDlg::tr("Find"));
        QObject::connect(ui.btnFindNext, &QPushButton::clicked, q, [this] { q->FindNext(); });
        QObject::connect(ui.btnReplace, &QPushButton::clicked, q, [this] { q->Replace(); });
        QObject::connect(ui.btnReplaceAll, &QPushButton::clicked, q, [this] { q->ReplaceAll(); });
        QObject::connect(ui.btnClose, &QPushButton::clicked, form, &QDialog::close);
        QObject::connect(ui.edFind, &QLineEdit::textChanged, form, [this] { status({}); });
    }
};

TWPFindDlg::TWPFindDlg(QObject *owner)
    : TWPFindDlg(false, owner)
{
}

TWPFindDlg::TWPFindDlg(bool replace, QObject *owner)
    : TWPFormDialog(owner), d(std::make_unique<Private>())
{
    d->q = this;
    d->replaceMode = replace;
}

TWPFindDlg::~TWPFindDlg()
{
    delete d->form.data();
}

QDialog *TWPFindDlg::Form()
{
    if (!d->form)
        d->create();
    return d->form;
}

bool TWPFindDlg::Execute()
{
    TWPRichText *editor = EditBox();
    if (!editor)
        return false;
    Form();
    if (d->form->parentWidget() != ParentWindow())
        d->form->setParent(ParentWindow(), d->form->windowFlags());
    const QString selected = editor->TextCursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator) && selected.size() <= 256)
        d->ui.edFind->setText(selected);
    d->ui.edFind->selectAll();
    d->ui.edFind->setFocus();
    d->status({});
    Show(*d->form);
    return true;
}

bool TWPFindDlg::FindNext()
{
    Form();
    TWPRichText *editor = EditBox();
    if (!editor)
        return false;
    const QRegularExpression re = d->pattern();
    if (!re.isValid())
        return false;
    const bool backward = d->ui.chkBackward->isChecked();
    QTextCursor found = d->find(re, editor->TextCursor(), backward);
    if (found.isNull()) {
        // Once around: from the other end up to where the search began.
        QTextCursor from(d->text());
        from.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        found = d->find(re, from, backward);
    }
    if (found.isNull()) {
        d->status(tr("The search text was not found."));
        return false;
    }
    d->status({});
    editor->SetTextCursor(found);
    return true;
}

bool TWPFindDlg::Replace()
{
    Form();
    TWPRichText *editor = EditBox();
    if (!editor)
        return false;
    const QRegularExpression re = d->pattern();
    if (!re.isValid())
        return false;
    QTextCursor c = editor->TextCursor();
    const QRegularExpressionMatch m = d->matchAt(re, c);
    if (!m.hasMatch()) {
        FindNext(); // the first press finds, the next one replaces
        return false;
    }
    if (!MayEdit(c))
        return false;
    c.beginEditBlock();
    d->replaceAt(c, m);
    c.endEditBlock();
    editor->SetTextCursor(c);
    FindNext();
    return true;
}

int TWPFindDlg::ReplaceAll()
{
    Form();
    if (!MayChange())
        return 0;
    const QRegularExpression re = d->pattern();
    if (!re.isValid())
        return 0;
    TWPRichText *editor = EditBox();
    const TWPDocument &doc = editor->Document();
    QTextCursor at(d->text());
    QTextCursor edit(d->text());
    int count = 0;
    bool refused = false;
    edit.beginEditBlock();
    for (;;) {
        QTextCursor found = d->find(re, at, false);
        if (found.isNull())
            break;
        at.setPosition(found.selectionEnd());
        if (!doc.CanEdit(found)) {
            refused = true;
            continue;
        }
        const QRegularExpressionMatch m = d->matchAt(re, found);
        if (!m.hasMatch())
            continue;
        d->replaceAt(found, m);
        at.setPosition(found.position()); // after the replacement: never matched again
        ++count;
    }
    edit.endEditBlock();
    if (refused)
        Q_EMIT editor->EditRefused();
    d->status(count ? tr("Replaced %1 occurrence(s).").arg(count) : tr("The search text was not found."));
    if (count)
        editor->SetTextCursor(editor->TextCursor()); // shows the new text and caret
    return count;
}

TWPReplaceDlg::TWPReplaceDlg(QObject *owner)
    : TWPFindDlg(true, owner)
{
}

} // namespace zor
