#include "SpellController.h"

#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/KnownFolders.h>
#include <ZorCompCore/platform/Registry.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryFile>

#include <hunspell.hxx>
#include <mythes.hxx>

#include <map>
#include <vector>

Q_LOGGING_CATEGORY(lcSpell, "zor.richtext.spell", QtInfoMsg)

namespace zor {

namespace {

struct LanguageName
{
    int Lcid;
    const char *Code;
};

const LanguageName kLanguages[] = {
    {wpLangGerman, "de_DE"}, {wpLangEnglishUS, "en_US"}, {wpLangEnglishUK, "en_GB"},
    {wpLangFrench, "fr_FR"}, {wpLangItalian, "it_IT"},
};

const QStringList kDefaultNeighbourKeys = {
    QStringLiteral("a:edä"), QStringLiteral("b:pvn"), QStringLiteral("c:sxv"), QStringLiteral("d:sf"),
    QStringLiteral("e:aiä"), QStringLiteral("f:dg"),  QStringLiteral("g:jfh"), QStringLiteral("h:gj"),
    QStringLiteral("i:euo"), QStringLiteral("j:hk"),  QStringLiteral("k:cjl"), QStringLiteral("l:mn"),
    QStringLiteral("m:n"),   QStringLiteral("n:mb"),  QStringLiteral("o:ipö"), QStringLiteral("p:bo"),
    QStringLiteral("q:ckw"), QStringLiteral("r:et"),  QStringLiteral("s:cadß"), QStringLiteral("t:rpy"),
    QStringLiteral("u:yiü"), QStringLiteral("v:bc"),  QStringLiteral("w:uqe"), QStringLiteral("x:kz"),
    QStringLiteral("y:tu"),  QStringLiteral("z:xs"),
};

// Words longer than this are neither tried against the neighbour keys nor
// cached: no dictionary word is that long, and a pasted hash must not cost
// hundreds of look-ups.
constexpr int kMaxWordLength = 64;
// The accepted/rejected cache is dropped when it grows past this.
constexpr int kMaxCachedWords = 200000;

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

// Apostrophes, hyphens and dots belong to a word only between its letters
// ("don't", "well-known", "z.B").
bool isJoiner(QChar c)
{
    return c == u'\'' || c == u'\u2019' || c == u'-' || c == u'.';
}

bool looksLikeInternet(QStringView chunk)
{
    return chunk.contains(u"://") || chunk.startsWith(u"www.", Qt::CaseInsensitive)
           || (chunk.contains(u'@') && chunk.indexOf(u'.', chunk.indexOf(u'@')) > 0);
}

bool hasDigit(QStringView w)
{
    for (QChar c : w)
        if (c.isDigit())
            return true;
    return false;
}

bool allUpper(QStringView w)
{
    int letters = 0;
    for (QChar c : w) {
        if (c.isLower())
            return false;
        letters += c.isUpper();
    }
    return letters > 1;
}

// Hunspell's SET names as our charset converter knows them.
QString charsetName(const std::string &set)
{
    QString s = QString::fromLatin1(set.data(), qsizetype(set.size())).trimmed();
    if (s.startsWith(u"ISO8859-", Qt::CaseInsensitive))
        return QStringLiteral("ISO-8859-") + s.mid(8);
    if (s.startsWith(u"microsoft-cp", Qt::CaseInsensitive))
        return QStringLiteral("windows-") + s.mid(12);
    return s;
}

struct WordList
{
    int Lcid = 0;           // from "#language"; 0 when the file does not say
    QStringList Words;      // with their affix flags
};

WordList parseWordList(const QByteArray &bytes)
{
    WordList list;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(u'\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(u'#')) {
            if (line.startsWith(u"#language", Qt::CaseInsensitive))
                list.Lcid = TWPSpellController::LanguageId(line.mid(9).trimmed());
            continue;
        }
        list.Words << line;
    }
    return list;
}

struct Extra
{
    QString FileName;
    int Lcid = 0;
    QStringList Words;
};

struct Dictionary
{
    std::unique_ptr<Hunspell> Speller;
    QString Charset;
    bool Utf8 = true;
    QHash<QString, bool> Cache;
    std::unique_ptr<MyThes> Thesaurus;
    QString ThesaurusCharset;
    bool ThesaurusTried = false;
};

} // namespace

