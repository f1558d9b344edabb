// The localisation runtime: a language component that keeps, per form, the
// texts of every language in twelve string collections and applies the active
// language to the form's objects through Qt's property system.
//
// A stored line is an ID, the language delimiter (LangDelim, a tab by
// default), then the text of each language in order; language numbers are
// 1-based and field 0 is the ID. Texts are kept on one line: a backslash,
// line breaks, tabs and the delimiter are written as \\, \n, \r, \t and \d.
//
// Property lines carry the ID "<object name>.<property>": the owner itself is
// addressed by its objectName (its class name when it has none), every other
// object by its objectName. Besides string properties (text, windowTitle,
// toolTip, title …) a few names address item texts: "items" (combo boxes,
// list widgets, tree widgets: one text per item, depth first, columns of a
// tree item separated by a tab), "tabs" (tab widgets and tool boxes),
// "headerLabels" (tree and table widgets) and "font" (QFont::toString).
// The texts the form was designed with are language 1; they are captured from
// the form the first time the component is used.
#pragma once

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace zor {

class TStream;

// The twelve collections. stStrings holds free texts (GetText); stDialogsMessages
// and stCharSets are stored and edited but never applied to properties.
enum TStringsType {
    stCaptions = 0,                 // text, title, windowTitle
    stHints = 1,                    // toolTip, statusTip, whatsThis
    stDisplayLabels = 2,            // headerLabels of tree and table widgets
    stFonts = 3,                    // font (only fonts set explicitly on a widget)
    stMultiLines = 4,               // plainText of read-only text editors
    stDialogsMessages = 5,          // message texts of the application's dialogs
    stStrings = 6,                  // free texts read with GetText
    stMisc = 7,                     // placeholderText, prefix, suffix, specialValueText
    stCollections = 8,              // tabs of tab widgets and tool boxes
    stItems = 9,                    // items of combo boxes and list widgets
    stCharSets = 10,                // per-language character set names
    stListView_TreeView_Items = 11, // items of tree widgets
};
constexpr int StringsTypeCount = 12;

// "stCaptions" … "stListView_TreeView_Items"; empty for a value out of range.
ZOR_EXPORT QString StringsTypeName(TStringsType AType);
// The type of a name as StringsTypeName writes it, or of its decimal value;
// -1 when neither.
ZOR_EXPORT int StringsTypeFromName(const QString &AName);

// What applying does with a text that is empty in the active language.
enum TTranslateType { ttNoChange = 0, ttGetDefault = 1 };

// 0 when the texts are equal ignoring the case of the ASCII letters A to Z
// only; otherwise negative or positive as the first differing unit orders.
ZOR_EXPORT int siCompareText(const QString &S1, const QString &S2);
// UTF-8 bytes to the 8-bit ANSI code page ('?' for what it cannot hold).
ZOR_EXPORT QByteArray siUTF8ToAnsi(const QByteArray &S);

// Text escaping of a field (see the top of this file).
ZOR_EXPORT QString siEncodeText(const QString &AText, QChar ADelim = QLatin1Char('\t'));
ZOR_EXPORT QString siDecodeText(const QString &AText, QChar ADelim = QLatin1Char('\t'));
// A stored line split into its decoded fields (field 0 is the ID), and back.
ZOR_EXPORT QStringList siSplitLine(const QString &ALine, QChar ADelim);
ZOR_EXPORT QString siJoinLine(const QStringList &AFields, QChar ADelim);
// Field Lang of a stored line, decoded; empty when the line has no such field.
ZOR_EXPORT QString ExtractTranslation(const QString &S, QChar Delim, int Lang);

// One collection: stored lines with lookups by ID (exact, first match).
class ZOR_EXPORT TsiStringsCollection : public TStringList
{
public:
    explicit TsiStringsCollection(QChar ADelim = QLatin1Char('\t'));
    QChar Delim() const { return FDelim; }
    // Changes the delimiter without rewriting the lines (the owner does that).
    void SetDelim(QChar ADelim) { FDelim = ADelim; }

    // Index of the line whose ID is ID, or -1.
    int FindID(const QString &ID) const;
    QString IDOfLine(int AIndex) const;
    // The decoded text of ID in language Lang (1-based); empty when absent.
    QString GetTranslationByID(const QString &ID, int Lang) const;
    // Sets the text of ID in Lang, adding the line or missing fields as needed.
    void SetTranslationByID(const QString &ID, int Lang, const QString &AText);

private:
    QChar FDelim;
};

class TsiCustomLang;
class TsiLangDispatcher;

// A text the application translates through the component although no object
// of the form shows it (texts built at run time, report captions …).
// Translations holds the texts of languages 1 to N in stored form: encoded
// (siEncodeText) and joined by the component's LangDelim, so that
// Identifier + LangDelim + Translations is a stored line.
struct ZOR_EXPORT TsiExtendedTranslation
{
    QString Identifier;
    QString Translations;
};

// The language component. Create it owned by the form (any QObject) whose
// objects it translates.
class ZOR_EXPORT TsiCustomLang : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString language READ Language WRITE SetLanguage NOTIFY languageChanged)
    Q_PROPERTY(int activeLanguage READ ActiveLanguage WRITE SetActiveLanguage NOTIFY activeLanguageChanged)
    Q_PROPERTY(int numOfLanguages READ NumOfLanguages WRITE SetNumLang NOTIFY numOfLanguagesChanged)
    Q_PROPERTY(QStringList langNames READ langNameList NOTIFY langNamesChanged)
    Q_PROPERTY(int defaultLanguage READ DefaultLanguage WRITE SetDefaultLanguage)
    Q_PROPERTY(bool useDefaultLanguage READ UseDefaultLanguage WRITE SetUseDefaultLanguage)
