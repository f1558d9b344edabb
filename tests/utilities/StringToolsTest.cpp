#include <ZorCompCore/utilities/AnsiStringTools.h>
#include <ZorCompCore/utilities/FastStrings.h>
#include <ZorCompCore/utilities/StrUtilsEx.h>
#include <ZorCompCore/utilities/Tools.h>
#include <ZorCompCore/utilities/WindowsKnownFolders.h>
#include <ZorCompCore/utilities/WindowsMessageText.h>

#include "TestUtil.h"
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <QDir>
#include <QFile>
#include <QObject>
#include <QSet>

using namespace zor;

TEST(StrUtilsEx, FastStringReplace)
{
    const TReplaceFlags all = rfReplaceAll;
    const TReplaceFlags allNoCase = TReplaceFlags(rfReplaceAll) | rfIgnoreCase;
    struct Row
    {
        const char *s, *oldPattern, *newPattern;
        TReplaceFlags flags;
        const char *expected;
    };
    const Row rows[] = {
        {"aXbxc", "x", "yy", allNoCase, "ayybyyc"},
        {"aXbxc", "x", "yy", all, "aXbyyc"},
        {"aXbxc", "x", "yy", TReplaceFlags(rfIgnoreCase), "ayybxc"},
        {"", "x", "y", allNoCase, ""},
        {"abc", "", "y", allNoCase, "abc"},
        {"abc", "z", "y", allNoCase, "abc"},
        {"aaaa", "aa", "b", all, "bb"},
        {"aaa", "aa", "b", all, "ba"},
        {"aa", "a", "aa", all, "aaaa"},
        {"HeLLo hello", "LLO", "", allNoCase, "He he"},
        {"abc", "abc", "", all, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.s) + " / " + row.oldPattern);
        EXPECT_EQ(FastStringReplace(QString::fromLatin1(row.s), QString::fromLatin1(row.oldPattern),
                                    QString::fromLatin1(row.newPattern), row.flags),
                  QString::fromLatin1(row.expected));
    }
    // Positions must survive case folding that changes lengths elsewhere.
    EXPECT_EQ(FastStringReplace(QStringLiteral("Straße ÄRGER ärger"), QStringLiteral("ärger"), QStringLiteral("x")),
              QStringLiteral("Straße x x"));
}

TEST(FastStrings, ReplaceAndPos)
{
    EXPECT_EQ(FastReplace(QStringLiteral("aXbxc"), QStringLiteral("x"), QStringLiteral("-")), QStringLiteral("a-b-c"));
    EXPECT_EQ(FastReplace(QStringLiteral("aXbxc"), QStringLiteral("x"), QStringLiteral("-"), true),
              QStringLiteral("aXb-c"));
    EXPECT_EQ(FastReplace(QByteArray("aXbxc"), QByteArray("x"), QByteArray("--")), QByteArray("a--b--c"));
    EXPECT_EQ(FastReplace(QByteArray("aXbxc"), QByteArray("x"), QByteArray("--"), true), QByteArray("aXb--c"));
    {
        // 8-bit text folds case in the ANSI code page, not in ASCII only.
        const int saved = AnsiCodePage();
        SetAnsiCodePage(1252);
        EXPECT_EQ(FastReplace(QByteArray("\xe4X\xe9"), QByteArray("\xc4x"), QByteArray("y")), QByteArray("y\xe9"));
        EXPECT_EQ(FastReplace(QByteArray("caf\xc9 caf\xe9"), QByteArray("CAF\xe9"), QByteArray("x")), QByteArray("x x"));
        EXPECT_EQ(FastReplace(QByteArray("\xe4"), QByteArray("\xc4"), QByteArray("y"), true), QByteArray("\xe4"));
        EXPECT_EQ(FastPosNoCase(QByteArray("\xc9"), QByteArray("ab\xe9")), 3);
        // 0xD7 (multiplication sign) and 0xF7 (division sign) are no letter pair.
        EXPECT_EQ(FastReplace(QByteArray("\xd7"), QByteArray("\xf7"), QByteArray("y")), QByteArray("\xd7"));
        SetAnsiCodePage(1251);
        EXPECT_EQ(FastReplace(QByteArray("\xef\xf0\xe8"), QByteArray("\xcf\xd0\xc8"), QByteArray("y")), QByteArray("y"))
            << "Cyrillic in Windows-1251";
        SetAnsiCodePage(saved);
    }

    struct Row
    {
        const char *sub, *s;
        int offset, pos, posNoCase;
    };
    const Row rows[] = {
        {"b", "abcabc", 1, 2, 2},
        {"b", "abcabc", 3, 5, 5},
        {"B", "abcabc", 1, 0, 2},
        {"c", "abcabc", 6, 6, 6},
        {"c", "abcabc", 7, 0, 0},
        {"a", "abc", 0, 0, 0},
        {"", "abc", 1, 0, 0},
        {"abcd", "abc", 1, 0, 0},
        {"ABC", "xxAbC", 2, 0, 3},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.sub) + " in " + row.s);
        const QString sub = QString::fromLatin1(row.sub), s = QString::fromLatin1(row.s);
        EXPECT_EQ(FastPos(sub, s, row.offset), row.pos);
        EXPECT_EQ(FastPosNoCase(sub, s, row.offset), row.posNoCase);
        EXPECT_EQ(FastPos(QByteArray(row.sub), QByteArray(row.s), row.offset), row.pos);
        EXPECT_EQ(FastPosNoCase(QByteArray(row.sub), QByteArray(row.s), row.offset), row.posNoCase);
    }
}

