// The operator and conversion tables of the four syntaxes. PascalScript and
// BasicScript follow the variant rules of Value.cpp; C++Script counts true as
// 1 and keeps integer division integral; JScript has its own number and
// string rules.
#include <ZorCompCore/script/SyntaxRules_p.h>

#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/script/Runtime_p.h>

#include <ZorCompCore/platform/Exception.h>

#include <QLocale>
#include <cmath>
#include <limits>

namespace zor::script {

// --- typed stores -------------------------------------------------------------

Value CoerceSlow(Value v, TK t)
{
    switch (t) {
    case TK::Any: case TK::Obj: return v;
    case TK::Int: return v.k == VK::Int ? v : Value(v.ToInt());
    case TK::IntC:
        if (v.k == VK::Int)
            return v;
        if (v.k == VK::Bool)
            return Value(qint64(v.i != 0));
        if (v.k == VK::Double || v.k == VK::Date) {
            const double d = std::trunc(v.d);
            if (!(d > -9.2233720368547758e18 && d < 9.2233720368547758e18))
                throw EIntOverflow(QStringLiteral("Integer overflow"));
            return Value(qint64(d));
        }
        return Value(v.ToInt());
    case TK::Float: return v.k == VK::Double ? v : Value(v.ToDouble());
    case TK::Str: return v.k == VK::Str ? v : Value(v.ToString());
    case TK::Bool: return v.k == VK::Bool ? v : Value(v.ToBool());
    case TK::Date: return v.k == VK::Date ? v : Value::Date(v.ToDouble());
    }
    return v;
}

Value DefaultOf(TK t)
{
    switch (t) {
    case TK::Int: case TK::IntC: return Value(qint64(0));
    case TK::Float: return Value(0.0);
    case TK::Str: return Value(QString());
    case TK::Bool: return Value(false);
    case TK::Date: return Value::Date(0);
    case TK::Obj: return Value::Object(nullptr);
    case TK::Any: break;
    }
    return Value();
}

QString TypeNameOf(const Value &v)
{
    switch (v.k) {
    case VK::Empty: return QStringLiteral("Variant");
    case VK::Null: return QStringLiteral("Null");
    case VK::Bool: return QStringLiteral("Boolean");
    case VK::Int: return QStringLiteral("Integer");
    case VK::Double: return QStringLiteral("Double");
    case VK::Date: return QStringLiteral("TDateTime");
    case VK::Obj: return QStringLiteral("TObject");
    case VK::Ref: return TypeNameOf(*v.ref);
    case VK::Str: return QStringLiteral("String");
    case VK::Array: return QStringLiteral("Array");
    case VK::Var: return QStringLiteral("Variant");
    case VK::Exc: return QString::fromLatin1(v.ExceptionData()->ClassName);
    case VK::Map:
        switch (v.Map()->Kind) {
        case MapBox::MK::Function: return QStringLiteral("Function");
        case MapBox::MK::Math: return QStringLiteral("Math");
        case MapBox::MK::Date: return QStringLiteral("Date");
        case MapBox::MK::Plain: break;
        }
        return QStringLiteral("Object");
    }
    return QStringLiteral("Variant");
}

namespace {

// --- shared pieces ------------------------------------------------------------

int cmp(const Value &a, const Value &b) { return Compare(a, b); }

Value eq(const Value &a, const Value &b) { return Value(cmp(a, b) == 0); }
Value ne(const Value &a, const Value &b) { return Value(cmp(a, b) != 0); }
Value lt(const Value &a, const Value &b) { return Value(cmp(a, b) == -1); }
Value le(const Value &a, const Value &b) { const int c = cmp(a, b); return Value(c == -1 || c == 0); }
Value gt(const Value &a, const Value &b) { return Value(cmp(a, b) == 1); }
Value ge(const Value &a, const Value &b) { const int c = cmp(a, b); return Value(c == 1 || c == 0); }

// Strings a script builds are held to the host's ceiling.
Value add(const Value &a, const Value &b) { return CheckedString(Add(a, b)); }
Value concat(const Value &a, const Value &b)
{
    const QString x = a.ToString(), y = b.ToString();
    CheckSize((x.size() + y.size()) * qsizetype(sizeof(QChar)));
    return Value(x + y);
}
Value pow(const Value &a, const Value &b) { return Value(std::pow(a.ToDouble(), b.ToDouble())); }

Value plus(const Value &a) { return a; }
Value logicalNot(const Value &a) { return Value(!a.ToBool()); }

// --- C++Script: true counts as 1, int / int stays an integer -------------------

Value cNum(const Value &v)
{
    return v.k == VK::Bool ? Value(qint64(v.i != 0)) : v;
}

template <Value (*F)(const Value &, const Value &)>
Value cArith(const Value &a, const Value &b)
{
    if (a.k == VK::Bool || b.k == VK::Bool)
        return F(cNum(a), cNum(b));
    return F(a, b);
}

// A string on either side joins the other as text ("n=" + 3).
Value cAdd(const Value &a, const Value &b)
{
    if ((a.k == VK::Str) != (b.k == VK::Str))
        return concat(a, b);
    return CheckedString(cArith<Add>(a, b));
}

Value cDivide(const Value &a, const Value &b)
{
    const Value x = cNum(a), y = cNum(b);
    if (x.k == VK::Int && y.k == VK::Int) {
        if (y.i == 0)
            throw EDivByZero(QStringLiteral("Division by zero"));
        if (y.i == -1)
            return Value(qint64(0ULL - quint64(x.i)));
        return Value(x.i / y.i); // truncates toward zero
    }
    return Divide(x, y);
}

Value cNeg(const Value &a) { return Neg(cNum(a)); }

// --- JScript ----------------------------------------------------------------------

double jsNumber(const Value &v)
{
    switch (v.k) {
    case VK::Int: return double(v.i);
    case VK::Double: case VK::Date: return v.d;
    case VK::Bool: return v.i ? 1 : 0;
    case VK::Null: return 0;
    case VK::Empty: return std::numeric_limits<double>::quiet_NaN();
    case VK::Ref: return jsNumber(*v.ref);
    case VK::Map:
        return v.Map()->Kind == MapBox::MK::Date ? v.Map()->Time : std::numeric_limits<double>::quiet_NaN();
    case VK::Str: {
        const QString t = v.s.trimmed();
        if (t.isEmpty())
            return 0;
        bool ok = false;
        const double d = t.startsWith(u"0x", Qt::CaseInsensitive) ? double(t.mid(2).toLongLong(&ok, 16))
                                                                   : QLocale::c().toDouble(t, &ok);
        if (ok)
            return d;
        if (t == u"Infinity" || t == u"+Infinity")
            return std::numeric_limits<double>::infinity();
        if (t == u"-Infinity")
            return -std::numeric_limits<double>::infinity();
        return std::numeric_limits<double>::quiet_NaN();
    }
    default:
        try {
            return v.ToDouble();
        } catch (const Exception &) {
            return std::numeric_limits<double>::quiet_NaN();
        }
    }
}

// An integer when the result is whole and fits, so that integer work stays fast.
Value jsResult(double d)
{
    if (d == std::trunc(d) && std::fabs(d) < 9.0e15 && !(d == 0 && std::signbit(d)))
        return Value(qint64(d));
    return Value(d);
}

bool jsIsNumeric(const Value &v)
{
    return v.k == VK::Int || v.k == VK::Double || v.k == VK::Bool || v.k == VK::Null || v.k == VK::Empty
        || v.k == VK::Date;
}

QString jsString(const Value &v)
{
    switch (v.k) {
    case VK::Str: return v.s;
    case VK::Int: return QString::number(v.i);
    case VK::Double: return JsNumberText(v.d);
    case VK::Bool: return v.i ? QStringLiteral("true") : QStringLiteral("false");
    case VK::Null: return QStringLiteral("null");
    case VK::Empty: return QStringLiteral("undefined");
    case VK::Ref: return jsString(*v.ref);
    case VK::Array: {
        // arrays inside arrays: as deep as the engine lets them nest
        static thread_local int depth = 0;
        if (depth > 200)
            throw EfsScriptError(QStringLiteral("Arrays nested too deeply"));
        ++depth;
        struct Leave { ~Leave() { --depth; } } leave;
        QStringList parts;
        for (const Value &e : v.Array()->Items)
            parts << (e.k == VK::Null || e.k == VK::Empty ? QString() : jsString(e));
        return parts.join(u',');
    }
    case VK::Map:
        switch (v.Map()->Kind) {
        case MapBox::MK::Function: return QStringLiteral("function ") + v.Map()->FnName + QStringLiteral("() { [code] }");
        case MapBox::MK::Math: return QStringLiteral("[object Math]");
        case MapBox::MK::Date: return JsDateText(v.Map()->Time);
        case MapBox::MK::Plain: break;
        }
        return QStringLiteral("[object Object]");
    case VK::Exc: return QString::fromLatin1(v.ExceptionData()->ClassName) + QStringLiteral(": ") + v.ExceptionData()->Message;
    default: return v.ToString();
    }
}

Value jsAdd(const Value &a, const Value &b)
{
    if (a.k == VK::Int && b.k == VK::Int) {
        qint64 r;
        if (!__builtin_add_overflow(a.i, b.i, &r))
            return Value(r);
    }
    if (jsIsNumeric(a) && jsIsNumeric(b))
        return jsResult(jsNumber(a) + jsNumber(b));
    const QString x = jsString(a), y = jsString(b);
    CheckSize((x.size() + y.size()) * qsizetype(sizeof(QChar)));
    return Value(x + y);
}

template <typename F>
Value jsArith(const Value &a, const Value &b, F f)
{
    return jsResult(f(jsNumber(a), jsNumber(b)));
}

Value jsSub(const Value &a, const Value &b)
{
    if (a.k == VK::Int && b.k == VK::Int) {
        qint64 r;
        if (!__builtin_sub_overflow(a.i, b.i, &r))
            return Value(r);
    }
    return jsArith(a, b, [](double x, double y) { return x - y; });
}
Value jsMul(const Value &a, const Value &b)
{
    return jsArith(a, b, [](double x, double y) { return x * y; });
}
Value jsDivide(const Value &a, const Value &b)
{
    return jsArith(a, b, [](double x, double y) { return x / y; }); // IEEE: 1/0 is Infinity
}
Value jsMod(const Value &a, const Value &b)
{
    if (a.k == VK::Int && b.k == VK::Int && b.i > 0)
        return Value(a.i % b.i);
    return jsArith(a, b, [](double x, double y) { return std::fmod(x, y); });
}

qint32 jsInt32(const Value &v)
{
    const double d = jsNumber(v);
    if (!std::isfinite(d))
        return 0;
    return qint32(quint32(quint64(qint64(std::fmod(std::trunc(d), 4294967296.0)))));
}

Value jsBitAnd(const Value &a, const Value &b) { return Value(qint64(jsInt32(a) & jsInt32(b))); }
Value jsBitOr(const Value &a, const Value &b) { return Value(qint64(jsInt32(a) | jsInt32(b))); }
Value jsBitXor(const Value &a, const Value &b) { return Value(qint64(jsInt32(a) ^ jsInt32(b))); }
Value jsShl(const Value &a, const Value &b) { return Value(qint64(qint32(quint32(jsInt32(a)) << (jsInt32(b) & 31)))); }
Value jsShr(const Value &a, const Value &b) { return Value(qint64(jsInt32(a) >> (jsInt32(b) & 31))); }

bool jsNullish(const Value &v) { return v.k == VK::Null || v.k == VK::Empty; }

bool jsLooseEqual(const Value &a, const Value &b)
{
    if (jsNullish(a) || jsNullish(b))
        return jsNullish(a) && jsNullish(b);
    if (a.k == VK::Str && b.k == VK::Str)
        return a.s == b.s;
    if (jsIsNumeric(a) || jsIsNumeric(b)) {
        if ((a.k == VK::Str || jsIsNumeric(a)) && (b.k == VK::Str || jsIsNumeric(b)))
            return jsNumber(a) == jsNumber(b); // NaN is equal to nothing
    }
    if (a.k == VK::Array || a.k == VK::Map || b.k == VK::Array || b.k == VK::Map)
        return a.k == b.k && a.box == b.box; // objects: the same one
    return Compare(a, b) == 0;
}

// Same type and same value: numbers are one type however they are held.
bool jsStrictEqual(const Value &a, const Value &b)
{
    const bool an = a.k == VK::Int || a.k == VK::Double, bn = b.k == VK::Int || b.k == VK::Double;
    if (an || bn)
        return an && bn && jsNumber(a) == jsNumber(b);
    if (a.k != b.k)
        return false;
    switch (a.k) {
    case VK::Str: return a.s == b.s;
    case VK::Bool: return (a.i != 0) == (b.i != 0);
    case VK::Null: case VK::Empty: return true;
    case VK::Obj: return a.o == b.o;
    case VK::Array: case VK::Exc: case VK::Var: case VK::Map: return a.box == b.box;
    default: return Compare(a, b) == 0;
    }
}

Value jsEq(const Value &a, const Value &b) { return Value(jsLooseEqual(a, b)); }
Value jsNe(const Value &a, const Value &b) { return Value(!jsLooseEqual(a, b)); }
Value jsStrictEq(const Value &a, const Value &b) { return Value(jsStrictEqual(a, b)); }
Value jsStrictNe(const Value &a, const Value &b) { return Value(!jsStrictEqual(a, b)); }

// Relations: strings by text when both are strings, otherwise as numbers
// (any NaN makes the relation false).
template <typename F>
Value jsRel(const Value &a, const Value &b, F f)
{
    if (a.k == VK::Str && b.k == VK::Str) {
        const int c = QString::compare(a.s, b.s);
        return Value(f(double(c), 0.0));
    }
    return Value(f(jsNumber(a), jsNumber(b)));
}
Value jsLt(const Value &a, const Value &b) { return jsRel(a, b, [](double x, double y) { return x < y; }); }
Value jsLe(const Value &a, const Value &b) { return jsRel(a, b, [](double x, double y) { return x <= y; }); }
Value jsGt(const Value &a, const Value &b) { return jsRel(a, b, [](double x, double y) { return x > y; }); }
Value jsGe(const Value &a, const Value &b) { return jsRel(a, b, [](double x, double y) { return x >= y; }); }

bool jsTruth(const Value &v)
{
    switch (v.k) {
    case VK::Empty: case VK::Null: return false;
    case VK::Bool: case VK::Int: return v.i != 0;
    case VK::Double: case VK::Date: return v.d != 0 && !std::isnan(v.d);
    case VK::Str: return !v.s.isEmpty();
    case VK::Obj: return v.o != nullptr;
    case VK::Ref: return jsTruth(*v.ref);
    default: return true; // arrays, objects, functions
    }
}

Value jsLogicalNot(const Value &a) { return Value(!jsTruth(a)); }

Value jsNeg(const Value &a)
{
    if (a.k == VK::Int && a.i != 0 && a.i != INT64_MIN)
        return Value(-a.i);
    return Value(-jsNumber(a));
}
Value jsPlus(const Value &a) { return jsResult(jsNumber(a)); }
Value jsBitNot(const Value &a) { return Value(qint64(~jsInt32(a))); }

Value jsTypeOf(const Value &a)
{
    switch (a.k) {
    case VK::Empty: return Value(QStringLiteral("undefined"));
    case VK::Bool: return Value(QStringLiteral("boolean"));
    case VK::Int: case VK::Double: return Value(QStringLiteral("number"));
    case VK::Str: return Value(QStringLiteral("string"));
    case VK::Ref: return jsTypeOf(*a.ref);
    case VK::Map:
        if (a.Map()->Kind == MapBox::MK::Function)
            return Value(QStringLiteral("function"));
        return Value(QStringLiteral("object"));
    default: return Value(QStringLiteral("object")); // null, arrays, objects, dates
    }
}

bool jsConstant(const QString &upper, Value &out)
{
    if (upper == u"INFINITY")
        out = Value(std::numeric_limits<double>::infinity());
    else if (upper == u"NAN")
        out = Value(std::numeric_limits<double>::quiet_NaN());
    else if (upper == u"UNDEFINED")
        out = Value();
    else if (upper == u"MATH")
        out = JsMathObject();
    else
        return false;
    return true;
}

// --- the tables -----------------------------------------------------------------

template <typename T>
constexpr int at(T op)
{
    return int(op);
}

void common(SyntaxRules &r)
{
    r.Binary[at(Op::Add)] = add;
    r.Binary[at(Op::Sub)] = Sub;
    r.Binary[at(Op::Mul)] = Mul;
    r.Binary[at(Op::Divide)] = Divide;
    r.Binary[at(Op::IntDiv)] = IntDiv;
    r.Binary[at(Op::Mod)] = Mod;
    r.Binary[at(Op::And)] = And;
    r.Binary[at(Op::Or)] = Or;
    r.Binary[at(Op::Xor)] = Xor;
    r.Binary[at(Op::Shl)] = Shl;
    r.Binary[at(Op::Shr)] = Shr;
    r.Binary[at(Op::Concat)] = concat;
    r.Binary[at(Op::Eq)] = eq;
    r.Binary[at(Op::Ne)] = ne;
    r.Binary[at(Op::Lt)] = lt;
    r.Binary[at(Op::Le)] = le;
    r.Binary[at(Op::Gt)] = gt;
    r.Binary[at(Op::Ge)] = ge;
    r.Unary[at(Op::Neg)] = Neg;
    r.Unary[at(Op::Not)] = Not;
    r.Unary[at(Op::Plus)] = plus;
    r.Unary[at(Op::LogicalNot)] = logicalNot;
}

SyntaxRules pascal()
{
    SyntaxRules r{Syntax::Pascal, "PascalScript"};
    common(r);
    return r;
}

SyntaxRules basic()
{
    SyntaxRules r{Syntax::Basic, "BasicScript"};
    common(r);
    r.Binary[at(Op::Pow)] = pow;
    r.DeclareOnAssign = true;
    r.IndexWithParens = true;
    return r;
}

SyntaxRules cpp()
{
    SyntaxRules r{Syntax::Cpp, "C++Script"};
    common(r);
    r.Binary[at(Op::Add)] = cAdd;
    r.Binary[at(Op::Sub)] = cArith<Sub>;
    r.Binary[at(Op::Mul)] = cArith<Mul>;
    r.Binary[at(Op::Divide)] = cDivide;
    r.Binary[at(Op::Mod)] = cArith<Mod>;
    r.Unary[at(Op::Neg)] = cNeg;
    r.IntDivideTruncates = true;
    r.ShortCircuitAndOr = false;
    r.StringsFromOne = false;
    r.IntKind = TK::IntC;
    return r;
}

SyntaxRules jscript()
{
    SyntaxRules r{Syntax::JScript, "JScript"};
    common(r);
    r.Binary[at(Op::Add)] = jsAdd;
    r.Binary[at(Op::Sub)] = jsSub;
    r.Binary[at(Op::Mul)] = jsMul;
    r.Binary[at(Op::Divide)] = jsDivide;
    r.Binary[at(Op::Mod)] = jsMod;
    r.Binary[at(Op::IntDiv)] = nullptr;
    r.Binary[at(Op::And)] = jsBitAnd;
    r.Binary[at(Op::Or)] = jsBitOr;
    r.Binary[at(Op::Xor)] = jsBitXor;
    r.Binary[at(Op::Shl)] = jsShl;
    r.Binary[at(Op::Shr)] = jsShr;
    r.Binary[at(Op::Eq)] = jsEq;
    r.Binary[at(Op::Ne)] = jsNe;
    r.Binary[at(Op::StrictEq)] = jsStrictEq;
    r.Binary[at(Op::StrictNe)] = jsStrictNe;
    r.Binary[at(Op::Lt)] = jsLt;
    r.Binary[at(Op::Le)] = jsLe;
    r.Binary[at(Op::Gt)] = jsGt;
    r.Binary[at(Op::Ge)] = jsGe;
    r.Unary[at(Op::Neg)] = jsNeg;
    r.Unary[at(Op::Plus)] = jsPlus;
    r.Unary[at(Op::Not)] = jsBitNot;
    r.Unary[at(Op::TypeOf)] = jsTypeOf;
    r.Unary[at(Op::LogicalNot)] = jsLogicalNot;
    r.Truth = jsTruth;
    r.IntDivisionNodes = false;
    r.ShortCircuitAndOr = false;
    r.StringsFromOne = false;
    r.DeclareOnAssign = true;
    r.IntKind = TK::IntC;
    r.Constant = jsConstant;
    r.ValueMember = JsValueMember;
    r.ValueMethod = JsValueMethod;
    r.SetMember = JsSetMember;
    r.Constructor = JsConstructor;
    r.Library = JsLibrary;
    r.ArraysAreObjects = true;
    r.FunctionValues = true;
    return r;
}

} // namespace

QString JsString(const Value &v) { return jsString(v); }
double JsNumber(const Value &v) { return jsNumber(v); }
bool JsStrictEqual(const Value &a, const Value &b) { return jsStrictEqual(a, b); }
Value JsResult(double d) { return jsResult(d); }

QString JsNumberText(double d)
{
    if (std::isnan(d))
        return QStringLiteral("NaN");
    if (std::isinf(d))
        return d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (d == std::trunc(d) && std::fabs(d) < 9.0e18)
        return QString::number(qint64(d));
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

const SyntaxRules &RulesFor(Syntax s)
{
    static const SyntaxRules tables[] = {pascal(), cpp(), basic(), jscript()};
    return tables[int(s)];
}

} // namespace zor::script
