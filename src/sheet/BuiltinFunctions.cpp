// The library's own formula functions.
//
// Aggregates follow the usual spreadsheet rule: inside references and arrays
// only numbers count (text and booleans are skipped), while values written
// as arguments are converted ("3" is 3, TRUE is 1, "a" is #VALUE!).
#include "Book_p.h"
#include "NumberFormat.h"

#include <ZorCompCore/platform/DateTime.h>

#include <QRandomGenerator>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace zor::sheet_detail {

namespace {

using Args = std::vector<Operand>;

void set(Operand &r, TCellValue v) { r = Operand::Value(std::move(v)); }
void setNum(Operand &r, double v) { r = Operand::Value(TCellValue::Number(v)); }
void setErr(Operand &r, TSheetError e) { r = Operand::Value(TCellValue::Error(e)); }

// One scalar argument as a number; on failure r holds the error.
bool num(Evaluator &e, const Args &a, size_t i, double &out, Operand &r, double def = NAN)
{
    if (i >= a.size() || (a[i].k == Operand::Val && a[i].v.IsEmpty() && !std::isnan(def))) {
        if (std::isnan(def)) {
            setErr(r, TSheetError::Value);
            return false;
        }
        out = def;
        return true;
    }
    TCellValue err;
    if (ToNumber(e.Scalar(a[i]), out, err))
        return true;
    set(r, err);
    return false;
}

bool text(Evaluator &e, const Args &a, size_t i, QString &out, Operand &r)
{
    const TCellValue v = i < a.size() ? e.Scalar(a[i]) : TCellValue();
    if (v.IsError()) {
        set(r, v);
        return false;
    }
    out = ToText(v);
    return true;
}

// Numbers of all arguments the aggregate way; false (r set) on an error.
bool numbers(Evaluator &e, const Args &a, Operand &r, const std::function<void(double)> &fn)
{
    TCellValue err;
    for (const Operand &o : a) {
        if (o.k == Operand::Val) {
            if (o.v.IsEmpty())
                continue;
            double d;
            if (!ToNumber(o.v, d, err)) {
                set(r, err);
                return false;
            }
            fn(d);
            continue;
        }
        bool failed = false;
        e.ForEach(o, [&](const TCellValue &v) {
            if (v.IsError()) {
                err = v;
                failed = true;
                return false;
            }
            if (v.IsNumber())
                fn(v.number);
            return true;
        });
        if (failed) {
            set(r, err);
            return false;
        }
    }
    return true;
}

void fnSum(Evaluator &e, Args &a, Operand &r)
{
    double s = 0;
    if (numbers(e, a, r, [&](double d) { s += d; }))
        setNum(r, s);
}
void fnProduct(Evaluator &e, Args &a, Operand &r)
{
    double s = 1;
    bool any = false;
    if (numbers(e, a, r, [&](double d) { s *= d, any = true; }))
        setNum(r, any ? s : 0);
}
void fnAverage(Evaluator &e, Args &a, Operand &r)
{
    double s = 0;
    qint64 n = 0;
    if (numbers(e, a, r, [&](double d) { s += d, ++n; }))
        n ? setNum(r, s / double(n)) : setErr(r, TSheetError::DivZero);
}
void fnMin(Evaluator &e, Args &a, Operand &r)
{
    double m = INFINITY;
    if (numbers(e, a, r, [&](double d) { m = std::min(m, d); }))
        setNum(r, std::isinf(m) ? 0 : m);
}
void fnMax(Evaluator &e, Args &a, Operand &r)
{
    double m = -INFINITY;
    if (numbers(e, a, r, [&](double d) { m = std::max(m, d); }))
        setNum(r, std::isinf(m) ? 0 : m);
}
void fnMedian(Evaluator &e, Args &a, Operand &r)
{
    std::vector<double> v;
    if (!numbers(e, a, r, [&](double d) { v.push_back(d); }))
        return;
    if (v.empty())
        return setErr(r, TSheetError::Num);
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    setNum(r, n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}
void fnCount(Evaluator &e, Args &a, Operand &r)
{
    qint64 n = 0;
    for (const Operand &o : a) {
        if (o.k == Operand::Val) {
            double d;
            TCellValue err;
            if (!o.v.IsEmpty() && ToNumber(o.v, d, err))
                ++n;
            continue;
        }
        e.ForEach(o, [&](const TCellValue &v) {
            n += v.IsNumber();
            return true;
        });
    }
    setNum(r, double(n));
}
void fnCountA(Evaluator &e, Args &a, Operand &r)
{
    qint64 n = 0;
    for (const Operand &o : a)
        e.ForEach(o, [&](const TCellValue &v) {
            n += !v.IsEmpty();
            return true;
        });
    setNum(r, double(n));
}
void fnCountBlank(Evaluator &e, Args &a, Operand &r)
{
    if (a[0].k != Operand::Ref)
        return setErr(r, TSheetError::Value);
    qint64 filled = 0;
    e.ForEach(a[0], [&](const TCellValue &v) {
        filled += !(v.IsText() && v.text.isEmpty());
        return true;
    });
    setNum(r, double(qint64(a[0].area.Rows()) * a[0].area.Cols() - filled));
}

// ---------------------------------------------------------------- criteria

struct Criterion
{
    char op = '=';
    TCellValue value;
    bool pattern = false;
    QRegularExpression re;

    bool Matches(const TCellValue &v) const
    {
        if (v.IsError())
            return value.IsError() && op == '=' && v.error == value.error;
        if (value.IsText() && value.text.isEmpty() && op == '=')
            return v.IsEmpty() || (v.IsText() && v.text.isEmpty());
        if (op == '=' || op == 'n') {
            bool eq;
            if (pattern)
                eq = v.IsText() && re.match(v.text).hasMatch();
            else if (value.IsNumber())
                eq = (v.IsNumber() && v.number == value.number) ||
                     (v.IsText() && SheetTextToNumber(v.text) == std::optional<double>(value.number));
            else if (value.IsText())
                eq = v.IsText() && v.text.compare(value.text, Qt::CaseInsensitive) == 0;
            else
                eq = v.kind == value.kind && v.number == value.number;
            return op == '=' ? eq : !eq;
        }
        // Ordering compares like with like only.
        if (v.IsEmpty() || (value.IsNumber() != v.IsNumber()) || (value.IsText() != v.IsText()))
            return false;
        const int c = CompareValues(v, value);
        switch (op) {
        case '<': return c < 0;
        case '>': return c > 0;
        case 'l': return c <= 0;
        case 'g': return c >= 0;
        }
        return false;
    }
};

QString wildcardPattern(const QString &s)
{
    QString re;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'~' && i + 1 < s.size() && (s[i + 1] == u'*' || s[i + 1] == u'?' || s[i + 1] == u'~'))
            re += QRegularExpression::escape(QString(s[++i]));
        else if (c == u'*')
            re += QLatin1String(".*");
        else if (c == u'?')
            re += u'.';
        else
            re += QRegularExpression::escape(QString(c));
    }
    return re;
}

