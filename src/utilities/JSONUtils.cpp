#include <ZorCompCore/utilities/JSONUtils.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>

#include <QStringList>
#include <nlohmann/json.hpp>

namespace zor {

using nlohmann::json;

namespace {

// Any value as text: the stored text, numbers in decimal, floats the default
// way, Booleans as "-1"/"0", arrays joined by line breaks, objects as compact
// JSON only when asked.
QString ValueAsString(const json &v, bool objectAsJSON)
{
    switch (JsonValueKind(v)) {
    case jkString:
        return QString::fromStdString(v.get_ref<const std::string &>());
    case jkInt:
    case jkLong:
        return QString::number(v.get<qint64>());
    case jkULong:
        return QString::number(v.get<quint64>());
    case jkFloat:
        return FloatToStr(v.get<double>());
    case jkBool:
        return v.get<bool>() ? QStringLiteral("-1") : QStringLiteral("0");
    case jkArray:
        return TJSONUtils::ArrAsString(&v, QChar(0));
    case jkObject:
        // Invalid UTF-8 in a member must not throw out of a "safe" reader.
        return objectAsJSON ? QString::fromStdString(v.dump(-1, ' ', false, json::error_handler_t::replace))
                            : QString();
    default:
        return {};
    }
}

const json *Member(const json *object, const QString &name)
{
    if (!object || !object->is_object())
        return nullptr;
    const auto it = object->find(name.toStdString());
    return it == object->end() ? nullptr : &*it;
}

bool NeedsQuotes(const QString &item, QChar delimiter)
{
    for (QChar c : item)
        if (c.unicode() <= u' ' || c == u'"' || c == delimiter)
            return true;
    return false;
}

QString Quoted(const QString &item)
{
    QString s = item;
    s.replace(u'"', QStringLiteral("\"\""));
    return u'"' + s + u'"';
}

} // namespace

TJsonValueKind JsonValueKind(const json &value)
{
    switch (value.type()) {
    case json::value_t::string:
        return jkString;
    case json::value_t::number_integer: {
        const auto i = value.get<qint64>();
        return (i >= INT32_MIN && i <= INT32_MAX) ? jkInt : jkLong;
    }
    case json::value_t::number_unsigned: {
        const auto u = value.get<quint64>();
        return u <= quint64(INT32_MAX) ? jkInt : u <= quint64(INT64_MAX) ? jkLong : jkULong;
    }
    case json::value_t::number_float:
        return jkFloat;
    case json::value_t::boolean:
        return jkBool;
    case json::value_t::array:
        return jkArray;
    case json::value_t::object:
        return jkObject;
    default:
        return jkNone;
    }
}

bool TJSONUtils::GuessIsJSON(const QString &s)
{
    if (s.size() < 3)
        return false;
    return (s.front() == u'{' && s.back() == u'}') || (s.front() == u'[' && s.back() == u']');
}

QString TJSONUtils::SafeAsString(const json *object, const QString &name, bool objectAsJSON)
{
    const json *m = Member(object, name);
    return m ? ValueAsString(*m, objectAsJSON) : QString();
}

bool TJSONUtils::SafeIsEmpty(const json *object, const QString &name)
{
    const json *m = Member(object, name);
    return !m || m->is_null() || ValueAsString(*m, true).isEmpty();
}

QString TJSONUtils::ArrAsString(const json *array, QChar delimiter)
{
    if (!array || !array->is_array())
        return {};
    QStringList items;
    for (int i = 0; i < int(array->size()); ++i)
        items << TJsonArrayHelper::SafeGetString(*array, i, false);

    if (delimiter.isNull()) {
        QString text;
        for (const QString &item : items)
            text += item + u'\n';
        return text;
    }
    // A lone empty item is written as "" so that it differs from no items.
    if (items.size() == 1 && items.front().isEmpty())
        return QStringLiteral("\"\"");
    QString text;
    for (int i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += delimiter;
        text += NeedsQuotes(items[i], delimiter) ? Quoted(items[i]) : items[i];
    }
    return text;
}

QString TJsonObjectHelper::SafeGetString(const json &object, const QString &name, bool objectAsJSON)
{
    return TJSONUtils::SafeAsString(&object, name, objectAsJSON);
}

QString TJsonDataValueHelperHelper::SafeGetString(const json &value, const QString &name, bool objectAsJSON)
{
    return TJSONUtils::SafeAsString(ObjectValueIfExists(value), name, objectAsJSON);
}

const json *TJsonDataValueHelperHelper::ObjectValueIfExists(const json &value)
{
    return value.is_object() ? &value : nullptr;
}

QString TJsonArrayHelper::SafeGetString(const json &array, int index, bool objectAsJSON)
{
    if (!array.is_array() || index < 0 || size_t(index) >= array.size())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    const json &element = array[size_t(index)];
    if (element.is_array())
        return TJSONUtils::ArrAsString(&element, QChar(0));
    return ValueAsString(element, objectAsJSON);
}

int TJsonArrayHelper::SafeIndexOfStr(const json &array, const QString &s)
{
    if (!array.is_array())
        return -1;
    for (int i = 0; i < int(array.size()); ++i)
        if (SafeGetString(array, i, false) == s)
            return i;
    return -1;
}

} // namespace zor
