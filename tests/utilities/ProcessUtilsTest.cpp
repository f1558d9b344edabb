#include <ZorCompCore/utilities/ProcessUtils.h>

#include <ZorCompCore/utilities/FileUtils.h>

#include "TestUtil.h"
#include <ZorCompCore/platform/Exception.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <csignal>
#include <unistd.h>
#include <thread>

using namespace zor;

namespace {


void WriteFile(const QString &path, const QByteArray &data, bool executable = false)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(data);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A data folder holding nothing but the system's MIME database, so that file
// types are known while no installed application is. One per process: the
// MIME database keeps the folders it found for a while.
QString MimeOnlyDataDir()
{
    static QTemporaryDir dir;
    static const bool linked = QFile::link(QStringLiteral("/usr/share/mime"), dir.path() + QStringLiteral("/mime"));
    Q_UNUSED(linked);
    return dir.path();
}

// An isolated desktop: own config and data folders, one application that
// records which file it was asked to open.
class DesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        const QString root = tmp.path();
        QDir().mkpath(root + QStringLiteral("/config"));
        QDir().mkpath(root + QStringLiteral("/data/applications"));
        env.emplace_back("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
        env.emplace_back("XDG_CONFIG_DIRS", QFile::encodeName(root + QStringLiteral("/no-config")));
        env.emplace_back("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data")));
        env.emplace_back("XDG_DATA_DIRS", QFile::encodeName(root + QStringLiteral("/no-data:") + MimeOnlyDataDir()));
        env.emplace_back("XDG_CURRENT_DESKTOP", QByteArray("ZorTest"));

        opener = root + QStringLiteral("/opener.sh");
        WriteFile(opener, "#!/bin/sh\nexec 2>/dev/null\nsleep 0.3\nprintf '%s' \"$*\" > \"$1.opened\"\n", true);
        WriteFile(root + QStringLiteral("/data/applications/zor-viewer.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" + QFile::encodeName(opener) + " %f\n");
        WriteFile(root + QStringLiteral("/config/mimeapps.list"),
                  "[Default Applications]\ntext/plain=missing.desktop;zor-viewer.desktop\n");
    }
    QString Path(const QString &name) const { return tmp.path() + u'/' + name; }

    QTemporaryDir tmp;
    std::list<ScopedEnv> env;
    QString opener;
};

} // namespace

TEST(ProcessUtils, CaptureLargeOutputWithoutDeadlock)
{
    // Far more than a pipe holds, on both channels, before the process ends.
    QByteArray out;
    int exitCode = -99;
    ASSERT_TRUE(RunExecutableAndCapture(
        QStringLiteral("/bin/sh -c \"head -c 3000000 /dev/zero | tr '\\0' a; echo err >&2; exit 3\""), QString(),
        out, exitCode));
    EXPECT_EQ(exitCode, 3);
    ASSERT_EQ(out.size(), 3000004);
    EXPECT_EQ(out.count('a'), 3000000);
    EXPECT_TRUE(out.endsWith("err\n"));

    QTemporaryDir tmp;
    ASSERT_TRUE(RunExecutableAndCapture(QStringLiteral("pwd"), tmp.path(), out, exitCode));
    EXPECT_EQ(out.trimmed(), QFile::encodeName(QFileInfo(tmp.path()).canonicalFilePath()));
    EXPECT_EQ(exitCode, 0);

    ASSERT_TRUE(RunExecutableAndCapture(QStringLiteral("/bin/sh -c \"kill -9 $$\""), QString(), out, exitCode));
    EXPECT_EQ(exitCode, -1) << "a crash has no exit code";

    EXPECT_FALSE(RunExecutableAndCapture(QStringLiteral("/no/such/program"), QString(), out, exitCode));
    EXPECT_FALSE(RunExecutableAndCapture(QString(), QString(), out, exitCode));
}

