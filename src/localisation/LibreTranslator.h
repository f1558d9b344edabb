// A translator backed by a LibreTranslate server (POST /translate with the
// texts as an array): one request per loader batch, one for each single text.
// Languages are given by English name (German), own name (Deutsch) or ISO
// code, with or without a territory (de, de_AT).
#pragma once

#include <ZorCompCore/localisation/Translator.h>

namespace zor {

class ZOR_EXPORT TZORLibreTranslator : public TZOROnlineTranslator
{
    Q_OBJECT
public:
    // Endpoint and key start from $ZOR_LIBRETRANSLATE_URL and
    // $ZOR_LIBRETRANSLATE_API_KEY.
    explicit TZORLibreTranslator(QObject *AOwner = nullptr);
    ~TZORLibreTranslator() override;

    // Base address of the service ("http://127.0.0.1:5000"); "/translate" is appended.
    QString ServiceURL() const;
    void SetServiceURL(const QString &AValue);
    QString ApiKey() const; // sent as api_key when not empty
    void SetApiKey(const QString &AValue);
    int ReadTimeout() const; // milliseconds, default 30000
    void SetReadTimeout(int AValue);

    // ISO 639-1 code of a language name or code, empty when the service
    // does not serve that language.
    static QString LanguageCode(const QString &ALangName);
    bool KnowsLanguage(const QString &ALangName) const override;
    // The message of the last failed request (empty if none failed).
    QString LastError() const;

protected:
    bool InternalTranslateText(const QString &ATextID, const QString &AText, const QString &ATextLang,
                               const QString &ADestLang, QString &AResult) override;
    bool InternalBulkTranslateText(TZORLocalCacheLangData &ACache, const QList<TDynTranslationItem *> &AItems,
                                   const QString &ATextLang, const QString &ADestLang,
                                   int &ALoaderCount) override;

private:
    // Translations of ATexts in order; raises on transport, protocol or
    // answer errors.
    QStringList Translate(const QStringList &ATexts, const QString &ATextLang, const QString &ADestLang);
    void SetLastError(const QString &AMessage);

    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
