// Small helpers shared by the test suites.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

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
