#include <ZorCompCore/localisation/runtime/TransEditorDlg.h>

#include <ZorCompCore/localisation/DefFonts.h>
#include <ZorCompCore/localisation/LangNames.h>
#include <ZorCompCore/localisation/Statistics.h>
#include <ZorCompCore/localisation/WidthsTooltip.h>
#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/platform/Exception.h>
#include "ui_TransEditorDlg.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>

namespace zor {

struct TTransEditorDlg::Private
{
    TsiCustomLang *target = nullptr;
    TShowFlags flags;
    std::unique_ptr<TsiLang> work; // the copy the tables edit
    Ui::TransEditorDlg ui;
    std::array<QTableWidget *, StringsTypeCount> tables{};
    QAction *actStatistics = nullptr, *actLangNames = nullptr, *actDefFonts = nullptr, *actWidths = nullptr;
};

TTransEditorDlg::TTransEditorDlg(TsiCustomLang *ALang, TShowFlags AFlags, QWidget *AParent)
    : QDialog(AParent), d(std::make_unique<Private>())
{
    d->target = ALang;
    d->flags = AFlags;
    d->ui.setupUi(this);
    // Lines for texts the form shows but no line holds yet, so they can be edited.
    if (AFlags & sfDesignTime)
        ALang->UpdateStrCollections();
    d->work = std::make_unique<TsiLang>();
    d->work->SetLangDelim(ALang->LangDelim()); // unchanged lines must stay verbatim
    d->work->Assign(ALang);

    d->ui.btnLoad->setVisible(!(AFlags & sfDisableLoad));
    d->ui.btnSave->setVisible(!(AFlags & sfDisableSave));
    QPushButton *ok = d->ui.buttonBox->button(QDialogButtonBox::Ok);
    if (AFlags & sfReadOnly)
        ok->setText(tr("Close"));
    else if (AFlags & sfSaveAsClose)
        ok->setText(tr("&Save"));
    connect(d->ui.edFilter, &QLineEdit::textChanged, this, &TTransEditorDlg::SetFilter);
    connect(d->ui.btnLoad, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, tr("Load translations"), QString(),
                                                          tr("Translation files (*.sib);;All files (*)"));
        if (file.isEmpty())
            return;
        try {
            LoadFile(file);
        } catch (const Exception &e) {
            QMessageBox::warning(this, windowTitle(), e.Message());
        }
    });
    connect(d->ui.btnSave, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getSaveFileName(this, tr("Save translations"), QString(),
                                                          tr("Translation files (*.sib)"));
        if (file.isEmpty())
            return;
        try {
            SaveFile(file);
        } catch (const Exception &e) {
            QMessageBox::warning(this, windowTitle(), e.Message());
        }
    });
    buildToolsMenu();
    buildTables();
}

TTransEditorDlg::~TTransEditorDlg()
{
    if (d->actWidths->isChecked())
        HideWidthTooltip();
}

TsiCustomLang *TTransEditorDlg::WorkingCopy()
{
    tablesToWork();
    return d->work.get();
}

void TTransEditorDlg::buildToolsMenu()
{
    auto *menu = new QMenu(this);
    auto add = [&](const char *name, const QString &text) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    d->actStatistics = add("actStatistics", tr("&Statistics..."));
    d->actLangNames = add("actLangNames", tr("Language &Names..."));
    d->actDefFonts = add("actDefFonts", tr("Default &Fonts..."));
    menu->addSeparator();
    d->actWidths = add("actWidths", tr("Text &Widths"));
    d->actWidths->setCheckable(true);
    d->actLangNames->setEnabled(!(d->flags & sfReadOnly));
    d->actDefFonts->setEnabled(DefFontsList != nullptr);
    d->ui.btnTools->setMenu(menu);
    connect(d->ui.tabTypes, &QTabWidget::currentChanged, this, [this] {
        if (d->actWidths->isChecked())
            showWidths();
    });

    connect(d->actStatistics, &QAction::triggered, this,
            [this] { DisplayStatistics(WorkingCopy(), d->target->GetOwnerClassName()); });
    connect(d->actLangNames, &QAction::triggered, this, &TTransEditorDlg::editLanguageNames);
    connect(d->actDefFonts, &QAction::triggered, this, [] {
        if (DefFontsList)
            DefFontsDlg(DefFontsList);
    });
    connect(d->actWidths, &QAction::toggled, this, [this](bool on) {
        if (on)
            showWidths();
        else
            HideWidthTooltip();
    });
}

