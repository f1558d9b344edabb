#include <ZorCompCore/localisation/GlossaryTranslator.h>

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/localisation/LanguageCodes.h>
#include <ZorCompCore/platform/Exception.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <mutex>
#include <shared_mutex>

namespace zor {

namespace {

struct Glossary
{
    QHash<QString, QString> exact;
    QHash<QString, QString> folded; // case-folded source -> translation
};

// Glossary files and forms name one language differently ("German", "Deutsch",
// "de_DE"): every name a language code is known for stands for that code, so
// any of them finds the same glossary. Other names are compared ignoring case.
QString languageKey(const QString &name)
{
    const QString code = LanguageCodeOf(name);
    return code.isEmpty() ? name.trimmed().toCaseFolded() : code;
}

QString pairName(const QString &source, const QString &dest)
{
    return languageKey(source) + u'\t' + languageKey(dest);
}

// Gives the translation the case of the text's first letter ("datei" -> "file").
QString matchInitialCase(const QString &text, const QString &translation)
{
    if (text.isEmpty() || translation.isEmpty() || !text[0].isLetter())
        return translation;
    QString out = translation;
    out[0] = text[0].isUpper() ? out[0].toUpper() : out[0].toLower();
    return out;
}

} // namespace

struct TZORGlossaryTranslator::Private
{
    mutable std::shared_mutex lock;
    QHash<QString, Glossary> pairs;
    QSet<QString> languages; // case-folded
};

TZORGlossaryTranslator::TZORGlossaryTranslator(QObject *AOwner)
    : TZORCustomTranslator(AOwner), d(std::make_unique<Private>())
{
}

TZORGlossaryTranslator::~TZORGlossaryTranslator() = default;

void TZORGlossaryTranslator::AddGlossaryEntry(const QString &ATextLang, const QString &ADestLang,
                                              const QString &AText, const QString &ATranslation)
{
    std::unique_lock guard(d->lock);
    Glossary &g = d->pairs[pairName(ATextLang, ADestLang)];
    g.exact.insert(AText, ATranslation);
    g.folded.insert(AText.toCaseFolded(), ATranslation);
    d->languages.insert(languageKey(ATextLang));
    d->languages.insert(languageKey(ADestLang));
}

int TZORGlossaryTranslator::LoadGlossaryFile(const QString &ATextLang, const QString &ADestLang,
                                             const QString &AFileName, int *ABadLines)
{
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(AFileName, file.errorString()));
    QByteArray data = file.readAll();
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    const QStringList lines = QString::fromUtf8(data).split(u'\n');
    int count = 0, bad = 0;
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        const QString source = tab < 0 ? QString() : line.left(tab);
        QString target = tab < 0 ? QString() : line.mid(tab + 1);
        // A third column (notes) is allowed and ignored.
        if (const qsizetype next = target.indexOf(u'\t'); next >= 0)
            target.truncate(next);
        if (source.isEmpty() || target.isEmpty()) {
            ++bad;
            continue;
        }
        AddGlossaryEntry(ATextLang, ADestLang, source, target);
        ++count;
    }
    if (ABadLines)
        *ABadLines = bad;
    return count;
}

int TZORGlossaryTranslator::LoadGlossaryFolder(const QString &AFolder)
{
    static const QRegularExpression name(QStringLiteral("^([^-]+)-([^-]+)\\.tsv$"),
                                         QRegularExpression::CaseInsensitiveOption);
    int files = 0;
    const QStringList entries = QDir(AFolder).entryList({QStringLiteral("*.tsv")}, QDir::Files, QDir::Name);
    for (const QString &entry : entries) {
        const auto m = name.match(entry);
        if (!m.hasMatch())
            continue;
        LoadGlossaryFile(m.captured(1), m.captured(2), QDir(AFolder).filePath(entry));
        ++files;
    }
    return files;
}

int TZORGlossaryTranslator::GlossaryCount(const QString &ATextLang, const QString &ADestLang) const
{
    std::shared_lock guard(d->lock);
    return int(d->pairs.value(pairName(ATextLang, ADestLang)).exact.size());
}

bool TZORGlossaryTranslator::Lookup(const QString &AText, const QString &ATextLang, const QString &ADestLang,
                                    QString &AResult) const
{
    const QString pair = pairName(ATextLang, ADestLang);
    std::shared_lock guard(d->lock);
    const auto it = d->pairs.constFind(pair);
    if (it == d->pairs.constEnd())
        return false;
    const Glossary &g = it.value();
    if (const auto e = g.exact.constFind(AText); e != g.exact.constEnd()) {
        AResult = e.value();
        return true;
    }
    const QString trimmed = AText.trimmed();
    if (const auto f = g.folded.constFind(trimmed.toCaseFolded()); f != g.folded.constEnd()) {
        AResult = matchInitialCase(trimmed, f.value());
        return true;
    }
    static const QString suffixes[] = {QStringLiteral("..."), QStringLiteral(":"), QString(QChar(0x2026))};
    for (const QString &suffix : suffixes) {
        if (!trimmed.endsWith(suffix) || trimmed.size() == suffix.size())
            continue;
        const QString stem = trimmed.chopped(suffix.size()).trimmed();
        if (const auto f = g.folded.constFind(stem.toCaseFolded()); f != g.folded.constEnd()) {
            AResult = matchInitialCase(stem, f.value()) + suffix;
            return true;
        }
    }
    return false;
}

bool TZORGlossaryTranslator::KnowsLanguage(const QString &ALangName) const
{
    const QString key = languageKey(ALangName);
    std::shared_lock guard(d->lock);
    return d->languages.contains(key);
}

bool TZORGlossaryTranslator::InternalTranslateText(const QString &, const QString &AText, const QString &ATextLang,
                                                   const QString &ADestLang, QString &AResult)
{
    AResult.clear();
    return Lookup(AText, ATextLang, ADestLang, AResult);
}

bool TZORGlossaryTranslator::InternalBulkTranslateText(TZORLocalCacheLangData &ACache,
                                                       const QList<TDynTranslationItem *> &AItems,
                                                       const QString &ATextLang, const QString &ADestLang,
                                                       int &ALoaderCount)
{
    QList<QPair<QString, QString>> found;
    for (const TDynTranslationItem *item : AItems) {
        QString t;
        if (Lookup(item->Text, ATextLang, ADestLang, t))
            found.append({ACache.GetTranslateTextKeyName(item->TextID, item->Text), t});
    }
    ACache.Sync().BeginWrite();
    for (const auto &[key, value] : found)
        ACache.AddOrSetValue(key, value);
    ACache.Sync().EndWrite();
    ALoaderCount = int(found.size());
    return true;
}

} // namespace zor
