// zorcc report: HTML reports from a template and data.
//   render TEMPLATE [data options] [-o OUT.html]    the finished page
//   check TEMPLATE                                  what loading finds
#include "Command.h"

#include <ZorCompCore/data/SqlDataSet.h>
#include <ZorCompCore/reporting/ZORHtReportDocument.h>

#include <QFile>

#include <memory>
#include <vector>

using namespace zor;

namespace {

struct Options
{
    QString verb, templ, json, db, driver = QStringLiteral("QSQLITE"), host, user, password, language, rerender, out;
    int port = -1;
    bool ignoreDivByZero = false;
    QList<QPair<QString, QString>> sql, masters, packets, vars;
};

QPair<QString, QString> nameValue(const QString &option, const QString &text)
{
    const qsizetype eq = text.indexOf(u'=');
    if (eq <= 0)
        throw zorcc::UsageError{QStringLiteral("%1 needs NAME=VALUE").arg(option)};
    return {text.left(eq), text.mid(eq + 1)};
}

Options parse(const QStringList &args)
{
    Options o;
    if (args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("expects render or check")};
    o.verb = args[0];
    if (o.verb != u"render" && o.verb != u"check")
        throw zorcc::UsageError{QStringLiteral("unknown verb %1").arg(o.verb)};
    const bool render = o.verb == u"render";
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                throw zorcc::UsageError{QStringLiteral("%1 needs a value").arg(a)};
            return args[++i];
        };
        if (!a.startsWith(u'-') || a == u"-") {
            if (!o.templ.isEmpty())
                throw zorcc::UsageError{QStringLiteral("one template only")};
            o.templ = a;
        } else if (a == u"--language") {
            o.language = value();
        } else if (!render) {
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
        } else if (a == u"--data") {
            o.json = value();
        } else if (a == u"--db") {
            o.db = value();
        } else if (a == u"--driver") {
            o.driver = value();
        } else if (a == u"--host") {
            o.host = value();
        } else if (a == u"--user") {
            o.user = value();
        } else if (a == u"--password") {
            o.password = value();
        } else if (a == u"--port") {
            bool ok = false;
            o.port = value().toInt(&ok);
            if (!ok || o.port <= 0 || o.port > 65535)
                throw zorcc::UsageError{QStringLiteral("--port needs a port number")};
        } else if (a == u"--sql") {
            o.sql.append(nameValue(a, value()));
        } else if (a == u"--master") {
            o.masters.append(nameValue(a, value()));
        } else if (a == u"--packet") {
            o.packets.append(nameValue(a, value()));
        } else if (a == u"--var") {
            o.vars.append(nameValue(a, value()));
        } else if (a == u"--ignore-div-by-zero") {
            o.ignoreDivByZero = true;
        } else if (a == u"--rerender") {
            o.rerender = value();
        } else if (a == u"-o") {
            o.out = value();
        } else {
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
        }
    }
    if (o.templ.isEmpty())
        throw zorcc::UsageError{QStringLiteral("the template is missing")};
    if (!o.sql.isEmpty() && o.db.isEmpty())
        throw zorcc::UsageError{QStringLiteral("--sql needs --db")};
    return o;
}

QString readText(const QString &path)
{
    return QString::fromUtf8(zorcc::readFileArg(path));
}

// The template's own view of itself: blocks and the script it compiles.
// A template in another language brings its own main text; the Pascal
// default would not compile there.
void useLanguage(TZORHtReportDocument &doc, const QString &language)
{
    if (language.isEmpty())
        return;
    doc.OnInitScript = [&doc, language](QObject *) {
        doc.SetScriptLanguage(language);
        doc.SetScriptText({});
        doc.InvalidateExpressionCache();
    };
}

int runCheck(const Options &o, zorcc::Io &io)
{
    TZORHtReportDocument doc;
    useLanguage(doc, o.language);
    try {
        doc.LoadTemplate(readText(o.templ));
    } catch (const EZORHtReportErrorScriptError &e) {
        io.err << e.Message() << Qt::endl;
        return 1;
    } catch (const Exception &e) {
        io.err << e.Message() << Qt::endl;
        return 1;
    }
    io.out << "dynamic blocks: " << doc.DynamicNodeTemplates().size() << Qt::endl;
    const QStringList lines = doc.Script()->Lines();
    // the blocks come before the default main block ("begin", "", "end.")
    const qsizetype blocks = std::max<qsizetype>(0, lines.size() - doc.ScriptText().size());
    io.out << "script blocks: " << blocks << Qt::endl;
    io.out << "script compiled: ok" << Qt::endl;
    return 0;
}

