#include <ZorCompCore/localisation/LibreTranslator.h>

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/localisation/LanguageCodes.h>
#include <ZorCompCore/utilities/HTTPUtils.h>

#include <nlohmann/json.hpp>

#include <mutex>

namespace zor {

namespace {

struct Language
{
    const char *name;
    const char *code;
};

// The languages LibreTranslate serves, by English name.
constexpr Language kLanguages[] = {
    {"Albanian", "sq"},   {"Arabic", "ar"},     {"Azerbaijani", "az"}, {"Bengali", "bn"},
    {"Bulgarian", "bg"},  {"Catalan", "ca"},    {"Chinese", "zh"},     {"Czech", "cs"},
    {"Danish", "da"},     {"Dutch", "nl"},      {"English", "en"},     {"Esperanto", "eo"},
    {"Estonian", "et"},   {"Finnish", "fi"},    {"French", "fr"},      {"German", "de"},
    {"Greek", "el"},      {"Hebrew", "he"},     {"Hindi", "hi"},       {"Hungarian", "hu"},
    {"Indonesian", "id"}, {"Irish", "ga"},      {"Italian", "it"},     {"Japanese", "ja"},
    {"Korean", "ko"},     {"Latvian", "lv"},    {"Lithuanian", "lt"},  {"Malay", "ms"},
    {"Norwegian", "nb"},  {"Persian", "fa"},    {"Polish", "pl"},      {"Portuguese", "pt"},
    {"Romanian", "ro"},   {"Russian", "ru"},    {"Slovak", "sk"},      {"Slovenian", "sl"},
    {"Spanish", "es"},    {"Swedish", "sv"},    {"Tagalog", "tl"},     {"Thai", "th"},
    {"Turkish", "tr"},    {"Ukrainian", "uk"},  {"Urdu", "ur"},
};

// The service's own explanation in an error answer ({"error": "..."}), if any.
QString serviceError(const QString &body)
{
    const auto j = nlohmann::json::parse(body.toStdString(), nullptr, false);
    if (j.is_object() && j.contains("error") && j["error"].is_string())
        return QString::fromStdString(j["error"].get<std::string>());
    return {};
}

} // namespace

struct TZORLibreTranslator::Private
{
    QString serviceURL = qEnvironmentVariable("ZOR_LIBRETRANSLATE_URL");
    QString apiKey = qEnvironmentVariable("ZOR_LIBRETRANSLATE_API_KEY");
    int readTimeout = 30000;
    mutable std::mutex errorMutex;
    QString lastError;
};

TZORLibreTranslator::TZORLibreTranslator(QObject *AOwner)
    : TZOROnlineTranslator(AOwner), d(std::make_unique<Private>())
{
}

TZORLibreTranslator::~TZORLibreTranslator() = default;

QString TZORLibreTranslator::ServiceURL() const { return d->serviceURL; }
void TZORLibreTranslator::SetServiceURL(const QString &AValue) { d->serviceURL = AValue; }
QString TZORLibreTranslator::ApiKey() const { return d->apiKey; }
void TZORLibreTranslator::SetApiKey(const QString &AValue) { d->apiKey = AValue; }
int TZORLibreTranslator::ReadTimeout() const { return d->readTimeout; }
void TZORLibreTranslator::SetReadTimeout(int AValue) { d->readTimeout = AValue; }

QString TZORLibreTranslator::LastError() const
{
    std::lock_guard lock(d->errorMutex);
    return d->lastError;
}

void TZORLibreTranslator::SetLastError(const QString &AMessage)
{
    std::lock_guard lock(d->errorMutex);
    d->lastError = AMessage;
}

QString TZORLibreTranslator::LanguageCode(const QString &ALangName)
{
    const QString name = ALangName.trimmed();
    for (const Language &l : kLanguages) {
        if (name.compare(QLatin1String(l.name), Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String(l.code), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(l.code);
    }
    // A name the table lacks ("Deutsch", "de_AT", "Français") may still be a
    // language the service serves under its ISO code.
    const QString code = LanguageCodeOf(name);
    if (code.isEmpty())
        return {};
    for (const Language &l : kLanguages) {
        if (code == QLatin1String(l.code))
            return code;
    }
    return {};
}

bool TZORLibreTranslator::KnowsLanguage(const QString &ALangName) const
{
    return !LanguageCode(ALangName).isEmpty();
}

QStringList TZORLibreTranslator::Translate(const QStringList &ATexts, const QString &ATextLang,
                                           const QString &ADestLang)
{
    const QString source = LanguageCode(ATextLang);
    const QString target = LanguageCode(ADestLang);
    if (source.isEmpty() || target.isEmpty())
        throw EArgumentException(QStringLiteral("Unknown language: %1")
                                     .arg(source.isEmpty() ? ATextLang : ADestLang));
    if (d->serviceURL.isEmpty())
        throw EArgumentException(QStringLiteral("No translation service address is set"));

    nlohmann::json request;
    request["q"] = nlohmann::json::array();
    for (const QString &t : ATexts)
        request["q"].push_back(t.toStdString());
    request["source"] = source.toStdString();
    request["target"] = target.toStdString();
    request["format"] = "text";
    if (!d->apiKey.isEmpty())
        request["api_key"] = d->apiKey.toStdString();

    THTTPRequest http;
    http.ContentType = QStringLiteral("application/json");
    http.CustomHeaders.append({QByteArray("Accept"), QByteArray("application/json")});
    QString url = d->serviceURL;
    while (url.endsWith(u'/'))
        url.chop(1);
    url += QStringLiteral("/translate");

    THTTPResponse response;
    try {
        response = THTTPUtils::Request(QStringLiteral("POST"), url, QByteArray::fromStdString(request.dump()),
                                       http, d->readTimeout);
    } catch (EHTTPProtocolException &e) {
        const QString why = serviceError(e.ErrorMessage);
        if (!why.isEmpty())
            e.SetMessage(e.Message() + QStringLiteral(": ") + why);
        throw;
    }

    const auto answer = nlohmann::json::parse(response.Body.constData(),
                                              response.Body.constData() + response.Body.size(), nullptr, false);
    const auto bad = [] { return EConvertError(QStringLiteral("Unexpected answer from the translation service")); };
    if (!answer.is_object() || !answer.contains("translatedText"))
        throw bad();
    const auto &translated = answer["translatedText"];
    QStringList out;
    if (translated.is_array()) {
        for (const auto &t : translated) {
            if (!t.is_string())
                throw bad();
            out << QString::fromStdString(t.get<std::string>());
        }
    } else if (translated.is_string() && ATexts.size() == 1) {
        out << QString::fromStdString(translated.get<std::string>()); // servers that answer one text plainly
    }
    if (out.size() != ATexts.size())
        throw bad();
    return out;
}

bool TZORLibreTranslator::InternalTranslateText(const QString &, const QString &AText, const QString &ATextLang,
                                                const QString &ADestLang, QString &AResult)
{
    AResult.clear();
    try {
        AResult = Translate({AText}, ATextLang, ADestLang).value(0);
        return true;
    } catch (const Exception &e) {
        SetLastError(e.Message());
        return false;
    }
}

bool TZORLibreTranslator::InternalBulkTranslateText(TZORLocalCacheLangData &ACache,
                                                    const QList<TDynTranslationItem *> &AItems,
                                                    const QString &ATextLang, const QString &ADestLang,
                                                    int &ALoaderCount)
{
    QStringList texts;
    texts.reserve(AItems.size());
    for (const TDynTranslationItem *item : AItems)
        texts << item->Text;
    QStringList translated;
    try {
        translated = Translate(texts, ATextLang, ADestLang);
    } catch (const Exception &e) {
        SetLastError(e.Message());
        return false;
    }
    ACache.Sync().BeginWrite();
    for (qsizetype i = 0; i < AItems.size(); ++i)
        ACache.AddOrSetValue(ACache.GetTranslateTextKeyName(AItems[i]->TextID, AItems[i]->Text), translated[i]);
    ACache.Sync().EndWrite();
    ALoaderCount = int(AItems.size());
    return true;
}

} // namespace zor
