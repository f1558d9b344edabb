// The general report-script registrations, as a script that asked for the
// class registrations sees them.
#include "TestUtil.h"

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/reporting/SysUtilsRTTI.h>

#include <QRegularExpression>
#include <QSet>

using namespace zor;

namespace {

struct Harness
{
    TfsScript script;
    QStringList out;
    Harness()
    {
        script.AddRTTI();
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

TEST(SysUtilsRTTI, ScriptsSeeTypesConstantsAndCreateGUID)
{
    // listed when the library loads: AddRTTI alone brings the registrations
    Harness h;
    ASSERT_TRUE(h.run(QStringLiteral(
        "var Big: Int64; U: UTF8String; B: TBytes; G1, G2: String;\n"
        "begin\n"
        "  Big := 2147483647;\n"
        "  Big := Big * 4;\n"
        "  U := 'ü';\n"
        "  Print(Big);\n"
        "  Print(MAX_PATH);\n"
        "  Print(MinDateTime < MaxDateTime);\n"
        "  G1 := CreateGUID;\n"
        "  G2 := CreateGUID;\n"
        "  Print(G1);\n"
        "  Print(G1 = G2);\n"
        "end.")));
    ASSERT_EQ(h.out.size(), 5);
    EXPECT_EQ(h.out[0], QStringLiteral("8589934588")) << "Int64 is an integer type wide enough";
    EXPECT_EQ(h.out[1], QStringLiteral("260"));
    EXPECT_EQ(h.out[2], QStringLiteral("True"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"))
                    .match(h.out[3])
                    .hasMatch())
        << h.out[3].toStdString();
    EXPECT_EQ(h.out[4], QStringLiteral("False")) << "each call makes a new GUID";

    const TfsCustomVariable *minDt = h.script.Find(QStringLiteral("MinDateTime"));
    ASSERT_NE(minDt, nullptr);
    EXPECT_EQ(minDt->TypeName(), QStringLiteral("TDateTime"));
    EXPECT_DOUBLE_EQ(VarToDouble(const_cast<TfsCustomVariable *>(minDt)->Value()), MinDateTime);
    EXPECT_DOUBLE_EQ(VarToDouble(h.script.Find(QStringLiteral("MaxDateTime"))->Value()), MaxDateTime);
    const TfsCustomVariable *guid = h.script.Find(QStringLiteral("CreateGUID"));
    ASSERT_NE(guid, nullptr);
    EXPECT_EQ(guid->Category, QStringLiteral("System"));

    // the registrations belong to the class registrations: they survive Clear
    h.script.Clear();
    EXPECT_NE(h.script.Find(QStringLiteral("MAX_PATH")), nullptr);

    // a script that did not ask for them does not have them
    TfsScript bare;
    bare.Lines() = QStringList{QStringLiteral("begin MAX_PATH; end.")};
    EXPECT_FALSE(bare.Compile());
}

} // namespace
