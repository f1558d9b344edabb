#include <ZorCompCore/core/UniqueComponent.h>

#include <ZorCompCore/platform/Exception.h>

#include "TestUtil.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <memory>

using namespace zor;

namespace {

// A component that carries its identity through the helper it owns, the way
// library components do.
class IdentComponent : public TComponent, public TComponentInterfaced, public IUniqueComponent
{
public:
    IdentComponent(QObject *owner, const QString &ident, bool root = false)
        : TComponent(owner), helper(new TUniqueComponentHelper(this))
    {
        helper->SetUniqueIdent(ident);
        helper->SetIsRoot(root);
    }
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (iid == IUniqueComponent::IID)
            return helper->QueryInterface(iid, obj);
        return TComponentInterfaced::QueryInterface(iid, obj);
    }
    QString Get_UniqueIdent() override { return helper->UniqueIdent(); }
    QString Get_UniqueIdentPath() override { return helper->UniqueIdentPath(); }
    bool Get_IsRoot() override { return helper->IsRoot(); }

    TUniqueComponentHelper *helper;
};

// A widget (form or control) that answers IUniqueComponent itself.
class IdentWidget : public QWidget, public TComponentInterfaced, public IUniqueComponent
{
public:
    IdentWidget(QWidget *parent, const QString &ident, bool root) : QWidget(parent), ident(ident), root(root) {}
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IUniqueComponent>(this, iid, obj))
            return S_OK;
        return TComponentInterfaced::QueryInterface(iid, obj);
    }
    QString Get_UniqueIdent() override { return ident; }
    QString Get_UniqueIdentPath() override { return {}; }
    bool Get_IsRoot() override { return root; }

    QString ident;
    bool root;
};

// A form class of its own, for paths that fall back to the class name.
class TSubForm : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
};

} // namespace

