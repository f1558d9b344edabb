#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Registry.h>
#include <ZorCompCore/platform/StringList.h>

#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <thread>
#include <vector>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zor;

namespace {

QString errorOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const ERegistryException &e) {
        return e.Message();
    } catch (const std::exception &e) {
        return QStringLiteral("other: ") + QString::fromUtf8(e.what());
    }
    return QStringLiteral("<no exception>");
}

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = qgetenv("ZOR_REGISTRY_DIR");
        qputenv("ZOR_REGISTRY_DIR", dir.path().toUtf8());
    }
    void TearDown() override
    {
        if (saved.isEmpty())
            qunsetenv("ZOR_REGISTRY_DIR");
        else
            qputenv("ZOR_REGISTRY_DIR", saved);
    }
    QByteArray storeText(HKEY root = HKEY_CURRENT_USER)
    {
        QFile f(TRegistry::StoreFileName(root));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeStore(const QByteArray &text, HKEY root = HKEY_CURRENT_USER)
    {
        QDir().mkpath(dir.path());
        QFile f(TRegistry::StoreFileName(root));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QTemporaryDir dir;
    QByteArray saved;
};

} // namespace

TEST_F(RegistryTest, TypedValuesRoundTripThroughASecondInstance)
{
    const QString awkward = QStringLiteral("line1\nline2 \"quoted\" \\ back\tslash \u00e9 \U0001F600 ") + QChar(0xD800)
        + QChar(1);
    const QByteArray blob("\x00\x01\xff,=\"", 6);
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\Verbacomp\\TsiLang\\EditorForm"), true));
        EXPECT_EQ(reg.CurrentPath(), QStringLiteral("Software\\Verbacomp\\TsiLang\\EditorForm"));
        reg.WriteString(QStringLiteral("Text"), awkward);
        reg.WriteString(QString(), QStringLiteral("default value"));
        reg.WriteExpandString(QStringLiteral("Path"), QStringLiteral("$HOME/x"));
        reg.WriteInteger(QStringLiteral("Neg"), -5);
        reg.WriteInteger(QStringLiteral("Max"), 2147483647);
        reg.WriteBool(QStringLiteral("Flag"), true);
        reg.WriteFloat(QStringLiteral("Pi"), 3.141592653589793);
        reg.WriteDateTime(QStringLiteral("When"), 45000.75);
        reg.WriteBinaryData(QStringLiteral("Blob"), blob);
        reg.WriteString(QStringLiteral("Name with = and \"quotes\""), QStringLiteral("v"));
    }
    TRegistry reg(KEY_READ);
    ASSERT_TRUE(reg.OpenKeyReadOnly(QStringLiteral("software\\VERBACOMP\\tsilang\\editorform")));
    EXPECT_EQ(reg.ReadString(QStringLiteral("text")), awkward);
    EXPECT_EQ(reg.ReadString(QString()), QStringLiteral("default value"));
    EXPECT_EQ(reg.ReadString(QStringLiteral("Path")), QStringLiteral("$HOME/x"));
    EXPECT_EQ(reg.GetDataType(QStringLiteral("Path")), rdExpandString);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Neg")), -5);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Max")), 2147483647);
    EXPECT_TRUE(reg.ReadBool(QStringLiteral("Flag")));
    EXPECT_EQ(reg.ReadFloat(QStringLiteral("Pi")), 3.141592653589793);
    EXPECT_EQ(reg.ReadDateTime(QStringLiteral("When")), 45000.75);
    EXPECT_EQ(reg.ReadBinaryData(QStringLiteral("Blob")), blob);
    EXPECT_EQ(reg.ReadString(QStringLiteral("Name with = and \"quotes\"")), QStringLiteral("v"));
    EXPECT_EQ(reg.GetDataSize(QStringLiteral("Blob")), 6);
    EXPECT_EQ(reg.GetDataSize(QStringLiteral("Neg")), 4);
    EXPECT_EQ(reg.GetDataSize(QStringLiteral("missing")), -1);

    char buf[16];
    EXPECT_EQ(reg.ReadBinaryData(QStringLiteral("Blob"), buf, sizeof buf), 6);
    EXPECT_EQ(QByteArray(buf, 6), blob);
    EXPECT_EQ(reg.ReadBinaryData(QStringLiteral("missing"), buf, sizeof buf), 0);
    EXPECT_EQ(errorOf([&] { reg.ReadBinaryData(QStringLiteral("Blob"), buf, 5); }),
              QStringLiteral("Invalid data type for 'Blob'"));
}

