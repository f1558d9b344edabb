#include <ZorCompCore/utilities/JSONUtils.h>

#include "TestUtil.h"
#include <ZorCompCore/platform/Exception.h>

#include <nlohmann/json.hpp>

using namespace zor;
using nlohmann::json;

namespace {

const json kDoc = json::parse(R"({
    "s": "text", "empty": "", "i": 42, "neg": -7, "big": 9007199254740993,
    "u": 18446744073709551615, "f": 1.5, "t": true, "no": false, "n": null,
    "arr": [1, "a b"], "nested": [[1, 2], {"k": "v"}, "x"],
    "obj": {"a": 1, "b": [true]}, "eobj": {}
})");

} // namespace

TEST(JSONUtils, MembersAsText)
{
    struct Row
    {
        const char *name;
        bool asJSON;
        const char *expected;
    };
    const Row rows[] = {
        {"s", false, "text"},
        {"i", false, "42"},
        {"neg", false, "-7"},
        {"big", false, "9007199254740993"},
        {"u", false, "18446744073709551615"},
        {"f", false, "1.5"},
        {"t", false, "-1"},
        {"no", false, "0"},
        {"n", false, ""},
        {"arr", false, "1\na b\n"},
        {"obj", false, ""},
        {"obj", true, R"({"a":1,"b":[true]})"},
        {"eobj", true, "{}"},
        {"missing", true, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = QString::fromLatin1(row.name);
        EXPECT_EQ(TJSONUtils::SafeAsString(&kDoc, name, row.asJSON), QString::fromUtf8(row.expected));
        EXPECT_EQ(TJsonObjectHelper::SafeGetString(kDoc, name, row.asJSON), QString::fromUtf8(row.expected));
        EXPECT_EQ(TJsonDataValueHelperHelper::SafeGetString(kDoc, name, row.asJSON), QString::fromUtf8(row.expected));
    }
    // Nothing to read from: no object, or a value that is not one.
    EXPECT_EQ(TJSONUtils::SafeAsString(nullptr, QStringLiteral("s")), QString());
    EXPECT_EQ(TJsonDataValueHelperHelper::SafeGetString(kDoc["arr"], QStringLiteral("s")), QString());
    EXPECT_EQ(TJsonDataValueHelperHelper::ObjectValueIfExists(kDoc["arr"]), nullptr);
    EXPECT_EQ(TJsonDataValueHelperHelper::ObjectValueIfExists(kDoc["obj"]), &kDoc["obj"]);

    // Keys with non-ASCII characters.
    const json umlaut = json::parse(R"({"Größe": "groß"})");
    EXPECT_EQ(TJSONUtils::SafeAsString(&umlaut, QStringLiteral("Größe")), QStringLiteral("groß"));
}

TEST(JSONUtils, KindsAndEmptiness)
{
    EXPECT_EQ(JsonValueKind(kDoc["s"]), jkString);
    EXPECT_EQ(JsonValueKind(kDoc["i"]), jkInt);
    EXPECT_EQ(JsonValueKind(kDoc["big"]), jkLong);
    EXPECT_EQ(JsonValueKind(kDoc["u"]), jkULong);
    EXPECT_EQ(JsonValueKind(kDoc["f"]), jkFloat);
    EXPECT_EQ(JsonValueKind(kDoc["t"]), jkBool);
    EXPECT_EQ(JsonValueKind(kDoc["arr"]), jkArray);
    EXPECT_EQ(JsonValueKind(kDoc["obj"]), jkObject);
    EXPECT_EQ(JsonValueKind(kDoc["n"]), jkNone);

    for (const char *name : {"missing", "n", "empty"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(TJSONUtils::SafeIsEmpty(&kDoc, QString::fromLatin1(name)));
    }
    // A member holding an object, even an empty one, has content.
    for (const char *name : {"s", "i", "no", "arr", "obj", "eobj"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(TJSONUtils::SafeIsEmpty(&kDoc, QString::fromLatin1(name)));
    }
    EXPECT_TRUE(TJSONUtils::SafeIsEmpty(nullptr, QStringLiteral("s")));
}

TEST(JSONUtils, GuessIsJSON)
{
    struct Row
    {
        const char *text;
        bool expected;
    };
    const Row rows[] = {
        {"{}", false}, {"{a}", true}, {"[1]", true}, {"[]", false}, {"{1]", false},
        {" {a}", false}, {"abc", false}, {"", false}, {"[{}]", true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(TJSONUtils::GuessIsJSON(QString::fromLatin1(row.text)), row.expected);
    }
}

TEST(JSONUtils, Arrays)
{
    const json arr = kDoc["arr"];
    EXPECT_EQ(TJSONUtils::ArrAsString(&arr, u';'), QStringLiteral("1;\"a b\""));
    EXPECT_EQ(TJSONUtils::ArrAsString(&arr, QChar(0)), QStringLiteral("1\na b\n"));

    const json tricky = json::parse(R"(["say \"hi\"", "a;b", "", "plain", "tab\there"])");
    EXPECT_EQ(TJSONUtils::ArrAsString(&tricky, u';'),
              QStringLiteral("\"say \"\"hi\"\"\";\"a;b\";;plain;\"tab\there\""));
    const json lone = json::parse(R"([""])");
    EXPECT_EQ(TJSONUtils::ArrAsString(&lone, u','), QStringLiteral("\"\""));
    const json none = json::array();
    EXPECT_EQ(TJSONUtils::ArrAsString(&none, u','), QString());
    EXPECT_EQ(TJSONUtils::ArrAsString(nullptr, u','), QString());

    // Nested arrays are joined line by line; objects only as JSON when asked.
    const json nested = kDoc["nested"];
    EXPECT_EQ(TJsonArrayHelper::SafeGetString(nested, 0), QStringLiteral("1\n2\n"));
    EXPECT_EQ(TJsonArrayHelper::SafeGetString(nested, 1), QString());
    EXPECT_EQ(TJsonArrayHelper::SafeGetString(nested, 1, true), QStringLiteral(R"({"k":"v"})"));
    EXPECT_EQ(TJSONUtils::ArrAsString(&nested, u'|'), QStringLiteral("\"1\n2\n\"||x"));

    for (int bad : {-1, 3, 1000}) {
        SCOPED_TRACE(bad);
        try {
            TJsonArrayHelper::SafeGetString(nested, bad);
            ADD_FAILURE() << "no exception";
        } catch (const EListError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("List index out of bounds (%1)").arg(bad));
        }
    }

    const json strs = json::parse(R"([1, "1", "x", "X", true])");
    EXPECT_EQ(TJsonArrayHelper::SafeIndexOfStr(strs, QStringLiteral("1")), 0);
    EXPECT_EQ(TJsonArrayHelper::SafeIndexOfStr(strs, QStringLiteral("X")), 3);
    EXPECT_EQ(TJsonArrayHelper::SafeIndexOfStr(strs, QStringLiteral("-1")), 4);
    EXPECT_EQ(TJsonArrayHelper::SafeIndexOfStr(strs, QStringLiteral("y")), -1);
    EXPECT_EQ(TJsonArrayHelper::SafeIndexOfStr(kDoc, QStringLiteral("text")), -1);
}