TEST(ProcessUtils, RunExecutable)
{
    int exitCode = -99;
    ASSERT_TRUE(RunExecutable(QStringLiteral("/bin/sh -c \"exit 7\""), QString(), true, exitCode));
    EXPECT_EQ(exitCode, 7);

    // A given environment replaces the inherited one.
    QTemporaryDir tmp;
    const QString script = tmp.path() + QStringLiteral("/env.sh");
    WriteFile(script, "#!/bin/sh\ntest \"$ZOR_X\" = a=b && test -z \"$ZOR_INHERITED\" && exit 5\nexit 9\n", true);
    const QStringList environment {QStringLiteral("ZOR_X=a=b"), QStringLiteral("PATH=/usr/bin:/bin")};
    ScopedEnv inherited("ZOR_INHERITED", "1");
    ASSERT_TRUE(RunExecutable(script, QString(), true, exitCode, {}, nullptr, &environment));
    EXPECT_EQ(exitCode, 5);
    ASSERT_TRUE(RunExecutable(script, QString(), true, exitCode));
    EXPECT_EQ(exitCode, 9) << "the inherited environment without one";

    // A callback that asks for the kill ends the process with exit code 1.
    int calls = 0;
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(RunExecutable(QStringLiteral("sleep 30"), QString(), true, exitCode,
                              [&](QObject *, bool &kill) { kill = ++calls == 3; }));
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(calls, 3);
    EXPECT_LT(timer.elapsed(), 10000);

    EXPECT_FALSE(RunExecutable(QStringLiteral("/no/such/program"), QString(), true, exitCode));

    // Without waiting the process runs on its own.
    const QString marker = tmp.path() + QStringLiteral("/marker");
    ASSERT_TRUE(RunExecutable(QStringLiteral("touch marker"), tmp.path()));
    for (int i = 0; i < 200 && !QFileInfo::exists(marker); ++i)
        QThread::msleep(20);
    EXPECT_TRUE(QFileInfo::exists(marker));
}

TEST(ProcessUtils, RunningProcessCount)
{
    QTemporaryDir tmp;
    const QString sleeper = tmp.path() + QStringLiteral("/zorsleeper");
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), sleeper));
    QFile::setPermissions(sleeper, QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);

    EXPECT_EQ(GetProcessPathRunningCount(sleeper), 0);
    QProcess a, b;
    a.start(sleeper, {QStringLiteral("30")});
    b.start(sleeper, {QStringLiteral("30")});
    ASSERT_TRUE(a.waitForStarted());
    ASSERT_TRUE(b.waitForStarted());

    int count = 0;
    EXPECT_TRUE(IsProcessPathRunning(sleeper, count));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(GetProcessPathRunningCount(QStringLiteral("zorsleeper")), 2) << "by file name";
    EXPECT_EQ(GetProcessPathRunningCount(tmp.path() + QStringLiteral("/./zorsleeper")), 2);
    EXPECT_EQ(GetProcessPathRunningCount(QStringLiteral("/elsewhere/zorsleeper")), 0);

    a.kill();
    b.kill();
    a.waitForFinished();
    b.waitForFinished();
    EXPECT_FALSE(IsProcessPathRunning(sleeper, count));
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(IsProcessPathRunning(QString(), count));
}

TEST(ProcessUtils, DesktopEntryCommands)
{
    QTemporaryDir tmp;
    struct Row
    {
        const char *name;
        const char *entry;
        QStringList expected; // %F stands for the file's path
    };
    const Row rows[] = {
        {"file code", "Exec=viewer %f", {"viewer", "%F"}},
        {"url code", "Exec=viewer --new %U", {"viewer", "--new", "%URL"}},
        {"no code: file appended", "Exec=viewer -x", {"viewer", "-x", "%F"}},
        {"quoted with escapes", "Exec=\"/opt/my app/run\" \"a \\\"b\\\"\" %f", {"/opt/my app/run", "a \"b\"", "%F"}},
        {"percent literal and deprecated codes", "Exec=viewer 100%% %d %f", {"viewer", "100%", "%F"}},
        {"icon and name", "Icon=pic\nName=Viewer\nExec=viewer %i %c %f", {"viewer", "--icon", "pic", "Viewer", "%F"}},
        {"embedded code", "Exec=viewer --file=%f", {"viewer", "--file=%F"}},
        {"value escapes", "Exec=viewer\\sx %f", {"viewer", "x", "%F"}},
    };
    const QString file = tmp.path() + QStringLiteral("/a b.txt");
    const QString url = QStringLiteral("file://") + tmp.path() + QStringLiteral("/a%20b.txt");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QString desktop = tmp.path() + QStringLiteral("/e.desktop");
        WriteFile(desktop, QByteArray("[Desktop Entry]\n") + row.entry + "\n[Desktop Action x]\nExec=other\n");
        QStringList expected;
        for (QString e : row.expected)
            expected << e.replace(QStringLiteral("%F"), file).replace(QStringLiteral("%URL"), url);
        EXPECT_EQ(DesktopEntryCommand(desktop, file), expected);
    }
    EXPECT_EQ(DesktopEntryCommand(tmp.path() + QStringLiteral("/missing.desktop"), file), QStringList());
}

