// Component identity: a stable identifier per component and the dot-separated
// path of identifiers from the enclosing root down to it ("Frame1.Grid").
// A component (or form) carries its identity by implementing IUniqueComponent,
// usually through a TUniqueComponentHelper that it owns.
#pragma once

#include <ZorCompCore/zor_export.h>
#include <ZorCompCore/platform/Component.h>

#include <QString>
#include <vector>

namespace zor {

class ZOR_EXPORT IUniqueComponent : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{45ED0402-2EA6-4F16-B267-065C843E9F66}");
    virtual QString Get_UniqueIdent() = 0;
    virtual QString Get_UniqueIdentPath() = 0;
    virtual bool Get_IsRoot() = 0;
};

// Implemented by components that want to hear about identifier changes in
// their owner's tree.
class ZOR_EXPORT IUniqueComponentEventHandler : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{0F639DCD-DAC9-4CA1-9556-34225779C9C1}");
    // Asked before the change; true to be told afterwards.
    virtual bool BeforeUniqueIdentChange(IUniqueComponent *Component) = 0;
    virtual void AfterUniqueIdentChange(IUniqueComponent *Component) = 0;
};

// Carries the identity of the component (or widget) that owns it.
class ZOR_EXPORT TUniqueComponentHelper : public TComponent,
                                          public TComponentInterfaced,
                                          public IUniqueComponent
{
    Q_OBJECT
public:
    explicit TUniqueComponentHelper(QObject *AOwner = nullptr);
    ~TUniqueComponentHelper() override;

    QString UniqueIdent() const { return FUniqueIdent; }
    // A change from one non-empty identifier to another asks every component
    // in the owner's tree (depth first) and, once the new value is stored,
    // tells those that asked to be told.
    void SetUniqueIdent(const QString &Value);
    bool IsRoot() const { return FIsRoot; }
    void SetIsRoot(bool Value) { FIsRoot = Value; }

    // Identifiers from the nearest root down to this one, dot-separated;
    // empty while the identifier is empty.
    QString UniqueIdentPath() const;
    // True when the first control at or above Parent that is a form or
    // carries an identity is a root with an empty identifier.
    static bool ParentIsEmptyRoot(QObject *Parent);
    // Collects, depth first with each component before its owned ones, the
    // handlers in Cmp's tree whose BeforeUniqueIdentChange answers true.
    void NotifyComponentsBeforeChange(QObject *Cmp, std::vector<IPtr<IUniqueComponentEventHandler>> &List);

    HRESULT QueryInterface(const QUuid &iid, void **obj) override;
    QString Get_UniqueIdent() override { return FUniqueIdent; }
    QString Get_UniqueIdentPath() override { return UniqueIdentPath(); }
    bool Get_IsRoot() override { return FIsRoot; }

private:
    QString FUniqueIdent;
    bool FIsRoot = false;
};

} // namespace zor