struct TWPSpellController::Private
{
    mutable QRecursiveMutex Lock;
    QString RegistryKey = QStringLiteral("Software\\Quenlor\\WPSpell");
    bool Active = false;
    int Language = wpLangGerman;
    TWPSpellOptions Options;
    QString DictionaryDir = QStringLiteral("/usr/share/hunspell");
    QString ThesaurusDir = QStringLiteral("/usr/share/mythes");
    QString InitialDir;
    QStringList NeighbourLines = kDefaultNeighbourKeys;
    QHash<QChar, QString> Neighbours;
    std::vector<Extra> Extras;
    std::map<int, Dictionary> Dictionaries;     // loaded ones; failed loads are not kept
    QSet<QString> Ignored;
    QString LastError;

    void parseNeighbours()
    {
        Neighbours.clear();
        for (const QString &line : NeighbourLines) {
            const int colon = int(line.indexOf(u':'));
            if (colon == 1)
                Neighbours[line.at(0).toLower()] += line.mid(2);
        }
    }

    QString initialDir() const
    {
        return InitialDir.isEmpty() ? RoamingAppDataPath() + QStringLiteral("/Quenlor/LocalSettings/WPSpell")
                                    : InitialDir;
    }

    QString personalFile(int lcid) const
    {
        return initialDir() + QStringLiteral("/Personal_") + LanguageCode(lcid) + QStringLiteral(".DCT");
    }

    std::string encode(const Dictionary &dict, const QString &word) const
    {
        const QByteArray b = dict.Utf8 ? word.toUtf8() : EncodeCharset(word, dict.Charset);
        return std::string(b.constData(), size_t(b.size()));
    }

    QString decode(const Dictionary &dict, const std::string &s) const
    {
        const QByteArray b(s.data(), qsizetype(s.size()));
        return dict.Utf8 ? QString::fromUtf8(b) : DecodeCharset(b, dict.Charset);
    }

    // Hands a word list to Hunspell as a .dic of its own: a count line, then
    // the words in the dictionary's encoding.
    void addWords(Dictionary &dict, const QStringList &words, const QString &origin)
    {
        if (words.isEmpty())
            return;
        QTemporaryFile tmp(QDir::tempPath() + QStringLiteral("/zor-spell-XXXXXX.dic"));
        if (!tmp.open()) {
            LastError = QStringLiteral("cannot write a temporary file for %1").arg(origin);
            return;
        }
        QByteArray data = QByteArray::number(words.size()) + '\n';
        for (const QString &w : words) {
            const std::string e = encode(dict, w);
            data.append(e.data(), qsizetype(e.size())).append('\n');
        }
        if (tmp.write(data) != data.size() || !tmp.flush()) {
            LastError = QStringLiteral("cannot write a temporary file for %1").arg(origin);
            return;
        }
        if (dict.Speller->add_dic(QFile::encodeName(tmp.fileName()).constData()) != 0)
            LastError = QStringLiteral("Hunspell did not take the word list %1").arg(origin);
        dict.Cache.clear();
    }