public:
    explicit TsiCustomLang(QObject *AOwner = nullptr);
    ~TsiCustomLang() override;

    // Copies languages, settings and every collection of another component.
    virtual void Assign(TsiCustomLang *Source);

    int NumOfLanguages() const;
    // At least 1; LangNames grows with generated names ("Language 3") as needed.
    void SetNumLang(int AValue);
    // The names of the languages, in language-number order. Edit freely; the
    // first NumOfLanguages entries are the languages' names.
    TStringList &LangNames();
    const TStringList &LangNames() const;
    void SetLangNames(const TStringList &AValue);
    // Rewrites every stored line for the new delimiter.
    QChar LangDelim() const;
    void SetLangDelim(QChar AValue);

    // 1-based. Setting it applies the language unless the component is loading.
    int ActiveLanguage() const;
    void SetActiveLanguage(int AValue);   // ignored when out of range
    // The name of the active language; setting a name that is not among the
    // languages (compared ignoring ASCII case) leaves the language as it is.
    QString Language() const;
    virtual void SetLanguage(const QString &Value);
    int DefaultLanguage() const;
    void SetDefaultLanguage(int AValue);
    bool UseDefaultLanguage() const;
    virtual void SetUseDefaultLanguage(bool AValue);
    TTranslateType TranslateType() const;
    void SetTranslateType(TTranslateType AValue);
    // Texts are held as UTF-8 bytes, one per code unit (for stores written that way).
    bool StoreAsUTF8() const;
    void SetStoreAsUTF8(bool AValue);
    // Property names ("toolTip") or object-qualified ones ("btnOk.text") that
    // are never captured nor applied.
    TStringList &ExcludedProperties();

    // The types this component keeps for its owner (all twelve by default). A
    // type that is not handled is neither captured nor applied, and tools
    // (editor, statistics) leave it out; its collection still exists.
    bool HandlesType(TStringsType AType) const;
    void SetHandlesType(TStringsType AType, bool AValue);

    // Extended translation items, in the order they were added. Changing
    // LangDelim rewrites their Translations too.
    QList<TsiExtendedTranslation> &ExtendedTranslations();
    const QList<TsiExtendedTranslation> &ExtendedTranslations() const;

    // The dispatcher this component follows; null when none. Connecting makes
    // the component take the dispatcher's language at once (see
    // TsiLangDispatcher). The connection ends when either is destroyed.
    TsiLangDispatcher *LangDispatcher() const;
    void SetLangDispatcher(TsiLangDispatcher *AValue);

    // The collection of a type; never null for a valid type.
    TsiStringsCollection *GetPropListByType(TStringsType AType) const;
    TsiStringsCollection &Strings() const { return *GetPropListByType(stStrings); }

    // Class name of the owning object ("TfrmMain"); empty without owner.
    QString GetOwnerClassName() const;
    // ID under which the owner's own properties are stored.
    QString OwnerID() const;

    // The free text TextID in the active language; when empty and TranslateType
    // is ttGetDefault, the text in DefaultLanguage.
    virtual QString GetText(const QString &TextID) const;

    // Applies the active language to the owner's objects.
    virtual void ChangeLanguage();
    // Brings the collections up to date with the owner's objects: adds a line
    // for every translatable text that has none and fills empty design texts.
    void UpdateStrCollections();
    // Drops the stored lines of properties that are now excluded.
    virtual void ExcludeProperties();
    void Loaded() override;

    // Files in the .sib format (see SibFile.h), holding this component's data
    // under its owner's class name. Loading reads the entry of that owner, or
    // the first one when there is none.
    void SaveAllToBinaryFile(const QString &AFileName);
    void LoadAllFromBinaryFile(const QString &AFileName);
    // Replaces one collection with the file's (languages matched by name).
    void LoadPropFromBinaryFile(TStringsType AType, const QString &AFileName);
    // Merges one collection of the file into this one (see MergeLines).
    void MergeFromFile(TStringsType AType, const QString &AFileName);
    // One collection as a self-describing block: ADelimiter separates the
    // fields of the lines in the block. MergeFromStream reads such a block.
    void SaveToStream(TStringsType AType, TStream &AStream, const QString &ADelimiter);
    void MergeFromStream(TStringsType AType, TStream &AStream);
    // Merges lines given as decoded fields under the language names ANames:
    // per ID, non-empty texts replace the stored ones; languages not known
    // here are appended to LangNames.
    void MergeLines(TStringsType AType, const QStringList &ANames, const QList<QStringList> &ALines);

    // Whether the string collection (stStrings) holds a line with the ID AID.
    bool GetHasKey(const QString &AID) const;

    // Called after a language was applied.
    std::function<void(TsiCustomLang &)> OnChangeLanguage;

