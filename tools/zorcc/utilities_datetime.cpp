// zorcc datetime: RFC 3339 timestamps read and written the library's way, in
// the system time zone (set TZ to try another).
#include "Command.h"

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/utilities/DateUtils.h>

#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <nlohmann/json.hpp>

using json = nlohmann::ordered_json;
using namespace zor;

namespace {

const QString kUsage = QStringLiteral(
    "usage: zorcc datetime parse <timestamp> [--local] [--no-dotted] [--json]\n"
    "       zorcc datetime format <yyyy-mm-ddThh:nn:ss[.zzz]> [--input-utc] [--output-local]\n"
    "                             [--digits N] [--no-offset]\n"
    "\n"
    "parse   reads an RFC 3339 timestamp (\"2021-03-04T05:06:07.5+02:00\"), a date\n"
    "        (\"2021-03-04\") or a dotted date (\"04.03.2021\", unless --no-dotted) and\n"
    "        prints it as yyyy-mm-dd hh:nn:ss.zzz in UTC, or in local time with --local.\n"
    "        --json adds the day count (days since 1899-12-30).\n"
    "format  writes a wall-clock time (taken as local, or as UTC with --input-utc) as an\n"
    "        RFC 3339 timestamp in UTC, or in local time with --output-local, with N\n"
    "        fraction digits (default 0) and the offset (unless --no-offset).");

struct Options
{
    QStringList positional;
    QSet<QString> flags;
    int digits = 0;
};

Options parseOptions(const QStringList &args, const QSet<QString> &known)
{
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QStringLiteral("--digits")) {
            bool ok = false;
            if (i + 1 >= args.size() || (o.digits = args[++i].toInt(&ok), !ok) || o.digits < 0 || o.digits > 9)
                throw zorcc::UsageError{QStringLiteral("--digits needs a number from 0 to 9")};
        } else if (a.startsWith(QStringLiteral("--"))) {
            if (!known.contains(a))
                throw zorcc::UsageError{QStringLiteral("unknown option ") + a};
            o.flags.insert(a);
        } else {
            o.positional << a;
        }
    }
    if (o.positional.size() != 1)
        throw zorcc::UsageError{QStringLiteral("expects exactly one date-time text")};
    return o;
}

QString wallClock(TDateTime dt)
{
    int y, m, d, h, n, s, ms;
    DecodeDateTime(dt, y, m, d, h, n, s, ms);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%03d", y, m, d, h, n, s, ms);
}

// Why a text that has the shape of a date is no date: the field out of range.
QString outOfRange(const QString &text, bool dotted)
{
    static const QRegularExpression iso(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})(?:[Tt ](\\d{2}):(\\d{2})(?::(\\d{2}))?)?"));
    static const QRegularExpression dots(QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})(?:$|[ T])"));
    int y = 0, m = 0, d = 0, h = -1, n = -1, sec = -1;
    if (const auto mi = iso.match(text); mi.hasMatch()) {
        y = mi.captured(1).toInt();
        m = mi.captured(2).toInt();
        d = mi.captured(3).toInt();
        if (mi.hasCaptured(4)) {
            h = mi.captured(4).toInt();
            n = mi.captured(5).toInt();
        }
        if (mi.hasCaptured(6))
            sec = mi.captured(6).toInt();
    } else if (const auto md = dots.match(text); dotted && md.hasMatch()) {
        d = md.captured(1).toInt();
        m = md.captured(2).toInt();
        y = md.captured(3).toInt();
    } else {
        return {};
    }
    if (y < 1)
        return QStringLiteral("the year %1 is out of range (1..9999)").arg(y);
    if (m < 1 || m > 12)
        return QStringLiteral("the month %1 is out of range (1..12)").arg(m);
    const int days = DaysInAMonth(y, m);
    if (d < 1 || d > days)
        return QStringLiteral("the day %1 is out of range for %2 %3 (1..%4)")
            .arg(d)
            .arg(QLocale::c().monthName(m))
            .arg(y)
            .arg(days);
    if (h > 23)
        return QStringLiteral("the hour %1 is out of range (0..23)").arg(h);
    if (n > 59)
        return QStringLiteral("the minute %1 is out of range (0..59)").arg(n);
    if (sec > 59)
        return QStringLiteral("the second %1 is out of range (0..59)").arg(sec);
    return {};
}

int runParse(const QStringList &args, zorcc::Io &io)
{
    const Options o = parseOptions(args, {QStringLiteral("--local"), QStringLiteral("--no-dotted"),
                                          QStringLiteral("--json")});
    const QString &text = o.positional.front();
    TDateTime value = 0;
    if (!TryRFC3330ToDateTime(text, value, o.flags.contains(QStringLiteral("--local")),
                              !o.flags.contains(QStringLiteral("--no-dotted")))) {
        const QString why = outOfRange(text, !o.flags.contains(QStringLiteral("--no-dotted")));
        throw zorcc::InputError{u'\'' + text + QStringLiteral("' is not a valid RFC 3339 timestamp!")
                                + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + u')')};
    }
    if (o.flags.contains(QStringLiteral("--json"))) {
        json out = json::object();
        out["text"] = text.toStdString();
        out["value"] = wallClock(value).toStdString();
        out["zone"] = o.flags.contains(QStringLiteral("--local")) ? "local" : "UTC";
        out["days"] = value;
        io.out << QString::fromStdString(out.dump(2)) << '\n';
    } else {
        io.out << wallClock(value) << '\n';
    }
    return 0;
}

int runFormat(const QStringList &args, zorcc::Io &io)
{
    const Options o = parseOptions(args, {QStringLiteral("--input-utc"), QStringLiteral("--output-local"),
                                          QStringLiteral("--no-offset")});
    // A text without a zone keeps its fields as they are written.
    QString text = o.positional.front();
    text.replace(u' ', u'T');
    TDateTime value = 0;
    if (text.contains(u'Z') || text.count(u'+') || text.count(u'-') > 2
        || !TryRFC3330ToDateTime(text, value, false, false))
        throw zorcc::InputError{u'\'' + o.positional.front()
                                + QStringLiteral("' is not a wall-clock date-time (yyyy-mm-ddThh:nn:ss[.zzz])")};
    io.out << DateTimeToRFC3330(value, !o.flags.contains(QStringLiteral("--output-local")),
                                o.flags.contains(QStringLiteral("--input-utc")), o.digits,
                                !o.flags.contains(QStringLiteral("--no-offset")))
           << '\n';
    return 0;
}

int runDateTime(const QStringList &args, zorcc::Io &io)
{
    if (args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("expects parse or format")};
    const QString verb = args.front();
    if (verb == QStringLiteral("parse"))
        return runParse(args.mid(1), io);
    if (verb == QStringLiteral("format"))
        return runFormat(args.mid(1), io);
    throw zorcc::UsageError{QStringLiteral("unknown verb ") + verb};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("datetime"), QStringLiteral("parse and write RFC 3339 timestamps"), kUsage,
               runDateTime});
