#include <ZorCompCore/utilities/DateUtils.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/utilities/DateTimeMath_p.h>

#include <QTimeZone>
#include <optional>
#include <vector>

namespace zor {

using detail::FromDateAndTime;
using detail::FromMSecs;
using detail::kMSecsPerDay;
using detail::ToDateAndTime;
using detail::ToMSecs;

namespace {

constexpr qint64 kMSecsPerHour = 3600000;
constexpr qint64 kMSecsPerMinute = 60000;

bool IsUnset(TDateTime dt)
{
    return !(dt > MinDateTime);
}

// Offset of the system zone from UTC at a UTC instant, in milliseconds.
qint64 OffsetAtUtc(const QDate &date, const QTime &time)
{
    const QDateTime utc(date, time, QTimeZone::utc());
    return qint64(QTimeZone::systemTimeZone().offsetFromUtc(utc)) * 1000;
}

// Tokens of an RFC 3339 text: runs of non-separators, and each separator alone.
std::vector<QString> Tokenize(const QString &text)
{
    static const QString separators = QStringLiteral("+-.:TZ");
    std::vector<QString> tokens;
    QString run;
    for (QChar c : text) {
        if (separators.contains(c)) {
            if (!run.isEmpty())
                tokens.push_back(std::exchange(run, QString()));
            tokens.emplace_back(c);
        } else {
            run += c;
        }
    }
    if (!run.isEmpty())
        tokens.push_back(run);
    return tokens;
}

// Plain decimal digits only: signs and blanks belong to the separators' job.
std::optional<int> Decimal(const QString &token)
{
    if (token.isEmpty() || token.size() > 9)
        return std::nullopt;
    int v = 0;
    for (QChar c : token) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

QString Two(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

// "+hh:mm", "-hh:mm" or "Z": the offset of value from its UTC reference.
QString OffsetText(TDateTime value, TDateTime utcReference)
{
    const qint64 minutes = (ToMSecs(value) - ToMSecs(utcReference)) / kMSecsPerMinute;
    if (minutes == 0)
        return QStringLiteral("Z");
    const qint64 a = minutes < 0 ? -minutes : minutes;
    return (minutes > 0 ? QStringLiteral("+") : QStringLiteral("-")) + Two(int(a / 60)) + u':' + Two(int(a % 60));
}

TFormatSettings IsoSettings()
{
    TFormatSettings fs = FormatSettings();
    fs.DateSeparator = u'-';
    fs.TimeSeparator = u':';
    fs.ShortDateFormat = QStringLiteral("yyyy-mm-dd");
    fs.ShortTimeFormat = QStringLiteral("hh:nn:ss");
    fs.LongTimeFormat = QStringLiteral("hh:nn:ss");
    return fs;
}

// Calendar-aware month step: the day is clamped to the target month's length.
TDateTime IncMonthKeepTime(TDateTime dt, int months)
{
    QDate date;
    QTime time;
    ToDateAndTime(dt, date, time);
    return FromDateAndTime(date.addMonths(months), time);
}

TDateTime IncYearKeepTime(TDateTime dt, int years)
{
    QDate date;
    QTime time;
    ToDateAndTime(dt, date, time);
    return FromDateAndTime(date.addYears(years), time);
}

// Whole spans between two values, counted the classic way: years and months by
// their average lengths, days exactly.
qint64 SpanMSecs(TDateTime a, TDateTime b)
{
    const qint64 d = ToMSecs(a) - ToMSecs(b);
    return d < 0 ? -d : d;
}

int YearsBetween(TDateTime a, TDateTime b)
{
    return int(double(SpanMSecs(a, b)) / kMSecsPerDay / 365.25);
}

int MonthsBetween(TDateTime a, TDateTime b)
{
    return int(double(SpanMSecs(a, b)) / kMSecsPerDay / 30.4375);
}

int DaysBetween(TDateTime a, TDateTime b)
{
    return int(SpanMSecs(a, b) / kMSecsPerDay);
}

TDateTime AddMSecs(TDateTime dt, qint64 ms)
{
    return FromMSecs(ToMSecs(dt) + ms);
}

} // namespace

TDateTime RwLocalToUTC(TDateTime localTime)
{
    if (IsUnset(localTime))
        return localTime;
    QDate date;
    QTime time;
    ToDateAndTime(localTime, date, time);
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime local(date, time, zone);
    const QDateTime asUtc(date, time, QTimeZone::utc());
    if (!local.isValid()) {
        // Inside a daylight-saving gap: read the time with the offset in force
        // before the gap, which moves it forward as the clocks did.
        return AddMSecs(localTime, -qint64(zone.offsetFromUtc(asUtc.addDays(-1))) * 1000);
    }
    // The zone's offset is how far the wall-clock fields are ahead of the instant.
    return AddMSecs(localTime, -(asUtc.toMSecsSinceEpoch() - local.toMSecsSinceEpoch()));
}

TDateTime RwUTCToLocal(TDateTime utcTime)
{
    if (IsUnset(utcTime))
        return utcTime;
    QDate date;
    QTime time;
    ToDateAndTime(utcTime, date, time);
    return AddMSecs(utcTime, OffsetAtUtc(date, time));
}

bool IsInvalidTime(TDateTime localTime)
{
    QDate date;
    QTime time;
    ToDateAndTime(localTime, date, time);
    // A wall-clock time inside a gap is moved by Qt; comparing the fields back
    // tells whether it existed.
    const QDateTime local(date, time, QTimeZone::systemTimeZone());
    return !local.isValid() || local.date() != date || local.time() != time;
}

bool TryRFC3330ToDateTime(const QString &text, TDateTime &dateTime, bool toLocal, bool allowDottedDate)
{
    if (text.isEmpty())
        return false;
    const std::vector<QString> t = Tokenize(text);
    const size_t n = t.size();

    if (n == 5) {
        const auto a = Decimal(t[0]), b = Decimal(t[2]), c = Decimal(t[4]);
        if (!a || !b || !c)
            return false;
        TDateTime d = 0;
        bool ok;
        if (allowDottedDate && *c > 1900 && *b >= 1 && *b <= 12 && *a >= 1 && *a <= 31
            && t[1] == u'.' && t[3] == u'.')
            ok = TryEncodeDate(*c, *b, *a, d);
        else
            ok = TryEncodeDate(*a, *b, *c, d);
        if (ok)
            dateTime = d;
        return ok;
    }
    if (n < 10)
        return false;

    const auto year = Decimal(t[0]), month = Decimal(t[2]), day = Decimal(t[4]);
    const auto hour = Decimal(t[6]), minute = Decimal(t[8]);
    if (!year || !month || !day || !hour || !minute || t[5] != u'T' || t[7] != u':')
        return false;

    // Token 9 is either the ':' before the seconds or the start of the zone
    // ("2021-03-04T05:06Z" has no seconds).
    int second = 0;
    size_t i = 9;
    if (t[9] == u':') {
        if (n < 11)
            return false;
        const auto s = Decimal(t[10]);
        if (!s)
            return false;
        second = *s;
        i = 11;
    }

    int msec = 0;
    if (i < n && t[i] == u'.') {
        if (i + 1 >= n)
            return false;
        const QString &digits = t[i + 1];
        for (QChar c : digits)
            if (c < u'0' || c > u'9')
                return false;
        if (digits.isEmpty())
            return false;
        // Milliseconds are kept; further digits are cut.
        const QString ms = (digits + QStringLiteral("00")).left(3);
        msec = ms.toInt();
        i += 2;
    }

    qint64 offsetMinutes = 0;
    if (i < n) {
        if (t[i] == u'Z') {
            ++i;
        } else if (t[i] == u'+' || t[i] == u'-') {
            if (i + 3 >= n || t[i + 2] != u':')
                return false;
            const auto oh = Decimal(t[i + 1]), om = Decimal(t[i + 3]);
            if (!oh || !om || *oh > 23 || *om > 59)
                return false;
            offsetMinutes = qint64(*oh) * 60 + *om;
            if (t[i] == u'-')
                offsetMinutes = -offsetMinutes;
            i += 4;
        } else {
            return false;
        }
    }
    if (i != n) // junk after the zone
        return false;

    TDateTime d = 0, tm = 0;
    if (!TryEncodeDate(*year, *month, *day, d) || !TryEncodeTime(*hour, *minute, second, msec, tm))
        return false;
    TDateTime value = AddMSecs(d, qint64(std::llround(tm * kMSecsPerDay)));
    value = AddMSecs(value, -offsetMinutes * kMSecsPerMinute);
    if (toLocal)
        value = UTCToSystemTime(value);
    dateTime = value;
    return true;
}

TDateTime RFC3330ToDateTime(const QString &text, bool toLocal)
{
    TDateTime result = 0;
    if (!TryRFC3330ToDateTime(text, result, toLocal, true))
        throw EConvertError(u'\'' + text + QStringLiteral("' is not a valid RFC 3339 timestamp!"));
    return result;
}

TDateTime RFC3330ToDateTimeDef(const QString &text, bool toLocal, TDateTime defaultValue)
{
    TDateTime result = 0;
    return TryRFC3330ToDateTime(text, result, toLocal, true) ? result : defaultValue;
}

bool IsRFC3330ToDateTime(const QString &text)
{
    TDateTime dummy = 0;
    return TryRFC3330ToDateTime(text, dummy, false, true);
}

QString DateTimeToRFC3330(TDateTime dateTime, bool outputUTC, bool inputIsUTC, int fractionDigits, bool withOffset)
{
    const TDateTime utcReference = inputIsUTC ? dateTime : RwLocalToUTC(dateTime);
    TDateTime value = dateTime;
    if (outputUTC && !inputIsUTC)
        value = RwLocalToUTC(dateTime);
    else if (!outputUTC && inputIsUTC)
        value = RwUTCToLocal(dateTime);

    QDate date;
    QTime time;
    ToDateAndTime(value, date, time);
    QString s = QString::number(date.year()) + u'-' + Two(date.month()) + u'-' + Two(date.day()) + u'T'
        + Two(time.hour()) + u':' + Two(time.minute()) + u':' + Two(time.second());
    if (fractionDigits > 0) {
        QString frac = QStringLiteral("%1").arg(time.msec(), 3, 10, QLatin1Char('0'));
        frac = fractionDigits < 3 ? frac.left(fractionDigits) : frac + QString(fractionDigits - 3, u'0');
        s += u'.' + frac;
    }
    if (withOffset)
        s += OffsetText(value, utcReference);
    return s;
}

TDateTime StrYYYYMMDDToDateDef(const QString &text, TDateTime defaultValue)
{
    if (text.isEmpty())
        return defaultValue;
    const auto field = [&](int from, int len) { return StrToIntDef(text.mid(from - 1, len), 0); };
    const int year = field(1, 4), month = field(5, 2), day = field(7, 2);
    if (year == 0 || month == 0 || day == 0)
        return defaultValue;
    TDateTime d = 0;
    if (!TryEncodeDate(year, month, day, d))
        return defaultValue;
    if (text.size() > 9 && text.at(8) == u'T') {
        TDateTime tm = 0;
        if (!TryEncodeTime(field(10, 2), field(12, 2), field(14, 2), 0, tm))
            return defaultValue;
        d = AddMSecs(d, std::llround(tm * kMSecsPerDay));
    }
    return d;
}

QString DateTimeToYYYYMMDDFmt(TDateTime dateTime, bool withTime, bool outputUTC, bool inputIsUTC)
{
    QDate date;
    QTime time;
    if (!withTime) {
        ToDateAndTime(dateTime, date, time);
        return QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')) + Two(date.month()) + Two(date.day());
    }
    const TDateTime utcReference = inputIsUTC ? dateTime : RwLocalToUTC(dateTime);
    // A UTC input is written as it is: this form never turns it into local time.
    const TDateTime value = (outputUTC && !inputIsUTC) ? RwLocalToUTC(dateTime) : dateTime;
    ToDateAndTime(value, date, time);
    return QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')) + Two(date.month()) + Two(date.day())
        + u'T' + Two(time.hour()) + Two(time.minute()) + Two(time.second()) + OffsetText(value, utcReference);
}

TDateTime UTCToSystemTime(TDateTime dateTime)
{
    return IsUnset(dateTime) ? dateTime : RwUTCToLocal(dateTime);
}

TDateTime SystemTimeToUTC(TDateTime dateTime)
{
    return IsUnset(dateTime) ? dateTime : RwLocalToUTC(dateTime);
}

bool IsISODateTime(const QString &text)
{
    TDateTime d = 0;
    return TryStrToDateTime(text, d, IsoSettings());
}

bool IsISODate(const QString &text)
{
    TDateTime d = 0;
    return TryStrToDate(text, d, IsoSettings());
}

bool IsISOTime(const QString &text)
{
    TDateTime d = 0;
    return TryStrToTime(text, d, IsoSettings());
}

TDateTime ISODateTimeToDateTime(const QString &text)
{
    return StrToDateTime(text, IsoSettings());
}

TDateTime ISODateToDateTime(const QString &text)
{
    return StrToDate(text, IsoSettings());
}

TDateTime ISOTimeToDateTime(const QString &text)
{
    return StrToTime(text, IsoSettings());
}

QString DateToISOStr(TDateTime dateTime)
{
    QDate date;
    QTime time;
    ToDateAndTime(dateTime, date, time);
    return QStringLiteral("%1-%2-%3").arg(date.year(), 4, 10, QLatin1Char('0')).arg(Two(date.month()), Two(date.day()));
}

QString TimeToISOStr(TDateTime dateTime)
{
    QDate date;
    QTime time;
    ToDateAndTime(dateTime, date, time);
    return Two(time.hour()) + u':' + Two(time.minute()) + u':' + Two(time.second());
}

QString DateTimeToISOStr(TDateTime dateTime)
{
    QDate date;
    QTime time;
    ToDateAndTime(dateTime, date, time);
    if (time.msecsSinceStartOfDay() == 0)
        return DateToISOStr(dateTime);
    return DateToISOStr(dateTime) + u' ' + TimeToISOStr(dateTime);
}

TDateTime CorrectEndDate(TDateTime dateTime)
{
    if (ToMSecs(dateTime) % kMSecsPerDay != 0)
        return dateTime;
    return AddMSecs(dateTime, kMSecsPerDay - 1);
}

bool IsDateInRange(TDateTime from, TDateTime to, TDateTime date)
{
    const bool hasFrom = from > MinDateTime;
    const bool hasTo = to > MinDateTime;
    const qint64 d = ToMSecs(date);
    if (hasFrom && hasTo)
        return ToMSecs(from) <= d && d <= ToMSecs(CorrectEndDate(to));
    if (hasFrom)
        return ToMSecs(from) <= d;
    if (hasTo)
        return d <= ToMSecs(CorrectEndDate(to));
    return false;
}

void GetDateRangeBetween(TDateTime first, TDateTime last, int &days, int &months, int &years)
{
    days = months = years = 0;
    if (!(ToMSecs(first) < ToMSecs(last)))
        return;
    QDate lastDate;
    QTime unused;
    ToDateAndTime(last, lastDate, unused);
    const int daysInLastMonth = lastDate.daysInMonth();

    // Both ends inclusive: from the last moment of the day before the first day
    // to the start of the day after the last one.
    const qint64 firstDay = ToMSecs(first) - ((ToMSecs(first) % kMSecsPerDay) + kMSecsPerDay) % kMSecsPerDay;
    const qint64 lastDay = ToMSecs(last) - ((ToMSecs(last) % kMSecsPerDay) + kMSecsPerDay) % kMSecsPerDay;
    const TDateTime from = FromMSecs(firstDay - 1);
    const TDateTime to = FromMSecs(lastDay + kMSecsPerDay);

    years = YearsBetween(to, from);
    const TDateTime fromYears = IncYearKeepTime(from, years);
    months = MonthsBetween(to, fromYears);
    days = DaysBetween(to, IncMonthKeepTime(fromYears, months));
    if (days == daysInLastMonth) {
        days = 0;
        ++months;
        if (months == 12) {
            months = 0;
            ++years;
        }
    }
}

TDateTime IncHourLocal(TDateTime dateTime, qint64 count)
{
    TDateTime r = AddMSecs(dateTime, count * kMSecsPerHour);
    if (IsInvalidTime(r))
        r = AddMSecs(r, kMSecsPerHour);
    return r;
}

TDateTime IncMinuteLocal(TDateTime dateTime, qint64 count)
{
    TDateTime r = AddMSecs(dateTime, count * kMSecsPerMinute);
    if (IsInvalidTime(r))
        r = AddMSecs(r, kMSecsPerHour);
    return r;
}

} // namespace zor
