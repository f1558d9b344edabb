#include <ZorCompCore/localisation/DefFonts.h>

#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SiLangLinked.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Registry.h>
#include "ui_DefFonts.h"

#include <QFontDatabase>
#include <QMessageBox>
#include <QSet>
#include <QTreeWidget>
#include <algorithm>

namespace zor {

// Set from the module's start-up action, which may run before this file's
// dynamic initialisers: it must stay constant-initialised.
constinit TDefFontsList *DefFontsList = nullptr;

namespace {

struct CharsetName
{
    quint8 Value;
    const char *Ident;
};

// Ascending by value.
constexpr CharsetName kCharsets[] = {
    {ANSI_CHARSET, "ANSI_CHARSET"},
    {DEFAULT_CHARSET, "DEFAULT_CHARSET"},
    {SYMBOL_CHARSET, "SYMBOL_CHARSET"},
    {MAC_CHARSET, "MAC_CHARSET"},
    {SHIFTJIS_CHARSET, "SHIFTJIS_CHARSET"},
    {HANGEUL_CHARSET, "HANGEUL_CHARSET"},
    {JOHAB_CHARSET, "JOHAB_CHARSET"},
    {GB2312_CHARSET, "GB2312_CHARSET"},
    {CHINESEBIG5_CHARSET, "CHINESEBIG5_CHARSET"},
    {GREEK_CHARSET, "GREEK_CHARSET"},
    {TURKISH_CHARSET, "TURKISH_CHARSET"},
    {VIETNAMESE_CHARSET, "VIETNAMESE_CHARSET"},
    {HEBREW_CHARSET, "HEBREW_CHARSET"},
    {ARABIC_CHARSET, "ARABIC_CHARSET"},
    {BALTIC_CHARSET, "BALTIC_CHARSET"},
    {RUSSIAN_CHARSET, "RUSSIAN_CHARSET"},
    {THAI_CHARSET, "THAI_CHARSET"},
    {EASTEUROPE_CHARSET, "EASTEUROPE_CHARSET"},
    {OEM_CHARSET, "OEM_CHARSET"},
};

// Language names compare ignoring the case of A to Z only.
bool sameLanguage(const QString &A, const QString &B)
{
    return A.compare(B, Qt::CaseSensitive) == 0 || (A.size() == B.size() && [&] {
               for (qsizetype i = 0; i < A.size(); ++i) {
                   char16_t a = A.at(i).unicode(), b = B.at(i).unicode();
                   if (a >= u'a' && a <= u'z')
                       a -= 32;
                   if (b >= u'a' && b <= u'z')
                       b -= 32;
                   if (a != b)
                       return false;
               }
               return true;
           }());
}

QString valueName(const char *APrefix, int AIndex)
{
    return QLatin1StringView(APrefix) + QString::number(AIndex);
}

constexpr const char *kCount = "FontInfoCount";
constexpr const char *kLang = "FontInfoLang";
constexpr const char *kFont = "FontInfoFont";
constexpr const char *kCharset = "FontInfoCharset";

} // namespace

QString CharsetToIdent(quint8 ACharset)
{
    for (const CharsetName &c : kCharsets) {
        if (c.Value == ACharset)
            return QLatin1StringView(c.Ident);
    }
    return QString::number(ACharset);
}

bool IdentToCharset(const QString &AIdent, quint8 &ACharset)
{
    const QString ident = AIdent.trimmed();
    for (const CharsetName &c : kCharsets) {
        if (sameLanguage(ident, QLatin1StringView(c.Ident))) {
            ACharset = c.Value;
            return true;
        }
    }
    bool ok = false;
    const uint value = ident.toUInt(&ok, 10);
    if (!ok || value > 255)
        return false;
    ACharset = quint8(value);
    return true;
}

QStringList CharsetIdents()
{
    QStringList out;
    for (const CharsetName &c : kCharsets)
        out.append(QLatin1StringView(c.Ident));
    return out;
}

// --- TDefFontsList ----------------------------------------------------------

TDefFontsList::TDefFontsList()
{
    try {
        ReadFromRegistry(QString::fromUtf16(DefFontsRegistryKey));
    } catch (const Exception &) {
        // An unreadable store leaves the list empty: the defaults are a convenience.
    }
    FWasChanged = false;
}

TDefFontsList::~TDefFontsList()
{
    if (FWasChanged) {
        try {
            WriteToRegistry(QString::fromUtf16(DefFontsRegistryKey));
        } catch (const Exception &) {
            // Nothing to report to at unload; the store keeps its last state.
        }
    }
}

TDefFontListItem *TDefFontsList::Items(int AIndex) const
{
    return AIndex >= 0 && AIndex < Count() ? FItems[size_t(AIndex)].get() : nullptr;
}

void TDefFontsList::Clear()
{
    FItems.clear();
    FWasChanged = true;
}

void TDefFontsList::AddDefFontItem(const QString &ALanguage, const QString &AFontName, quint8 ACharset)
{
    auto item = std::make_unique<TDefFontListItem>();
    item->FLanguage = ALanguage;
    item->FFontName = AFontName;
    item->FCharset = ACharset;
    FItems.push_back(std::move(item));
    FWasChanged = true;
}

void TDefFontsList::RemoveDefFontItem(const QString &ALanguage)
{
    std::erase_if(FItems, [&](const auto &item) { return sameLanguage(item->FLanguage, ALanguage); });
    FWasChanged = true;
}

QString TDefFontsList::GetLangFontName(const QString &ALanguage) const
{
    const TDefFontListItem *item = FindItemByLang(ALanguage);
    return item ? item->FFontName : QString();
}

quint8 TDefFontsList::GetLangCharset(const QString &ALanguage) const
{
    const TDefFontListItem *item = FindItemByLang(ALanguage);
    return item ? item->FCharset : quint8(DEFAULT_CHARSET);
}

TDefFontListItem *TDefFontsList::FindItemByLang(const QString &ALanguage) const
{
    for (const auto &item : FItems) {
        if (sameLanguage(item->FLanguage, ALanguage))
            return item.get();
    }
    return nullptr;
}

void TDefFontsList::PopulateListView(QTreeWidget *AListView) const
{
    if (!AListView)
        return;
    AListView->clear();
    QList<QTreeWidgetItem *> rows;
    for (const auto &item : FItems)
        rows.append(new QTreeWidgetItem({item->FLanguage, item->FFontName, CharsetToIdent(item->FCharset)}));
    AListView->addTopLevelItems(rows);
}

void TDefFontsList::CopyFromListView(const QTreeWidget *AListView)
{
    if (!AListView)
        return;
    Clear();
    for (int i = 0; i < AListView->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = AListView->topLevelItem(i);
        quint8 charset = DEFAULT_CHARSET;
        IdentToCharset(row->text(2), charset);
        AddDefFontItem(row->text(0), row->text(1), charset);
    }
}

bool TDefFontsList::WriteToRegistry(const QString &AKey)
{
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (!reg.OpenKey(AKey, true))
        return false;
    reg.WriteInteger(QLatin1StringView(kCount), Count());
    for (int i = 0; i < Count(); ++i) {
        const TDefFontListItem &item = *FItems[size_t(i)];
        reg.WriteString(valueName(kLang, i), item.FLanguage);
        reg.WriteString(valueName(kFont, i), item.FFontName);
        reg.WriteInteger(valueName(kCharset, i), item.FCharset);
    }
    // Entries of a longer list written before; the first index without any
    // of its values ends them.
    for (int i = Count();; ++i) {
        bool any = false;
        for (const char *prefix : {kLang, kFont, kCharset})
            any |= reg.DeleteValue(valueName(prefix, i));
        if (!any)
            break;
    }
    return true;
}

void TDefFontsList::ReadFromRegistry(const QString &AKey)
{
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (!reg.OpenKeyReadOnly(AKey) || reg.GetDataType(QLatin1StringView(kCount)) != rdInteger)
        return;
    const int count = reg.ReadInteger(QLatin1StringView(kCount));
    // Visit only indexes that have a value: a hostile count must not drive
    // the loop.
    QList<int> indexes;
    const QString langPrefix = QLatin1StringView(kLang);
    for (const QString &name : reg.ValueNames()) {
        if (!name.startsWith(langPrefix, Qt::CaseInsensitive))
            continue;
        const QStringView digits = QStringView(name).mid(langPrefix.size());
        bool ok = false;
        const int i = digits.toInt(&ok);
        // Only the canonical spelling: "FontInfoLang01" is not entry 1.
        if (ok && i >= 0 && i < count && QString::number(i) == digits)
            indexes.append(i);
    }
    std::sort(indexes.begin(), indexes.end());
    for (const int i : indexes) {
        const QString lang = valueName(kLang, i), font = valueName(kFont, i), charset = valueName(kCharset, i);
        if (reg.GetDataType(lang) != rdString || reg.GetDataType(font) != rdString ||
            reg.GetDataType(charset) != rdInteger)
            continue;
        AddDefFontItem(reg.ReadString(lang), reg.ReadString(font), quint8(reg.ReadInteger(charset)));
    }
}

// --- Module actions ---------------------------------------------------------

namespace detail {

void DefFontsStartup()
{
    DefFontsList = new TDefFontsList;
}

void DefFontsShutdown()
{
    delete std::exchange(DefFontsList, nullptr);
}

} // namespace detail

// --- The dialog -------------------------------------------------------------

struct TfrmDefFonts::Private
{
    Ui::DefFonts ui;
    TsiLangLinked *lang = nullptr;
    bool filling = false; // editors are being set from the selection