bool hasWildcards(const QString &s)
{
    return s.contains(u'*') || s.contains(u'?');
}

Criterion makeCriterion(const TCellValue &c)
{
    Criterion k;
    if (!c.IsText()) {
        k.value = c.IsEmpty() ? TCellValue::Number(0) : c;
        return k;
    }
    QString s = c.text;
    static const struct
    {
        const char *text;
        char op;
    } ops[] = {{"<=", 'l'}, {">=", 'g'}, {"<>", 'n'}, {"<", '<'}, {">", '>'}, {"=", '='}};
    for (const auto &o : ops)
        if (s.startsWith(QLatin1String(o.text))) {
            k.op = o.op;
            s = s.mid(qsizetype(strlen(o.text)));
            break;
        }
    if (auto n = SheetTextToNumber(s))
        k.value = TCellValue::Number(*n);
    else if (s.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
        k.value = TCellValue::Boolean(true);
    else if (s.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
        k.value = TCellValue::Boolean(false);
    else if (auto e = SheetErrorFromText(s); e != TSheetError::None)
        k.value = TCellValue::Error(e);
    else
        k.value = TCellValue::Text(s);
    if (k.value.IsText() && (k.op == '=' || k.op == 'n') && hasWildcards(s)) {
        k.pattern = true;
        k.re = QRegularExpression(QRegularExpression::anchoredPattern(wildcardPattern(s)),
                                  QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    }
    return k;
}

// Calls fn(value, i, j) for each cell of a range matching the criterion.
bool forMatches(Evaluator &e, const Operand &range, const Criterion &k, Operand &r,
                const std::function<void(int, int)> &fn)
{
    const qint64 rows = e.Rows(range), cols = e.Cols(range);
    if (rows * cols > MaxArrayCells) {
        // Big ranges: when a blank cannot match, only stored cells are looked at.
        if (k.Matches(TCellValue()) || range.k != Operand::Ref) {
            setErr(r, TSheetError::Num);
            return false;
        }
        auto &cols = SheetAccess::D(range.area.sheet).columns;
        const Area &a = range.area;
        for (auto c = cols.lower_bound(a.c1); c != cols.end() && c->first <= a.c2; ++c)
            for (auto it = c->second.lower_bound(a.r1); it != c->second.end() && it->first <= a.r2; ++it)
                if (k.Matches(e.Cell(a.sheet, it->first, c->first)))
                    fn(it->first - a.r1, c->first - a.c1);
        return true;
    }
    if (!e.Spend(rows * cols)) {
        setErr(r, TSheetError::Num);
        return false;
    }
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            if (k.Matches(e.At(range, i, j)))
                fn(i, j);
    return true;
}

void ifAggregate(Evaluator &e, Args &a, Operand &r, bool average)
{
    const Operand &sumRange = a.size() > 2 ? a[2] : a[0];
    double s = 0;
    qint64 n = 0;
    TCellValue err;
    if (!forMatches(e, a[0], makeCriterion(e.Scalar(a[1])), r, [&](int i, int j) {
            const TCellValue v = e.At(sumRange, i, j);
            if (v.IsError() && err.IsEmpty())
                err = v;
            if (v.IsNumber())
                s += v.number, ++n;
        }))
        return;
    if (err.IsError())
        return set(r, err);
    if (average)
        n ? setNum(r, s / double(n)) : setErr(r, TSheetError::DivZero);
    else
        setNum(r, s);
}
void fnSumIf(Evaluator &e, Args &a, Operand &r) { ifAggregate(e, a, r, false); }
void fnAverageIf(Evaluator &e, Args &a, Operand &r) { ifAggregate(e, a, r, true); }
void fnCountIf(Evaluator &e, Args &a, Operand &r)
{
    qint64 n = 0;
    if (forMatches(e, a[0], makeCriterion(e.Scalar(a[1])), r, [&](int, int) { ++n; }))
        setNum(r, double(n));
}

void fnSumProduct(Evaluator &e, Args &a, Operand &r)
{
    const int rows = e.Rows(a[0]), cols = e.Cols(a[0]);
    for (const Operand &o : a)
        if (e.Rows(o) != rows || e.Cols(o) != cols)
            return setErr(r, TSheetError::Value);
    if (qint64(rows) * cols > MaxArrayCells || !e.Spend(qint64(rows) * cols * qint64(a.size())))
        return setErr(r, TSheetError::Num);
    double s = 0;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) {
            double p = 1;
            for (const Operand &o : a) {
                const TCellValue v = e.At(o, i, j);
                if (v.IsError())
                    return set(r, v);
                p *= v.IsNumber() ? v.number : 0;
            }
            s += p;
        }
    setNum(r, s);
}

// ---------------------------------------------------------------- math

// Rounds to 15 significant digits first, so 2.675 (stored as 2.67499…) rounds to 2.68.
double clean(double v)
{
    return QString::number(v, 'g', 15).toDouble();
}

enum class RoundMode { Nearest, Up, Down };
double roundTo(double x, double digits, RoundMode mode)
{
    const int n = int(std::trunc(std::clamp(digits, -308.0, 308.0)));
    const double p = std::pow(10.0, std::abs(n));
    double y = n >= 0 ? clean(x * p) : clean(x / p);
    const double m = std::abs(y);
    double rounded = mode == RoundMode::Nearest ? std::floor(m + 0.5) : mode == RoundMode::Up ? std::ceil(m) : std::floor(m);
    rounded = std::copysign(rounded, y);
    return n >= 0 ? rounded / p : rounded * p;
}

template<RoundMode M>
void fnRound(Evaluator &e, Args &a, Operand &r)
{
    double x, n;
    if (num(e, a, 0, x, r) && num(e, a, 1, n, r))
        setNum(r, roundTo(x, n, M));
}

template<double (*F)(double)>
void unaryMath(Evaluator &e, Args &a, Operand &r)
{
    double x;
    if (num(e, a, 0, x, r))
        setNum(r, F(x));
}

double mInt(double x) { return std::floor(x); }
double mAbs(double x) { return std::abs(x); }
double mSign(double x) { return x > 0 ? 1 : x < 0 ? -1 : 0; }
double mExp(double x) { return std::exp(x); }

void fnTrunc(Evaluator &e, Args &a, Operand &r)
{
    double x, n;
    if (num(e, a, 0, x, r) && num(e, a, 1, n, r, 0))
        setNum(r, roundTo(x, n, RoundMode::Down));
}
void fnMod(Evaluator &e, Args &a, Operand &r)
{
    double x, d;
    if (!num(e, a, 0, x, r) || !num(e, a, 1, d, r))
        return;
    if (d == 0)
        return setErr(r, TSheetError::DivZero);
    setNum(r, x - d * std::floor(x / d));
}
void fnPower(Evaluator &e, Args &a, Operand &r)
{
    double x, y;
    if (!num(e, a, 0, x, r) || !num(e, a, 1, y, r))
        return;
    if (x == 0 && y <= 0)
        return setErr(r, y == 0 ? TSheetError::Num : TSheetError::DivZero);
    setNum(r, std::pow(x, y));
}
void fnSqrt(Evaluator &e, Args &a, Operand &r)
{
    double x;
    if (!num(e, a, 0, x, r))
        return;
    x < 0 ? setErr(r, TSheetError::Num) : setNum(r, std::sqrt(x));
}
void fnLn(Evaluator &e, Args &a, Operand &r)
{
    double x;
    if (!num(e, a, 0, x, r))
        return;
    x <= 0 ? setErr(r, TSheetError::Num) : setNum(r, std::log(x));
}
void fnLog(Evaluator &e, Args &a, Operand &r)
{
    double x, b;
    if (!num(e, a, 0, x, r) || !num(e, a, 1, b, r, 10))
        return;
    if (x <= 0 || b <= 0)
        return setErr(r, TSheetError::Num);
    if (b == 1)
        return setErr(r, TSheetError::DivZero);
    setNum(r, std::log(x) / std::log(b));
}
void fnLog10(Evaluator &e, Args &a, Operand &r)
{
    double x;
    if (!num(e, a, 0, x, r))
        return;
    x <= 0 ? setErr(r, TSheetError::Num) : setNum(r, std::log10(x));
}
void fnPi(Evaluator &, Args &, Operand &r) { setNum(r, M_PI); }
void fnRand(Evaluator &, Args &, Operand &r) { setNum(r, QRandomGenerator::global()->generateDouble()); }
void ceilFloor(Evaluator &e, Args &a, Operand &r, bool ceiling)
{
    double x, s;
    if (!num(e, a, 0, x, r) || !num(e, a, 1, s, r, x < 0 ? -1 : 1))
        return;
    if (x == 0)
        return setNum(r, 0);
    if (s == 0)
        return ceiling ? setNum(r, 0) : setErr(r, TSheetError::DivZero);
    if (x > 0 && s < 0)
        return setErr(r, TSheetError::Num);
    // With a negative step the quotient is positive again: CEILING(-2.5,-2)
    // goes away from zero to -4, FLOOR(-2.5,-2) toward it to -2.
    const double q = clean(x / s);
    const double k = ceiling ? std::ceil(q) : std::floor(q);
    setNum(r, k * s);
}
void fnCeiling(Evaluator &e, Args &a, Operand &r) { ceilFloor(e, a, r, true); }
void fnFloor(Evaluator &e, Args &a, Operand &r) { ceilFloor(e, a, r, false); }

// ---------------------------------------------------------------- logic

void andOr(Evaluator &e, Args &a, Operand &r, bool isAnd)
{
    bool any = false, result = isAnd;
    for (const Operand &o : a) {
        if (o.k == Operand::Val) {
            double d;
            TCellValue err;
            if (o.v.IsEmpty())
                continue;
            if (!ToNumber(o.v, d, err))
                return set(r, o.v.IsText() ? TCellValue::Error(TSheetError::Value) : err);
            any = true;
            result = isAnd ? result && d != 0 : result || d != 0;
            continue;
        }
        TCellValue err;
        e.ForEach(o, [&](const TCellValue &v) {
            if (v.IsError()) {
                err = v;
                return false;
            }
            if (v.IsNumber() || v.IsBoolean()) {
                any = true;
                result = isAnd ? result && v.number != 0 : result || v.number != 0;
            }
            return true;
        });
        if (err.IsError())
            return set(r, err);
    }
    any ? set(r, TCellValue::Boolean(result)) : setErr(r, TSheetError::Value);
}
void fnAnd(Evaluator &e, Args &a, Operand &r) { andOr(e, a, r, true); }
void fnOr(Evaluator &e, Args &a, Operand &r) { andOr(e, a, r, false); }
void fnNot(Evaluator &e, Args &a, Operand &r)
{
    double x;
    if (num(e, a, 0, x, r))
        set(r, TCellValue::Boolean(x == 0));
}

// ---------------------------------------------------------------- text

constexpr qsizetype MaxText = 32767;

void fnConcatenate(Evaluator &e, Args &a, Operand &r)
{
    QString s;
    for (size_t i = 0; i < a.size(); ++i) {
        QString t;
        if (!text(e, a, i, t, r))
            return;
        s += t;
        if (s.size() > MaxText)
            return setErr(r, TSheetError::Value);
    }
    set(r, TCellValue::Text(s));
}
void fnLen(Evaluator &e, Args &a, Operand &r)
{
    QString t;
    if (text(e, a, 0, t, r))
        setNum(r, double(t.size()));
}
void leftRight(Evaluator &e, Args &a, Operand &r, bool left)
{
    QString t;
    double n;
    if (!text(e, a, 0, t, r) || !num(e, a, 1, n, r, 1))
        return;
    if (n < 0)
        return setErr(r, TSheetError::Value);
    const qsizetype k = qsizetype(std::min<double>(n, double(t.size())));
    set(r, TCellValue::Text(left ? t.left(k) : t.right(k)));
}
void fnLeft(Evaluator &e, Args &a, Operand &r) { leftRight(e, a, r, true); }
void fnRight(Evaluator &e, Args &a, Operand &r) { leftRight(e, a, r, false); }
void fnMid(Evaluator &e, Args &a, Operand &r)
{
    QString t;
    double s, n;
    if (!text(e, a, 0, t, r) || !num(e, a, 1, s, r) || !num(e, a, 2, n, r))
        return;
    if (s < 1 || n < 0)
        return setErr(r, TSheetError::Value);
    if (s > double(t.size()))
        return set(r, TCellValue::Text(QString()));
    set(r, TCellValue::Text(t.mid(qsizetype(s) - 1, qsizetype(std::min<double>(n, double(t.size()))))));
}
void fnUpper(Evaluator &e, Args &a, Operand &r)
{
    QString t;
    if (text(e, a, 0, t, r))
        set(r, TCellValue::Text(t.toUpper()));
}
void fnLower(Evaluator &e, Args &a, Operand &r)
{
    QString t;
    if (text(e, a, 0, t, r))
        set(r, TCellValue::Text(t.toLower()));
}
void fnProper(Evaluator &e, Args &a, Operand &r)
{
    QString t;
    if (!text(e, a, 0, t, r))
        return;
    bool start = true;
    for (QChar &c : t) {
        c = start ? c.toUpper() : c.toLower();
        start = !c.isLetter();
    }
    set(r, TCellValue::Text(t));
}
void fnTrim(Evaluator &e, Args &a, Operand &r)
{
    QString t;
    if (!text(e, a, 0, t, r))
        return;
    // Only the space character: other white space stays, as spreadsheets do.
    QString out;
    for (QChar c : t) {
        if (c == u' ' && (out.isEmpty() || out.endsWith(u' ')))
            continue;
        out += c;
    }
    if (out.endsWith(u' '))
        out.chop(1);
    set(r, TCellValue::Text(out));
}
void fnSubstitute(Evaluator &e, Args &a, Operand &r)
{
    QString t, from, to;
    double nth;
    if (!text(e, a, 0, t, r) || !text(e, a, 1, from, r) || !text(e, a, 2, to, r) || !num(e, a, 3, nth, r, 0))
        return;
    if (from.isEmpty())
        return set(r, TCellValue::Text(t));
    if (a.size() > 3) {
        if (nth < 1)
            return setErr(r, TSheetError::Value);
        qsizetype pos = -1;
        for (int k = 0; k < int(nth); ++k) {
            pos = t.indexOf(from, pos + 1);
            if (pos < 0)
                return set(r, TCellValue::Text(t));
        }
        t.replace(pos, from.size(), to);
    } else {
        t.replace(from, to);
    }
    if (t.size() > MaxText)
        return setErr(r, TSheetError::Value);
    set(r, TCellValue::Text(t));
}
void fnReplace(Evaluator &e, Args &a, Operand &r)
{
    QString t, with;
    double s, n;
    if (!text(e, a, 0, t, r) || !num(e, a, 1, s, r) || !num(e, a, 2, n, r) || !text(e, a, 3, with, r))
        return;
    if (s < 1 || n < 0)
        return setErr(r, TSheetError::Value);
    const qsizetype start = qsizetype(std::min<double>(s - 1, double(t.size())));
    t.replace(start, qsizetype(std::min<double>(n, double(t.size()))), with);
    if (t.size() > MaxText)
        return setErr(r, TSheetError::Value);
    set(r, TCellValue::Text(t));
}
void findSearch(Evaluator &e, Args &a, Operand &r, bool search)
{
    QString what, within;
    double start;
    if (!text(e, a, 0, what, r) || !text(e, a, 1, within, r) || !num(e, a, 2, start, r, 1))
        return;
    if (start < 1 || start > double(within.size() + 1))
        return setErr(r, TSheetError::Value);
    qsizetype pos;
    if (search && hasWildcards(what)) {
        QRegularExpression re(wildcardPattern(what), QRegularExpression::CaseInsensitiveOption |
                                                         QRegularExpression::DotMatchesEverythingOption);
        pos = within.indexOf(re, qsizetype(start) - 1);
    } else {
        pos = within.indexOf(what, qsizetype(start) - 1, search ? Qt::CaseInsensitive : Qt::CaseSensitive);
    }
    pos < 0 ? setErr(r, TSheetError::Value) : setNum(r, double(pos + 1));
}
void fnFind(Evaluator &e, Args &a, Operand &r) { findSearch(e, a, r, false); }
void fnSearch(Evaluator &e, Args &a, Operand &r) { findSearch(e, a, r, true); }
void fnRept(Evaluator &e, Args &a, Operand &r)
{
    QString t;
    double n;
    if (!text(e, a, 0, t, r) || !num(e, a, 1, n, r))
        return;
    if (n < 0 || double(t.size()) * std::floor(n) > double(MaxText))
        return setErr(r, TSheetError::Value);
    set(r, TCellValue::Text(t.repeated(qsizetype(n))));
}
void fnText(Evaluator &e, Args &a, Operand &r)
{
    const TCellValue v = e.Scalar(a[0]);
    QString f;
    if (v.IsError())
        return set(r, v);
    if (!text(e, a, 1, f, r))
        return;
    TCellValue shown = v;
    double d;
    TCellValue err;
    if (v.IsText() && ToNumber(v, d, err))
        shown = TCellValue::Number(d);
    set(r, TCellValue::Text(FormatCellValue(shown, f)));
}
void fnValue(Evaluator &e, Args &a, Operand &r)
{
    const TCellValue v = e.Scalar(a[0]);
    if (v.IsError())
        return set(r, v);
    if (v.IsNumber() || v.IsEmpty())
        return setNum(r, v.number);
    if (v.IsText())
        if (auto n = SheetTextToNumber(v.text))
            return setNum(r, *n);
    setErr(r, TSheetError::Value);
}
void fnExact(Evaluator &e, Args &a, Operand &r)
{
    QString x, y;
    if (text(e, a, 0, x, r) && text(e, a, 1, y, r))
        set(r, TCellValue::Boolean(x == y));
}

// ---------------------------------------------------------------- lookup

bool lookupEqual(const TCellValue &v, const TCellValue &key, const Criterion *pattern)
{
    if (pattern)
        return pattern->Matches(v);
    return v.kind == key.kind && CompareValues(v, key) == 0;
}

// Position (0-based) of key along a line of n values; -1 when absent.
// mode 0 exact (wildcards in text), 1 largest <= key (sorted), -1 smallest >= key (sorted descending).
int lookupLine(int n, const std::function<TCellValue(int)> &at, const TCellValue &key, int mode)
{
    if (mode == 0) {
        std::optional<Criterion> pattern;
        if (key.IsText() && hasWildcards(key.text)) {
            pattern = makeCriterion(TCellValue::Text(u'=' + key.text));
        }
        for (int i = 0; i < n; ++i)
            if (lookupEqual(at(i), key, pattern ? &*pattern : nullptr))
                return i;
        return -1;
    }
    // Binary search over a sorted line, skipping values of another kind as
    // spreadsheets do for mixed columns.
    int lo = 0, hi = n - 1, found = -1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const TCellValue v = at(mid);
        int c = v.IsEmpty() ? 1 : CompareValues(v, key);
        if (mode < 0)
            c = -c;
        if (c <= 0) {
            if (v.kind == key.kind || (v.IsNumber() && key.IsNumber()))
                found = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    return found;
}

void vhLookup(Evaluator &e, Args &a, Operand &r, bool vertical)
{
    const TCellValue key = e.Scalar(a[0]);
    if (key.IsError())
        return set(r, key);
    double idx;
    if (!num(e, a, 2, idx, r))
        return;
    bool approx = true;
    if (a.size() > 3) {
        double b;
        if (!num(e, a, 3, b, r, 1))
            return;
        approx = b != 0;
    }
    const Operand &t = a[1];
    const int lines = vertical ? e.Rows(t) : e.Cols(t), width = vertical ? e.Cols(t) : e.Rows(t);
    if (idx < 1)
        return setErr(r, TSheetError::Value);
    if (idx > width)
        return setErr(r, TSheetError::Ref);
    if (!e.Spend(lines))
        return setErr(r, TSheetError::Num);
    const int hit = lookupLine(
        lines, [&](int i) { return vertical ? e.At(t, i, 0) : e.At(t, 0, i); }, key, approx ? 1 : 0);
    if (hit < 0)
        return setErr(r, TSheetError::NA);
    set(r, vertical ? e.At(t, hit, int(idx) - 1) : e.At(t, int(idx) - 1, hit));
}
void fnVLookup(Evaluator &e, Args &a, Operand &r) { vhLookup(e, a, r, true); }
void fnHLookup(Evaluator &e, Args &a, Operand &r) { vhLookup(e, a, r, false); }

void fnMatch(Evaluator &e, Args &a, Operand &r)
{
    const TCellValue key = e.Scalar(a[0]);
    if (key.IsError())
        return set(r, key);
    double mode;
    if (!num(e, a, 2, mode, r, 1))
        return;
    const Operand &t = a[1];
    const int rows = e.Rows(t), cols = e.Cols(t);
    if (rows > 1 && cols > 1)
        return setErr(r, TSheetError::NA);
    const bool vertical = cols == 1;
    if (!e.Spend(vertical ? rows : cols))
        return setErr(r, TSheetError::Num);
    const int hit = lookupLine(
        vertical ? rows : cols, [&](int i) { return vertical ? e.At(t, i, 0) : e.At(t, 0, i); }, key,
        mode > 0 ? 1 : mode < 0 ? -1 : 0);
    hit < 0 ? setErr(r, TSheetError::NA) : setNum(r, hit + 1);
}

void fnIndex(Evaluator &e, Args &a, Operand &r)
{
    double ri, ci;
    if (!num(e, a, 1, ri, r, 0) || !num(e, a, 2, ci, r, 0))
        return;
    const Operand &t = a[0];
    const int rows = e.Rows(t), cols = e.Cols(t);
    // INDEX(row-vector, n) counts along the row.
    if (a.size() < 3 && rows == 1 && cols > 1)
        std::swap(ri, ci), ci = ci == 0 ? ri : ci, ri = 0;
    if (ri < 0 || ci < 0 || ri > rows || ci > cols)
        return setErr(r, TSheetError::Ref);
    if (t.k != Operand::Ref) {
        if (ri == 0 || ci == 0) {
            if (rows == 1 || cols == 1)
                return set(r, e.At(t, std::max(0, int(ri) - 1), std::max(0, int(ci) - 1)));
            return setErr(r, TSheetError::Value);
        }
        return set(r, e.At(t, int(ri) - 1, int(ci) - 1));
    }
    // A reference stays one, so INDEX can feed SUM or ROW.
    Operand o = t;
    if (ri > 0)
        o.area.r1 = o.area.r2 = t.area.r1 + int(ri) - 1;
    if (ci > 0)
        o.area.c1 = o.area.c2 = t.area.c1 + int(ci) - 1;
    r = o;
}

void rowCol(Evaluator &e, Args &a, Operand &r, bool row)
{
    if (a.empty() || (a[0].k == Operand::Val && a[0].v.IsEmpty()))
        return setNum(r, (row ? e.row : e.col) + 1);
    if (a[0].k != Operand::Ref)
        return setErr(r, TSheetError::Value);
    setNum(r, (row ? a[0].area.r1 : a[0].area.c1) + 1);
}
void fnRow(Evaluator &e, Args &a, Operand &r) { rowCol(e, a, r, true); }
void fnColumn(Evaluator &e, Args &a, Operand &r) { rowCol(e, a, r, false); }
void fnRows(Evaluator &e, Args &a, Operand &r)
{
    if (a[0].k == Operand::Val && a[0].v.IsError())
        return set(r, a[0].v);
    setNum(r, e.Rows(a[0]));
}
void fnColumns(Evaluator &e, Args &a, Operand &r)
{
    if (a[0].k == Operand::Val && a[0].v.IsError())
        return set(r, a[0].v);
    setNum(r, e.Cols(a[0]));
}

// ---------------------------------------------------------------- information

template<bool (*P)(const TCellValue &)>
void isFn(Evaluator &e, Args &a, Operand &r)
{
    const TCellValue v = a[0].k == Operand::Ref ? e.At(a[0], 0, 0) : e.Scalar(a[0]);
    set(r, TCellValue::Boolean(P(v)));
}
bool pBlank(const TCellValue &v) { return v.IsEmpty(); }
bool pError(const TCellValue &v) { return v.IsError(); }
bool pNA(const TCellValue &v) { return v.IsError() && v.error == TSheetError::NA; }
bool pNumber(const TCellValue &v) { return v.IsNumber(); }
bool pText(const TCellValue &v) { return v.IsText(); }

void fnNA(Evaluator &, Args &, Operand &r) { setErr(r, TSheetError::NA); }
void fnErrorType(Evaluator &e, Args &a, Operand &r)
{
    const TCellValue v = e.Scalar(a[0]);
    v.IsError() ? setNum(r, int(v.error)) : setErr(r, TSheetError::NA);
}

// ---------------------------------------------------------------- dates

bool serialOk(double d)
{
    return d >= 0 && d <= MaxDateTime;
}

void fnDate(Evaluator &e, Args &a, Operand &r)
{
    double y, m, d;
    if (!num(e, a, 0, y, r) || !num(e, a, 1, m, r) || !num(e, a, 2, d, r))
        return;
    qint64 year = qint64(std::trunc(y)), month = qint64(std::trunc(m));
    if (year >= 0 && year < 1900)
        year += 1900;
    if (std::abs(month) > 120000 || std::abs(d) > 1e7)
        return setErr(r, TSheetError::Num);
    // Months and days beyond their range carry into the next unit.
    year += (month - 1 >= 0 ? (month - 1) / 12 : -((12 - month) / 12));
    month = ((month - 1) % 12 + 12) % 12 + 1;
    TDateTime first;
    if (year < 1 || year > 9999 || !TryEncodeDate(int(year), int(month), 1, first))
        return setErr(r, TSheetError::Num);
    const double v = first + std::trunc(d) - 1;
    serialOk(v) ? setNum(r, v) : setErr(r, TSheetError::Num);
}
void fnTime(Evaluator &e, Args &a, Operand &r)
{
    double h, m, s;
    if (!num(e, a, 0, h, r) || !num(e, a, 1, m, r) || !num(e, a, 2, s, r))
        return;
    const double secs = std::trunc(h) * 3600 + std::trunc(m) * 60 + std::trunc(s);
    if (secs < 0 || secs > 1e12)
        return setErr(r, TSheetError::Num);
    setNum(r, std::fmod(secs, 86400) / 86400);
}

enum class Part { Year, Month, Day, Hour, Minute, Second };
template<Part P>
void datePart(Evaluator &e, Args &a, Operand &r)
{
    double v;
    if (!num(e, a, 0, v, r))
        return;
    if (!serialOk(v))
        return setErr(r, TSheetError::Num);
    // To the nearest second, as spreadsheets read times: 58.9996 s is 59.
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(std::round(v * 86400.0) / 86400.0 + 0.1 / 86400000.0, y, mo, d, h, mi, s, ms);
    switch (P) {
    case Part::Year: return setNum(r, y);
    case Part::Month: return setNum(r, mo);
    case Part::Day: return setNum(r, d);
    case Part::Hour: return setNum(r, h);
    case Part::Minute: return setNum(r, mi);
    case Part::Second: return setNum(r, s);
    }
}
void fnWeekday(Evaluator &e, Args &a, Operand &r)
{
    double v, type;
    if (!num(e, a, 0, v, r) || !num(e, a, 1, type, r, 1))
        return;
    if (!serialOk(v))
        return setErr(r, TSheetError::Num);
    const int dow = DayOfWeek(std::floor(v)); // 1 = Sunday
    switch (int(type)) {
    case 1: return setNum(r, dow);
    case 2: return setNum(r, (dow + 5) % 7 + 1);
    case 3: return setNum(r, (dow + 5) % 7);
    }
    setErr(r, TSheetError::Num);
}
void fnToday(Evaluator &, Args &, Operand &r) { setNum(r, Date()); }
void fnNow(Evaluator &, Args &, Operand &r) { setNum(r, Now()); }
void addMonths(Evaluator &e, Args &a, Operand &r, bool endOfMonth)
{
    double v, n;
    if (!num(e, a, 0, v, r) || !num(e, a, 1, n, r))
        return;
    if (!serialOk(v) || std::abs(n) > 120000)
        return setErr(r, TSheetError::Num);
    int y, m, d;
    DecodeDate(std::floor(v), y, m, d);
    const qint64 total = qint64(y) * 12 + (m - 1) + qint64(std::trunc(n));
    const qint64 ny = total / 12, nm = total % 12 + 1;
    if (ny < 1 || ny > 9999)
        return setErr(r, TSheetError::Num);
    const int last = DaysInAMonth(int(ny), int(nm));
    const double out = EncodeDate(int(ny), int(nm), endOfMonth ? last : std::min(d, last));
    serialOk(out) ? setNum(r, out) : setErr(r, TSheetError::Num);
}
void fnEDate(Evaluator &e, Args &a, Operand &r) { addMonths(e, a, r, false); }
void fnEOMonth(Evaluator &e, Args &a, Operand &r) { addMonths(e, a, r, true); }

} // namespace

void RegisterBuiltins(TSpreadSheetFunctionsRepository &repo)
{
    using Fn = void (*)(Evaluator &, Args &, Operand &);
    auto add = [&](const char *name, int minArgs, int maxArgs, Fn fn, bool isVolatile = false, char lazy = 0) {
        auto info = std::make_shared<TSheetFunctionInfo>();
        info->name = QString::fromLatin1(name);
        info->builtin = fn;
        info->minArgs = minArgs;
        info->maxArgs = maxArgs;
        info->isVolatile = isVolatile;
        info->lazy = lazy;
        repo.Add(std::move(info));
    };
    constexpr int many = 255;
    add("SUM", 1, many, fnSum);
    add("SUMIF", 2, 3, fnSumIf);
    add("SUMPRODUCT", 1, many, fnSumProduct);
    add("PRODUCT", 1, many, fnProduct);
    add("AVERAGE", 1, many, fnAverage);
    add("AVERAGEIF", 2, 3, fnAverageIf);
    add("MIN", 1, many, fnMin);
    add("MAX", 1, many, fnMax);
    add("MEDIAN", 1, many, fnMedian);
    add("COUNT", 1, many, fnCount);
    add("COUNTA", 1, many, fnCountA);
    add("COUNTBLANK", 1, 1, fnCountBlank);
    add("COUNTIF", 2, 2, fnCountIf);
    add("ROUND", 2, 2, fnRound<RoundMode::Nearest>);
    add("ROUNDUP", 2, 2, fnRound<RoundMode::Up>);
    add("ROUNDDOWN", 2, 2, fnRound<RoundMode::Down>);
    add("INT", 1, 1, unaryMath<mInt>);
    add("TRUNC", 1, 2, fnTrunc);
    add("ABS", 1, 1, unaryMath<mAbs>);
    add("SIGN", 1, 1, unaryMath<mSign>);
    add("MOD", 2, 2, fnMod);
    add("POWER", 2, 2, fnPower);
    add("SQRT", 1, 1, fnSqrt);
    add("EXP", 1, 1, unaryMath<mExp>);
    add("LN", 1, 1, fnLn);
    add("LOG", 1, 2, fnLog);
    add("LOG10", 1, 1, fnLog10);
    add("PI", 0, 0, fnPi);
    add("RAND", 0, 0, fnRand, true);
    add("CEILING", 1, 2, fnCeiling);
    add("FLOOR", 1, 2, fnFloor);
    add("IF", 1, 3, nullptr, false, 'i');
    add("IFERROR", 2, 2, nullptr, false, 'e');
    add("IFNA", 2, 2, nullptr, false, 'n');
    add("CHOOSE", 2, many, nullptr, false, 'c');
    add("AND", 1, many, fnAnd);
    add("OR", 1, many, fnOr);
    add("NOT", 1, 1, fnNot);
    add("CONCATENATE", 1, many, fnConcatenate);
    add("LEN", 1, 1, fnLen);
    add("LEFT", 1, 2, fnLeft);
    add("RIGHT", 1, 2, fnRight);
    add("MID", 3, 3, fnMid);
    add("UPPER", 1, 1, fnUpper);
    add("LOWER", 1, 1, fnLower);
    add("PROPER", 1, 1, fnProper);
    add("TRIM", 1, 1, fnTrim);
    add("SUBSTITUTE", 3, 4, fnSubstitute);
    add("REPLACE", 4, 4, fnReplace);
    add("FIND", 2, 3, fnFind);
    add("SEARCH", 2, 3, fnSearch);
    add("REPT", 2, 2, fnRept);
    add("TEXT", 2, 2, fnText);
    add("VALUE", 1, 1, fnValue);
    add("EXACT", 2, 2, fnExact);
    add("VLOOKUP", 3, 4, fnVLookup);
    add("HLOOKUP", 3, 4, fnHLookup);
    add("INDEX", 2, 3, fnIndex);
    add("MATCH", 2, 3, fnMatch);
    add("ROW", 0, 1, fnRow);
    add("ROWS", 1, 1, fnRows);
    add("COLUMN", 0, 1, fnColumn);
    add("COLUMNS", 1, 1, fnColumns);
    add("ISBLANK", 1, 1, isFn<pBlank>);
    add("ISERROR", 1, 1, isFn<pError>);
    add("ISNA", 1, 1, isFn<pNA>);
    add("ISNUMBER", 1, 1, isFn<pNumber>);
    add("ISTEXT", 1, 1, isFn<pText>);
    add("NA", 0, 0, fnNA);
    add("ERROR.TYPE", 1, 1, fnErrorType);
    add("DATE", 3, 3, fnDate);
    add("TIME", 3, 3, fnTime);
    add("YEAR", 1, 1, datePart<Part::Year>);
    add("MONTH", 1, 1, datePart<Part::Month>);
    add("DAY", 1, 1, datePart<Part::Day>);
    add("HOUR", 1, 1, datePart<Part::Hour>);
    add("MINUTE", 1, 1, datePart<Part::Minute>);
    add("SECOND", 1, 1, datePart<Part::Second>);
    add("WEEKDAY", 1, 2, fnWeekday);
    add("TODAY", 0, 0, fnToday, true);
    add("NOW", 0, 0, fnNow, true);
    add("EDATE", 2, 2, fnEDate);
    add("EOMONTH", 2, 2, fnEOMonth);
}

} // namespace zor::sheet_detail
