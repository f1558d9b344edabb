// Default font and character set per language for the translation tools,
// kept in the user's registry, and the dialog that edits them. The list read
// at library load (DefFontsList) is written back at unload only when it was
// changed.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QTreeWidget;

namespace zor {

class TsiCustomLang;
class TsiLangDispatcher;

// Where the list is stored (root HKEY_CURRENT_USER).
inline constexpr const char16_t DefFontsRegistryKey[] = u"\\Software\\Verbacomp\\TsiLang\\EditorForm";

// Character sets (the font character-set byte).
enum : quint8 {
    ANSI_CHARSET = 0,
    DEFAULT_CHARSET = 1,
    SYMBOL_CHARSET = 2,
    MAC_CHARSET = 77,
    SHIFTJIS_CHARSET = 128,
    HANGEUL_CHARSET = 129,
    JOHAB_CHARSET = 130,
    GB2312_CHARSET = 134,
    CHINESEBIG5_CHARSET = 136,
    GREEK_CHARSET = 161,
    TURKISH_CHARSET = 162,
    VIETNAMESE_CHARSET = 163,
    HEBREW_CHARSET = 177,
    ARABIC_CHARSET = 178,
    BALTIC_CHARSET = 186,
    RUSSIAN_CHARSET = 204,
    THAI_CHARSET = 222,
    EASTEUROPE_CHARSET = 238,
    OEM_CHARSET = 255,
};

// "DEFAULT_CHARSET" for 1; a value without identifier as its decimal number.
ZOR_EXPORT QString CharsetToIdent(quint8 ACharset);
// An identifier (ignoring ASCII case) or a decimal number 0..255; false for
// anything else, leaving ACharset unchanged.
ZOR_EXPORT bool IdentToCharset(const QString &AIdent, quint8 &ACharset);
// Every identifier, in ascending order of value.
ZOR_EXPORT QStringList CharsetIdents();

struct ZOR_EXPORT TDefFontListItem
{
    QString FLanguage;
    QString FFontName;
    quint8 FCharset = DEFAULT_CHARSET;
};

class ZOR_EXPORT TDefFontsList
{
public:
    // Reads the store at DefFontsRegistryKey.
    TDefFontsList();
    // Writes the store back when the list was changed; never throws.
    virtual ~TDefFontsList();
    TDefFontsList(const TDefFontsList &) = delete;
    TDefFontsList &operator=(const TDefFontsList &) = delete;

    int Count() const { return int(FItems.size()); }
    // Null for an index out of range.
    TDefFontListItem *Items(int AIndex) const;
    bool WasChanged() const { return FWasChanged; }

    virtual void Clear();
    // Appends (duplicates allowed).
    void AddDefFontItem(const QString &ALanguage, const QString &AFontName, quint8 ACharset);
    // Removes every entry of ALanguage (ignoring ASCII case).
    void RemoveDefFontItem(const QString &ALanguage);
    // Of the first entry of ALanguage (ignoring ASCII case): its font name,
    // else empty; its character set, else DEFAULT_CHARSET.
    QString GetLangFontName(const QString &ALanguage) const;
    quint8 GetLangCharset(const QString &ALanguage) const;
    // The first entry of ALanguage (ignoring case), or null.
    TDefFontListItem *FindItemByLang(const QString &ALanguage) const;

    // Rows of language, font name and character-set identifier; the tree is
    // cleared first. Null is ignored.
    void PopulateListView(QTreeWidget *AListView) const;
    // Replaces the entries with the rows of AListView (unknown character sets
    // become DEFAULT_CHARSET). Null is ignored.
    void CopyFromListView(const QTreeWidget *AListView);

    // Writes the count and every entry under AKey (created as needed) and
    // removes values of entries beyond the count. False when the key cannot
    // be opened; ERegistryException when a value cannot be written.
    bool WriteToRegistry(const QString &AKey);
    // Appends the complete entries stored under AKey; values of the wrong
    // type count as missing.
    void ReadFromRegistry(const QString &AKey);

private:
    std::vector<std::unique_ptr<TDefFontListItem>> FItems;
    bool FWasChanged = false;
};

// The list of the running process: created when the library loads, freed
// (and stored when changed) when it unloads. Null outside that span.
ZOR_EXPORT extern TDefFontsList *DefFontsList;

// The default-fonts dialog: the list's rows with editors for the selected
// rows. Edits stay in the dialog until the caller copies them back.
class ZOR_EXPORT TfrmDefFonts : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmDefFonts(QWidget *AParent = nullptr);
    ~TfrmDefFonts() override;

    QTreeWidget *ListView() const;
    TsiCustomLang *Lang() const;
    // The text an editor shows while the selected rows disagree.
    QString MultipleValuesText() const;
    // Asks before the list is cleared; defaults to a message box.
    std::function<bool(const QString &AQuestion)> Confirm;

    // Offers these names in the language editor.
    void SetLanguageNames(const QStringList &ANames);
    // Editor texts; setting them behaves as typing into the editors.
    QString LanguageText() const;
    QString FontNameText() const;
    QString CharsetText() const;
    void SetLanguageText(const QString &AText);
    void SetFontNameText(const QString &AText);
    void SetCharsetText(const QString &AText);

    void AddRow();
    void ReplaceRows();
    void DeleteRows();
    void ClearRows();
    // Refreshes the editors and the buttons from the selection.
    void UpdateControls();

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

// Edits AList in the dialog; on OK the rows go back to the list and to the
// store. The first overload also makes the dialog follow ADispatcher and take
// missing texts from ALangLink. ACallback, when given, is called with the
// dialog before it runs. Returns the dialog's result (QDialog::Accepted …).
ZOR_EXPORT int DefFontsDlg(TDefFontsList *AList, TsiLangDispatcher *ADispatcher, TsiCustomLang *ALangLink,
                           const std::function<void(TfrmDefFonts &)> &ACallback = {});
ZOR_EXPORT int DefFontsDlg(TDefFontsList *AList, const std::function<void(TfrmDefFonts &)> &ACallback = {});

namespace detail {
void DefFontsStartup();
void DefFontsShutdown();
} // namespace detail

} // namespace zor
