// zorcc html: the HTML text utilities and BinHTML (a page packed with its
// images) from the command line.
//   encode [--entities] | decode | from-text [--crlf] | to-text | to-simple |
//   from-simple | body | charset [--json] | own-charset   [FILE]
//   pack IN.html --images DIR [--file NAME]... -o OUT
//   unpack IN [--to DIR] [--embed] [-o OUT] [--json]
// Text comes from FILE or stdin as UTF-8; results go to stdout as they are.
#include "html_web.h"

#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/web/HtmlEncodeDecode.h>
#include <ZorCompCore/web/ZORHTMLViewerHelper.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QtEndian>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

using json = nlohmann::ordered_json;
using namespace zor;

namespace {

const QString kImagePath = QStringLiteral("%IMAGEPATH%");

struct Args
{
    QStringList positional;
    QSet<QString> flags;
    QMap<QString, QStringList> values; // options with a value, in order given
};

// Flags and options a verb knows; anything else starting with '-' is wrong usage.
Args parseArgs(const QStringList &args, const QSet<QString> &flags, const QSet<QString> &valued)
{
    Args a;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (valued.contains(arg)) {
            if (i + 1 >= args.size())
                throw zorcc::UsageError{QStringLiteral("%1 needs a value").arg(arg)};
            a.values[arg] << args[++i];
        } else if (flags.contains(arg)) {
            a.flags.insert(arg);
        } else if (arg.startsWith(u'-') && arg != u"-") {
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(arg)};
        } else {
            a.positional << arg;
        }
    }
    return a;
}

QString inputName(const QString &path)
{
    return path.isEmpty() || path == u"-" ? QStringLiteral("stdin") : path;
}

QByteArray readBytes(const QString &path)
{
    if (path.isEmpty() || path == u"-") {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            throw zorcc::InputError{QStringLiteral("cannot read stdin")};
        return in.readAll();
    }
    return zorcc::readFileArg(path);
}

QString readText(const QString &path)
{
    const QByteArray bytes = readBytes(path);
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        throw zorcc::InputError{QStringLiteral("%1 is not valid UTF-8").arg(inputName(path))};
    return text;
}