void TTransEditorDlg::editLanguageNames()
{
    TsiCustomLang &work = *WorkingCopy();
    TStringList names;
    for (int l = 0; l < work.NumOfLanguages(); ++l)
        names.Add(work.LangNames().Get(l));
    if (ChangeLanguagesDlg(names, nullptr) != QDialog::Accepted)
        return;
    for (int l = 0; l < qMin(names.Count(), work.NumOfLanguages()); ++l)
        work.LangNames().Put(l, names.Get(l));
    buildTables();
}

// The widths of the current line's texts, beside its current cell.
void TTransEditorDlg::showWidths()
{
    auto *table = qobject_cast<QTableWidget *>(d->ui.tabTypes->currentWidget());
    if (!d->actWidths->isChecked() || !table || table->currentRow() < 0) {
        HideWidthTooltip();
        return;
    }
    const int row = table->currentRow();
    QStringList names, texts;
    for (int c = 1; c < table->columnCount(); ++c) {
        names.append(d->work->LangNames().Get(c - 1));
        texts.append(table->item(row, c) ? table->item(row, c)->text() : QString());
    }
    const QTableWidgetItem *cell = table->currentItem();
    const QRect local = cell ? table->visualItemRect(cell) : table->viewport()->rect();
    const QRect global(table->viewport()->mapToGlobal(local.topLeft()), local.size());
    ShowWidthTooltip(names, texts, global, siEditorSettings().Language, nullptr);
}

QTableWidget *TTransEditorDlg::Table(TStringsType AType) const
{
    return AType >= 0 && AType < StringsTypeCount ? d->tables[AType] : nullptr;
}

void TTransEditorDlg::buildTables()
{
    const int current = d->ui.tabTypes->currentIndex();
    while (d->ui.tabTypes->count() > 0) {
        QWidget *page = d->ui.tabTypes->widget(0);
        d->ui.tabTypes->removeTab(0);
        delete page;
    }
    d->tables.fill(nullptr);

    TsiLang &work = *d->work;
    const int langs = work.NumOfLanguages();
    QStringList headers{tr("ID")};
    for (int l = 0; l < langs; ++l)
        headers.append(l < work.LangNames().Count() ? work.LangNames().Get(l) : QString());

    for (int t = 0; t < StringsTypeCount; ++t) {
        const TsiStringsCollection &list = *work.GetPropListByType(TStringsType(t));
        if ((d->flags & sfHideExtended) && (t == stFonts || t == stCharSets))
            continue;
        if (!(d->flags & sfFull) && list.Count() == 0)
            continue;
        auto *table = new QTableWidget(list.Count(), langs + 1);
        table->setObjectName(QStringLiteral("tbl") + StringsTypeName(TStringsType(t)).mid(2));
        table->setHorizontalHeaderLabels(headers);
        table->horizontalHeader()->setStretchLastSection(true);
        table->verticalHeader()->setVisible(false);
        for (int r = 0; r < list.Count(); ++r) {
            const QStringList fields = siSplitLine(list.Get(r), list.Delim());
            for (int c = 0; c <= langs; ++c) {
                auto *item = new QTableWidgetItem(c < fields.size() ? fields.at(c) : QString());
                // IDs tie lines to objects: they are shown, never edited.
                if (c == 0 || (d->flags & sfReadOnly))
                    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                table->setItem(r, c, item);
            }
        }
        table->resizeColumnsToContents();
        connect(table, &QTableWidget::currentCellChanged, this, [this] {
            if (d->actWidths->isChecked())
                showWidths();
        });
        connect(table, &QTableWidget::itemChanged, this, [this, table](QTableWidgetItem *item) {
            if (d->actWidths->isChecked() && item->column() > 0 && item->row() == table->currentRow())
                UpdateLanguageWidthTooltip(item->column() - 1, item->text());
        });
        d->tables[t] = table;
        d->ui.tabTypes->addTab(table, StringsTypeName(TStringsType(t)).mid(2));
    }
    if (current >= 0 && current < d->ui.tabTypes->count())
        d->ui.tabTypes->setCurrentIndex(current);
    SetFilter(d->ui.edFilter->text());
}

