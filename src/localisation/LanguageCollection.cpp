#include <ZorCompCore/localisation/LanguageCollection.h>

#include <ZorCompCore/localisation/Translator.h>
#include <ZorCompCore/platform/Stream.h>

#include <QDir>
#include <QFile>

namespace zor {

TZORLanguageCollection::TZORLanguageCollection(QObject *AOwner)
    : TComponent(AOwner), FLangStore(new TsiLang(this))
{
    FLangStore->SetTranslateType(ttGetDefault);
    FLangStore->SetUseDefaultLanguage(true);
    InitLangStore(FLangStore);
    connect(FLangStore, &TsiCustomLang::languageChanged, this, &TZORLanguageCollection::languageChanged);
}

TZORLanguageCollection::~TZORLanguageCollection() = default;

void TZORLanguageCollection::InitLangStore(TsiCustomLang *ALangStore)
{
    ALangStore->SetNumLang(7);
    const char *const names[] = {"German", "English", "French", "Italian", "Spanish", "Dutch", "Portuguese"};
    for (int i = 0; i < 7; ++i)
        ALangStore->LangNames().Put(i, QString::fromLatin1(names[i]));
    ALangStore->SetLanguage(QStringLiteral("German"));
}

QString TZORLanguageCollection::GetLanguage() const
{
    return FLangStore->Language();
}

void TZORLanguageCollection::SetLanguage(const QString &Value)
{
    TStringList &names = FLangStore->LangNames();
    if (ActiveTranslator()->Active() && names.IndexOf(Value) < 0) {
        while (names.Count() > FLangStore->NumOfLanguages())
            names.Delete(names.Count() - 1);
        names.Add(Value);
        FLangStore->SetNumLang(names.Count());
    }
    FLangStore->SetLanguage(Value);
}

void TZORLanguageCollection::LoadFromFile(const QString &AFileName)
{
    FLangStore->LoadPropFromBinaryFile(stStrings, AFileName);
}

void TZORLanguageCollection::AppendFromFile(const QString &AFileName)
{
    FLangStore->MergeFromFile(stStrings, AFileName);
}

void TZORLanguageCollection::AppendFromStore(TsiCustomLang *AStore)
{
    TMemoryStream stream;
    AStore->SaveToStream(stStrings, stream, QStringLiteral("~!@#"));
    stream.SetPosition(0);
    FLangStore->MergeFromStream(stStrings, stream);
}

void TZORLanguageCollection::SaveToFile(const QString &AFileName)
{
    if (QFile::exists(AFileName))
        QFile::remove(AFileName);
    FLangStore->SaveAllToBinaryFile(AFileName);
}

void TZORLanguageCollection::SavePartToFile(const QString &AFileName, const TStringList &AKeys)
{
    TZORLanguageCollection part;
    part.FLangStore->SetLangDelim(FLangStore->LangDelim());
    part.FLangStore->SetNumLang(FLangStore->NumOfLanguages());
    part.FLangStore->SetLangNames(FLangStore->LangNames());
    const TsiStringsCollection &strings = FLangStore->Strings();
    for (int i = 0; i < strings.Count(); ++i)
        if (GetIsIDInKeys(i, AKeys))
            part.FLangStore->Strings().Add(strings.Get(i));
    part.SaveToFile(AFileName);
}

void TZORLanguageCollection::GetTranslationFileList(const QString &APath, TStringList &AList, bool AOverrides)
{
    const QDir folder(APath.isEmpty() ? QStringLiteral(".") : APath);
    const QStringList files = folder.entryList({AOverrides ? QStringLiteral("*.sibovr") : QStringLiteral("*.sib")},
                                               QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &f : files)
        AList.Add(f);
}

void TZORLanguageCollection::LoadFromPath(const QString &APath, const TStateMessageEvent &AStateEvent,
                                          bool ALoadOverrideFiles)
{
    QString path = APath;
    if (!path.endsWith(u'/') && !path.endsWith(u'\\'))
        path += u'/';
    TStringList files;
    GetTranslationFileList(path, files, ALoadOverrideFiles);
    for (int i = 0; i < files.Count(); ++i) {
        if (AStateEvent)
            AStateEvent(QStringLiteral("Loading ") + files.Get(i));
        AppendFromFile(path + files.Get(i));
    }
}

QString TZORLanguageCollection::ExctractIDFromIndex(int Index) const
{
    return FLangStore->Strings().IDOfLine(Index);
}

void TZORLanguageCollection::FillKeys(TStringList &ADest) const
{
    const TsiStringsCollection &strings = FLangStore->Strings();
    for (int i = 0; i < strings.Count(); ++i)
        ADest.Add(strings.IDOfLine(i));
}

int TZORLanguageCollection::GetIndexOfKey(const QString &AKey) const
{
    return FLangStore->Strings().FindID(AKey);
}

bool TZORLanguageCollection::GetIsIDInKeys(int Index, const TStringList &AKeys) const
{
    return AKeys.IndexOf(ExctractIDFromIndex(Index)) >= 0;
}

bool TZORLanguageCollection::GetIsTranslationIDItem(const QString &AID, int Index) const
{
    return siCompareText(AID, ExctractIDFromIndex(Index)) == 0;
}

QString TZORLanguageCollection::GetTranslatedText(const QString &AID, int ALang)
{
    if (ALang == -1)
        ALang = FLangStore->ActiveLanguage();
    QString result = TZORLang::GetStringsText(FLangStore, AID, ALang, false);
    const int def = FLangStore->DefaultLanguage();
    if (result.isEmpty() && ALang != def) {
        const QString source = TZORLang::GetStringsText(FLangStore, AID, def, false);
        TZORCustomTranslator *translator = ActiveTranslator();
        const TStringList &names = FLangStore->LangNames();
        if (translator->Active() && ALang >= 1 && ALang <= names.Count() && def <= names.Count()) {
            TCacheFillMode mode = cfmNever;
            const QString from = names.Get(def - 1), to = names.Get(ALang - 1);
            result = translator->TranslateText(AID, source, from, to, mode);
            if (mode == cfmNotFound)
                translator->ScheduleDynamicTranslation(AID, source, from, to, TNotifyEvent{});
        } else {
            result = source;
        }
    }
    return result;
}

HRESULT TZORLanguageCollection::QueryInterface(const QUuid &iid, void **obj)
{
    if (iid == ITranslator::IID) {
        *obj = static_cast<ITranslator *>(this);
        return S_OK;
    }
    return TComponentInterfaced::QueryInterface(iid, obj);
}

QString TZORLanguageCollection::Get_Text(const char16_t *AText)
{
    return GetTranslatedText(AText ? QString::fromUtf16(AText) : QString(), -1);
}

QString TZORLanguageCollection::Get_Text(const QString &AText)
{
    return GetTranslatedText(AText, -1);
}

int TZORLanguageCollection::Get_LangIndex(const QString &ALang)
{
    if (ALang.isEmpty())
        return -1;
    const int i = FLangStore->LangNames().IndexOf(ALang);
    return i < FLangStore->NumOfLanguages() ? i : -1;
}

QString TZORLanguageCollection::Get_Text(const QString &AText, int ALangIndex)
{
    return GetTranslatedText(AText, ALangIndex >= 0 ? ALangIndex + 1 : ALangIndex);
}

} // namespace zor