TEST(Tools, PathsGuidsAndChecks)
{
    EXPECT_EQ(ExcludeTrailingDirSeparator(QStringLiteral("/a/b/")), QStringLiteral("/a/b"));
    EXPECT_EQ(ExcludeTrailingDirSeparator(QStringLiteral("/a/b//")), QStringLiteral("/a/b/"));
    EXPECT_EQ(ExcludeTrailingDirSeparator(QString()), QString());
    EXPECT_EQ(ExcludeTrailingDirSeparator(QStringLiteral("C:\\x\\"), u'\\'), QStringLiteral("C:\\x"));
    EXPECT_EQ(IncludeTrailingDirSeparator(QStringLiteral("/a/b")), QStringLiteral("/a/b/"));
    EXPECT_EQ(IncludeTrailingDirSeparator(QStringLiteral("/a/b/")), QStringLiteral("/a/b/"));
    EXPECT_EQ(IncludeTrailingDirSeparator(QString()), QStringLiteral("/"));

    struct GuidRow
    {
        const char *text;
        bool ok;
    };
    const GuidRow guids[] = {
        {"{00000000-0000-0000-0000-000000000000}", true},
        {"00000000-0000-0000-0000-000000000000", false},
        {"{zzzzzzzz-zzzz-zzzz-zzzz-zzzzzzzzzzzz}", true}, // the shape is all that counts
        {"{00000000-0000-0000-0000-00000000000}", false},
        {"{00000000X0000-0000-0000-000000000000}", false},
        {"(00000000-0000-0000-0000-000000000000)", false},
        {"", false},
    };
    for (const GuidRow &row : guids) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(IsGuid(QString::fromLatin1(row.text)), row.ok);
    }
    const QUuid a = QUuid::createUuid();
    EXPECT_TRUE(CompareGuids(a, QUuid(a.toString())));
    EXPECT_FALSE(CompareGuids(a, QUuid::createUuid()));

    struct MailRow
    {
        const char *text;
        bool notEmpty, ok;
    };
    const MailRow mails[] = {
        {"a@b.de", true, true},     {"first.last@host", true, false}, {"a.b@c.d", true, true},
        {"ab", true, false},        {"", false, true},                {"", true, false},
        {"a@b@c.d", true, true},    {"@.", true, true},               {"a.@", true, false},
    };
    for (const MailRow &row : mails) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(IsValidEmail(QString::fromLatin1(row.text), row.notEmpty), row.ok);
    }

    EXPECT_TRUE(IsInQuotedFieldData(QStringLiteral("a,\"b"), u'"'));
    EXPECT_FALSE(IsInQuotedFieldData(QStringLiteral("a,\"b\""), u'"'));
    EXPECT_FALSE(IsInQuotedFieldData(QString(), u'"'));
    EXPECT_TRUE(IsInQuotedFieldData(QStringLiteral("'x''y"), u'\''));
}

