#include <ZorCompCore/core/BinaryUtils.h>
#include <ZorCompCore/core/InterfaceData.h>
#include <ZorCompCore/core/InterfacedStream.h>
#include <ZorCompCore/core/NamedVariantList.h>
#include <ZorCompCore/core/SortedLists.h>
#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/platform/SysUtils.h>
#include "TestUtil.h"

#include <functional>
#include <vector>

using namespace zor;

namespace {

struct ProbeList : TStringList
{
    bool *deleted;
    explicit ProbeList(bool *d) : deleted(d) {}
    ~ProbeList() override { *deleted = true; }
};

struct ProbeStream : TMemoryStream
{
    bool *deleted;
    explicit ProbeStream(bool *d) : deleted(d) {}
    ~ProbeStream() override { *deleted = true; }
};

// Counts notifications and remembers which stream sent them.
class Notifier : public TInterfacedObject, public IDataStreamChangeNotifier
{
public:
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IDataStreamChangeNotifier>(this, iid, obj))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }
    void DataStreamChanged(IDataStreamEx *AStream) override
    {
        ++calls;
        last = AStream;
        if (onCall)
            onCall();
    }
    int calls = 0;
    IDataStreamEx *last = nullptr;
    std::function<void()> onCall;
};

IPtr<IDataStreamEx> memoryDataStream(const QByteArray &bytes)
{
    return IPtr<IDataStreamEx>(new TInterfacedStream(new TBytesStream(bytes), true));
}

} // namespace

TEST(InterfaceData, StringListDataForwardsToTheList)
{
    TStringList list;
    IPtr<IStringListData> data(new TStringListData(&list, false));
    EXPECT_EQ(data->Get_First(), QString());
    EXPECT_EQ(data->Get_Last(), QString());
    EXPECT_EQ(data->Get_Data(), QString());

    data->Do_Add(u"b=2", nullptr);
    int marker = 0;
    data->Do_Add(u"a=1", &marker);
    EXPECT_EQ(data->Get_Data(), QStringLiteral("b=2\na=1\n"));
    EXPECT_EQ(data->Get_Length(), 8);
    EXPECT_EQ(data->Get_First(), QStringLiteral("b=2"));
    EXPECT_EQ(data->Get_Last(), QStringLiteral("a=1"));
    EXPECT_EQ(data->Get_Value(u"a"), QStringLiteral("1"));
    EXPECT_EQ(data->Get_IndexOfName(u"a"), 1);
    EXPECT_EQ(data->Get_IndexOfObject(&marker), 1);
    EXPECT_EQ(data->Get_IndexOf(nullptr), -1);
    EXPECT_EQ(data->Do_Compare(QStringLiteral("b=2\na=1\n")), 0);
    EXPECT_LT(data->Do_Compare(u"c"), 0);
    EXPECT_GT(data->Do_Compare(u"B"), 0); // ordinal and case-sensitive
    data->Do_Sort();
    EXPECT_EQ(data->Get_CommaText(), QStringLiteral("a=1,b=2"));
    EXPECT_EQ(data->Get_Object(0), &marker);
    EXPECT_THROW(data->Get_Item(5), Exception);
    data->Set_CommaText(QStringLiteral("x,\"y z\""));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Get(1), QStringLiteral("y z"));
}

TEST(InterfaceData, StringListDataConvertsItsText)
{
    TStringList list;
    auto *impl = new TStringListData(&list, false);
    IPtr<IStringListData> keep(impl);
    list.SetText(QStringLiteral("42"));
    EXPECT_EQ(impl->Get_AsVarString().Type(), varUString);
    EXPECT_EQ(VarToStr(impl->Get_AsVarString()), QStringLiteral("42"));
    EXPECT_EQ(VarToInt(impl->Get_AsVarInteger()), 42);
    EXPECT_EQ(VarToInt64(impl->Get_AsVarInt64()), 42);
    EXPECT_EQ(VarToDouble(impl->Get_AsVarFloat()), 42.0);
    EXPECT_EQ(impl->Get_AsVarAnsiString().Type(), varString);
    EXPECT_EQ(impl->Get_NativeType(), varUString);

    list.SetText(QString::fromUtf8("€"));
    EXPECT_EQ(VarArrayToBytes(impl->Get_AsVarBinary()), QByteArray("\x80"));

    list.SetText(QStringLiteral("True"));
    EXPECT_TRUE(VarToBool(impl->Get_AsVarBoolean()));
    list.SetText(QStringLiteral("two\nlines"));
    EXPECT_THROW(impl->Get_AsVarInteger(), EConvertError);

    const Variant self = impl->Get_AsVarUnknown();
    EXPECT_EQ(self.Type(), varUnknown);
    EXPECT_TRUE(bool(QueryIntf<IStringListData>(self.RawInterface())));
}