    // The language's dictionary, loaded with its extra and personal lists on
    // first use; null (LastError set) when it has none.
    Dictionary *dictionary(int lcid)
    {
        if (const auto it = Dictionaries.find(lcid); it != Dictionaries.end())
            return &it->second;
        const QString code = LanguageCode(lcid);
        if (code.isEmpty()) {
            LastError = QStringLiteral("no dictionary name is known for language %1").arg(lcid);
            return nullptr;
        }
        const QString base = DictionaryDir + u'/' + code;
        if (!QFileInfo::exists(base + QStringLiteral(".aff")) || !QFileInfo::exists(base + QStringLiteral(".dic"))) {
            LastError = QStringLiteral("no dictionary for language %1 (%2) in %3").arg(lcid).arg(code, DictionaryDir);
            return nullptr;
        }
        Dictionary dict;
        dict.Speller = std::make_unique<Hunspell>(QFile::encodeName(base + QStringLiteral(".aff")).constData(),
                                                  QFile::encodeName(base + QStringLiteral(".dic")).constData());
        const QString charset = charsetName(dict.Speller->get_dict_encoding());
        dict.Utf8 = charset.compare(u"UTF-8", Qt::CaseInsensitive) == 0;
        dict.Charset = charset;
        if (!dict.Utf8) {
            try {
                EncodeCharset(QStringLiteral("a"), charset);
            } catch (const Exception &) {
                LastError = QStringLiteral("the dictionary %1 uses the encoding %2, which this system cannot convert")
                                .arg(base, charset);
                return nullptr;
            }
        }
        Dictionary &loaded = Dictionaries.emplace(lcid, std::move(dict)).first->second;
        for (const Extra &e : Extras)
            if (e.Lcid == lcid)
                addWords(loaded, e.Words, e.FileName);
        QFile personal(personalFile(lcid));
        if (personal.open(QIODevice::ReadOnly))
            addWords(loaded, parseWordList(personal.readAll()).Words, personal.fileName());
        qCDebug(lcSpell) << "loaded" << base << "encoding" << charset;
        return &loaded;
    }

    bool spell(Dictionary &dict, const QString &word)
    {
        if (Ignored.contains(word))
            return true;
        if (word.size() > kMaxWordLength)
            return dict.Speller->spell(encode(dict, word));
        if (const auto it = dict.Cache.constFind(word); it != dict.Cache.constEnd())
            return *it;
        if (dict.Cache.size() >= kMaxCachedWords)
            dict.Cache.clear();
        const bool ok = dict.Speller->spell(encode(dict, word));
        dict.Cache.insert(word, ok);
        return ok;
    }

    void loadSettings()
    {
        TRegistry reg(KEY_READ);
        if (!reg.OpenKeyReadOnly(RegistryKey))
            return;
        try {
            if (reg.ValueExists(QStringLiteral("Language")))
                Language = reg.ReadInteger(QStringLiteral("Language"));
            if (reg.ValueExists(QStringLiteral("IgnoreUpperCase")))
                Options.IgnoreUpperCase = reg.ReadBool(QStringLiteral("IgnoreUpperCase"));
            if (reg.ValueExists(QStringLiteral("IgnoreWithNumbers")))
                Options.IgnoreWithNumbers = reg.ReadBool(QStringLiteral("IgnoreWithNumbers"));
            if (reg.ValueExists(QStringLiteral("IgnoreInternet")))
                Options.IgnoreInternet = reg.ReadBool(QStringLiteral("IgnoreInternet"));
        } catch (const Exception &e) {
            // A value of the wrong type keeps its default; the rest still counts.
            qCWarning(lcSpell) << "settings under" << RegistryKey << ":" << e.Message();
        }
    }

    void saveSettings()
    {
        if (!Active)
            return;
        try {
            TRegistry reg;
            if (!reg.OpenKey(RegistryKey, true))
                return;
            reg.WriteInteger(QStringLiteral("Language"), Language);
            reg.WriteBool(QStringLiteral("IgnoreUpperCase"), Options.IgnoreUpperCase);
            reg.WriteBool(QStringLiteral("IgnoreWithNumbers"), Options.IgnoreWithNumbers);
            reg.WriteBool(QStringLiteral("IgnoreInternet"), Options.IgnoreInternet);
        } catch (const Exception &e) {
            LastError = e.Message();
        }
    }
};

TWPSpellController::TWPSpellController(QObject *AOwner) : TComponent(AOwner), d(std::make_unique<Private>())
{
    d->parseNeighbours();
}

