// Path, GUID, version and small text checks, the user's standard folders,
// and calling a method of an object by name.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QUuid>

class QObject;

namespace zor {

// Four-part version; HiVer is the most significant part.
struct TFileVersion
{
    qint32 HiVer = 0;
    qint32 LowVer = 0;
    qint32 HiSubVer = 0;
    qint32 LowSubVer = 0;

    void Increment() { ++HiVer; }
};

// One trailing separator removed / exactly one trailing separator.
ZOR_EXPORT QString ExcludeTrailingDirSeparator(const QString &path, QChar separator = u'/');
ZOR_EXPORT QString IncludeTrailingDirSeparator(const QString &path, QChar separator = u'/');

// The shape of "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}": length, braces and
// dashes only; the digits are not checked.
ZOR_EXPORT bool IsGuid(const QString &text);
ZOR_EXPORT bool CompareGuids(const QUuid &a, const QUuid &b);

ZOR_EXPORT bool IsSameFileVersion(const TFileVersion &a, const TFileVersion &b);
// True when a is newer than b.
ZOR_EXPORT bool CompareFileVersion(const TFileVersion &a, const TFileVersion &b);
ZOR_EXPORT QString FileVersionToStr(const TFileVersion &v);
// "1.2.3.4" (missing parts 0); false when a part is not an integer or there
// are more than four.
ZOR_EXPORT bool TryStrToFileVersion(const QString &text, TFileVersion &v);

// Empty: !notEmpty; else an "@" that stands before the last ".".
ZOR_EXPORT bool IsValidEmail(const QString &text, bool notEmpty = false);
// True after an odd number of quotes: the end of text lies inside a quoted field.
ZOR_EXPORT bool IsInQuotedFieldData(const QString &text, QChar quote = u'"');

// The user's standard folders, without a trailing separator: roaming
// application data (the translation cache lives below it) or local data,
// program data, public documents and the user's documents. When the desktop
// knows no such folder, the environment variables APPDATA, ProgramData and
// PUBLIC are asked.
ZOR_EXPORT QString GetAppDataDirectory(bool roaming = true);
ZOR_EXPORT QString GetProgramDataDirectory();
ZOR_EXPORT QString GetPublicDocumentsDirectory();
ZOR_EXPORT QString GetUserDocumentsDataDirectory();

// Calls the public parameterless slot or invokable method `name` of object;
// nothing happens (false) when it has none.
ZOR_EXPORT bool ExecuteRoutine(QObject *object, const QString &name);

} // namespace zor
