#include "ReducedMotion.h"
#include "ReducedMotion_p.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QLoggingCategory>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>

#include <cmath>

Q_LOGGING_CATEGORY(lcReducedMotion, "zor.controls.reducedmotion")

namespace zor {

namespace detail {

ReducedMotionAnswer DecideReducedMotion(const ReducedMotionInputs &AInputs)
{
    const QByteArray env = AInputs.Environment.trimmed();
    if (env == "0" || env == "1")
        return {env == "1", QStringLiteral("environment")};
    // reduced-motion: 0 = no preference, 1 = reduce
    if (AInputs.PortalReduced)
        return {*AInputs.PortalReduced == 1, QStringLiteral("portal")};
    if (AInputs.GnomeAnimations)
        return {!*AInputs.GnomeAnimations, QStringLiteral("gnome")};
    if (AInputs.KdeFactor)
        return {std::fabs(*AInputs.KdeFactor) < 1e-9, QStringLiteral("kde")};
    return {false, QStringLiteral("default")};
}

std::optional<double> ReadKdeAnimationFactor(const QString &AFileName)
{
    if (AFileName.isEmpty() || !QFile::exists(AFileName))
        return std::nullopt;
    QSettings ini(AFileName, QSettings::IniFormat);
    const QVariant v = ini.value(QStringLiteral("KDE/AnimationDurationFactor"));
    bool ok = false;
    const double f = v.toString().toDouble(&ok);
    return ok ? std::optional<double>(f) : std::nullopt;
}

} // namespace detail

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kGnomeInterface = QStringLiteral("org.gnome.desktop.interface");

using SettingsMap = QMap<QString, QVariantMap>;

QVariant unwrap(QVariant v)
{
    // The portal nests values in variants, sometimes twice.
    while (v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>())
        v = qvariant_cast<QDBusVariant>(v).variant();
    return v;
}

QString kdeglobalsPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("kdeglobals"));
}

} // namespace

// Receives the portal's SettingChanged signal (old-style connect needs a slot).
class PortalListener : public QObject
{
    Q_OBJECT
public:
    explicit PortalListener(TReducedMotion *AOwner) : QObject(AOwner), FOwner(AOwner) {}
public Q_SLOTS:
    // SettingChanged(s namespace, s key, v value), taken as the message itself.
    void SettingChanged(const QDBusMessage &AMessage)
    {
        const QVariantList args = AMessage.arguments();
        if (args.size() == 3)
            FOwner->PortalValue(args[0].toString(), args[1].toString(), args[2]);
    }

private:
    TReducedMotion *FOwner;
};

struct TReducedMotion::Private
{
    detail::ReducedMotionInputs Inputs;
    detail::ReducedMotionAnswer Answer;
};

TReducedMotion::TReducedMotion(QObject *AParent)
    : QObject(AParent), d(std::make_unique<Private>())
{
    d->Inputs.Environment = qgetenv("ZOR_REDUCED_MOTION");
    d->Inputs.KdeFactor = detail::ReadKdeAnimationFactor(kdeglobalsPath());
    d->Answer = detail::DecideReducedMotion(d->Inputs);
    AskPortal();
}

TReducedMotion::~TReducedMotion() = default;

TReducedMotion *TReducedMotion::Instance()
{
    static QPointer<TReducedMotion> instance;
    if (!instance)
        instance = new TReducedMotion(QCoreApplication::instance());
    return instance;
}

bool TReducedMotion::Reduced() const
{
    return d->Answer.Reduced;
}

QString TReducedMotion::Source() const
{
    return d->Answer.Source;
}

void TReducedMotion::Refresh()
{
    d->Inputs.Environment = qgetenv("ZOR_REDUCED_MOTION");
    d->Inputs.KdeFactor = detail::ReadKdeAnimationFactor(kdeglobalsPath());
    Update();
}

int TReducedMotion::ScaledInterval(int AMilliseconds, bool ARespect)
{
    return ARespect && Instance()->Reduced() ? AMilliseconds * ReducedMotionSlowdown : AMilliseconds;
}

void TReducedMotion::AskPortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    qDBusRegisterMetaType<SettingsMap>();
    auto *listener = new PortalListener(this);
    if (!bus.connect(kPortalService, kPortalPath, kPortalSettings, QStringLiteral("SettingChanged"), listener,
                     SLOT(SettingChanged(QDBusMessage))))
        qCDebug(lcReducedMotion) << "cannot follow the portal's changes:" << bus.lastError().message();

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalSettings,
                                                       QStringLiteral("ReadAll"));
    call << QStringList{kAppearance, kGnomeInterface};
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        QDBusPendingReply<SettingsMap> reply = *w;
        if (reply.isError()) {
            qCDebug(lcReducedMotion) << "no settings portal:" << reply.error().message();
            return; // the other sources decide
        }
        const SettingsMap all = reply.value();
        for (auto ns = all.cbegin(); ns != all.cend(); ++ns)
            for (auto kv = ns->cbegin(); kv != ns->cend(); ++kv)
                PortalValue(ns.key(), kv.key(), kv.value());
    });
}

void TReducedMotion::PortalValue(const QString &ANamespace, const QString &AKey, const QVariant &AValue)
{
    const QVariant v = unwrap(AValue);
    qCDebug(lcReducedMotion) << "portal:" << ANamespace << AKey << v;
    if (ANamespace == kAppearance && AKey == QLatin1String("reduced-motion")) {
        bool ok = false;
        const uint n = v.toUInt(&ok);
        d->Inputs.PortalReduced = ok ? std::optional<quint32>(n) : std::nullopt;
    } else if (ANamespace == kGnomeInterface && AKey == QLatin1String("enable-animations")) {
        d->Inputs.GnomeAnimations = v.isValid() ? std::optional<bool>(v.toBool()) : std::nullopt;
    } else {
        return;
    }
    Update();
}

void TReducedMotion::Update()
{
    const bool was = d->Answer.Reduced;
    d->Answer = detail::DecideReducedMotion(d->Inputs);
    if (d->Answer.Reduced != was)
        Q_EMIT Changed(d->Answer.Reduced);
}

} // namespace zor

#include "ReducedMotion.moc"
