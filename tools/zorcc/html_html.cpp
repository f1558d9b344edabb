// zorcc html: the HTML node tree from the command line.
//   roundtrip FILE       parse and write back (exit 1 if anything changed)
//   tree FILE [--json]   the tree as the parser built it
//   css FILE CLASS VALUE [--json]   a value of a class of the page's style sheet
//   template TEMPLATE --data FILE.json   a Mustache template filled from JSON
// FILE "-" or none reads stdin; text is UTF-8.
#include "Command.h"
#include "html_web.h"

#include <ZorCompCore/html/HtReportDocument.h>
#include <ZorCompCore/html/HtTemplate.h>
#include <ZorCompCore/html/HtmlNode.h>

#include <QFile>

#include <nlohmann/json.hpp>

using json = nlohmann::ordered_json;
using namespace zor;

namespace {

// JSON output nests as deep as the tree; deeper trees are refused rather
// than risking the stack of the JSON writer.
constexpr int kMaxJsonDepth = 1000;

QString readInput(const QString &path)
{
    QByteArray bytes;
    if (path.isEmpty() || path == u"-") {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            throw zorcc::InputError{QStringLiteral("cannot read stdin")};
        bytes = in.readAll();
    } else {
        bytes = zorcc::readFileArg(path);
    }
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        throw zorcc::InputError{QStringLiteral("%1 is not valid UTF-8")
                                    .arg(path.isEmpty() ? QStringLiteral("stdin") : path)};
    return text;
}

const char *kindName(THtmlNodeKind k)
{
    switch (k) {
    case THtmlNodeKind::Document: return "document";
    case THtmlNodeKind::Element: return "element";
    case THtmlNodeKind::Text: return "text";
    case THtmlNodeKind::Comment: return "comment";
    case THtmlNodeKind::Doctype: return "doctype";
    case THtmlNodeKind::CData: return "cdata";
    case THtmlNodeKind::Bogus: return "bogus";
    case THtmlNodeKind::EndTag: return "stray-end-tag";
    }
    return "";
}

QString quoted(const QString &s)
{
    return QString::fromStdString(json(s.toStdString()).dump());
}

// One line per node, two blanks of indentation per level.
void printTree(const THtmlNode &root, QTextStream &out)
{
    struct Frame
    {
        const THtmlNode *Node;
        int Next, Depth;
    };
    std::vector<Frame> stack{{&root, 0, 0}};
    while (!stack.empty()) {
        Frame &f = stack.back();
        if (f.Next >= f.Node->ChildCount()) {
            stack.pop_back();
            continue;
        }
        const THtmlNode *n = f.Node->Child(f.Next++);
        out << QString(f.Depth * 2, u' ');
        switch (n->Kind()) {
        case THtmlNodeKind::Element:
            out << n->TagName();
            for (int i = 0; i < n->AttributeCount(); ++i)
                out << ' ' << n->Attribute(i).Name << '=' << quoted(n->Attribute(i).Value);
            break;
        case THtmlNodeKind::EndTag: out << '/' << n->TagName() << " (stray)"; break;
        case THtmlNodeKind::Text: out << quoted(n->OuterHTML()); break;
        default: out << '#' << kindName(n->Kind()) << ' ' << quoted(n->OuterHTML()); break;
        }
        out << '\n';
        if (n->ChildCount())
            stack.push_back({n, 0, f.Depth + 1});
    }
}

json toJson(const THtmlNode &n, int depth)
{
    if (depth > kMaxJsonDepth)
        throw zorcc::InputError{QStringLiteral("the tree is nested deeper than %1 levels; "
                                               "use the plain output").arg(kMaxJsonDepth)};
    json j;
    j["kind"] = kindName(n.Kind());
    if (n.Kind() == THtmlNodeKind::Element || n.Kind() == THtmlNodeKind::EndTag)
        j["name"] = n.TagName().toStdString();
    if (n.Kind() == THtmlNodeKind::Element) {
        json attrs = json::array();
        for (int i = 0; i < n.AttributeCount(); ++i)
            attrs.push_back({n.Attribute(i).Name.toStdString(), n.Attribute(i).Value.toStdString()});
        j["attributes"] = attrs;
    } else if (n.Kind() != THtmlNodeKind::Document) {
        j["html"] = n.OuterHTML().toStdString();
    }
    if (n.ChildCount()) {
        json children = json::array();
        for (int i = 0; i < n.ChildCount(); ++i)
            children.push_back(toJson(*n.Child(i), depth + 1));
        j["children"] = children;
    }
    return j;
}

QString numberText(double v)
{
    return QString::number(v, 'g', 15);
}

// css FILE CLASS VALUE: the first value of VALUE in the first section of
// CLASS, as a number for the numeric kinds, else as text.
int runCss(QStringList rest, zorcc::Io &io)
{
    const bool asJson = rest.removeAll(QStringLiteral("--json")) > 0;
    for (const QString &a : rest)
        if (a.startsWith(u"--"))
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
    if (rest.size() != 3)
        throw zorcc::UsageError{QStringLiteral("css expects FILE CLASS VALUE")};
    THtDocument doc;
    doc.Parse(readInput(rest[0]));
    const QString cls = rest[1].startsWith(u'.') ? rest[1].mid(1) : rest[1];
    const TCSSSection *section = doc.FindCSSClass(cls);
    if (!section)
        throw zorcc::InputError{QStringLiteral("%1: no CSS class \"%2\" (it has: %3)")
                                    .arg(rest[0], cls,
                                         doc.StyleSheet().ClassNames().join(QStringLiteral(", ")))};
    const TCSSProperty *prop = section->Property(rest[2]);
    if (!prop || prop->Values.empty())
        throw zorcc::InputError{QStringLiteral("%1: class \"%2\" (%3) has no value \"%4\"")
                                    .arg(rest[0], cls, section->Selector, rest[2])};
    const TCSSValue &first = prop->Values.front();
    if (asJson) {
        json values = json::array();
        for (const TCSSValue &v : prop->Values) {
            json j{{"kind", int(v.Kind)}, {"text", v.Text.toStdString()}};
            if (v.Kind == cvkNumber || v.Kind == cvkDimension || v.Kind == cvkPercentage)
                j["number"] = v.Number;
            if (!v.Unit.isEmpty())
                j["unit"] = v.Unit.toStdString();
            values.push_back(j);
        }
        json out{{"class", cls.toStdString()},
                 {"selector", section->Selector.toStdString()},
                 {"property", prop->Name.toStdString()},
                 {"value", prop->ValueText.toStdString()},
                 {"important", prop->Important},
                 {"values", values}};
        io.out << QString::fromStdString(out.dump(2)) << '\n';
    } else {
        io.out << (first.IsNumeric() ? numberText(first.Number) : first.Text) << '\n';
    }
    return 0;
}

// template TEMPLATE --data FILE.json: the template rendered over the JSON.
int runTemplate(QStringList rest, zorcc::Io &io)
{
    QString dataPath;
    const int at = int(rest.indexOf(QStringLiteral("--data")));
    if (at >= 0) {
        if (at + 1 >= rest.size())
            throw zorcc::UsageError{QStringLiteral("--data needs a value")};
        dataPath = rest[at + 1];
        rest.remove(at, 2);
    }
    for (const QString &a : rest)
        if (a.startsWith(u"--"))
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
    if (rest.size() != 1 || dataPath.isEmpty())
        throw zorcc::UsageError{QStringLiteral("template expects TEMPLATE --data FILE.json")};
    const QString text = readInput(rest[0]);
    std::unique_ptr<THtXMLNode> data;
    try {
        data = THtXMLNode::FromJson(zorcc::readFileArg(dataPath));
    } catch (const EHtDataError &e) {
        throw zorcc::InputError{QStringLiteral("%1: %2").arg(dataPath, e.Message())};
    }
    THtReportDocument doc;
    doc.SetReportContext(data.get());
    doc.Parse(text);
    try {
        io.out << doc.Render();
    } catch (const EHtTemplateError &e) {
        throw zorcc::InputError{QStringLiteral("%1: %2").arg(rest[0], e.Message())};
    }
    return 0;
}

int runHtml(const QStringList &args, zorcc::Io &io)
{
    if (const int status = zorcc::runHtmlWebVerb(args, io); status >= 0)
        return status;
    const QString verb = args.value(0);
    QStringList rest = args.mid(1);
    if (verb == u"css")
        return runCss(rest, io);
    if (verb == u"template")
        return runTemplate(rest, io);
    const bool asJson = rest.removeAll(QStringLiteral("--json")) > 0;
    for (const QString &a : rest)
        if (a.startsWith(u"--"))
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
    if (rest.size() > 1)
        throw zorcc::UsageError{QStringLiteral("expects one FILE")};
    if (verb == u"roundtrip" && !asJson) {
        const QString in = readInput(rest.value(0));
        THtmlNode doc;
        doc.Parse(in);
        const QString back = doc.OuterHTML();
        io.out << back;
        io.out.flush();
        if (back != in) {
            io.err << "zorcc html roundtrip: the output differs from the input\n";
            return 1;
        }
        return 0;
    }
    if (verb == u"tree") {
        THtmlNode doc;
        doc.Parse(readInput(rest.value(0)));
        if (asJson)
            io.out << QString::fromStdString(toJson(doc, 0).dump(2)) << '\n';
        else
            printTree(doc, io.out);
        return 0;
    }
    throw zorcc::UsageError{QStringLiteral("expects roundtrip, tree, css or template")};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("html"), QStringLiteral("parse HTML and templates into a node tree"),
               QStringLiteral(
                   "usage: zorcc html roundtrip [FILE]\n"
                   "       zorcc html tree [FILE] [--json]\n"
                   "       zorcc html css FILE CLASS VALUE [--json]\n"
                   "       zorcc html template TEMPLATE --data FILE.json\n\n"
                   "FILE (UTF-8; stdin when left out or \"-\") is parsed as HTML, Mustache\n"
                   "tags kept where they stand.\n"
                   "roundtrip writes the parsed document back to stdout; it must equal the\n"
                   "input, else the exit status is 1.\n"
                   "tree prints one line per node, indented by depth: elements with their\n"
                   "decoded attributes, text and other markup quoted as written. --json\n"
                   "prints the same as nested {\"kind\", \"name\", \"attributes\", \"html\",\n"
                   "\"children\"} objects.\n"
                   "css prints the first value of VALUE in the first rule of the page's\n"
                   "style elements whose selector ends in .CLASS: numbers (200px, 1.5) as\n"
                   "the number, anything else as its text. --json prints every value with\n"
                   "its kind (7 number with unit, 9 plain number), text, number and unit.\n"
                   "template renders TEMPLATE (FILE or \"-\") over the JSON data and\n"
                   "prints the page; errors name the line and column.")
                   + zorcc::htmlWebUsage(),
               runHtml});