void TTransEditorDlg::ShowType(TStringsType AType, int AIndex)
{
    QTableWidget *table = Table(AType);
    if (!table)
        return;
    d->ui.tabTypes->setCurrentWidget(table);
    if (AIndex >= 0 && AIndex < table->rowCount())
        table->setCurrentCell(AIndex, qMin(1, table->columnCount() - 1));
}

void TTransEditorDlg::SetFilter(const QString &AText)
{
    for (QTableWidget *table : d->tables) {
        if (!table)
            continue;
        for (int r = 0; r < table->rowCount(); ++r) {
            bool match = AText.isEmpty();
            for (int c = 0; !match && c < table->columnCount(); ++c)
                match = table->item(r, c) && table->item(r, c)->text().contains(AText, Qt::CaseInsensitive);
            table->setRowHidden(r, !match);
        }
    }
}

// Writes edited cells into the working copy; a line none of whose cells
// changed keeps its exact text.
void TTransEditorDlg::tablesToWork()
{
    for (int t = 0; t < StringsTypeCount; ++t) {
        QTableWidget *table = d->tables[t];
        if (!table)
            continue;
        TsiStringsCollection &list = *d->work->GetPropListByType(TStringsType(t));
        for (int r = 0; r < table->rowCount() && r < list.Count(); ++r) {
            QStringList fields = siSplitLine(list.Get(r), list.Delim());
            bool changed = false;
            for (int c = 0; c < table->columnCount(); ++c) {
                const QString cell = table->item(r, c) ? table->item(r, c)->text() : QString();
                const QString old = c < fields.size() ? fields.at(c) : QString();
                if (cell == old)
                    continue;
                while (fields.size() <= c)
                    fields.append(QString());
                fields[c] = cell;
                changed = true;
            }
            if (changed)
                list.Put(r, siJoinLine(fields, list.Delim()));
        }
    }
}

void TTransEditorDlg::LoadFile(const QString &AFileName)
{
    tablesToWork();
    TSIBFileManager files;
    files.LoadFromFile(AFileName);
    if (files.Count() > 0) {
        const int i = files.IndexOfOwner(d->target->GetOwnerClassName());
        const TSIBEntry &entry = files.Entry(i < 0 ? 0 : i);
        for (int t = 0; t < StringsTypeCount; ++t)
            d->work->MergeLines(TStringsType(t), entry.LangNames, entry.Lines[t]);
    }
    buildTables();
}

void TTransEditorDlg::SaveFile(const QString &AFileName)
{
    tablesToWork();
    TSIBFileManager files;
    files.Add(d->work.get());
    files.Entry(0).OwnerName = d->target->GetOwnerClassName();
    files.SaveToFile(AFileName);
}

// The working copy's lines go to the component where they differ.
void TTransEditorDlg::commit()
{
    tablesToWork();
    TsiCustomLang &target = *d->target;
    TsiLang &work = *d->work;
    // Languages a loaded file added come along; renamed ones keep their new name.
    if (work.NumOfLanguages() > target.NumOfLanguages())
        target.SetNumLang(work.NumOfLanguages());
    for (int l = 0; l < work.NumOfLanguages(); ++l)
        if (target.LangNames().Get(l) != work.LangNames().Get(l))
            target.LangNames().Put(l, work.LangNames().Get(l));
    for (int t = 0; t < StringsTypeCount; ++t) {
        TsiStringsCollection &dest = *target.GetPropListByType(TStringsType(t));
        const TsiStringsCollection &src = *work.GetPropListByType(TStringsType(t));
        dest.BeginUpdate();
        for (int i = 0; i < src.Count(); ++i) {
            if (i >= dest.Count())
                dest.Add(src.Get(i));
            else if (dest.Get(i) != src.Get(i))
                dest.Put(i, src.Get(i));
        }
        dest.EndUpdate();
    }
}

void TTransEditorDlg::accept()
{
    if (!(d->flags & sfReadOnly)) {
        commit();
        if (!(d->flags & sfNoApply))
            d->target->ChangeLanguage();
    }
    QDialog::accept();
}

bool TransEditorDlg(TsiCustomLang *ALang, TStringsType AStartType, int AStartIndex, TShowFlags AFlags,
                    const std::function<void(TTransEditorDlg &)> &ACallback)
{
    if (!ALang)
        return false;
    QWidget *parent = qobject_cast<QWidget *>(ALang->Owner());
    TTransEditorDlg dialog(ALang, AFlags, parent);
    dialog.ShowType(AStartType, AStartIndex);
    if (ACallback)
        ACallback(dialog);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace zor