void writeRaw(zorcc::Io &io, const QByteArray &bytes)
{
    io.out.flush();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// The text verbs: one input, one result.
using TextVerb = std::function<QString(const QString &, const Args &)>;

const std::map<QString, std::pair<QSet<QString>, TextVerb>> &textVerbs()
{
    static const std::map<QString, std::pair<QSet<QString>, TextVerb>> verbs{
        {QStringLiteral("encode"),
         {{QStringLiteral("--entities")},
          [](const QString &s, const Args &a) { return THTMLUtils::HtmlEncode(s, a.flags.contains(u"--entities"_qs)); }}},
        {QStringLiteral("decode"), {{}, [](const QString &s, const Args &) { return THTMLUtils::HtmlDecode(s); }}},
        {QStringLiteral("from-text"),
         {{QStringLiteral("--crlf")},
          [](const QString &s, const Args &a) {
              return THTMLUtils::ConvertTextToHTML(s, a.flags.contains(u"--crlf"_qs));
          }}},
        {QStringLiteral("to-text"), {{}, [](const QString &s, const Args &) { return THTMLUtils::ConvertHTMLToText(s); }}},
        {QStringLiteral("to-simple"),
         {{}, [](const QString &s, const Args &) { return THTMLUtils::ConvertHTMLToSimpleHTML(s); }}},
        {QStringLiteral("from-simple"),
         {{}, [](const QString &s, const Args &) { return THTMLUtils::ConvertSimpleHTMLToHTML(s); }}},
        {QStringLiteral("body"),
         {{}, [](const QString &s, const Args &) { return THTMLUtils::ExtractBodyPartFromHTML(s); }}},
    };
    return verbs;
}

QString oneInput(const Args &a)
{
    if (a.positional.size() > 1)
        throw zorcc::UsageError{QStringLiteral("expects one FILE")};
    return a.positional.value(0);
}

int runCharset(const QStringList &args, zorcc::Io &io)
{
    const Args a = parseArgs(args, {QStringLiteral("--json")}, {});
    const QString html = readText(oneInput(a));
    const QString charset = THTMLUtils::GetHTMLCharSet(html, QString());
    if (a.flags.contains(u"--json"_qs)) {
        json j;
        j["charset"] = charset.toStdString();
        j["declared"] = !charset.isEmpty();
        io.out << QString::fromStdString(j.dump(2)) << '\n';
    } else if (!charset.isEmpty()) {
        io.out << charset << '\n';
    }
    return 0;
}

// Names of the images a page refers to as %IMAGEPATH%name, first use first.
QStringList referencedImages(const QString &html)
{
    QStringList names;
    for (qsizetype at = html.indexOf(kImagePath); at >= 0; at = html.indexOf(kImagePath, at + 1)) {
        qsizetype end = at + kImagePath.size();
        while (end < html.size() && !QStringView(u"\"'()<> \t\r\n").contains(html[end]))
            ++end;
        const QString name = html.mid(at + kImagePath.size(), end - at - kImagePath.size());
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    return names;
}

int runPack(const QStringList &args, zorcc::Io &io)
{
    const Args a = parseArgs(args, {}, {QStringLiteral("--images"), QStringLiteral("--file"), QStringLiteral("-o")});
    if (a.positional.size() != 1)
        throw zorcc::UsageError{QStringLiteral("pack expects one IN.html")};
    if (a.values.value(u"--images"_qs).size() != 1)
        throw zorcc::UsageError{QStringLiteral("pack needs one --images DIR")};
    if (a.values.value(u"-o"_qs).size() != 1)
        throw zorcc::UsageError{QStringLiteral("pack needs one -o OUT")};
    const QString html = readText(a.positional.front());
    const QString images = a.values.value(u"--images"_qs).front();
    const QString out = a.values.value(u"-o"_qs).front();
    const QStringList names = a.values.contains(u"--file"_qs) ? a.values.value(u"--file"_qs) : referencedImages(html);

    TStringList files(names);
    TMemoryStream block;
    TZORHTMLViewerHelper::WriteToBinaryStream(block, html, images, &files);
    const QByteArray bytes = block.ToBytes();
    zorcc::writeFileArg(out, bytes);
    io.out << out << ": " << bytes.size() << " bytes, the page and " << names.size()
           << (names.size() == 1 ? " image" : " images") << (names.isEmpty() ? "" : " (")
           << names.join(QStringLiteral(", ")) << (names.isEmpty() ? "" : ")") << '\n';
    return 0;
}

int runUnpack(const QStringList &args, zorcc::Io &io)
{
    const Args a = parseArgs(args, {QStringLiteral("--embed"), QStringLiteral("--json")},
                             {QStringLiteral("--to"), QStringLiteral("-o")});
    if (a.positional.size() != 1)
        throw zorcc::UsageError{QStringLiteral("unpack expects one IN")};
    if (a.values.value(u"--to"_qs).size() > 1 || a.values.value(u"-o"_qs).size() > 1)
        throw zorcc::UsageError{QStringLiteral("--to and -o may be given once each")};
    const QString in = a.positional.front();
    const QString folder = a.values.value(u"--to"_qs).value(0);
    const QString out = a.values.value(u"-o"_qs).value(0);
    const QByteArray bytes = readBytes(in);
    // The library reads any bytes as far as they go; the tool says when they
    // are plainly something else.
    if (!bytes.isEmpty()) {
        qint32 version = 0;
        if (bytes.size() >= 4)
            std::memcpy(&version, bytes.constData(), 4);
        if (bytes.size() < 8 || qFromLittleEndian(version) != 1)
            throw zorcc::InputError{QStringLiteral("%1 is no BinHTML block (it does not start with version 1)")
                                        .arg(inputName(in))};
    }
    if (!folder.isEmpty() && !QDir().mkpath(folder))
        throw zorcc::InputError{QStringLiteral("cannot create the folder %1").arg(folder)};

    TStringList names;
    const QString html = TZORHTMLViewerHelper::ConvertBinHTMLToHTML(bytes, folder, &names, a.flags.contains(u"--embed"_qs));
    if (!out.isEmpty())
        zorcc::writeFileArg(out, html.toUtf8());
    if (a.flags.contains(u"--json"_qs)) {
        json j;
        json files = json::array();
        for (int i = 0; i < names.Count(); ++i)
            files.push_back(names.Get(i).toStdString());
        j["files"] = files;
        if (!folder.isEmpty())
            j["folder"] = folder.toStdString();
        if (out.isEmpty())
            j["html"] = html.toStdString();
        else
            j["output"] = out.toStdString();
        io.out << QString::fromStdString(j.dump(2)) << '\n';
    } else if (out.isEmpty()) {
        io.out << html;
    }
    return 0;
}

} // namespace

namespace zorcc {

int runHtmlWebVerb(const QStringList &args, Io &io)
{
    const QString verb = args.value(0);
    const QStringList rest = args.mid(1);
    if (const auto it = textVerbs().find(verb); it != textVerbs().end()) {
        const Args a = parseArgs(rest, it->second.first, {});
        io.out << it->second.second(readText(oneInput(a)), a);
        return 0;
    }
    if (verb == u"charset")
        return runCharset(rest, io);
    if (verb == u"own-charset") {
        const Args a = parseArgs(rest, {}, {});
        writeRaw(io, THTMLUtils::EncodeHTMLByOwnCharset(readText(oneInput(a))));
        return 0;
    }
    if (verb == u"pack")
        return runPack(rest, io);
    if (verb == u"unpack")
        return runUnpack(rest, io);
    return -1;
}

QString htmlWebUsage()
{
    return QStringLiteral(
        "\n\nText utilities (FILE as UTF-8, stdin when left out or \"-\"; the result\n"
        "goes to stdout as it is):\n"
        "  encode [--entities] [FILE]   references for blanks in runs and the\n"
        "                               characters of the fixed tables; names with\n"
        "                               --entities (&auml;), else numbers (&#228;)\n"
        "  decode [FILE]                the fixed tables' references back to text\n"
        "  from-text [--crlf] [FILE]    paragraphs from plain lines (--crlf: a line\n"
        "                               break after each </p>)\n"
        "  to-text [FILE]               what a reader sees of a page\n"
        "  to-simple | from-simple      <br/> and &nbsp; to line breaks and blanks,\n"
        "                               and back\n"
        "  body [FILE]                  the part between <body ...> and </body>\n"
        "  charset [--json] [FILE]      the charset the page's meta content names\n"
        "  own-charset [FILE]           the page as bytes in that charset\n\n"
        "BinHTML, a page packed with its images:\n"
        "  pack IN.html --images DIR [--file NAME]... -o OUT\n"
        "      packs the page with the files NAME in DIR, by default every\n"
        "      %IMAGEPATH%name the page refers to\n"
        "  unpack IN [--to DIR] [--embed] [-o OUT] [--json]\n"
        "      writes the images into DIR; --embed turns each image's first\n"
        "      src=\"%IMAGEPATH%name\" into a data: URI; the page goes to OUT or\n"
        "      stdout; --json lists the files (and the page when no -o)");
}

} // namespace zorcc
