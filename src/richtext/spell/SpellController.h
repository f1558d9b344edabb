// The spell checker of the rich-text editors: Hunspell dictionaries per
// language, extra word lists, a personal list per language, a thesaurus, and
// suggestions ranked with a neighbour-key table. QtCore only, so command-line
// tools and servers check text without a GUI.
//
// Languages are Windows language identifiers: 1031 de_DE, 1033 en_US, 2057
// en_GB, 1036 fr_FR, 1040 it_IT. A language's main dictionary is
// <DictionaryDir>/<code>.aff + .dic (default /usr/share/hunspell), loaded on
// first use; its thesaurus <ThesaurusDir>/th_<code>_v2.idx + .dat (MyThes,
// default /usr/share/mythes). Hunspell keeps words in the encoding its .aff
// names on its SET line; every word crosses that boundary through
// EncodeCharset/DecodeCharset, so an ISO-8859-1 dictionary checks "Müller".
//
// A ".DCT" file is an extra word list for one language, in UTF-8 (a byte
// order mark is skipped):
//   #language 1031          optional; an LCID or a code such as de_DE
//   # any other line starting with '#' is a comment
//   Anamnese                one word a line
//   Befund/N                Hunspell affix flags of the language may follow '/'
// Without a #language line the file belongs to the current language. It is
// handed to Hunspell's add_dic (converted to the dictionary's encoding), so
// its words are accepted in its language only. "Add" appends to the personal
// list <InitialDir>/Personal_<code>.DCT, written to a temporary file and
// renamed into place, read again by every controller that opens the language.
//
// Settings (language and options) live in TRegistry under RegistryKey(),
// read when the controller becomes active and written when changed while
// active.
//
// Threads: every checking member may be called from any thread; calls on one
// controller take turns on its lock (Hunspell objects are not reentrant). For
// checking in parallel use one controller per thread. Signals are emitted on
// the calling thread.
#pragma once

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace zor {

// Language identifiers the controller knows a dictionary name for.
constexpr int wpLangGerman = 1031;
constexpr int wpLangEnglishUS = 1033;
constexpr int wpLangEnglishUK = 2057;
constexpr int wpLangFrench = 1036;
constexpr int wpLangItalian = 1040;

// The editor's spell commands, as the actions send them.
enum TWPSpellCommand {
    wpscCheck = 0,          // check now (dialog: ignore, ignore all, add, change, change all)
    wpscThesaurus = 1,      // synonyms of the word at the caret
    wpscStartAsYouGo = 2,   // mark misspellings while typing
    wpscStopAsYouGo = 3,    // remove the marks, stop checking
    wpscConfigure = 4,      // options dialog
};

// A misspelt word in a text: UTF-16 offset and length, as QString counts.
struct TWPSpellError
{
    int Start = 0;
    int Length = 0;
    QString Word;
};

struct TWPThesaurusMeaning
{
    QString Definition;   // "(noun)", or the first synonym in lists without one
    QStringList Synonyms;
};

struct TWPSpellOptions
{
    bool IgnoreUpperCase = true;   // "NATO", "ABC"
    bool IgnoreWithNumbers = true; // "A4", "2nd"
    bool IgnoreInternet = true;    // chunks with "://", "www." or an e-mail address
};

class ZOR_EXPORT TWPSpellController : public TComponent
{
    Q_OBJECT
public:
    explicit TWPSpellController(QObject *AOwner = nullptr);
    ~TWPSpellController() override;

    // "Software\Quenlor\WPSpell" under HKEY_CURRENT_USER.
    QString RegistryKey() const;
    void SetRegistryKey(const QString &AKey);
    // Activating reads the settings; deactivating drops loaded dictionaries.
    bool Active() const;
    void SetActive(bool AValue);

    int CurrentLanguage() const;            // 1031 until settings say otherwise
    void SetCurrentLanguage(int ALcid);
    TWPSpellOptions Options() const;
    void SetOptions(const TWPSpellOptions &AOptions);
    QString DictionaryDir() const;          // main dictionaries
    void SetDictionaryDir(const QString &ADir);
    QString ThesaurusDir() const;
    void SetThesaurusDir(const QString &ADir);
    // Personal lists and copied .DCT files; default <roaming>/Quenlor/LocalSettings/WPSpell.
    QString InitialDir() const;
    void SetInitialDir(const QString &ADir);
    // Lines "a:edä": keys next to the first letter, tried as its replacement.
    QStringList NeighbourKeys() const;
    void SetNeighbourKeys(const QStringList &ALines);

    // "de_DE" for 1031; empty for an identifier without a dictionary name.
    static QString LanguageCode(int ALcid);
    // 1031 for "1031", "de_DE" or "de-DE"; 0 when unknown.
    static int LanguageId(const QString &ANameOrNumber);
    // True when the main dictionary of the language can be loaded.
    bool LanguageAvailable(int ALcid);

    // Extra word lists. AddDictionary returns the new index, or -1 with
    // LastError set (unreadable file, unknown language).
    int AddDictionary(const QString &AFileName);
    int DictionaryCount() const;
    QString DictionaryFileName(int AIndex) const;
    int DictionaryLanguage(int AIndex) const;
    // The first loaded list whose file name (without folder) equals AFileName
    // ignoring case; -1 when none.
    int GetDCTIndexByFileName(const QString &AFileName) const;
    // Copies every "*.DCT" (any case) of ASourceDir (default: the program's
    // folder + "/custom/dictionaries") into InitialDir without overwriting,
    // and adds the copies not loaded yet. InitialDir is created as needed.
    void LoadDefaultDictionaries(const QString &ASourceDir = QString());

    // ALcid 0 means the current language. A language without a dictionary
    // accepts everything (LastError says why).
    bool IsCorrect(const QString &AWord, int ALcid = 0);
    QStringList Suggest(const QString &AWord, int ALcid = 0);
    // Misspelt words of a text, in order, after the options and the words
    // ignored this session.
    QList<TWPSpellError> CheckText(const QString &AText, int ALcid = 0);
    // Accepts the word from now on and appends it to the personal list;
    // false with LastError when the list cannot be written (the word is still
    // accepted in this controller).
    bool AddWord(const QString &AWord, int ALcid = 0);
    // Accepted until ClearIgnored, in every language; not saved.
    void IgnoreAll(const QString &AWord);
    void ClearIgnored();
    QString PersonalDictionaryFileName(int ALcid = 0) const;

    bool HasThesaurus(int ALcid = 0);
    QList<TWPThesaurusMeaning> Thesaurus(const QString &AWord, int ALcid = 0);

    QString LastError() const;

Q_SIGNALS:
    // Words accepted or options changed: marks drawn so far may be stale.
    void Changed();

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
