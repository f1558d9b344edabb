#include "WPManageHeaderFooter.h"

#include "ui_WPManageHeaderFooter.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPManageHeaderFooter> registerHeaderFooter("TWPManageHeaderFooter");

// Keep in step with the entries of the pages box.
constexpr TWPHeaderKind kKinds[] = {TWPHeaderKind::All, TWPHeaderKind::Left, TWPHeaderKind::First};

struct Part
{
    int Section = 0;
    bool Footer = false;
    int Kind = 0;            // index into kKinds
    bool Existed = false;    // in the document when the form opened
    bool Removed = false;
    QTextDocument *Edit = nullptr; // a copy the form edits; owned by the form
};

class HeaderFooterForm : public QDialog
{
public:
    Ui::WPManageHeaderFooter ui;
    std::vector<Part> parts;
    QTextDocument *blank = nullptr; // shown while nothing is chosen

    explicit HeaderFooterForm(QWidget *parent)
        : QDialog(parent)
    {
        ui.setupUi(this);
        blank = new QTextDocument(this);
        ui.edText->setDocument(blank);
        ui.edText->setEnabled(false);
        connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(ui.lstItems, &QListWidget::currentRowChanged, this, [this] { showCurrent(); });
        connect(ui.btnAdd, &QPushButton::clicked, this, [this] { add(); });
        connect(ui.btnDelete, &QPushButton::clicked, this, [this] { remove(); });
    }

    QString caption(const Part &p) const
    {
        return TWPManageHeaderFooter::tr("Section %1: %2, %3")
            .arg(p.Section + 1)
            .arg(ui.cbPart->itemText(p.Footer ? 1 : 0), ui.cbPages->itemText(p.Kind));
    }

    int currentPart() const
    {
        const QListWidgetItem *item = ui.lstItems->currentItem();
        return item ? item->data(Qt::UserRole).toInt() : -1;
    }

    void refill(int select)
    {
        ui.lstItems->blockSignals(true);
        ui.lstItems->clear();
        for (int i = 0; i < int(parts.size()); ++i) {
            if (parts[size_t(i)].Removed)
                continue;
            auto *item = new QListWidgetItem(caption(parts[size_t(i)]), ui.lstItems);
            item->setData(Qt::UserRole, i);
            if (i == select)
                ui.lstItems->setCurrentItem(item);
        }
        ui.lstItems->blockSignals(false);
        showCurrent();
    }

    void showCurrent()
    {
        const int i = currentPart();
        ui.edText->setDocument(i >= 0 ? parts[size_t(i)].Edit : blank);
        ui.edText->setEnabled(i >= 0);
        ui.btnDelete->setEnabled(i >= 0);
        if (i >= 0) {
            const Part &p = parts[size_t(i)];
            ui.cbSection->setCurrentIndex(p.Section);
            ui.cbPart->setCurrentIndex(p.Footer ? 1 : 0);
            ui.cbPages->setCurrentIndex(p.Kind);
        }
    }

    // The part the boxes name: chosen if it is listed, else a new one.
    void add()
    {
        const int section = std::max(0, ui.cbSection->currentIndex());
        const bool footer = ui.cbPart->currentIndex() == 1;
        const int kind = std::clamp(ui.cbPages->currentIndex(), 0, 2);
        for (int i = 0; i < int(parts.size()); ++i) {
            Part &p = parts[size_t(i)];
            if (p.Section != section || p.Footer != footer || p.Kind != kind)
                continue;
            if (p.Removed) { // back, and empty: the deleted text is gone
                p.Removed = false;
                p.Edit->clear();
                p.Edit->setModified(true);
            }
            refill(i);
            return;
        }
        Part p;
        p.Section = section;
        p.Footer = footer;
        p.Kind = kind;
        p.Edit = new QTextDocument(this);
        p.Edit->setModified(true);
        parts.push_back(p);
        refill(int(parts.size()) - 1);
        ui.edText->setFocus();
    }

    void remove()
    {
        const int i = currentPart();
        if (i < 0)
            return;
        parts[size_t(i)].Removed = true;
        refill(-1);
    }
};

} // namespace

TWPManageHeaderFooter::TWPManageHeaderFooter(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPManageHeaderFooter::~TWPManageHeaderFooter() = default;

bool TWPManageHeaderFooter::Execute()
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    TWPDocument &doc = editor->Document();
    const TWPDocument &existing = doc;
    HeaderFooterForm form(ParentWindow());
    for (int s = 0; s < doc.SectionCount(); ++s)
        form.ui.cbSection->addItem(QString::number(s + 1));
    for (int s = 0; s < doc.SectionCount(); ++s)
        for (bool footer : {false, true})
            for (int k = 0; k < 3; ++k) {
                const QTextDocument *t = footer ? existing.Footer(s, kKinds[k]) : existing.Header(s, kKinds[k]);
                if (!t)
                    continue;
                Part p;
                p.Section = s;
                p.Footer = footer;
                p.Kind = k;
                p.Existed = true;
                p.Edit = t->clone(&form);
                p.Edit->setModified(false);
                form.parts.push_back(p);
            }
    const int section = doc.SectionAt(editor->TextCursor().position());
    form.ui.cbSection->setCurrentIndex(section);
    form.refill(form.parts.empty() ? -1 : 0);
    if (!Run(form))
        return false;

    bool changed = false;
    std::vector<int> firstBefore(size_t(doc.SectionCount()), 0), firstAfter(size_t(doc.SectionCount()), 0);
    for (const Part &p : form.parts) {
        if (p.Kind == 2 && p.Existed)
            ++firstBefore[size_t(p.Section)];
        if (p.Kind == 2 && !p.Removed)
            ++firstAfter[size_t(p.Section)];
        if (p.Removed) {
            if (p.Existed)
                changed = doc.RemoveHeaderFooter(p.Section, kKinds[p.Kind], p.Footer) || changed;
            continue;
        }
        if (p.Existed && !p.Edit->isModified())
            continue;
        QTextDocument *target = p.Footer ? doc.Footer(p.Section, kKinds[p.Kind]) : doc.Header(p.Section, kKinds[p.Kind]);
        QTextCursor c(target);
        c.beginEditBlock();
        c.select(QTextCursor::Document);
        c.removeSelectedText();
        c.insertFragment(QTextDocumentFragment(p.Edit));
        c.endEditBlock();
        changed = true;
    }
    for (int s = 0; s < doc.SectionCount(); ++s) {
        TWPPageSetup &page = doc.PageSetup(s);
        if (firstAfter[size_t(s)] > firstBefore[size_t(s)] || (firstAfter[size_t(s)] > 0 && !page.TitlePage))
            page.TitlePage = true;
        else if (firstAfter[size_t(s)] == 0 && firstBefore[size_t(s)] > 0)
            page.TitlePage = false;
    }
    if (changed) {
        editor->SetModified(true);
        editor->ReformatAll();
    }
    return changed;
}

} // namespace zor
