// Tests whose outcome depends on file permissions must see them as an
// ordinary user does; root passes every permission check. When the suite runs
// as root (as CI does), such a test runs its own body again in a child process
// under the unprivileged "nobody" user through setpriv.
#pragma once

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <gtest/gtest.h>

#include <unistd.h>

// True when the caller is root and the body ran (or was skipped) elsewhere:
// the caller then returns. Use as the first statement of the test:
//   if (ranUnprivileged()) return;
inline bool ranUnprivileged()
{
    if (::geteuid() != 0)
        return false;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) {
        ADD_FAILURE() << "running as root without setpriv: this test needs an unprivileged user";
        return true;
    }
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter = QStringLiteral("--gtest_filter=%1.%2")
                               .arg(QString::fromLatin1(info->test_suite_name()), QString::fromLatin1(info->name()));
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                      QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget(), filter});
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "the unprivileged run did not end";
        return true;
    }
    const QString out = QString::fromLocal8Bit(p.readAll());
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
    return true;
}
