#include <ZorCompCore/platform/Component.h>

#include "TestUtil.h"

#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

using namespace zor;

namespace {

// Records what happens to it in a shared log, as "<who>:<event>[:<about>]".
class Recorder : public TComponent
{
public:
    Recorder(QObject *owner, const QString &name, QStringList *log) : TComponent(owner), log(log)
    {
        SetName(name);
    }
    ~Recorder() override { *log << Name() + QStringLiteral(":destructor"); }

    void Notification(TComponent *c, TOperation op) override
    {
        *log << Name() + (op == opInsert ? QStringLiteral(":insert:") : QStringLiteral(":remove:"))
                    + c->Name();
        TComponent::Notification(c, op);
    }
    void BeforeDestruction() override
    {
        // Reaching this override at all shows the object is still whole.
        *log << Name() + QStringLiteral(":before");
        TComponent::BeforeDestruction();
    }
    void Loaded() override
    {
        *log << Name() + QStringLiteral(":loaded") + (ComponentState() & csReading ? "+reading" : "");
        TComponent::Loaded();
    }
    QStringList *log;
};

QStringList filtered(const QStringList &log, const QString &needle)
{
    QStringList out;
    for (const QString &l : log)
        if (l.contains(needle))
            out << l;
    return out;
}

} // namespace

TEST(Component, OwnedComponentsKeepCreationOrderAndAreFoundByNameCaseInsensitively)
{
    QStringList log;
    TComponentPtr<Recorder> owner(new Recorder(nullptr, "Owner", &log));
    auto *a = new Recorder(owner.get(), "Alpha", &log);
    log.clear();
    new QObject(owner.get()); // not a component: neither counted nor announced
    auto *b = new Recorder(owner.get(), "Beta", &log);
    // The owner hears of the newcomer (still nameless, in its constructor)
    // and passes the news on to what it owns.
    EXPECT_EQ(log, (QStringList{"Owner:insert:", "Alpha:insert:"}));

    ASSERT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->Components(0), a);
    EXPECT_EQ(owner->Components(1), b);
    EXPECT_EQ(owner->Components(2), nullptr);
    EXPECT_EQ(owner->Components(-1), nullptr);
    EXPECT_EQ(b->ComponentIndex(), 1);
    EXPECT_EQ(owner->ComponentIndex(), -1);
    EXPECT_EQ(owner->FindComponent("bEtA"), b);
    EXPECT_EQ(owner->FindComponent("Gamma"), nullptr);
    EXPECT_EQ(owner->FindComponent(""), nullptr);
    EXPECT_EQ(a->OwnerComponent(), owner.get());
}

TEST(Component, FreeCallsBeforeDestructionAndFreesOwnedLastCreatedFirst)
{
    QStringList log;
    auto *owner = new Recorder(nullptr, "Owner", &log);
    new Recorder(owner, "A", &log);
    auto *b = new Recorder(owner, "B", &log);
    new Recorder(b, "B1", &log);
    new Recorder(owner, "C", &log);
    log.clear();

    Free(owner);

    const QStringList lifecycle = [&] {
        QStringList out;
        for (const QString &l : log)
            if (l.endsWith(":before") || l.endsWith(":destructor"))
                out << l;
        return out;
    }();
    EXPECT_EQ(lifecycle, (QStringList{"Owner:before", "Owner:destructor", "C:before", "C:destructor",
                                      "B:before", "B:destructor", "B1:before", "B1:destructor",
                                      "A:before", "A:destructor"}));
    // Being torn down with its owner, no component reports removals upwards.
    EXPECT_TRUE(filtered(log, "Owner:remove").isEmpty());
}

TEST(Component, DestroyingAComponentTellsItsOwnerAndSiblings)
{
    QStringList log;
    TComponentPtr<Recorder> owner(new Recorder(nullptr, "Owner", &log));
    auto *a = new Recorder(owner.get(), "A", &log);
    new Recorder(owner.get(), "B", &log);
    log.clear();

    delete a; // a plain delete still does the bookkeeping
    EXPECT_EQ(filtered(log, ":remove:"), (QStringList{"Owner:remove:A", "B:remove:A"}));
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(owner->Components(0)->Name(), "B");
}

TEST(Component, FreeNotificationPartnersAreToldEitherWayAndForgottenOnRemoval)
{
    struct Case
    {
        const char *name;
        bool removeFirst;
        bool freeLeft;
        QStringList expected;
    };
    const Case cases[] = {
        {"left goes", false, true, {"Right:remove:Left"}},
        {"right goes", false, false, {"Left:remove:Right"}},
        {"removed before", true, true, {}},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        QStringList log;
        // Two separate trees: only the free notification links them.
        auto *left = new Recorder(nullptr, "Left", &log);
        auto *right = new Recorder(nullptr, "Right", &log);
        left->FreeNotification(right);
        left->FreeNotification(right); // twice is once
        left->FreeNotification(left);  // never with itself
        if (row.removeFirst)
            right->RemoveFreeNotification(left);
        log.clear();
        Free(row.freeLeft ? left : right);
        EXPECT_EQ(filtered(log, ":remove:"), row.expected);
        log.clear();
        // The survivor must have forgotten the partner: freeing it now must
        // not reach the freed one (the sanitizer builds catch a stale pointer).
        Free(row.freeLeft ? right : left);
        EXPECT_TRUE(filtered(log, ":remove:").isEmpty());
    }
}

