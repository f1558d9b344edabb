#include "SysUtilsRTTI.h"

#include <ZorCompCore/platform/DateTime.h>

#include <QUuid>

namespace zor {

TFunctions::TFunctions(TfsScript *AScript) : TfsRTTIModule(AScript)
{
    AScript->AddScriptType(QStringLiteral("Int64"), fvtInt);
    AScript->AddScriptType(QStringLiteral("UTF8String"), fvtString);
    AScript->AddScriptType(QStringLiteral("TBytes"), fvtVariant);
    AScript->AddScriptConst(QStringLiteral("MinDateTime"), QStringLiteral("TDateTime"), Variant::FromDateTime(MinDateTime));
    AScript->AddScriptConst(QStringLiteral("MaxDateTime"), QStringLiteral("TDateTime"), Variant::FromDateTime(MaxDateTime));
    AScript->AddScriptConst(QStringLiteral("MAX_PATH"), QStringLiteral("Integer"), Variant(260));
    AScript->AddScriptMethod(
        QStringLiteral("function CreateGUID: String;"),
        [](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *) {
            return Variant(QUuid::createUuid().toString(QUuid::WithBraces).toUpper());
        },
        QStringLiteral("System"), QString());
}

namespace detail {

void SysUtilsRTTIStartup()
{
    fsRTTIModules().append(&fsModuleClass<TFunctions>);
}

void SysUtilsRTTIShutdown()
{
    fsRTTIModules().removeAll(&fsModuleClass<TFunctions>);
}

} // namespace detail

} // namespace zor
