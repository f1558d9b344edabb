// Runs the built zorcc as a separate process, as a user would.
#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

struct ZorccRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Unprivileged: when the test runs as root (as CI does), zorcc runs as the
// user nobody, so that file permissions apply to it.
inline ZorccRun runZorcc(const QStringList &args, const QString &workDir = {}, bool unprivileged = false)
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    if (unprivileged && geteuid() == 0)
        p.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                                      QStringLiteral("--clear-groups"), QStringLiteral(ZORCC_PATH)}
                                               + args);
    else
        p.start(QStringLiteral(ZORCC_PATH), args);
    ZorccRun r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "zorcc " << args.join(u' ').toStdString() << " did not end normally";
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Writes a file into a test's folder and returns its path.
inline QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}