TEST_F(DesktopTest, FindsTheDefaultApplication)
{
    const QString viewer = Path(QStringLiteral("data/applications/zor-viewer.desktop"));
    EXPECT_EQ(FindDefaultApplication(QStringLiteral("text/plain")), viewer);
    // A subtype without its own default inherits its parent's.
    EXPECT_EQ(FindDefaultApplication(QStringLiteral("text/csv")), viewer);
    EXPECT_EQ(FindDefaultApplication(QStringLiteral("image/png")), QString());
    EXPECT_EQ(FindDefaultApplication(QStringLiteral("application/x-zor-unknown")), QString());
    EXPECT_EQ(FindDefaultApplication(QString()), QString());

    // A desktop-specific list comes first; the cache serves types nobody chose.
    WriteFile(Path(QStringLiteral("data/applications/zor-other.desktop")), "[Desktop Entry]\nExec=other %f\n");
    WriteFile(Path(QStringLiteral("config/zortest-mimeapps.list")), "[Default Applications]\ntext/plain=zor-other.desktop\n");
    WriteFile(Path(QStringLiteral("data/applications/mimeinfo.cache")), "[MIME Cache]\nimage/png=zor-other.desktop;\n");
    const QString other = Path(QStringLiteral("data/applications/zor-other.desktop"));
    EXPECT_EQ(FindDefaultApplication(QStringLiteral("text/plain")), other);
    EXPECT_EQ(FindDefaultApplication(QStringLiteral("image/png")), other);
}

TEST_F(DesktopTest, OpensDocumentsAndWaits)
{
    const QString doc = Path(QStringLiteral("note.txt"));
    WriteFile(doc, "hello");
    int calls = 0;
    ASSERT_TRUE(ShellExecute_AndWait(doc, QString(), [&](QObject *, bool &) { ++calls; }));
    // The application has finished: its mark is there when the call returns.
    EXPECT_EQ(ReadFile(doc + QStringLiteral(".opened")), doc.toUtf8());
    EXPECT_GT(calls, 0);

    // An executable runs itself, with the parameters.
    const QString tool = Path(QStringLiteral("tool.sh"));
    WriteFile(tool, "#!/bin/sh\nprintf '%s' \"$*\" > \"$0.ran\"\n", true);
    ASSERT_TRUE(ShellExecute_AndWait(tool, QStringLiteral("one \"two three\"")));
    EXPECT_EQ(ReadFile(tool + QStringLiteral(".ran")), QByteArray("one two three"));

    // Nothing to wait for: the fixed message names the file.
    const QString image = Path(QStringLiteral("pic.png"));
    WriteFile(image, "\x89PNG\r\n\x1a\n");
    try {
        ShellExecute_AndWait(image);
        FAIL() << "no exception";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Can't successfully launch external application.\r\nMaybe because there are allready "
                                 "some open instances (it's impossible to waitfor in this state).\r\nPlease close all "
                                 "pic.png instances and try again."));
    }
    EXPECT_THROW(ShellExecute_AndWait(Path(QStringLiteral("missing.txt"))), EOSError);
}

