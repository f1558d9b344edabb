#include "MemDataSet.h"

namespace zor {

TMemDataSet::TMemDataSet(QObject *AOwner) : TDataSet(AOwner) {}

TMemDataSet::~TMemDataSet() = default;

void TMemDataSet::InternalOpen()
{
    // The records of a memory data set live only while it is open.
}

void TMemDataSet::InternalClose() {}

void TMemDataSet::CheckBrowseMode()
{
    CheckActive();
    // Leaving an edit posts it, as moving off an edited record does.
    if (State() == dsEdit || State() == dsInsert)
        Post();
}

void TMemDataSet::EmptyDataSet()
{
    CheckActive();
    Cancel();
    FRecords.clear();
    RecordsChanged();
}

void TMemDataSet::Append()
{
    CheckBrowseMode();
    FBuffer.assign(size_t(FieldCount()), Variant::Null());
    FInsertAt = int(FRecords.size());
    SetState(dsInsert);
}

void TMemDataSet::Insert()
{
    CheckBrowseMode();
    FBuffer.assign(size_t(FieldCount()), Variant::Null());
    FInsertAt = std::max(Current(), 0);
    SetState(dsInsert);
}

void TMemDataSet::Edit()
{
    CheckActive();
    if (State() == dsEdit || State() == dsInsert)
        return;
    if (Current() < 0)
        DatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    FBuffer = FRecords[size_t(Current())];
    FBuffer.resize(size_t(FieldCount()), Variant::Null());
    SetState(dsEdit);
}

void TMemDataSet::Post()
{
    CheckActive();
    if (State() == dsEdit) {
        FRecords[size_t(Current())] = std::move(FBuffer);
    } else if (State() == dsInsert) {
        const int at = std::clamp(FInsertAt, 0, int(FRecords.size()));
        FRecords.insert(FRecords.begin() + at, std::move(FBuffer));
        SetCurrent(at);
    } else {
        return;
    }
    FBuffer.clear();
    FInsertAt = -1;
    SetState(dsBrowse);
    RecordsChanged();
    emit afterPost();
}

void TMemDataSet::Cancel()
{
    if (State() != dsEdit && State() != dsInsert)
        return;
    FBuffer.clear();
    FInsertAt = -1;
    SetState(dsBrowse);
}

void TMemDataSet::Delete()
{
    CheckActive();
    Cancel();
    if (Current() < 0)
        DatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    FRecords.erase(FRecords.begin() + Current());
    RecordsChanged();
    emit afterPost();
}

void TMemDataSet::AppendRecord(const QList<Variant> &AValues)
{
    Append();
    try {
        for (int i = 0; i < AValues.size() && i < FieldCount(); ++i)
            Fields()->Fields(i)->SetValue(AValues[i]);
    } catch (...) {
        Cancel();
        throw;
    }
    Post();
}

} // namespace zor
