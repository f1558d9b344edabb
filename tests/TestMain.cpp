#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ctime>

int main(int argc, char **argv)
{
    // Discovery runs the binary at build time, without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // A run must leave the user's own folders alone: the library writes its
    // registry, caches and settings under HOME and the XDG folders, so each
    // test binary gets fresh ones, removed when it ends. Set before anything
    // reads them (Qt caches some at application start).
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/zor-test-home-XXXXXX"));
    if (home.isValid() && qEnvironmentVariableIsEmpty("ZOR_TEST_KEEP_HOME")) {
        const QByteArray root = QFile::encodeName(home.path());
        qputenv("HOME", root);
        qputenv("XDG_CONFIG_HOME", root + "/.config");
        qputenv("XDG_DATA_HOME", root + "/.local/share");
        qputenv("XDG_CACHE_HOME", root + "/.cache");
        qputenv("XDG_STATE_HOME", root + "/.local/state");
        qunsetenv("ZOR_REGISTRY_DIR");
    }

    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
