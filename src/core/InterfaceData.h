// Implementations of the list interfaces over the library's own containers,
// and the conversions that turn exchanged values into native ones.
//
// The objects live by reference count (hold them in IPtr); the wrapped
// container is deleted with the object when it was created with OwnsList,
// and must outlive it otherwise.
#pragma once

#include <ZorCompCore/core/InterfaceDataDef.h>
#include <ZorCompCore/zor_export.h>

namespace zor {

class TStream;
class TStringList;
class TSortedIntegerList;
class TNamedVariantList;

class ZOR_EXPORT TStringListData : public TInterfacedObject, public IStringListData
{
public:
    TStringListData(TStringList *AData, bool OwnsList);

    HRESULT QueryInterface(const QUuid &iid, void **obj) override;

    int Get_Length() override;
    void Set_Data(const QString &Value) override;
    QString Get_Data() override;
    int Do_Compare(const QString &S) override;
    int Do_Compare(const char16_t *S) override;
    int Get_Count() override;
    QString Get_Item(int Index) override;
    void Set_Item(int Index, const QString &Value) override;
    int Do_Add(const char16_t *S, void *AObject) override;
    int Get_IndexOf(const char16_t *S) override;
    void Do_Delete(int Index) override;
    QString Get_CommaText() override;
    void Set_CommaText(const QString &Value) override;
    void Do_Sort() override;
    QString Get_Value(const char16_t *Name) override;
    QString Get_ValueFromIndex(int Index) override;
    QString Get_Name(int Index) override;
    void *Get_Object(int Index) override;
    void Set_Object(int Index, void *AObject) override;
    int Get_IndexOfName(const char16_t *Name) override;
    int Get_IndexOfObject(void *AObject) override;
    QString Get_Last() override;
    QString Get_First() override;
    void Do_BeginUpdate() override;
    void Do_EndUpdate() override;
    void Do_Clear() override;

    // The whole text as variants. The text is Get_Data, which ends every
    // line with a line break; the conversions trim that single trailing
    // break, so a one-line list converts as its line. The parsing ones raise
    // EConvertError on bad text.
    Variant Get_AsVarString();
    Variant Get_AsVarAnsiString();   // ANSI code page, as an 8-bit string
    Variant Get_AsVarBinary();       // ANSI code page, as a byte array
    Variant Get_AsVarBoolean();
    Variant Get_AsVarInteger();
    Variant Get_AsVarInt64();
    Variant Get_AsVarFloat();
    Variant Get_AsVarDate();
    Variant Get_AsVarUnknown();      // this object's own IInterface
    bool Get_IVType() const { return true; }
    TVarType Get_NativeType() const { return varUString; }

    TStringList *Data() const { return FData; }

protected:
    ~TStringListData() override;

private:
    QString textValue();

    TStringList *FData;
    bool FOwnsList;
};

class ZOR_EXPORT TIntegerListData : public TInterfacedObject, public IIntegerListData
{
public:
    TIntegerListData(TSortedIntegerList *AData, bool OwnsList);

    HRESULT QueryInterface(const QUuid &iid, void **obj) override;

    qint32 Get_Item(int Index) override;
    void Do_Add(qint32 Value) override;
    int Get_Count() override;
    void Do_Delete(int Index) override;
    QString Get_AsCommaText() override;
    int Get_IndexOf(qint32 Value) override;
    QString Get_SperatedText(QChar Separator, const char16_t *Prefix, const char16_t *Postfix) override;
    void Do_AddToList(IIntegerListData *AList) override;
    void Do_Clear() override;
    void Set_AsCommaText(const QString &Value) override;

    TSortedIntegerList *Data() const { return FData; }

protected:
    ~TIntegerListData() override;

private:
    TSortedIntegerList *FData;
    bool FOwnsList;
};

class ZOR_EXPORT TNamedVariantListData : public TInterfacedObject, public INamedVariantListData
{
public:
    TNamedVariantListData(TNamedVariantList *AData, bool OwnsList);

    HRESULT QueryInterface(const QUuid &iid, void **obj) override;

