// zorcc cache: look into and fill the translator's ".lc" pair files.
#include "Command.h"

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/localisation/TranslatorCache.h>

#include <QFileInfo>

#include <nlohmann/json.hpp>

#include <algorithm>

using namespace zor;

namespace {

// Tabs, line breaks and backslashes escaped so that one entry stays one line.
QString escaped(const QString &s)
{
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '\t': out += QLatin1String("\\t"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        default: out += c;
        }
    }
    return out;
}

QString unescaped(const QString &s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const QChar n = s[++i];
        out += n == u't' ? QChar(u'\t') : n == u'n' ? QChar(u'\n') : n == u'r' ? QChar(u'\r') : n;
    }
    return out;
}

QList<QPair<QString, QString>> sortedEntries(TZORLocalCacheLangData &pair)
{
    QList<QPair<QString, QString>> out;
    pair.Sync().BeginRead();
    for (const QString &k : pair.Keys()) {
        QString v;
        pair.TryGetValue(k, v);
        out.append({k, v});
    }
    pair.Sync().EndRead();
    std::sort(out.begin(), out.end());
    return out;
}

int dump(const QStringList &args, zorcc::Io &io)
{
    const bool asJson = args.contains(u"--json"_qs);
    QStringList files = args;
    files.removeAll(u"--json"_qs);
    if (files.size() != 1)
        throw zorcc::UsageError{QStringLiteral("dump takes one .lc file")};
    TZORLocalCacheLangData pair;
    if (!QFileInfo(files[0]).isFile())
        throw zorcc::InputError{QStringLiteral("cannot read %1: no such file").arg(files[0])};
    // Only a file read whole is shown: a truncated or foreign file would
    // otherwise list entries made up from its bytes.
    QString error;
    if (!pair.LoadFromFileChecked(files[0], &error))
        throw zorcc::InputError{QStringLiteral("%1 is not a cache file: %2").arg(files[0], error)};
    const auto entries = sortedEntries(pair);
    if (asJson) {
        nlohmann::ordered_json j = nlohmann::ordered_json::array();
        for (const auto &[k, v] : entries)
            j.push_back({{"key", k.toStdString()}, {"value", v.toStdString()}});
        io.out << QString::fromStdString(j.dump(2)) << '\n';
    } else {
        for (const auto &[k, v] : entries)
            io.out << escaped(k) << '\t' << escaped(v) << '\n';
    }
    return 0;
}

int key(const QStringList &args, zorcc::Io &io)
{
    if (args.size() != 2)
        throw zorcc::UsageError{QStringLiteral("key takes a text ID and a text")};
    io.out << TZORLocalCacheLangData::GetTranslateTextKeyName(args[0], args[1]) << '\n';
    return 0;
}

int import(const QStringList &args, zorcc::Io &io)
{
    if (args.size() != 2)
        throw zorcc::UsageError{QStringLiteral("import takes a .tsv file and a .lc file")};
    const QString text = QString::fromUtf8(zorcc::readFileArg(args[0]));
    TZORLocalCacheLangData pair;
    if (QFileInfo(args[1]).isFile())
        pair.LoadFromFile(args[1]);
    const int before = pair.Count();
    int imported = 0, lineNo = 0;
    pair.Sync().BeginWrite();
    try {
        for (QString line : text.split(u'\n')) {
            ++lineNo;
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (line.isEmpty() || line.startsWith(u'#'))
                continue;
            const QStringList cols = line.split(u'\t');
            if (cols.size() == 2) // key, value (as "cache dump" writes them)
                pair.AddOrSetValue(unescaped(cols[0]), unescaped(cols[1]));
            else if (cols.size() == 3) // text ID, text, translation
                pair.AddOrSetValue(TZORLocalCacheLangData::GetTranslateTextKeyName(unescaped(cols[0]), unescaped(cols[1])),
                                   unescaped(cols[2]));
            else
                throw zorcc::InputError{QStringLiteral("%1:%2: expected key<TAB>value or text ID<TAB>text<TAB>translation")
                                            .arg(args[0])
                                            .arg(lineNo)};
            ++imported;
        }
    } catch (...) {
        pair.Sync().EndWrite();
        throw;
    }
    pair.Sync().EndWrite();
    pair.SaveToFile(args[1]);
    io.out << "imported " << imported << " entr" << (imported == 1 ? "y" : "ies") << " into " << args[1] << " ("
           << pair.Count() - before << " new, " << pair.Count() << " in all)\n";
    return 0;
}

int runCache(const QStringList &args, zorcc::Io &io)
{
    if (args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("missing verb")};
    const QString verb = args[0];
    const QStringList rest = args.mid(1);
    if (verb == u"dump")
        return dump(rest, io);
    if (verb == u"key")
        return key(rest, io);
    if (verb == u"import")
        return import(rest, io);
    throw zorcc::UsageError{QStringLiteral("unknown verb '%1'").arg(verb)};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("cache"), QStringLiteral("dump, key and import of translation cache files (.lc)"),
               QStringLiteral("usage: zorcc cache dump [--json] <file.lc>\n"
                              "       zorcc cache key <text id> <text>\n"
                              "       zorcc cache import <file.tsv> <file.lc>\n\n"
                              "dump prints the entries of a language-pair cache file sorted by key, as key<TAB>value\n"
                              "lines (tab, line breaks and backslash escaped as \\t \\n \\r \\\\) or as JSON; a file that is\n"
                              "not one whole pair block (cut short, bytes after the last entry) is an error.\n"
                              "key prints the cache key of a text: the text ID followed by the MurmurHash2 of the\n"
                              "text's Windows-1252 bytes.\n"
                              "import merges lines of key<TAB>value (as dump prints them) or text ID<TAB>text<TAB>\n"
                              "translation into the file, creating it when missing; the imported values win."),
               runCache});
