// Formula evaluation: operators with spreadsheet coercion, references,
// arrays, and calls into the function repository.
#include "Book_p.h"

#include <ZorCompCore/platform/Exception.h>

#include <QMutex>
#include <cmath>
#include <exception>

namespace zor::sheet_detail {

bool ToNumber(const TCellValue &v, double &out, TCellValue &err)
{
    switch (v.kind) {
    case TCellKind::Empty: out = 0; return true;
    case TCellKind::Number:
    case TCellKind::Boolean: out = v.number; return true;
    case TCellKind::Text:
        if (auto n = SheetTextToNumber(v.text)) {
            out = *n;
            return true;
        }
        err = TCellValue::Error(TSheetError::Value);
        return false;
    case TCellKind::Error: err = v; return false;
    }
    return false;
}

QString ToText(const TCellValue &v)
{
    return v.ToString();
}

int CompareValues(const TCellValue &a, const TCellValue &b)
{
    auto rank = [](const TCellValue &v) {
        switch (v.kind) {
        case TCellKind::Number: return 0;
        case TCellKind::Text: return 1;
        case TCellKind::Boolean: return 2;
        default: return 3;
        }
    };
    // Empty takes the other side's kind: 0, "" or FALSE.
    TCellValue x = a, y = b;
    if (x.IsEmpty() && y.IsEmpty())
        return 0;
    if (x.IsEmpty())
        x = y.IsText() ? TCellValue::Text(QString()) : y.IsBoolean() ? TCellValue::Boolean(false) : TCellValue::Number(0);
    if (y.IsEmpty())
        y = x.IsText() ? TCellValue::Text(QString()) : x.IsBoolean() ? TCellValue::Boolean(false) : TCellValue::Number(0);
    const int rx = rank(x), ry = rank(y);
    if (rx != ry)
        return rx < ry ? -1 : 1;
    if (x.IsText()) {
        const int c = x.text.compare(y.text, Qt::CaseInsensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    return x.number < y.number ? -1 : x.number > y.number ? 1 : 0;
}

TCellValue Evaluator::Run(const FormulaCode &c)
{
    code = &c;
    try {
        Operand o = Eval(c.root);
        TCellValue v = Scalar(o);
        // A formula that shows a bare empty reference shows 0. An
        // application's function may answer "nothing" (a script's null): a
        // formula that is just its call leaves the cell empty.
        const FNode &root = c.nodes[size_t(c.root)];
        if (v.IsEmpty() && !(root.kind == FNode::Call && root.fn && root.fn->evaluator))
            v = TCellValue::Number(0);
        return v;
    } catch (const Exception &e) {
        return TCellValue::Error(TSheetError::Value, e.Message());
    } catch (const std::exception &e) {
        return TCellValue::Error(TSheetError::Value, QString::fromLocal8Bit(e.what()));
    }
}

TCellValue Evaluator::Cell(TSheet *s, int r, int c)
{
    const sheet_detail::Cell *cell = SheetAccess::D(s).Find(r, c);
    if (!cell)
        return TCellValue();
    if (cell->state != CellState::Clean && need)
        need->push_back(CellKey(SheetAccess::Id(s), r, c));
    return cell->value;
}

TCellValue Evaluator::Scalar(const Operand &o)
{
    switch (o.k) {
    case Operand::Val: return o.v;
    case Operand::Arr: return o.arr && !o.arr->empty() ? o.arr->front() : TCellValue();
    case Operand::Ref: break;
    }
    const Area &a = o.area;
    if (!a.sheet)
        return TCellValue::Error(TSheetError::Ref);
    if (a.r1 == a.r2 && a.c1 == a.c2)
        return Cell(a.sheet, a.r1, a.c1);
    // A range where one value is wanted: the cell in the formula's row or column.
    if (a.c1 == a.c2 && row >= a.r1 && row <= a.r2)
        return Cell(a.sheet, row, a.c1);
    if (a.r1 == a.r2 && col >= a.c1 && col <= a.c2)
        return Cell(a.sheet, a.r1, col);
    return TCellValue::Error(TSheetError::Value);
}

TCellValue Evaluator::At(const Operand &o, int i, int j)
{
    switch (o.k) {
    case Operand::Val: return o.v;
    case Operand::Arr:
        if (o.rows == 1)
            i = 0;
        if (o.cols == 1)
            j = 0;
        if (i < o.rows && j < o.cols)
            return (*o.arr)[size_t(i) * size_t(o.cols) + size_t(j)];
        return TCellValue::Error(TSheetError::NA);
    case Operand::Ref: break;
    }
    const Area &a = o.area;
    if (!a.sheet)
        return TCellValue::Error(TSheetError::Ref);
    if (a.Rows() == 1)
        i = 0;
    if (a.Cols() == 1)
        j = 0;
    if (i >= a.Rows() || j >= a.Cols())
        return TCellValue::Error(TSheetError::NA);
    return Cell(a.sheet, a.r1 + i, a.c1 + j);
}

void Evaluator::ForEach(const Operand &o, const std::function<bool(const TCellValue &)> &fn)
{
    if (o.k == Operand::Val) {
        fn(o.v);
        return;
    }
    if (o.k == Operand::Arr) {
        for (const TCellValue &v : *o.arr)
            if (!v.IsEmpty() && !fn(v))
                return;
        return;
    }
    const Area &a = o.area;
    if (!a.sheet) {
        fn(TCellValue::Error(TSheetError::Ref));
        return;
    }
    // Only the cells that exist: a whole column costs what it holds.
    auto &cols = SheetAccess::D(a.sheet).columns;
    for (auto c = cols.lower_bound(a.c1); c != cols.end() && c->first <= a.c2; ++c)
        for (auto r = c->second.lower_bound(a.r1); r != c->second.end() && r->first <= a.r2; ++r) {
            if (r->second.state != CellState::Clean && need)
                need->push_back(CellKey(SheetAccess::Id(a.sheet), r->first, c->first));
            if (!r->second.value.IsEmpty() && !fn(r->second.value))
                return;
        }
}

Operand Evaluator::resolveRef(const FNode &n)
{
    Operand o;
    o.k = Operand::Ref;
    TSheet *s = n.hasSheet ? book->SheetByName(n.str) : sheet;
    if (!s)
        return Operand::Value(TCellValue::Error(TSheetError::Ref, QStringLiteral("No sheet named %1").arg(n.str)));
    auto abs = [&](const RefPart &p, int &r, int &c) {
        r = p.rowAbs ? p.row : p.row + row;
        c = p.colAbs ? p.col : p.col + col;
    };
    int r1, c1, r2, c2;
    abs(n.a, r1, c1);
    if (n.kind == FNode::Ref) {
        r2 = r1, c2 = c1;
    } else {
        abs(n.b, r2, c2);
        if (n.area == AreaKind::Columns)
            r1 = 0, r2 = MaxRows - 1;
        if (n.area == AreaKind::Rows)
            c1 = 0, c2 = MaxCols - 1;
    }
    if (r1 > r2)
        std::swap(r1, r2);
    if (c1 > c2)
        std::swap(c1, c2);
    if (r1 < 0 || c1 < 0 || r2 >= MaxRows || c2 >= MaxCols)
        return Operand::Value(TCellValue::Error(TSheetError::Ref));
    o.area = Area{s, r1, c1, r2, c2};
    return o;
}

namespace {

TCellValue arith(char op, const TCellValue &a, const TCellValue &b)
{
    if (a.IsError())
        return a;
    if (b.IsError())
        return b;
    if (op == '&')
        return TCellValue::Text(ToText(a) + ToText(b));
    if (QByteArrayView("=<>lgn").contains(op)) {
        const int c = CompareValues(a, b);
        bool r = false;
        switch (op) {
        case '=': r = c == 0; break;
        case '<': r = c < 0; break;
        case '>': r = c > 0; break;
        case 'l': r = c <= 0; break;
        case 'g': r = c >= 0; break;
        case 'n': r = c != 0; break;
        }
        return TCellValue::Boolean(r);
    }
    double x, y;
    TCellValue err;
    if (!ToNumber(a, x, err) || !ToNumber(b, y, err))
        return err;
    switch (op) {
    case '+': return TCellValue::Number(x + y);
    case '-': return TCellValue::Number(x - y);
    case '*': return TCellValue::Number(x * y);
    case '/':
        if (y == 0)
            return TCellValue::Error(TSheetError::DivZero);
        return TCellValue::Number(x / y);
    case '^':
        if (x == 0 && y == 0)
            return TCellValue::Error(TSheetError::Num);
        if (x == 0 && y < 0)
            return TCellValue::Error(TSheetError::DivZero);
        return TCellValue::Number(std::pow(x, y)); // NaN (negative root) becomes #NUM!
    }
    return TCellValue::Error(TSheetError::Value);
}

} // namespace

Operand Evaluator::binary(char op, const Operand &a, const Operand &b)
{
    if (a.IsSingle() && b.IsSingle())
        return Operand::Value(arith(op, Scalar(a), Scalar(b)));
    // Element by element; a single value or a single row/column is repeated.
    const qint64 rows = std::max(Rows(a), Rows(b)), cols = std::max(Cols(a), Cols(b));
    if (rows * cols > MaxArrayCells || !Spend(rows * cols))
        return Operand::Value(TCellValue::Error(TSheetError::Num, QStringLiteral("Array too large")));
    // A range is read once, only where cells exist, rather than cell by cell.
    auto flat = [&](const Operand &o) {
        if (o.k != Operand::Ref || o.IsSingle() || !o.area.sheet)
            return o;
        const Area &a = o.area;
        Operand m;
        m.k = Operand::Arr;
        m.rows = a.Rows();
        m.cols = a.Cols();
        m.arr = std::make_shared<std::vector<TCellValue>>(size_t(m.rows) * size_t(m.cols));
        auto &cols = SheetAccess::D(a.sheet).columns;
        for (auto c = cols.lower_bound(a.c1); c != cols.end() && c->first <= a.c2; ++c)
            for (auto it = c->second.lower_bound(a.r1); it != c->second.end() && it->first <= a.r2; ++it) {
                if (it->second.state != CellState::Clean && need)
                    need->push_back(CellKey(SheetAccess::Id(a.sheet), it->first, c->first));
                (*m.arr)[size_t(it->first - a.r1) * size_t(m.cols) + size_t(c->first - a.c1)] = it->second.value;
            }
        return m;
    };
    const Operand fa = flat(a), fb = flat(b);
    Operand r;
    r.k = Operand::Arr;
    r.rows = int(rows);
    r.cols = int(cols);
    r.arr = std::make_shared<std::vector<TCellValue>>();
    r.arr->reserve(size_t(rows * cols));
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            r.arr->push_back(arith(op, At(fa, i, j), At(fb, i, j)));
    return r;
}

Operand Evaluator::Eval(int node)
{
    const FNode &n = code->nodes[size_t(node)];
    switch (n.kind) {
    case FNode::Num: return Operand::Value(TCellValue::Number(n.num));
    case FNode::Str: return Operand::Value(TCellValue::Text(n.str));
    case FNode::Bool: return Operand::Value(TCellValue::Boolean(n.num != 0));
    case FNode::Err: return Operand::Value(TCellValue::Error(n.err));
    case FNode::Missing: return Operand::Value(TCellValue());
    case FNode::Name:
        return Operand::Value(TCellValue::Error(TSheetError::Name, QStringLiteral("Unknown name %1").arg(n.str)));
    case FNode::Ref:
    case FNode::Area: return resolveRef(n);
    case FNode::Unary: {
        Operand o = Eval(n.kids[0]);
        if (n.op == '(')
            return o;
        if (n.op == '+')
            return o;
        return binary('-', Operand::Value(TCellValue::Number(0)), o);
    }
    case FNode::Percent:
        return binary('/', Eval(n.kids[0]), Operand::Value(TCellValue::Number(100)));
    case FNode::Binary: {
        Operand a = Eval(n.kids[0]);
        Operand b = Eval(n.kids[1]);
        return binary(n.op, a, b);
    }
    case FNode::Call: return call(n);
    }
    return Operand::Value(TCellValue::Error(TSheetError::Value));
}

Operand Evaluator::call(const FNode &n)
{
    const TSheetFunctionInfo *fn = n.fn.get();
    if (!fn)
        return Operand::Value(TCellValue::Error(TSheetError::Name, QStringLiteral("Unknown function %1").arg(n.str)));
    const int argc = int(n.kids.size());
    if (argc < fn->minArgs || argc > fn->maxArgs)
        return Operand::Value(TCellValue::Error(TSheetError::Value, QStringLiteral("Wrong number of arguments")));
    if (fn->lazy) {
        // Only the branch taken is evaluated (and only its cells are waited for).
        TCellValue first = Scalar(Eval(n.kids[0]));
        switch (fn->lazy) {
        case 'i': {
            if (first.IsError())
                return Operand::Value(first);
            double c;
            TCellValue err;
            if (!ToNumber(first, c, err))
                return Operand::Value(err);
            if (c != 0)
                return argc > 1 ? Eval(n.kids[1]) : Operand::Value(TCellValue::Boolean(true));
            return argc > 2 ? Eval(n.kids[2]) : Operand::Value(TCellValue::Boolean(false));
        }
        case 'e':
            return first.IsError() ? Eval(n.kids[1]) : Operand::Value(first);
        case 'n':
            return first.IsError() && first.error == TSheetError::NA ? Eval(n.kids[1]) : Operand::Value(first);
        case 'c': {
            double k;
            TCellValue err;
            if (!ToNumber(first, k, err))
                return Operand::Value(err);
            const int i = int(k);
            if (i < 1 || i >= argc)
                return Operand::Value(TCellValue::Error(TSheetError::Value));
            return Eval(n.kids[size_t(i)]);
        }
        }
    }
    std::vector<Operand> args;
    args.reserve(n.kids.size());
    for (int k : n.kids)
        args.push_back(Eval(k));
    Operand result;
    if (fn->builtin) {
        fn->builtin(*this, args, result);
        return result;
    }
    // An application's function: value arguments arrive dereferenced, an
    // error among them is the answer.
    for (size_t i = 0; i < args.size(); ++i) {
        const TSheetParamKind kind =
            fn->kinds.isEmpty() ? TSheetParamKind::Value : fn->kinds.value(qsizetype(i), fn->kinds.last());
        if (kind == TSheetParamKind::Value) {
            TCellValue v = Scalar(args[i]);
            if (v.IsError())
                return Operand::Value(v);
            args[i] = Operand::Value(v);
        }
    }
    result = Operand::Value(TCellValue::Error(TSheetError::Value, QStringLiteral("No value")));
    TSheetFunctionContext ctx(*this, args, result);
    if (fn->evaluator)
        fn->evaluator(ctx);
    return result;
}

} // namespace zor::sheet_detail

namespace zor {

using namespace sheet_detail;

TSheetFunctionContext::TSheetFunctionContext(Evaluator &e, std::vector<Operand> &args, Operand &result)
    : e_(e), args_(args), result_(result)
{
}

int TSheetFunctionContext::GetParamsCount() const { return int(args_.size()); }

TCellValue TSheetFunctionContext::ExtractParameter(int index) const
{
    if (index < 0 || index >= GetParamsCount())
        return TCellValue();
    const Operand &o = args_[size_t(index)];
    return o.k == Operand::Ref ? e_.At(o, 0, 0) : e_.Scalar(o);
}

QString TSheetFunctionContext::ExtractStringParameter(int index) const
{
    return ToText(ExtractParameter(index));
}

double TSheetFunctionContext::ExtractNumericParameterDef(int index, double ADefault) const
{
    const TCellValue v = ExtractParameter(index);
    if (v.IsEmpty())
        return ADefault;
    double d;
    TCellValue err;
    return ToNumber(v, d, err) ? d : 0;
}

void TSheetFunctionContext::AddValue(const TCellValue &value) { result_ = Operand::Value(value); }

void TSheetFunctionContext::SetError(int code, const QString &message)
{
    result_ = Operand::Value(TCellValue::Error(code >= 1 && code <= 7 ? TSheetError(code) : TSheetError::Value, message));
}

QObject *TSheetFunctionContext::Owner() const { return e_.book ? e_.book->Owner() : nullptr; }
TSheet *TSheetFunctionContext::Sheet() const { return e_.sheet; }
int TSheetFunctionContext::Row() const { return e_.row; }
int TSheetFunctionContext::Col() const { return e_.col; }

// ---------------------------------------------------------------- repository

struct TSpreadSheetFunctionsRepository::Private
{
    mutable QMutex lock;
    QHash<QString, std::shared_ptr<const TSheetFunctionInfo>> functions;
};

TSpreadSheetFunctionsRepository::TSpreadSheetFunctionsRepository() : d(new Private)
{
    RegisterBuiltins(*this);
}

TSpreadSheetFunctionsRepository::~TSpreadSheetFunctionsRepository() = default;

void TSpreadSheetFunctionsRepository::Add(const QString &name, const QList<TSheetParamKind> &kinds,
                                          TSheetFunctionEvaluator evaluator, bool isVolatile)
{
    auto info = std::make_shared<TSheetFunctionInfo>();
    info->name = name.toUpper();
    info->kinds = kinds;
    info->evaluator = std::move(evaluator);
    info->isVolatile = isVolatile;
    const QString key = info->name;
    QMutexLocker l(&d->lock);
    d->functions.insert(key, std::move(info));
}

void TSpreadSheetFunctionsRepository::Add(std::shared_ptr<const TSheetFunctionInfo> info)
{
    const QString key = info->name.toUpper();
    QMutexLocker l(&d->lock);
    d->functions.insert(key, std::move(info));
}

bool TSpreadSheetFunctionsRepository::Remove(const QString &name)
{
    QMutexLocker l(&d->lock);
    return d->functions.remove(name.toUpper()) > 0;
}

std::shared_ptr<const TSheetFunctionInfo> TSpreadSheetFunctionsRepository::Find(const QString &name) const
{
    QMutexLocker l(&d->lock);
    return d->functions.value(name.toUpper());
}

QStringList TSpreadSheetFunctionsRepository::Names() const
{
    QMutexLocker l(&d->lock);
    QStringList r = d->functions.keys();
    r.sort();
    return r;
}

TSpreadSheetFunctionsRepository &SpreadSheetFunctionsRepository()
{
    static TSpreadSheetFunctionsRepository repo;
    return repo;
}

} // namespace zor
