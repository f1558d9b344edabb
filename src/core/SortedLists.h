// Sorted lists of pointer-sized values with a duplicates policy: the base
// TCustomSortedList (ordered by address), TSortedPointerList and
// TSortedIntegerList (signed 32-bit values in the slots).
#pragma once

#include <ZorCompCore/platform/StringList.h> // TDuplicates
#include <ZorCompCore/zor_export.h>

#include <QString>
#include <vector>

namespace zor {

class ZOR_EXPORT TCustomSortedList
{
public:
    TCustomSortedList();
    virtual ~TCustomSortedList();
    TCustomSortedList(const TCustomSortedList &) = default;
    TCustomSortedList &operator=(const TCustomSortedList &) = default;

    // Sorted insertion. Returns the new index when Item is appended or
    // inserted, the index of the equal item met when a duplicate is ignored.
    // dupError raises EListError "Dupplicate Item in SortedList!".
    int Add(void *Item);
    // Index of the first equal item met by the binary search, or -1.
    int Find(void *Item) const;
    // Deletes the item Find returns; its former index, or -1.
    int Remove(void *Item);
    // Same count and the same value at every index.
    bool CompareList(const TCustomSortedList &AList) const;

    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }

    // Plain list access; Insert and SetItems do not keep the order.
    int Count() const { return int(FList.size()); }
    void *Items(int Index) const;             // EListError "List index out of bounds (%d)"
    void SetItems(int Index, void *Item);
    void Insert(int Index, void *Item);
    void Delete(int Index);
    void Clear();
    int Capacity() const { return int(FList.capacity()); }
    void SetCapacity(int Value);

protected:
    // Negative, zero or positive; never overflows.
    virtual int Compare(void *Item1, void *Item2) const;

private:
    // Binary search as Add uses it: the index of an equal item (or -1), and
    // where a new item goes (-1: append).
    int search(void *Item, int &insertAt) const;
    void checkIndex(int Index, bool allowEnd = false) const;

    std::vector<void *> FList;
    TDuplicates FDuplicates = dupIgnore;
};

class ZOR_EXPORT TSortedPointerList : public TCustomSortedList
{
public:
    int IndexOf(void *Item) const { return Find(Item); }
};

class ZOR_EXPORT TSortedIntegerList : public TCustomSortedList
{
public:
    TSortedIntegerList();
    // CreateEx: a new list holding the values of ACommaText.
    explicit TSortedIntegerList(const QString &ACommaText);
    static TSortedIntegerList CreateEx(const QString &ACommaText) { return TSortedIntegerList(ACommaText); }

    int Add(qint32 Value);
    int Find(qint32 Value) const;
    int IndexOf(qint32 Value) const { return Find(Value); }
    int Remove(qint32 Value);
    qint32 Get(int Index) const;
    // Adds every item of List, in its order, under this list's duplicates rule.
    void AddList(const TSortedIntegerList &List);
    // Items in ascending order, each as Prefix + decimal + Postfix, with
    // Separator between them; "" for an empty list.
    QString GetSperatedText(QChar Separator, const QString &Prefix, const QString &Postfix) const;
    QString AsCommaText() const;
    // Replaces the items with the comma-separated values of Value; empty
    // items are skipped, non-numeric ones add 0.
    void SetAsCommaText(const QString &Value);

protected:
    int Compare(void *Item1, void *Item2) const override;
};

} // namespace zor
