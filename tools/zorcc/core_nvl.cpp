// zorcc nvl: named variant list streams to and from JSON.
//   [{"name": <string>, "tag": <int32>, "value": <variant object>}, ...]
#include "Command.h"

#include <ZorCompCore/core/NamedVariantList.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <nlohmann/json.hpp>

#include <limits>

using json = nlohmann::ordered_json;
using namespace zor;

// The variant JSON form, shared with "zorcc variant" (core_variant.cpp).
namespace zorcc::variantjson {
json toJson(const Variant &value);
Variant fromJson(const json &j, int depth);
json parseJson(const QByteArray &text);
QString readErrorText(const EReadError &e, TStream &stream);
} // namespace zorcc::variantjson

namespace {

using namespace zorcc::variantjson;

int decode(const QString &path, zorcc::Io &io)
{
    TBytesStream stream(zorcc::readFileArg(path));
    TNamedVariantList list;
    try {
        list.LoadFromStream(stream);
    } catch (const EReadError &e) {
        throw zorcc::InputError{readErrorText(e, stream)};
    }
    // The list's reader stops where its count says; whatever follows means
    // the file is not such a list (or not only one).
    const qint64 rest = stream.Size() - stream.Position();
    if (rest > 0)
        throw zorcc::InputError{QStringLiteral("%1 bytes after the list of %2 items, from byte offset %3")
                                    .arg(rest)
                                    .arg(list.Count())
                                    .arg(stream.Position())};
    json out = json::array();
    for (int i = 0; i < list.Count(); ++i) {
        out.push_back({{"name", list.GetName(i).toStdString()},
                       {"tag", list.GetTag(i)},
                       {"value", toJson(list.GetItem(i))}});
    }
    io.out << QString::fromStdString(out.dump(2)) << '\n';
    return 0;
}

int encode(const QString &jsonPath, const QString &outPath)
{
    const json items = parseJson(zorcc::readFileArg(jsonPath));
    if (!items.is_array())
        throw zorcc::InputError{QStringLiteral("expected a JSON list of {\"name\", \"tag\", \"value\"} objects")};
    TNamedVariantList list;
    for (const json &item : items) {
        const int index = list.Count();
        if (!item.is_object() || !item.contains("value"))
            throw zorcc::InputError{QStringLiteral("item %1: expected an object with a \"value\"").arg(index)};
        QString name;
        if (item.contains("name")) {
            if (!item["name"].is_string())
                throw zorcc::InputError{QStringLiteral("item %1: \"name\" must be a string").arg(index)};
            name = QString::fromStdString(item["name"].get<std::string>());
        }
        qint32 tag = 0;
        if (item.contains("tag")) {
            const json &t = item["tag"];
            if (!t.is_number_integer() || t.get<qint64>() < std::numeric_limits<qint32>::min()
                || t.get<qint64>() > std::numeric_limits<qint32>::max())
                throw zorcc::InputError{QStringLiteral("item %1: \"tag\" must be a 32-bit integer").arg(index)};
            tag = qint32(t.get<qint64>());
        }
        list.Add(fromJson(item["value"], 0), name);
        list.SetTag(index, tag);
    }
    TMemoryStream stream;
    list.SaveToStream(stream);
    zorcc::writeFileArg(outPath, stream.ToBytes());
    return 0;
}

int runNvl(const QStringList &args, zorcc::Io &io)
{
    if (args.size() == 2 && args[0] == u"decode")
        return decode(args[1], io);
    if (args.size() == 3 && args[0] == u"encode")
        return encode(args[1], args[2]);
    throw zorcc::UsageError{QStringLiteral("expects decode <file> or encode <json file> <out file>")};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("nvl"), QStringLiteral("read and write named variant list streams"),
               QStringLiteral(
                   "usage: zorcc nvl decode <file>\n"
                   "       zorcc nvl encode <json file> <out file>\n\n"
                   "decode prints a named variant list stream as a JSON list of\n"
                   "{\"name\", \"tag\", \"value\"} objects, the value in the form of 'zorcc variant'\n"
                   "(see zorcc variant --help); bytes after the list are an error (exit 1).\n"
                   "encode writes such a list as a stream file."),
               runNvl});
