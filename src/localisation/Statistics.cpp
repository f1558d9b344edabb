#include <ZorCompCore/localisation/Statistics.h>

#include <ZorCompCore/localisation/Splash.h>
#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SiLangLinked.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/platform/TextWrap.h>
#include <ZorCompCore/platform/Variant.h>
#include "ui_Statistics.h"

#include <QCoreApplication>
#include <QPointer>
#include <cmath>

namespace zor {

namespace {

// The dialog that supplies the progress text (the last one created).
QPointer<TfrmStatistics> &currentForm()
{
    static QPointer<TfrmStatistics> form;
    return form;
}

double Percent(int A, int B)
{
    return B == 0 ? 0.0 : double(A) * 100.0 / double(B);
}

// Keeps the window responsive while a large component is counted.
void pumpEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

struct ItemCounts
{
    int empty = 0;
    int partial = 0;
    int translated = 0;
};

// Classifies each line by how many of the languages 1 to N hold a text.
ItemCounts CountItems(const QStringList &ALines, int N, QChar ADelim)
{
    ItemCounts counts;
    for (const QString &line : ALines) {
        const qsizetype first = line.indexOf(ADelim);
        QString texts = first < 0 ? QString() : line.mid(first + 1);
        texts.remove(ADelim);
        if (texts.isEmpty()) {
            ++counts.empty;
        } else {
            int filled = 0;
            for (int lang = 1; lang <= N; ++lang)
                if (!ExtractTranslation(line, ADelim, lang).isEmpty())
                    ++filled;
            if (filled == N)
                ++counts.translated;
            else if (filled > 1)
                ++counts.partial;
        }
        pumpEvents();
    }
    return counts;
}

void LangStats(const QStringList &ALines, int L, QChar ADelim, TLanguageStats &AStats)
{
    for (const QString &line : ALines) {
        const QString text = ExtractTranslation(line, ADelim, L);
        if (!text.isEmpty()) {
            AStats.SetNonEmptyItems(AStats.NonEmptyItems() + 1);
            AStats.SetWordsCount(AStats.WordsCount() + WordCount(text));
        } else {
            AStats.SetEmptyItems(AStats.EmptyItems() + 1);
        }
        pumpEvents();
    }
}

void TransInfo(const QStringList &ALines, int ASource, int ATarget, TTranslationInfo &AInfo, QChar ADelim)
{
    for (const QString &line : ALines) {
        const QString source = ExtractTranslation(line, ADelim, ASource);
        const QString target = ExtractTranslation(line, ADelim, ATarget);
        if (!source.isEmpty() || !target.isEmpty()) {
            if (!target.isEmpty()) {
                AInfo.SetTranslatedCount(AInfo.TranslatedCount() + 1);
                AInfo.SetWordsInTranslation(AInfo.WordsInTranslation() + WordCount(target));
            } else {
                AInfo.SetWordsToTranslate(AInfo.WordsToTranslate() + WordCount(source));
            }
        }
        pumpEvents();
    }
}

// Per-language and per-direction measures of one set of lines.
void AddLanguageMeasures(const QStringList &ALines, QChar ADelim, TTranslationsStats &AStats)
{
    for (int i = 0; i < AStats.LanguageStats().Count(); ++i)
        LangStats(ALines, i + 1, ADelim, *AStats.LanguageStats().Items(i));
    for (int i = 0; i < AStats.TranslationInfos().Count(); ++i)
        TransInfo(ALines, 1, i + 2, *AStats.TranslationInfos().Items(i), ADelim);
}

// The progress text in the tools' language when no dialog is open to give it.
QString progressText()
{
    if (TfrmStatistics *form = currentForm())
        return form->siLangLinked_frmStatistics()->GetText(QStringLiteral("IDS_0"));
    TsiLangLinked lang;
    siLoadFormTexts(&lang, QStringLiteral("Statistics"));
    lang.SetActiveLanguage(siEditorSettings().Language);
    return lang.GetText(QStringLiteral("IDS_0"));
}

// Fills a format from the form's texts; a translated format that does not
// fit its values is shown as it is rather than failing the dialog.
QString FormatText(const QString &AFormat, const QList<Variant> &AArgs)
{
    try {
        return Format(AFormat, AArgs);
    } catch (const Exception &) {
        return AFormat;
    }
}

// A bar of ATotal items showing APosition. An empty range would turn the bar
// into a busy indicator, so a total of 0 keeps a range of 1.
void SetBar(QProgressBar *ABar, int ATotal, int APosition)
{
    ABar->setRange(0, qMax(1, ATotal));
    ABar->setValue(qBound(0, APosition, qMax(1, ATotal)));
}

} // namespace

// ---------------------------------------------------------------------------

TTranslationsStats::TTranslationsStats(QObject *AOwner) : TComponent(AOwner) {}

TTranslationsStats::~TTranslationsStats() = default;

int WordCount(const QString &AText)
{
    static const QString breakChars = QStringLiteral("\t\n\r !(),-.:;<>?[]{}");
    TStringList lines;
    lines.SetText(WrapText(AText, QStringLiteral("\r\n"), breakChars, 1));
    return lines.Count();
}

TComponentPtr<TTranslationsStats> GetStatistics(const TsiCustomLang *ASource, const QString &ATitle,
                                                bool AShowProgress)
{
    Q_UNUSED(ATitle)
    TComponentPtr<TTranslationsStats> result(new TTranslationsStats);
    // Events are processed while counting: the component may go away meanwhile.
    QPointer<const TsiCustomLang> source(ASource);
    if (!source)
        return result;

    struct SplashGuard
    {
        bool shown = false;
        ~SplashGuard()
        {
            if (shown)
                NoSplash();
        }
    } splash;
    if (AShowProgress) {
        Splash(progressText());
        splash.shown = true;
        SplashInitProgress(12);
        if (!source)
            return result;
    }

    const int N = qMax(1, ASource->NumOfLanguages());
    const QChar delim = ASource->LangDelim();
    const TStringList &allNames = ASource->LangNames();

    TStringList names;
    for (int i = 0; i < N && i < allNames.Count(); ++i)
        names.Add(allNames.Get(i));
    result->SetLanguages(N);
    result->SetLangNames(names.CommaText());
    result->SetExtItems(int(ASource->ExtendedTranslations().size()));

    auto nameOf = [&](int i) { return i < names.Count() ? names.Get(i) : QString(); };
    for (int i = 0; i < N; ++i)
        result->LanguageStats().Add()->SetName(nameOf(i));
    for (int i = 1; i < N; ++i)
        result->TranslationInfos().Add()->SetName(
            FormatText(QStringLiteral("%s -> %s"), {Variant(nameOf(0)), Variant(nameOf(i))}));

    QStringList extLines;
    for (const TsiExtendedTranslation &item : ASource->ExtendedTranslations())
        extLines.append(item.Identifier + delim + item.Translations);
    const ItemCounts ext = CountItems(extLines, N, delim);
    result->SetEmptyExt(ext.empty);
    result->SetPartialExt(ext.partial);
    result->SetTranslatedExt(ext.translated);
    AddLanguageMeasures(extLines, delim, *result);
    if (AShowProgress)
        SplashProgress(1);

    QString propNames;
    for (int t = 0; t < StringsTypeCount && source; ++t) {
        const auto type = TStringsType(t);
        if (!source->HandlesType(type))
            continue;
        result->SetProperties(result->Properties() + 1);
        propNames += StringsTypeName(type).mid(2) + QStringLiteral(", ");
        // Font and character-set lists hold settings, not texts to translate.
        if (type != stFonts && type != stCharSets) {
            const QStringList lines = source->GetPropListByType(type)->ToQStringList();
            result->SetStdItems(result->StdItems() + int(lines.size()));
            const ItemCounts std = CountItems(lines, N, delim);
            result->SetEmptyStd(result->EmptyStd() + std.empty);
            result->SetPartialSdt(result->PartialSdt() + std.partial);
            result->SetTranslatedStd(result->TranslatedStd() + std.translated);
            AddLanguageMeasures(lines, delim, *result);
        }
        if (AShowProgress)
            SplashProgress(t + 2);
    }
    propNames.chop(2);
    result->SetPropNames(propNames);
    return result;
}

void DisplayStatistics(const TsiCustomLang *ASource, const QString &ATitle,
                       const std::function<void(TfrmStatistics &)> &ACallback)
{
    // The form first: it supplies the progress text.
    const auto form = std::make_unique<TfrmStatistics>();
    TComponentPtr<TTranslationsStats> stats = GetStatistics(ASource, ATitle, true);
    form->SetTranslationsStats(stats.get());
    form->SetTitle(ATitle);
    if (ACallback)
        ACallback(*form);
    form->exec();
}

// ---------------------------------------------------------------------------

struct TfrmStatistics::Private
{
    Ui::Statistics ui;
    TsiLangLinked *lang = nullptr;
    QPointer<TTranslationsStats> stats;
    QString title;
    bool hasTitle = false;
    // The format of each filled label, as its caption read in the current language.
    QHash<QObject *, QString> formats;
};

TfrmStatistics::TfrmStatistics(QWidget *AParent) : QDialog(AParent), d(std::make_unique<Private>())
{
    d->ui.setupUi(this);
    connect(d->ui.btnOK, &QPushButton::clicked, this, &QDialog::accept);

    d->lang = new TsiLangLinked(this);
    d->lang->setObjectName(QStringLiteral("siLangLinked_frmStatistics"));
    siLoadFormTexts(d->lang, QStringLiteral("Statistics"));
    // Filled at run time: their texts are no design texts to keep.
    for (const char *id : {"cbLanguages.items", "cbTranslations.items", "labNonEmpty.text", "labEmpty.text",
                           "labWordsCount.text", "labTranslated.text", "labWordsInTranslation.text",
                           "labRemainingWords.text"})
        d->lang->ExcludedProperties().Add(QLatin1String(id));

    // The "empty" bars are red.
    for (QProgressBar *bar : {d->ui.pbEmptyStd, d->ui.pbEmptyExt, d->ui.pbEmpty}) {
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Highlight, QColor(255, 0, 0));
        bar->setPalette(palette);
    }
    connect(d->ui.cbLanguages, &QComboBox::currentIndexChanged, this, [this] { languageChanged(); });
    connect(d->ui.cbTranslations, &QComboBox::currentIndexChanged, this, [this] { translationChanged(); });

