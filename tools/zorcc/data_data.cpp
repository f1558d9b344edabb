// zorcc data: queries over SQL databases through the library's data sets.
//   query --db FILE --sql QUERY [--json]       the rows (blobs as size and format)
//   packet --db FILE --sql QUERY -o OUT.xml     the rows as an XML data packet
// --driver NAME picks another QtSql driver (QPSQL …); --db then names the
// database, and --host, --port, --user, --password reach the server.
#include "Command.h"

#include <ZorCompCore/data/DataPacket.h>
#include <ZorCompCore/data/SqlDataSet.h>
#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/platform/SysUtils.h>

#include <QDateTime>
#include <QFileInfo>
#include <QTimeZone>

#include <cmath>
#include <nlohmann/json.hpp>

using json = nlohmann::ordered_json;
using namespace zor;

namespace {

struct Options
{
    QString verb, db, driver = QStringLiteral("QSQLITE"), host, user, password, sql, out;
    int port = -1;
    bool json = false;
    QList<QPair<QString, QString>> params;
};

Options parse(const QStringList &args)
{
    Options o;
    if (args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("expects query or packet")};
    o.verb = args[0];
    if (o.verb != u"query" && o.verb != u"packet")
        throw zorcc::UsageError{QStringLiteral("unknown verb %1").arg(o.verb)};
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                throw zorcc::UsageError{QStringLiteral("%1 needs a value").arg(a)};
            return args[++i];
        };
        if (a == u"--db")
            o.db = value();
        else if (a == u"--driver")
            o.driver = value();
        else if (a == u"--host")
            o.host = value();
        else if (a == u"--user")
            o.user = value();
        else if (a == u"--password")
            o.password = value();
        else if (a == u"--sql")
            o.sql = value();
        else if (a == u"-o" && o.verb == u"packet")
            o.out = value();
        else if (a == u"--json" && o.verb == u"query")
            o.json = true;
        else if (a == u"--port") {
            bool ok = false;
            o.port = value().toInt(&ok);
            if (!ok || o.port <= 0 || o.port > 65535)
                throw zorcc::UsageError{QStringLiteral("--port needs a port number")};
        } else if (a == u"--param") {
            const QString p = value();
            const qsizetype eq = p.indexOf(u'=');
            if (eq <= 0)
                throw zorcc::UsageError{QStringLiteral("--param needs NAME=VALUE")};
            o.params.append({p.left(eq), p.mid(eq + 1)});
        } else
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
    }
    if (o.db.isEmpty())
        throw zorcc::UsageError{QStringLiteral("--db is missing")};
    if (o.sql.isEmpty())
        throw zorcc::UsageError{QStringLiteral("--sql is missing")};
    if (o.verb == u"packet" && o.out.isEmpty())
        throw zorcc::UsageError{QStringLiteral("-o is missing")};
    return o;
}

QString blobText(const QByteArray &bytes)
{
    const QString format = GuessImageDataFormat(bytes);
    return format.isEmpty() ? QStringLiteral("<%1 bytes>").arg(bytes.size())
                            : QStringLiteral("<%1 bytes, %2>").arg(bytes.size()).arg(format);
}

QString isoText(const TField *f)
{
    const QDateTime dt = DateTimeToQDateTime(f->AsDateTime(), QTimeZone::utc());
    switch (f->DataType()) {
    case ftDate: return dt.date().toString(Qt::ISODate);
    case ftTime: return dt.time().toString(Qt::ISODateWithMs);
    default: return dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    }
}

json jsonValue(const TField *f)
{
    if (f->IsNull())
        return nullptr;
    const Variant v = f->Value();
    switch (f->DataType()) {
    case ftBlob: {
        const QByteArray bytes = f->AsBytes();
        json j = {{"size", bytes.size()}};
        const QString format = GuessImageDataFormat(bytes);
        j["format"] = format.isEmpty() ? json(nullptr) : json(format.toStdString());
        return j;
    }
    case ftBoolean: return f->AsBoolean();
    case ftDate:
    case ftTime:
    case ftDateTime:
        if (v.BaseType() == varDate)
            return isoText(f).toStdString();
        return f->AsString().toStdString();
    default:
        if (v.IsOrdinal())
            return VarToInt64(v);
        if (v.IsFloat()) {
            const double d = VarToDouble(v);
            return std::isfinite(d) ? json(d) : json(nullptr);
        }
        return f->AsString().toStdString();
    }
}

