// Data sets through the in-memory data set: the cursor and its ends, the
// errors of a closed data set and of unknown fields, editing, value
// conversions, and scripts that walk a data set.
#include "TestUtil.h"

#include <ZorCompCore/data/MemDataSet.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/script/Interpreter.h>

using namespace zor;

namespace {

std::unique_ptr<TMemDataSet> ordersSet(int rows)
{
    auto ds = std::make_unique<TMemDataSet>();
    ds->FieldDefs().Add(QStringLiteral("Id"), ftInteger);
    ds->FieldDefs().Add(QStringLiteral("Customer"), ftString, 40);
    ds->FieldDefs().Add(QStringLiteral("Qty"), ftInteger);
    ds->CreateDataSet();
    for (int i = 1; i <= rows; ++i)
        ds->AppendRecord({Variant(i), Variant(QStringLiteral("C%1").arg(i)), Variant(i * 10)});
    ds->First();
    return ds;
}

QString messageOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

TEST(MemDataSet, CursorEndsFollowTheMoves)
{
    auto ds = ordersSet(3);
    EXPECT_TRUE(ds->Bof());
    EXPECT_FALSE(ds->Eof());
    EXPECT_EQ(ds->RecNo(), 1);

    ds->Next();
    EXPECT_FALSE(ds->Bof()) << "moving away from the first record clears Bof";
    ds->Next();
    EXPECT_EQ(ds->RecNo(), 3);
    EXPECT_FALSE(ds->Eof()) << "standing on the last record is not Eof yet";
    ds->Next();
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->RecNo(), 3) << "a move past the end stays on the last record";
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Qty"))->AsInteger(), 30);

    ds->Prior();
    EXPECT_FALSE(ds->Eof());
    EXPECT_EQ(ds->RecNo(), 2);

    EXPECT_EQ(ds->MoveBy(10), 1);
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->MoveBy(5), 0) << "at Eof a forward move does nothing";
    EXPECT_EQ(ds->MoveBy(-10), -2);
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(ds->RecNo(), 1);

    ds->Last();
    EXPECT_TRUE(ds->Eof());
    EXPECT_FALSE(ds->Bof());
    ds->SetRecNo(99);
    EXPECT_EQ(ds->RecNo(), 3);
    ds->SetRecNo(2);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Customer"))->AsString(), QStringLiteral("C2"));
    EXPECT_EQ(ds->RecordCount(), 3);

    // a loop over the records sees each once
    QStringList seen;
    for (ds->First(); !ds->Eof(); ds->Next())
        seen << ds->FieldByName(QStringLiteral("customer"))->AsString();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("C1"), QStringLiteral("C2"), QStringLiteral("C3")}));
}

TEST(MemDataSet, EmptyAndClosedDataSets)
{
    auto ds = ordersSet(0);
    EXPECT_TRUE(ds->Bof());
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->RecNo(), 0);
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_EQ(ds->MoveBy(1), 0);
    EXPECT_TRUE(ds->Eof());
    ds->Last();
    EXPECT_TRUE(ds->Bof() && ds->Eof());
    EXPECT_TRUE(ds->FieldByName(QStringLiteral("Qty"))->IsNull());
    EXPECT_THROW(ds->Edit(), EDatabaseError);
    EXPECT_THROW(ds->Delete(), EDatabaseError);

    TField *qty = ds->FieldByName(QStringLiteral("Qty"));
    ds->Close();
    EXPECT_TRUE(ds->Eof() && ds->Bof()) << "a loop over a closed data set must end";
    EXPECT_EQ(messageOf([&] { qty->Value(); }), QStringLiteral("Cannot perform this operation on a closed dataset"));
    EXPECT_THROW(qty->AsString(), EDatabaseError);
    EXPECT_THROW(ds->RecordCount(), EDatabaseError);
    EXPECT_THROW(ds->Next(), EDatabaseError);
    ds->SetName(QStringLiteral("Orders"));
    EXPECT_EQ(messageOf([&] { qty->IsNull(); }),
              QStringLiteral("Orders: Cannot perform this operation on a closed dataset"));

    ds->SetActive(true);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Qty")), qty) << "fields outlive a close, scripts may hold them";
}