TWPSpellController::~TWPSpellController() = default;

QString TWPSpellController::RegistryKey() const
{
    QMutexLocker lock(&d->Lock);
    return d->RegistryKey;
}

void TWPSpellController::SetRegistryKey(const QString &AKey)
{
    QMutexLocker lock(&d->Lock);
    d->RegistryKey = AKey;
}

bool TWPSpellController::Active() const
{
    QMutexLocker lock(&d->Lock);
    return d->Active;
}

void TWPSpellController::SetActive(bool AValue)
{
    {
        QMutexLocker lock(&d->Lock);
        if (d->Active == AValue)
            return;
        d->Active = AValue;
        if (AValue)
            d->loadSettings();
        else
            d->Dictionaries.clear();
    }
    Q_EMIT Changed();
}

int TWPSpellController::CurrentLanguage() const
{
    QMutexLocker lock(&d->Lock);
    return d->Language;
}

void TWPSpellController::SetCurrentLanguage(int ALcid)
{
    {
        QMutexLocker lock(&d->Lock);
        if (d->Language == ALcid)
            return;
        d->Language = ALcid;
        d->saveSettings();
    }
    Q_EMIT Changed();
}

TWPSpellOptions TWPSpellController::Options() const
{
    QMutexLocker lock(&d->Lock);
    return d->Options;
}

void TWPSpellController::SetOptions(const TWPSpellOptions &AOptions)
{
    {
        QMutexLocker lock(&d->Lock);
        d->Options = AOptions;
        d->saveSettings();
    }
    Q_EMIT Changed();
}

QString TWPSpellController::DictionaryDir() const
{
    QMutexLocker lock(&d->Lock);
    return d->DictionaryDir;
}

void TWPSpellController::SetDictionaryDir(const QString &ADir)
{
    {
        QMutexLocker lock(&d->Lock);
        d->DictionaryDir = ADir;
        d->Dictionaries.clear();
    }
    Q_EMIT Changed();
}

QString TWPSpellController::ThesaurusDir() const
{
    QMutexLocker lock(&d->Lock);
    return d->ThesaurusDir;
}

void TWPSpellController::SetThesaurusDir(const QString &ADir)
{
    QMutexLocker lock(&d->Lock);
    d->ThesaurusDir = ADir;
    for (auto &[lcid, dict] : d->Dictionaries) {
        dict.Thesaurus.reset();
        dict.ThesaurusTried = false;
    }
}

QString TWPSpellController::InitialDir() const
{
    QMutexLocker lock(&d->Lock);
    return d->initialDir();
}

void TWPSpellController::SetInitialDir(const QString &ADir)
{
    QMutexLocker lock(&d->Lock);
    d->InitialDir = ADir;
}

QStringList TWPSpellController::NeighbourKeys() const
{
    QMutexLocker lock(&d->Lock);
    return d->NeighbourLines;
}

void TWPSpellController::SetNeighbourKeys(const QStringList &ALines)
{
    QMutexLocker lock(&d->Lock);
    d->NeighbourLines = ALines;
    d->parseNeighbours();
}

QString TWPSpellController::LanguageCode(int ALcid)
{
    for (const LanguageName &l : kLanguages)
        if (l.Lcid == ALcid)
            return QString::fromLatin1(l.Code);
    return {};
}

int TWPSpellController::LanguageId(const QString &ANameOrNumber)
{
    bool number = false;
    const int n = ANameOrNumber.trimmed().toInt(&number);
    if (number)
        return LanguageCode(n).isEmpty() ? 0 : n;
    QString code = ANameOrNumber.trimmed();
    code.replace(u'-', u'_');
    for (const LanguageName &l : kLanguages)
        if (code.compare(QLatin1String(l.Code), Qt::CaseInsensitive) == 0)
            return l.Lcid;
    return 0;
}

