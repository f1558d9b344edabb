// Data sets: named fields over a list of records with a current record.
//
// TDataSet keeps its records in memory once it is open (an in-memory data set
// is nothing else; a query caches its rows on Open), so every data set offers
// random access, a record count and cheap moves back and forth. Descendants
// supply the field definitions and the rows (InternalOpen) and may accept
// edits. Data sets and fields are QObjects: their Q_PROPERTYs and
// Q_INVOKABLE methods are what scripts see.
#pragma once

#include <ZorCompCore/zor_export.h>
#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Variant.h>

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace zor {

ZOR_DECLARE_EXCEPTION(EDatabaseError, Exception)

class TDataSet;

enum TFieldType {
    ftUnknown,
    ftString,
    ftInteger,
    ftLargeint,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftDate,
    ftTime,
    ftDateTime,
    ftBlob,
    ftMemo,
};

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// Name of a field type as scripts and tools print it ("String", "Blob" …).
ZOR_EXPORT QString FieldTypeName(TFieldType AType);

// The variant a value of a field of that type is stored as: strings become
// UTF-16 strings, integers 32- or 64-bit integers, blobs byte arrays, dates
// date-times. Null and empty values become Null. Raises EConvertError (or the
// variant layer's cast error) when the value has no such form.
ZOR_EXPORT Variant CoerceFieldValue(TFieldType AType, const Variant &AValue);

struct ZOR_EXPORT TFieldDef
{
    QString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0; // characters of a string field; informational
};

// The field definitions of a data set, in column order.
class ZOR_EXPORT TFieldDefs
{
public:
    int Count() const { return int(FItems.size()); }
    const TFieldDef &Items(int AIndex) const { return FItems.at(size_t(AIndex)); }
    // Adds a definition; raises EDatabaseError "Duplicate field name 'X'" for
    // a name already defined (names compare case-insensitively).
    void Add(const QString &AName, TFieldType ADataType, int ASize = 0);
    int IndexOf(const QString &AName) const; // -1 when missing
    void Clear() { FItems.clear(); }

private:
    std::vector<TFieldDef> FItems;
};

// One column of a data set: reads and writes the current record's value.
class ZOR_EXPORT TField : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString FieldName READ FieldName CONSTANT)
    Q_PROPERTY(int DataType READ DataTypeCode CONSTANT)
    Q_PROPERTY(int Index READ Index CONSTANT)
    Q_PROPERTY(QVariant Value READ QtValue WRITE SetQtValue)
    Q_PROPERTY(bool IsNull READ IsNull)
    Q_PROPERTY(QString AsString READ AsString WRITE SetAsString)
    Q_PROPERTY(int AsInteger READ AsInteger WRITE SetAsInteger)
    Q_PROPERTY(qint64 AsLargeInt READ AsLargeInt WRITE SetAsLargeInt)
    Q_PROPERTY(double AsFloat READ AsFloat WRITE SetAsFloat)
    Q_PROPERTY(bool AsBoolean READ AsBoolean WRITE SetAsBoolean)
    Q_PROPERTY(double AsDateTime READ AsDateTime WRITE SetAsDateTime)
    Q_PROPERTY(QByteArray AsBytes READ AsBytes WRITE SetAsBytes)
public:
    TField(TDataSet *ADataSet, const TFieldDef &ADef, int AIndex);
    ~TField() override;

    TDataSet *DataSet() const { return FDataSet; }
    QString FieldName() const { return FDef.Name; }
    TFieldType DataType() const { return FDef.DataType; }
    int DataTypeCode() const { return int(FDef.DataType); }
    int Size() const { return FDef.Size; }
    // Column position, 0-based.
    int Index() const { return FIndex; }
    bool IsBlob() const { return FDef.DataType == ftBlob; }

    // Reads raise EDatabaseError "Cannot perform this operation on a closed
    // dataset" while the data set is closed; writes need edit or insert mode.
    Variant Value() const;
    void SetValue(const Variant &AValue);
    void Clear() { SetValue(Variant::Null()); }
    bool IsNull() const;

    // Conversions of the value; Null reads as "", 0, false or 0.0.
    QString AsString() const;
    int AsInteger() const;
    qint64 AsLargeInt() const;
    double AsFloat() const;
    bool AsBoolean() const;
    TDateTime AsDateTime() const;
    // The content of a blob field; other fields give their text as UTF-8.
    QByteArray AsBytes() const;

    void SetAsString(const QString &AValue);
    void SetAsInteger(int AValue) { SetValue(Variant(AValue)); }
    void SetAsLargeInt(qint64 AValue) { SetValue(Variant(AValue)); }
    void SetAsFloat(double AValue) { SetValue(Variant(AValue)); }
    void SetAsBoolean(bool AValue) { SetValue(Variant(AValue)); }
    void SetAsDateTime(TDateTime AValue) { SetValue(Variant::FromDateTime(AValue)); }
    void SetAsBytes(const QByteArray &AValue);

    QVariant QtValue() const;
    void SetQtValue(const QVariant &AValue);