    captureFormats();
    d->lang->OnChangeLanguage = [this](TsiCustomLang &) {
        // Applying the language put the formats back in place of the values.
        captureFormats();
        UpdateDisplay();
    };
    currentForm() = this;
    siInitEditorForm(this, d->lang);
}

TfrmStatistics::~TfrmStatistics()
{
    // The component is freed with the form's children; it must not call back
    // into a half-destroyed form.
    d->lang->OnChangeLanguage = nullptr;
    d->ui.cbLanguages->disconnect(this);
    d->ui.cbTranslations->disconnect(this);
}

TTranslationsStats *TfrmStatistics::TranslationsStats() const
{
    return d->stats;
}

void TfrmStatistics::SetTranslationsStats(TTranslationsStats *AValue)
{
    d->stats = AValue;
    UpdateDisplay();
}

void TfrmStatistics::SetTitle(const QString &ATitle)
{
    d->title = ATitle;
    d->hasTitle = true;
    setWindowTitle(FormatText(d->formats.value(this), {Variant(ATitle)}));
}

TsiLangLinked *TfrmStatistics::siLangLinked_frmStatistics() const
{
    return d->lang;
}

void TfrmStatistics::captureFormats()
{
    const Ui::Statistics &ui = d->ui;
    d->formats.clear();
    d->formats.insert(this, windowTitle());
    for (QLabel *label : {ui.labLanguages, ui.labHandled, ui.labTranslatedStd, ui.labPartialStd, ui.labEmptyStd,
                          ui.labTranslatedExt, ui.labPartialExt, ui.labEmptyExt, ui.labTotal,
                          ui.labTranslatedTotal})
        d->formats.insert(label, label->text());
    for (QGroupBox *box : {ui.gbStandard, ui.gbExtended})
        d->formats.insert(box, box->title());
}

