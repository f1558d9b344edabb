// Reference pages of the script syntaxes. Statements and operators are
// written here beside the examples that a test compiles; the functions come
// from the library table.
#include <ZorCompCore/script/ScriptReference.h>

#include <ZorCompCore/script/Builtins_p.h>
#include <ZorCompCore/script/Interpreter.h>

#include <QHash>

using namespace Qt::StringLiterals;

namespace zor {

namespace {

using script::Builtin;
using script::Syntax;

struct Form
{
    const char *Name;
    const char *Example;
    bool Declaration = false; // compiled on its own, not inside the statement wrapper
};

struct OperatorRow
{
    const char *Spelling;
    const char *Meaning;
};

struct Page
{
    Syntax S;
    const char *Language;
    const char *Fence;     // code block language of the examples
    const char *Structure; // how a program is laid out
    const char *Wrapper;   // a program with %1 where a statement example goes
    std::vector<Form> Forms;
    std::vector<OperatorRow> Operators; // tightest first
};

const std::vector<Page> &pages()
{
    static const std::vector<Page> all = {
        {Syntax::Pascal, "PascalScript", "pascal",
         "A program is optional declarations (`const`, `var`, `type`, `procedure`, `function`) followed by a main "
         "block `begin … end.`. Names are matched in any letter case; strings are in single quotes and their "
         "characters count from 1. Comments: `//`, `{ … }`, `(* … *)`.",
         "var x, i: Integer;\n  s: String;\nbegin\n%1\nend.",
         {
             {"Assignment", "x := 1 + 2;"},
             {"If", "if x > 0 then\n  s := 'plus'\nelse\n  s := 'minus';"},
             {"Case", "case x of\n  1: s := 'one';\n  2..5: s := 'few';\nelse\n  s := 'many';\nend;"},
             {"For", "for i := 1 to 10 do\n  x := x + i;\nfor i := 10 downto 1 do\n  x := x - i;"},
             {"While", "while x < 10 do\n  x := x + 1;"},
             {"Repeat", "repeat\n  x := x + 1;\nuntil x >= 10;"},
             {"Break, Continue, Exit", "for i := 1 to 10 do\nbegin\n  if i = 2 then Continue;\n"
                                       "  if i = 5 then Break;\nend;"},
             {"Try … except", "try\n  x := StrToInt('abc');\nexcept\n  on E: EConvertError do s := E.Message;\n"
                              "  else s := 'other';\nend;"},
             {"Try … finally", "try\n  x := 1;\nfinally\n  s := 'done';\nend;"},
             {"Raise", "try\n  raise Exception.Create('stop');\nexcept\n  s := ExceptionMessage;\nend;"},
             {"Routines", "function Twice(N: Integer): Integer;\nbegin\n  Result := N * 2;\nend;\n\n"
                          "procedure Swap(var A, B: Integer);\nvar T: Integer;\nbegin\n  T := A; A := B; B := T;\n"
                          "end;\n\nbegin\n  ShowMessage(IntToStr(Twice(21)));\nend.",
              true},
         },
         {
             {"`not` `-` `+` (unary)", "logical or bitwise not, sign"},
             {"`*` `/` `div` `mod` `and` `shl` `shr`", "multiply, divide (a float), integer divide, remainder, "
                                                       "and, shifts"},
             {"`+` `-` `or` `xor`", "add or join strings, subtract, or, exclusive or"},
             {"`=` `<>` `<` `<=` `>` `>=`", "comparisons"},
         }},
        {Syntax::Cpp, "C++Script", "cpp",
         "A program is optional declarations (variables, functions) followed by a main block in braces. Names "
         "are matched in any letter case; strings are in double quotes with C escapes; `int` variables hold "
         "integers (a float stored into one is truncated), and `/` of two integers divides without a remainder. "
         "Comments: `//` and `/* … */`.",
         "int x = 0;\nint i = 0;\nString s = \"\";\n{\n%1\n}",
         {
             {"Assignment", "x = 1 + 2;\nx += 3;\nx++;"},
             {"If", "if (x > 0)\n  s = \"plus\";\nelse\n  s = \"minus\";"},
             {"Switch", "switch (x)\n{\n  case 1: s = \"one\"; break;\n  case 2: s = \"two\"; break;\n"
                        "  default: s = \"many\";\n}"},
             {"For", "for (i = 0; i < 10; i++)\n  x += i;"},
             {"While and do", "while (x < 10) x++;\ndo { x--; } while (x > 0);"},
             {"Break, continue", "for (i = 0; i < 10; i++)\n{\n  if (i == 2) continue;\n  if (i == 5) break;\n}"},
             {"Conditional", "s = x > 0 ? \"plus\" : \"minus\";"},
             {"Try … catch", "try\n{\n  x = StrToInt(\"abc\");\n}\ncatch (e)\n{\n  s = e.Message;\n}"},
             {"Throw", "try { throw \"stop\"; } catch (e) { s = e.Message; }"},
             {"Functions", "int Twice(int n)\n{\n  return n * 2;\n}\n\n{\n  ShowMessage(IntToStr(Twice(21)));\n}",
              true},
         },
         {
             {"`!` `~` `-` `+` (unary)", "logical not, bitwise not, sign"},
             {"`*` `/` `%`", "multiply, divide (integers: without remainder), remainder"},
             {"`+` `-`", "add or join strings, subtract"},
             {"`<<` `>>`", "shifts"},
             {"`<` `<=` `>` `>=`", "comparisons"},
             {"`==` `!=`", "equal, not equal"},
             {"`&`", "bitwise and"},
             {"`^`", "bitwise exclusive or"},
             {"`|`", "bitwise or"},
             {"`&&`", "and (the right side only when needed)"},
             {"`||`", "or (the right side only when needed)"},
             {"`?:`", "conditional"},
             {"`=` `+=` `-=` `*=` `/=` `%=` `&=` `|=` `^=` `<<=` `>>=`", "assignment"},
         }},
        {Syntax::Basic, "BasicScript", "vb",
         "A program is a list of statements, one per line (`_` at a line's end continues it), with `Sub` and "
         "`Function` declarations among them. Names are matched in any letter case; strings are in double "
         "quotes. Comments: `'` and `Rem`.",
         "Dim x, i, s\n%1",
         {
             {"Assignment", "x = 1 + 2\ns = \"a\" & x"},
             {"If", "If x > 0 Then\n  s = \"plus\"\nElseIf x < 0 Then\n  s = \"minus\"\nElse\n  s = \"zero\"\nEnd If"},
             {"Select Case", "Select Case x\n  Case 1\n    s = \"one\"\n  Case 2 To 5, 7\n    s = \"few\"\n"
                             "  Case Else\n    s = \"many\"\nEnd Select"},
             {"For", "For i = 1 To 10 Step 2\n  x = x + i\nNext"},
             {"Do … Loop", "Do While x < 10\n  x = x + 1\nLoop"},
             {"Try … Catch", "Try\n  x = CInt(\"abc\")\nCatch ex As Exception\n  s = ex.Message\nFinally\n"
                             "  x = 0\nEnd Try"},
             {"Routines", "Function Twice(n)\n  Twice = n * 2\nEnd Function\n\nSub Greet(name)\n"
                          "  ShowMessage \"Hello, \" & name\nEnd Sub\n\nGreet Twice(21)",
              true},
         },
         {
             {"`^`", "power"},
             {"`-` `+` (unary)", "sign"},
             {"`*` `/`", "multiply, divide (a float)"},
             {"`\\`", "integer divide"},
             {"`Mod`", "remainder"},
             {"`+` `-`", "add, subtract"},
             {"`&`", "join as text"},
             {"`=` `<>` `<` `<=` `>` `>=`", "comparisons"},
             {"`Not`", "logical or bitwise not"},
             {"`And`", "and"},
             {"`Or` `Xor`", "or, exclusive or"},
         }},
        {Syntax::JScript, "JScript", "js",
         "A program is a list of statements with `function` declarations among them; `var` declares a variable "
         "(assigning to a new name declares it too). Values follow JavaScript: `+` joins when either side is a "
         "string, `1/0` is `Infinity`, string characters count from 0. Comments: `//` and `/* … */`.",
         "var x = 0, i = 0, s = \"\";\n%1",
         {
             {"Assignment", "x = 1 + 2;\nx += 3;\nx++;"},
             {"If", "if (x > 0)\n  s = \"plus\";\nelse\n  s = \"minus\";"},
             {"Switch", "switch (x)\n{\n  case 1: s = \"one\"; break;\n  default: s = \"many\";\n}"},
             {"For", "for (i = 0; i < 10; i++)\n  x += i;"},
             {"While and do", "while (x < 10) x++;\ndo { x--; } while (x > 0);"},
             {"Break, continue", "for (i = 0; i < 10; i++)\n{\n  if (i == 2) continue;\n  if (i == 5) break;\n}"},
             {"Try … catch", "try\n{\n  throw new Error(\"stop\");\n}\ncatch (e)\n{\n  s = e.message;\n}"},
             {"Functions", "function twice(n) { return n * 2; }\nShowMessage(String(twice(21)));", true},
         },
         {
             {"`!` `~` `-` `+` `typeof` (unary)", "logical not, bitwise not, sign, type name"},
             {"`*` `/` `%`", "multiply, divide, remainder"},
             {"`+` `-`", "add (or join when either side is a string), subtract"},
             {"`<<` `>>`", "shifts"},
             {"`<` `<=` `>` `>=`", "comparisons"},
             {"`==` `!=` `===` `!==`", "equal, not equal (the last two without conversion)"},
             {"`&`", "bitwise and"},
             {"`^`", "bitwise exclusive or"},
             {"`|`", "bitwise or"},
             {"`&&`", "and"},
             {"`||`", "or"},
             {"`?:`", "conditional"},
             {"`=` `+=` `-=` `*=` `/=` `%=` `&=` `|=` `^=` `<<=` `>>=`", "assignment"},
         }},
    };
    return all;
}

const Page &pageFor(const QString &language)
{
    for (const Page &p : pages())
        if (language.compare(QLatin1String(p.Language), Qt::CaseInsensitive) == 0)
            return p;
    QStringList names;
    for (const Page &p : pages())
        names << QLatin1String(p.Language);
    throw EfsScriptError(QStringLiteral("Unknown script language: '%1' (one of: %2)")
                             .arg(language, names.join(QStringLiteral(", "))));
}

struct Param
{
    QString Name, Type;
    bool ByRef = false;
    bool Leading = false; // "[Start: Integer]": an optional first parameter
};

std::vector<Param> params(const Builtin &b)
{
    std::vector<Param> out;
    const QString text = QString::fromUtf8(b.Params ? b.Params : "");
    for (const QString &part : text.split(u';', Qt::SkipEmptyParts)) {
        Param p;
        QString decl = part.trimmed();
        if (decl.startsWith(u'[') && decl.endsWith(u']')) {
            p.Leading = true;
            decl = decl.mid(1, decl.size() - 2);
        }
        if (decl.startsWith(u"var "_s)) {
            p.ByRef = true;
            decl = decl.mid(4).trimmed();
        }
        const qsizetype colon = decl.indexOf(u':');
        p.Name = decl.left(colon).trimmed();
        p.Type = colon < 0 ? QStringLiteral("Variant") : decl.mid(colon + 1).trimmed();
        out.push_back(p);
    }
    return out;
}

QString typeName(Syntax s, const QString &t)
{
    static const QHash<QString, QStringList> names = {
        // Pascal, C++Script, BasicScript, JScript
        {u"String"_s, {u"String"_s, u"String"_s, u"String"_s, u"String"_s}},
        {u"Integer"_s, {u"Integer"_s, u"int"_s, u"Integer"_s, u"Number"_s}},
        {u"Double"_s, {u"Double"_s, u"double"_s, u"Double"_s, u"Number"_s}},
        {u"Number"_s, {u"Double"_s, u"double"_s, u"Double"_s, u"Number"_s}},
        {u"Boolean"_s, {u"Boolean"_s, u"bool"_s, u"Boolean"_s, u"Boolean"_s}},
        {u"DateTime"_s, {u"TDateTime"_s, u"TDateTime"_s, u"Date"_s, u"Date"_s}},
        {u"Variant"_s, {u"Variant"_s, u"Variant"_s, u"Variant"_s, u"any"_s}},
        {u"Array"_s, {u"array of Variant"_s, u"Variant[]"_s, u"Variant()"_s, u"Array"_s}},
        {u"Set"_s, {u"set"_s, u"array"_s, u"Variant()"_s, u"Array"_s}},
    };
    const auto it = names.find(t);
    return it == names.end() ? t : (*it)[int(s)];
}

QString declaration(const Builtin &b, Syntax s)
{
    const QString name = QString::fromLatin1(b.Name);
    const QString result = b.Result ? typeName(s, QString::fromLatin1(b.Result)) : QString();
    if (b.IsConstant) {
        switch (s) {
        case Syntax::Pascal: return QStringLiteral("const %1: %2").arg(name, result);
        case Syntax::Cpp: return QStringLiteral("const %1 %2").arg(result, name);
        case Syntax::Basic: return QStringLiteral("Const %1 As %2").arg(name, result);
        case Syntax::JScript: return QStringLiteral("%1: %2").arg(name, result);
        }
    }
    const std::vector<Param> ps = params(b);
    QString list;
    const QString sep = s == Syntax::Pascal ? QStringLiteral("; ") : QStringLiteral(", ");
    // an optional first parameter shifts the others: MinArgs counts from the second
    const size_t first = !ps.empty() && ps[0].Leading ? 1 : 0;
    for (size_t i = 0; i < ps.size(); ++i) {
        const Param &p = ps[i];
        QString one;
        const QString t = typeName(s, p.Type);
        switch (s) {
        case Syntax::Pascal: one = (p.ByRef ? u"var "_s : QString()) + p.Name + u": "_s + t; break;
        case Syntax::Cpp: one = t + (p.ByRef ? u" &"_s : u" "_s) + p.Name; break;
        case Syntax::Basic: one = (p.ByRef ? u"ByRef "_s : QString()) + p.Name + u" As "_s + t; break;
        case Syntax::JScript: one = p.Name; break;
        }
        if (p.Leading) {
            list += u'[' + one + sep + u']';
            continue;
        }
        const bool optional = int(i - first) >= b.MinArgs;
        const QString before = i > first ? sep : QString();
        list += optional ? u'[' + before + one : before + one;
    }
    const qsizetype rest = qsizetype(ps.size() - first);
    list += QString(rest - std::min<qsizetype>(rest, b.MinArgs), u']');
    switch (s) {
    case Syntax::Pascal:
        if (ps.empty())
            return b.Result ? QStringLiteral("function %1: %2").arg(name, result) : u"procedure "_s + name;
        return b.Result ? QStringLiteral("function %1(%2): %3").arg(name, list, result)
                        : QStringLiteral("procedure %1(%2)").arg(name, list);
    case Syntax::Cpp:
        return QStringLiteral("%1 %2(%3)").arg(b.Result ? result : u"void"_s, name, list);
    case Syntax::Basic:
        return b.Result ? QStringLiteral("Function %1(%2) As %3").arg(name, list, result)
                        : QStringLiteral("Sub %1(%2)").arg(name, list);
    case Syntax::JScript:
        return b.Result ? QStringLiteral("%1(%2): %3").arg(name, list, result)
                        : QStringLiteral("%1(%2)").arg(name, list);
    }
    return name;
}

QString summary(const TfsLibraryFunction &f, bool markdown)
{
    if (f.AliasOf.isEmpty())
        return f.Summary;
    const QString of = markdown ? u'`' + f.AliasOf + u'`' : f.AliasOf;
    return f.Summary + QStringLiteral(" Same as %1.").arg(of);
}

} // namespace

QList<TfsLibraryFunction> fsLibraryFunctions(const QString &ALanguage)
{
    const Page *page = ALanguage.isEmpty() ? nullptr : &pageFor(ALanguage);
    const Syntax s = page ? page->S : Syntax::Pascal;
    QList<TfsLibraryFunction> out;
    // categories in the order they first appear, rows in table order within
    QStringList categories;
    for (const Builtin &b : script::LibraryTable())
        if (!categories.contains(QString::fromLatin1(b.Category)))
            categories << QString::fromLatin1(b.Category);
    for (const QString &category : categories) {
        for (const Builtin &b : script::LibraryTable()) {
            if (QString::fromLatin1(b.Category) != category)
                continue;
            if (page && !(b.Syntaxes & (1u << int(page->S))))
                continue;
            TfsLibraryFunction f;
            f.Name = QString::fromLatin1(b.Name);
            f.Declaration = declaration(b, s);
            f.Category = category;
            f.Summary = QString::fromUtf8(b.Summary);
            f.AliasOf = QString::fromLatin1(b.AliasOf);
            f.IsConstant = b.IsConstant;
            f.MinArgs = b.MinArgs;
            f.MaxArgs = b.MaxArgs;
            for (const Param &p : params(b))
                f.Parameters << (p.ByRef ? u"var "_s : QString()) + p.Name;
            for (const Page &p : pages())
                if (b.Syntaxes & (1u << int(p.S)))
                    f.Languages << QLatin1String(p.Language);
            out << f;
        }
    }
    return out;
}

QString fsLibraryListing(const QString &ALanguage, bool AMarkdown)
{
    const QList<TfsLibraryFunction> functions = fsLibraryFunctions(ALanguage);
    const bool all = ALanguage.isEmpty();
    QString out;
    QString category;
    for (const TfsLibraryFunction &f : functions) {
        if (f.Category != category) {
            category = f.Category;
            if (AMarkdown) {
                out += (out.isEmpty() ? QString() : u"\n"_s) + u"### "_s + category + u"\n\n"_s;
                out += all ? u"| Function | Syntaxes | Description |\n|---|---|---|\n"_s
                           : u"| Function | Description |\n|---|---|\n"_s;
            } else {
                out += (out.isEmpty() ? QString() : u"\n"_s) + category + u'\n';
            }
        }
        if (AMarkdown) {
            out += u"| `"_s + f.Declaration + u"` | "_s;
            if (all)
                out += f.Languages.join(u", "_s) + u" | "_s;
            out += summary(f, true) + u" |\n"_s;
        } else {
            out += u"  "_s + f.Declaration + u'\n';
            if (all)
                out += u"      ["_s + f.Languages.join(u", "_s) + u"]\n"_s;
            out += u"      "_s + summary(f, false) + u'\n';
        }
    }
    return out;
}

QString fsScriptReference(const QString &ALanguage)
{
    const Page &p = pageFor(ALanguage);
    const QString language = QLatin1String(p.Language);
    QString out;
    out += u"# "_s + language + u" reference\n\n"_s;
    out += u"<!-- Generated by `zorcc script reference --syntax "_s + language
        + u" > docs/scripts/"_s + language.toLower().replace(u"++"_s, u"pp"_s) + u".md`; a test compares the two. -->\n\n"_s;
    out += u"## Program\n\n"_s + QString::fromUtf8(p.Structure) + u"\n\n"_s;
    out += u"## Statements\n"_s;
    for (const Form &f : p.Forms) {
        out += u"\n### "_s + QString::fromUtf8(f.Name) + u"\n\n```"_s + QLatin1String(p.Fence) + u'\n'
            + QString::fromUtf8(f.Example) + u"\n```\n"_s;
    }
    out += u"\n## Operators\n\nFrom the tightest binding to the loosest; operators on one row bind alike.\n\n"_s
           u"| Operators | Meaning |\n|---|---|\n"_s;
    for (const OperatorRow &o : p.Operators)
        out += u"| "_s + QString::fromUtf8(o.Spelling) + u" | "_s + QString::fromUtf8(o.Meaning) + u" |\n"_s;
    out += u"\n## Built-in functions\n\nCalls match the names in any letter case. Parameters in brackets are "_s
           u"optional. A routine the script declares, or one the host registers, with the same name is called "_s
           u"instead.\n\n"_s;
    out += fsLibraryListing(language, true);
    return out;
}

QStringList fsScriptReferenceExamples(const QString &ALanguage)
{
    const Page &p = pageFor(ALanguage);
    QStringList out;
    for (const Form &f : p.Forms) {
        const QString example = QString::fromUtf8(f.Example);
        out << (f.Declaration ? example : QString::fromUtf8(p.Wrapper).arg(example));
    }
    return out;
}

} // namespace zor
