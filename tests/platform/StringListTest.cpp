#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

using namespace zor;

namespace {

QString errorOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

} // namespace

TEST(StringList, TextEndsEveryLineAndSplitsAtAnyBreak)
{
    struct Row
    {
        const char *name;
        QString text;
        QStringList items;
    };
    const Row rows[] = {
        {"empty", QString(), {}},
        {"one line without break", QStringLiteral("a"), {QStringLiteral("a")}},
        {"trailing LF adds no line", QStringLiteral("a\n"), {QStringLiteral("a")}},
        {"CR LF", QStringLiteral("a\r\nb\r\n"), {QStringLiteral("a"), QStringLiteral("b")}},
        {"lone CR", QStringLiteral("a\rb"), {QStringLiteral("a"), QStringLiteral("b")}},
        {"LF CR is two breaks", QStringLiteral("a\n\rb"), {QStringLiteral("a"), QString(), QStringLiteral("b")}},
        {"blank lines kept", QStringLiteral("\n\nx\n\n"), {QString(), QString(), QStringLiteral("x"), QString()}},
        {"only a break", QStringLiteral("\r\n"), {QString()}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TStringList l;
        l.SetText(row.text);
        EXPECT_EQ(l.ToQStringList(), row.items);
        // Text puts a break after every line, so it re-splits to the same items.
        TStringList again;
        again.SetText(l.Text());
        EXPECT_TRUE(again.Equals(l));
    }

    TStringList l(QStringList{QStringLiteral("x"), QStringLiteral("y")});
    EXPECT_EQ(l.Text(), QStringLiteral("x\ny\n"));
    l.SetLineBreak(QStringLiteral("\r\n"));
    EXPECT_EQ(l.Text(), QStringLiteral("x\r\ny\r\n"));
    l.SetTrailingLineBreak(false);
    EXPECT_EQ(l.Text(), QStringLiteral("x\r\ny"));
    l.SetLineBreak(QStringLiteral("||"));
    l.SetText(QStringLiteral("a||b\nc||"));
    EXPECT_EQ(l.ToQStringList(), (QStringList{QStringLiteral("a"), QStringLiteral("b\nc")}));
}

TEST(StringList, CommaTextQuotesWhatNeedsIt)
{
    struct Row
    {
        const char *name;
        QStringList items;
        QString commaText;
    };
    const Row rows[] = {
        {"plain", {QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("a,b")},
        {"space", {QStringLiteral("a b"), QStringLiteral("c")}, QStringLiteral("\"a b\",c")},
        {"comma", {QStringLiteral("a,b")}, QStringLiteral("\"a,b\"")},
        {"quote doubled", {QStringLiteral("say \"hi\"")}, QStringLiteral("\"say \"\"hi\"\"\"")},
        {"tab", {QStringLiteral("a\tb")}, QStringLiteral("\"a\tb\"")},
        {"empty middle", {QStringLiteral("a"), QString(), QStringLiteral("b")}, QStringLiteral("a,,b")},
        {"single empty item", {QString()}, QStringLiteral("\"\"")},
        {"no items", {}, QString()},
        {"non-ASCII needs no quotes", {QStringLiteral("Größe")}, QStringLiteral("Größe")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TStringList l(row.items);
        EXPECT_EQ(l.CommaText(), row.commaText);
        TStringList back;
        back.SetCommaText(row.commaText);
        EXPECT_EQ(back.ToQStringList(), row.items);
    }
}

TEST(StringList, DelimitedTextParsing)
{
    struct Row
    {
        const char *name;
        QChar delimiter;
        bool strict;
        QString text;
        QStringList items;
    };
    const Row rows[] = {
        {"spaces separate when not strict", u',', false, QStringLiteral("a b,c"),
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {"spaces kept when strict", u',', true, QStringLiteral("a b,c"), {QStringLiteral("a b"), QStringLiteral("c")}},
        {"blanks around items skipped", u',', false, QStringLiteral("  a ,  b  "), {QStringLiteral("a"), QStringLiteral("b")}},
        {"empty middle item", u',', false, QStringLiteral("a,,b"), {QStringLiteral("a"), QString(), QStringLiteral("b")}},
        {"trailing delimiter adds empty item", u',', false, QStringLiteral("a,"), {QStringLiteral("a"), QString()}},
        {"leading delimiter", u',', true, QStringLiteral(",a"), {QString(), QStringLiteral("a")}},
        {"quoted with delimiter and doubled quote", u';', false, QStringLiteral("\"x;\"\"y\"\";z\";w"),
         {QStringLiteral("x;\"y\";z"), QStringLiteral("w")}},
        {"unterminated quote takes the rest", u',', false, QStringLiteral("\"abc,d"), {QStringLiteral("abc,d")}},
        {"text after closing quote is a new item", u',', false, QStringLiteral("\"ab\"cd,e"),
         {QStringLiteral("ab"), QStringLiteral("cd"), QStringLiteral("e")}},
        {"only blanks", u',', false, QStringLiteral("   "), {}},
        // Found by fuzzing: a NUL outside quotes made the parser spin forever.
        {"NUL separates when not strict", u',', false, QStringLiteral("a") + QChar(0) + QStringLiteral("b,c"),
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {"NUL kept when strict", u',', true, QStringLiteral("a") + QChar(0) + QStringLiteral("b"),
         {QStringLiteral("a") + QChar(0) + QStringLiteral("b")}},
        {"pipe strict keeps blanks", u'|', true, QStringLiteral(" a | b "), {QStringLiteral(" a "), QStringLiteral(" b ")}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TStringList l;
        l.SetDelimiter(row.delimiter);
        l.SetStrictDelimiter(row.strict);
        l.SetDelimitedText(row.text);
        EXPECT_EQ(l.ToQStringList(), row.items);
    }
}

TEST(StringList, DelimitedTextRoundTripsAnyItems)
{
    const QStringList items{QStringLiteral(" lead"), QStringLiteral("trail "), QStringLiteral("a;b"), QStringLiteral("'q'"),
                            QString(), QStringLiteral("x\ny"), QStringLiteral("plain")};
    for (bool strict : {false, true}) {
        SCOPED_TRACE(strict ? "strict" : "not strict");
        TStringList l(items);
        l.SetDelimiter(u';');
        l.SetQuoteChar(u'\'');
        l.SetStrictDelimiter(strict);
        TStringList back;
        back.SetDelimiter(u';');
        back.SetQuoteChar(u'\'');
        back.SetStrictDelimiter(strict);
        back.SetDelimitedText(l.DelimitedText());
        EXPECT_EQ(back.ToQStringList(), items) << l.DelimitedText().toStdString();
    }
    // Strict lists quote only for the delimiter and the quote char.
    TStringList strict(QStringList{QStringLiteral("a b"), QStringLiteral("c,d")});
    strict.SetStrictDelimiter(true);
    EXPECT_EQ(strict.DelimitedText(), QStringLiteral("a b,\"c,d\""));
}

TEST(StringList, NamesAndValues)
{
    TStringList l;
    l.SetText(QStringLiteral("Host=example\nport=80\nnovalue\n=anonymous\nKey=a=b\n"));
    EXPECT_EQ(l.Names(0), QStringLiteral("Host"));
    EXPECT_EQ(l.Names(2), QString());
    EXPECT_EQ(l.Values(QStringLiteral("HOST")), QStringLiteral("example")); // case-insensitive by default
    EXPECT_EQ(l.Values(QStringLiteral("Key")), QStringLiteral("a=b"));      // split at the first '='
    EXPECT_EQ(l.Values(QStringLiteral("missing")), QString());
    EXPECT_EQ(l.ValueFromIndex(3), QStringLiteral("anonymous"));
    EXPECT_EQ(l.IndexOfName(QString()), 3);

    l.SetValues(QStringLiteral("Port"), QStringLiteral("8080"));
    EXPECT_EQ(l.Get(1), QStringLiteral("Port=8080")); // replaced in place, written as given
    l.SetValues(QStringLiteral("new"), QStringLiteral("1"));
    EXPECT_EQ(l.Get(l.Count() - 1), QStringLiteral("new=1"));
    const int before = l.Count();
    l.SetValues(QStringLiteral("host"), QString()); // empty value deletes
    EXPECT_EQ(l.Count(), before - 1);
    EXPECT_EQ(l.IndexOfName(QStringLiteral("Host")), -1);
    l.SetValues(QStringLiteral("absent"), QString());
    EXPECT_EQ(l.Count(), before - 1);

    l.SetCaseSensitive(true);
    EXPECT_EQ(l.Values(QStringLiteral("PORT")), QString());

    TStringList colon;
    colon.SetNameValueSeparator(u':');
    colon.SetValues(QStringLiteral("a"), QStringLiteral("1"));
    colon.SetValueFromIndex(0, QStringLiteral("2"));
    EXPECT_EQ(colon.Text(), QStringLiteral("a:2\n"));
    colon.SetValueFromIndex(0, QString());
    EXPECT_EQ(colon.Count(), 0);
}

TEST(StringList, SortedValuesStaySorted)
{
    TStringList l;
    l.SetSorted(true);
    l.SetValues(QStringLiteral("m"), QStringLiteral("1"));
    l.SetValues(QStringLiteral("a"), QStringLiteral("1"));
    l.SetValues(QStringLiteral("m"), QStringLiteral("0")); // replaced, not written in place
    EXPECT_EQ(l.CommaText(), QStringLiteral("a=1,m=0"));
}

TEST(StringList, SortedListsAndDuplicates)
{
    struct Row
    {
        const char *name;
        TDuplicates dup;
        bool caseSensitive;
        QStringList expected;
        bool raises;
    };
    const QStringList input{QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("c"),
                            QStringLiteral("b")};
    const Row rows[] = {
        {"ignore, case-insensitive", dupIgnore, false, {QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("c")}, false},
        {"ignore, case-sensitive", dupIgnore, true,
         {QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, false},
        {"accept keeps arrival order of equals", dupAccept, false,
         {QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("b"), QStringLiteral("c")}, false},
        {"error", dupError, false, {QStringLiteral("A"), QStringLiteral("b")}, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TStringList l;
        l.SetSorted(true);
        l.SetDuplicates(row.dup);
        l.SetCaseSensitive(row.caseSensitive);
        QString error;
        for (const QString &s : input) {
            const QString e = errorOf([&] { l.Add(s); });
            if (e != u"<no exception>") {
                error = e;
                break;
            }
        }
        EXPECT_EQ(l.ToQStringList(), row.expected);
        EXPECT_EQ(error, row.raises ? QStringLiteral("String list does not allow duplicates") : QString());
    }
}

TEST(StringList, FindAndIndexOf)
{
    TStringList l;
    for (const char *s : {"pear", "apple", "fig", "Kiwi", "date"})
        l.Add(QString::fromLatin1(s));
    EXPECT_EQ(l.IndexOf(QStringLiteral("KIWI")), 3); // unsorted: linear, case-insensitive
    l.SetSorted(true);
    EXPECT_EQ(l.CommaText(), QStringLiteral("apple,date,fig,Kiwi,pear"));

    int index = -1;
    EXPECT_TRUE(l.Find(QStringLiteral("FIG"), index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(l.Find(QStringLiteral("banana"), index));
    EXPECT_EQ(index, 1); // insertion point
    EXPECT_FALSE(l.Find(QStringLiteral("zz"), index));
    EXPECT_EQ(index, 5);
    EXPECT_EQ(l.IndexOf(QStringLiteral("pear")), 4);
    EXPECT_EQ(l.IndexOf(QStringLiteral("plum")), -1);
    EXPECT_EQ(l.Add(QStringLiteral("banana")), 1);

    // Switching case sensitivity re-sorts: upper case sorts first.
    l.SetCaseSensitive(true);
    EXPECT_EQ(l.Get(0), QStringLiteral("Kiwi"));
    EXPECT_EQ(l.IndexOf(QStringLiteral("kiwi")), -1);
}

TEST(StringList, ErrorsOnSortedListsAndBadIndexes)
{
    TStringList l(QStringList{QStringLiteral("a"), QStringLiteral("b")});
    EXPECT_EQ(errorOf([&] { l.Get(2); }), QStringLiteral("List index out of bounds (2)"));
    EXPECT_EQ(errorOf([&] { l.Delete(-1); }), QStringLiteral("List index out of bounds (-1)"));
    EXPECT_EQ(errorOf([&] { l.Insert(3, QStringLiteral("x")); }), QStringLiteral("List index out of bounds (3)"));
    EXPECT_EQ(errorOf([&] { l.Exchange(0, 5); }), QStringLiteral("List index out of bounds (5)"));
    EXPECT_EQ(errorOf([&] { l.Objects(9); }), QStringLiteral("List index out of bounds (9)"));
    l.Insert(2, QStringLiteral("c")); // at Count is fine
    l.SetSorted(true);
    EXPECT_EQ(errorOf([&] { l.Insert(0, QStringLiteral("x")); }), QStringLiteral("Operation not allowed on sorted list"));
    EXPECT_EQ(errorOf([&] { l.Put(0, QStringLiteral("x")); }), QStringLiteral("Operation not allowed on sorted list"));
    EXPECT_EQ(l.CommaText(), QStringLiteral("a,b,c"));
    EXPECT_THROW(l.Get(3), EStringListError);
}

TEST(StringList, ObjectsFollowTheirItems)
{
    int a = 1, b = 2, c = 3;
    TStringList l;
    l.AddObject(QStringLiteral("c"), &c);
    l.AddObject(QStringLiteral("a"), &a);
    l.AddObject(QStringLiteral("b"), &b);
    l.Sort();
    EXPECT_EQ(l.Objects(0), &a);
    EXPECT_EQ(l.Objects(2), &c);
    l.Move(0, 2);
    EXPECT_EQ(l.CommaText(), QStringLiteral("b,c,a"));
    EXPECT_EQ(l.IndexOfObject(&a), 2);
    l.Exchange(0, 1);
    EXPECT_EQ(l.Objects(0), &c);
    l.CustomSort([](const TStringList &list, int i, int j) {
        return *static_cast<int *>(list.Objects(j)) - *static_cast<int *>(list.Objects(i)); // descending
    });
    EXPECT_EQ(l.CommaText(), QStringLiteral("c,b,a"));

    TStringList copy(l);
    EXPECT_EQ(copy.Objects(1), &b);
}

TEST(StringList, OwnedObjectsAreFreedOnce)
{
    int freed = 0;
    auto deleter = [&freed](void *p) {
        ++freed;
        delete static_cast<int *>(p);
    };
    {
        TStringList l;
        l.SetOwnsObjects(true, deleter);
        for (int i = 0; i < 4; ++i)
            l.AddObject(QString::number(i), new int(i));
        l.Delete(0);
        EXPECT_EQ(freed, 1);
        TStringList copy(l); // a copy does not own
        copy.Clear();
        EXPECT_EQ(freed, 1);
        l.Clear();
        EXPECT_EQ(freed, 4);
        l.AddObject(QStringLiteral("x"), new int(9));
    }
    EXPECT_EQ(freed, 5);
}

TEST(StringList, ChangeEventsOncePerUpdateBlock)
{
    TStringList l;
    int changing = 0, changed = 0;
    QStringList seenAtChange;
    l.OnChanging = [&](TStringList &) { ++changing; };
    l.OnChange = [&](TStringList &s) {
        ++changed;
        seenAtChange = s.ToQStringList();
    };

    l.Add(QStringLiteral("a"));
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);

    l.BeginUpdate();
    l.BeginUpdate();
    l.Add(QStringLiteral("b"));
    l.SetCommaText(QStringLiteral("x,y,z"));
    l.EndUpdate();
    EXPECT_EQ(changed, 1); // still inside the outer block
    l.EndUpdate();
    EXPECT_EQ(changing, 2);
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(seenAtChange, (QStringList{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")}));

    l.BeginUpdate();
    l.EndUpdate(); // nothing changed: nothing fired
    EXPECT_EQ(changed, 2);

    l.SetText(QStringLiteral("1\n2\n3\n")); // one notification for the whole text
    EXPECT_EQ(changed, 3);
    l.EndUpdate(); // unbalanced: ignored
    EXPECT_EQ(l.UpdateCount(), 0);

    // A failing add inside an update still closes the block.
    l.SetSorted(true);
    l.SetDuplicates(dupError);
    EXPECT_THROW(l.SetCommaText(QStringLiteral("a,a")), EStringListError);
    EXPECT_EQ(l.UpdateCount(), 0);
}

TEST(StringList, AssignAndAddStrings)
{
    TStringList src(QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b")});
    TStringList dst;
    dst.SetSorted(true);
    dst.Add(QStringLiteral("old"));
    dst.Assign(src);
    EXPECT_EQ(dst.CommaText(), QStringLiteral("a,b")); // sorted, duplicates ignored
    src.AddStrings(src);
    EXPECT_EQ(src.Count(), 6);
}

class StringListFileTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QByteArray read(const QString &p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString &p, const QByteArray &b)
    {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(b);
    }
};

TEST_F(StringListFileTest, LoadDetectsEncodings)
{
    struct Row
    {
        const char *name;
        const char *hex;
        QString encodingArg;
        QStringList items;
        QString detected;
    };
    const Row rows[] = {
        {"UTF-8 without BOM", "47 72 c3 bc 0a 78", {}, {QStringLiteral("Grü"), QStringLiteral("x")}, QStringLiteral("UTF-8")},
        {"UTF-8 BOM", "ef bb bf 61 0d 0a 62", {}, {QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("UTF-8")},
        {"UTF-16LE BOM", "ff fe 61 00 0a 00 ac 20", {}, {QStringLiteral("a"), QStringLiteral("€")}, QStringLiteral("UTF-16LE")},
        {"UTF-16BE BOM", "fe ff 00 61 00 0a 20 ac", {}, {QStringLiteral("a"), QStringLiteral("€")}, QStringLiteral("UTF-16BE")},
        {"invalid UTF-8 falls back to the ANSI code page", "80 20 e4 0a", {}, {QStringLiteral("€ ä")},
         QStringLiteral("ANSI")},
        {"named koi8-r", "f0 d2 c9", QStringLiteral("koi8-r"), {QStringLiteral("При")}, QStringLiteral("koi8-r")},
        {"named windows-1252", "c3 bc", QStringLiteral("windows-1252"), {QStringLiteral("Ã¼")}, QStringLiteral("windows-1252")},
        {"named UTF-16LE skips its BOM", "ff fe 61 00", QStringLiteral("UTF-16LE"), {QStringLiteral("a")},
         QStringLiteral("UTF-16LE")},
        {"named latin1", "e4", QStringLiteral("ISO-8859-1"), {QStringLiteral("ä")}, QStringLiteral("ISO-8859-1")},
        {"empty file", "", {}, {}, QStringLiteral("UTF-8")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QString p = path("in.txt");
        write(p, bytesFromHex(row.hex));
        TStringList l;
        l.LoadFromFile(p, row.encodingArg);
        EXPECT_EQ(l.ToQStringList(), row.items);
        EXPECT_EQ(l.Encoding(), row.detected);
    }
}

TEST_F(StringListFileTest, SaveWritesTheEncodingAndRoundTrips)
{
    const QStringList items{QStringLiteral("Grüße"), QStringLiteral("€ 5"), QString()};
    struct Row
    {
        QString encoding;
        QByteArray prefix;
    };
    const Row rows[] = {
        {QString(), QByteArray("Gr\xc3\xbc")},
        {QStringLiteral("UTF-16LE"), QByteArray("\xff\xfeG\0", 4)},
        {QStringLiteral("UTF-16BE"), QByteArray("\xfe\xff\0G", 4)},
        {QStringLiteral("windows-1252"), QByteArray("Gr\xfc\xdf" "e\n\x80 5\n\n")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.encoding.toStdString());
        const QString p = path("out.txt");
        TStringList l(items);
        l.SaveToFile(p, row.encoding);
        EXPECT_TRUE(read(p).startsWith(row.prefix)) << hexBytes(read(p)).toStdString();
        TStringList back;
        back.LoadFromFile(p, row.encoding.startsWith(u"windows") ? row.encoding : QString());
        EXPECT_EQ(back.ToQStringList(), items);
        // Saving without a name keeps the encoding the file was read in.
        back.SaveToFile(p);
        EXPECT_TRUE(read(p).startsWith(row.prefix));
    }
}

TEST_F(StringListFileTest, Errors)
{
    TStringList l;
    const QString missing = path("missing.txt");
    EXPECT_EQ(errorOf([&] { l.LoadFromFile(missing); }).left(18), QStringLiteral("Cannot open file \""));
    EXPECT_THROW(l.SaveToFile(path("no/dir/x.txt")), EFCreateError);
    EXPECT_THROW(l.SaveToFile(path("x.txt"), QStringLiteral("no-such-encoding")), EEncodingError);
    // Characters windows-1252 lacks become '?'.
    TMemoryStream m;
    TStringList greek(QStringList{QStringLiteral("Ωx")});
    greek.SaveToStream(m, QStringLiteral("windows-1252"));
    EXPECT_EQ(m.ToBytes(), QByteArray("?x\n"));
}

TEST_F(StringListFileTest, FailedSaveKeepsTheOldFile)
{
    const QString p = path("keep.txt");
    TStringList l(QStringList{QStringLiteral("old")});
    l.SaveToFile(p);
    // A file size limit makes the save fail half-way (for root too).
    rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    l.SetText(QString(100, u'n'));
    const QString error = errorOf([&] { l.SaveToFile(p); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(p))) << error.toStdString();
    EXPECT_EQ(read(p), QByteArray("old\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.txt")});
}

TEST_F(StringListFileTest, LoadFromStreamReadsFromThePosition)
{
    TBytesStream s(QByteArray("skip\nkeep\n"));
    s.SetPosition(5);
    TStringList l;
    l.LoadFromStream(s);
    EXPECT_EQ(l.ToQStringList(), QStringList{QStringLiteral("keep")});
}

// Only the first byte order mark is a mark: a U+FEFF or U+FFFE that starts the
// text after it is data and survives a save and load in every encoding.
TEST_F(StringListFileTest, ByteOrderMarkCharactersAfterTheMarkAreText)
{
    struct Row {
        const char *name;
        QByteArray bytes;
        QString encoding;
        QString first;
    };
    const Row rows[] = {
        {"repeated UTF-16LE marks", QByteArray("\xff\xfe\xff\xfe\xff\xfe", 6), QString(), QString(2, QChar(0xFEFF))},
        {"UTF-16BE mark then U+FEFF", QByteArray("\xfe\xff\xfe\xff\x00\x41", 6), QString(), QString(QChar(0xFEFF)) + u'A'},
        {"UTF-16LE mark then U+FFFE", QByteArray("\xff\xfe\xfe\xff\x41\x00", 6), QString(), QString(QChar(0xFFFE)) + u'A'},
        {"UTF-8 mark twice", QByteArray("\xef\xbb\xbf\xef\xbb\xbfx", 7), QString(), QString(QChar(0xFEFF)) + u'x'},
        {"named UTF-16, big-endian mark", QByteArray("\xfe\xff\xfe\xff\x00\x41", 6), QStringLiteral("UTF-16"),
         QString(QChar(0xFEFF)) + u'A'},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        TBytesStream in(r.bytes);
        TStringList l;
        l.LoadFromStream(in, r.encoding);
        ASSERT_EQ(l.Count(), 1);
        EXPECT_EQ(l.Get(0), r.first);
        for (const char *encoding : {"UTF-8", "UTF-16LE", "UTF-16BE"}) {
            SCOPED_TRACE(encoding);
            TMemoryStream out;
            l.SaveToStream(out, QString::fromLatin1(encoding));
            out.SetPosition(0);
            TStringList back;
            back.LoadFromStream(out, QString::fromLatin1(encoding));
            EXPECT_EQ(back.ToQStringList(), l.ToQStringList());
            out.SetPosition(0);
            TStringList guessed;
            guessed.LoadFromStream(out);
            EXPECT_EQ(guessed.ToQStringList(), l.ToQStringList());
        }
    }
}
