#include <ZorCompCore/core/InterfaceData.h>

#include <ZorCompCore/core/NamedVariantList.h>
#include <ZorCompCore/core/SortedLists.h>
#include <ZorCompCore/core/VariantUtils.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/platform/SysUtils.h>

namespace zor {

namespace {

QString fromText(const char16_t *p)
{
    return p ? QString::fromUtf16(p) : QString();
}

} // namespace

// --- TStringListData ---------------------------------------------------------

TStringListData::TStringListData(TStringList *AData, bool OwnsList)
    : FData(AData), FOwnsList(OwnsList)
{
}

TStringListData::~TStringListData()
{
    if (FOwnsList)
        delete FData;
}

HRESULT TStringListData::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<IStringListData>(this, iid, obj))
        return S_OK;
    return TInterfacedObject::QueryInterface(iid, obj);
}

int TStringListData::Get_Length() { return int(FData->Text().size()); }
void TStringListData::Set_Data(const QString &Value) { FData->SetText(Value); }
QString TStringListData::Get_Data() { return FData->Text(); }
int TStringListData::Do_Compare(const QString &S) { return CompareStr(FData->Text(), S); }
int TStringListData::Do_Compare(const char16_t *S) { return CompareStr(FData->Text(), fromText(S)); }
int TStringListData::Get_Count() { return FData->Count(); }
QString TStringListData::Get_Item(int Index) { return FData->Get(Index); }
void TStringListData::Set_Item(int Index, const QString &Value) { FData->Put(Index, Value); }
int TStringListData::Do_Add(const char16_t *S, void *AObject) { return FData->AddObject(fromText(S), AObject); }
int TStringListData::Get_IndexOf(const char16_t *S) { return FData->IndexOf(fromText(S)); }
void TStringListData::Do_Delete(int Index) { FData->Delete(Index); }
QString TStringListData::Get_CommaText() { return FData->CommaText(); }
void TStringListData::Set_CommaText(const QString &Value) { FData->SetCommaText(Value); }
void TStringListData::Do_Sort() { FData->Sort(); }
QString TStringListData::Get_Value(const char16_t *Name) { return FData->Values(fromText(Name)); }
QString TStringListData::Get_ValueFromIndex(int Index) { return FData->ValueFromIndex(Index); }
QString TStringListData::Get_Name(int Index) { return FData->Names(Index); }
void *TStringListData::Get_Object(int Index) { return FData->Objects(Index); }
void TStringListData::Set_Object(int Index, void *AObject) { FData->PutObject(Index, AObject); }
int TStringListData::Get_IndexOfName(const char16_t *Name) { return FData->IndexOfName(fromText(Name)); }
int TStringListData::Get_IndexOfObject(void *AObject) { return FData->IndexOfObject(AObject); }
QString TStringListData::Get_Last() { return FData->Count() > 0 ? FData->Get(FData->Count() - 1) : QString(); }
QString TStringListData::Get_First() { return FData->Count() > 0 ? FData->Get(0) : QString(); }
void TStringListData::Do_BeginUpdate() { FData->BeginUpdate(); }
void TStringListData::Do_EndUpdate() { FData->EndUpdate(); }
void TStringListData::Do_Clear() { FData->Clear(); }

QString TStringListData::textValue()
{
    // Text ends every line with a line break; a value is the text without
    // that last one (so a one-line list is its line).
    QString text = FData->Text();
    const QString lb = FData->LineBreak();
    if (!lb.isEmpty() && text.endsWith(lb))
        text.chop(lb.size());
    return text;
}

Variant TStringListData::Get_AsVarString() { return Variant(textValue()); }
Variant TStringListData::Get_AsVarAnsiString() { return Variant::FromAnsi(ToAnsi(textValue())); }
Variant TStringListData::Get_AsVarBinary() { return VarArrayFromBytes(ToAnsi(textValue())); }
Variant TStringListData::Get_AsVarBoolean() { return Variant(StrToBool(textValue())); }
Variant TStringListData::Get_AsVarInteger() { return Variant(StrToInt(textValue())); }
Variant TStringListData::Get_AsVarInt64() { return Variant(StrToInt64(textValue())); }
Variant TStringListData::Get_AsVarFloat() { return Variant(StrToFloat(textValue())); }
Variant TStringListData::Get_AsVarDate() { return Variant::FromDateTime(StrToDateTime(textValue())); }

Variant TStringListData::Get_AsVarUnknown()
{
    return Variant(IPtr<IInterface>(static_cast<IInterface *>(static_cast<IStringListData *>(this))));
}

// --- TIntegerListData --------------------------------------------------------

