// The dialog that asks how to fill translations from a dictionary: the base
// language, the dictionary languages to fill, the dictionary file and the
// search options. The editor fills it, runs it and reads the choices back.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>

namespace zor {

class TsiCustomLang;

class ZOR_EXPORT TfrmDictionaryPrompt : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmDictionaryPrompt(QWidget *AParent = nullptr);
    ~TfrmDictionaryPrompt() override;

    TsiCustomLang *Lang() const;

    // The languages offered as base language; AIndex selects one (-1: none).
    void SetBaseLanguages(const QStringList &ALanguages, int AIndex = 0);
    QString BaseLanguage() const;
    int BaseLanguageIndex() const;
    // The languages offered for filling; those in AChecked start checked.
    void SetDictionaryLanguages(const QStringList &ALanguages, const QStringList &AChecked = {});
    // The checked ones, in list order.
    QStringList DictionaryLanguages() const;

    QString DictionaryFile() const;
    // Shows the file in the panel and calls OnRefresh.
    void SetDictionaryFile(const QString &AFileName);
    // Runs FilePicker and takes the file it returns (an empty answer keeps
    // the current file). The "..." button calls this.
    void BrowseDictionary();
    // Picks a dictionary file; gets the current one. Defaults to a file dialog.
    std::function<QString(const QString &ACurrent)> FilePicker;
    // Called after the dictionary file changed, to refill the languages.
    std::function<void(TfrmDictionaryPrompt &)> OnRefresh;

    bool OverwriteExisting() const;
    bool CaseSensitive() const;
    bool SkipAmpersands() const;
    bool ParseMultiLines() const;
    bool ForceEmpty() const;
    bool DontAskThisSession() const;
    bool DontAskThisProject() const;
    void SetOverwriteExisting(bool AValue);
    void SetCaseSensitive(bool AValue);
    void SetSkipAmpersands(bool AValue);
    void SetParseMultiLines(bool AValue);
    void SetForceEmpty(bool AValue);
    void SetDontAskThisSession(bool AValue);
    void SetDontAskThisProject(bool AValue);

    // OK needs a dictionary file, a base language and one language to fill
    // that is not the base language.
    void UpdateButtons();

private:
    void showDictionary();

    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
