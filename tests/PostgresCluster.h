// A throw-away PostgreSQL cluster for tests: a temporary folder, reached
// through its Unix socket only. The server refuses to run as root, so under
// root (as in CI) it runs as the "postgres" user.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

namespace testpg {

inline QString pgTool(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/lib/postgresql/15/bin")});
    return path;
}

class PostgresCluster
{
public:
    // Empty when the cluster can run here, else why not.
    QString usable()
    {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            return QStringLiteral("no QPSQL driver");
        initdb = pgTool(QStringLiteral("initdb"));
        pgctl = pgTool(QStringLiteral("pg_ctl"));
        if (initdb.isEmpty() || pgctl.isEmpty())
            return QStringLiteral("no PostgreSQL server programs");
        return QString();
    }

    // Empty when the cluster is up, else what went wrong.
    QString start()
    {
        if (!dir.isValid())
            return QStringLiteral("no temporary folder");
        if (::geteuid() == 0) {
            const passwd *pw = ::getpwnam("postgres");
            if (!pw)
                return QStringLiteral("running as root without a postgres user");
            user = QStringLiteral("postgres");
            if (::chown(QFile::encodeName(dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0)
                return QStringLiteral("cannot hand the folder to postgres");
        } else {
            user = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
        }
        data = dir.filePath(QStringLiteral("data"));
        QString out;
        if (!run(initdb, {QStringLiteral("-D"), data, QStringLiteral("-U"), user, QStringLiteral("-A"),
                          QStringLiteral("trust"), QStringLiteral("--no-sync")},
                 out))
            return QStringLiteral("initdb failed: ") + out;
        const QString opts = QStringLiteral("-c listen_addresses='' -c unix_socket_directories='%1' -c fsync=off")
                                 .arg(dir.path());
        if (!run(pgctl, {QStringLiteral("-D"), data, QStringLiteral("-o"), opts, QStringLiteral("-l"),
                         dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"), QStringLiteral("start")},
                 out))
            return QStringLiteral("pg_ctl start failed: ") + out;
        started = true;
        return QString();
    }

    ~PostgresCluster()
    {
        if (started) {
            QString out;
            run(pgctl, {QStringLiteral("-D"), data, QStringLiteral("-m"), QStringLiteral("immediate"),
                        QStringLiteral("-w"), QStringLiteral("stop")},
                out);
        }
    }

    bool run(const QString &program, QStringList args, QString &out)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(dir.path());
        if (::geteuid() == 0) {
            args.prepend(program);
            args.prepend(QStringLiteral("--"));
            args.prepend(QStringLiteral("postgres"));
            args.prepend(QStringLiteral("-u"));
            p.start(QStringLiteral("runuser"), args);
        } else {
            p.start(program, args);
        }
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
        }
        out = QString::fromLocal8Bit(p.readAll());
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir dir;
    QString initdb, pgctl, data, user;
    bool started = false;
};

} // namespace testpg