TEST_F(RegistryTest, WrongTypesAndMissingValues)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Software\\Test"), true));
    reg.WriteString(QStringLiteral("S"), QStringLiteral("12"));
    reg.WriteInteger(QStringLiteral("I"), 12);
    reg.WriteBinaryData(QStringLiteral("B"), QByteArray("abc"));

    struct Row
    {
        const char *name;
        std::function<void()> read;
        QString error;
    };
    const Row rows[] = {
        {"integer of a string", [&] { reg.ReadInteger(QStringLiteral("S")); }, QStringLiteral("Invalid data type for 'S'")},
        {"string of an integer", [&] { reg.ReadString(QStringLiteral("I")); }, QStringLiteral("Invalid data type for 'I'")},
        {"bool of a string", [&] { reg.ReadBool(QStringLiteral("S")); }, QStringLiteral("Invalid data type for 'S'")},
        {"float of 3 bytes", [&] { reg.ReadFloat(QStringLiteral("B")); }, QStringLiteral("Invalid data type for 'B'")},
        {"float of an integer", [&] { reg.ReadFloat(QStringLiteral("I")); }, QStringLiteral("Invalid data type for 'I'")},
        {"binary of a string", [&] { reg.ReadBinaryData(QStringLiteral("S")); }, QStringLiteral("Invalid data type for 'S'")},
        {"missing integer", [&] { reg.ReadInteger(QStringLiteral("Nope")); }, QStringLiteral("Failed to get data for 'Nope'")},
        {"missing bool", [&] { reg.ReadBool(QStringLiteral("Nope")); }, QStringLiteral("Failed to get data for 'Nope'")},
        {"missing date", [&] { reg.ReadDateTime(QStringLiteral("Nope")); }, QStringLiteral("Failed to get data for 'Nope'")},
        {"missing string is empty", [&] { EXPECT_EQ(reg.ReadString(QStringLiteral("Nope")), QString()); },
         QStringLiteral("<no exception>")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(errorOf(row.read), row.error);
    }
    // A value changes type when written with another type.
    reg.WriteInteger(QStringLiteral("S"), 3);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("S")), 3);
    EXPECT_EQ(reg.ValueNames(), (QStringList{QStringLiteral("S"), QStringLiteral("I"), QStringLiteral("B")}));
}

TEST_F(RegistryTest, KeysRelativeAbsoluteAndEnumeration)
{
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey(QStringLiteral("\\Software\\Quenlor"), false));
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("Software")));
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\Quenlor"), true));
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("\\Software"))); // parents were created
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("WPSpell"), true)); // relative to the open key
    EXPECT_EQ(reg.CurrentPath(), QStringLiteral("Software\\Quenlor\\WPSpell"));
    EXPECT_TRUE(reg.CreateKey(QStringLiteral("Dictionaries\\German")));
    EXPECT_TRUE(reg.CreateKey(QStringLiteral("Alpha")));
    EXPECT_TRUE(reg.CreateKey(QStringLiteral("alpha"))); // exists already, other case
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("DICTIONARIES\\german")));
    EXPECT_TRUE(reg.HasSubKeys());

    TStringList names;
    reg.GetKeyNames(names);
    EXPECT_EQ(names.CommaText(), QStringLiteral("Alpha,Dictionaries"));

    reg.CloseKey();
    EXPECT_EQ(reg.CurrentPath(), QString());
    EXPECT_EQ(reg.KeyNames(), QStringList{QStringLiteral("Software")});
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Software\\Quenlor\\"), false)); // trailing separator is harmless
    EXPECT_EQ(reg.KeyNames(), QStringList{QStringLiteral("WPSpell")});

    EXPECT_TRUE(reg.DeleteKey(QStringLiteral("\\Software\\Quenlor\\WPSpell")));
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("\\Software\\Quenlor\\WPSpell\\Dictionaries\\German")));
    EXPECT_FALSE(reg.DeleteKey(QStringLiteral("\\Software\\Quenlor\\WPSpell")));
    EXPECT_FALSE(reg.HasSubKeys());
    EXPECT_FALSE(reg.OpenKey(QStringLiteral("bad\nname"), true));
}

TEST_F(RegistryTest, RootsAreSeparateStores)
{
    TRegistry reg;
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.OpenKey(QStringLiteral(".txt\\ShellEx"), true));
    reg.WriteString(QString(), QStringLiteral("{class}"));
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.HasCurrentKey()); // switching roots closes the key
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("\\.txt")));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("HKEY_CLASSES_ROOT.reg"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("HKEY_CURRENT_USER.reg"))));
}

TEST_F(RegistryTest, ReadOnlyAccessRefusesWrites)
{
    {
        TRegistry writer;
        ASSERT_TRUE(writer.OpenKey(QStringLiteral("K"), true));
        writer.WriteInteger(QStringLiteral("v"), 1);
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(QStringLiteral("K")));
    EXPECT_EQ(errorOf([&] { reg.WriteInteger(QStringLiteral("v"), 2); }), QStringLiteral("Failed to set data for 'v'"));
    EXPECT_FALSE(reg.DeleteValue(QStringLiteral("v")));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("v")), 1);

    TRegistry readOnly(KEY_READ);
    EXPECT_FALSE(readOnly.OpenKey(QStringLiteral("New"), true));
    EXPECT_TRUE(readOnly.OpenKey(QStringLiteral("K"), true));
    EXPECT_THROW(readOnly.WriteString(QStringLiteral("x"), QStringLiteral("y")), ERegistryException);
    EXPECT_THROW(readOnly.CreateKey(QStringLiteral("Sub")), ERegistryException);
}