TEST(Component, InsertComponentAndPlainReparentingKeepListsRight)
{
    QStringList log;
    TComponentPtr<Recorder> first(new Recorder(nullptr, "First", &log));
    TComponentPtr<Recorder> second(new Recorder(nullptr, "Second", &log));
    auto *moved = new Recorder(first.get(), "Moved", &log);
    log.clear();

    second->InsertComponent(moved);
    EXPECT_EQ(first->ComponentCount(), 0);
    ASSERT_EQ(second->ComponentCount(), 1);
    EXPECT_EQ(moved->Owner(), second.get());
    EXPECT_EQ(filtered(log, "First:"), QStringList{"First:remove:Moved"});
    EXPECT_TRUE(log.contains("Second:insert:Moved"));

    // Plain QObject reparenting is noticed as well.
    log.clear();
    moved->setParent(first.get());
    EXPECT_EQ(second->ComponentCount(), 0);
    EXPECT_EQ(first->ComponentCount(), 1);
    EXPECT_TRUE(log.contains("Second:remove:Moved"));
    EXPECT_TRUE(log.contains("First:insert:Moved"));

    first->RemoveComponent(moved);
    EXPECT_EQ(first->ComponentCount(), 0);
    EXPECT_EQ(moved->Owner(), nullptr);
    Free(moved);
}

TEST(Component, DesigningIsInheritedAndLoadingEndsWithLoadedOnEach)
{
    QStringList log;
    TComponentPtr<Recorder> root(new Recorder(nullptr, "Root", &log));
    root->SetDesigning(true);
    auto *child = new Recorder(root.get(), "Child", &log);
    EXPECT_TRUE(child->ComponentState() & csDesigning);
    root->SetDesigning(false);
    EXPECT_FALSE(child->ComponentState() & csDesigning);

    root->BeginLoad();
    EXPECT_EQ(child->ComponentState() & (csLoading | csReading), TComponentState(csLoading | csReading));
    log.clear();
    root->EndLoad();
    EXPECT_EQ(filtered(log, ":loaded"), (QStringList{"Root:loaded", "Child:loaded"}));
    EXPECT_FALSE(child->ComponentState() & (csLoading | csReading));
}

TEST(Component, FreeingAFormFreesTheComponentsInsideItsWidgets)
{
    QStringList log;
    auto *form = new QWidget;
    auto *panel = new QWidget(form);
    new Recorder(form, "OnForm", &log);
    new Recorder(panel, "OnPanel", &log);
    QPointer<QWidget> watch(panel);

    Free(form);
    // Each one went through BeforeDestruction, not just the destructor.
    EXPECT_EQ(filtered(log, ":before"), (QStringList{"OnForm:before", "OnPanel:before"}));
    EXPECT_TRUE(watch.isNull());
}

TEST(Component, TreeHelpersTellFormsAndControlsApart)
{
    QWidget top;
    auto *child = new QWidget(&top);
    auto *dialog = new QDialog(&top);
    auto *window = new QMainWindow(&top);
    auto *frame = new QWidget(&top);
    frame->setProperty("zorForm", true);
    QWidget notAForm;
    notAForm.setProperty("zorForm", false);
    TComponentPtr<> component(new TComponent(child));

    struct Row
    {
        const char *name;
        QObject *obj;
        bool form;
        bool control;
        QObject *parentControl;
    };
    const Row rows[] = {
        {"top-level widget", &top, true, true, nullptr},
        {"child widget", child, false, true, &top},
        {"dialog with parent", dialog, true, true, &top},
        {"main window with parent", window, true, true, &top},
        {"marked frame", frame, true, true, &top},
        {"window marked not a form", &notAForm, false, true, nullptr},
        {"component", component.get(), false, false, nullptr},
        {"null", nullptr, false, false, nullptr},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(IsForm(r.obj), r.form);
        EXPECT_EQ(IsControl(r.obj), r.control);
        EXPECT_EQ(ParentControlOf(r.obj), r.parentControl);
    }
    EXPECT_EQ(OwnerOf(component.get()), child);
    EXPECT_EQ(ClassNameOf(component.get()), "TComponent");
    EXPECT_EQ(ClassNameOf(dialog), "QDialog");
}

namespace {

struct IProbe : public virtual IInterface
{
    ZOR_INTERFACE_IID("{1B2C3D4E-0000-4000-8000-00000000AB01}");
    virtual int Value() = 0;
};

class InterfacedWidget : public QWidget, public TComponentInterfaced, public IProbe
{
public:
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IProbe>(this, iid, obj))
            return S_OK;
        return TComponentInterfaced::QueryInterface(iid, obj);
    }
    int Value() override { return 42; }
};

} // namespace

TEST(Component, InterfacesOfComponentsAreNotCountedToDeath)
{
    auto widget = std::make_unique<InterfacedWidget>();
    {
        IPtr<IProbe> probe = QueryObjectIntf<IProbe>(widget.get());
        ASSERT_TRUE(probe);
        EXPECT_EQ(probe->Value(), 42);
        IPtr<IProbe> copy = probe;
    }
    // Every reference is gone, yet the widget lives on until its owner frees it.
    EXPECT_EQ(QueryObjectIntf<IProbe>(widget.get())->Value(), 42);
    QWidget plain;
    EXPECT_FALSE(QueryObjectIntf<IProbe>(&plain));
    EXPECT_EQ(InterfaceOf(&plain), nullptr);
}
