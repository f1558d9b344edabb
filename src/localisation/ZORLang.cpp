#include <ZorCompCore/localisation/ZORLang.h>

#include <ZorCompCore/localisation/Translator.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/localisation/runtime/TransEditorDlg.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/MainThread.h>
#include <ZorCompCore/platform/Stream.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QRegularExpression>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zor {

TZORLangGetTextCustomizEvent GlobalGetTextCustomized;

namespace {

// Fields of a stored line by number (0 is the ID), decoded.
QString fieldOf(const QString &line, QChar delim, int lang)
{
    return ExtractTranslation(line, delim, lang);
}

constexpr TComponentState NoAutoTranslation = TComponentState(csLoading | csReading | csDestroying | csDesigning);

QString executableDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}

// The names SetNumLang makes up for languages nobody named ("Language 2").
bool isPlaceholderName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^Language \\d+$"));
    return re.match(name).hasMatch();
}

// Item lists keep one text a line (tree columns: a tab); every other
// property is one text, line breaks included.
bool isItemList(const QString &id)
{
    return id.endsWith(QLatin1String(".items")) || id.endsWith(QLatin1String(".tabs"))
           || id.endsWith(QLatin1String(".headerLabels"));
}

} // namespace

const QStringList &TZORCustomLang::FixedExcludeItems()
{
    // Keep as it is: two names appear twice, and "Indentifier" is spelt so by
    // the components that carry it.
    static const QStringList items = {
        "SchemaName", "UniqueIdent", "FieldName", "FormDesignerIdent", "LocalFormDesignerIdent",
        "NumberCircleIdent", "ParentField", "SelectFields", "OrderFields", "Filters", "Variables", "AdvFields",
        "ThumbnailPictureExt", "ImageExtension", "DataField", "DocumentIDField", "Identifier", "IdentifierGUID",
        "Plugin", "MacroDataLinkField", "LocalFormDesignerIdent", "ViewName", "GeneralFields", "FieldTypeData",
        "FormClassName", "TranslationSchemaName", "MacroDataConditionsSchemaName", "MacroDataSchemaName",
        "SQLTableName", "PluginGuid", "IconResName", "MacroDataLinkField", "MessageEngineNotFound",
        "MessagePluginNotFound", "MessagePluginNoInterface", "HotZoneClassName", "ColorSchemeName",
        "ClipboardFormats", "DataSchemaName", "MethodeName", "FileExt", "DateField", "PersonField", "FinishField",
        "ResponsibleField", "RememberTypeField", "ShowDialogField", "TypeField", "PropertiesClassName", "Toolbar",
        "PreProcessorFile", "PictureGraphicClassName", "LogFileSchemaName", "Protocols", "ACLFields",
        "PluginFormClassName", "MacroName", "APIRoot", "FieldsToIgnoreInSelect", "FilterDataSchemaName",
        "DisplaySchemaName", "FilterField", "IgnoreList", "RecordSelectFields", "ReportIdent",
        "TemplateSourceIdent", "Indentifier", "DataLanguage", "XAxisFieldName", "YAxisFieldName", "DataTableName",
        "Font", "FieldCategories", "StorageSchemaName", "StorageMasterFieldName", "FCIdentifier", "ScriptLanguage",
        "HandlerIdentifier", "CustomEditFields", "DefVisibleFields", "Delimiter", "MergedGroupSeparator",
        "TreeContentFolderField", "TreeContentSchema", "DeliverySourceIdent", "ADVFieldsSchemaName"};
    return items;
}

// --- TZORCustomLang ------------------------------------------------------------

TZORCustomLang::TZORCustomLang(QObject *AOwner) : TsiLang(AOwner)
{
    SetTranslateType(ttGetDefault);
    SetUseDefaultLanguage(true);
    TStringList &excluded = ExcludedProperties();
    excluded.SetText(excluded.Text() + QStringLiteral("\r\n") + FixedExcludeItems().join(QStringLiteral("\r\n")));
    if (AOwner)
        AOwner->installEventFilter(this);
}