TIntegerListData::TIntegerListData(TSortedIntegerList *AData, bool OwnsList)
    : FData(AData), FOwnsList(OwnsList)
{
}

TIntegerListData::~TIntegerListData()
{
    if (FOwnsList)
        delete FData;
}

HRESULT TIntegerListData::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<IIntegerListData>(this, iid, obj))
        return S_OK;
    return TInterfacedObject::QueryInterface(iid, obj);
}

qint32 TIntegerListData::Get_Item(int Index) { return FData->Get(Index); }
void TIntegerListData::Do_Add(qint32 Value) { FData->Add(Value); }
int TIntegerListData::Get_Count() { return FData->Count(); }
void TIntegerListData::Do_Delete(int Index) { FData->Delete(Index); }
QString TIntegerListData::Get_AsCommaText() { return FData->AsCommaText(); }
int TIntegerListData::Get_IndexOf(qint32 Value) { return FData->Find(Value); }
void TIntegerListData::Do_Clear() { FData->Clear(); }
void TIntegerListData::Set_AsCommaText(const QString &Value) { FData->SetAsCommaText(Value); }

QString TIntegerListData::Get_SperatedText(QChar Separator, const char16_t *Prefix, const char16_t *Postfix)
{
    return FData->GetSperatedText(Separator, fromText(Prefix), fromText(Postfix));
}

void TIntegerListData::Do_AddToList(IIntegerListData *AList)
{
    if (!AList)
        return;
    // Snapshot: AList may be this very list.
    const TSortedIntegerList items(*FData);
    for (int i = 0; i < items.Count(); ++i)
        AList->Do_Add(items.Get(i));
}

// --- TNamedVariantListData -----------------------------------------------------

TNamedVariantListData::TNamedVariantListData(TNamedVariantList *AData, bool OwnsList)
    : FData(AData), FOwnsList(OwnsList)
{
}

TNamedVariantListData::~TNamedVariantListData()
{
    if (FOwnsList)
        delete FData;
}

HRESULT TNamedVariantListData::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<INamedVariantListData>(this, iid, obj))
        return S_OK;
    return TInterfacedObject::QueryInterface(iid, obj);
}

int TNamedVariantListData::Get_IndexOfName(const char16_t *Name) { return FData->IndexOfName(fromText(Name)); }
int TNamedVariantListData::Get_IndexOf(const Variant &Value) { return FData->IndexOf(Value); }
void TNamedVariantListData::Do_Add(const Variant &Value, const char16_t *Name) { FData->Add(Value, fromText(Name)); }
void TNamedVariantListData::Do_Add(const Variant &Value, const QString &Name) { FData->Add(Value, Name); }
Variant TNamedVariantListData::Get_Item(int Index) { return FData->GetItem(Index); }
void TNamedVariantListData::Set_Item(int Index, const Variant &Value) { FData->SetItem(Index, Value); }
QString TNamedVariantListData::Get_Name(int Index) { return FData->GetName(Index); }
void TNamedVariantListData::Set_Name(int Index, const QString &Value) { FData->SetName(Index, Value); }
Variant TNamedVariantListData::Get_Value(const QString &Name) { return FData->GetValue(Name); }
void TNamedVariantListData::Set_Value(const QString &Name, const Variant &Value) { FData->SetValue(Name, Value); }
int TNamedVariantListData::Get_Count() { return FData->Count(); }
void TNamedVariantListData::Do_Clear() { FData->Clear(); }

void TNamedVariantListData::Do_Assign(INamedVariantListData *AList)
{
    if (AList == this)
        return; // clearing first would lose the source
    FData->Clear();
    Do_AddList(AList, false, false);
}

void TNamedVariantListData::Do_AddList(INamedVariantListData *AList, bool AReplaceByName, bool AOnlyIfDifferent)
{
    if (!AList)
        return;
    // Taken up front so that adding a list to itself stops at its old end.
    const int n = AList->Get_Count();
    for (int i = 0; i < n; ++i) {
        const Variant value = AList->Get_Item(i);
        const QString name = AList->Get_Name(i);
        const int index = AReplaceByName ? FData->IndexOfName(name) : -1;
        if (index < 0)
            FData->Add(value, name);
        else if (!AOnlyIfDifferent || !VarSameValue(FData->GetItem(index), value))
            FData->SetItem(index, value);
    }
}

QByteArray TNamedVariantListData::Get_AsBinaryData()
{
    TMemoryStream ms;
    FData->SaveToStream(ms);
    return QByteArray(static_cast<const char *>(ms.Memory()), qsizetype(ms.Size()));
}

