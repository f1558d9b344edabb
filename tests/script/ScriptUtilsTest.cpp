// Single script calls written as text.
#include "TestUtil.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/script/ScriptUtils.h>
#include <ZorCompCore/utilities/DateUtils.h>

using namespace zor;

namespace {

TEST(ScriptUtils, ParameterTextsBecomeValues)
{
    struct Row
    {
        const char *text;
        Variant expected;
        TVarType type;
    } rows[] = {
        {"'12'", Variant(QStringLiteral("12")), varUString},
        {" 12 ", Variant(12), varInteger},
        {"1.5", Variant(1.5), varDouble},
        {"NULL", Variant::Null(), varNull},
        {"nuLL", Variant::Null(), varNull},
        {"", Variant::Null(), varNull},
        {"''", Variant(QString()), varUString},
        {"'it''s'", Variant(QStringLiteral("it''s")), varUString},
        {"-7", Variant(-7), varInteger},
        {"9000000000", Variant(qint64(9000000000)), varInt64},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        const Variant v = TZORScriptUtils::ConvertParamValueToValue(QString::fromLatin1(r.text));
        EXPECT_EQ(v.Type(), r.type);
        EXPECT_TRUE(VarSameValue(v, r.expected) || (VarIsNull(v) && VarIsNull(r.expected)));
    }
    const Variant dt = TZORScriptUtils::ConvertParamValueToValue(QStringLiteral("#2024-01-31T10:20:30Z#"));
    EXPECT_EQ(dt.Type(), varDate);
    EXPECT_DOUBLE_EQ(VarToDateTime(dt), RFC3330ToDateTime(QStringLiteral("2024-01-31T10:20:30Z"), true));
    EXPECT_THROW(TZORScriptUtils::ConvertParamValueToValue(QStringLiteral("abc")), EConvertError);
    EXPECT_THROW(TZORScriptUtils::ConvertParamValueToValue(QStringLiteral("#garbage#")), EConvertError);
}

TEST(ScriptUtils, CallsSplitIntoNameAndArguments)
{
    QString name;
    QList<Variant> params;
    EXPECT_TRUE(TZORScriptUtils::ParseSingleScriptCall(QStringLiteral("Refresh"), name, params));
    EXPECT_EQ(name, QStringLiteral("Refresh"));
    EXPECT_TRUE(params.isEmpty());

    EXPECT_TRUE(TZORScriptUtils::ParseSingleScriptCall(QStringLiteral("Open('Orders', 3)"), name, params));
    EXPECT_EQ(name, QStringLiteral("Open"));
    ASSERT_EQ(params.size(), 2);
    EXPECT_EQ(params[0], Variant(QStringLiteral("Orders")));
    EXPECT_EQ(params[1], Variant(3));

    // arguments are appended behind what the list already held
    params = {Variant(QStringLiteral("first"))};
    EXPECT_TRUE(TZORScriptUtils::ParseSingleScriptCall(QStringLiteral("F (null,2.5)"), name, params));
    EXPECT_EQ(name, QStringLiteral("F ")) << "the name is not trimmed";
    ASSERT_EQ(params.size(), 3);
    EXPECT_EQ(params[0], Variant(QStringLiteral("first")));
    EXPECT_TRUE(VarIsNull(params[1]));
    EXPECT_EQ(params[2], Variant(2.5));

    params.clear();
    EXPECT_TRUE(TZORScriptUtils::ParseSingleScriptCall(QStringLiteral("Get()"), name, params));
    EXPECT_TRUE(params.isEmpty());

    EXPECT_FALSE(TZORScriptUtils::ParseSingleScriptCall(QStringLiteral("Bad)x("), name, params));
    EXPECT_FALSE(TZORScriptUtils::ParseSingleScriptCall(QStringLiteral("Unclosed(1"), name, params));
    EXPECT_THROW(TZORScriptUtils::ParseSingleScriptCall(QStringLiteral("F(x)"), name, params), EConvertError);
}

} // namespace
