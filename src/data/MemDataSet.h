// An in-memory data set: define the fields, open it, then append, edit and
// delete records.
#pragma once

#include <ZorCompCore/data/DataSet.h>

namespace zor {

class ZOR_EXPORT TMemDataSet : public TDataSet
{
    Q_OBJECT
public:
    explicit TMemDataSet(QObject *AOwner = nullptr);
    ~TMemDataSet() override;

    // Opens with the field definitions set so far (Open does the same).
    void CreateDataSet() { Open(); }
    // Removes every record (the data set stays open).
    Q_INVOKABLE void EmptyDataSet();

    // A blank record after the last one, or before the current one; Post stores it.
    Q_INVOKABLE void Append();
    Q_INVOKABLE void Insert();
    // The current record into the edit buffer (raises on an empty data set).
    Q_INVOKABLE void Edit();
    // Stores the buffer (no-op in browse mode); the stored record becomes current.
    Q_INVOKABLE void Post();
    Q_INVOKABLE void Cancel();
    // Removes the current record; the one after it (or the new last) becomes current.
    Q_INVOKABLE void Delete();
    // Appends and posts one record, values in field order (missing ones are Null).
    void AppendRecord(const QList<Variant> &AValues);

protected:
    void InternalOpen() override;
    void InternalClose() override;
    void CheckBrowseMode() override;
};

} // namespace zor