bool TWPSpellController::LanguageAvailable(int ALcid)
{
    QMutexLocker lock(&d->Lock);
    return d->dictionary(ALcid ? ALcid : d->Language) != nullptr;
}

int TWPSpellController::AddDictionary(const QString &AFileName)
{
    int index = -1;
    {
        QMutexLocker lock(&d->Lock);
        QFile f(AFileName);
        if (!f.open(QIODevice::ReadOnly)) {
            d->LastError = QStringLiteral("cannot read %1: %2").arg(AFileName, f.errorString());
            return -1;
        }
        WordList list = parseWordList(f.readAll());
        Extra extra{QFileInfo(AFileName).absoluteFilePath(), list.Lcid ? list.Lcid : d->Language, list.Words};
        if (LanguageCode(extra.Lcid).isEmpty()) {
            d->LastError = QStringLiteral("%1: unknown language").arg(AFileName);
            return -1;
        }
        if (const auto it = d->Dictionaries.find(extra.Lcid); it != d->Dictionaries.end())
            d->addWords(it->second, extra.Words, extra.FileName);
        d->Extras.push_back(std::move(extra));
        index = int(d->Extras.size()) - 1;
    }
    Q_EMIT Changed();
    return index;
}

int TWPSpellController::DictionaryCount() const
{
    QMutexLocker lock(&d->Lock);
    return int(d->Extras.size());
}

QString TWPSpellController::DictionaryFileName(int AIndex) const
{
    QMutexLocker lock(&d->Lock);
    return AIndex >= 0 && AIndex < int(d->Extras.size()) ? d->Extras[size_t(AIndex)].FileName : QString();
}

int TWPSpellController::DictionaryLanguage(int AIndex) const
{
    QMutexLocker lock(&d->Lock);
    return AIndex >= 0 && AIndex < int(d->Extras.size()) ? d->Extras[size_t(AIndex)].Lcid : 0;
}

int TWPSpellController::GetDCTIndexByFileName(const QString &AFileName) const
{
    QMutexLocker lock(&d->Lock);
    const QString wanted = AFileName.toLower();
    for (size_t i = 0; i < d->Extras.size(); ++i)
        if (QFileInfo(d->Extras[i].FileName).fileName().toLower() == wanted)
            return int(i);
    return -1;
}

void TWPSpellController::LoadDefaultDictionaries(const QString &ASourceDir)
{
    const QString source = ASourceDir.isEmpty()
                               ? QCoreApplication::applicationDirPath() + QStringLiteral("/custom/dictionaries")
                               : ASourceDir;
    const QString target = InitialDir();
    if (!QDir().mkpath(target)) {
        QMutexLocker lock(&d->Lock);
        d->LastError = QStringLiteral("cannot create %1").arg(target);
        return;
    }
    // "*.DCT" in any case: the folder may come from a system that ignores case.
    const QFileInfoList files = QDir(source).entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &fi : files) {
        if (fi.suffix().compare(u"DCT", Qt::CaseInsensitive) != 0)
            continue;
        const QString copy = target + u'/' + fi.fileName();
        if (!QFileInfo::exists(copy) && !QFile::copy(fi.absoluteFilePath(), copy)) {
            QMutexLocker lock(&d->Lock);
            d->LastError = QStringLiteral("cannot copy %1 to %2").arg(fi.absoluteFilePath(), target);
            continue;
        }
        if (GetDCTIndexByFileName(fi.fileName()) == -1)
            AddDictionary(copy);
    }
}

bool TWPSpellController::IsCorrect(const QString &AWord, int ALcid)
{
    QMutexLocker lock(&d->Lock);
    Dictionary *dict = d->dictionary(ALcid ? ALcid : d->Language);
    return !dict || d->spell(*dict, AWord);
}

