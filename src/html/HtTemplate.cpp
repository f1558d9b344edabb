#include "HtTemplate.h"

#include "HtmlEntities.h"

#include <QReadWriteLock>

#include <vector>

namespace zor {
namespace {

struct FunctionRegistry
{
    QReadWriteLock Lock;
    QHash<QString, THtTemplateFunction> Functions; // by lower-cased name
};

FunctionRegistry &registry()
{
    static FunctionRegistry r;
    return r;
}

THtTemplateFunction findFunction(const QString &lowerName)
{
    FunctionRegistry &r = registry();
    QReadLocker lock(&r.Lock);
    return r.Functions.value(lowerName);
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Copies the runs between special characters in one piece: most values
// have none, and appending character by character costs more than the
// template's own work.
void appendEscaped(QString &out, const QString &text)
{
    const QChar *p = text.constData();
    const QChar *const end = p + text.size();
    const QChar *run = p;
    for (; p < end; ++p) {
        const char16_t c = p->unicode();
        // everything the switch below handles lies at or under '>'
        if (c > u'>')
            continue;
        QStringView entity;
        switch (c) {
        case u'&': entity = u"&amp;"; break;
        case u'<': entity = u"&lt;"; break;
        case u'>': entity = u"&gt;"; break;
        case u'"': entity = u"&quot;"; break;
        case u'\'': entity = u"&#39;"; break;
        default: continue;
        }
        out.append(run, p - run);
        out += entity;
        run = p + 1;
    }
    out.append(run, end - run);
}

enum class OpKind { Text, Var, RawVar, Section, Inverted, End };

struct Op
{
    OpKind Kind;
    qsizetype Begin = 0, End = 0; // text span; for tags the tag's position
    QString Name;                 // as written
    QStringList Path;             // dotted name split; {"."} for the context itself
    QString LowerFirst;           // Path[0] lower-cased, for variables and functions
    int Jump = -1;                // Section/Inverted: its End; End: its section
};

struct Value
{
    bool Found = false;
    THtXMLNode *Node = nullptr;
    Variant Scalar;
};

bool truthy(const Variant &v)
{
    if (v.IsEmpty() || v.IsNull())
        return false;
    if (v.Type() == varBoolean)
        return VarToBool(v);
    if (VarIsStr(v))
        return !VarToStr(v).isEmpty();
    if (VarIsNumeric(v))
        return VarToDouble(v) != 0.0;
    return true;
}

bool isListNode(const THtXMLNode *n)
{
    return n->IsList() || n->Name().compare(u"DATAPACKET", Qt::CaseInsensitive) == 0;
}

} // namespace

class THtTemplate::Private
{
public:
    QString Source;
    std::vector<Op> Ops;
    QHash<QString, Variant> Variables;         // by lower-cased name
    QHash<QString, THtXMLNode *> NodeVariables; // by lower-cased name
    qsizetype MaxOutput = qsizetype(256) << 20;