bool TZORCustomLang::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AEvent->type() == QEvent::Show && AWatched == Owner() && !FOverridesMerged)
        MergeOverridesOnce(false);
    return TsiLang::eventFilter(AWatched, AEvent);
}

void TZORCustomLang::MergeOverridesOnce(bool ANoChange)
{
    if (FOverridesMerged || (ComponentState() & csDesigning))
        return;
    FOverridesMerged = true;
    LoadExternalOverrides(ANoChange);
}

void TZORCustomLang::ChangeLanguage()
{
    MergeOverridesOnce(true);
    TsiLang::ChangeLanguage();
}

TZORCustomLang::~TZORCustomLang() = default;

void TZORCustomLang::AddFixedExcludeItems()
{
    TStringList &excluded = ExcludedProperties();
    excluded.SetSorted(true);
    excluded.BeginUpdate();
    for (const QString &name : FixedExcludeItems())
        if (excluded.IndexOf(name) < 0)
            excluded.Add(name);
    excluded.EndUpdate();
}

void TZORCustomLang::ExcludeProperties()
{
    AddFixedExcludeItems();
    TsiLang::ExcludeProperties();
}

void TZORCustomLang::Loaded()
{
    AddFixedExcludeItems();
    if (ComponentState() & csDesigning)
        LoadExternalOverrides(true); // imports move aside each time
    else
        MergeOverridesOnce(true);
    TsiLang::Loaded();
}

QString TZORCustomLang::GetExternalOveridesFileName() const
{
    if (!Owner())
        return {};
    if (ComponentState() & csDesigning)
        return QStringLiteral("C:\\devtemp\\Vantaloop2\\custom\\languages\\overrides\\import\\")
               + GetOwnerClassName() + QStringLiteral(".sib");
    const QString dir = executableDir();
    if (dir.isEmpty())
        return {};
    return dir + QStringLiteral("/custom/languages/overrides/")
           + GetOwnerClassName() + QStringLiteral(".sib");
}

void TZORCustomLang::ClearOverrides()
{
    const QString file = GetExternalOveridesFileName();
    if (!file.isEmpty() && QFileInfo::exists(file))
        QFile::remove(file);
}

void TZORCustomLang::LoadExternalOverrides(bool ANoChange)
{
    const QString file = GetExternalOveridesFileName();
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    TsiLang overrides;
    overrides.SetLangDelim(LangDelim()); // lines are merged as they are
    TSIBFileManager().LoadFromFile(file, &overrides, GetOwnerClassName());
    MergeFromComponent(&overrides);
    if (ComponentState() & csDesigning) {
        // Processed imports move aside, named after the time they were merged.
        const QFileInfo info(file);
        QDir folder = info.dir();
        folder.mkpath(QStringLiteral("processed"));
        QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss"));
        const QString target = (stamp + u'_' + info.fileName()).left(260);
        QFile::rename(file, folder.filePath(QStringLiteral("processed/") + target));
    }
    if (!ANoChange) {
        UpdateStrCollections();
        ChangeLanguage();
    }
}

QString TZORCustomLang::GetIDofString(const QString &S) const
{
    const qsizetype i = S.indexOf(LangDelim());
    return i < 0 ? QString() : S.left(i);
}

int TZORCustomLang::GetIndexOfID(const QString &AID, TStrings &AStrings) const
{
    for (int i = 0; i < AStrings.Count(); ++i)
        if (siCompareText(GetIDofString(AStrings.Get(i)), AID) == 0)
            return i;
    return -1;
}

void TZORCustomLang::MergeStrings(TStrings &ASource, TStrings &ADest)
{
    ADest.BeginUpdate();
    for (int k = 0; k < ASource.Count(); ++k) {
        const QString line = ASource.Get(k);
        const int i = GetIndexOfID(GetIDofString(line), ADest);
        if (i < 0)
            ADest.Add(line);
        else
            ADest.Put(i, line);
    }
    ADest.EndUpdate();
}

