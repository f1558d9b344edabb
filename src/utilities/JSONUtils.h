// Tolerant readers over JSON documents (nlohmann::json): members and elements
// as text whatever their kind, missing members as empty text.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QChar>
#include <QString>
#include <nlohmann/json_fwd.hpp>

namespace zor {

// Kinds of JSON values as numbered by the readers below. JSON texts carry no
// date-times, so jkDateTime and jkUTCDateTime never come from a parsed document.
enum TJsonValueKind {
    jkNone = 0,
    jkString = 1,
    jkInt = 2,
    jkLong = 3,
    jkULong = 4,
    jkFloat = 5,
    jkDateTime = 6,
    jkUTCDateTime = 7,
    jkBool = 8,
    jkArray = 9,
    jkObject = 10,
};

ZOR_EXPORT TJsonValueKind JsonValueKind(const nlohmann::json &value);

struct ZOR_EXPORT TJSONUtils
{
    // At least 3 characters inside {…} or […].
    static bool GuessIsJSON(const QString &s);
    // Member `name` as text; empty when object is null, not an object or lacks it.
    static QString SafeAsString(const nlohmann::json *object, const QString &name, bool objectAsJSON = false);
    // True when the member is missing, null or its text is empty.
    static bool SafeIsEmpty(const nlohmann::json *object, const QString &name);
    // Elements' texts joined by delimiter (quoted where needed), or each
    // followed by a line break when delimiter is the null character.
    static QString ArrAsString(const nlohmann::json *array, QChar delimiter = QChar(u';'));
};

struct ZOR_EXPORT TJsonObjectHelper
{
    static QString SafeGetString(const nlohmann::json &object, const QString &name, bool objectAsJSON = false);
};

struct ZOR_EXPORT TJsonDataValueHelperHelper
{
    // For a value that holds an object: its member as text.
    static QString SafeGetString(const nlohmann::json &value, const QString &name, bool objectAsJSON = false);
    // The value itself when it is an object, else null.
    static const nlohmann::json *ObjectValueIfExists(const nlohmann::json &value);
};

struct ZOR_EXPORT TJsonArrayHelper
{
    // Element index as text; EListError "List index out of bounds (%d)" outside the array.
    static QString SafeGetString(const nlohmann::json &array, int index, bool objectAsJSON = false);
    // First element whose text equals s exactly, or -1.
    static int SafeIndexOfStr(const nlohmann::json &array, const QString &s);
};

} // namespace zor
