// The language component of the library's forms. On top of the runtime's
// TsiLang it excludes a fixed set of technical property names, merges
// per-form override files kept beside the executable, lets the user edit
// those overrides, and makes languages without stored texts selectable: their
// texts come from the active dynamic translator, deferred and re-applied when
// the translations arrive.
#pragma once

#include <ZorCompCore/localisation/runtime/SiLang.h>
#include <ZorCompCore/zor_export.h>

#include <QString>
#include <functional>

namespace zor {

class TsiCustomLang;

// Callback with a progress message.
using TStateMessageEvent = std::function<void(const QString &AMessage)>;
// True when Value replaces the stored text of ID ("TfrmMain.msgHello").
using TZORLangGetTextCustomizEvent = std::function<bool(const QString &ID, QString &Value)>;
// Set by the application to override texts; unset by default.
ZOR_EXPORT extern TZORLangGetTextCustomizEvent GlobalGetTextCustomized;

class ZOR_EXPORT TZORCustomLang : public TsiLang
{
    Q_OBJECT
public:
    explicit TZORCustomLang(QObject *AOwner = nullptr);
    ~TZORCustomLang() override;

    // Copies another component's texts through the translation file format.
    void Assign(TsiCustomLang *Source) override;
    // Merges the overrides first, when the form is streamed in.
    void Loaded() override;
    // Merges the overrides before the first language is applied.
    void ChangeLanguage() override;
    void ExcludeProperties() override;

    // Deletes the overrides file, if there is one.
    void ClearOverrides();
    // Merges the overrides file (if any); unless ANoChange, shows the result.
    void LoadExternalOverrides(bool ANoChange);
    // Opens the translation editor; the edited lines go to the overrides file.
    bool ShowEditTranslationsDialog();

    // The built-in names never offered for translation (86 lines, 84 distinct).
    static const QStringList &FixedExcludeItems();

    // <executable's folder>/custom/languages/overrides/<owner class>.sib
    // (empty without owner). The executable's folder is known also without
    // a QCoreApplication.
    virtual QString GetExternalOveridesFileName() const;

protected:
    // Forms built in code (setupUi) are never streamed in, so the overrides
    // are merged once, when the form is first shown or when a language is
    // first applied, whichever comes first.
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;
    void MergeOverridesOnce(bool ANoChange);

    void AddFixedExcludeItems();
    void MergeStrings(TStrings &ASource, TStrings &ADest);
    void MergeFromComponent(TsiCustomLang *ASource);
    void ConverteToDiffComp(TsiCustomLang *AEdited, TsiCustomLang *AOriginal, TsiCustomLang *AOverrides);
    // The text before the first LangDelim; empty when the line has none.
    QString GetIDofString(const QString &S) const;
    // First line whose ID equals AID ignoring ASCII case, else -1.
    int GetIndexOfID(const QString &AID, TStrings &AStrings) const;
    void AddChangedStrings(TStringsType AType, TStrings &ANew, TStrings &ADest, TStrings &AOld);

private:
    bool FOverridesMerged = false;
};

class ZOR_EXPORT TZORLang : public TZORCustomLang
{
    Q_OBJECT
    Q_PROPERTY(int translationBaseLanguage READ TranslationBaseLanguage WRITE SetTranslationBaseLanguage NOTIFY
                   translationBaseLanguageChanged)
    Q_PROPERTY(bool alwaysDeferOnlineTranslations READ AlwaysDeferOnlineTranslations WRITE
                   SetAlwaysDeferOnlineTranslations NOTIFY alwaysDeferOnlineTranslationsChanged)
public:
    explicit TZORLang(QObject *AOwner = nullptr);
    ~TZORLang() override;

    // 1-based language whose texts are the source of dynamic translation.
    int TranslationBaseLanguage() const { return FTranslationBaseLanguage; }
    void SetTranslationBaseLanguage(int AValue);
    // Never translate synchronously (default true).
    bool AlwaysDeferOnlineTranslations() const { return FAlwaysDeferOnlineTranslations; }
    void SetAlwaysDeferOnlineTranslations(bool AValue);

    void SetLanguage(const QString &Value) override;
    void ChangeLanguage() override;

    // The free text TextID in ALangNo (-1: the active language), falling
    // back to a translation, then to the default language.
    QString GetText(const QString &TextID, int ALangNo = -1);
    static QString GetStringsText(TsiCustomLang *ASource, const QString &TextID, int ALang, bool AGetDefault);

signals:
    void translationBaseLanguageChanged(int language);
    void alwaysDeferOnlineTranslationsChanged(bool value);
    // Deferred translations arrived and the active language was applied again.
    void translationsArrived();

protected:
    QString IntExtractTranslation(const QString &S, QChar Delim, int Lang, bool AAllowDefault) override;
    bool GetAutoTranslatedText(const QString &ATextID, const QString &AText, int ALang, QString &AResult,
                               bool ADefer);
    // The translator's notification that deferred translations arrived.
    void DoDeferedTranslationsLoaded(QObject *Sender);

private:
    bool deferNow() const;
    bool autoTranslateParts(const QString &AID, const QString &AText, int ALang, QString &AResult, bool ADefer);

    int FTranslationBaseLanguage = 1;
    int FLangChangeUpdateCount = 0;
    bool FTranslationsScheduled = false;
    bool FAlwaysDeferOnlineTranslations = true;
    bool FPlaceholderReported = false;
    bool FInactiveNoted = false;
};

} // namespace zor
