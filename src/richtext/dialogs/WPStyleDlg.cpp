#include "WPStyleDlg.h"

#include "WPOneStyleDlg.h"
#include "WPStyleForms_p.h"
#include "WPStyleSheet.h"
#include "ui_WPStyleDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QFile>
#include <QFileDialog>
#include <QSaveFile>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPStyleDlg> registerStyle("TWPStyleDlg");

// Style sheets are small; anything much larger is no style sheet.
constexpr qint64 kMaxStyleSheet = 16 * 1024 * 1024;

class StyleForm : public QDialog
{
public:
    Ui::WPStyleDlg ui;

    explicit StyleForm(QWidget *parent)
        : QDialog(parent)
    {
        ui.setupUi(this);
        connect(ui.btnClose, &QPushButton::clicked, this, &QDialog::reject);
        connect(ui.btnApply, &QPushButton::clicked, this, &QDialog::accept);
        connect(ui.lstStyles, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    }
};

QString describe(const TWPStyle &s)
{
    QString kind = s.IsCharStyle ? TWPStyleDlg::tr("Character style") : TWPStyleDlg::tr("Paragraph style");
    if (!s.BasedOn.isEmpty())
        kind += TWPStyleDlg::tr(", based on %1").arg(s.BasedOn);
    return kind + u'\n' + (s.Text.isEmpty() ? TWPStyleDlg::tr("(no settings)") : QString(s.Text).replace(u';', u"; "_qs));
}

} // namespace

TWPStyleDlg::TWPStyleDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPStyleDlg::~TWPStyleDlg() = default;

QString TWPStyleDlg::LastError() const { return m_error; }

int TWPStyleDlg::ImportStyleSheet(const QString &fileName)
{
    TWPRichText *editor = EditBox();
    if (!editor)
        return -1;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = tr("Cannot open %1: %2").arg(fileName, file.errorString());
        return -1;
    }
    if (file.size() > kMaxStyleSheet) {
        m_error = tr("%1 is too large for a style sheet.").arg(fileName);
        return -1;
    }
    const std::vector<TWPStyle> styles = WPStylesFromCSS(QString::fromUtf8(file.read(kMaxStyleSheet)));
    for (const TWPStyle &s : styles)
        editor->Document().SetStyle(s);
    if (!styles.empty())
        editor->SetModified(true);
    return int(styles.size());
}

bool TWPStyleDlg::ExportStyleSheet(const QString &fileName)
{
    TWPRichText *editor = EditBox();
    if (!editor)
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = tr("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    file.write(WPStylesToCSS(editor->Document().Styles()).toUtf8());
    if (!file.commit()) {
        m_error = tr("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

bool TWPStyleDlg::Execute()
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    TWPDocument &doc = editor->Document();
    StyleForm form(ParentWindow());
    Ui::WPStyleDlg &ui = form.ui;
    bool changed = false;

    const auto current = [&]() -> const TWPStyle * {
        const QListWidgetItem *item = ui.lstStyles->currentItem();
        return item ? doc.FindStyle(item->text()) : nullptr;
    };
    const auto refresh = [&](const QString &select) {
        ui.lstStyles->clear();
        for (const TWPStyle &s : doc.Styles()) {
            ui.lstStyles->addItem(s.Name);
            if (s.Name.compare(select, Qt::CaseInsensitive) == 0)
                ui.lstStyles->setCurrentRow(ui.lstStyles->count() - 1);
        }
        if (!ui.lstStyles->currentItem() && ui.lstStyles->count() > 0)
            ui.lstStyles->setCurrentRow(0);
    };
    const auto others = [&](const QString &name) {
        QStringList names;
        for (const TWPStyle &s : doc.Styles())
            if (s.Name.compare(name, Qt::CaseInsensitive) != 0)
                names << s.Name;
        return names;
    };
    const auto update = [&] {
        const TWPStyle *s = current();
        ui.lblDescription->setText(s ? describe(*s) : QString());
        for (QPushButton *b : {ui.btnApply, ui.btnEdit, ui.btnDelete})
            b->setEnabled(s != nullptr);
        ui.btnExport->setEnabled(!doc.Styles().empty());
    };
    QObject::connect(ui.lstStyles, &QListWidget::currentRowChanged, &form, update);

    QObject::connect(ui.btnNew, &QPushButton::clicked, &form, [&] {
        WPOneStyleForm one(&form);
        TWPStyle fresh;
        fresh.BasedOn = current() ? current()->Name : QString();
        one.Load(fresh, others({}), true);
        if (!Run(one))
            return;
        doc.SetStyle(one.Style());
        changed = true;
        refresh(one.Style().Name);
    });
    QObject::connect(ui.btnEdit, &QPushButton::clicked, &form, [&] {
        const TWPStyle *s = current();
        if (!s)
            return;
        WPOneStyleForm one(&form);
        one.Load(*s, others(s->Name), false);
        if (!Run(one))
            return;
        const TWPStyle edited = one.Style();
        doc.SetStyle(edited);
        WPReapplyStyle(doc, edited);
        changed = true;
        refresh(edited.Name);
    });
    QObject::connect(ui.btnDelete, &QPushButton::clicked, &form, [&] {
        const TWPStyle *s = current();
        if (!s)
            return;
        const int row = ui.lstStyles->currentRow();
        doc.RemoveStyle(s->Name);
        changed = true;
        refresh({});
        ui.lstStyles->setCurrentRow(std::min(row, ui.lstStyles->count() - 1));
    });
    const auto choose = [&](bool forSaving) {
        if (OnChooseFile)
            return OnChooseFile(forSaving);
        const QString filter = WPQtFileFilter(QLatin1String(StyleSheetFilter));
        return forSaving ? QFileDialog::getSaveFileName(&form, tr("Export Styles"), {}, filter)
                         : QFileDialog::getOpenFileName(&form, tr("Import Styles"), {}, filter);
    };
    QObject::connect(ui.btnImport, &QPushButton::clicked, &form, [&] {
        const QString file = choose(false);
        if (file.isEmpty())
            return;
        const int n = ImportStyleSheet(file);
        if (n < 0) {
            ui.lblDescription->setText(m_error);
            return;
        }
        changed = changed || n > 0;
        refresh(current() ? current()->Name : QString());
        ui.lblDescription->setText(tr("%1 style(s) imported.").arg(n));
    });
    QObject::connect(ui.btnExport, &QPushButton::clicked, &form, [&] {
        const QString file = choose(true);
        if (file.isEmpty())
            return;
        ui.lblDescription->setText(ExportStyleSheet(file) ? tr("Styles exported to %1.").arg(file) : m_error);
    });

    // The caret's style is the one offered first.
    const QTextCursor c = editor->TextCursor();
    const QString caretStyle = c.charFormat().hasProperty(wpStyleName) ? c.charFormat().stringProperty(wpStyleName)
                                                                       : c.blockFormat().stringProperty(wpStyleName);
    refresh(caretStyle);
    update();
    const bool apply = Run(form);
    if (changed)
        editor->SetModified(true);
    const TWPStyle *s = current();
    if (!apply || !s)
        return changed;
    const QTextCursor target = editor->TextCursor();
    if (!MayEdit(s->IsCharStyle ? target : WPBlockSpan(target)))
        return changed;
    WPApplyStyle(doc, target, *s);
    editor->SetModified(true);
    editor->SetTextCursor(editor->TextCursor());
    return true;
}

} // namespace zor