void TZORCustomLang::MergeFromComponent(TsiCustomLang *ASource)
{
    for (int t = 0; t < StringsTypeCount; ++t) {
        TsiStringsCollection *src = ASource->GetPropListByType(TStringsType(t));
        TsiStringsCollection *dest = GetPropListByType(TStringsType(t));
        if (src && dest)
            MergeStrings(*src, *dest);
    }
}

void TZORCustomLang::AddChangedStrings(TStringsType, TStrings &ANew, TStrings &ADest, TStrings &AOld)
{
    ADest.BeginUpdate();
    for (int k = ANew.Count() - 1; k >= 0; --k) {
        const QString line = ANew.Get(k);
        if (AOld.IndexOf(line) >= 0)
            continue; // unchanged by the editor
        const int i = GetIndexOfID(GetIDofString(line), ADest);
        if (i < 0)
            ADest.Add(line);
        else
            ADest.Put(i, line);
    }
    ADest.EndUpdate();
}

void TZORCustomLang::ConverteToDiffComp(TsiCustomLang *AEdited, TsiCustomLang *AOriginal,
                                        TsiCustomLang *AOverrides)
{
    for (int t = 0; t < StringsTypeCount; ++t) {
        const auto type = TStringsType(t);
        TsiStringsCollection *edited = AEdited->GetPropListByType(type);
        TsiStringsCollection *original = AOriginal->GetPropListByType(type);
        TsiStringsCollection *overrides = AOverrides->GetPropListByType(type);
        if (edited && original && overrides)
            AddChangedStrings(type, *edited, *overrides, *original);
    }
}

void TZORCustomLang::Assign(TsiCustomLang *Source)
{
    if (!Source || Source == this)
        return;
    TSIBFileManager files;
    files.Add(Source);
    TMemoryStream stream;
    files.SaveToStream(stream);
    stream.SetPosition(0);
    TSIBFileManager loaded;
    loaded.LoadFromStream(stream);
    const int i = loaded.IndexOfOwner(Source->GetOwnerClassName());
    loaded.AssignTo(i < 0 ? 0 : i, this);
    UpdateStrCollections();
    ChangeLanguage();
}

bool TZORCustomLang::ShowEditTranslationsDialog()
{
    // Texts the form shows without a line get one now, so that the copy
    // below holds them and only real edits count as changes.
    UpdateStrCollections();
    auto *copy = new TZORCustomLang(nullptr);
    copy->SetLangDelim(LangDelim());
    copy->Assign(this);
    const TShowFlags flags = sfFull | sfDesignTime | sfRunTime | sfDisableLoad | sfDisableSave | sfSaveAsClose
                             | sfHideExtended;
    bool result = false;
    try {
        result = TransEditorDlg(this, stCaptions, 0, flags);
        if (result) {
            auto *overrides = new TsiLang(copy);
            overrides->SetLangDelim(LangDelim());
            overrides->SetNumLang(NumOfLanguages());
            overrides->SetLangNames(LangNames());
            overrides->SetLanguage(Language());
            const QString file = GetExternalOveridesFileName();
            if (QFileInfo::exists(file))
                TSIBFileManager().LoadFromFile(file, overrides, GetOwnerClassName());
            else
                QDir().mkpath(QFileInfo(file).absolutePath());
            ConverteToDiffComp(this, copy, overrides);
            TSIBFileManager files;
            files.Add(overrides);
            files.SetOwnerNames(TStringList({GetOwnerClassName()}));
            files.SaveToFile(file);
        }
    } catch (...) {
        Free(copy);
        throw;
    }
    Free(copy);
    return result;
}

// --- TZORLang ------------------------------------------------------------------

TZORLang::TZORLang(QObject *AOwner) : TZORCustomLang(AOwner) {}

void TZORLang::SetTranslationBaseLanguage(int AValue)
{
    if (FTranslationBaseLanguage == AValue)
        return;
    FTranslationBaseLanguage = AValue;
    emit translationBaseLanguageChanged(AValue);
}

