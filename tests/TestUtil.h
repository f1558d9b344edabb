// Small helpers shared by the test suites.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <ctime>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

// Sets an environment variable for the scope of a test, restoring it after.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : FName(name), FHad(qEnvironmentVariableIsSet(name)), FOld(qgetenv(name))
    {
        qputenv(name, value);
        tzset(); // TZ changes must reach the C library's time functions
    }
    ~ScopedEnv()
    {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
        tzset();
    }

private:
    const char *FName;
    bool FHad;
    QByteArray FOld;
};

// Lower-case hex with spaces ("41 00 42 00"), for readable byte comparisons.
inline QString hexBytes(const QByteArray &b)
{
    return QString::fromLatin1(b.toHex(' '));
}

// Builds bytes from "41 00 42 00" style text.
inline QByteArray bytesFromHex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

// Lets gtest print QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << '[' << b.toHex(' ').toStdString() << ']';
}
QT_END_NAMESPACE
