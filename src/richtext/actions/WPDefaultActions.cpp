#include <ZorCompCore/richtext/actions/WPDefaultActions.h>

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/actions/ActionList.h>
#include <ZorCompCore/richtext/actions/dmQEWPActions.h>

#include <QAction>
#include <QCoreApplication>
#include <QEvent>

namespace zor {

// --- TWPEditBoxLinkCollection ------------------------------------------------------

TWPEditBoxLinkCollection::TWPEditBoxLinkCollection(QObject *parent, TWPEditBoxStateMsg handler)
    : QObject(parent), OnMessage(std::move(handler))
{
}

TWPEditBoxLinkCollection::~TWPEditBoxLinkCollection()
{
    for (const QPointer<QObject> &e : std::as_const(m_editors))
        if (e)
            e->removeEventFilter(this);
}

bool TWPEditBoxLinkCollection::Add(TWPRichText *editor)
{
    if (!editor || Contains(editor))
        return false;
    m_editors.append(editor);
    editor->installEventFilter(this);
    // A widget says it is destroyed before its QPointers are cleared, and
    // by then it is no editor any more: drop it by address, as an object.
    connect(editor, &QObject::destroyed, this, [this](QObject *gone) {
        m_editors.removeIf([gone](const QPointer<QObject> &e) { return !e || e.data() == gone; });
    });
    return true;
}

void TWPEditBoxLinkCollection::Remove(TWPRichText *editor)
{
    if (!editor)
        return;
    m_editors.removeIf([editor](const QPointer<QObject> &e) { return e.data() == editor; });
    editor->removeEventFilter(this);
    disconnect(editor, nullptr, this, nullptr);
}

bool TWPEditBoxLinkCollection::Contains(const TWPRichText *editor) const
{
    for (const QPointer<QObject> &e : m_editors)
        if (e && e.data() == editor)
            return true;
    return false;
}

QList<TWPRichText *> TWPEditBoxLinkCollection::Editors() const
{
    QList<TWPRichText *> result;
    for (const QPointer<QObject> &e : m_editors)
        if (auto *editor = qobject_cast<TWPRichText *>(e.data()))
            result.append(editor);
    return result;
}

int TWPEditBoxLinkCollection::Count() const { return int(Editors().size()); }

void TWPEditBoxLinkCollection::Assign(const TWPEditBoxLinkCollection &other)
{
    if (&other == this)
        return;
    for (TWPRichText *e : Editors())
        Remove(e);
    for (TWPRichText *e : other.Editors())
        Add(e);
}

void TWPEditBoxLinkCollection::SendMessage(TWPRichText *editor, int msg)
{
    if (OnMessage)
        OnMessage(this, editor, msg);
}

bool TWPEditBoxLinkCollection::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        if (auto *editor = qobject_cast<TWPRichText *>(watched); editor && Contains(editor))
            SendMessage(editor, event->type() == QEvent::FocusIn ? wpAfterGetFocus : wpAfterLoseFocus);
    }
    return QObject::eventFilter(watched, event);
}

// --- TWPDefaultActions ------------------------------------------------------------------

TWPDefaultActions::TWPDefaultActions(QObject *AOwner) : TComponent(AOwner)
{
    FActions = new TdmQEWPActions(nullptr);
    FLinks = new TWPEditBoxLinkCollection(this, [this](QObject *sender, QWidget *editor, int msg) {
        EditBoxStateMsg(sender, editor, msg);
    });
}

TWPDefaultActions::~TWPDefaultActions()
{
    delete FLinks;
    FLinks = nullptr;
    Free(FActions);
}

TdmQEWPActions *TWPDefaultActions::Actions() const { return FActions; }
TWPEditBoxLinkCollection *TWPDefaultActions::Links() const { return FLinks; }

void TWPDefaultActions::SetLinks(const TWPEditBoxLinkCollection &Links)
{
    FLinks->Assign(Links);
    for (TWPRichText *e : FLinks->Editors())
        AttachActions(e);
}

