// zorcc html: the HTML node tree from the command line.
//   roundtrip FILE       parse and write back (exit 1 if anything changed)
//   tree FILE [--json]   the tree as the parser built it
// FILE "-" or none reads stdin; text is UTF-8.
#include "Command.h"
#include "html_web.h"

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

int runHtml(const QStringList &args, zorcc::Io &io)
{
    if (const int status = zorcc::runHtmlWebVerb(args, io); status >= 0)
        return status;
    const QString verb = args.value(0);
    QStringList rest = args.mid(1);
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
    throw zorcc::UsageError{QStringLiteral("expects roundtrip [FILE] or tree [FILE] [--json]")};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("html"), QStringLiteral("parse HTML and templates into a node tree"),
               QStringLiteral(
                   "usage: zorcc html roundtrip [FILE]\n"
                   "       zorcc html tree [FILE] [--json]\n\n"
                   "FILE (UTF-8; stdin when left out or \"-\") is parsed as HTML, Mustache\n"
                   "tags kept where they stand.\n"
                   "roundtrip writes the parsed document back to stdout; it must equal the\n"
                   "input, else the exit status is 1.\n"
                   "tree prints one line per node, indented by depth: elements with their\n"
                   "decoded attributes, text and other markup quoted as written. --json\n"
                   "prints the same as nested {\"kind\", \"name\", \"attributes\", \"html\",\n"
                   "\"children\"} objects.")
                   + zorcc::htmlWebUsage(),
               runHtml});