void TfrmStatistics::UpdateDisplay()
{
    Ui::Statistics &ui = d->ui;
    TTranslationsStats empty;
    const TTranslationsStats &s = d->stats ? *d->stats : empty;
    auto fill = [this](QObject *AControl, const QList<Variant> &AArgs) {
        return FormatText(d->formats.value(AControl), AArgs);
    };
    // A count and its share of ATotal, on a label and its bar.
    auto fillRow = [&](QLabel *ALabel, QProgressBar *ABar, int ACount, int ATotal) {
        ALabel->setText(fill(ALabel, {Variant(ACount), Variant(Percent(ACount, ATotal))}));
        SetBar(ABar, ATotal, ACount);
    };

    if (d->hasTitle)
        setWindowTitle(fill(this, {Variant(d->title)}));
    ui.labLanguages->setText(fill(ui.labLanguages, {Variant(s.Languages())}));
    ui.edLanguages->setText(s.LangNames());
    ui.edLanguages->setCursorPosition(0); // long lists show their start
    ui.labHandled->setText(fill(ui.labHandled, {Variant(s.Properties())}));
    ui.edProperties->setText(s.PropNames());
    ui.edProperties->setCursorPosition(0);

    ui.gbStandard->setTitle(fill(ui.gbStandard, {Variant(s.StdItems())}));
    fillRow(ui.labTranslatedStd, ui.pbStandard, s.TranslatedStd(), s.StdItems());
    fillRow(ui.labPartialStd, ui.pbPartialStd, s.PartialSdt(), s.StdItems());
    fillRow(ui.labEmptyStd, ui.pbEmptyStd, s.EmptyStd(), s.StdItems());

    ui.gbExtended->setTitle(fill(ui.gbExtended, {Variant(s.ExtItems())}));
    fillRow(ui.labTranslatedExt, ui.pbExtended, s.TranslatedExt(), s.ExtItems());
    fillRow(ui.labPartialExt, ui.pbPartialExt, s.PartialExt(), s.ExtItems());
    fillRow(ui.labEmptyExt, ui.pbEmptyExt, s.EmptyExt(), s.ExtItems());

    const int total = s.StdItems() + s.ExtItems();
    const int translated = s.TranslatedStd() + s.TranslatedExt();
    const double percent = Percent(translated, total);
    ui.labTotal->setText(fill(ui.labTotal, {Variant(total)}));
    ui.labTranslatedTotal->setText(fill(ui.labTranslatedTotal, {Variant(translated), Variant(percent)}));
    ui.pbTotal->setRange(0, 100);
    ui.pbTotal->setValue(qBound(0, int(std::lround(percent)), 100));

    // Refilling the boxes keeps the selection a language switch found.
    auto refill = [](QComboBox *ABox, const QStringList &AItems) {
        const int keep = ABox->currentIndex();
        const QSignalBlocker block(ABox);
        ABox->clear();
        ABox->addItems(AItems);
        ABox->setCurrentIndex(keep >= 0 && keep < AItems.size() ? keep : (AItems.isEmpty() ? -1 : 0));
    };
    TStringList names;
    names.SetCommaText(s.LangNames());
    refill(ui.cbLanguages, names.ToQStringList());
    QStringList directions;
    for (int i = 0; i < s.TranslationInfos().Count(); ++i)
        directions.append(s.TranslationInfos().Items(i)->Name());
    refill(ui.cbTranslations, directions);
    languageChanged();
    translationChanged();
}

