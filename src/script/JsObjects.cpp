// The objects JScript code expects of its values: string and array methods,
// object properties, Math and Date. The compiler reaches them through the
// JScript table of SyntaxRules (members, methods, constructors, constants),
// so nothing here is consulted by the other syntaxes.
#include <ZorCompCore/script/SyntaxRules_p.h>

#include <ZorCompCore/script/Builtins_p.h>
#include <ZorCompCore/script/Nodes_p.h>

#include <ZorCompCore/utilities/QEDialogs.h>

#include <QDateTime>
#include <QRandomGenerator>
#include <QTimeZone>
#include <cmath>
#include <limits>

namespace zor::script {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const Value &arg(const std::vector<Value> &args, size_t i)
{
    static const Value undefined;
    return i < args.size() ? args[i] : undefined;
}

bool given(const std::vector<Value> &args, size_t i)
{
    return i < args.size() && args[i].k != VK::Empty;
}

// ToIntegerOrInfinity, clamped to what a position in a string or array can be.
qint64 integer(const Value &v)
{
    const double d = JsNumber(v);
    if (std::isnan(d))
        return 0;
    if (d > 9.0e15)
        return qint64(9.0e15);
    if (d < -9.0e15)
        return qint64(-9.0e15);
    return qint64(std::trunc(d));
}

// A relative start or end (negative counts from the end), clamped to 0..len.
qint64 relative(const Value &v, qint64 len)
{
    const qint64 i = integer(v);
    return i < 0 ? std::max<qint64>(0, len + i) : std::min(i, len);
}

Value newArray(std::vector<Value> items)
{
    CheckSize(qsizetype(items.size()) * qsizetype(sizeof(Value)));
    Value r = Value::NewArray(0, -1);
    ArrayBox *a = r.MutableArray();
    a->ByReference = true;
    for (const Value &v : items)
        if (const ArrayBox *inner = v.Array())
            a->Depth = std::max(a->Depth, inner->Depth + 1);
    a->Items = std::move(items);
    return r;
}

Value text(QString s)
{
    CheckSize(s.size() * qsizetype(sizeof(QChar)));
    return Value(std::move(s));
}

// --- strings --------------------------------------------------------------------

bool stringMethod(const QString &s, const QString &m, std::vector<Value> &args, Value &out)
{
    const qint64 len = s.size();
    if (m == u"CHARAT") {
        const qint64 i = integer(arg(args, 0));
        out = Value(i >= 0 && i < len ? QString(s[qsizetype(i)]) : QString());
    } else if (m == u"CHARCODEAT") {
        const qint64 i = integer(arg(args, 0));
        out = i >= 0 && i < len ? Value(qint64(s[qsizetype(i)].unicode())) : Value(kNaN);
    } else if (m == u"INDEXOF") {
        const qint64 from = std::clamp<qint64>(integer(arg(args, 1)), 0, len);
        out = Value(qint64(s.indexOf(JsString(arg(args, 0)), qsizetype(from))));
    } else if (m == u"LASTINDEXOF") {
        const qint64 from = given(args, 1) ? std::clamp<qint64>(integer(arg(args, 1)), 0, len) : len;
        out = Value(qint64(s.lastIndexOf(JsString(arg(args, 0)), qsizetype(from))));
    } else if (m == u"SUBSTRING") {
        qint64 a = std::clamp<qint64>(integer(arg(args, 0)), 0, len);
        qint64 b = given(args, 1) ? std::clamp<qint64>(integer(arg(args, 1)), 0, len) : len;
        if (a > b)
            std::swap(a, b);
        out = Value(s.mid(qsizetype(a), qsizetype(b - a)));
    } else if (m == u"SUBSTR") {
        const qint64 a = relative(arg(args, 0), len);
        const qint64 n = given(args, 1) ? std::clamp<qint64>(integer(arg(args, 1)), 0, len - a) : len - a;
        out = Value(s.mid(qsizetype(a), qsizetype(n)));
    } else if (m == u"SLICE") {
        const qint64 a = relative(arg(args, 0), len);
        const qint64 b = given(args, 1) ? relative(arg(args, 1), len) : len;
        out = Value(b > a ? s.mid(qsizetype(a), qsizetype(b - a)) : QString());
    } else if (m == u"TOUPPERCASE") {
        out = Value(s.toUpper());
    } else if (m == u"TOLOWERCASE") {
        out = Value(s.toLower());
    } else if (m == u"TRIM") {
        out = Value(s.trimmed());
    } else if (m == u"SPLIT") {
        std::vector<Value> parts;
        const qint64 limit = given(args, 1) ? integer(arg(args, 1)) : qint64(1) << 40;
        if (!given(args, 0)) {
            parts.emplace_back(s);
        } else {
            const QString sep = JsString(arg(args, 0));
            if (sep.isEmpty()) {
                for (QChar c : s)
                    parts.emplace_back(QString(c));
            } else {
                for (const QString &p : s.split(sep))
                    parts.emplace_back(p);
            }
        }
        if (limit >= 0 && qint64(parts.size()) > limit)
            parts.resize(size_t(limit));
        out = newArray(std::move(parts));
    } else if (m == u"REPLACE") {
        // a text pattern replaces its first occurrence
        const QString pattern = JsString(arg(args, 0));
        const qsizetype at = s.indexOf(pattern);
        if (at < 0) {
            out = Value(s);
            return true;
        }
        const Value &with = arg(args, 1);
        QString replacement;
        if (with.Map() && with.Map()->Kind == MapBox::MK::Function) {
            std::vector<Value> call{Value(pattern), Value(qint64(at)), Value(s)};
            replacement = JsString(CallFunctionValue(with, call));
        } else {
            replacement = JsString(with);
        }
        out = text(s.left(at) + replacement + s.mid(at + pattern.size()));
    } else if (m == u"CONCAT") {
        QString r = s;
        for (const Value &a : args)
            r += JsString(a);
        out = text(r);
    } else if (m == u"STARTSWITH") {
        out = Value(s.startsWith(JsString(arg(args, 0))));
    } else if (m == u"ENDSWITH") {
        out = Value(s.endsWith(JsString(arg(args, 0))));
    } else if (m == u"INCLUDES") {
        out = Value(s.contains(JsString(arg(args, 0))));
    } else if (m == u"TOSTRING") {
        out = Value(s);
    } else {
        return false;
    }
    return true;
}

// --- arrays ---------------------------------------------------------------------

// Merge sort: stable, and safe with a comparison that contradicts itself.
template <typename Less>
void mergeSort(std::vector<Value> &v, Less less)
{
    std::vector<Value> tmp(v.size());
    for (size_t width = 1; width < v.size(); width *= 2) {
        for (size_t lo = 0; lo < v.size(); lo += 2 * width) {
            const size_t mid = std::min(lo + width, v.size()), hi = std::min(lo + 2 * width, v.size());
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                tmp[k++] = less(v[j], v[i]) ? v[j++] : v[i++];
            while (i < mid)
                tmp[k++] = v[i++];
            while (j < hi)
                tmp[k++] = v[j++];
        }
        v.swap(tmp);
    }
}

void storeChecked(ArrayBox *a, const Value &v)
{
    if ((v.k == VK::Array || v.k == VK::Map) && Reaches(v, a))
        throw EfsScriptError(QStringLiteral("An array or object cannot contain itself"));
    if (const ArrayBox *inner = v.Array()) {
        if (inner->Depth >= 500)
            throw EfsScriptError(QStringLiteral("Arrays nested too deeply"));
        a->Depth = std::max(a->Depth, inner->Depth + 1);
    }
}

bool arrayMethod(const Value &self, const QString &m, std::vector<Value> &args, Value &out)
{
    ArrayBox *a = self.Array();
    std::vector<Value> &items = a->Items;
    // only arrays shared by reference change in place; others work on a copy
    const bool shared = a->ByReference;
    const qint64 len = qint64(items.size());
    if (m == u"PUSH") {
        if (!shared)
            throw EfsScriptError(QStringLiteral("Array cannot grow here"));
        CheckSize((len + qint64(args.size())) * qsizetype(sizeof(Value)));
        for (Value &v : args) {
            storeChecked(a, v);
            items.push_back(std::move(v));
        }
        out = Value(qint64(items.size()));
    } else if (m == u"POP") {
        if (items.empty()) {
            out = Value();
        } else {
            out = std::move(items.back());
            items.pop_back();
        }
    } else if (m == u"SHIFT") {
        if (items.empty()) {
            out = Value();
        } else {
            out = std::move(items.front());
            items.erase(items.begin());
        }
    } else if (m == u"UNSHIFT") {
        CheckSize((len + qint64(args.size())) * qsizetype(sizeof(Value)));
        for (const Value &v : args)
            storeChecked(a, v);
        items.insert(items.begin(), args.begin(), args.end());
        out = Value(qint64(items.size()));
    } else if (m == u"JOIN") {
        const QString sep = given(args, 0) ? JsString(arg(args, 0)) : QStringLiteral(",");
        QString r;
        for (size_t i = 0; i < items.size(); ++i) {
            if (i)
                r += sep;
            if (items[i].k != VK::Null && items[i].k != VK::Empty)
                r += JsString(items[i]);
            CheckSize(r.size() * qsizetype(sizeof(QChar)));
        }
        out = Value(r);
    } else if (m == u"INDEXOF" || m == u"INCLUDES") {
        qint64 found = -1;
        for (qint64 i = given(args, 1) ? relative(arg(args, 1), len) : 0; i < len; ++i) {
            if (JsStrictEqual(items[size_t(i)], arg(args, 0))) {
                found = i;
                break;
            }
        }
        out = m == u"INCLUDES" ? Value(found >= 0) : Value(found);
    } else if (m == u"LASTINDEXOF") {
        qint64 found = -1;
        for (qint64 i = len - 1; i >= 0; --i) {
            if (JsStrictEqual(items[size_t(i)], arg(args, 0))) {
                found = i;
                break;
            }
        }
        out = Value(found);
    } else if (m == u"SLICE") {
        const qint64 b = relative(arg(args, 0), len);
        const qint64 e = given(args, 1) ? relative(arg(args, 1), len) : len;
        out = newArray(e > b ? std::vector<Value>(items.begin() + b, items.begin() + e) : std::vector<Value>());
    } else if (m == u"CONCAT") {
        std::vector<Value> r = items;
        for (const Value &v : args) {
            if (const ArrayBox *other = v.Array())
                r.insert(r.end(), other->Items.begin(), other->Items.end());
            else
                r.push_back(v);
            CheckSize(qsizetype(r.size()) * qsizetype(sizeof(Value)));
        }
        out = newArray(std::move(r));
    } else if (m == u"REVERSE") {
        std::reverse(items.begin(), items.end());
        out = self;
    } else if (m == u"SORT") {
        const Value &cmp = arg(args, 0);
        if (cmp.Map() && cmp.Map()->Kind == MapBox::MK::Function) {
            mergeSort(items, [&cmp](const Value &x, const Value &y) {
                std::vector<Value> call{x, y};
                return JsNumber(CallFunctionValue(cmp, call)) < 0;
            });
        } else {
            // without a comparison, elements sort by their text; undefined goes last
            mergeSort(items, [](const Value &x, const Value &y) {
                if (x.k == VK::Empty || y.k == VK::Empty)
                    return y.k == VK::Empty && x.k != VK::Empty;
                return JsString(x) < JsString(y);
            });
        }
        out = self;
    } else if (m == u"SPLICE") {
        const qint64 start = relative(arg(args, 0), len);
        const qint64 count = args.size() < 2 ? len - start : std::clamp<qint64>(integer(arg(args, 1)), 0, len - start);
        std::vector<Value> removed(items.begin() + start, items.begin() + start + count);
        items.erase(items.begin() + start, items.begin() + start + count);
        for (size_t i = 2; i < args.size(); ++i)
            storeChecked(a, args[i]);
        CheckSize((qint64(items.size()) + qint64(args.size())) * qsizetype(sizeof(Value)));
        if (args.size() > 2)
            items.insert(items.begin() + start, args.begin() + 2, args.end());
        out = newArray(std::move(removed));
    } else if (m == u"TOSTRING") {
        out = Value(JsString(self));
    } else {
        return false;
    }
    return true;
}

// --- Math -------------------------------------------------------------------------

bool mathMember(const QString &m, Value &out)
{
    static const struct { const char16_t *name; double value; } constants[] = {
        {u"PI", M_PI}, {u"E", M_E}, {u"LN2", M_LN2}, {u"LN10", M_LN10}, {u"LOG2E", M_LOG2E},
        {u"LOG10E", M_LOG10E}, {u"SQRT2", M_SQRT2}, {u"SQRT1_2", M_SQRT1_2},
    };
    for (const auto &c : constants) {
        if (m == QStringView(c.name)) {
            out = Value(c.value);
            return true;
        }
    }
    return false;
}

bool mathMethod(const QString &m, std::vector<Value> &args, Value &out)
{
    const double x = JsNumber(arg(args, 0));
    double r;
    if (m == u"FLOOR") r = std::floor(x);
    else if (m == u"CEIL") r = std::ceil(x);
    else if (m == u"ROUND") r = std::isfinite(x) ? std::floor(x + 0.5) : x; // halves go up
    else if (m == u"TRUNC") r = std::trunc(x);
    else if (m == u"ABS") r = std::fabs(x);
    else if (m == u"SQRT") r = std::sqrt(x);
    else if (m == u"POW") r = std::pow(x, JsNumber(arg(args, 1)));
    else if (m == u"EXP") r = std::exp(x);
    else if (m == u"LOG") r = std::log(x);
    else if (m == u"SIN") r = std::sin(x);
    else if (m == u"COS") r = std::cos(x);
    else if (m == u"TAN") r = std::tan(x);
    else if (m == u"ATAN") r = std::atan(x);
    else if (m == u"ATAN2") r = std::atan2(x, JsNumber(arg(args, 1)));
    else if (m == u"SIGN") r = std::isnan(x) ? x : (x > 0) - (x < 0);
    else if (m == u"RANDOM") r = QRandomGenerator::global()->generateDouble();
    else if (m == u"MAX" || m == u"MIN") {
        const bool max = m == u"MAX";
        r = max ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        for (const Value &a : args) {
            const double v = JsNumber(a);
            if (std::isnan(v)) {
                r = v;
                break;
            }
            if (max ? v > r : v < r)
                r = v;
        }
    } else {
        return false;
    }
    out = JsResult(r);
    return true;
}

// --- Date ---------------------------------------------------------------------------

Value dateValue(double time)
{
    Value v;
    v.k = VK::Map;
    auto m = std::make_shared<MapBox>();
    m->Kind = MapBox::MK::Date;
    // beyond what dates can be: an invalid date
    m->Time = std::isfinite(time) && std::fabs(time) <= 8.64e15 ? std::trunc(time) : kNaN;
    v.box = std::move(m);
    return v;
}

// new Date(), new Date(ms), new Date("2024-01-31"), new Date(y, m[, d[, h[, mi[, s[, ms]]]]]) in local time.
Value newDate(std::vector<Value> &args)
{
    if (args.empty())
        return dateValue(double(QDateTime::currentMSecsSinceEpoch()));
    if (args.size() == 1) {
        if (args[0].k == VK::Str) {
            const QString s = args[0].s.trimmed();
            QDateTime dt = QDateTime::fromString(s, Qt::ISODateWithMs);
            if (!dt.isValid())
                return dateValue(kNaN);
            if (s.size() <= 10) // a date alone means UTC midnight
                dt = QDateTime(dt.date(), QTime(0, 0), QTimeZone::utc());
            return dateValue(double(dt.toMSecsSinceEpoch()));
        }
        return dateValue(JsNumber(args[0]));
    }
    double part[7] = {0, 0, 1, 0, 0, 0, 0};
    for (size_t i = 0; i < 7 && i < args.size(); ++i) {
        part[i] = JsNumber(args[i]);
        if (!std::isfinite(part[i]))
            return dateValue(kNaN);
        part[i] = std::trunc(part[i]);
    }
    if (std::fabs(part[0]) > 275000 || std::fabs(part[1]) > 1e7 || std::fabs(part[2]) > 1e9)
        return dateValue(kNaN);
    if (part[0] >= 0 && part[0] <= 99)
        part[0] += 1900;
    const QDate first = QDate(int(part[0]), 1, 1).addMonths(int(part[1]));
    const QDateTime midnight(first, QTime(0, 0));
    const double ms = double(midnight.toMSecsSinceEpoch()) + (part[2] - 1) * 86400000.0
        + ((part[3] * 60 + part[4]) * 60 + part[5]) * 1000 + part[6];
    return dateValue(ms);
}

Value newObject(std::vector<Value> &)
{
    Value v;
    v.k = VK::Map;
    v.box = std::make_shared<MapBox>();
    return v;
}

Value newArrayOf(std::vector<Value> &args)
{
    if (args.size() == 1 && (args[0].k == VK::Int || args[0].k == VK::Double)) {
        const double n = JsNumber(args[0]);
        if (!(n >= 0 && n <= 10'000'000) || n != std::trunc(n))
            throw ERangeError(QStringLiteral("Invalid array length"));
        return newArray(std::vector<Value>(size_t(n)));
    }
    for (const Value &v : args)
        if (const ArrayBox *inner = v.Array(); inner && inner->Depth >= 500)
            throw EfsScriptError(QStringLiteral("Arrays nested too deeply"));
    return newArray(args);
}

bool dateMethod(const MapBox *d, const QString &m, Value &out)
{
    if (m == u"GETTIME" || m == u"VALUEOF") {
        out = JsResult(d->Time);
        return true;
    }
    if (m == u"TOSTRING") {
        out = Value(JsDateText(d->Time));
        return true;
    }
    if (std::isnan(d->Time)) {
        if (!m.startsWith(u"GET"))
            return false;
        out = Value(kNaN);
        return true;
    }
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(qint64(d->Time), QTimeZone::utc());
    const bool isUtc = m.startsWith(u"GETUTC");
    const QDateTime t = isUtc ? utc : utc.toLocalTime();
    const QString what = m.mid(isUtc ? 6 : 3);
    if (!m.startsWith(u"GET"))
        return false;
    qint64 r;
    if (what == u"FULLYEAR") r = t.date().year();
    else if (what == u"MONTH") r = t.date().month() - 1;
    else if (what == u"DATE") r = t.date().day();
    else if (what == u"DAY") r = t.date().dayOfWeek() % 7;
    else if (what == u"HOURS") r = t.time().hour();
    else if (what == u"MINUTES") r = t.time().minute();
    else if (what == u"SECONDS") r = t.time().second();
    else if (what == u"MILLISECONDS") r = t.time().msec();
    else if (what == u"TIMEZONEOFFSET" && !isUtc) r = -t.offsetFromUtc() / 60;
    else return false;
    out = Value(r);
    return true;
}

// --- library ---------------------------------------------------------------------

// ShowMessage writes values the way JScript turns them into text.
Value jsShowMessage(Value *const *a, int)
{
    const QString text = JsString(*a[0]);
    if (fsShowMessageHook)
        fsShowMessageHook(text);
    else
        zor::ShowMessage(text);
    return Value();
}

const Builtin kJsLibrary[] = {
    {"ShowMessage", 1, 1, 0, false, jsShowMessage, kInJScript, "Msg: Variant", nullptr, "System",
     "Writes Msg as JScript turns it into text."},
};

} // namespace