TEST(InterfaceData, OwnedContainersDieWithTheObject)
{
    bool deleted = false;
    { IPtr<IStringListData> data(new TStringListData(new ProbeList(&deleted), true)); }
    EXPECT_TRUE(deleted);

    deleted = false;
    ProbeList kept(&deleted);
    { IPtr<IStringListData> data(new TStringListData(&kept, false)); }
    EXPECT_FALSE(deleted);

    // An object nobody referenced yet is destroyed by the AFreeData form.
    deleted = false;
    auto *orphan = new ProbeList(&deleted);
    orphan->Add(QStringLiteral("text"));
    EXPECT_EQ(StringDataToStr(new TStringListData(orphan, true), true), QStringLiteral("text\n"));
    EXPECT_TRUE(deleted);
    EXPECT_EQ(StringDataToStr(nullptr, true), QString());

    deleted = false;
    IInterface *unref = static_cast<IStringListData *>(new TStringListData(new ProbeList(&deleted), true));
    InterfaceRefFix(unref);
    EXPECT_TRUE(deleted);
}

TEST(InterfaceData, IntegerListData)
{
    TSortedIntegerList mine(QStringLiteral("3,1"));
    IPtr<IIntegerListData> data(new TIntegerListData(&mine, false));
    data->Do_Add(2);
    data->Do_Add(2);
    EXPECT_EQ(data->Get_AsCommaText(), QStringLiteral("1,2,3"));
    EXPECT_EQ(data->Get_IndexOf(3), 2);
    EXPECT_EQ(data->Get_SperatedText(u'|', u"<", nullptr), QStringLiteral("<1|<2|<3"));

    TSortedIntegerList theirs(QStringLiteral("2,10"));
    theirs.SetDuplicates(dupAccept);
    IPtr<IIntegerListData> other(new TIntegerListData(&theirs, false));
    data->Do_AddToList(other.get());
    EXPECT_EQ(theirs.AsCommaText(), QStringLiteral("1,2,2,3,10"));
    data->Do_AddToList(data.get());
    EXPECT_EQ(mine.AsCommaText(), QStringLiteral("1,2,3"));

    data->Set_AsCommaText(QStringLiteral("7,x"));
    EXPECT_EQ(data->Get_Count(), 2);
    data->Do_Delete(0);
    EXPECT_EQ(data->Get_Item(0), 7);
    EXPECT_TRUE(bool(QueryIntf<IIntegerListData>(static_cast<IInterface *>(data.get()))));
    EXPECT_FALSE(bool(QueryIntf<IStringListData>(static_cast<IInterface *>(data.get()))));
}

TEST(InterfaceData, NamedVariantListDataAddList)
{
    struct Row {
        const char *name;
        bool replaceByName, onlyIfDifferent;
        const char *expected; // name=value items after adding {a=1, c=3, a=9}
        int changes;
    };
    const Row rows[] = {
        {"append all", false, false, "a=1,b=2,a=1,c=3,a=9", 3},
        {"replace, same value left alone", true, true, "a=9,b=2,c=3", 2},
        {"replace even when equal", true, false, "a=9,b=2,c=3", 3},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TNamedVariantList target;
        target.Add(Variant(1), QStringLiteral("a"));
        target.Add(Variant(2), QStringLiteral("b"));
        int changes = 0;
        target.OnChange = [&](TNamedVariantList &) { ++changes; };
        TNamedVariantList source;
        source.Add(Variant(QStringLiteral("1")), QStringLiteral("a")); // same value by VarSameValue
        source.Add(Variant(3), QStringLiteral("c"));
        source.Add(Variant(9), QStringLiteral("a"));

        IPtr<INamedVariantListData> t(new TNamedVariantListData(&target, false));
        IPtr<INamedVariantListData> s(new TNamedVariantListData(&source, false));
        t->Do_AddList(s.get(), row.replaceByName, row.onlyIfDifferent);
        QStringList items;
        for (int i = 0; i < target.Count(); ++i)
            items << target.GetName(i) + u'=' + VarToStr(target.GetItem(i));
        EXPECT_EQ(items.join(u','), QString::fromLatin1(row.expected));
        EXPECT_EQ(changes, row.changes);
    }
}

