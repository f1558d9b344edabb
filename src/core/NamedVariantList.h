// TNamedVariantList: an ordered list of (name, value, tag) items with change
// notification and a stream form. Names are not unique; lookups find the
// first item of a name.
#pragma once

#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/zor_export.h>

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace zor {

class TStream;
class TStringList;
class INamedVariantListData;

class ZOR_EXPORT TDataItem
{
public:
    TDataItem() = default;
    TDataItem(const QString &AName, const Variant &AValue) : FName(AName), FValue(AValue) {}

    const QString &Name() const { return FName; }
    void SetName(const QString &Value) { FName = Value; }
    const Variant &Value() const { return FValue; }
    void SetValue(const Variant &Value) { FValue = Value; }
    qint32 Tag() const { return FTag; }
    void SetTag(qint32 Value) { FTag = Value; }

private:
    QString FName;
    Variant FValue;
    qint32 FTag = 0;
};

class ZOR_EXPORT TNamedVariantList
{
public:
    TNamedVariantList();
    ~TNamedVariantList();
    TNamedVariantList(const TNamedVariantList &) = delete;
    TNamedVariantList &operator=(const TNamedVariantList &) = delete;

    int Count() const { return int(FItems.size()); }
    // EListError "List index out of bounds (%d)" for a bad index.
    TDataItem &Items(int Index) const;

    int Add(const Variant &AValue, const QString &AName);       // the new index
    void Insert(int Index, const Variant &AValue, const QString &AName);
    void Delete(int Index);
    void Clear();
    int IndexOfName(const QString &AName) const;               // exact case; -1 when absent
    int IndexOf(const Variant &AValue) const;                   // by VarSameValue

    // Appends the items of AValues (names and values, not tags) with at most
    // one OnChange; nothing is replaced. From a string list, each line's
    // name=value parts, the value as a string.
    void AddValues(const TNamedVariantList &AValues);
    void AddValues(INamedVariantListData *AValues);
    void AddValues(const TStringList &AValues);

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Stream form: 32-bit count, then per item its variant, name and tag.
    void SaveToStream(TStream &AStream) const;
    // Clears the list and reads it back; a variant that cannot be read raises
    // "Invalid stream data!" after keeping the items read so far.
    void LoadFromStream(TStream &AStream);

    Variant GetItem(int Index) const;
    void SetItem(int Index, const Variant &Value);
    QString GetName(int Index) const;
    void SetName(int Index, const QString &Value);
    qint32 GetTag(int Index) const;
    void SetTag(int Index, qint32 Value);                       // raises no OnChange
    Variant GetValue(const QString &AName) const;               // null when absent
    void SetValue(const QString &AName, const Variant &Value);  // appends when absent

    // Called after each change outside BeginUpdate/EndUpdate, once at the
    // outermost EndUpdate for changes inside. Delete, Clear and SetTag are silent.
    std::function<void(TNamedVariantList &)> OnChange;

private:
    void Changed();

    std::vector<std::unique_ptr<TDataItem>> FItems;
    int FUpdateCount = 0;
    bool FUpdatedChanged = false;
};

} // namespace zor
