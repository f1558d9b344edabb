#include "DataSet.h"

#include <ZorCompCore/platform/SysUtils.h>

#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <limits>

namespace zor {

namespace {

const QString kClosed = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");

QByteArray bytesOf(const Variant &v)
{
    const Variant &d = v.Deref();
    if (d.IsArray())
        return VarArrayToBytes(d);
    if (d.BaseType() == varString)
        return d.RawAnsi();
    return VarToStr(d).toUtf8();
}

// Date-time text as databases write it ("2024-03-15", "2024-03-15 10:30:00",
// "2024-03-15T10:30:00.250"), then the locale's own form.
bool tryTextToDateTime(const QString &text, TDateTime &out)
{
    const QString s = text.trimmed();
    static const char *const kIsoForms[] = {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-ddTHH:mm:ss.zzz",
                                            "yyyy-MM-dd HH:mm:ss",     "yyyy-MM-ddTHH:mm:ss",
                                            "yyyy-MM-dd HH:mm",        "yyyy-MM-ddTHH:mm"};
    for (const char *form : kIsoForms) {
        const QDateTime dt = QDateTime::fromString(s, QLatin1String(form));
        if (dt.isValid()) {
            out = QDateTimeToDateTime(dt);
            return true;
        }
    }
    const QDate d = QDate::fromString(s, QStringLiteral("yyyy-MM-dd"));
    if (d.isValid())
        return TryEncodeDate(d.year(), d.month(), d.day(), out);
    const QTime t = QTime::fromString(s, s.size() > 5 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    if (t.isValid())
        return TryEncodeTime(t.hour(), t.minute(), t.second(), t.msec(), out);
    return TryStrToDateTime(s, out);
}

} // namespace

QString FieldTypeName(TFieldType AType)
{
    switch (AType) {
    case ftString: return QStringLiteral("String");
    case ftInteger: return QStringLiteral("Integer");
    case ftLargeint: return QStringLiteral("Largeint");
    case ftBoolean: return QStringLiteral("Boolean");
    case ftFloat: return QStringLiteral("Float");
    case ftCurrency: return QStringLiteral("Currency");
    case ftDate: return QStringLiteral("Date");
    case ftTime: return QStringLiteral("Time");
    case ftDateTime: return QStringLiteral("DateTime");
    case ftBlob: return QStringLiteral("Blob");
    case ftMemo: return QStringLiteral("Memo");
    case ftUnknown: break;
    }
    return QStringLiteral("Unknown");
}

Variant CoerceFieldValue(TFieldType AType, const Variant &AValue)
{
    const Variant &v = AValue.Deref();
    if (v.IsNull() || v.IsEmpty())
        return Variant::Null();
    const bool text = v.IsString();
    switch (AType) {
    case ftString:
    case ftMemo:
        if (v.IsArray())
            return Variant(QString::fromUtf8(VarArrayToBytes(v)));
        return Variant(VarToStr(v));
    case ftInteger:
    case ftLargeint: {
        const qint64 n = text ? StrToInt64(VarToStr(v).trimmed()) : VarToInt64(v);
        if (AType == ftInteger && n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
            return Variant(int(n));
        return Variant(n);
    }
    case ftBoolean:
        return Variant(VarToBool(v));
    case ftFloat:
        return Variant(text ? StrToFloat(VarToStr(v).trimmed()) : VarToDouble(v));
    case ftCurrency:
        return Variant(VarToCurrency(v));
    case ftDate:
    case ftTime:
    case ftDateTime: {
        if (!text)
            return Variant::FromDateTime(VarToDateTime(v));
        TDateTime dt = 0;
        if (!tryTextToDateTime(VarToStr(v), dt))
            throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(VarToStr(v)));
        return Variant::FromDateTime(dt);
    }
    case ftBlob:
        return VarArrayFromBytes(bytesOf(v));
    case ftUnknown:
        break;
    }
    return v;
}

// --- field definitions ----------------------------------------------------

void TFieldDefs::Add(const QString &AName, TFieldType ADataType, int ASize)
{
    if (IndexOf(AName) >= 0)
        throw EDatabaseError(QStringLiteral("Duplicate field name '%1'").arg(AName));
    FItems.push_back(TFieldDef{AName, ADataType, ASize});
}

int TFieldDefs::IndexOf(const QString &AName) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Name.compare(AName, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

// --- fields -----------------------------------------------------------------

TField::TField(TDataSet *ADataSet, const TFieldDef &ADef, int AIndex)
    : FDataSet(ADataSet), FDef(ADef), FIndex(AIndex)
{
    setObjectName(ADef.Name);
}

TField::~TField() = default;

Variant TField::Value() const
{
    return FDataSet->GetFieldValue(FIndex);
}

void TField::SetValue(const Variant &AValue)
{
    FDataSet->SetFieldValue(FIndex, AValue);
}

bool TField::IsNull() const
{
    const Variant v = Value();
    return v.IsNull() || v.IsEmpty();
}

QString TField::AsString() const
{
    const Variant v = Value();
    if (v.IsNull() || v.IsEmpty())
        return QString();
    // a stored value of another type (SQLite keeps what it is given) shows as it is
    switch (FDef.DataType) {
    case ftBlob: return QString::fromLatin1(bytesOf(v)); // bytes kept one to one
    case ftDate: return v.BaseType() == varDate ? DateToStr(v.RawDouble()) : VarToStr(v);
    case ftTime: return v.BaseType() == varDate ? TimeToStr(v.RawDouble()) : VarToStr(v);
    case ftBoolean:
        if (v.BaseType() != varBoolean)
            return VarToStr(v);
        return VarToBool(v) ? QStringLiteral("True") : QStringLiteral("False");
    default: return VarToStr(v);
    }
}

int TField::AsInteger() const
{
    const Variant v = Value();
    if (v.IsNull() || v.IsEmpty())
        return 0;
    if (v.IsString())
        return StrToInt(VarToStr(v).trimmed());
    return VarToInt(v);
}

qint64 TField::AsLargeInt() const
{
    const Variant v = Value();
    if (v.IsNull() || v.IsEmpty())
        return 0;
    if (v.IsString())
        return StrToInt64(VarToStr(v).trimmed());
    return VarToInt64(v);
}

double TField::AsFloat() const
{
    const Variant v = Value();
    if (v.IsNull() || v.IsEmpty())
        return 0.0;
    if (v.IsString())
        return StrToFloat(VarToStr(v).trimmed());
    return VarToDouble(v);
}

bool TField::AsBoolean() const
{
    const Variant v = Value();
    return !(v.IsNull() || v.IsEmpty()) && VarToBool(v);
}

TDateTime TField::AsDateTime() const
{
    const Variant v = Value();
    if (v.IsNull() || v.IsEmpty())
        return 0.0;
    if (v.IsString()) {
        TDateTime dt = 0;
        if (!tryTextToDateTime(VarToStr(v), dt))
            throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(VarToStr(v)));
        return dt;
    }
    return VarToDateTime(v);
}

QByteArray TField::AsBytes() const
{
    const Variant v = Value();
    if (v.IsNull() || v.IsEmpty())
        return QByteArray();
    return bytesOf(v);
}

void TField::SetAsString(const QString &AValue)
{
    // An empty text clears a field that is not a string field, as a
    // cleared edit box does.
    if (AValue.isEmpty() && FDef.DataType != ftString && FDef.DataType != ftMemo)
        SetValue(Variant::Null());
    else if (FDef.DataType == ftBlob)
        SetValue(VarArrayFromBytes(AValue.toLatin1()));
    else
        SetValue(Variant(AValue));
}

void TField::SetAsBytes(const QByteArray &AValue)
{
    if (FDef.DataType == ftBlob)
        SetValue(VarArrayFromBytes(AValue));
    else
        SetValue(Variant(QString::fromUtf8(AValue)));
}

QVariant TField::QtValue() const
{
    const Variant v = Value();
    if (v.IsNull() || v.IsEmpty())
        return QVariant();
    if (FDef.DataType == ftBlob)
        return QVariant(bytesOf(v));
    return v.ToQVariant();
}

void TField::SetQtValue(const QVariant &AValue)
{
    SetValue(Variant::FromQVariant(AValue));
}

TFields::TFields(TDataSet *ADataSet)
{
    setObjectName(QStringLiteral("Fields"));
    Q_UNUSED(ADataSet);
}

TField *TFields::Fields(int AIndex) const
{
    if (AIndex < 0 || AIndex >= Count())
        throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(AIndex));
    return FItems[size_t(AIndex)].get();
}

TField *TFields::FindField(const QString &AName) const
{
    for (const auto &f : FItems)
        if (f->FieldName().compare(AName, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

// --- data sets --------------------------------------------------------------

TDataSet::TDataSet(QObject *AOwner) : TComponent(AOwner), FFields(std::make_unique<TFields>(this)) {}

TDataSet::~TDataSet() = default;

void TDataSet::DatabaseError(const QString &AMessage) const
{
    if (Name().isEmpty())
        throw EDatabaseError(AMessage);
    throw EDatabaseError(Name() + QStringLiteral(": ") + AMessage);
}

void TDataSet::CheckActive() const
{
    if (FState == dsInactive)
        DatabaseError(kClosed);
}

void TDataSet::SetActive(bool AValue)
{
    if (AValue == Active())
        return;
    if (AValue)
        DoOpen();
    else
        DoClose();
}

void TDataSet::DoOpen()
{
    FRecords.clear();
    try {
        InternalOpen();
        BindFields();
    } catch (...) {
        FRecords.clear();
        InternalClose();
        throw;
    }
    FState = dsBrowse;
    FCurrent = FRecords.empty() ? -1 : 0;
    FBof = true;
    FEof = FRecords.empty();
    emit afterOpen();
    emit afterScroll();
}

void TDataSet::DoClose()
{
    emit beforeClose();
    InternalClose();
    FRecords.clear();
    FBuffer.clear();
    FState = dsInactive;
    FCurrent = -1;
    FBof = FEof = true;
    emit afterClose();
}

void TDataSet::BindFields()
{
    std::vector<std::unique_ptr<TField>> old = std::move(FFields->FItems);
    FFields->FItems.clear();
    for (int i = 0; i < FFieldDefs.Count(); ++i) {
        const TFieldDef &def = FFieldDefs.Items(i);
        std::unique_ptr<TField> field;
        for (auto &o : old) {
            if (o && o->Index() == i && o->FieldName() == def.Name && o->DataType() == def.DataType) {
                field = std::move(o);
                break;
            }
        }
        if (!field)
            field = std::make_unique<TField>(this, def, i);
        FFields->FItems.push_back(std::move(field));
    }
}

void TDataSet::RecordsChanged()
{
    const int n = int(FRecords.size());
    if (n == 0) {
        FCurrent = -1;
        FBof = FEof = true;
    } else {
        if (FCurrent < 0)
            FCurrent = 0;
        if (FCurrent >= n)
            FCurrent = n - 1;
        FBof = FCurrent == 0 && FBof;
        FEof = false;
    }
    emit afterScroll();
}

void TDataSet::First()
{
    CheckBrowseMode();
    FCurrent = FRecords.empty() ? -1 : 0;
    FBof = true;
    FEof = FRecords.empty();
    emit afterScroll();
}

void TDataSet::Last()
{
    CheckBrowseMode();
    FCurrent = int(FRecords.size()) - 1;
    FEof = true;
    FBof = FRecords.empty();
    emit afterScroll();
}

int TDataSet::MoveBy(int ADistance)
{
    CheckBrowseMode();
    if (ADistance == 0 || (ADistance > 0 && FEof) || (ADistance < 0 && FBof))
        return 0;
    const int n = int(FRecords.size());
    FBof = FEof = false;
    int moved = 0;
    if (ADistance > 0) {
        const qint64 room = std::max(0, n - 1 - FCurrent);
        moved = int(std::min<qint64>(ADistance, room));
        if (moved < ADistance)
            FEof = true;
    } else {
        const qint64 room = std::max(0, FCurrent);
        moved = -int(std::min<qint64>(-qint64(ADistance), room));
        if (moved > ADistance)
            FBof = true;
    }
    if (n == 0)
        FBof = FEof = true;
    FCurrent += moved;
    if (moved != 0)
        emit afterScroll();
    return moved;
}

int TDataSet::RecNo() const
{
    CheckActive();
    if (FState == dsInsert)
        return FInsertAt + 1;
    return FCurrent + 1;
}

void TDataSet::SetRecNo(int AValue)
{
    CheckBrowseMode();
    const int n = int(FRecords.size());
    if (n == 0)
        return;
    FCurrent = std::clamp(AValue, 1, n) - 1;
    FBof = FEof = false;
    emit afterScroll();
}

int TDataSet::RecordCount() const
{
    CheckActive();
    return int(FRecords.size());
}

Variant TDataSet::RecordValue(int ARecord, int AField) const
{
    CheckActive();
    if (ARecord < 0 || size_t(ARecord) >= FRecords.size())
        return Variant::Null();
    const std::vector<Variant> &row = FRecords[size_t(ARecord)];
    return AField >= 0 && size_t(AField) < row.size() ? row[size_t(AField)] : Variant::Null();
}

TField *TDataSet::FindField(const QString &AFieldName) const
{
    return FFields->FindField(AFieldName);
}

TField *TDataSet::FieldByName(const QString &AFieldName) const
{
    TField *f = FindField(AFieldName);
    if (!f)
        DatabaseError(QStringLiteral("Field '%1' not found").arg(AFieldName));
    return f;
}

Variant TDataSet::GetFieldValue(int AIndex) const
{
    CheckActive();
    if (FState == dsEdit || FState == dsInsert)
        return size_t(AIndex) < FBuffer.size() ? FBuffer[size_t(AIndex)] : Variant::Null();
    if (FCurrent < 0 || size_t(FCurrent) >= FRecords.size())
        return Variant::Null();
    const std::vector<Variant> &row = FRecords[size_t(FCurrent)];
    return size_t(AIndex) < row.size() ? row[size_t(AIndex)] : Variant::Null();
}

void TDataSet::SetFieldValue(int AIndex, const Variant &AValue)
{
    CheckActive();
    if (FState != dsEdit && FState != dsInsert)
        DatabaseError(kNotEditing);
    const TField *f = FFields->Fields(AIndex);
    Variant v = CoerceFieldValue(f->DataType(), AValue);
    if (size_t(AIndex) >= FBuffer.size())
        FBuffer.resize(size_t(AIndex) + 1, Variant::Null());
    FBuffer[size_t(AIndex)] = std::move(v);
}

} // namespace zor