TEST(MemDataSet, FieldLookup)
{
    auto ds = ordersSet(1);
    EXPECT_EQ(ds->FindField(QStringLiteral("QTY")), ds->Fields()->Fields(2));
    EXPECT_EQ(ds->FindField(QStringLiteral("Missing")), nullptr);
    EXPECT_EQ(messageOf([&] { ds->FieldByName(QStringLiteral("Total")); }), QStringLiteral("Field 'Total' not found"));
    ds->SetName(QStringLiteral("Orders"));
    EXPECT_EQ(messageOf([&] { ds->FieldByName(QStringLiteral("Total")); }),
              QStringLiteral("Orders: Field 'Total' not found"));
    EXPECT_THROW(ds->Fields()->Fields(3), EDatabaseError);
    EXPECT_THROW(ds->Fields()->Fields(-1), EDatabaseError);
    EXPECT_EQ(ds->FieldCount(), 3);

    TMemDataSet dup;
    dup.FieldDefs().Add(QStringLiteral("A"), ftString);
    EXPECT_THROW(dup.FieldDefs().Add(QStringLiteral("a"), ftInteger), EDatabaseError);
}

TEST(MemDataSet, EditingRecords)
{
    auto ds = ordersSet(3);
    TField *qty = ds->FieldByName(QStringLiteral("Qty"));
    EXPECT_EQ(messageOf([&] { qty->SetAsInteger(1); }), QStringLiteral("Dataset not in edit or insert mode"));

    ds->SetRecNo(2);
    ds->Edit();
    qty->SetAsString(QStringLiteral("25"));
    EXPECT_EQ(qty->AsInteger(), 25) << "the edit buffer is what fields show while editing";
    ds->Cancel();
    EXPECT_EQ(qty->AsInteger(), 20);

    ds->Edit();
    qty->SetAsInteger(21);
    ds->Next(); // leaving the record posts it
    EXPECT_EQ(ds->State(), dsBrowse);
    ds->SetRecNo(2);
    EXPECT_EQ(qty->AsInteger(), 21);

    ds->Insert();
    EXPECT_TRUE(qty->IsNull());
    ds->FieldByName(QStringLiteral("Id"))->SetAsInteger(99);
    ds->Post();
    EXPECT_EQ(ds->RecNo(), 2) << "an inserted record goes before the current one and becomes current";
    EXPECT_EQ(ds->RecordCount(), 4);
    ds->SetRecNo(3);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Id"))->AsInteger(), 2);

    ds->Append();
    ds->FieldByName(QStringLiteral("Id"))->SetAsInteger(100);
    ds->Post();
    EXPECT_EQ(ds->RecNo(), 5);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Id"))->AsInteger(), 100);

    ds->SetRecNo(2);
    ds->Delete();
    EXPECT_EQ(ds->RecordCount(), 4);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Id"))->AsInteger(), 2) << "the next record becomes current";
    ds->Last();
    ds->Delete();
    EXPECT_EQ(ds->RecNo(), 3) << "deleting the last record makes the new last current";
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Id"))->AsInteger(), 3);

    // a value the field cannot hold leaves the record as it was
    EXPECT_THROW(ds->AppendRecord({Variant(QStringLiteral("not a number"))}), EConvertError);
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->RecordCount(), 3);

    ds->EmptyDataSet();
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_TRUE(ds->Eof());
}