TEST(InterfaceData, NamedVariantListDataBinaryForm)
{
    auto *impl = new TNamedVariantListData(new TNamedVariantList, true);
    IPtr<INamedVariantListData> data(impl);
    EXPECT_EQ(hexBytes(data->Get_AsBinaryData()), QStringLiteral("00 00 00 00"));
    EXPECT_TRUE(VarIsNull(data->Get_Value(QStringLiteral("missing"))));
    data->Set_Value(QStringLiteral("missing"), Variant(1));
    data->Do_Add(Variant(2.5), u"x");
    data->Set_Name(1, QStringLiteral("y"));
    EXPECT_EQ(data->Get_IndexOfName(u"y"), 1);
    EXPECT_EQ(data->Get_IndexOf(Variant(2.5)), 1);

    const QByteArray bytes = data->Get_AsBinaryData();
    IPtr<INamedVariantListData> copy(new TNamedVariantListData(new TNamedVariantList, true));
    copy->Set_AsBinaryData(bytes);
    EXPECT_EQ(copy->Get_AsBinaryData(), bytes);
    copy->Do_Assign(data.get());
    EXPECT_EQ(copy->Get_Count(), 2);
    copy->Do_Assign(copy.get());
    EXPECT_EQ(copy->Get_Count(), 2);

    copy->Set_AsBinaryData(QByteArray());
    EXPECT_EQ(copy->Get_Count(), 0);

    // Two items announced, one whole: the first is kept, then the error.
    // Cut inside the second item's value (tag 4 + name 10 + 3 bytes of the double).
    QByteArray cut = bytes.left(bytes.size() - 17);
    try {
        copy->Set_AsBinaryData(cut);
        FAIL() << "no exception";
    } catch (const EReadError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid stream data!"));
    }
    EXPECT_EQ(copy->Get_Count(), 1);
    EXPECT_EQ(impl->Data()->Count(), 2);
}