    int Get_IndexOfName(const char16_t *Name) override;
    int Get_IndexOf(const Variant &Value) override;
    void Do_Add(const Variant &Value, const char16_t *Name) override;
    void Do_Add(const Variant &Value, const QString &Name) override;
    Variant Get_Item(int Index) override;
    void Set_Item(int Index, const Variant &Value) override;
    QString Get_Name(int Index) override;
    void Set_Name(int Index, const QString &Value) override;
    Variant Get_Value(const QString &Name) override;
    void Set_Value(const QString &Name, const Variant &Value) override;
    int Get_Count() override;
    void Do_Clear() override;
    void Do_Assign(INamedVariantListData *AList) override;
    void Do_AddList(INamedVariantListData *AList, bool AReplaceByName, bool AOnlyIfDifferent) override;
    QByteArray Get_AsBinaryData() override;
    void Set_AsBinaryData(const QByteArray &Value) override;

    TNamedVariantList *Data() const { return FData; }
    bool OwnsList() const { return FOwnsList; }
    void SetOwnsList(bool Value) { FOwnsList = Value; }

protected:
    ~TNamedVariantListData() override;

private:
    TNamedVariantList *FData;
    bool FOwnsList;
};

// --- conversions of exchanged values ------------------------------------------
// AFreeData is accepted where callers pass it along; it only matters for the
// IStringListData form of StringDataToStr.

// Type code 2 or above (neither empty nor null).
ZOR_EXPORT bool VariantDataHasContent(const Variant &V);
ZOR_EXPORT TVariantDataType VariantDataContentType(const Variant &V);
ZOR_EXPORT TVarType VariantDataVarType(const Variant &V);

// Text is exchanged as itself.
ZOR_EXPORT QString StrToStringData(const QString &S);
ZOR_EXPORT QByteArray StrToStringData(const QByteArray &S);
ZOR_EXPORT QString StringDataToStr(const QString &S, bool AFreeData = false);
ZOR_EXPORT QByteArray StringDataToStr(const QByteArray &S, bool AFreeData = false);
// The list's text ("" for nullptr). With AFreeData the list gets one extra
// AddRef/Release, so an object nobody referenced yet is destroyed here.
ZOR_EXPORT QString StringDataToStr(IStringListData *AList, bool AFreeData);
// One AddRef/Release on I (nullptr is ignored): destroys an unreferenced object.
ZOR_EXPORT void InterfaceRefFix(IInterface *I);
// StrToIntDef with 32-bit parsing, widened.
ZOR_EXPORT qint64 StringDataToIntDef(const QString &S, qint64 ADefault);
ZOR_EXPORT int StringDataCompare(const QString &A, const QString &B);
ZOR_EXPORT int StringDataCompare(const QByteArray &A, const QByteArray &B); // compared as UTF-16
ZOR_EXPORT int StringDataLength(const QString &S);       // code units
ZOR_EXPORT int StringDataLength(const QByteArray &S);    // bytes

ZOR_EXPORT Variant VarToVariantData(const Variant &V);
ZOR_EXPORT Variant VariantDataToVariant(const Variant &V, bool AFreeData = false);
ZOR_EXPORT QByteArray AnsiStrToBinaryData(const QByteArray &S);
ZOR_EXPORT QByteArray BytesToBinaryData(const QByteArray &B);
// Arrays: their elements as bytes; other values: their text in the ANSI code page.
ZOR_EXPORT QByteArray VariantDataToBinary(const Variant &V, bool AFreeData = false);
ZOR_EXPORT QByteArray VariantDataToAnsiStringData(const Variant &V, bool AFreeData = false);
ZOR_EXPORT QByteArray BinaryDataToBin(const QByteArray &B, bool AFreeData = false);
// Writes B at AStream's position (nothing for empty B).
ZOR_EXPORT void BinaryDataToStream(const QByteArray &B, TStream &AStream, bool AFreeData = false);
ZOR_EXPORT QByteArray BinaryDataToRawByteStr(const QByteArray &B, bool AFreeData = false);

// Null gives ADefault, and so does a conversion that fails.
ZOR_EXPORT QString VariantDataToStrDef(const Variant &V, const QString &ADefault, bool AFreeData = false);
ZOR_EXPORT qint64 VariantDataToIntDef(const Variant &V, qint64 ADefault, bool AFreeData = false);
ZOR_EXPORT double VariantDataToFloatDef(const Variant &V, double ADefault, bool AFreeData = false);
// Numbers and dates up to MinDateTime become null, other non-date types empty.
ZOR_EXPORT Variant VariantDataToDateVar(const Variant &V, bool AFreeData = false);
// Booleans as they are, strings by StrToBool, others true exactly when equal to 1.
ZOR_EXPORT bool VariantDataToBoolDef(const Variant &V, bool ADefault, bool AFreeData = false);

} // namespace zor