void TfrmStatistics::languageChanged()
{
    const TLanguageStats *ls = d->stats ? d->stats->LanguageStats().Items(d->ui.cbLanguages->currentIndex()) : nullptr;
    const int nonEmpty = ls ? ls->NonEmptyItems() : 0;
    const int empty = ls ? ls->EmptyItems() : 0;
    const int words = ls ? ls->WordsCount() : 0;
    d->ui.labNonEmpty->setText(FormatText(d->lang->GetText(QStringLiteral("IDS_3")), {Variant(nonEmpty)}));
    d->ui.labEmpty->setText(FormatText(d->lang->GetText(QStringLiteral("IDS_4")),
                                       {Variant(empty), Variant(Percent(empty, nonEmpty + empty))}));
    SetBar(d->ui.pbEmpty, nonEmpty + empty, empty);
    d->ui.labWordsCount->setText(FormatText(d->lang->GetText(QStringLiteral("IDS_5")), {Variant(words)}));
}

void TfrmStatistics::translationChanged()
{
    const TTranslationInfo *info =
        d->stats ? d->stats->TranslationInfos().Items(d->ui.cbTranslations->currentIndex()) : nullptr;
    const int total = d->stats ? d->stats->ExtItems() + d->stats->StdItems() : 0;
    const int translated = info ? info->TranslatedCount() : 0;
    d->ui.labTranslated->setText(FormatText(d->lang->GetText(QStringLiteral("IDS_9")),
                                            {Variant(translated), Variant(Percent(translated, total))}));
    SetBar(d->ui.pbTranslation, info ? total : 0, translated);
    d->ui.labWordsInTranslation->setText(FormatText(d->lang->GetText(QStringLiteral("IDS_10")),
                                                    {Variant(info ? info->WordsInTranslation() : 0)}));
    d->ui.labRemainingWords->setText(FormatText(d->lang->GetText(QStringLiteral("IDS_11")),
                                                {Variant(info ? info->WordsToTranslate() : 0)}));
}

void TfrmStatistics::showEvent(QShowEvent *event)
{
    UpdateDisplay();
    QDialog::showEvent(event);
}

} // namespace zor
