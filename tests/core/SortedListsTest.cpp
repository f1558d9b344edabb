#include <ZorCompCore/core/SortedLists.h>
#include <ZorCompCore/platform/Exception.h>
#include "TestUtil.h"

#include <cstdint>
#include <limits>
#include <vector>

using namespace zor;

namespace {

// Orders by tens only, so that equal items stay tellable apart.
class ByTens : public TCustomSortedList
{
public:
    int AddValue(int v) { return Add(reinterpret_cast<void *>(intptr_t(v))); }
    int At(int i) const { return int(reinterpret_cast<intptr_t>(Items(i))); }
    std::vector<int> All() const
    {
        std::vector<int> r;
        for (int i = 0; i < Count(); ++i)
            r.push_back(At(i));
        return r;
    }

protected:
    int Compare(void *a, void *b) const override
    {
        const auto x = reinterpret_cast<intptr_t>(a) / 10;
        const auto y = reinterpret_cast<intptr_t>(b) / 10;
        return (x > y) - (x < y);
    }
};

} // namespace

TEST(SortedLists, AddKeepsOrderUnderEachDuplicatesMode)
{
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    struct Row {
        const char *name;
        TDuplicates mode;
        std::vector<int> adds;
        const char *expected;
    };
    const Row rows[] = {
        {"ignore is the default behaviour", dupIgnore, {5, 1, 5}, "1,5"},
        {"accept keeps both", dupAccept, {5, 1, 5}, "1,5,5"},
        {"extremes do not overflow", dupIgnore, {kMax, 0, kMin, -1, kMax, kMin}, "-2147483648,-1,0,2147483647"},
        {"descending input", dupAccept, {9, 7, 5, 3, 1, 1}, "1,1,3,5,7,9"},
        {"appending the largest", dupIgnore, {1, 2, 3, 4}, "1,2,3,4"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TSortedIntegerList list;
        list.SetDuplicates(row.mode);
        for (int v : row.adds)
            list.Add(v);
        EXPECT_EQ(list.AsCommaText(), QString::fromLatin1(row.expected));
    }
}

TEST(SortedLists, NewListIgnoresDuplicates)
{
    TSortedIntegerList list;
    EXPECT_EQ(list.Duplicates(), dupIgnore);
    EXPECT_EQ(list.Add(3), 0);
    EXPECT_EQ(list.Add(7), 1); // appended: its new index
    list.Add(3);
    EXPECT_EQ(list.Count(), 2);
}

TEST(SortedLists, DuplicateErrorLeavesTheListAlone)
{
    TSortedIntegerList list(QStringLiteral("1,2,3"));
    list.SetDuplicates(dupError);
    try {
        list.Add(2);
        FAIL() << "no exception";
    } catch (const EListError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Dupplicate Item in SortedList!"));
    }
    EXPECT_EQ(list.AsCommaText(), QStringLiteral("1,2,3"));
    // Appending past the end never reaches the duplicates test.
    list.Add(4);
    EXPECT_EQ(list.AsCommaText(), QStringLiteral("1,2,3,4"));
}

TEST(SortedLists, AcceptedDuplicateGoesBeforeTheEqualItemMetFirst)
{
    ByTens list;
    list.SetDuplicates(dupAccept);
    for (int v : {10, 50, 90})
        list.AddValue(v);
    list.AddValue(51); // the search meets 50 at index 1
    EXPECT_EQ(list.All(), (std::vector<int>{10, 51, 50, 90}));
    list.AddValue(52); // meets 51 at index 1
    EXPECT_EQ(list.All(), (std::vector<int>{10, 52, 51, 50, 90}));
    list.AddValue(53); // meets 51 at index 2: not the first of the run
    EXPECT_EQ(list.All(), (std::vector<int>{10, 52, 53, 51, 50, 90}));
    list.AddValue(60); // between runs
    list.AddValue(5);  // before everything
    EXPECT_EQ(list.All(), (std::vector<int>{5, 10, 52, 53, 51, 50, 60, 90}));
    EXPECT_EQ(list.At(list.Find(reinterpret_cast<void *>(intptr_t(55)))) / 10, 5);
}

TEST(SortedLists, FindAndRemove)
{
    TSortedIntegerList list(QStringLiteral("-7,0,4,4,100"));
    EXPECT_EQ(list.AsCommaText(), QStringLiteral("-7,0,4,100"));
    struct Row { int value; int index; };
    for (const Row &r : {Row{-7, 0}, Row{0, 1}, Row{4, 2}, Row{100, 3}, Row{-8, -1}, Row{5, -1}, Row{101, -1}}) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(list.Find(r.value), r.index);
        EXPECT_EQ(list.IndexOf(r.value), r.index);
    }
    EXPECT_EQ(list.Remove(4), 2);
    EXPECT_EQ(list.Remove(4), -1);
    EXPECT_EQ(list.AsCommaText(), QStringLiteral("-7,0,100"));

    TSortedIntegerList empty;
    EXPECT_EQ(empty.Find(0), -1);
    EXPECT_EQ(empty.Remove(0), -1);
}