TEST_F(DesktopTest, OpenFileAndWaitUntilUnlocked)
{
    // The "application" here is a thread of ours that takes the file, maybe
    // writes it, and lets it go again.
    const QString doc = Path(QStringLiteral("edit.txt"));
    WriteFile(doc, "before");
    {
        QFile f(doc);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    for (const bool write : {true, false}) {
        SCOPED_TRACE(write ? "edited" : "only looked at");
        // The lock is taken once the wait for it has begun (the callback has
        // run), so a slow start of the application cannot make it pass unseen.
        std::atomic<int> calls {0};
        std::thread editor([&] {
            while (calls == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            TFileStream f(doc, fmOpenReadWrite | fmShareExclusive);
            if (write)
                f.WriteBuffer("after", 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        });
        bool changed = !write;
        EXPECT_TRUE(OpenFileAndWaitUntilUnlocked(doc, changed, [&](QObject *, bool &) { ++calls; }, nullptr, 10));
        editor.join();
        EXPECT_EQ(changed, write);
        EXPECT_FALSE(IsFileLocked(doc));
        EXPECT_GT(calls, 0);
    }
}

// Applications as they are: one keeps the file open without a lock, one reads
// it and stays running, one hands it to a process of its own and exits, one
// locks it with flock. The wait ends when they are done with the file (their
// last act is to write it), and a time-out ends a wait for one that is not.
TEST_F(DesktopTest, OpenFileAndWaitUntilUnlockedWatchesTheApplication)
{
    const QString doc = Path(QStringLiteral("doc.txt"));
    struct Row {
        const char *name;
        QByteArray script;
    };
    const Row rows[] = {
        {"keeps the file open", "exec 3<\"$1\"\nsleep 0.5\nprintf edited >> \"$1\"\n"},
        {"reads it and stays running", "cat \"$1\" > /dev/null\nsleep 0.5\nprintf edited >> \"$1\"\n"},
        {"hands it on and exits", "( exec 3<\"$1\"; sleep 0.6; printf edited >> \"$1\" ) &\nsleep 0.1\nexit 0\n"},
        // Gone before any scan can see it as the parent of its helper.
        {"hands it on and exits at once", "( sleep 0.3; exec 3<\"$1\"; sleep 0.3; printf edited >> \"$1\" ) &\nexit 0\n"},
        {"locks it with flock", "flock \"$1\" sh -c 'sleep 0.5; printf edited >> \"$0\"' \"$1\" &\nsleep 0.1\nexit 0\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        WriteFile(opener, "#!/bin/sh\n" + row.script, true);
        WriteFile(doc, "before ");
        {
            QFile f(doc);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        }
        bool changed = false;
        int calls = 0;
        EXPECT_TRUE(OpenFileAndWaitUntilUnlocked(doc, changed, [&](QObject *, bool &) { ++calls; }, nullptr, 20, 60000));
        EXPECT_EQ(ReadFile(doc), QByteArray("before edited")) << "returned before the application was done";
        EXPECT_TRUE(changed);
        EXPECT_GT(calls, 0);
    }

    // The file handed to an application that was already running (not below
    // the launched one): it is seen by its open descriptor, or through a
    // second name of the file by its lock alone.
    ASSERT_EQ(::link(QFile::encodeName(doc).constData(), QFile::encodeName(doc + QStringLiteral(".hard")).constData()), 0);
    const Row running[] = {
        {"keeps it open", "exec 3<\"$1\"\n: > \"$1.held\"\nsleep 0.5\nprintf edited >> \"$1\"\n"},
        {"locks it under another name",
         "exec flock \"$1.hard\" sh -c ': > \"$0.held\"; sleep 0.5; printf edited >> \"$0\"' \"$1\"\n"},
    };
    WriteFile(opener, "#!/bin/sh\n: > \"$1.go\"\nwhile [ ! -e \"$1.held\" ]; do sleep 0.01; done\n", true);
    for (const Row &row : running) {
        SCOPED_TRACE(row.name);
        QFile::remove(doc + QStringLiteral(".go"));
        QFile::remove(doc + QStringLiteral(".held"));
        {
            QFile f(doc);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("before ");
        }
        QProcess app;
        app.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("while [ ! -e \"$1.go\" ]; do sleep 0.01; done\n")
                                             + QString::fromUtf8(row.script),
                   QStringLiteral("sh"), doc});
        ASSERT_TRUE(app.waitForStarted());
        bool changed = false;
        EXPECT_TRUE(OpenFileAndWaitUntilUnlocked(doc, changed, {}, nullptr, 20, 60000));
        EXPECT_EQ(ReadFile(doc), QByteArray("before edited")) << "returned before the application was done";
        app.waitForFinished();
    }

    // An application that never lets go: the time-out ends the wait.
    WriteFile(opener, "#!/bin/sh\necho $$ > \"$1.pid\"\nexec 3<\"$1\"\nexec sleep 60\n", true);
    bool changed = true;
    EXPECT_FALSE(OpenFileAndWaitUntilUnlocked(doc, changed, {}, nullptr, 20, 400));
    EXPECT_FALSE(changed);
    const QByteArray pid = ReadFile(doc + QStringLiteral(".pid")).trimmed();
    if (pid.toInt() > 0)
        ::kill(pid.toInt(), SIGKILL);
}

// The shell verbs: "edit" runs the user's editor or the entry's edit action,
// "print" goes through lp, anything else is refused with its name.
TEST_F(DesktopTest, VerbsEditAndPrint)
{
    const QString doc = Path(QStringLiteral("letter.txt"));
    WriteFile(doc, "Dear all");
    const QString bin = Path(QStringLiteral("bin"));
    QDir().mkpath(bin);
    const QString editor = bin + QStringLiteral("/my-editor");
    const QString marks = doc + QStringLiteral(".edited");
    WriteFile(editor, "#!/bin/sh\nprintf '%s ' \"$@\" > '" + QFile::encodeName(marks) + "'\n", true);

    {
        ScopedEnv visual("VISUAL", QFile::encodeName(editor) + " --wait");
        ScopedEnv other("EDITOR", "/bin/false");
        ASSERT_TRUE(ShellExecute_AndWait(doc, QString(), {}, nullptr, QStringLiteral("edit")));
        EXPECT_EQ(ReadFile(marks), ("--wait " + doc + u' ').toUtf8());
    }
    QFile::remove(marks);
    {
        ScopedEnv visual("VISUAL", "");
        ScopedEnv other("EDITOR", QFile::encodeName(editor));
        ASSERT_TRUE(ShellExecute_AndWait(doc, QString(), {}, nullptr, QStringLiteral("Edit")));
        EXPECT_EQ(ReadFile(marks), (doc + u' ').toUtf8());
    }
    QFile::remove(marks);
    {
        ScopedEnv visual("VISUAL", "");
        ScopedEnv other("EDITOR", "");
        // Without one, the application's "edit" action.
        try {
            ShellExecute_AndWait(doc, QString(), {}, nullptr, QStringLiteral("edit"));
            ADD_FAILURE() << "no exception without an editor";
        } catch (const Exception &e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("No editor for \"letter.txt\""))) << e.Message().toStdString();
        }
        WriteFile(Path(QStringLiteral("data/applications/zor-viewer.desktop")),
                  "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" + QFile::encodeName(opener)
                      + " %f\nActions=New;Edit;\n\n[Desktop Action New]\nExec=/bin/false\n\n[Desktop Action Edit]\nExec="
                      + QFile::encodeName(editor) + " %f\n");
        ASSERT_TRUE(ShellExecute_AndWait(doc, QString(), {}, nullptr, QStringLiteral("edit")));
        EXPECT_EQ(ReadFile(marks), (doc + u' ').toUtf8());
    }

    // Printing through lp, with the parameters as its options.
    WriteFile(bin + QStringLiteral("/lp"), "#!/bin/sh\nprintf '%s ' \"$@\" > \"$0.args\"\n", true);
    {
        ScopedEnv path("PATH", QFile::encodeName(bin) + ":/usr/bin:/bin");
        ASSERT_TRUE(ShellExecute_AndWait(doc, QStringLiteral("-n 2"), {}, nullptr, QStringLiteral("print")));
        EXPECT_EQ(ReadFile(bin + QStringLiteral("/lp.args")), ("-n 2 -- " + doc + u' ').toUtf8());
    }
    {
        ScopedEnv path("PATH", QFile::encodeName(Path(QStringLiteral("data"))));
        try {
            ShellExecute_AndWait(doc, QString(), {}, nullptr, QStringLiteral("print"));
            ADD_FAILURE() << "no exception without lp";
        } catch (const Exception &e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("lp command (CUPS)"))) << e.Message().toStdString();
        }
    }
    try {
        ShellExecute_AndWait(doc, QString(), {}, nullptr, QStringLiteral("explode"));
        ADD_FAILURE() << "no exception for an unknown verb";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unknown verb \"explode\" for \"letter.txt\": use open, edit or print."));
    }
}
