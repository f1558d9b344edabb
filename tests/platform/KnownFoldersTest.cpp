#include <ZorCompCore/platform/KnownFolders.h>

#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>

using namespace zor;

namespace {

// Sets environment variables for one test and puts the old values back.
class EnvGuard
{
public:
    void set(const char *name, const QByteArray &value)
    {
        remember(name);
        qputenv(name, value);
    }
    void unset(const char *name)
    {
        remember(name);
        qunsetenv(name);
    }
    ~EnvGuard()
    {
        for (const auto &[name, value] : saved) {
            if (value)
                qputenv(name.c_str(), *value);
            else
                qunsetenv(name.c_str());
        }
    }

private:
    void remember(const char *name)
    {
        if (saved.count(name))
            return;
        saved[name] = qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt;
    }
    std::map<std::string, std::optional<QByteArray>> saved;
};

} // namespace

TEST(KnownFolders, XdgVariablesAndDefaults)
{
    QTemporaryDir home;
    EnvGuard env;
    env.set("HOME", home.path().toUtf8() + "/"); // a trailing slash must not leak out
    for (const char *v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "ZOR_PROGRAM_DATA", "XDG_DOCUMENTS_DIR",
                          "XDG_DESKTOP_DIR", "XDG_PUBLICSHARE_DIR"})
        env.unset(v);
    const QString h = home.path();

    struct Row
    {
        const char *name;
        TKnownFolder folder;
        QString expected;
    };
    const Row defaults[] = {
        {"roaming", TKnownFolder::RoamingAppData, h + "/.config"},
        {"local", TKnownFolder::LocalAppData, h + "/.local/share"},
        {"cache", TKnownFolder::Cache, h + "/.cache"},
        {"program data", TKnownFolder::ProgramData, QStringLiteral("/var/lib")},
        {"documents", TKnownFolder::Documents, h + "/Documents"},
        {"desktop", TKnownFolder::Desktop, h + "/Desktop"},
        {"home", TKnownFolder::Home, h},
    };
    for (const Row &row : defaults) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(KnownFolderPath(row.folder), row.expected);
    }

    env.set("XDG_CONFIG_HOME", "/cfg/");
    env.set("XDG_DATA_HOME", "relative/data"); // not absolute: ignored
    env.set("ZOR_PROGRAM_DATA", "/opt/zor//data/");
    EXPECT_EQ(RoamingAppDataPath(), QStringLiteral("/cfg"));
    EXPECT_EQ(LocalAppDataPath(), h + "/.local/share");
    EXPECT_EQ(ProgramDataPath(), QStringLiteral("/opt/zor/data"));

    QDir(h).mkpath(QStringLiteral("tmp"));
    env.set("TMPDIR", home.path().toUtf8() + "/tmp/");
    EXPECT_EQ(TempPath(), QDir(h + "/tmp").canonicalPath());
    env.set("TMPDIR", home.path().toUtf8() + "/gone");
    EXPECT_EQ(TempPath(), QStringLiteral("/tmp"));
}

TEST(KnownFolders, UserDirsFile)
{
    QTemporaryDir home;
    EnvGuard env;
    env.set("HOME", home.path().toUtf8());
    env.set("XDG_CONFIG_HOME", home.path().toUtf8() + "/conf");
    env.unset("XDG_DOCUMENTS_DIR");
    env.unset("XDG_DESKTOP_DIR");
    env.unset("XDG_PICTURES_DIR");
    env.unset("XDG_DOWNLOAD_DIR");
    QDir(home.path()).mkpath(QStringLiteral("conf"));
    QFile f(home.path() + "/conf/user-dirs.dirs");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# written by xdg-user-dirs-update\n"
            "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
            "XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"/\"\n"
            "XDG_PICTURES_DIR=\"$HOME\"\n"
            "XDG_DOWNLOAD_DIR=\"relative/dl\"\n");
    f.close();
    const QString h = home.path();
    EXPECT_EQ(KnownFolderPath(TKnownFolder::Desktop), h + "/Schreibtisch");
    EXPECT_EQ(DocumentsPath(), h + "/My \"Docs\"");
    EXPECT_EQ(KnownFolderPath(TKnownFolder::Pictures), h); // switched off: the home folder
    EXPECT_EQ(KnownFolderPath(TKnownFolder::Downloads), h + "/Downloads");

    env.set("XDG_DOCUMENTS_DIR", "/override/docs");
    EXPECT_EQ(DocumentsPath(), QStringLiteral("/override/docs"));
}