    QList<QTreeWidgetItem *> selectedRows() const
    {
        QList<QTreeWidgetItem *> rows;
        // Tree order, not click order, so that replacing is predictable.
        for (int i = 0; i < ui.lvFonts->topLevelItemCount(); ++i) {
            if (ui.lvFonts->topLevelItem(i)->isSelected())
                rows.append(ui.lvFonts->topLevelItem(i));
        }
        return rows;
    }
    QComboBox *editor(int AColumn) const
    {
        return AColumn == 0 ? ui.cbLanguage : AColumn == 1 ? ui.cbFontName : ui.cbCharset;
    }

    void updateButtons(const QString &AMultiple)
    {
        quint8 charset = 0;
        const QString lang = ui.cbLanguage->currentText().trimmed();
        const QString font = ui.cbFontName->currentText().trimmed();
        const QString cs = ui.cbCharset->currentText();
        const bool charsetValid = IdentToCharset(cs, charset);
        const bool anyMultiple = lang == AMultiple || font == AMultiple || cs == AMultiple;
        const bool selected = !ui.lvFonts->selectedItems().isEmpty();
        ui.btnAdd->setEnabled(!lang.isEmpty() && !font.isEmpty() && charsetValid && !anyMultiple);
        // Replace needs one field to write, and nothing it would write blank or invalid.
        const bool replaceable = (lang == AMultiple || !lang.isEmpty()) && (font == AMultiple || !font.isEmpty()) &&
                                 (cs == AMultiple || charsetValid) &&
                                 !(lang == AMultiple && font == AMultiple && cs == AMultiple);
        ui.btnReplace->setEnabled(selected && replaceable);
        ui.btnDelete->setEnabled(selected);
        ui.btnClear->setEnabled(ui.lvFonts->topLevelItemCount() > 0);
    }
};

TfrmDefFonts::TfrmDefFonts(QWidget *AParent) : QDialog(AParent), d(std::make_unique<Private>())
{
    d->ui.setupUi(this);
    d->ui.cbFontName->addItems(QFontDatabase::families());
    d->ui.cbCharset->addItems(CharsetIdents());
    for (int c = 0; c < 3; ++c)
        d->editor(c)->setCurrentIndex(-1);
    d->ui.cbCharset->setEditText(CharsetToIdent(DEFAULT_CHARSET));

    d->lang = new TsiLangLinked(this);
    d->lang->setObjectName(QStringLiteral("siLangLinked_frmDefFonts"));
    // Rows and combo items are data, not design texts.
    d->lang->SetHandlesType(stItems, false);
    d->lang->SetHandlesType(stListView_TreeView_Items, false);
    siLoadFormTexts(d->lang, QStringLiteral("DefFonts"));
    siInitEditorForm(this, d->lang);

    Confirm = [this](const QString &AQuestion) {
        return QMessageBox::question(this, windowTitle(), AQuestion) == QMessageBox::Yes;
    };
    connect(d->ui.lvFonts, &QTreeWidget::itemSelectionChanged, this, &TfrmDefFonts::UpdateControls);
    for (int c = 0; c < 3; ++c) {
        connect(d->editor(c), &QComboBox::editTextChanged, this, [this] {
            if (!d->filling)
                d->updateButtons(MultipleValuesText());
        });
    }
    connect(d->ui.btnAdd, &QPushButton::clicked, this, &TfrmDefFonts::AddRow);
    connect(d->ui.btnReplace, &QPushButton::clicked, this, &TfrmDefFonts::ReplaceRows);
    connect(d->ui.btnDelete, &QPushButton::clicked, this, &TfrmDefFonts::DeleteRows);
    connect(d->ui.btnClear, &QPushButton::clicked, this, &TfrmDefFonts::ClearRows);
    connect(d->ui.btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(d->ui.btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateControls();
}

TfrmDefFonts::~TfrmDefFonts() = default;

QTreeWidget *TfrmDefFonts::ListView() const
{
    return d->ui.lvFonts;
}

TsiCustomLang *TfrmDefFonts::Lang() const
{
    return d->lang;
}

QString TfrmDefFonts::MultipleValuesText() const
{
    return d->lang->GetText(QStringLiteral("IDS_16"));
}

void TfrmDefFonts::SetLanguageNames(const QStringList &ANames)
{
    const QString text = d->ui.cbLanguage->currentText();
    d->ui.cbLanguage->clear();
    d->ui.cbLanguage->addItems(ANames);
    d->ui.cbLanguage->setEditText(text);
}

QString TfrmDefFonts::LanguageText() const { return d->ui.cbLanguage->currentText(); }
QString TfrmDefFonts::FontNameText() const { return d->ui.cbFontName->currentText(); }
QString TfrmDefFonts::CharsetText() const { return d->ui.cbCharset->currentText(); }
void TfrmDefFonts::SetLanguageText(const QString &AText) { d->ui.cbLanguage->setEditText(AText); }
void TfrmDefFonts::SetFontNameText(const QString &AText) { d->ui.cbFontName->setEditText(AText); }
void TfrmDefFonts::SetCharsetText(const QString &AText) { d->ui.cbCharset->setEditText(AText); }

void TfrmDefFonts::UpdateControls()
{
    const QList<QTreeWidgetItem *> rows = d->selectedRows();
    // With nothing selected the editors keep what the user typed for Add.
    if (!rows.isEmpty() && !d->filling) {
        const QString multiple = MultipleValuesText();
        d->filling = true;
        for (int c = 0; c < 3; ++c) {
            const QString first = rows.first()->text(c);
            const bool agree = std::all_of(rows.begin(), rows.end(),
                                           [&](const QTreeWidgetItem *r) { return r->text(c) == first; });
            d->editor(c)->setEditText(agree ? first : multiple);
        }
        d->filling = false;
    }
    d->updateButtons(MultipleValuesText());
}

void TfrmDefFonts::AddRow()
{
    quint8 charset = DEFAULT_CHARSET;
    const QString lang = LanguageText().trimmed(), font = FontNameText().trimmed();
    const QString multiple = MultipleValuesText();
    if (lang.isEmpty() || font.isEmpty() || lang == multiple || font == multiple ||
        !IdentToCharset(CharsetText(), charset))
        return;
    auto *row = new QTreeWidgetItem({lang, font, CharsetToIdent(charset)});
    d->ui.lvFonts->addTopLevelItem(row);
    d->ui.lvFonts->clearSelection();
    row->setSelected(true);
    d->ui.lvFonts->setCurrentItem(row);
    UpdateControls();
}

void TfrmDefFonts::ReplaceRows()
{
    const QList<QTreeWidgetItem *> rows = d->selectedRows();
    const QString multiple = MultipleValuesText();
    QString values[3] = {LanguageText().trimmed(), FontNameText().trimmed(), CharsetText()};
    quint8 charset = 0;
    if (values[2] != multiple) {
        if (!IdentToCharset(values[2], charset))
            return;
        values[2] = CharsetToIdent(charset);
    }
    for (QTreeWidgetItem *row : rows) {
        for (int c = 0; c < 3; ++c) {
            // A field the rows disagree on keeps each row's own value.
            if (values[c] != multiple && !values[c].isEmpty())
                row->setText(c, values[c]);
        }
    }
    UpdateControls();
}

void TfrmDefFonts::DeleteRows()
{
    qDeleteAll(d->selectedRows());
    UpdateControls();
}

void TfrmDefFonts::ClearRows()
{
    if (d->ui.lvFonts->topLevelItemCount() == 0)
        return;
    if (Confirm && !Confirm(d->lang->GetText(QStringLiteral("IDS_15"))))
        return;
    d->ui.lvFonts->clear();
    UpdateControls();
}

namespace {

int runDefFonts(TDefFontsList *AList, TfrmDefFonts &ADialog, const std::function<void(TfrmDefFonts &)> &ACallback)
{
    AList->PopulateListView(ADialog.ListView());
    ADialog.ListView()->resizeColumnToContents(0);
    ADialog.ListView()->resizeColumnToContents(1);
    if (ADialog.ListView()->topLevelItemCount() > 0)
        ADialog.ListView()->topLevelItem(0)->setSelected(true);
    ADialog.UpdateControls();
    if (ACallback)
        ACallback(ADialog);
    const int result = ADialog.exec();
    if (result == QDialog::Accepted) {
        AList->CopyFromListView(ADialog.ListView());
        try {
            AList->WriteToRegistry(QString::fromUtf16(DefFontsRegistryKey));
        } catch (const Exception &e) {
            QMessageBox::warning(&ADialog, ADialog.windowTitle(), e.Message());
        }
    }
    return result;
}

} // namespace

int DefFontsDlg(TDefFontsList *AList, TsiLangDispatcher *ADispatcher, TsiCustomLang *ALangLink,
                const std::function<void(TfrmDefFonts &)> &ACallback)
{
    if (!AList)
        return QDialog::Rejected;
    TfrmDefFonts dialog;
    auto *lang = static_cast<TsiLangLinked *>(dialog.Lang());
    lang->SetCommonContainer(ALangLink);
    lang->SetLangDispatcher(ADispatcher);
    if (ADispatcher)
        dialog.SetLanguageNames(ADispatcher->LangNames().ToQStringList());
    return runDefFonts(AList, dialog, ACallback);
}

int DefFontsDlg(TDefFontsList *AList, const std::function<void(TfrmDefFonts &)> &ACallback)
{
    if (!AList)
        return QDialog::Rejected;
    TfrmDefFonts dialog;
    QStringList languages;
    for (int i = 0; i < AList->Count(); ++i) {
        if (!languages.contains(AList->Items(i)->FLanguage, Qt::CaseInsensitive))
            languages.append(AList->Items(i)->FLanguage);
    }
    dialog.SetLanguageNames(languages);
    return runDefFonts(AList, dialog, ACallback);
}

} // namespace zor
