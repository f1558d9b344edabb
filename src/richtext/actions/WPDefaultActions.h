// The process-wide owner of the rich-text actions: TWPDefaultActions creates
// the action module once, keeps the registered editors in a link collection
// and answers which editor is current:
//   - with exactly one registered editor, that one, focused or not;
//   - otherwise the registered editor that has the input focus;
//   - otherwise the one that was current last, while it is registered;
//   - otherwise none.
// Editors report their focus through an event filter the link collection
// installs (the control itself knows nothing of the actions).
#pragma once

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QPointer>

#include <functional>

namespace zor {

class TWPRichText;
class TdmQEWPActions;

// Messages of an edit-box link collection.
enum TWPEditBoxLinkMessage : int {
    wpAfterGetFocus = 6, // the editor got the input focus
    wpAfterLoseFocus = 7, // the editor lost it
};

// (Sender, Editor, Msg)
using TWPEditBoxStateMsg = std::function<void(QObject *Sender, QWidget *Editor, int Msg)>;

// Editors linked to a handler that hears of their focus changes. Editors
// that are destroyed leave the collection by themselves.
class ZOR_EXPORT TWPEditBoxLinkCollection : public QObject
{
    Q_OBJECT
public:
    explicit TWPEditBoxLinkCollection(QObject *parent = nullptr, TWPEditBoxStateMsg handler = {});
    ~TWPEditBoxLinkCollection() override;

    // Links an editor once; false when it was linked already or is null.
    bool Add(TWPRichText *editor);
    void Remove(TWPRichText *editor);
    bool Contains(const TWPRichText *editor) const;
    // Linked editors in the order linked.
    QList<TWPRichText *> Editors() const;
    int Count() const;
    // Replaces the links with those of another collection.
    void Assign(const TWPEditBoxLinkCollection &other);

    TWPEditBoxStateMsg OnMessage;
    // Sends a message to the handler as the editor's focus would.
    void SendMessage(TWPRichText *editor, int msg);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QPointer<QObject>> m_editors; // as objects: a dying editor is one no longer
};

class ZOR_EXPORT TWPDefaultActions : public TComponent
{
    Q_OBJECT
public:
    explicit TWPDefaultActions(QObject *AOwner = nullptr);
    ~TWPDefaultActions() override;

    TdmQEWPActions *Actions() const;
    TWPEditBoxLinkCollection *Links() const;
    // Assigns another collection's links.
    void SetLinks(const TWPEditBoxLinkCollection &Links);
    // The editor made current last (null when none or unregistered since).
    TWPRichText *CurrentEditor() const;

    // Installs GetToolsEditor as the module's OnGetWPRichText unless the
    // caller assigned one, and gives every linked editor the actions.
    void Loaded() override;

    virtual void EditBoxStateMsg(QObject *Sender, QWidget *Editor, int Msg);
    virtual void GetToolsEditor(QObject *Sender, TWPRichText *&RichText);

    void RegisterEditBox(TWPRichText *Editor);
    void UnRegisterEditBox(TWPRichText *Editor);

private:
    void AttachActions(TWPRichText *editor);
    TdmQEWPActions *FActions = nullptr;
    QPointer<TWPRichText> FCurrentEditor;
    TWPEditBoxLinkCollection *FLinks = nullptr;
};

// The shared instance, created (and Loaded) on first call, freed when the
// application's core object goes.
ZOR_EXPORT TWPDefaultActions *GlobalWPDefaultActions();
// Frees the shared instance if there is one (the package's shut-down).
ZOR_EXPORT void FreeGlobalWPDefaultActions();
// Links an editor to the shared actions (creating them) and takes its
// document's styles into the module's style list.
ZOR_EXPORT void GlobalRegisterEditBox(TWPRichText *Editor);
ZOR_EXPORT void GlobalUnRegisterEditBox(TWPRichText *Editor);

} // namespace zor
