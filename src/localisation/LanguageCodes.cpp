#include <ZorCompCore/localisation/LanguageCodes.h>

#include <QHash>
#include <QLocale>

namespace zor {

namespace {

// Lower-cased English and native names to their language, built once.
const QHash<QString, QLocale::Language> &namesTable()
{
    static const QHash<QString, QLocale::Language> table = [] {
        QHash<QString, QLocale::Language> t;
        for (int l = QLocale::C + 1; l <= QLocale::LastLanguage; ++l) {
            const auto language = QLocale::Language(l);
            const QString english = QLocale::languageToString(language);
            if (english.isEmpty())
                continue;
            t.insert(english.toLower(), language);
            const QLocale locale(language);
            // A language without locale data falls back to C: its native name is not this language's.
            if (locale.language() == language) {
                const QString native = locale.nativeLanguageName().toLower();
                if (!native.isEmpty())
                    t.insert(native, language);
            }
        }
        return t;
    }();
    return table;
}

QLocale::Language languageOf(const QString &ANameOrCode)
{
    const QString text = ANameOrCode.trimmed();
    if (text.isEmpty())
        return QLocale::AnyLanguage;
    const auto byName = namesTable().constFind(text.toLower());
    if (byName != namesTable().constEnd())
        return byName.value();
    // A code, possibly with a territory or script: "pt_BR", "sr-Latn".
    qsizetype cut = text.size();
    for (const char16_t separator : {u'_', u'-', u'@', u'.'}) {
        const qsizetype at = text.indexOf(QChar(separator));
        if (at > 0 && at < cut)
            cut = at;
    }
    const QLocale::Language language = QLocale::codeToLanguage(QStringView(text).left(cut));
    return language == QLocale::C ? QLocale::AnyLanguage : language;
}

} // namespace

QString LanguageCodeOf(const QString &ANameOrCode)
{
    const QLocale::Language language = languageOf(ANameOrCode);
    if (language == QLocale::AnyLanguage)
        return {};
    const QString two = QLocale::languageToCode(language, QLocale::ISO639Part1);
    return two.isEmpty() ? QLocale::languageToCode(language) : two;
}

QString LanguageNameOf(const QString &ANameOrCode)
{
    const QLocale::Language language = languageOf(ANameOrCode);
    return language == QLocale::AnyLanguage ? QString() : QLocale::languageToString(language);
}

} // namespace zor
