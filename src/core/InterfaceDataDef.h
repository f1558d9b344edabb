// Reference-counted interface views of the three list kinds (string list,
// sorted integer list, named variant list): the form in which lists cross
// module boundaries. Text passed as `const char16_t *` is a null-terminated
// UTF-16 string owned by the caller (nullptr reads as ""); other text is a
// QString.
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

namespace zor {

enum TVariantDataType {
    ivarBoolean,
    ivarString,
    ivarAnsiString,
    ivarBinary,
    ivarFloat,
    ivarInteger,
    ivarDate,
    ivarInt64,
    ivarEmpty,
    ivarNull,
    ivarUnknown,
};

enum TDefaultBoolean { bDefault, bTrue, bFalse };

class ZOR_EXPORT IStringListData : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{FE676408-BCEC-48BD-8597-480601FC4FF9}");
    virtual int Get_Length() = 0;                  // length of the whole text
    virtual void Set_Data(const QString &Value) = 0;
    virtual QString Get_Data() = 0;                // the whole text, a line break after each line
    virtual int Do_Compare(const QString &S) = 0;  // ordinal: text against S
    virtual int Do_Compare(const char16_t *S) = 0;
    virtual int Get_Count() = 0;
    virtual QString Get_Item(int Index) = 0;
    virtual void Set_Item(int Index, const QString &Value) = 0;
    virtual int Do_Add(const char16_t *S, void *AObject) = 0;
    virtual int Get_IndexOf(const char16_t *S) = 0;
    virtual void Do_Delete(int Index) = 0;
    virtual QString Get_CommaText() = 0;
    virtual void Set_CommaText(const QString &Value) = 0;
    virtual void Do_Sort() = 0;
    virtual QString Get_Value(const char16_t *Name) = 0;
    virtual QString Get_ValueFromIndex(int Index) = 0;
    virtual QString Get_Name(int Index) = 0;
    virtual void *Get_Object(int Index) = 0;
    virtual void Set_Object(int Index, void *AObject) = 0;
    virtual int Get_IndexOfName(const char16_t *Name) = 0;
    virtual int Get_IndexOfObject(void *AObject) = 0;
    virtual QString Get_Last() = 0;                // "" for an empty list
    virtual QString Get_First() = 0;
    virtual void Do_BeginUpdate() = 0;
    virtual void Do_EndUpdate() = 0;
    virtual void Do_Clear() = 0;
};

class ZOR_EXPORT IIntegerListData : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{DBD74DC3-FED8-48C1-8713-44A8096F001E}");
    virtual qint32 Get_Item(int Index) = 0;
    virtual void Do_Add(qint32 Value) = 0;         // sorted, with the list's duplicates rule
    virtual int Get_Count() = 0;
    virtual void Do_Delete(int Index) = 0;
    virtual QString Get_AsCommaText() = 0;
    virtual int Get_IndexOf(qint32 Value) = 0;
    virtual QString Get_SperatedText(QChar Separator, const char16_t *Prefix, const char16_t *Postfix) = 0;
    virtual void Do_AddToList(IIntegerListData *AList) = 0; // adds own items to AList
    virtual void Do_Clear() = 0;
    virtual void Set_AsCommaText(const QString &Value) = 0;
};

class ZOR_EXPORT INamedVariantListData : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{D5B25A83-235F-4C20-B539-7D75784B3BEA}");
    virtual int Get_IndexOfName(const char16_t *Name) = 0;
    virtual int Get_IndexOf(const Variant &Value) = 0;
    virtual void Do_Add(const Variant &Value, const char16_t *Name) = 0;
    virtual void Do_Add(const Variant &Value, const QString &Name) = 0;
    virtual Variant Get_Item(int Index) = 0;
    virtual void Set_Item(int Index, const Variant &Value) = 0;
    virtual QString Get_Name(int Index) = 0;
    virtual void Set_Name(int Index, const QString &Value) = 0;
    virtual Variant Get_Value(const QString &Name) = 0;      // null when absent
    virtual void Set_Value(const QString &Name, const Variant &Value) = 0; // appends when absent
    virtual int Get_Count() = 0;
    virtual void Do_Clear() = 0;
    virtual void Do_Assign(INamedVariantListData *AList) = 0;
    // Appends AList's items; with AReplaceByName, items of a known name get
    // the new value instead (left alone when AOnlyIfDifferent and the same).
    virtual void Do_AddList(INamedVariantListData *AList, bool AReplaceByName, bool AOnlyIfDifferent) = 0;
    virtual QByteArray Get_AsBinaryData() = 0;     // the list's stream form
    virtual void Set_AsBinaryData(const QByteArray &Value) = 0;
};

// The empty (unassigned) variant.
inline Variant EmptyVariantData() { return Variant(); }

} // namespace zor
