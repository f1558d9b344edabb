// Components: QObjects that live in an owner tree. The owner is the QObject
// parent; it frees what it owns, in reverse creation order, and owned
// components and free-notification partners are told when a component goes
// away. Plain QObjects and QWidgets (forms, controls) sit in the same trees:
// the free functions at the end walk owners and parent controls of any QObject.
#pragma once

#include <ZorCompCore/zor_export.h>
#include <ZorCompCore/platform/Interface.h>

#include <QFlags>
#include <QObject>
#include <QString>
#include <memory>

namespace zor {

class TComponent;

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
    csLoading = 0x1,
    csReading = 0x2,
    csDesigning = 0x4,
    csDestroying = 0x8,
};
Q_DECLARE_FLAGS(TComponentState, TComponentStateFlag)

// Base of the library's non-visual components. Create one with its owner;
// destroy it through zor::Free (or TComponentPtr) so that BeforeDestruction()
// runs while the object is still whole. A plain `delete` is safe too: owned
// components are still freed and everyone concerned is still notified.
class ZOR_EXPORT TComponent : public QObject
{
    Q_OBJECT
public:
    explicit TComponent(QObject *AOwner = nullptr);
    ~TComponent() override;

    // The QObject parent, which need not be a component (a form, a widget).
    QObject *Owner() const { return parent(); }
    // The owner when it is a component, else null.
    TComponent *OwnerComponent() const;

    QString Name() const { return objectName(); }
    void SetName(const QString &AName) { setObjectName(AName); }

    // Owned components in creation (or insertion) order; other QObject
    // children of the component are not counted.
    int ComponentCount() const;
    TComponent *Components(int AIndex) const;   // null when out of range
    // Position in the owner's component list, -1 without a component owner.
    int ComponentIndex() const;
    // First owned component with that name, compared case-insensitively; null if none.
    TComponent *FindComponent(const QString &AName) const;

    // Takes AComponent over from its current owner (which is told opRemove);
    // this component and its owned components are told opInsert.
    void InsertComponent(TComponent *AComponent);
    // Releases AComponent (owner notified with opRemove); it is left without owner.
    void RemoveComponent(TComponent *AComponent);

    // AComponent is told (opRemove) when this component is destroyed, and the
    // other way round. Idempotent; a component never pairs with itself.
    void FreeNotification(TComponent *AComponent);
    void RemoveFreeNotification(TComponent *AComponent);

    TComponentState ComponentState() const;
    // Sets or clears csDesigning here and, by default, on every owned component.
    void SetDesigning(bool AValue, bool ASetChildren = true);
    // Marks this component and its owned components as being loaded
    // (csLoading, csReading); EndLoad clears the marks and calls Loaded() on
    // each, owner before owned components.
    void BeginLoad();
    void EndLoad();

    // Called when loading has finished; the base clears csLoading.
    virtual void Loaded();
    // Called by Free while the object is whole; the base marks this component
    // and its owned components csDestroying. Overrides must call the base.
    virtual void BeforeDestruction();

protected:
    // AComponent was inserted under or removed from this component's tree, or
    // a free-notification partner is going away. The base forgets a removed
    // partner and passes the call on to every owned component.
    virtual void Notification(TComponent *AComponent, TOperation Operation);

    void childEvent(QChildEvent *event) override;

private:
    void Destroying();
    void SetStateFlag(TComponentStateFlag AFlag, bool AValue);
    void RemoveOwned(TComponent *AComponent);
    void InsertOwned(TComponent *AComponent);

    struct Private;
    std::unique_ptr<Private> const d;

    friend ZOR_EXPORT void Free(QObject *AObject);
};

// Frees AObject: for a component, BeforeDestruction() runs first while the
// object is whole, then it is deleted (which frees its owned components the
// same way, last created first). For any other QObject (a form, a widget), its
// owned components are freed that way first, then the object is deleted.
// Null is allowed.
ZOR_EXPORT void Free(QObject *AObject);

struct TComponentDeleter
{
    void operator()(QObject *AObject) const { Free(AObject); }
};
template <class T = TComponent>
using TComponentPtr = std::unique_ptr<T, TComponentDeleter>;

// Mixin for components (and widgets) that implement interfaces: the reference
// count does not manage their lifetime (the owner does), so AddRef/Release
// return -1 and never delete. Subclasses answer their own interfaces in
// QueryInterface and call this one for IInterface.
class ZOR_EXPORT TComponentInterfaced : public virtual IInterface
{
public:
    HRESULT QueryInterface(const QUuid &iid, void **obj) override;
    int AddRef() override { return -1; }
    int Release() override { return -1; }
};

// --- Walking trees of any QObject --------------------------------------------

// The owner: the QObject parent.
ZOR_EXPORT QObject *OwnerOf(const QObject *AObject);
// The parent control: for a widget, its parent widget; null for anything else.
ZOR_EXPORT QObject *ParentControlOf(const QObject *AObject);
// True for a widget (a control).
ZOR_EXPORT bool IsControl(const QObject *AObject);
// A form is a widget that is a window of its own: a widget without a parent
// widget, or one whose class derives from QDialog or QMainWindow. The dynamic
// property "zorForm" overrides this either way (true for a frame that plays
// the form of its subtree, false to treat a window as a plain control).
ZOR_EXPORT bool IsForm(const QObject *AObject);
// Class name without namespace ("TfrmMain"); classes without Q_OBJECT report
// their nearest ancestor that has one.
ZOR_EXPORT QString ClassNameOf(const QObject *AObject);
// The interface side of an object, if its class implements IInterface.
ZOR_EXPORT IInterface *InterfaceOf(QObject *AObject);

// The interface T of an object, or null.
template <class T>
IPtr<T> QueryObjectIntf(QObject *AObject)
{
    return QueryIntf<T>(InterfaceOf(AObject));
}

} // namespace zor

Q_DECLARE_OPERATORS_FOR_FLAGS(zor::TComponentState)