void TNamedVariantListData::Set_AsBinaryData(const QByteArray &Value)
{
    TMemoryStream ms;
    if (!Value.isEmpty())
        ms.Write(Value.constData(), Value.size());
    ms.Seek(0, soBeginning);
    FData->LoadFromStream(ms);
}

// --- conversions -------------------------------------------------------------

bool VariantDataHasContent(const Variant &V)
{
    return V.Type() >= 2;
}

TVariantDataType VariantDataContentType(const Variant &V)
{
    switch (V.Type()) {
    case varBoolean: return ivarBoolean;
    case varEmpty: return ivarEmpty;
    case varNull: return ivarNull;
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord: case varLongWord:
        return ivarInteger;
    case varSingle: case varDouble: case varCurrency: return ivarFloat;
    case varDate: return ivarDate;
    case varOleStr: case varUString: return ivarString;
    case varString: return ivarAnsiString;
    case varInt64: case varUInt64: return ivarInt64;
    case varUnknown: return ivarUnknown;
    default: return ivarBinary;
    }
}

TVarType VariantDataVarType(const Variant &V) { return V.Type(); }

QString StrToStringData(const QString &S) { return S; }
QByteArray StrToStringData(const QByteArray &S) { return S; }
QString StringDataToStr(const QString &S, bool) { return S; }
QByteArray StringDataToStr(const QByteArray &S, bool) { return S; }

QString StringDataToStr(IStringListData *AList, bool AFreeData)
{
    if (!AList)
        return QString();
    const QString text = AList->Get_Data();
    if (AFreeData)
        InterfaceRefFix(AList);
    return text;
}

void InterfaceRefFix(IInterface *I)
{
    if (I) {
        I->AddRef();
        I->Release();
    }
}

qint64 StringDataToIntDef(const QString &S, qint64 ADefault)
{
    return StrToIntDef(S, int(ADefault));
}

int StringDataCompare(const QString &A, const QString &B) { return CompareStr(A, B); }

int StringDataCompare(const QByteArray &A, const QByteArray &B)
{
    return CompareStr(FromAnsi(A), FromAnsi(B));
}

int StringDataLength(const QString &S) { return int(S.size()); }
int StringDataLength(const QByteArray &S) { return int(S.size()); }

Variant VarToVariantData(const Variant &V) { return V; }
Variant VariantDataToVariant(const Variant &V, bool) { return V; }
QByteArray AnsiStrToBinaryData(const QByteArray &S) { return S; }
QByteArray BytesToBinaryData(const QByteArray &B) { return B; }

QByteArray VariantDataToBinary(const Variant &V, bool)
{
    if (VarIsArray(V))
        return VarArrayToBytes(V.Deref());
    return VarToRawByteString(V);
}

QByteArray VariantDataToAnsiStringData(const Variant &V, bool AFreeData)
{
    return VariantDataToBinary(V, AFreeData);
}

QByteArray BinaryDataToBin(const QByteArray &B, bool) { return B; }

void BinaryDataToStream(const QByteArray &B, TStream &AStream, bool)
{
    if (!B.isEmpty())
        AStream.Write(B.constData(), B.size());
}

QByteArray BinaryDataToRawByteStr(const QByteArray &B, bool) { return B; }

QString VariantDataToStrDef(const Variant &V, const QString &ADefault, bool)
{
    if (VarIsNull(V))
        return ADefault;
    try {
        return VarToStr(V);
    } catch (const Exception &) {
        return ADefault;
    }
}

qint64 VariantDataToIntDef(const Variant &V, qint64 ADefault, bool)
{
    if (VarIsNull(V))
        return ADefault;
    try {
        return VarToInt64(V);
    } catch (const Exception &) {
        return ADefault;
    }
}

double VariantDataToFloatDef(const Variant &V, double ADefault, bool)
{
    if (VarIsNull(V))
        return ADefault;
    try {
        return VarToDouble(V);
    } catch (const Exception &) {
        return ADefault;
    }
}

Variant VariantDataToDateVar(const Variant &V, bool)
{
    const Variant &v = V.Deref();
    if (v.Type() == varDate || VarIsNumeric(v)) {
        if (VarToDouble(v) <= MinDateTime)
            return Variant::Null();
        return v;
    }
    return Variant();
}

bool VariantDataToBoolDef(const Variant &V, bool ADefault, bool)
{
    const Variant &v = V.Deref();
    if (v.IsNull())
        return ADefault;
    try {
        if (v.Type() == varBoolean)
            return VarToBool(v);
        if (v.IsString())
            return StrToBool(VarToStr(v));
        return VarSameValue(v, Variant(1));
    } catch (const Exception &) {
        return ADefault;
    }
}

} // namespace zor