signals:
    // The active language changed (emitted before it is applied).
    void languageChanged(const QString &language);
    void activeLanguageChanged(int language);
    void numOfLanguagesChanged(int count);
    // SetNumLang or SetLangNames ran (edits through LangNames() do not notify).
    void langNamesChanged();
    // A language was applied to the owner's objects (beside OnChangeLanguage).
    void languageApplied();

protected:
    // The text of a property line in Lang. With AAllowDefault, an empty text
    // falls back to DefaultLanguage when UseDefaultLanguage is set.
    virtual QString IntExtractTranslation(const QString &S, QChar Delim, int Lang, bool AAllowDefault);
    // The texts of one type as the owner's objects show them now (ID, text).
    QList<QPair<QString, QString>> CaptureTexts(TStringsType AType) const;
    // Whether "object.property" is excluded.
    bool IsExcluded(const QString &AID) const;

private:
    QStringList langNameList() const;
    void applyLine(TStringsType AType, const QString &AID, const QString &AText,
                   const QHash<QString, QObject *> &AObjects);
    QHash<QString, QObject *> namedObjects() const;
    void ensureCaptured();

    struct Private;
    std::unique_ptr<Private> const d;
};

// The component applications place on their forms.
class ZOR_EXPORT TsiLang : public TsiCustomLang
{
    Q_OBJECT
public:
    explicit TsiLang(QObject *AOwner = nullptr);
    ~TsiLang() override;
};

} // namespace zor