TEST(InterfaceData, ContentTypesAndConversions)
{
    struct Row { const char *name; Variant v; TVariantDataType type; bool content; };
    const Row rows[] = {
        {"empty", Variant(), ivarEmpty, false},
        {"null", Variant::Null(), ivarNull, false},
        {"boolean", Variant(false), ivarBoolean, true},
        {"byte", Variant::FromByte(1), ivarInteger, true},
        {"longword", Variant::FromLongWord(1), ivarInteger, true},
        {"currency", Variant(Currency()), ivarFloat, true},
        {"date", Variant::FromDateTime(1), ivarDate, true},
        {"ole string", Variant::FromOleStr(QStringLiteral("s")), ivarString, true},
        {"8-bit string", Variant::FromAnsi("s"), ivarAnsiString, true},
        {"uint64", Variant::FromUInt64(1), ivarInt64, true},
        {"interface", Variant(IPtr<IInterface>()), ivarUnknown, true},
        {"error", Variant::FromError(1), ivarBinary, true},
        {"byte array", VarArrayFromBytes("ab"), ivarBinary, true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(VariantDataContentType(r.v), r.type);
        EXPECT_EQ(VariantDataHasContent(r.v), r.content);
    }

    EXPECT_EQ(VariantDataToBinary(VarArrayFromBytes(QByteArray("\x00\x01", 2))), QByteArray("\x00\x01", 2));
    EXPECT_EQ(VariantDataToBinary(VarArrayCreate(0, -1, varByte)), QByteArray());
    EXPECT_EQ(VariantDataToBinary(Variant(QString::fromUtf8("é"))), QByteArray("\xE9"));
    EXPECT_EQ(VariantDataToAnsiStringData(Variant(12)), QByteArray("12"));

    EXPECT_EQ(VariantDataToStrDef(Variant::Null(), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(VariantDataToStrDef(Variant(), QStringLiteral("d")), QString());
    EXPECT_EQ(VariantDataToIntDef(Variant(QStringLiteral("x")), 4), 4);
    EXPECT_EQ(VariantDataToIntDef(Variant(QStringLiteral("12")), 4), 12);
    EXPECT_EQ(VariantDataToFloatDef(Variant(QStringLiteral("bad")), 0.5), 0.5);
    EXPECT_EQ(StringDataToIntDef(QStringLiteral("99999999999"), 3), 3);
    EXPECT_EQ(StringDataToIntDef(QStringLiteral("-5"), 3), -5);
    EXPECT_EQ(StringDataLength(QByteArray("\xE9\xE9")), 2);
    EXPECT_EQ(StringDataCompare(QByteArray("a"), QByteArray("b")), CompareStr(QStringLiteral("a"), QStringLiteral("b")));

    struct BoolRow { const char *name; Variant v; bool expected; };
    const BoolRow bools[] = {
        {"null gives the default", Variant::Null(), true},
        {"boolean", Variant(false), false},
        {"string", Variant(QStringLiteral("false")), false},
        {"bad string gives the default", Variant(QStringLiteral("maybe")), true},
        {"one", Variant(1), true},
        {"two is not one", Variant(2), false},
        {"one as double", Variant(1.0), true},
    };
    for (const BoolRow &r : bools) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(VariantDataToBoolDef(r.v, true), r.expected);
    }

    EXPECT_TRUE(VariantDataToDateVar(Variant::FromDateTime(MinDateTime)).IsNull());
    EXPECT_TRUE(VariantDataToDateVar(Variant(-700000)).IsNull());
    EXPECT_EQ(VariantDataToDateVar(Variant::FromDateTime(1.5)).Type(), varDate);
    EXPECT_EQ(VariantDataToDateVar(Variant(3)).Type(), varInteger);
    EXPECT_TRUE(VariantDataToDateVar(Variant(QStringLiteral("2020-01-01"))).IsEmpty());
    EXPECT_TRUE(VariantDataToDateVar(Variant::Null()).IsEmpty());
}

TEST(BinaryUtils, HexAndConcatenation)
{
    EXPECT_EQ(BinaryToHex(QByteArray("\x0a\xff"), QStringLiteral("0x")), QByteArray("0x0aff"));
    EXPECT_EQ(BinaryToHex(QByteArray(), QStringLiteral("0x"), QStringLiteral("NULL")), QByteArray("NULL"));
    EXPECT_EQ(BinaryToHex(QByteArray("\x00\x10\x9a", 3)), QByteArray("00109a"));
    EXPECT_EQ(ConcatBinray(QByteArray("ab"), QByteArray("\x00", 1)), QByteArray("ab\x00", 3));
    EXPECT_EQ(ConcatBinray(QByteArray(), QByteArray()), QByteArray());
}

TEST(BinaryUtils, StreamsToBytesAndBack)
{
    EXPECT_EQ(StreamToBinary(static_cast<TStream *>(nullptr)), QByteArray());
    EXPECT_EQ(StreamToBinary(static_cast<IDataStream *>(nullptr)), QByteArray());
    TBytesStream s(QByteArray("content"));
    s.Seek(0, soEnd);
    EXPECT_EQ(StreamToBinary(&s), QByteArray("content"));
    EXPECT_EQ(StreamToRawByteString(memoryDataStream("data").get()), QByteArray("data"));

    BinaryToStream(s, QByteArray("XY"), false);
    EXPECT_EQ(s.ToBytes(), QByteArray("contentXY"));
    BinaryToStream(s, QByteArray("new"), true);
    EXPECT_EQ(s.ToBytes(), QByteArray("new"));
    BinaryToStream(s, QByteArray(), true);
    EXPECT_EQ(s.Size(), 0);
}

TEST(BinaryUtils, CompareBinaryStream)
{
    // A data stream over a non-memory stream exposes no memory block.
    IPtr<IDataStream> wrapped(new TInterfacedStream(new TDataStreamWrapper(memoryDataStream("abc")), true));
    ASSERT_EQ(QueryIntf<IDataStreamEx>(wrapped)->Get_Memory(), nullptr);

    struct Row { const char *name; IPtr<IDataStream> a, b; bool same; };
    const Row rows[] = {
        {"two empty streams", memoryDataStream(""), memoryDataStream(""), true},
        {"same bytes in memory", memoryDataStream("abc"), memoryDataStream("abc"), true},
        {"different bytes", memoryDataStream("abc"), memoryDataStream("abd"), false},
        {"different sizes", memoryDataStream("abc"), memoryDataStream("ab"), false},
        {"memory against a wrapper", memoryDataStream("abc"), wrapped, true},
        {"wrapper against different memory", wrapped, memoryDataStream("xbc"), false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(CompareBinaryStream(r.a.get(), r.b.get()), r.same);
    }
}

TEST(InterfacedStream, NotifiersAreCalledOncePerChangeInOrder)
{
    auto *impl = new TInterfacedStream(new TMemoryStream, true);
    IPtr<IDataStreamEx> stream(impl);
    std::vector<int> order;
    IPtr<Notifier> first(new Notifier);
    IPtr<Notifier> second(new Notifier);
    first->onCall = [&] { order.push_back(1); };
    second->onCall = [&] { order.push_back(2); };

    stream->Write("x", 1); // nobody registered yet
    stream->Do_RegisterChangeNotifier(first.get());
    stream->Do_RegisterChangeNotifier(second.get());
    stream->Do_RegisterChangeNotifier(first.get());
    EXPECT_EQ(first->RefCount(), 2); // held once by the stream

    stream->Write("abc", 3);
    stream->SetSize(2);
    stream->Do_Changed();
    char buf[4];
    stream->Seek(0, 0);
    EXPECT_EQ(stream->Read(buf, 4), 2);
    EXPECT_EQ(first->calls, 3);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 1, 2, 1, 2}));
    EXPECT_EQ(first->last, stream.get());

    stream->Do_DisableNotifiers();
    stream->Do_DisableNotifiers();
    stream->Write("z", 1);
    stream->Do_EnableNotifiers();
    stream->SetSize(0);
    stream->Do_EnableNotifiers();
    EXPECT_EQ(first->calls, 3); // no catch-up either

    // A notifier that unregisters itself while being called.
    first->onCall = [&] { stream->Do_UnRegisterChangeNotifier(first.get()); };
    stream->Do_Changed();
    stream->Do_Changed();
    EXPECT_EQ(first->calls, 4);
    EXPECT_EQ(second->calls, 5);
    stream->Do_UnRegisterChangeNotifier(first.get()); // absent: nothing happens
    stream.reset();
    EXPECT_EQ(second->RefCount(), 1); // released with the stream
}