TEST(MemDataSet, ValueConversions)
{
    TMemDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("I"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("L"), ftLargeint);
    ds.FieldDefs().Add(QStringLiteral("S"), ftString);
    ds.FieldDefs().Add(QStringLiteral("F"), ftFloat);
    ds.FieldDefs().Add(QStringLiteral("B"), ftBoolean);
    ds.FieldDefs().Add(QStringLiteral("D"), ftDateTime);
    ds.FieldDefs().Add(QStringLiteral("Pic"), ftBlob);
    ds.Open();
    const QByteArray png("\x89PNG\r\n\x1a\n\0\xff", 10);
    ds.AppendRecord({Variant(qint64(7'000'000'000)), Variant(qint64(1) << 40), Variant(QStringLiteral("42")),
                     Variant(2.5), Variant(true), Variant(QStringLiteral("2024-03-15 10:30:00")),
                     VarArrayFromBytes(png)});
    auto f = [&](const char *n) { return ds.FieldByName(QString::fromLatin1(n)); };

    EXPECT_EQ(f("I")->AsLargeInt(), 7'000'000'000) << "an integer field keeps a value beyond 32 bits";
    EXPECT_EQ(f("L")->AsLargeInt(), qint64(1) << 40);
    EXPECT_EQ(f("S")->AsInteger(), 42);
    EXPECT_EQ(f("S")->AsFloat(), 42.0);
    EXPECT_EQ(f("F")->AsInteger(), 2) << "banker's rounding of 2.5";
    EXPECT_TRUE(f("B")->AsBoolean());
    EXPECT_EQ(f("B")->AsString(), QStringLiteral("True"));
    EXPECT_EQ(f("D")->DataType(), ftDateTime);
    EXPECT_DOUBLE_EQ(f("D")->AsDateTime(), EncodeDate(2024, 3, 15) + EncodeTime(10, 30, 0, 0));
    EXPECT_EQ(f("Pic")->AsBytes(), png);
    EXPECT_EQ(f("Pic")->AsString().toLatin1(), png) << "a blob's text keeps every byte";
    EXPECT_EQ(f("Pic")->QtValue().toByteArray(), png);

    ds.Edit();
    f("S")->SetAsString(QStringLiteral("abc"));
    EXPECT_THROW(f("S")->AsInteger(), EConvertError);
    f("D")->SetAsString(QString());
    EXPECT_TRUE(f("D")->IsNull()) << "an empty text clears a non-string field";
    EXPECT_EQ(f("D")->AsDateTime(), 0.0);
    EXPECT_THROW(f("D")->SetAsString(QStringLiteral("someday")), EConvertError);
    f("I")->SetValue(Variant::Null());
    EXPECT_EQ(f("I")->AsInteger(), 0);
    EXPECT_EQ(f("I")->AsString(), QString());
    f("Pic")->SetAsBytes(QByteArray("GIF89a", 6));
    ds.Post();
    EXPECT_EQ(f("Pic")->AsBytes(), QByteArray("GIF89a"));
    EXPECT_EQ(f("S")->AsString(), QStringLiteral("abc"));
}

// A script with Print collecting what it prints.
struct Harness
{
    TfsScript script;
    QStringList out;
    explicit Harness(const QString &language = QStringLiteral("PascalScript"))
    {
        script.SetSyntaxType(language);
        script.AddScriptMethod(QStringLiteral("procedure Print(Value: Variant)"),
                               [this](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                                   out << VarToStr(m->GetVParam(0));
                                   return Variant();
                               });
    }
    bool run(const QString &source)
    {
        script.Lines() = source.split(u'\n');
        if (!script.Compile()) {
            ADD_FAILURE() << script.ErrorPos().toStdString() << ": " << script.ErrorMsg().toStdString();
            return false;
        }
        script.Execute();
        return true;
    }
};

TEST(MemDataSet, ScriptsWalkAndEditDataSets)
{
    auto ds = ordersSet(4);
    ds->SetName(QStringLiteral("Orders"));
    Harness h;
    h.script.AddScriptObject(QStringLiteral("Orders"), ds.get());
    ASSERT_TRUE(h.run(QStringLiteral(
        "var Total: Integer;\n"
        "begin\n"
        "  Total := 0;\n"
        "  Orders.Last;\n"
        "  Orders.First;\n"
        "  while not Orders.Eof do\n"
        "  begin\n"
        "    Total := Total + Orders.FieldByName('Qty').AsInteger;\n"
        "    Orders.Next;\n"
        "  end;\n"
        "  Print(Total);\n"
        "  Print(Orders.RecordCount);\n"
        "  Orders.RecNo := 2;\n"
        "  Print(Orders.FieldByName('Customer').Value);\n"
        "  Print(Orders.Fields.Fields(0).FieldName);\n"
        "  Orders.Edit;\n"
        "  Orders.FieldByName('Qty').AsInteger := 5;\n"
        "  Orders.Post;\n"
        "end.")));
    EXPECT_EQ(h.out, (QStringList{QStringLiteral("100"), QStringLiteral("4"), QStringLiteral("C2"), QStringLiteral("Id")}));
    ds->SetRecNo(2);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Qty"))->AsInteger(), 5);

    // the data set's own error reaches the script's caller
    ASSERT_TRUE(h.script.Lines().size() > 0);
    h.script.Lines() = QStringList{QStringLiteral("begin Print(Orders.FieldByName('Total').AsString); end.")};
    ASSERT_TRUE(h.script.Compile());
    try {
        h.script.Execute();
        ADD_FAILURE() << "unknown field";
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("Orders: Field 'Total' not found"))) << e.Message().toStdString();
    }

    Harness js(QStringLiteral("JScript"));
    js.script.AddScriptObject(QStringLiteral("Orders"), ds.get());
    ASSERT_TRUE(js.run(QStringLiteral(
        "var n = 0; Orders.First(); while (!Orders.Eof) { n = n + Orders.FieldByName(\"Id\").AsInteger; Orders.Next(); }\n"
        "Print(n);")));
    EXPECT_EQ(js.out, QStringList{QStringLiteral("10")});
}

} // namespace
