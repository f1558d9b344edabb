#include "UniqueComponent.h"

#include <QPointer>

namespace zor {

TUniqueComponentHelper::TUniqueComponentHelper(QObject *AOwner) : TComponent(AOwner) {}
TUniqueComponentHelper::~TUniqueComponentHelper() = default;

HRESULT TUniqueComponentHelper::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<IUniqueComponent>(this, iid, obj))
        return S_OK;
    return TComponentInterfaced::QueryInterface(iid, obj);
}

void TUniqueComponentHelper::SetUniqueIdent(const QString &Value)
{
    if (Value == FUniqueIdent)
        return;
    // The first identifier a component gets is nobody's business yet.
    const bool notify = !FUniqueIdent.isEmpty() && Owner();
    std::vector<IPtr<IUniqueComponentEventHandler>> list;
    if (notify)
        NotifyComponentsBeforeChange(Owner(), list);
    FUniqueIdent = Value;
    // The list is a local: it goes also when a handler raises.
    for (const auto &handler : list)
        handler->AfterUniqueIdentChange(this);
}

void TUniqueComponentHelper::NotifyComponentsBeforeChange(
    QObject *Cmp, std::vector<IPtr<IUniqueComponentEventHandler>> &List)
{
    if (!Cmp)
        return;
    if (auto handler = QueryObjectIntf<IUniqueComponentEventHandler>(Cmp);
        handler && handler->BeforeUniqueIdentChange(this))
        List.push_back(handler);
    // A handler may change the tree while it is asked; walk a snapshot, and
    // skip what was freed meanwhile.
    const QObjectList owned = Cmp->children();
    std::vector<QPointer<QObject>> guarded(owned.begin(), owned.end());
    for (const auto &c : guarded)
        if (c)
            NotifyComponentsBeforeChange(c.data(), List);
}

QString TUniqueComponentHelper::UniqueIdentPath() const
{
    if (FUniqueIdent.isEmpty())
        return {};
    QString result = FUniqueIdent;
    QObject *cmp = OwnerOf(Owner());
    while (cmp) {
        const auto unique = QueryObjectIntf<IUniqueComponent>(cmp);
        if (IsForm(cmp)) {
            if (unique) {
                const QString ident = unique->Get_UniqueIdent();
                if (!ident.isEmpty())
                    result = ident + QLatin1Char('.') + result;
                if (unique->Get_IsRoot())
                    break;
            } else {
                QObject *parent = ParentControlOf(cmp);
                const QString part = !parent || ParentIsEmptyRoot(parent) ? cmp->objectName()
                                                                          : ClassNameOf(cmp);
                result = part + QLatin1Char('.') + result;
            }
            cmp = ParentControlOf(cmp);
        } else {
            if (unique) {
                // Even an empty identifier leaves its dot: the path shows the gap.
                result = unique->Get_UniqueIdent() + QLatin1Char('.') + result;
                if (unique->Get_IsRoot())
                    break;
            }
            cmp = OwnerOf(cmp);
        }
    }
    return result;
}

bool TUniqueComponentHelper::ParentIsEmptyRoot(QObject *Parent)
{
    for (QObject *p = Parent; p; p = ParentControlOf(p)) {
        const auto unique = QueryObjectIntf<IUniqueComponent>(p);
        if (unique)
            return unique->Get_IsRoot() && unique->Get_UniqueIdent().isEmpty();
        if (IsForm(p))
            return false;
    }
    return false;
}

} // namespace zor
