// A stand-alone text store with seven predefined languages that components
// query through ITranslator. Texts missing in a language come from the active
// translator's cache (never synchronously); misses are scheduled for the next
// loader without a callback.
#pragma once

#include <ZorCompCore/localisation/TranslatorInt.h>
#include <ZorCompCore/localisation/ZORLang.h>
#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/zor_export.h>

namespace zor {

class ZOR_EXPORT TZORLanguageCollection : public TComponent, public TComponentInterfaced, public ITranslator
{
    Q_OBJECT
    Q_PROPERTY(QString language READ GetLanguage WRITE SetLanguage NOTIFY languageChanged)
public:
    explicit TZORLanguageCollection(QObject *AOwner = nullptr);
    ~TZORLanguageCollection() override;

    // German, English, French, Italian, Spanish, Dutch, Portuguese; German active.
    static void InitLangStore(TsiCustomLang *ALangStore);

    TsiLang *LangStore() const { return FLangStore; }
    QString GetLanguage() const;
    void SetLanguage(const QString &Value);

    // Texts live in the store's stStrings collection.
    void LoadFromFile(const QString &AFileName);
    void AppendFromFile(const QString &AFileName);
    void AppendFromStore(TsiCustomLang *AStore);
    void SaveToFile(const QString &AFileName);
    // Only the lines whose ID AKeys holds (as its IndexOf finds it).
    void SavePartToFile(const QString &AFileName, const TStringList &AKeys);
    // File names (no folder) matching APath + "*.sib", or "*.sibovr" for
    // override lists, in name order; no subfolders.
    static void GetTranslationFileList(const QString &APath, TStringList &AList, bool AOverrides);
    void LoadFromPath(const QString &APath, const TStateMessageEvent &AStateEvent, bool ALoadOverrideFiles);

    QString ExctractIDFromIndex(int Index) const;
    QString GetKeyByIndex(int Index) const { return ExctractIDFromIndex(Index); }
    void FillKeys(TStringList &ADest) const;
    int GetIndexOfKey(const QString &AKey) const;          // exact, -1 when absent
    bool GetIsIDInKeys(int Index, const TStringList &AKeys) const;
    bool GetIsTranslationIDItem(const QString &AID, int Index) const; // ignoring ASCII case

    // ALang 1-based, -1 for the active language.
    QString GetTranslatedText(const QString &AID, int ALang);

    // ITranslator
    HRESULT QueryInterface(const QUuid &iid, void **obj) override;
    int AddRef() override { return -1; }
    int Release() override { return -1; }
    QString Get_Text(const char16_t *AText) override;
    QString Get_Text(const QString &AText) override;
    QString Get_Language() override { return GetLanguage(); }
    int Get_LangIndex(const QString &ALang) override;
    QString Get_Text(const QString &AText, int ALangIndex) override;

signals:
    // The store's active language changed.
    void languageChanged(const QString &language);

private:
    TsiLang *FLangStore;
};

} // namespace zor