TEST_F(RegistryTest, DeleteAndRenameValues)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("K"), true));
    reg.WriteString(QStringLiteral("FontInfoLang0"), QStringLiteral("English"));
    reg.WriteString(QStringLiteral("FontInfoLang1"), QStringLiteral("German"));
    EXPECT_TRUE(reg.DeleteValue(QStringLiteral("fontinfolang0")));
    EXPECT_FALSE(reg.DeleteValue(QStringLiteral("FontInfoLang0")));
    EXPECT_FALSE(reg.ValueExists(QStringLiteral("FontInfoLang0")));
    reg.RenameValue(QStringLiteral("FontInfoLang1"), QStringLiteral("FontInfoLang0"));
    EXPECT_EQ(reg.ReadString(QStringLiteral("FontInfoLang0")), QStringLiteral("German"));
    EXPECT_FALSE(reg.ValueExists(QStringLiteral("FontInfoLang1")));
}

TEST_F(RegistryTest, WritesSeeChangesMadeByOthersMeanwhile)
{
    TRegistry a, b;
    ASSERT_TRUE(a.OpenKey(QStringLiteral("Shared"), true));
    ASSERT_TRUE(b.OpenKey(QStringLiteral("Shared"), false));
    a.WriteInteger(QStringLiteral("fromA"), 1);
    b.WriteInteger(QStringLiteral("fromB"), 2); // must not drop fromA
    EXPECT_EQ(a.ReadInteger(QStringLiteral("fromB")), 2);
    EXPECT_EQ(b.ReadInteger(QStringLiteral("fromA")), 1);

    // A store changed on disk by somebody else is read again.
    QByteArray text = storeText();
    text.replace("dword:00000001", "dword:00000007");
    writeStore(text);
    EXPECT_EQ(a.ReadInteger(QStringLiteral("fromA")), 7);
}

TEST_F(RegistryTest, DamagedStoreKeepsWhatIsReadable)
{
    writeStore("ZorCompCore registry 1\r\n"
               "\"rootvalue\"=dword:00000001\n"
               "[Good]\n"
               "\"a\"=\"ok\"\n"
               "\"b\"=dword:zz\n"
               "\"c\"=\"unterminated\n"
               "\"d\"=hex:01,2\n"
               "\"e\"=hex:1ff\n"
               "garbage line\n"
               "\"f\"=\"bad escape \\q\"\n"
               "[Other]\n"
               "@=\"dflt\"\n"
               "[Good]\n"
               "\"g\"=dword:0000000a");
    TRegistry reg;
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("rootvalue")), 1); // no key open: the root
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Good"), false));
    EXPECT_EQ(reg.ValueNames(), (QStringList{QStringLiteral("a"), QStringLiteral("d"), QStringLiteral("g")}));
    EXPECT_EQ(reg.ReadBinaryData(QStringLiteral("d")), QByteArray("\x01\x02"));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("g")), 10);
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Other"), false));
    EXPECT_EQ(reg.ReadString(QString()), QStringLiteral("dflt"));

    // Writing keeps everything that was readable.
    reg.WriteString(QStringLiteral("new"), QStringLiteral("x"));
    TRegistry again;
    ASSERT_TRUE(again.OpenKey(QStringLiteral("Good"), false));
    EXPECT_EQ(again.ReadString(QStringLiteral("a")), QStringLiteral("ok"));
}

TEST_F(RegistryTest, FailedWriteLeavesTheStoreIntact)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("K"), true));
    reg.WriteString(QStringLiteral("v"), QStringLiteral("before"));
    const QByteArray before = storeText();

    // A file size limit makes the next (longer) store fail half-way, for root too.
    rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = rlim_t(before.size() + 4);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = errorOf([&] { reg.WriteString(QStringLiteral("v"), QString(200, u'x')); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(error, QStringLiteral("Failed to set data for 'v'"));
    EXPECT_EQ(storeText(), before);
    EXPECT_EQ(reg.ReadString(QStringLiteral("v")), QStringLiteral("before"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{QStringLiteral("HKEY_CURRENT_USER.reg"),
                                                                      QStringLiteral("HKEY_CURRENT_USER.reg.lock")}));
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing)
{
    constexpr int kThreads = 4;
    constexpr int kValues = 10;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            TRegistry reg;
            if (!reg.OpenKey(QStringLiteral("\\Shared\\Key"), true))
                return;
            for (int i = 0; i < kValues; ++i)
                reg.WriteInteger(QStringLiteral("t%1v%2").arg(t).arg(i), t * 100 + i);
        });
    }
    for (auto &th : threads)
        th.join();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Shared\\Key"), false));
    EXPECT_EQ(reg.ValueNames().size(), kThreads * kValues);
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kValues; ++i)
            EXPECT_EQ(reg.ReadInteger(QStringLiteral("t%1v%2").arg(t).arg(i)), t * 100 + i);
    }
}