TEST(Tools, FileVersions)
{
    struct Row
    {
        TFileVersion a, b;
        bool newer, same;
    };
    const Row rows[] = {
        {{1, 2, 3, 4}, {1, 2, 3, 4}, false, true},
        {{2, 0, 0, 0}, {1, 9, 9, 9}, true, false},
        {{1, 9, 9, 9}, {2, 0, 0, 0}, false, false},
        {{1, 2, 3, 5}, {1, 2, 3, 4}, true, false},
        {{1, 2, 4, 0}, {1, 2, 3, 9}, true, false},
        {{1, 3, 0, 0}, {1, 2, 9, 9}, true, false},
        {{0, 0, 0, 0}, {-1, 5, 5, 5}, true, false}, // signed comparison
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(FileVersionToStr(row.a).toStdString() + " vs " + FileVersionToStr(row.b).toStdString());
        EXPECT_EQ(CompareFileVersion(row.a, row.b), row.newer);
        EXPECT_EQ(IsSameFileVersion(row.a, row.b), row.same);
    }
    TFileVersion v {1, 2, 3, 4};
    v.Increment();
    EXPECT_EQ(FileVersionToStr(v), QStringLiteral("2.2.3.4"));
    EXPECT_EQ(FileVersionToStr({-1, 0, 7, 2147483647}), QStringLiteral("-1.0.7.2147483647"));

    TFileVersion parsed;
    ASSERT_TRUE(TryStrToFileVersion(QStringLiteral("10.0.19041.1"), parsed));
    EXPECT_TRUE(IsSameFileVersion(parsed, {10, 0, 19041, 1}));
    ASSERT_TRUE(TryStrToFileVersion(QStringLiteral("3.1"), parsed));
    EXPECT_TRUE(IsSameFileVersion(parsed, {3, 1, 0, 0}));
    EXPECT_FALSE(TryStrToFileVersion(QStringLiteral("1.2.3.4.5"), parsed));
    EXPECT_FALSE(TryStrToFileVersion(QStringLiteral("1.x"), parsed));
    EXPECT_FALSE(TryStrToFileVersion(QStringLiteral("1..2"), parsed));
}

TEST(Tools, StandardFolders)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString root = tmp.path();
    ScopedEnv config("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/cfg/")));
    ScopedEnv data("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data")));
    ScopedEnv program("ZOR_PROGRAM_DATA", QFile::encodeName(root + QStringLiteral("/progdata")));

    EXPECT_EQ(GetAppDataDirectory(true), root + QStringLiteral("/cfg"));
    EXPECT_EQ(GetAppDataDirectory(false), root + QStringLiteral("/data"));
    EXPECT_EQ(GetProgramDataDirectory(), root + QStringLiteral("/progdata"));
    EXPECT_FALSE(GetUserDocumentsDataDirectory().isEmpty());
    EXPECT_FALSE(GetUserDocumentsDataDirectory().endsWith(u'/'));
    EXPECT_FALSE(GetPublicDocumentsDirectory().isEmpty());

    EXPECT_EQ(ShGetKnownFolderPath(FOLDERID_RoamingAppData), root + QStringLiteral("/cfg"));
    EXPECT_EQ(ShGetKnownFolderPath(FOLDERID_Profile), QDir::homePath());
    EXPECT_EQ(ShGetKnownFolderPath(QUuid::createUuid()), QString());
}