void TZORLang::SetAlwaysDeferOnlineTranslations(bool AValue)
{
    if (FAlwaysDeferOnlineTranslations == AValue)
        return;
    FAlwaysDeferOnlineTranslations = AValue;
    emit alwaysDeferOnlineTranslationsChanged(AValue);
}

TZORLang::~TZORLang()
{
    // A loader still running must not call back into a destroyed component.
    if (HasActiveTranslator())
        ActiveTranslator()->RemoveNotifyer(TNotifyEvent::Of<&TZORLang::DoDeferedTranslationsLoaded>(this));
}

void TZORLang::SetLanguage(const QString &Value)
{
    if (!(ComponentState() & NoAutoTranslation) && !Value.isEmpty()) {
        TZORCustomTranslator *translator = ActiveTranslator();
        TStringList &names = LangNames();
        if (translator->Active() && names.IndexOf(Value) < 0 && translator->KnowsLanguage(Value)) {
            // Names past the languages in use are spare entries: replace them.
            while (names.Count() > NumOfLanguages())
                names.Delete(names.Count() - 1);
            names.Add(Value);
            SetNumLang(names.Count());
        }
    }
    TZORCustomLang::SetLanguage(Value);
}

bool TZORLang::deferNow() const
{
    return FLangChangeUpdateCount >= 1 || ActiveTranslator()->InLangChange();
}

bool TZORLang::GetAutoTranslatedText(const QString &ATextID, const QString &AText, int ALang, QString &AResult,
                                     bool ADefer)
{
    AResult.clear();
    if ((ComponentState() & csLoading) || AText.isEmpty())
        return false;
    TZORCustomTranslator *translator = ActiveTranslator();
    if (!translator->Active()) {
        if (!FInactiveNoted) {
            FInactiveNoted = true;
            translator->NoteInactiveRequest(GetOwnerClassName().isEmpty() ? QStringLiteral("A form")
                                                                          : GetOwnerClassName());
        }
        return false;
    }
    const TStringList &names = LangNames();
    if (FTranslationBaseLanguage < 1 || FTranslationBaseLanguage > names.Count() || ALang < 1
        || ALang > names.Count())
        return false;
    TCacheFillMode mode = FAlwaysDeferOnlineTranslations || ADefer ? cfmNever : cfmAllways;
    const QString source = names.Get(FTranslationBaseLanguage - 1);
    const QString dest = names.Get(ALang - 1);
    if (isPlaceholderName(source) || isPlaceholderName(dest)) {
        // No translator knows "Language 1": say so once instead of asking.
        if (!FPlaceholderReported) {
            FPlaceholderReported = true;
            translator->ReportLoaderError(
                QStringLiteral("%1: the language \"%2\" has no name; set LangNames to the languages' names "
                               "(\"German\", \"English\" ...) to get translations")
                    .arg(GetOwnerClassName(), isPlaceholderName(source) ? source : dest));
        }
        return false;
    }
    const QString textID = GetOwnerClassName() + u'.' + ATextID;
    AResult = translator->TranslateText(textID, AText, source, dest, mode);
    if (mode == cfmNotFound) {
        translator->ScheduleDynamicTranslation(textID, AText, source, dest,
                                               TNotifyEvent::Of<&TZORLang::DoDeferedTranslationsLoaded>(this));
        FTranslationsScheduled = true;
        return false;
    }
    return true;
}

QString TZORLang::IntExtractTranslation(const QString &S, QChar Delim, int Lang, bool AAllowDefault)
{
    if ((ComponentState() & csDesigning) || !AAllowDefault)
        return TZORCustomLang::IntExtractTranslation(S, Delim, Lang, AAllowDefault);
    QString result = ExtractTranslation(S, Delim, Lang);
    if (result.isEmpty() && Lang != FTranslationBaseLanguage) {
        const QString source = fieldOf(S, Delim, FTranslationBaseLanguage);
        const QString id = fieldOf(S, Delim, 0);
        const bool found = isItemList(id) ? autoTranslateParts(id, source, Lang, result, deferNow())
                                          : GetAutoTranslatedText(id, source, Lang, result, deferNow());
        if (!found && UseDefaultLanguage()
            && Lang != DefaultLanguage())
            result = fieldOf(S, Delim, DefaultLanguage());
    }
    return result;
}

