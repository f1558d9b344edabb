#include <ZorCompCore/utilities/Tools.h>

#include <ZorCompCore/utilities/WindowsKnownFolders.h>

#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>

namespace zor {

namespace {

QString StandardFolder(const QUuid &id, const char *envFallback)
{
    QString path = ShGetKnownFolderPath(id);
    if (path.isEmpty())
        path = qEnvironmentVariable(envFallback);
    return ExcludeTrailingDirSeparator(path);
}

} // namespace

QString GetAppDataDirectory(bool roaming)
{
    return StandardFolder(roaming ? FOLDERID_RoamingAppData : FOLDERID_LocalAppData, "APPDATA");
}

QString GetProgramDataDirectory()
{
    return StandardFolder(FOLDERID_ProgramData, "ProgramData");
}

QString GetPublicDocumentsDirectory()
{
    return StandardFolder(FOLDERID_PublicDocuments, "PUBLIC");
}

QString GetUserDocumentsDataDirectory()
{
    return StandardFolder(FOLDERID_Documents, "PUBLIC");
}

QString ExcludeTrailingDirSeparator(const QString &path, QChar separator)
{
    return (!path.isEmpty() && path.back() == separator) ? path.left(path.size() - 1) : path;
}

QString IncludeTrailingDirSeparator(const QString &path, QChar separator)
{
    return ExcludeTrailingDirSeparator(path, separator) + separator;
}

bool IsGuid(const QString &text)
{
    return text.size() == 38 && text.front() == u'{' && text.back() == u'}' && text[9] == u'-'
        && text[14] == u'-' && text[19] == u'-' && text[24] == u'-';
}

bool CompareGuids(const QUuid &a, const QUuid &b)
{
    return a == b;
}

bool IsSameFileVersion(const TFileVersion &a, const TFileVersion &b)
{
    return a.HiVer == b.HiVer && a.LowVer == b.LowVer && a.HiSubVer == b.HiSubVer && a.LowSubVer == b.LowSubVer;
}

bool CompareFileVersion(const TFileVersion &a, const TFileVersion &b)
{
    if (a.HiVer != b.HiVer)
        return a.HiVer > b.HiVer;
    if (a.LowVer != b.LowVer)
        return a.LowVer > b.LowVer;
    if (a.HiSubVer != b.HiSubVer)
        return a.HiSubVer > b.HiSubVer;
    return a.LowSubVer > b.LowSubVer;
}

QString FileVersionToStr(const TFileVersion &v)
{
    return QStringLiteral("%1.%2.%3.%4").arg(v.HiVer).arg(v.LowVer).arg(v.HiSubVer).arg(v.LowSubVer);
}

bool TryStrToFileVersion(const QString &text, TFileVersion &v)
{
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.isEmpty() || parts.size() > 4)
        return false;
    qint32 fields[4] = {0, 0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        fields[i] = parts[i].toInt(&ok);
        if (!ok)
            return false;
    }
    v = TFileVersion {fields[0], fields[1], fields[2], fields[3]};
    return true;
}

bool IsValidEmail(const QString &text, bool notEmpty)
{
    if (text.isEmpty())
        return !notEmpty;
    const qsizetype at = text.indexOf(u'@');
    return at >= 0 && at < text.lastIndexOf(u'.');
}

bool IsInQuotedFieldData(const QString &text, QChar quote)
{
    return text.count(quote) % 2 == 1;
}

bool ExecuteRoutine(QObject *object, const QString &name)
{
    if (!object || name.isEmpty())
        return false;
    const QMetaObject *meta = object->metaObject();
    const int index = meta->indexOfMethod(QMetaObject::normalizedSignature((name + QStringLiteral("()")).toLatin1()));
    if (index < 0)
        return false;
    const QMetaMethod method = meta->method(index);
    if (method.access() != QMetaMethod::Public || method.methodType() == QMetaMethod::Signal
        || method.methodType() == QMetaMethod::Constructor)
        return false;
    return method.invoke(object, Qt::DirectConnection);
}

} // namespace zor
