// An offline translator that looks texts up in glossaries: tab-separated
// files of (source text, translation) lines, one file per language pair.
// A text it cannot find stays untranslated (and is tried again next time).
// Languages meet through their ISO codes: a glossary loaded for "German"
// also serves a form whose language is named "Deutsch", "de" or "de_AT".
#pragma once

#include <ZorCompCore/localisation/Translator.h>

namespace zor {

class ZOR_EXPORT TZORGlossaryTranslator : public TZORCustomTranslator
{
    Q_OBJECT
public:
    explicit TZORGlossaryTranslator(QObject *AOwner = nullptr);
    ~TZORGlossaryTranslator() override;

    // Reads a UTF-8 file of "source<TAB>translation" lines for one pair;
    // blank lines and lines starting with '#' are skipped, later lines win.
    // Raises EFOpenError when the file cannot be read. Returns the number of
    // entries read; lines without a tab are counted in BadLines.
    int LoadGlossaryFile(const QString &ATextLang, const QString &ADestLang, const QString &AFileName,
                         int *ABadLines = nullptr);
    // Loads every "<Source>-<Dest>.tsv" file of AFolder (German-English.tsv).
    // Returns the number of files read.
    int LoadGlossaryFolder(const QString &AFolder);
    void AddGlossaryEntry(const QString &ATextLang, const QString &ADestLang, const QString &AText,
                          const QString &ATranslation);
    int GlossaryCount(const QString &ATextLang, const QString &ADestLang) const;

    // Exact text first, then ignoring case, then without a trailing ":" or
    // "..." (which is put back), with the first letter's case kept.
    bool Lookup(const QString &AText, const QString &ATextLang, const QString &ADestLang,
                QString &AResult) const;
    bool KnowsLanguage(const QString &ALangName) const override;

protected:
    bool InternalTranslateText(const QString &ATextID, const QString &AText, const QString &ATextLang,
                               const QString &ADestLang, QString &AResult) override;
    bool InternalBulkTranslateText(TZORLocalCacheLangData &ACache, const QList<TDynTranslationItem *> &AItems,
                                   const QString &ATextLang, const QString &ADestLang,
                                   int &ALoaderCount) override;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
