#include "ClassRegistry.h"

#include "Exception.h"

#include <QHash>
#include <QMetaObject>

namespace zor {

namespace {

// Function-local: module start-up actions register before other statics exist.
QHash<QString, const QMetaObject *> &registry()
{
    static QHash<QString, const QMetaObject *> classes;
    return classes;
}

QString shortName(const QMetaObject *AClass)
{
    const QString full = QString::fromLatin1(AClass->className());
    return full.mid(full.lastIndexOf(u':') + 1);
}

} // namespace

void RegisterClass(const QMetaObject *AClass)
{
    if (!AClass)
        return;
    const QString key = shortName(AClass).toLower();
    const QMetaObject *had = registry().value(key);
    if (had && had != AClass)
        throw EInvalidOperation(QStringLiteral("A class named %1 is already registered").arg(shortName(AClass)));
    registry().insert(key, AClass);
}

void UnRegisterClass(const QMetaObject *AClass)
{
    if (!AClass)
        return;
    const QString key = shortName(AClass).toLower();
    if (registry().value(key) == AClass)
        registry().remove(key);
}

const QMetaObject *GetClass(const QString &AClassName)
{
    return registry().value(AClassName.toLower());
}

const QMetaObject *FindClass(const QString &AClassName)
{
    const QMetaObject *c = GetClass(AClassName);
    if (!c)
        throw EClassNotFound(QStringLiteral("Class %1 not found").arg(AClassName));
    return c;
}

QObject *CreateObject(const QMetaObject *AClass, QObject *AOwner)
{
    return AClass ? AClass->newInstance(Q_ARG(QObject *, AOwner)) : nullptr;
}

} // namespace zor
