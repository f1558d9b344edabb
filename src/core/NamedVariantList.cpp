#include <ZorCompCore/core/NamedVariantList.h>

#include <ZorCompCore/core/InterfaceDataDef.h>
#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

namespace zor {

namespace {

// Runs EndUpdate on every way out of a batch, exceptions included.
class UpdateScope
{
public:
    explicit UpdateScope(TNamedVariantList &list) : m_list(list) { m_list.BeginUpdate(); }
    void finish() { m_done = true; m_list.EndUpdate(); }
    ~UpdateScope()
    {
        if (m_done)
            return;
        try {
            m_list.EndUpdate();
        } catch (...) {
            // The exception that is unwinding wins over one from OnChange.
        }
    }

private:
    TNamedVariantList &m_list;
    bool m_done = false;
};

} // namespace

TNamedVariantList::TNamedVariantList() = default;
TNamedVariantList::~TNamedVariantList() = default;

TDataItem &TNamedVariantList::Items(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    return *FItems[size_t(Index)];
}

void TNamedVariantList::Changed()
{
    if (FUpdateCount == 0) {
        FUpdatedChanged = false;
        if (OnChange)
            OnChange(*this);
    } else {
        FUpdatedChanged = true;
    }
}

void TNamedVariantList::BeginUpdate()
{
    ++FUpdateCount;
}

void TNamedVariantList::EndUpdate()
{
    if (FUpdateCount <= 0)
        return;
    if (--FUpdateCount == 0 && FUpdatedChanged)
        Changed();
}

int TNamedVariantList::Add(const Variant &AValue, const QString &AName)
{
    FItems.push_back(std::make_unique<TDataItem>(AName, AValue));
    Changed();
    return Count() - 1;
}

void TNamedVariantList::Insert(int Index, const Variant &AValue, const QString &AName)
{
    if (Index < 0 || Index > Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    FItems.insert(FItems.begin() + Index, std::make_unique<TDataItem>(AName, AValue));
    Changed();
}

void TNamedVariantList::Delete(int Index)
{
    Items(Index);
    FItems.erase(FItems.begin() + Index);
}

void TNamedVariantList::Clear()
{
    FItems.clear();
}

int TNamedVariantList::IndexOfName(const QString &AName) const
{
    for (int i = 0; i < Count(); ++i) {
        if (FItems[size_t(i)]->Name() == AName)
            return i;
    }
    return -1;
}

int TNamedVariantList::IndexOf(const Variant &AValue) const
{
    for (int i = 0; i < Count(); ++i) {
        if (VarSameValue(FItems[size_t(i)]->Value(), AValue))
            return i;
    }
    return -1;
}

void TNamedVariantList::AddValues(const TNamedVariantList &AValues)
{
    // Snapshot first: adding a list to itself must not chase its own tail.
    std::vector<std::pair<Variant, QString>> items;
    items.reserve(size_t(AValues.Count()));
    for (int i = 0; i < AValues.Count(); ++i)
        items.emplace_back(AValues.GetItem(i), AValues.GetName(i));
    UpdateScope scope(*this);
    for (const auto &[value, name] : items)
        Add(value, name);
    scope.finish();
}

void TNamedVariantList::AddValues(INamedVariantListData *AValues)
{
    if (!AValues)
        return;
    std::vector<std::pair<Variant, QString>> items;
    const int n = AValues->Get_Count();
    items.reserve(size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i)
        items.emplace_back(AValues->Get_Item(i), AValues->Get_Name(i));
    UpdateScope scope(*this);
    for (const auto &[value, name] : items)
        Add(value, name);
    scope.finish();
}

void TNamedVariantList::AddValues(const TStringList &AValues)
{
    UpdateScope scope(*this);
    for (int i = 0; i < AValues.Count(); ++i)
        Add(Variant(AValues.ValueFromIndex(i)), AValues.Names(i));
    scope.finish();
}

void TNamedVariantList::SaveToStream(TStream &AStream) const
{
    TStreamHelper helper(&AStream);
    helper.WriteInteger(Count());
    for (const auto &item : FItems) {
        helper.WriteVariant(item->Value());
        helper.WriteString(item->Name());
        helper.WriteInteger(item->Tag());
    }
}

void TNamedVariantList::LoadFromStream(TStream &AStream)
{
    UpdateScope scope(*this);
    Clear();
    if (AStream.Size() >= 4) {
        TStreamHelper helper(&AStream);
        const qint32 n = helper.ReadInteger();
        // No reservation from n: each item must be read before it is added,
        // and a variant past the end of the data raises.
        for (qint32 i = 0; i < n; ++i) {
            const Variant value = helper.ReadVariant();
            const QString name = helper.ReadString();
            const int index = Add(value, name);
            FItems[size_t(index)]->SetTag(helper.ReadInteger());
        }
    }
    scope.finish();
}

Variant TNamedVariantList::GetItem(int Index) const
{
    return Items(Index).Value();
}

void TNamedVariantList::SetItem(int Index, const Variant &Value)
{
    Items(Index).SetValue(Value);
    Changed();
}

QString TNamedVariantList::GetName(int Index) const
{
    return Items(Index).Name();
}

void TNamedVariantList::SetName(int Index, const QString &Value)
{
    Items(Index).SetName(Value);
    Changed();
}

qint32 TNamedVariantList::GetTag(int Index) const
{
    return Items(Index).Tag();
}

void TNamedVariantList::SetTag(int Index, qint32 Value)
{
    Items(Index).SetTag(Value);
}

Variant TNamedVariantList::GetValue(const QString &AName) const
{
    const int index = IndexOfName(AName);
    return index >= 0 ? GetItem(index) : Variant::Null();
}

void TNamedVariantList::SetValue(const QString &AName, const Variant &Value)
{
    const int index = IndexOfName(AName);
    if (index >= 0)
        SetItem(index, Value);
    else
        Add(Value, AName);
}

} // namespace zor
