// zorcc variant: variants in the library's binary encoding, to and from JSON.
//   {"vt": <type code>, "value": <v>}   ("value" absent for empty and null)
//   {"vt": 8192 + <element type>, "items": [<variant>, ...]}
#include "Command.h"

#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

using json = nlohmann::ordered_json;
using namespace zor;

namespace zorcc::variantjson {

namespace {

[[noreturn]] void bad(const QString &message)
{
    throw InputError{message};
}

template <class T>
T integerValue(const json &value, TVarType vt)
{
    if (!value.is_number_integer())
        bad(QStringLiteral("type %1 needs an integer value").arg(vt));
    if (value.is_number_unsigned()) {
        const auto u = value.get<quint64>();
        if (u > quint64(std::numeric_limits<T>::max()))
            bad(QStringLiteral("value %1 is out of range for type %2").arg(u).arg(vt));
        return T(u);
    }
    const auto i = value.get<qint64>();
    if constexpr (std::is_unsigned_v<T>) {
        if (i < 0 || quint64(i) > quint64(std::numeric_limits<T>::max()))
            bad(QStringLiteral("value %1 is out of range for type %2").arg(i).arg(vt));
    } else {
        if (i < qint64(std::numeric_limits<T>::min()) || i > qint64(std::numeric_limits<T>::max()))
            bad(QStringLiteral("value %1 is out of range for type %2").arg(i).arg(vt));
    }
    return T(i);
}

double numberValue(const json &value, TVarType vt)
{
    // JSON has no NaN or infinities: they are written as these strings.
    if (value.is_string()) {
        const std::string s = value.get<std::string>();
        if (s == "NaN")
            return std::numeric_limits<double>::quiet_NaN();
        if (s == "Infinity")
            return std::numeric_limits<double>::infinity();
        if (s == "-Infinity")
            return -std::numeric_limits<double>::infinity();
    }
    if (!value.is_number())
        bad(QStringLiteral("type %1 needs a number value (or \"NaN\", \"Infinity\", \"-Infinity\")").arg(vt));
    return value.get<double>();
}

json floatJson(double d)
{
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    return d;
}

QString stringValue(const json &value, TVarType vt)
{
    if (!value.is_string())
        bad(QStringLiteral("type %1 needs a string value").arg(vt));
    return QString::fromStdString(value.get<std::string>());
}

} // namespace

json toJson(const Variant &value)
{
    const Variant &v = value.Deref();
    const TVarType vt = v.Type();
    json out = json::object();
    if (v.IsArray()) {
        out["vt"] = int(varArray | v.ArrayElementType());
        json items = json::array();
        for (int i = v.ArrayLowBound(); i <= v.ArrayHighBound(); ++i)
            items.push_back(toJson(v.ArrayGet(i)));
        out["items"] = std::move(items);
        return out;
    }
    out["vt"] = int(vt);
    switch (vt) {
    case varEmpty: case varNull: break;
    case varSmallint: out["value"] = qint16(v.RawInt()); break;
    case varInteger: case varError: out["value"] = qint32(v.RawInt()); break;
    case varShortInt: out["value"] = qint8(v.RawInt()); break;
    case varByte: out["value"] = quint8(v.RawInt()); break;
    case varWord: out["value"] = quint16(v.RawInt()); break;
    case varLongWord: out["value"] = quint32(v.RawInt()); break;
    case varInt64: out["value"] = qint64(v.RawInt()); break;
    case varUInt64: out["value"] = quint64(v.RawInt()); break;
    case varSingle: out["value"] = floatJson(double(v.RawSingle())); break;
    case varDouble: case varDate: out["value"] = floatJson(v.RawDouble()); break;
    case varCurrency: out["value"] = VarToCurrency(v).ToFixedString().toStdString(); break;
    case varBoolean: out["value"] = VarToBool(v); break;
    case varOleStr: case varString: case varUString: out["value"] = VarToStr(v).toStdString(); break;
    default: bad(QStringLiteral("variant type %1 has no JSON form").arg(vt));
    }
    return out;
}

Variant fromJson(const json &j, int depth)
{
    if (depth > TStreamHelper::MaxVariantNesting)
        bad(QStringLiteral("arrays nested too deep"));
    if (!j.is_object() || !j.contains("vt") || !j["vt"].is_number_integer())
        bad(QStringLiteral("a variant is an object with an integer \"vt\""));
    const auto code = j["vt"].get<qint64>();
    if (code < 0 || code > 0xFFFF)
        bad(QStringLiteral("\"vt\" %1 is not a type code").arg(code));
    const TVarType vt = TVarType(code);

    if (vt & varArray) {
        const TVarType elem = vt & varTypeMask;
        if (vt != (varArray | elem))
            bad(QStringLiteral("\"vt\" %1 is not a type code").arg(code));
        if (!j.contains("items") || !j["items"].is_array())
            bad(QStringLiteral("an array variant needs \"items\""));
        const json &items = j["items"];
        Variant array = VarArrayCreate(0, int(items.size()) - 1, elem);
        for (size_t i = 0; i < items.size(); ++i)
            array.ArrayPut(int(i), fromJson(items[i], depth + 1));
        return array;
    }
    if (vt == varEmpty)
        return Variant();
    if (vt == varNull)
        return Variant::Null();
    if (!j.contains("value"))
        bad(QStringLiteral("type %1 needs a \"value\"").arg(vt));
    const json &value = j["value"];
    switch (vt) {
    case varSmallint: return Variant::FromSmallint(integerValue<qint16>(value, vt));
    case varInteger: return Variant(int(integerValue<qint32>(value, vt)));
    case varError: return Variant::FromError(integerValue<qint32>(value, vt));
    case varShortInt: return Variant::FromShortInt(integerValue<qint8>(value, vt));
    case varByte: return Variant::FromByte(integerValue<quint8>(value, vt));
    case varWord: return Variant::FromWord(integerValue<quint16>(value, vt));
    case varLongWord: return Variant::FromLongWord(integerValue<quint32>(value, vt));
    case varInt64: return Variant(integerValue<qint64>(value, vt));
    case varUInt64: return Variant::FromUInt64(integerValue<quint64>(value, vt));
    case varSingle: return Variant::FromSingle(float(numberValue(value, vt)));
    case varDouble: return Variant(numberValue(value, vt));
    case varDate: return Variant::FromDateTime(numberValue(value, vt));
    case varCurrency: {
        Currency c;
        if (value.is_string() ? !Currency::TryParse(stringValue(value, vt), c) : !value.is_number())
            bad(QStringLiteral("type 6 needs a decimal string value"));
        return value.is_string() ? Variant(c) : Variant(Currency::FromDouble(value.get<double>()));
    }
    case varBoolean:
        if (!value.is_boolean())
            bad(QStringLiteral("type 11 needs true or false"));
        return Variant(value.get<bool>());
    case varOleStr: return Variant::FromOleStr(stringValue(value, vt));
    case varString: return Variant::FromAnsi(ToAnsi(stringValue(value, vt)));
    case varUString: return Variant(stringValue(value, vt));
    default: bad(QStringLiteral("variant type %1 is not supported").arg(vt));
    }
}

json parseJson(const QByteArray &text)
{
    try {
        return json::parse(text.constData(), text.constData() + text.size());
    } catch (const json::parse_error &e) {
        bad(QStringLiteral("invalid JSON: %1").arg(QString::fromUtf8(e.what())));
    }
}

QString readErrorText(const EReadError &e, TStream &stream)
{
    // The reader leaves the stream at its end when the data ran out.
    if (stream.Position() >= stream.Size())
        return QStringLiteral("%1 The data end at byte offset %2.").arg(e.Message()).arg(stream.Size());
    return e.Message();
}

} // namespace zorcc::variantjson

