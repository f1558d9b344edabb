// Classes registered by name, for code that makes objects from a class name
// it read (a stored form, a setting). A class is its QMetaObject; it is made
// through a Q_INVOKABLE constructor taking the owner (QObject *).
#pragma once

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/zor_export.h>

#include <QString>

class QMetaObject;
class QObject;

namespace zor {

// No class of that name is registered: "Class %s not found".
ZOR_DECLARE_EXCEPTION(EClassNotFound, Exception)

// Registers under the class name without namespace ("TQEMenuItem"). A second
// registration of the same class is ignored; a different class of that name
// replaces nothing and raises EInvalidOperation.
ZOR_EXPORT void RegisterClass(const QMetaObject *AClass);
ZOR_EXPORT void UnRegisterClass(const QMetaObject *AClass);
// Null when no class of that name (compared case-insensitively) is registered.
ZOR_EXPORT const QMetaObject *GetClass(const QString &AClassName);
// GetClass, raising EClassNotFound "Class %s not found" when there is none.
ZOR_EXPORT const QMetaObject *FindClass(const QString &AClassName);
// A new object of the class with the given owner; null when the class has
// no invokable owner constructor.
ZOR_EXPORT QObject *CreateObject(const QMetaObject *AClass, QObject *AOwner);

} // namespace zor