TEST(SortedLists, CommaTextParsing)
{
    struct Row { const char *text; TDuplicates mode; const char *expected; };
    const Row rows[] = {
        {"3,,x,1", dupIgnore, "0,1,3"},
        {"3,,x,1,y", dupAccept, "0,0,1,3"},
        {"", dupIgnore, ""},
        {",,,", dupIgnore, ""},
        {"-2147483648,2147483647", dupIgnore, "-2147483648,2147483647"},
        {"99999999999", dupIgnore, "0"}, // does not fit 32 bits
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        TSortedIntegerList list(QStringLiteral("42"));
        list.SetDuplicates(row.mode);
        list.SetAsCommaText(QString::fromLatin1(row.text));
        EXPECT_EQ(list.AsCommaText(), QString::fromLatin1(row.expected));
    }
}

TEST(SortedLists, SeparatedText)
{
    const TSortedIntegerList list(QStringLiteral("5,1,9"));
    EXPECT_EQ(list.GetSperatedText(u';', QStringLiteral("["), QStringLiteral("]")), QStringLiteral("[1];[5];[9]"));
    EXPECT_EQ(list.GetSperatedText(u' ', QString(), QString()), QStringLiteral("1 5 9"));
    EXPECT_EQ(TSortedIntegerList().GetSperatedText(u',', QStringLiteral("x"), QStringLiteral("y")), QString());
}

TEST(SortedLists, AddListAppliesTheTargetsRule)
{
    TSortedIntegerList target(QStringLiteral("1,5"));
    const TSortedIntegerList source(QStringLiteral("5,3,7"));
    target.AddList(source);
    EXPECT_EQ(target.AsCommaText(), QStringLiteral("1,3,5,7"));
    target.SetDuplicates(dupAccept);
    target.AddList(target);
    EXPECT_EQ(target.AsCommaText(), QStringLiteral("1,1,3,3,5,5,7,7"));
    target.SetDuplicates(dupError);
    EXPECT_THROW(target.AddList(source), EListError);
}

TEST(SortedLists, PointerListOrdersByUnsignedAddress)
{
    TSortedPointerList list;
    void *high = reinterpret_cast<void *>(~uintptr_t(0));
    void *low = reinterpret_cast<void *>(uintptr_t(16));
    void *mid = reinterpret_cast<void *>(uintptr_t(1) << (sizeof(void *) * 8 - 1));
    list.Add(high);
    list.Add(low);
    list.Add(mid);
    EXPECT_EQ(list.Items(0), low);
    EXPECT_EQ(list.Items(1), mid);
    EXPECT_EQ(list.Items(2), high);
    EXPECT_EQ(list.IndexOf(mid), 1);
}

TEST(SortedLists, CompareListAndIndexErrors)
{
    TSortedIntegerList a(QStringLiteral("1,2"));
    TSortedIntegerList b(QStringLiteral("2,1"));
    EXPECT_TRUE(a.CompareList(b));
    b.Add(3);
    EXPECT_FALSE(a.CompareList(b));
    b.Remove(3);
    b.Remove(2);
    b.Add(5);
    EXPECT_FALSE(a.CompareList(b));

    try {
        a.Get(2);
        FAIL() << "no exception";
    } catch (const EListError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("List index out of bounds (2)"));
    }
    EXPECT_THROW(a.Delete(-1), EListError);
    EXPECT_THROW(a.Insert(3, nullptr), EListError);
}
