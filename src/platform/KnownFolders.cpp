#include "KnownFolders.h"

#include <QDir>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

namespace zor {

namespace {

QString withoutTrailingSeparator(QString path)
{
    path = QDir::cleanPath(path);
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

// An environment variable that holds an absolute path; relative values are
// invalid by the XDG rules and ignored.
QString absoluteFromEnv(const char *name)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty() || !QDir::isAbsolutePath(value))
        return {};
    return withoutTrailingSeparator(value);
}

QString homeDir()
{
    const QString env = absoluteFromEnv("HOME");
    if (!env.isEmpty())
        return env;
    // Services started without $HOME still have an account.
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return withoutTrailingSeparator(QString::fromLocal8Bit(pw->pw_dir));
    return withoutTrailingSeparator(QDir::homePath());
}

QString underHomeOr(const char *env, const char *relative)
{
    const QString value = absoluteFromEnv(env);
    if (!value.isEmpty())
        return value;
    return homeDir() + u'/' + QLatin1StringView(relative);
}

// Reads KEY="value" from the user-dirs file. Values are "$HOME/…" or absolute
// paths with shell-style backslash escapes; a value of "$HOME" alone means the
// folder is switched off and the home folder is used.
QString userDirFromConfig(const QString &key)
{
    QFile file(underHomeOr("XDG_CONFIG_HOME", ".config") + QStringLiteral("/user-dirs.dirs"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString prefix = key + QStringLiteral("=");
    // The file is a few hundred bytes; reading a bounded amount guards against
    // something else having been put there.
    const QByteArray content = file.read(64 * 1024);
    for (const QByteArray &rawLine : content.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (!line.startsWith(prefix))
            continue;
        QString value = line.mid(prefix.size()).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        QString unescaped;
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value.at(i) == u'\\' && i + 1 < value.size())
                ++i;
            unescaped += value.at(i);
        }
        if (unescaped.startsWith(QStringLiteral("$HOME")))
            unescaped = homeDir() + unescaped.mid(5);
        if (!QDir::isAbsolutePath(unescaped))
            return {};
        return withoutTrailingSeparator(unescaped);
    }
    return {};
}

QString userDir(const char *key, const char *fallback)
{
    const QString env = absoluteFromEnv(key);
    if (!env.isEmpty())
        return env;
    const QString configured = userDirFromConfig(QString::fromLatin1(key));
    if (!configured.isEmpty())
        return configured;
    return homeDir() + u'/' + QLatin1StringView(fallback);
}

} // namespace

QString KnownFolderPath(TKnownFolder folder)
{
    switch (folder) {
    case TKnownFolder::RoamingAppData: return underHomeOr("XDG_CONFIG_HOME", ".config");
    case TKnownFolder::LocalAppData: return underHomeOr("XDG_DATA_HOME", ".local/share");
    case TKnownFolder::ProgramData: {
        const QString env = absoluteFromEnv("ZOR_PROGRAM_DATA");
        return env.isEmpty() ? QStringLiteral("/var/lib") : env;
    }
    case TKnownFolder::Documents: return userDir("XDG_DOCUMENTS_DIR", "Documents");
    case TKnownFolder::PublicDocuments: return userDir("XDG_PUBLICSHARE_DIR", "Public");
    case TKnownFolder::Desktop: return userDir("XDG_DESKTOP_DIR", "Desktop");
    case TKnownFolder::Pictures: return userDir("XDG_PICTURES_DIR", "Pictures");
    case TKnownFolder::Downloads: return userDir("XDG_DOWNLOAD_DIR", "Downloads");
    case TKnownFolder::Home: return homeDir();
    case TKnownFolder::Cache: return underHomeOr("XDG_CACHE_HOME", ".cache");
    case TKnownFolder::Temp: {
        // QDir::tempPath() is empty when $TMPDIR names a folder that is gone.
        const QString temp = QDir::tempPath();
        return temp.isEmpty() ? QStringLiteral("/tmp") : withoutTrailingSeparator(temp);
    }
    }
    return {};
}

QString RoamingAppDataPath() { return KnownFolderPath(TKnownFolder::RoamingAppData); }
QString LocalAppDataPath() { return KnownFolderPath(TKnownFolder::LocalAppData); }
QString ProgramDataPath() { return KnownFolderPath(TKnownFolder::ProgramData); }
QString DocumentsPath() { return KnownFolderPath(TKnownFolder::Documents); }
QString HomePath() { return KnownFolderPath(TKnownFolder::Home); }
QString TempPath() { return KnownFolderPath(TKnownFolder::Temp); }

} // namespace zor
