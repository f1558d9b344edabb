// Translation statistics of a language component: how many of its texts are
// translated, per item kind (standard collections and extended items), per
// language and per translation direction (from language 1 to each other
// language), and a dialog that shows them.
#pragma once

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/zor_export.h>

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace zor {

class TsiCustomLang;
class TsiLangLinked;

// An owning list of items that can be copied: Add appends a fresh item,
// Items answers null for an index out of range.
template <class T>
class TStatsCollection
{
public:
    TStatsCollection() = default;
    TStatsCollection(const TStatsCollection &AOther) { Assign(AOther); }
    TStatsCollection &operator=(const TStatsCollection &AOther)
    {
        Assign(AOther);
        return *this;
    }

    T *Add()
    {
        FItems.push_back(std::make_unique<T>());
        return FItems.back().get();
    }
    T *Items(int AIndex) const
    {
        return AIndex >= 0 && AIndex < Count() ? FItems[size_t(AIndex)].get() : nullptr;
    }
    int Count() const { return int(FItems.size()); }
    void Clear() { FItems.clear(); }
    // Replaces the items with copies of ASource's.
    void Assign(const TStatsCollection &ASource)
    {
        if (&ASource == this)
            return;
        std::vector<std::unique_ptr<T>> copy;
        copy.reserve(ASource.FItems.size());
        for (const auto &item : ASource.FItems)
            copy.push_back(std::make_unique<T>(*item));
        FItems = std::move(copy);
    }

private:
    std::vector<std::unique_ptr<T>> FItems;
};

// The texts of one language.
class TLanguageStats
{
public:
    int NonEmptyItems() const { return FNonEmptyItems; }
    void SetNonEmptyItems(int AValue) { FNonEmptyItems = AValue; }
    int EmptyItems() const { return FEmptyItems; }
    void SetEmptyItems(int AValue) { FEmptyItems = AValue; }
    // Words of the non-empty texts (see WordCount).
    int WordsCount() const { return FWordsCount; }
    void SetWordsCount(int AValue) { FWordsCount = AValue; }
    QString Name() const { return FName; }
    void SetName(const QString &AValue) { FName = AValue; }

private:
    int FNonEmptyItems = 0;
    int FEmptyItems = 0;
    int FWordsCount = 0;
    QString FName;
};

class TLanguageStatsList : public TStatsCollection<TLanguageStats>
{
};

// One translation direction, from language 1 to another language.
class TTranslationInfo
{
public:
    // Words of the source texts whose translation is still empty.
    int WordsToTranslate() const { return FWordsToTranslate; }
    void SetWordsToTranslate(int AValue) { FWordsToTranslate = AValue; }
    int TranslatedCount() const { return FTranslatedCount; }
    void SetTranslatedCount(int AValue) { FTranslatedCount = AValue; }
    int WordsInTranslation() const { return FWordsInTranslation; }
    void SetWordsInTranslation(int AValue) { FWordsInTranslation = AValue; }
    // "<source language> -> <target language>".
    QString Name() const { return FName; }
    void SetName(const QString &AValue) { FName = AValue; }

private:
    int FWordsToTranslate = 0;
    int FTranslatedCount = 0;
    int FWordsInTranslation = 0;
    QString FName;
};

class TTranslationInfos : public TStatsCollection<TTranslationInfo>
{
};

// The result of GetStatistics. A line is empty when none of its languages has
// a text, translated when all have one, partial when more than one but not
// all have one (so with two or more languages a line whose only text is in
// one language counts in none of the three).
class ZOR_EXPORT TTranslationsStats : public TComponent
{
    Q_OBJECT
public:
    explicit TTranslationsStats(QObject *AOwner = nullptr);
    ~TTranslationsStats() override;

    int ExtItems() const { return FExtItems; }
    void SetExtItems(int AValue) { FExtItems = AValue; }
    int Languages() const { return FLanguages; }
    void SetLanguages(int AValue) { FLanguages = AValue; }
    int PartialExt() const { return FPartialExt; }
    void SetPartialExt(int AValue) { FPartialExt = AValue; }
    // Lines of the standard collections (font and character-set lists excluded).
    int StdItems() const { return FStdItems; }
    void SetStdItems(int AValue) { FStdItems = AValue; }
    int PartialSdt() const { return FPartialSdt; }
    void SetPartialSdt(int AValue) { FPartialSdt = AValue; }
    // Number of collection types the component handles.
    int Properties() const { return FProperties; }
    void SetProperties(int AValue) { FProperties = AValue; }
    int TranslatedExt() const { return FTranslatedExt; }
    void SetTranslatedExt(int AValue) { FTranslatedExt = AValue; }
    int TranslatedStd() const { return FTranslatedStd; }
    void SetTranslatedStd(int AValue) { FTranslatedStd = AValue; }
    // One entry per language, in language order.
    const TLanguageStatsList &LanguageStats() const { return FLanguageStats; }
    TLanguageStatsList &LanguageStats() { return FLanguageStats; }
    void SetLanguageStats(const TLanguageStatsList &AValue) { FLanguageStats.Assign(AValue); }
    // One entry per language 2 to N.
    const TTranslationInfos &TranslationInfos() const { return FTranslationInfos; }
    TTranslationInfos &TranslationInfos() { return FTranslationInfos; }
    void SetTranslationInfos(const TTranslationInfos &AValue) { FTranslationInfos.Assign(AValue); }
    // The handled types ("Captions, Hints, …").
    QString PropNames() const { return FPropNames; }
    void SetPropNames(const QString &AValue) { FPropNames = AValue; }
    int EmptyStd() const { return FEmptyStd; }
    void SetEmptyStd(int AValue) { FEmptyStd = AValue; }
    int EmptyExt() const { return FEmptyExt; }
    void SetEmptyExt(int AValue) { FEmptyExt = AValue; }
    // The language names as comma text (TStringList::CommaText).
    QString LangNames() const { return FLangNames; }
    void SetLangNames(const QString &AValue) { FLangNames = AValue; }

private:
    int FExtItems = 0;
    int FLanguages = 0;
    int FPartialExt = 0;
    int FStdItems = 0;
    int FPartialSdt = 0;
    int FProperties = 0;
    int FTranslatedExt = 0;
    int FTranslatedStd = 0;
    TLanguageStatsList FLanguageStats;
    TTranslationInfos FTranslationInfos;
    QString FPropNames;
    int FEmptyStd = 0;
    int FEmptyExt = 0;
    QString FLangNames;
};

// The number of words in AText: the lines of the text wrapped at column 1
// (WrapText with CR LF) at blanks, line ends and ! ( ) , - . : ; < > ? [ ] { },
// counted as TStringList::SetText counts them.
ZOR_EXPORT int WordCount(const QString &AText);

// Counts the texts of ASource. The caller owns the result; a null ASource
// gives all zeros. With AShowProgress the splash window shows the progress
// (the text comes from the open statistics dialog, or in the tools' language
// when none is open). Pending GUI events are processed after every line.
// ATitle names the component for the caller's display only.
ZOR_EXPORT TComponentPtr<TTranslationsStats> GetStatistics(const TsiCustomLang *ASource, const QString &ATitle,
                                                           bool AShowProgress);

class TfrmStatistics;

// Counts ASource and shows the result modally, titled after ATitle.
// ACallback, when given, is called with the dialog before it runs.
ZOR_EXPORT void DisplayStatistics(const TsiCustomLang *ASource, const QString &ATitle,
                                  const std::function<void(TfrmStatistics &)> &ACallback = {});

// The statistics dialog. Its labels are formats (in the form's language)
// filled with the numbers of TranslationsStats whenever it is shown, the
// statistics change or the form's language changes.
class ZOR_EXPORT TfrmStatistics : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmStatistics(QWidget *AParent = nullptr);
    ~TfrmStatistics() override;

    // Not owned; the dialog forgets statistics that are destroyed.
    TTranslationsStats *TranslationsStats() const;
    void SetTranslationsStats(TTranslationsStats *AValue);
    // Titles the window with its title format filled with ATitle.
    void SetTitle(const QString &ATitle);
    // The form's language component, which supplies its texts.
    TsiLangLinked *siLangLinked_frmStatistics() const;

    // Refills every label, bar and box from TranslationsStats.
    void UpdateDisplay();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void captureFormats();
    void languageChanged();
    void translationChanged();

    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