// Item lists (one item a line, tree columns separated by tabs) are no text
// anyone translates as a whole: each item goes to the translator on its own,
// under the list's ID and its position ("cbColor.items#2"). The list counts
// as translated when every item is.
bool TZORLang::autoTranslateParts(const QString &AID, const QString &AText, int ALang, QString &AResult,
                                  bool ADefer)
{
    if (!AText.contains(u'\n') && !AText.contains(u'\t'))
        return GetAutoTranslatedText(AID, AText, ALang, AResult, ADefer);
    QString out, part;
    int index = 0;
    bool all = true;
    const auto flush = [&] {
        if (!part.isEmpty()) {
            QString translated;
            if (GetAutoTranslatedText(AID + u'#' + QString::number(index), part, ALang, translated, ADefer))
                out += translated;
            else
                all = false;
        }
        ++index;
        part.clear();
    };
    for (const QChar c : AText) {
        if (c == u'\n' || c == u'\t') {
            flush();
            out += c;
        } else {
            part += c;
        }
    }
    flush();
    AResult = all ? out : QString();
    return all;
}

QString TZORLang::GetText(const QString &TextID, int ALangNo)
{
    if (ComponentState() & csDesigning)
        return TZORCustomLang::GetText(TextID);
    if (ALangNo == -1)
        ALangNo = ActiveLanguage();
    if (GlobalGetTextCustomized) {
        QString value;
        if (GlobalGetTextCustomized(GetOwnerClassName() + u'.' + TextID, value))
            return value;
    }
    const TsiStringsCollection &strings = Strings();
    QString result = strings.GetTranslationByID(TextID, ALangNo);
    if (result.isEmpty() && ALangNo != FTranslationBaseLanguage) {
        const QString source = strings.GetTranslationByID(TextID, FTranslationBaseLanguage);
        if (!GetAutoTranslatedText(TextID, source, ALangNo, result, deferNow()))
            result = TranslateType() == ttGetDefault && DefaultLanguage() != ALangNo
                         ? strings.GetTranslationByID(TextID, DefaultLanguage())
                         : QString();
    }
    return result;
}

QString TZORLang::GetStringsText(TsiCustomLang *ASource, const QString &TextID, int ALang, bool AGetDefault)
{
    const TsiStringsCollection &strings = ASource->Strings();
    QString result = strings.GetTranslationByID(TextID, ALang);
    if (result.isEmpty() && AGetDefault && ALang != ASource->DefaultLanguage())
        result = strings.GetTranslationByID(TextID, ASource->DefaultLanguage());
    if (ASource->StoreAsUTF8() && !result.isEmpty())
        result = FromAnsi(siUTF8ToAnsi(result.toLatin1())); // one UTF-8 byte per code unit
    return result;
}

void TZORLang::ChangeLanguage()
{
    ++FLangChangeUpdateCount;
    try {
        TZORCustomLang::ChangeLanguage();
    } catch (...) {
        --FLangChangeUpdateCount;
        throw;
    }
    --FLangChangeUpdateCount;
    if (!(ComponentState() & csLoading) && FTranslationsScheduled && ActiveTranslator()->Active()) {
        ActiveTranslator()->ProcessScheduledTranslations(false);
        FTranslationsScheduled = false;
    }
}

void TZORLang::DoDeferedTranslationsLoaded(QObject *)
{
    if (!IsMainThread())
        return;
    // The count makes every lookup deferred: cached texts show, the rest is
    // scheduled again and waits for the next processing.
    ++FLangChangeUpdateCount;
    try {
        TZORCustomLang::ChangeLanguage();
    } catch (...) {
        --FLangChangeUpdateCount;
        throw;
    }
    --FLangChangeUpdateCount;
    emit translationsArrived();
}

} // namespace zor