QStringList TWPSpellController::Suggest(const QString &AWord, int ALcid)
{
    QMutexLocker lock(&d->Lock);
    Dictionary *dict = d->dictionary(ALcid ? ALcid : d->Language);
    if (!dict || AWord.isEmpty())
        return {};
    QStringList hunspell;
    for (const std::string &s : dict->Speller->suggest(d->encode(*dict, AWord)))
        hunspell << d->decode(*dict, s);

    // One key hit beside the intended one is the commonest slip: such words
    // go first, those Hunspell proposed in its order, then ones it missed.
    QStringList neighbours;
    if (AWord.size() <= kMaxWordLength) {
        for (int i = 0; i < AWord.size(); ++i) {
            const QChar c = AWord.at(i);
            const QString keys = d->Neighbours.value(c.toLower());
            for (QChar k : keys) {
                QString candidate = AWord;
                candidate[i] = c.isUpper() ? k.toUpper() : k;
                if (!neighbours.contains(candidate) && d->spell(*dict, candidate))
                    neighbours << candidate;
            }
        }
    }
    QStringList result;
    for (const QString &s : hunspell)
        if (neighbours.contains(s))
            result << s;
    for (const QString &s : neighbours)
        if (!result.contains(s))
            result << s;
    for (const QString &s : hunspell)
        if (!result.contains(s))
            result << s;
    return result;
}

QList<TWPSpellError> TWPSpellController::CheckText(const QString &AText, int ALcid)
{
    QMutexLocker lock(&d->Lock);
    QList<TWPSpellError> errors;
    Dictionary *dict = d->dictionary(ALcid ? ALcid : d->Language);
    if (!dict)
        return errors;
    const TWPSpellOptions &o = d->Options;
    const int n = int(AText.size());
    int chunkStart = 0;
    while (chunkStart < n) {
        while (chunkStart < n && AText.at(chunkStart).isSpace())
            ++chunkStart;
        int chunkEnd = chunkStart;
        while (chunkEnd < n && !AText.at(chunkEnd).isSpace())
            ++chunkEnd;
        const QStringView chunk = QStringView(AText).mid(chunkStart, chunkEnd - chunkStart);
        if (!o.IgnoreInternet || !looksLikeInternet(chunk)) {
            int i = chunkStart;
            while (i < chunkEnd) {
                if (!isWordChar(AText.at(i))) {
                    ++i;
                    continue;
                }
                const int start = i;
                while (i < chunkEnd
                       && (isWordChar(AText.at(i))
                           || (isJoiner(AText.at(i)) && i + 1 < chunkEnd && isWordChar(AText.at(i + 1)))))
                    ++i;
                const QStringView w = QStringView(AText).mid(start, i - start);
                if ((o.IgnoreWithNumbers && hasDigit(w)) || (o.IgnoreUpperCase && allUpper(w)))
                    continue;
                const QString word = w.toString();
                if (d->spell(*dict, word))
                    continue;
                // "usw." and "etc." are in the dictionaries with their dot.
                if (i < chunkEnd && AText.at(i) == u'.' && d->spell(*dict, word + u'.'))
                    continue;
                errors.append(TWPSpellError{start, i - start, word});
            }
        }
        chunkStart = chunkEnd;
    }
    return errors;
}

bool TWPSpellController::AddWord(const QString &AWord, int ALcid)
{
    const QString word = AWord.trimmed();
    if (word.isEmpty() || word.contains(u'/'))
        return false;
    bool written = true;
    {
        QMutexLocker lock(&d->Lock);
        const int lcid = ALcid ? ALcid : d->Language;
        if (Dictionary *dict = d->dictionary(lcid)) {
            dict->Speller->add(d->encode(*dict, word));
            dict->Cache.remove(word);
        }
        const QString file = d->personalFile(lcid);
        QByteArray data;
        QFile old(file);
        if (old.open(QIODevice::ReadOnly))
            data = old.readAll();
        else
            data = "#language " + LanguageCode(lcid).toUtf8() + '\n';
        if (!data.isEmpty() && !data.endsWith('\n'))
            data += '\n';
        data += word.toUtf8() + '\n';
        QSaveFile out(file);
        if (!QDir().mkpath(QFileInfo(file).absolutePath()) || !out.open(QIODevice::WriteOnly)
            || out.write(data) != data.size() || !out.commit()) {
            d->LastError = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
            written = false;
        }
    }
    Q_EMIT Changed();
    return written;
}