    QString position(qsizetype pos) const
    {
        int line = 1, col = 1;
        for (qsizetype i = 0; i < pos && i < Source.size(); ++i) {
            if (Source[i] == u'\n') {
                ++line;
                col = 1;
            } else {
                ++col;
            }
        }
        return QStringLiteral("%1:%2").arg(line).arg(col);
    }
    [[noreturn]] void fail(const QString &what, qsizetype pos) const
    {
        throw EHtTemplateError(QStringLiteral("%1 at %2").arg(what, position(pos)));
    }
    void compile(const QString &text);
};

void THtTemplate::Private::compile(const QString &text)
{
    Source = text;
    Ops.clear();
    const QStringView s(Source);
    const qsizetype n = s.size();
    std::vector<int> open;
    qsizetype textStart = 0, pos = 0;
    auto addText = [this](qsizetype b, qsizetype e) {
        if (e > b)
            Ops.push_back({OpKind::Text, b, e, {}, {}, {}, -1});
    };
    while (true) {
        const qsizetype tag = s.indexOf(u"{{", pos);
        if (tag < 0)
            break;
        const bool triple = tag + 2 < n && s[tag + 2] == u'{';
        const QStringView close = triple ? QStringView(u"}}}") : QStringView(u"}}");
        const qsizetype contentBegin = tag + (triple ? 3 : 2);
        const qsizetype closeAt = s.indexOf(close, contentBegin);
        if (closeAt < 0)
            fail(QStringLiteral("Unclosed tag"), tag);
        qsizetype tagEnd = closeAt + close.size();
        QStringView content = s.sliced(contentBegin, closeAt - contentBegin).trimmed();
        QChar sigil = triple ? QChar(u'{') : (content.isEmpty() ? QChar() : content[0]);
        if (!triple && QStringView(u"#^/!&>=").contains(sigil))
            content = content.sliced(1).trimmed();
        else if (!triple)
            sigil = QChar();
        if (sigil == u'>' || sigil == u'=')
            fail(QStringLiteral("Unsupported tag \"%1\"").arg(s.sliced(tag, tagEnd - tag)), tag);

        // A section, end or comment tag alone on its line takes the line.
        qsizetype textEnd = tag;
        if (sigil == u'#' || sigil == u'^' || sigil == u'/' || sigil == u'!') {
            qsizetype lineStart = tag;
            while (lineStart > 0 && isBlank(s[lineStart - 1]))
                --lineStart;
            qsizetype lineEnd = tagEnd;
            while (lineEnd < n && isBlank(s[lineEnd]))
                ++lineEnd;
            const bool startOk = lineStart == 0 || s[lineStart - 1] == u'\n';
            const bool endOk = lineEnd == n || s[lineEnd] == u'\n'
                               || (s[lineEnd] == u'\r' && lineEnd + 1 < n && s[lineEnd + 1] == u'\n');
            if (startOk && endOk && lineStart >= textStart) {
                textEnd = lineStart;
                tagEnd = lineEnd == n ? n : lineEnd + (s[lineEnd] == u'\r' ? 2 : 1);
            }
        }
        addText(textStart, textEnd);
        textStart = pos = tagEnd;
        if (sigil == u'!')
            continue;
        if (content.isEmpty())
            fail(QStringLiteral("Empty tag"), tag);

        Op op;
        op.Begin = tag;
        op.End = tagEnd;
        op.Name = content.toString();
        op.Path = content == u"." ? QStringList{QStringLiteral(".")} : op.Name.split(u'.');
        op.LowerFirst = op.Path.first().toLower();
        if (sigil == u'#' || sigil == u'^') {
            op.Kind = sigil == u'#' ? OpKind::Section : OpKind::Inverted;
            open.push_back(int(Ops.size()));
        } else if (sigil == u'/') {
            if (open.empty())
                fail(QStringLiteral("Section end \"%1\" without its start").arg(op.Name), tag);
            Op &start = Ops[size_t(open.back())];
            if (start.Name.compare(op.Name, Qt::CaseInsensitive) != 0)
                fail(QStringLiteral("Section \"%1\" ended by \"%2\"").arg(start.Name, op.Name), tag);
            op.Kind = OpKind::End;
            op.Jump = open.back();
            start.Jump = int(Ops.size());
            open.pop_back();
        } else {
            op.Kind = sigil.isNull() ? OpKind::Var : OpKind::RawVar;
        }
        Ops.push_back(std::move(op));
    }
    addText(textStart, n);
    if (!open.empty())
        fail(QStringLiteral("Unclosed section \"%1\"").arg(Ops[size_t(open.back())].Name),
             Ops[size_t(open.back())].Begin);
}

void RegisterHtTemplateFunction(const QString &name, THtTemplateFunction function)
{
    FunctionRegistry &r = registry();
    QWriteLocker lock(&r.Lock);
    if (function)
        r.Functions.insert(name.toLower(), std::move(function));
    else
        r.Functions.remove(name.toLower());
}

THtTemplate::THtTemplate() : d(std::make_unique<Private>()) {}

THtTemplate::~THtTemplate() = default;

void THtTemplate::Compile(const QString &text)
{
    d->compile(text);
}

const QString &THtTemplate::Text() const
{
    return d->Source;
}

void THtTemplate::SetVariable(const QString &name, const Variant &value)
{
    d->NodeVariables.remove(name.toLower());
    d->Variables.insert(name.toLower(), value);
}

void THtTemplate::SetVariable(const QString &name, THtXMLNode *node)
{
    d->Variables.remove(name.toLower());
    d->NodeVariables.insert(name.toLower(), node);
}

void THtTemplate::ClearVariables()
{
    d->Variables.clear();
    d->NodeVariables.clear();
}

QString THtTemplate::Render(const QString &text, THtXMLNode *context)
{
    Compile(text);
    return Render(context);
}

qsizetype THtTemplate::MaxOutputSize() const
{
    return d->MaxOutput;
}

void THtTemplate::SetMaxOutputSize(qsizetype characters)
{
    d->MaxOutput = qMax<qsizetype>(0, characters);
}

QString THtTemplate::Render(THtXMLNode *context)
{
    struct Ctx
    {
        THtXMLNode *Node;
        Variant Scalar;
        int PrevNode; // the nearest entry below with a node: lookups skip scalars
    };
    struct Frame
    {
        int Section;
        THtXMLNode *List = nullptr; // iterated list
        int Index = 0, Count = 1;
        bool Pushed = false;
        THtTemplateFunction Function;
        qsizetype Mark = 0;
    };
    std::vector<Ctx> stack;
    auto push = [&stack](THtXMLNode *node, const Variant &scalar) {
        int prev = -1;
        if (!stack.empty())
            prev = stack.back().Node ? int(stack.size()) - 1 : stack.back().PrevNode;
        stack.push_back({node, scalar, prev});
    };
    if (!context)
        context = d->NodeVariables.value(QStringLiteral("."));
    if (context)
        push(context, {});
    std::vector<Frame> frames;

    auto lookIn = [](THtXMLNode *node, const QString &name, Value &v) {
        if (const Variant *a = node->FindAttribute(name)) {
            v = {true, nullptr, *a};
            return true;
        }
        if (THtXMLNode *child = node->FindChild(name)) {
            v = {true, child, {}};
            return true;
        }
        return false;
    };
    auto resolve = [&](const Op &op) -> Value {
        Value v;
        if (op.Path.size() == 1 && op.Path[0] == u".") {
            if (!stack.empty())
                v = {true, stack.back().Node, stack.back().Scalar};
            return v;
        }
        bool found = false;
        int i = stack.empty() ? -1 : (stack.back().Node ? int(stack.size()) - 1 : stack.back().PrevNode);
        for (; i >= 0 && !found; i = stack[size_t(i)].PrevNode)
            found = lookIn(stack[size_t(i)].Node, op.Path[0], v);
        if (!found) {
            const auto var = d->Variables.constFind(op.LowerFirst);
            if (var != d->Variables.cend()) {
                v = {true, nullptr, *var};
                found = true;
            } else if (THtXMLNode *node = d->NodeVariables.value(op.LowerFirst)) {
                v = {true, node, {}};
                found = true;
            }
        }
        if (!found && OnGetTemplateVar) {
            Variant value;
            if (OnGetTemplateVar(op.Name, value))
                return {true, nullptr, value};
        }
        for (qsizetype i = 1; found && i < op.Path.size(); ++i) {
            THtXMLNode *node = v.Node;
            found = node && lookIn(node, op.Path[i], v);
        }
        return found ? v : Value{};
    };
    auto enter = [&](Frame &f, const Op &op) {
        if (f.List) {
            THtXMLNode *item = f.List->Item(f.Index);
            push(item, item ? Variant() : Variant::Null());
            f.Pushed = true;
            if (OnSection)
                OnSection(op.Name, f.Index, item);
        }
    };

    QString out;
    out.reserve(d->Source.size() * 2);
    const QStringView src(d->Source);
    const auto &ops = d->Ops;
    size_t ip = 0;
    while (ip < ops.size()) {
        // Each step appends at most one piece, so checking here bounds the
        // output to the limit plus that piece.
        if (out.size() > d->MaxOutput)
            throw EHtTemplateError(QStringLiteral("Template output exceeds %1 characters at %2")
                                       .arg(d->MaxOutput)
                                       .arg(d->position(ops[ip].Begin)));
        const Op &op = ops[ip];
        switch (op.Kind) {
        case OpKind::Text:
            out += src.sliced(op.Begin, op.End - op.Begin);
            ++ip;
            break;
        case OpKind::Var:
        case OpKind::RawVar: {
            const Value v = resolve(op);
            if (v.Found) {
                const QString text = VarToStr(v.Node ? v.Node->Value() : v.Scalar);
                if (op.Kind == OpKind::Var)
                    appendEscaped(out, text);
                else
                    out += text;
            }
            ++ip;
            break;
        }
        case OpKind::Section: {
            Frame f;
            f.Section = int(ip);
            if (THtTemplateFunction fn = findFunction(op.LowerFirst)) {
                f.Function = std::move(fn);
                f.Mark = out.size();
                frames.push_back(std::move(f));
                ++ip;
                break;
            }
            const Value v = resolve(op);
            if (v.Node && isListNode(v.Node)) {
                f.List = v.Node;
                f.Count = v.Node->ItemCount();
                if (f.Count <= 0) {
                    v.Node->SectionEnd();
                    ip = size_t(op.Jump) + 1;
                    break;
                }
                enter(f, op);
            } else if (v.Node || (v.Found && truthy(v.Scalar))) {
                push(v.Node, v.Scalar);
                f.Pushed = true;
                if (OnSection)
                    OnSection(op.Name, 0, v.Node);
            } else {
                ip = size_t(op.Jump) + 1;
                break;
            }
            frames.push_back(std::move(f));
            ++ip;
            break;
        }
        case OpKind::Inverted: {
            const Value v = resolve(op);
            const bool isTrue = v.Node ? (!isListNode(v.Node) || v.Node->ItemCount() > 0)
                                       : (v.Found && truthy(v.Scalar));
            if (isTrue) {
                ip = size_t(op.Jump) + 1;
            } else {
                Frame f;
                f.Section = int(ip);
                frames.push_back(std::move(f));
                ++ip;
            }
            break;
        }
        case OpKind::End: {
            Frame &f = frames.back();
            if (f.Function) {
                const QString content = out.sliced(f.Mark);
                out.truncate(f.Mark);
                THtTemplateFunction fn = std::move(f.Function);
                frames.pop_back();
                out += fn(*this, content);
                ++ip;
                break;
            }
            if (f.Pushed) {
                stack.pop_back();
                f.Pushed = false;
            }
            if (++f.Index < f.Count) {
                enter(f, ops[size_t(f.Section)]);
                ip = size_t(f.Section) + 1;
                break;
            }
            if (f.List)
                f.List->SectionEnd();
            frames.pop_back();
            ++ip;
            break;
        }
        }
    }
    return out;
}

} // namespace zor