bool JsValueMember(const Value &v, const QString &name, const QString &upper, Value &out)
{
    switch (v.k) {
    case VK::Str:
        if (upper == u"LENGTH") {
            out = Value(qint64(v.s.size()));
            return true;
        }
        return false;
    case VK::Array:
        if (upper == u"LENGTH") {
            out = Value(qint64(v.Array()->Items.size()));
            return true;
        }
        return false;
    case VK::Map: {
        MapBox *m = v.Map();
        if (m->Kind == MapBox::MK::Math && mathMember(upper, out))
            return true;
        if (m->Kind == MapBox::MK::Plain || m->Kind == MapBox::MK::Function) {
            const Value *p = m->Find(name);
            out = p ? *p : Value(); // a property never set reads undefined
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

bool JsValueMethod(const Value &v, const QString &name, const QString &upper, std::vector<Value> &args, Value &out)
{
    switch (v.k) {
    case VK::Str: return stringMethod(v.s, upper, args, out);
    case VK::Array: return arrayMethod(v, upper, args, out);
    case VK::Map: {
        MapBox *m = v.Map();
        switch (m->Kind) {
        case MapBox::MK::Math: return mathMethod(upper, args, out);
        case MapBox::MK::Date: return dateMethod(m, upper, out);
        case MapBox::MK::Function: return false;
        case MapBox::MK::Plain: break;
        }
        if (const Value *p = m->Find(name); p && p->Map() && p->Map()->Kind == MapBox::MK::Function) {
            const Value f = *p;
            out = CallFunctionValue(f, args);
            return true;
        }
        if (upper == u"HASOWNPROPERTY") {
            out = Value(m->Find(JsString(arg(args, 0))) != nullptr);
            return true;
        }
        return false;
    }
    case VK::Int:
    case VK::Double:
        if (upper == u"TOSTRING") {
            out = Value(JsString(v));
            return true;
        }
        if (upper == u"TOFIXED") {
            const qint64 digits = std::clamp<qint64>(integer(arg(args, 0)), 0, 100);
            out = Value(QString::number(JsNumber(v), 'f', int(digits)));
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool JsSetMember(const Value &target, const QString &name, Value v)
{
    if (MapBox *m = target.Map(); m && (m->Kind == MapBox::MK::Plain || m->Kind == MapBox::MK::Function)) {
        if ((v.k == VK::Array || v.k == VK::Map) && Reaches(v, m))
            throw EfsScriptError(QStringLiteral("An array or object cannot contain itself"));
        m->Put(name, std::move(v));
        return true;
    }
    if (ArrayBox *a = target.Array(); a && a->ByReference && name == u"length") {
        const double n = JsNumber(v);
        if (!(n >= 0 && n <= 10'000'000) || n != std::trunc(n))
            throw ERangeError(QStringLiteral("Invalid array length"));
        CheckSize(qsizetype(n) * qsizetype(sizeof(Value)));
        a->Items.resize(size_t(n));
        return true;
    }
    return false;
}

ConstructFn JsConstructor(const QString &upper)
{
    if (upper == u"DATE")
        return newDate;
    if (upper == u"OBJECT")
        return newObject;
    if (upper == u"ARRAY")
        return newArrayOf;
    return nullptr;
}

const Builtin *JsLibrary(const QString &upper)
{
    for (const Builtin &b : kJsLibrary)
        if (upper.compare(QLatin1String(b.Name), Qt::CaseInsensitive) == 0)
            return &b;
    return nullptr;
}

Value JsMathObject()
{
    Value v;
    v.k = VK::Map;
    auto m = std::make_shared<MapBox>();
    m->Kind = MapBox::MK::Math;
    v.box = std::move(m);
    return v;
}

QString JsDateText(double time)
{
    if (std::isnan(time))
        return QStringLiteral("Invalid Date");
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(qint64(time), QTimeZone::utc()).toLocalTime();
    const int offset = t.offsetFromUtc() / 60;
    return QLocale::c().toString(t, QStringLiteral("ddd MMM dd yyyy HH:mm:ss"))
        + QStringLiteral(" GMT%1%2%3")
              .arg(offset < 0 ? u'-' : u'+')
              .arg(std::abs(offset) / 60, 2, 10, QChar(u'0'))
              .arg(std::abs(offset) % 60, 2, 10, QChar(u'0'));
}

} // namespace zor::script