void TWPSpellController::IgnoreAll(const QString &AWord)
{
    {
        QMutexLocker lock(&d->Lock);
        d->Ignored.insert(AWord);
    }
    Q_EMIT Changed();
}

void TWPSpellController::ClearIgnored()
{
    {
        QMutexLocker lock(&d->Lock);
        d->Ignored.clear();
    }
    Q_EMIT Changed();
}

QString TWPSpellController::PersonalDictionaryFileName(int ALcid) const
{
    QMutexLocker lock(&d->Lock);
    return d->personalFile(ALcid ? ALcid : d->Language);
}

bool TWPSpellController::HasThesaurus(int ALcid)
{
    QMutexLocker lock(&d->Lock);
    const int lcid = ALcid ? ALcid : d->Language;
    Dictionary *dict = d->dictionary(lcid);
    if (!dict)
        return false;
    if (!dict->ThesaurusTried) {
        dict->ThesaurusTried = true;
        const QString base = d->ThesaurusDir + QStringLiteral("/th_") + LanguageCode(lcid) + QStringLiteral("_v2");
        if (QFileInfo::exists(base + QStringLiteral(".idx")) && QFileInfo::exists(base + QStringLiteral(".dat"))) {
            dict->Thesaurus = std::make_unique<MyThes>(QFile::encodeName(base + QStringLiteral(".idx")).constData(),
                                                       QFile::encodeName(base + QStringLiteral(".dat")).constData());
            const char *enc = dict->Thesaurus->get_th_encoding();
            dict->ThesaurusCharset = charsetName(enc ? enc : "UTF-8");
        } else {
            d->LastError = QStringLiteral("no thesaurus for language %1 in %2").arg(lcid).arg(d->ThesaurusDir);
        }
    }
    return dict->Thesaurus != nullptr;
}

QList<TWPThesaurusMeaning> TWPSpellController::Thesaurus(const QString &AWord, int ALcid)
{
    QList<TWPThesaurusMeaning> meanings;
    if (!HasThesaurus(ALcid) || AWord.isEmpty())
        return meanings;
    QMutexLocker lock(&d->Lock);
    Dictionary &dict = *d->dictionary(ALcid ? ALcid : d->Language);
    const bool utf8 = dict.ThesaurusCharset.compare(u"UTF-8", Qt::CaseInsensitive) == 0;
    const auto enc = [&](const QString &s) { return utf8 ? s.toUtf8() : EncodeCharset(s, dict.ThesaurusCharset); };
    const auto dec = [&](const char *s) {
        return utf8 ? QString::fromUtf8(s) : DecodeCharset(QByteArray(s), dict.ThesaurusCharset);
    };
    // The English index is lower case, the German one keeps nouns capitalised.
    for (const QString &form : {AWord, AWord.toLower()}) {
        const QByteArray key = enc(form);
        if (key.size() >= MAX_WD_LEN)
            break;
        mentry *entries = nullptr;
        const int count = dict.Thesaurus->Lookup(key.constData(), int(key.size()), &entries);
        for (int i = 0; i < count; ++i) {
            TWPThesaurusMeaning m;
            m.Definition = entries[i].defn ? dec(entries[i].defn) : QString();
            for (int s = 0; s < entries[i].count; ++s)
                m.Synonyms << dec(entries[i].psyns[s]);
            meanings << m;
        }
        if (entries)
            dict.Thesaurus->CleanUpAfterLookup(&entries, count);
        if (count > 0)
            break;
    }
    return meanings;
}

QString TWPSpellController::LastError() const
{
    QMutexLocker lock(&d->Lock);
    return d->LastError;
}

} // namespace zor
