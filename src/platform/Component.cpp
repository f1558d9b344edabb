#include "Component.h"

#include <QChildEvent>
#include <QPointer>
#include <QVariant>
#include <algorithm>
#include <vector>

namespace zor {

struct TComponent::Private
{
    std::vector<TComponent *> components;   // owned, in insertion order
    std::vector<TComponent *> freeNotifies; // partners told when we go away
    TComponentState state;
};

namespace {

template <class T>
bool eraseOne(std::vector<T *> &v, const QObject *p)
{
    const auto it = std::find_if(v.begin(), v.end(),
                                 [p](T *e) { return static_cast<const QObject *>(e) == p; });
    if (it == v.end())
        return false;
    v.erase(it);
    return true;
}

template <class T>
bool contains(const std::vector<T *> &v, const T *p)
{
    return std::find(v.begin(), v.end(), p) != v.end();
}

// Frees the components somewhere below a non-component object, deepest
// owners first as the component destructor would, without deleting the
// non-component objects themselves (their own parents do that).
void freeComponentsBelow(QObject *obj)
{
    const QObjectList kids = obj->children();
    std::vector<QPointer<QObject>> guarded(kids.begin(), kids.end());
    for (auto it = guarded.rbegin(); it != guarded.rend(); ++it) {
        QObject *kid = it->data();
        if (!kid)
            continue; // freed meanwhile by an earlier sibling
        if (dynamic_cast<TComponent *>(kid))
            Free(kid);
        else
            freeComponentsBelow(kid);
    }
}

} // namespace

TComponent::TComponent(QObject *AOwner)
    : QObject(AOwner), d(std::make_unique<Private>())
{
    // QObject announced the new child while it was not yet a component, so
    // the owner learns about it here.
    if (TComponent *owner = dynamic_cast<TComponent *>(AOwner))
        owner->InsertOwned(this);
}

TComponent::~TComponent()
{
    Destroying();

    while (!d->freeNotifies.empty()) {
        TComponent *partner = d->freeNotifies.back();
        d->freeNotifies.pop_back();
        eraseOne(partner->d->freeNotifies, this);
        partner->Notification(this, opRemove);
    }

    // Last created first; the owner link is cut before each one goes so that
    // it does not report back to an owner that is being torn down.
    while (!d->components.empty()) {
        TComponent *c = d->components.back();
        d->components.pop_back();
        Free(c);
    }

    if (TComponent *owner = OwnerComponent()) {
        if (contains(owner->d->components, this)) {
            owner->Notification(this, opRemove);
            eraseOne(owner->d->components, this);
        }
    }
}

TComponent *TComponent::OwnerComponent() const
{
    return dynamic_cast<TComponent *>(parent());
}

int TComponent::ComponentCount() const
{
    return int(d->components.size());
}

TComponent *TComponent::Components(int AIndex) const
{
    if (AIndex < 0 || AIndex >= ComponentCount())
        return nullptr;
    return d->components[size_t(AIndex)];
}

int TComponent::ComponentIndex() const
{
    const TComponent *owner = OwnerComponent();
    if (!owner)
        return -1;
    const auto &v = owner->d->components;
    const auto it = std::find(v.begin(), v.end(), this);
    return it == v.end() ? -1 : int(it - v.begin());
}

TComponent *TComponent::FindComponent(const QString &AName) const
{
    if (AName.isEmpty())
        return nullptr;
    for (TComponent *c : d->components)
        if (c->objectName().compare(AName, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent *AComponent)
{
    if (!AComponent || AComponent == this || AComponent->parent() == this)
        return;
    if (TComponent *old = AComponent->OwnerComponent())
        old->RemoveComponent(AComponent);
    // childEvent records it and sends opInsert.
    AComponent->setParent(this);
    if (!contains(d->components, AComponent))
        InsertOwned(AComponent);
}

void TComponent::RemoveComponent(TComponent *AComponent)
{
    if (!AComponent || AComponent->parent() != this)
        return;
    if (contains(d->components, AComponent)) {
        Notification(AComponent, opRemove);
        eraseOne(d->components, AComponent);
    }
    AComponent->setParent(nullptr);
}

void TComponent::InsertOwned(TComponent *AComponent)
{
    d->components.push_back(AComponent);
    if (d->state & csDesigning)
        AComponent->SetDesigning(true);
    Notification(AComponent, opInsert);
}

void TComponent::RemoveOwned(TComponent *AComponent)
{
    if (!contains(d->components, AComponent))
        return;
    if (!(d->state & csDestroying))
        Notification(AComponent, opRemove);
    eraseOne(d->components, AComponent);
}

void TComponent::childEvent(QChildEvent *event)
{
    // Keeps the component list right when someone reparents with plain
    // QObject::setParent instead of InsertComponent/RemoveComponent.
    if (event->type() == QEvent::ChildAdded) {
        // A child still in its QObject constructor is not a component yet;
        // its own constructor registers it.
        if (auto *c = dynamic_cast<TComponent *>(event->child()); c && !contains(d->components, c))
            InsertOwned(c);
    } else if (event->type() == QEvent::ChildRemoved) {
        const QObject *child = event->child();
        const auto it = std::find_if(d->components.begin(), d->components.end(),
                                     [child](TComponent *c) { return static_cast<QObject *>(c) == child; });
        if (it != d->components.end())
            RemoveOwned(*it);
    }
    QObject::childEvent(event);
}

void TComponent::FreeNotification(TComponent *AComponent)
{
    if (!AComponent || AComponent == this)
        return;
    if (!contains(d->freeNotifies, AComponent))
        d->freeNotifies.push_back(AComponent);
    if (!contains(AComponent->d->freeNotifies, this))
        AComponent->d->freeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent *AComponent)
{
    if (!AComponent)
        return;
    eraseOne(d->freeNotifies, AComponent);
    eraseOne(AComponent->d->freeNotifies, this);
}

void TComponent::Notification(TComponent *AComponent, TOperation Operation)
{
    if (Operation == opRemove && AComponent)
        RemoveFreeNotification(AComponent);
    // Backwards, and re-checked each step: a receiver may free components.
    for (size_t i = d->components.size(); i > 0; --i) {
        if (i > d->components.size())
            i = d->components.size();
        if (i == 0)
            break;
        d->components[i - 1]->Notification(AComponent, Operation);
    }
}

TComponentState TComponent::ComponentState() const
{
    return d->state;
}

void TComponent::SetStateFlag(TComponentStateFlag AFlag, bool AValue)
{
    d->state.setFlag(AFlag, AValue);
}

void TComponent::SetDesigning(bool AValue, bool ASetChildren)
{
    SetStateFlag(csDesigning, AValue);
    if (ASetChildren)
        for (TComponent *c : d->components)
            c->SetDesigning(AValue, true);
}

void TComponent::BeginLoad()
{
    d->state |= TComponentState(csLoading | csReading);
    for (TComponent *c : d->components)
        c->BeginLoad();
}

void TComponent::EndLoad()
{
    SetStateFlag(csReading, false);
    Loaded();
    const std::vector<TComponent *> owned = d->components;
    for (TComponent *c : owned)
        if (contains(d->components, c))
            c->EndLoad();
}

void TComponent::Loaded()
{
    SetStateFlag(csLoading, false);
}

void TComponent::BeforeDestruction()
{
    Destroying();
}

void TComponent::Destroying()
{
    if (d->state & csDestroying)
        return;
    d->state |= csDestroying;
    for (TComponent *c : d->components)
        c->Destroying();
}

void Free(QObject *AObject)
{
    if (!AObject)
        return;
    if (auto *c = dynamic_cast<TComponent *>(AObject)) {
        c->BeforeDestruction();
        c->Destroying(); // in case an override forgot the base
        delete c;
        return;
    }
    freeComponentsBelow(AObject);
    delete AObject;
}

HRESULT TComponentInterfaced::QueryInterface(const QUuid &iid, void **obj)
{
    if (iid == IInterface::IID) {
        *obj = static_cast<IInterface *>(this);
        return S_OK;
    }
    *obj = nullptr;
    return E_NOINTERFACE;
}

QObject *OwnerOf(const QObject *AObject)
{
    return AObject ? AObject->parent() : nullptr;
}

QObject *ParentControlOf(const QObject *AObject)
{
    if (!AObject || !AObject->isWidgetType())
        return nullptr;
    QObject *p = AObject->parent();
    return p && p->isWidgetType() ? p : nullptr;
}

bool IsControl(const QObject *AObject)
{
    return AObject && AObject->isWidgetType();
}

bool IsForm(const QObject *AObject)
{
    if (!AObject || !AObject->isWidgetType())
        return false;
    const QVariant marked = AObject->property("zorForm");
    if (marked.isValid())
        return marked.toBool();
    // Read through the meta-object so that this layer needs no widget library.
    return !ParentControlOf(AObject) || AObject->inherits("QDialog") || AObject->inherits("QMainWindow");
}

QString ClassNameOf(const QObject *AObject)
{
    if (!AObject)
        return {};
    const QString name = QString::fromLatin1(AObject->metaObject()->className());
    const qsizetype colon = name.lastIndexOf(QLatin1String("::"));
    return colon < 0 ? name : name.mid(colon + 2);
}

IInterface *InterfaceOf(QObject *AObject)
{
    return dynamic_cast<IInterface *>(AObject);
}

} // namespace zor
