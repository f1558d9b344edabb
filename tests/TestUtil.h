// Small helpers shared by the test suites.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <ctime>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <ostream>

#include <pthread.h>

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

// Runs fn on a thread with a 1 MiB stack, as worker threads often have.
inline void onSmallStack(const std::function<void()> &fn)
{
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1 << 20);
    pthread_t t;
    auto *job = new std::function<void()>(fn);
    ASSERT_EQ(pthread_create(
                  &t, &attr,
                  [](void *p) -> void * {
                      std::unique_ptr<std::function<void()>> f(static_cast<std::function<void()> *>(p));
                      (*f)();
                      return nullptr;
                  },
                  job),
              0);
    pthread_join(t, nullptr);
    pthread_attr_destroy(&attr);
}