QString cellText(const TField *f)
{
    if (f->IsNull())
        return QString();
    if (f->DataType() == ftBlob)
        return blobText(f->AsBytes());
    if ((f->DataType() == ftDate || f->DataType() == ftTime || f->DataType() == ftDateTime)
        && f->Value().BaseType() == varDate)
        return isoText(f);
    // one record per line: line breaks and tabs inside values are escaped
    QString s = f->AsString();
    s.replace(u'\\', QStringLiteral("\\\\")).replace(u'\t', QStringLiteral("\\t")).replace(u'\n', QStringLiteral("\\n"));
    return s.replace(u'\r', QStringLiteral("\\r"));
}

int runData(const QStringList &args, zorcc::Io &io)
{
    const Options o = parse(args);
    if (o.driver.compare(u"QSQLITE", Qt::CaseInsensitive) == 0 && o.db != u":memory:"
        && !QFileInfo(o.db).isFile())
        throw zorcc::InputError{QStringLiteral("%1: no such database file").arg(o.db)};
    try {
        TSqlConnection conn;
        conn.SetDriverName(o.driver);
        conn.SetDatabaseName(o.db);
        conn.SetHostName(o.host);
        conn.SetPort(o.port);
        conn.SetUserName(o.user);
        conn.SetPassword(o.password);
        TSqlDataSet ds;
        ds.SetConnection(&conn);
        ds.SetSQL(o.sql);
        for (const auto &p : o.params)
            ds.SetParamValue(p.first, Variant(p.second));
        ds.Open();
        const TFields *fields = ds.Fields();
        if (o.verb == u"packet") {
            zorcc::writeFileArg(o.out, DataSetToXmlPacket(&ds).toUtf8());
            return 0;
        }
        if (o.json) {
            json rows = json::array();
            for (ds.First(); !ds.Eof(); ds.Next()) {
                json row = json::object();
                for (int i = 0; i < fields->Count(); ++i)
                    row[fields->Fields(i)->FieldName().toStdString()] = jsonValue(fields->Fields(i));
                rows.push_back(std::move(row));
            }
            io.out << QString::fromStdString(rows.dump(2)) << '\n';
            return 0;
        }
        QStringList header;
        for (int i = 0; i < fields->Count(); ++i)
            header << fields->Fields(i)->FieldName();
        io.out << header.join(u'\t') << '\n';
        for (ds.First(); !ds.Eof(); ds.Next()) {
            QStringList cells;
            for (int i = 0; i < fields->Count(); ++i)
                cells << cellText(fields->Fields(i));
            io.out << cells.join(u'\t') << '\n';
        }
        return 0;
    } catch (const Exception &e) {
        throw zorcc::InputError{e.Message()};
    }
}

} // namespace

ZORCC_COMMAND({QStringLiteral("data"), QStringLiteral("query SQL databases, write XML data packets"),
               QStringLiteral(
                   "usage: zorcc data query --db FILE --sql QUERY [--param NAME=VALUE]... [--json]\n"
                   "       zorcc data packet --db FILE --sql QUERY [--param NAME=VALUE]... -o OUT.xml\n"
                   "options for a database server: --driver NAME (QPSQL …; default QSQLITE, where\n"
                   "--db is the SQLite file) --host HOST --port N --user NAME --password TEXT\n\n"
                   "query prints the rows tab-separated under a line of column names (blobs as\n"
                   "their size and image format), or with --json a list of objects (blobs as\n"
                   "{\"size\", \"format\"}, dates as ISO text).\n"
                   "packet writes the rows as an XML data packet (DATAPACKET, field names in\n"
                   "upper case) for report templates.\n"
                   "\":name\" in the query is a parameter, given with --param name=value."),
               runData});