namespace {

class Target : public QObject
{
    Q_OBJECT
public:
    int calls = 0;
    int privateCalls = 0;
    Q_INVOKABLE void Refresh() { ++calls; }
public slots:
    void Reload() { calls += 10; }
    void Take(int) { calls += 100; }
private slots:
    void Hidden() { ++privateCalls; }
signals:
    void Changed();
};

} // namespace

TEST(Tools, ExecuteRoutine)
{
    Target t;
    int signalled = 0;
    QObject::connect(&t, &Target::Changed, [&] { ++signalled; });
    EXPECT_TRUE(ExecuteRoutine(&t, QStringLiteral("Refresh")));
    EXPECT_TRUE(ExecuteRoutine(&t, QStringLiteral("Reload")));
    EXPECT_EQ(t.calls, 11);
    // Nothing happens for methods with parameters, private ones, signals, unknown names.
    for (const char *name : {"Take", "Hidden", "Changed", "Missing", "", "deleteLater("}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ExecuteRoutine(&t, QString::fromLatin1(name)));
    }
    EXPECT_EQ(t.calls, 11);
    EXPECT_EQ(t.privateCalls, 0);
    EXPECT_EQ(signalled, 0);
    EXPECT_FALSE(ExecuteRoutine(nullptr, QStringLiteral("Refresh")));
}

TEST(AnsiStringTools, Base64)
{
    struct Row
    {
        QByteArray plain;
        const char *encoded;
    };
    const Row rows[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"},
        {QByteArray("\x00\xff\xfe", 3), "AP/+"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.encoded);
        EXPECT_EQ(MIMEEncodeRawByteStr(row.plain), QString::fromLatin1(row.encoded));
        EXPECT_EQ(MIMEDecodeRawByteStr(QString::fromLatin1(row.encoded)), row.plain);
    }

    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    EXPECT_EQ(MIMEDecodeRawByteStr(MIMEEncodeRawByteStr(all)), all);

    // Wrapped MIME bodies and stray characters decode as the plain alphabet does.
    EXPECT_EQ(MIMEDecodeRawByteStr(QStringLiteral("Zm9v\r\nYmFy\r\n")), QByteArray("foobar"));
    EXPECT_EQ(MIMEDecodeRawByteStr(QStringLiteral(" Zm 9v ")), QByteArray("foo"));
    EXPECT_EQ(MIMEDecodeRawByteStr(QStringLiteral("Zg==Zm9v")), QByteArray("f")) << "data after the padding";
    EXPECT_EQ(MIMEDecodeRawByteStr(QStringLiteral("!!!")), QByteArray());
    EXPECT_EQ(MIMEDecodeRawByteStr(QStringLiteral("-_-_")), QByteArray()) << "the URL alphabet is not MIME";

    EXPECT_EQ(MIMEEncodeBytes("foobar", 3), QStringLiteral("Zm9v"));
    EXPECT_EQ(MIMEEncodeBytes("foobar", 99), QStringLiteral("Zm9vYmFy"));
    EXPECT_EQ(MIMEEncodeBytes("foobar", -1), QStringLiteral("Zm9vYmFy"));

    TBytesStream in(QByteArray("xxfoobar"));
    in.SetPosition(2);
    EXPECT_EQ(MIMEEncodeRawByteStr(in, 3), QStringLiteral("Zm9v"));
    EXPECT_EQ(MIMEEncodeRawByteStr(in, -1), QStringLiteral("YmFy"));
    in.SetPosition(5);
    EXPECT_THROW(MIMEEncodeRawByteStr(in, 1000000000000LL), EReadError);

    TBytesStream out;
    out.WriteBuffer("<", 1);
    MIMEDecodeRawByteStr(QStringLiteral("Zm9v"), out);
    EXPECT_EQ(out.Bytes(), QByteArray("<foo"));
}