TEST(InterfacedStream, OwnershipAndCaching)
{
    bool deleted = false;
    {
        IPtr<IDataStreamEx> s(new TInterfacedStream(new ProbeStream(&deleted), true));
        EXPECT_TRUE(s->Get_OwnsContainerStream());
        EXPECT_NE(s->Get_Memory(), nullptr);
    }
    EXPECT_TRUE(deleted);

    deleted = false;
    ProbeStream kept(&deleted);
    kept.Write("cached", 6);
    kept.Seek(2, soBeginning);
    {
        auto *impl = new TInterfacedStream(&kept, false, true);
        IPtr<IDataStreamEx> s(impl);
        EXPECT_NE(impl->Stream(), &kept);
        EXPECT_EQ(s->GetSize(), 6);
        EXPECT_EQ(s->Seek(0, 1), 6); // the cache is left at its end
        EXPECT_EQ(QByteArray(static_cast<const char *>(s->Get_Memory()), 6), QByteArray("cached"));
        s->Write("!", 1);
        EXPECT_EQ(kept.Size(), 6); // the source is not written through
    }
    EXPECT_FALSE(deleted);

    deleted = false;
    { IPtr<IDataStreamEx> s(new TInterfacedStream(new ProbeStream(&deleted), true, true)); EXPECT_TRUE(deleted); }

    IPtr<IDataStreamEx> s = memoryDataStream("");
    IPtr<IInterface> tag(static_cast<IInterface *>(static_cast<IDataStreamChangeNotifier *>(new Notifier)));
    s->Set_TagData(tag);
    EXPECT_EQ(s->Get_TagData(), tag);
    EXPECT_TRUE(bool(QueryIntf<IDataStream>(static_cast<IInterface *>(s.get()))));
}

TEST(InterfacedStream, WrapperCarriesTheEncoding)
{
    IPtr<IDataStreamEx> data = memoryDataStream("");
    {
        TDataStreamWrapper wrapper(data);
        TStreamHelper h(&wrapper);
        h.WriteString(QStringLiteral("over an interface"));
        h.WriteVariant(VarArrayOf({Variant(1), Variant(QStringLiteral("x"))}));
        EXPECT_EQ(wrapper.Size(), data->GetSize());
        wrapper.Seek(0, soBeginning);
        EXPECT_EQ(h.ReadString(), QStringLiteral("over an interface"));
        EXPECT_EQ(h.ReadVariant().ArrayCount(), 2);
        wrapper.SetSize(4);
    }
    EXPECT_EQ(data->GetSize(), 4);
}