TWPRichText *TWPDefaultActions::CurrentEditor() const
{
    return FCurrentEditor && FLinks->Contains(FCurrentEditor) ? FCurrentEditor.data() : nullptr;
}

void TWPDefaultActions::Loaded()
{
    TComponent::Loaded();
    if (!FActions->OnGetWPRichText)
        FActions->OnGetWPRichText = [this](QObject *sender, TWPRichText *&editor) { GetToolsEditor(sender, editor); };
    for (TWPRichText *e : FLinks->Editors())
        AttachActions(e);
    FActions->UpdateActions();
}

void TWPDefaultActions::EditBoxStateMsg(QObject *, QWidget *Editor, int Msg)
{
    auto *editor = qobject_cast<TWPRichText *>(Editor);
    if (Msg != wpAfterGetFocus || !editor)
        return;
    FCurrentEditor = editor;
    AttachActions(editor);
    FActions->UpdateActions();
}

void TWPDefaultActions::GetToolsEditor(QObject *, TWPRichText *&RichText)
{
    const QList<TWPRichText *> editors = FLinks->Editors();
    RichText = nullptr;
    if (editors.size() == 1) {
        RichText = editors.first();
    } else {
        for (TWPRichText *e : editors)
            if (e->hasFocus())
                RichText = e;
        if (!RichText)
            RichText = CurrentEditor();
    }
    FCurrentEditor = RichText;
}

void TWPDefaultActions::AttachActions(TWPRichText *editor)
{
    // The actions' shortcuts work while the editor has the focus.
    for (QAction *a : FActions->StdActions()->Actions())
        if (!a->shortcut().isEmpty())
            editor->addAction(a);
}

void TWPDefaultActions::RegisterEditBox(TWPRichText *Editor)
{
    if (!FLinks->Add(Editor))
        return;
    AttachActions(Editor);
    // The states follow the caret and the formats of whichever editor is current.
    const auto update = [this, Editor] {
        TWPRichText *current = nullptr;
        GetToolsEditor(this, current);
        if (current == Editor)
            FActions->UpdateActions();
    };
    connect(Editor, &TWPRichText::CursorPositionChanged, this, update);
    connect(Editor, &TWPRichText::SelectionChanged, this, update);
    connect(Editor, &TWPRichText::CurrentCharFormatChanged, this, update);
    connect(Editor, &TWPRichText::UndoAvailable, this, update);
    connect(Editor, &TWPRichText::RedoAvailable, this, update);
    connect(Editor, &TWPRichText::ZoomChanged, this, update);
    // Later, when the editor is gone for good (it is half destroyed now).
    connect(Editor, &QObject::destroyed, this, [this] { FActions->UpdateActions(); }, Qt::QueuedConnection);
    FActions->UpdateStyleCollection(Editor);
    FActions->UpdateActions();
}

void TWPDefaultActions::UnRegisterEditBox(TWPRichText *Editor)
{
    if (!Editor)
        return;
    FLinks->Remove(Editor);
    disconnect(Editor, nullptr, this, nullptr);
    for (QAction *a : FActions->StdActions()->Actions())
        Editor->removeAction(a);
    if (FCurrentEditor == Editor)
        FCurrentEditor = nullptr;
    FActions->UpdateActions();
}

namespace {
TWPDefaultActions *g_defaultActions = nullptr;
} // namespace

void FreeGlobalWPDefaultActions()
{
    Free(std::exchange(g_defaultActions, nullptr));
}

TWPDefaultActions *GlobalWPDefaultActions()
{
    if (!g_defaultActions) {
        g_defaultActions = new TWPDefaultActions(nullptr);
        g_defaultActions->Loaded();
        // Freed with the application object, while widgets may still be freed.
        qAddPostRoutine(FreeGlobalWPDefaultActions);
    }
    return g_defaultActions;
}

void GlobalRegisterEditBox(TWPRichText *Editor)
{
    GlobalWPDefaultActions()->RegisterEditBox(Editor);
}

void GlobalUnRegisterEditBox(TWPRichText *Editor)
{
    if (g_defaultActions)
        g_defaultActions->UnRegisterEditBox(Editor);
}

} // namespace zor