TEST(WindowsMessageText, KeyTable)
{
    int count = 0;
    const TVirtualKeyInfo *keys = VirtualKeyTable(count);
    ASSERT_EQ(count, 119);
    QSet<int> codes;
    QSet<QByteArray> names;
    for (int i = 0; i < count; ++i) {
        codes.insert(keys[i].Code);
        names.insert(keys[i].Name);
        EXPECT_TRUE(keys[i].Name.startsWith("VK_")) << i;
        EXPECT_FALSE(keys[i].Description.isEmpty()) << i;
    }
    EXPECT_EQ(codes.size(), 119);
    EXPECT_EQ(names.size(), 119);
    EXPECT_EQ(keys[0].Name, QByteArray("VK_LBUTTON"));
    EXPECT_EQ(keys[118].Name, QByteArray("VK_OEM_CLEAR"));

    struct Row
    {
        int code;
        const char *text;
    };
    const Row rows[] = {
        {1, "VK_LBUTTON (Left mouse button)"},
        {4, "VK_MBUTTON (Middle mouse button (three-button mouse))"},
        {13, "VK_RETURN (ENTER key)"},
        {252, "VK_NONAME (Reserved for future use.)"},
        {254, "VK_OEM_CLEAR (Clear key)"},
        {0x41, "VK_A (A key)"},
        {0x87, "VK_F24 (F24 key)"},
        {0x69, "VK_NUMPAD9 (Numeric keypad 9 key)"},
        {7, "7"},
        {-1, "-1"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(GetVirtualKeyText(row.code), QString::fromLatin1(row.text));
    }
}

TEST(WindowsMessageText, MessageTexts)
{
    struct Row
    {
        quint32 msg;
        quintptr wParam;
        qintptr lParam;
        const char *text;
    };
    const Row rows[] = {
        {0x0000, 0, 0, "WM_NULL, WParam: 0, LParam: 0"},
        {0x0010, 0, 0, "WM_CLOSE, WParam: 0, LParam: 0"},
        {0x0100, 13, 0x001C0001, "WM_KEYDOWN, WParam: VK_RETURN (ENTER key), LParam: 001c0001"},
        {0x0101, 200, 0, "WM_KEYUP, WParam: 200, LParam: 00000000"},
        {0x0201, 1, (20 << 16) | 10, "WM_LBUTTONDOWN, X: 10, Y: 20"},
        {0x0210, 0x0001 | (7 << 16), 0, "WM_PARENTNOTIFY, Event: WM_CREATE, Child ID: 7"},
        {0x0210, 0x0201, (5 << 16) | 3, "WM_PARENTNOTIFY, Event: WM_LBUTTONDOWN, X: 3, Y: 5"},
        {0x03E0, 0, 0, "WM_DDE_INITIATE, WParam: 0, LParam: 0"},
        {0x8000, 0, 0, "WM_APP, WParam: 0, LParam: 0"},
        {0x0001, 0, 0, "WM_CREATE, WParam: 0, LParam: 0"},
        {0x000C, 0, 0, "WM_SETTEXT, WParam: 0, LParam: 0"},
        {1234, 0, 0, "UNKNOWN: 4d2 (1234)"},
        {0x8001, 0, 0, "UNKNOWN: 8001 (32769)"},
        {0xFFFFFFFF, 0, 0, "UNKNOWN: ffffffff (4294967295)"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        TMessage m;
        m.Msg = row.msg;
        m.WParam = row.wParam;
        m.LParam = row.lParam;
        EXPECT_EQ(GetWindowMessageText(m), QString::fromLatin1(row.text));
    }

    // WM_CREATE and WM_SETTEXT show what their LParam points at.
    TCreateStruct cs;
    cs.lpszName = u"Main window";
    cs.lpszClass = u"TMainForm";
    TMessage create;
    create.Msg = 0x0001;
    create.LParam = qintptr(&cs);
    EXPECT_EQ(GetWindowMessageText(create), QStringLiteral("WM_CREATE, Name: Main window, Class: TMainForm"));
    TMessage setText;
    setText.Msg = 0x000C;
    setText.LParam = qintptr(u"Größe");
    EXPECT_EQ(GetWindowMessageText(setText), QStringLiteral("WM_SETTEXT, Text: Größe"));
}

#include "StringToolsTest.moc"