int runRender(const Options &o, zorcc::Io &io)
{
    TZORHtReportDocument doc;
    doc.SetIgnoreDivByZero(o.ignoreDivByZero);
    useLanguage(doc, o.language);

    TSqlConnection conn;
    std::vector<std::unique_ptr<TSqlDataSet>> sets;
    if (!o.db.isEmpty()) {
        conn.SetDriverName(o.driver);
        conn.SetDatabaseName(o.db);
        conn.SetHostName(o.host);
        conn.SetUserName(o.user);
        conn.SetPassword(o.password);
        conn.SetPort(o.port);
        for (const auto &[name, query] : o.sql) {
            auto ds = std::make_unique<TSqlDataSet>();
            ds->SetName(name);
            ds->SetConnection(&conn);
            ds->SetSQL(query);
            doc.DataSets().AddDataSet(ds.get(), name);
            sets.push_back(std::move(ds));
        }
    }
    for (const auto &[detail, master] : o.masters) {
        auto *d = qobject_cast<TSqlDataSet *>(doc.DataSets().GetDataSetByName(detail));
        TDataSet *m = doc.DataSets().GetDataSetByName(master);
        if (!d || !m)
            throw zorcc::UsageError{QStringLiteral("--master %1=%2 names a data set no --sql gives").arg(detail, master)};
        d->SetMasterSource(m);
    }
    for (const auto &[name, value] : o.vars)
        doc.AddVariable(name, Variant(value));

    std::unique_ptr<THtXMLNode> context;
    std::vector<std::unique_ptr<THtXMLNode>> packets;
    QString html;
    try {
        doc.LoadTemplate(readText(o.templ));
        // loading clears Vars: data nodes come after it
        if (!o.json.isEmpty()) {
            context = THtXMLNode::FromJson(zorcc::readFileArg(o.json));
            doc.SetReportContext(context.get());
        }
        for (const auto &[name, file] : o.packets) {
            packets.push_back(THtXMLNode::FromXml(zorcc::readFileArg(file)));
            doc.RegisterVariable(name, packets.back().get());
        }
        html = o.rerender.isEmpty() ? doc.Render() : doc.ReRenderDynamic(readText(o.rerender));
    } catch (const EZORHtReportErrorScriptError &e) {
        // expression errors: the page exists all the same
        if (!e.Html().isEmpty()) {
            if (o.out.isEmpty())
                io.out << e.Html() << Qt::endl;
            else
                zorcc::writeFileArg(o.out, e.Html().toUtf8());
        }
        io.err << e.Message() << Qt::endl;
        return 1;
    } catch (const Exception &e) {
        io.err << e.Message() << Qt::endl;
        return 1;
    }
    if (o.out.isEmpty())
        io.out << html << Qt::endl;
    else
        zorcc::writeFileArg(o.out, html.toUtf8());
    return 0;
}

int runReport(const QStringList &args, zorcc::Io &io)
{
    const Options o = parse(args);
    return o.verb == u"check" ? runCheck(o, io) : runRender(o, io);
}

} // namespace

ZORCC_COMMAND({QStringLiteral("report"), QStringLiteral("render HTML report templates over data"),
               QStringLiteral(
                   "usage: zorcc report render TEMPLATE [--data FILE.json] [--db FILE.sqlite |\n"
                   "         --driver NAME --db NAME [--host H --port N --user U --password P]]\n"
                   "         [--sql NAME=QUERY]... [--master DETAIL=MASTER]... [--packet NAME=FILE.xml]...\n"
                   "         [--var NAME=VALUE]... [--language NAME] [--ignore-div-by-zero]\n"
                   "         [--rerender PAGE.html] [-o OUT.html]\n"
                   "       zorcc report check TEMPLATE [--language NAME]\n\n"
                   "render fills the template: JSON data is the root context, each --sql query a\n"
                   "data set of that name (a detail re-runs with the master's current fields as\n"
                   "its :parameters), each --packet an XML data packet, each --var a report\n"
                   "variable. --language picks the script language of the template's\n"
                   "text/zorscript blocks (default PascalScript). --rerender renders the dynamic\n"
                   "blocks of an earlier page again. Expression errors go to stderr with exit 1;\n"
                   "the page is written all the same.\n"
                   "check loads the template only: its dynamic blocks, script blocks, or the\n"
                   "script's compile error."),
               runReport});