private:
    TDataSet *FDataSet;
    TFieldDef FDef;
    int FIndex;
};

// The fields of a data set, in column order.
class ZOR_EXPORT TFields : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Count READ Count)
public:
    explicit TFields(TDataSet *ADataSet);
    int Count() const { return int(FItems.size()); }
    // Field at a 0-based position; EDatabaseError "List index out of bounds (N)" outside.
    Q_INVOKABLE zor::TField *Fields(int AIndex) const;
    TField *operator[](int AIndex) const { return Fields(AIndex); }
    Q_INVOKABLE zor::TField *FindField(const QString &AName) const;

private:
    friend class TDataSet;
    std::vector<std::unique_ptr<TField>> FItems;
};

// Base of every data set. Records are rows of variants, one per field.
class ZOR_EXPORT TDataSet : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool Eof READ Eof)
    Q_PROPERTY(bool Bof READ Bof)
    Q_PROPERTY(int RecNo READ RecNo WRITE SetRecNo)
    Q_PROPERTY(int RecordCount READ RecordCount)
    Q_PROPERTY(int FieldCount READ FieldCount)
    Q_PROPERTY(bool IsEmpty READ IsEmpty)
    Q_PROPERTY(zor::TFields *Fields READ Fields)
public:
    explicit TDataSet(QObject *AOwner = nullptr);
    ~TDataSet() override;

    bool Active() const { return FState != dsInactive; }
    void SetActive(bool AValue);
    TDataSetState State() const { return FState; }

    Q_INVOKABLE void Open() { SetActive(true); }
    Q_INVOKABLE void Close() { SetActive(false); }

    // Navigation (raises on a closed data set). Bof is set by First and by
    // an attempt to move before the first record, Eof by Last and by an
    // attempt to move past the last one; an empty data set is both.
    Q_INVOKABLE void First();
    Q_INVOKABLE void Last();
    Q_INVOKABLE void Next() { MoveBy(1); }
    Q_INVOKABLE void Prior() { MoveBy(-1); }
    // Moves by ADistance records, at most to either end; returns the distance moved.
    Q_INVOKABLE int MoveBy(int ADistance);
    // A closed data set is at both ends, so a "while not Eof" loop ends.
    bool Eof() const { return FEof; }
    bool Bof() const { return FBof; }
    // 1-based number of the current record, 0 when there is none.
    int RecNo() const;
    void SetRecNo(int AValue);
    int RecordCount() const;
    bool IsEmpty() const { return RecordCount() == 0; }
    // A stored value by 0-based record and field, without moving the cursor
    // (Null outside the records).
    Variant RecordValue(int ARecord, int AField) const;

    TFieldDefs &FieldDefs() { return FFieldDefs; }
    const TFieldDefs &FieldDefs() const { return FFieldDefs; }
    TFields *Fields() const { return FFields.get(); }
    int FieldCount() const { return FFields->Count(); }
    Q_INVOKABLE zor::TField *FindField(const QString &AFieldName) const;
    // EDatabaseError "Field 'X' not found", prefixed with "Name: " when the
    // data set has a name.
    Q_INVOKABLE zor::TField *FieldByName(const QString &AFieldName) const;

    // EDatabaseError "Cannot perform this operation on a closed dataset".
    void CheckActive() const;
    // Raises EDatabaseError with AMessage, "Name: " in front when named.
    [[noreturn]] void DatabaseError(const QString &AMessage) const;

signals:
    void afterOpen();
    void beforeClose();
    void afterClose();
    // The current record changed (a move, or the rows were replaced).
    void afterScroll();
    // A record was posted or deleted.
    void afterPost();

protected:
    // Fills FieldDefs (when the descendant defines them on open) and Records.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() {}
    // Runs before each move: raises on a closed data set; a data set that
    // edits posts the pending record here.
    virtual void CheckBrowseMode() { CheckActive(); }
    // Rows replaced while open (a re-run query): keeps the position where it can.
    void RecordsChanged();
    // Creates the fields for FieldDefs, reusing the objects of unchanged
    // definitions so that pointers held by scripts stay valid.
    void BindFields();

    // Value of the current record (or of the edit buffer while editing).
    Variant GetFieldValue(int AIndex) const;
    void SetFieldValue(int AIndex, const Variant &AValue);
    void SetState(TDataSetState AState) { FState = AState; }
    // Positions the cursor without touching Bof/Eof.
    void SetCurrent(int AIndex) { FCurrent = AIndex; }
    int Current() const { return FCurrent; }

    std::vector<std::vector<Variant>> FRecords;
    std::vector<Variant> FBuffer; // edit buffer in dsEdit/dsInsert
    int FInsertAt = -1;           // where a record in dsInsert goes

private:
    friend class TField;
    void DoOpen();
    void DoClose();

    TDataSetState FState = dsInactive;
    TFieldDefs FFieldDefs;
    std::unique_ptr<TFields> FFields;
    int FCurrent = -1;
    bool FBof = true;
    bool FEof = true;
};

} // namespace zor