namespace {

using namespace zorcc::variantjson;

// Hex digits with optional spaces; names the first character that is not one.
QByteArray hexArg(const QString &arg)
{
    QByteArray hex;
    for (qsizetype i = 0; i < arg.size(); ++i) {
        const QChar c = arg[i];
        if (c == u' ')
            continue;
        if (c.unicode() > 0x7F || !std::isxdigit(int(c.unicode())))
            throw zorcc::InputError{
                QStringLiteral("the character '%1' at offset %2 is not hexadecimal").arg(c).arg(i)};
        hex += char(c.unicode());
    }
    if (hex.size() % 2 != 0)
        throw zorcc::InputError{QStringLiteral("an odd number of hexadecimal digits (%1): each byte takes two")
                                    .arg(hex.size())};
    return QByteArray::fromHex(hex);
}

int runVariant(const QStringList &args, zorcc::Io &io)
{
    if (args.size() != 2 || (args[0] != u"decode" && args[0] != u"encode"))
        throw zorcc::UsageError{QStringLiteral("expects decode <hex> or encode '<json>'")};
    if (args[0] == u"decode") {
        const QByteArray bytes = hexArg(args[1]);
        TBytesStream stream(bytes);
        Variant v;
        try {
            v = TStreamHelper(&stream).ReadVariant();
        } catch (const EReadError &e) {
            throw zorcc::InputError{readErrorText(e, stream)};
        }
        const qint64 rest = stream.Size() - stream.Position();
        if (rest > 0)
            throw zorcc::InputError{QStringLiteral("%1 bytes after the variant, from byte offset %2")
                                        .arg(rest)
                                        .arg(stream.Position())};
        io.out << QString::fromStdString(toJson(v).dump()) << '\n';
        return 0;
    }
    const Variant v = fromJson(parseJson(args[1].toUtf8()), 0);
    TMemoryStream stream;
    TStreamHelper(&stream).WriteVariant(v);
    io.out << QString::fromLatin1(stream.ToBytes().toHex()) << '\n';
    return 0;
}

} // namespace

ZORCC_COMMAND({QStringLiteral("variant"), QStringLiteral("encode and decode variants in the binary encoding"),
               QStringLiteral(
                   "usage: zorcc variant decode <hex>\n"
                   "       zorcc variant encode '<json>'\n\n"
                   "decode prints the variant held by the bytes as JSON; encode prints the bytes of a\n"
                   "JSON variant as lower-case hex. The JSON form is {\"vt\": <type code>, \"value\": <v>}:\n"
                   "integers and error codes as integers, floats and date-times (7, days since\n"
                   "1899-12-30) as numbers (NaN and infinities as the strings \"NaN\", \"Infinity\",\n"
                   "\"-Infinity\"), currency (6) as a decimal string with four decimals,\n"
                   "Booleans (11) as true/false, strings (8, 256, 258) as strings; empty (0) and\n"
                   "null (1) have no value. An array is {\"vt\": 8192 + <element type>, \"items\": [...]}\n"
                   "with each item a full variant object.\n\n"
                   "example: zorcc variant encode '{\"vt\": 258, \"value\": \"AB\"}'   ->  02010200000041004200"),
               runVariant});
