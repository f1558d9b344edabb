#include <ZorCompCore/core/SortedLists.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>

#include <cstdint>

namespace zor {

namespace {

void *toSlot(qint32 v) { return reinterpret_cast<void *>(static_cast<intptr_t>(v)); }
qint32 fromSlot(void *p) { return static_cast<qint32>(reinterpret_cast<intptr_t>(p)); }

template <class T>
int threeWay(T a, T b) { return (a > b) - (a < b); }

} // namespace

TCustomSortedList::TCustomSortedList() = default;
TCustomSortedList::~TCustomSortedList() = default;

int TCustomSortedList::Compare(void *Item1, void *Item2) const
{
    return threeWay(reinterpret_cast<uintptr_t>(Item1), reinterpret_cast<uintptr_t>(Item2));
}

int TCustomSortedList::search(void *Item, int &insertAt) const
{
    int lo = 0;
    int hi = Count() - 1;
    int found = -1;
    bool seen = false; // met an item not smaller than Item
    while (found == -1 && hi >= lo) {
        const int mid = (lo + hi) / 2;
        const int c = Compare(Item, FList[size_t(mid)]);
        if (c < 0) {
            hi = mid - 1;
            seen = true;
        } else if (c == 0) {
            found = mid;
            seen = true;
        } else {
            lo = mid + 1;
        }
    }
    insertAt = !seen ? -1 : found >= 0 ? found : hi + 1;
    return found;
}

int TCustomSortedList::Add(void *Item)
{
    int insertAt = -1;
    const int found = search(Item, insertAt);
    if (insertAt < 0) {
        // Empty list, or greater than every item probed: no duplicates test.
        FList.push_back(Item);
        return Count() - 1;
    }
    if (found >= 0) {
        switch (FDuplicates) {
        case dupIgnore:
            return found;
        case dupError:
            throw EListError(QStringLiteral("Dupplicate Item in SortedList!"));
        case dupAccept:
            break;
        }
    }
    FList.insert(FList.begin() + insertAt, Item);
    return insertAt;
}

int TCustomSortedList::Find(void *Item) const
{
    int insertAt = 0;
    return search(Item, insertAt);
}

int TCustomSortedList::Remove(void *Item)
{
    const int index = Find(Item);
    if (index >= 0)
        FList.erase(FList.begin() + index);
    return index;
}

bool TCustomSortedList::CompareList(const TCustomSortedList &AList) const
{
    return FList == AList.FList;
}

void TCustomSortedList::checkIndex(int Index, bool allowEnd) const
{
    if (Index < 0 || Index > Count() || (!allowEnd && Index == Count()))
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
}

void *TCustomSortedList::Items(int Index) const
{
    checkIndex(Index);
    return FList[size_t(Index)];
}

void TCustomSortedList::SetItems(int Index, void *Item)
{
    checkIndex(Index);
    FList[size_t(Index)] = Item;
}

void TCustomSortedList::Insert(int Index, void *Item)
{
    checkIndex(Index, true);
    FList.insert(FList.begin() + Index, Item);
}

void TCustomSortedList::Delete(int Index)
{
    checkIndex(Index);
    FList.erase(FList.begin() + Index);
}

void TCustomSortedList::Clear()
{
    FList.clear();
}

void TCustomSortedList::SetCapacity(int Value)
{
    if (Value < Count())
        throw EListError(QStringLiteral("List capacity out of bounds (%1)").arg(Value));
    if (size_t(Value) > FList.capacity())
        FList.reserve(size_t(Value));
}

// --- TSortedIntegerList ----------------------------------------------------

TSortedIntegerList::TSortedIntegerList() = default;

TSortedIntegerList::TSortedIntegerList(const QString &ACommaText)
{
    SetAsCommaText(ACommaText);
}

int TSortedIntegerList::Compare(void *Item1, void *Item2) const
{
    return threeWay(fromSlot(Item1), fromSlot(Item2));
}

int TSortedIntegerList::Add(qint32 Value) { return TCustomSortedList::Add(toSlot(Value)); }
int TSortedIntegerList::Find(qint32 Value) const { return TCustomSortedList::Find(toSlot(Value)); }
int TSortedIntegerList::Remove(qint32 Value) { return TCustomSortedList::Remove(toSlot(Value)); }
qint32 TSortedIntegerList::Get(int Index) const { return fromSlot(Items(Index)); }

void TSortedIntegerList::AddList(const TSortedIntegerList &List)
{
    if (&List == this) {
        const TSortedIntegerList copy(List);
        AddList(copy);
        return;
    }
    const int needed = Count() + List.Count();
    if (needed > Capacity())
        SetCapacity(needed);
    for (int i = 0; i < List.Count(); ++i)
        Add(List.Get(i));
}

QString TSortedIntegerList::GetSperatedText(QChar Separator, const QString &Prefix,
                                            const QString &Postfix) const
{
    QString result;
    for (int i = 0; i < Count(); ++i) {
        if (i > 0)
            result += Separator;
        result += Prefix;
        result += QString::number(Get(i));
        result += Postfix;
    }
    return result;
}

QString TSortedIntegerList::AsCommaText() const
{
    return GetSperatedText(u',', QString(), QString());
}

void TSortedIntegerList::SetAsCommaText(const QString &Value)
{
    QStringList items;
    ExtractStrings({QChar(u',')}, {}, Value, items);
    Clear();
    for (const QString &item : std::as_const(items))
        Add(StrToIntDef(item, 0));
}

} // namespace zor