TEST(UniqueComponent, PathsThroughComponentOwners)
{
    struct Row
    {
        const char *name;
        std::function<TUniqueComponentHelper *(TComponentPtr<> &root)> build;
        QString expected;
    };
    const Row rows[] = {
        {"root owner of the owner",
         [](TComponentPtr<> &root) {
             root.reset(new IdentComponent(nullptr, "Frame1", true));
             return (new IdentComponent(root.get(), "Grid"))->helper;
         },
         "Frame1.Grid"},
        {"empty identifier has no path",
         [](TComponentPtr<> &root) {
             root.reset(new IdentComponent(nullptr, "Frame1", true));
             return (new IdentComponent(root.get(), ""))->helper;
         },
         ""},
        {"walks past non-roots up to the root",
         [](TComponentPtr<> &root) {
             root.reset(new IdentComponent(nullptr, "Top", true));
             auto *mid = new IdentComponent(root.get(), "Frame1");
             return (new IdentComponent(mid, "Grid"))->helper;
         },
         "Top.Frame1.Grid"},
        {"stops at the first root",
         [](TComponentPtr<> &root) {
             root.reset(new IdentComponent(nullptr, "Top", true));
             auto *mid = new IdentComponent(root.get(), "Frame1", true);
             return (new IdentComponent(mid, "Grid"))->helper;
         },
         "Frame1.Grid"},
        {"an empty identifier on the way leaves its dot",
         [](TComponentPtr<> &root) {
             root.reset(new IdentComponent(nullptr, "Top", true));
             auto *mid = new IdentComponent(root.get(), "");
             return (new IdentComponent(mid, "Grid"))->helper;
         },
         "Top..Grid"},
        {"components without identity are passed over",
         [](TComponentPtr<> &root) {
             root.reset(new IdentComponent(nullptr, "Top", true));
             auto *plain = new TComponent(root.get());
             plain->SetName("Plain");
             return (new IdentComponent(plain, "Grid"))->helper;
         },
         "Top.Grid"},
        {"no root at all: everything up to the top",
         [](TComponentPtr<> &root) {
             root.reset(new IdentComponent(nullptr, "A"));
             return (new IdentComponent(root.get(), "B"))->helper;
         },
         "A.B"},
        {"helper without owner",
         [](TComponentPtr<> &root) {
             auto *h = new TUniqueComponentHelper(nullptr);
             root.reset(h);
             h->SetUniqueIdent("Alone");
             return h;
         },
         "Alone"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        TComponentPtr<> root;
        TUniqueComponentHelper *helper = r.build(root);
        EXPECT_EQ(helper->UniqueIdentPath(), r.expected);
        auto unique = QueryObjectIntf<IUniqueComponent>(helper);
        ASSERT_TRUE(unique);
        EXPECT_EQ(unique->Get_UniqueIdentPath(), r.expected);
    }
}

TEST(UniqueComponent, PathsThroughFormsAndParentControls)
{
    // Each row builds a window tree; the grid's helper is owned by the grid.
    struct Row
    {
        const char *name;
        std::function<QWidget *(std::unique_ptr<QWidget> &top)> build; // returns the grid's owner
        QString expected;
    };
    const Row rows[] = {
        {"plain top-level form gives its name",
         [](std::unique_ptr<QWidget> &top) {
             top = std::make_unique<QWidget>();
             top->setObjectName("MainForm");
             return new QWidget(new QWidget(top.get())); // grid on a panel
         },
         "MainForm.Grid"},
        {"embedded form below an empty root gives its name",
         [](std::unique_ptr<QWidget> &top) {
             top = std::make_unique<IdentWidget>(nullptr, "", true);
             auto *panel = new QWidget(top.get());
             auto *sub = new TSubForm(panel);
             sub->setObjectName("SubForm1");
             sub->setProperty("zorForm", true);
             return new QWidget(sub);
         },
         "SubForm1.Grid"},
        {"embedded form below a named root gives its class",
         [](std::unique_ptr<QWidget> &top) {
             top = std::make_unique<IdentWidget>(nullptr, "Host", true);
             auto *sub = new TSubForm(new QWidget(top.get()));
             sub->setObjectName("SubForm1");
             sub->setProperty("zorForm", true);
             return new QWidget(sub);
         },
         "Host.TSubForm.Grid"},
        {"dialog counts as a form",
         [](std::unique_ptr<QWidget> &top) {
             top = std::make_unique<IdentWidget>(nullptr, "Main", true);
             auto *dlg = new QDialog(top.get());
             dlg->setObjectName("dlgOptions");
             return new QWidget(dlg);
         },
         "Main.QDialog.Grid"},
        {"identified form that is not a root lets the walk go on",
         [](std::unique_ptr<QWidget> &top) {
             top = std::make_unique<IdentWidget>(nullptr, "Outer", true);
             auto *inner = new IdentWidget(top.get(), "Inner", false);
             inner->setProperty("zorForm", true);
             return new QWidget(inner);
         },
         "Outer.Inner.Grid"},
        {"identified form with empty identifier adds nothing",
         [](std::unique_ptr<QWidget> &top) {
             top = std::make_unique<IdentWidget>(nullptr, "", false);
             top->setObjectName("Ignored");
             return new QWidget(top.get());
         },
         "Grid"},
        {"identified control (not a form) inside a form",
         [](std::unique_ptr<QWidget> &top) {
             top = std::make_unique<QWidget>();
             top->setObjectName("MainForm");
             return new QWidget(new IdentWidget(top.get(), "Pane", false));
         },
         "MainForm.Pane.Grid"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        std::unique_ptr<QWidget> top;
        QWidget *gridOwner = r.build(top);
        QWidget *grid = new QWidget(gridOwner);
        auto *helper = new TUniqueComponentHelper(grid);
        helper->SetUniqueIdent("Grid");
        EXPECT_EQ(helper->UniqueIdentPath(), r.expected);
        Free(top.release());
    }
}

TEST(UniqueComponent, ParentIsEmptyRootLooksForTheNearestIdentifiedControlOrForm)
{
    struct Row
    {
        const char *name;
        QString ident;
        bool root;
        bool markForm; // put a plain form between the start and the identified top
        bool expected;
    };
    const Row rows[] = {
        {"empty root", "", true, false, true},
        {"named root", "X", true, false, false},
        {"empty non-root", "", false, false, false},
        {"a plain form is met first", "", true, true, false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        IdentWidget top(nullptr, r.ident, r.root);
        auto *middle = new QWidget(&top);
        if (r.markForm)
            middle->setProperty("zorForm", true);
        auto *start = new QWidget(middle);
        EXPECT_EQ(TUniqueComponentHelper::ParentIsEmptyRoot(start), r.expected);
    }
    EXPECT_FALSE(TUniqueComponentHelper::ParentIsEmptyRoot(nullptr));
    QWidget lonely;
    EXPECT_FALSE(TUniqueComponentHelper::ParentIsEmptyRoot(&lonely));
}

namespace {

// Listens for identifier changes and writes them to a shared log.
class Listener : public TComponent, public TComponentInterfaced, public IUniqueComponentEventHandler
{
public:
    Listener(QObject *owner, const QString &name, bool wants, QStringList *log)
        : TComponent(owner), wants(wants), log(log)
    {
        SetName(name);
    }
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IUniqueComponentEventHandler>(this, iid, obj))
            return S_OK;
        return TComponentInterfaced::QueryInterface(iid, obj);
    }
    bool BeforeUniqueIdentChange(IUniqueComponent *c) override
    {
        *log << "before " + Name() + " " + c->Get_UniqueIdent();
        if (onBefore)
            onBefore();
        return wants;
    }
    void AfterUniqueIdentChange(IUniqueComponent *c) override
    {
        *log << "after " + Name() + " " + c->Get_UniqueIdent();
        if (throwAfter)
            throw Exception("listener failed");
    }
    bool wants;
    bool throwAfter = false;
    std::function<void()> onBefore;
    QStringList *log;
};

} // namespace

TEST(UniqueComponent, ChangingTheIdentifierAsksTheOwnersTreeDepthFirst)
{
    QStringList log;
    TComponentPtr<Listener> root(new Listener(nullptr, "Root", true, &log));
    auto *a = new Listener(root.get(), "A", true, &log);
    new Listener(a, "A1", false, &log);
    new Listener(a, "A2", true, &log);
    new TComponent(root.get()); // no handler: passed over
    new Listener(root.get(), "B", true, &log);
    auto *helper = new TUniqueComponentHelper(root.get());

    helper->SetUniqueIdent("First");
    EXPECT_TRUE(log.isEmpty()) << "the first identifier notifies nobody";
    helper->SetUniqueIdent("First");
    EXPECT_TRUE(log.isEmpty()) << "an unchanged identifier notifies nobody";

    helper->SetUniqueIdent("Second");
    // Asked with the old value in place, told after the new one is stored.
    EXPECT_EQ(log, (QStringList{"before Root First", "before A First", "before A1 First",
                                "before A2 First", "before B First", "after Root Second",
                                "after A Second", "after A2 Second", "after B Second"}));

    log.clear();
    helper->SetUniqueIdent("second"); // case matters
    EXPECT_EQ(log.size(), 9);
}

TEST(UniqueComponent, ARaisingListenerStopsTheRoundButTheNewValueStays)
{
    QStringList log;
    TComponentPtr<Listener> root(new Listener(nullptr, "Root", true, &log));
    auto *first = new Listener(root.get(), "First", true, &log);
    new Listener(root.get(), "Second", true, &log);
    auto *helper = new TUniqueComponentHelper(root.get());
    helper->SetUniqueIdent("Old");
    first->throwAfter = true;

    EXPECT_THROW(helper->SetUniqueIdent("New"), Exception);
    EXPECT_EQ(helper->UniqueIdent(), "New");
    EXPECT_TRUE(log.contains("after First New"));
    EXPECT_FALSE(log.contains("after Second New"));
}

TEST(UniqueComponent, AListenerThatFreesASiblingWhileAskedDoesNotDerailTheWalk)
{
    QStringList log;
    TComponentPtr<Listener> root(new Listener(nullptr, "Root", false, &log));
    auto *killer = new Listener(root.get(), "Killer", true, &log);
    QPointer<Listener> victim = new Listener(root.get(), "Victim", true, &log);
    new Listener(root.get(), "Last", true, &log);
    auto *helper = new TUniqueComponentHelper(root.get());
    helper->SetUniqueIdent("Old");
    killer->onBefore = [&] { Free(victim.data()); };

    helper->SetUniqueIdent("New");
    EXPECT_TRUE(victim.isNull());
    EXPECT_EQ(log, (QStringList{"before Root Old", "before Killer Old", "before Last Old",
                                "after Killer New", "after Last New"}));
}

#include "UniqueComponentTest.moc"
