#include "frmQEWPRichText.h"

#include "ui_frmQEWPRichText.h"

#include <ZorCompCore/imaging/widgets/ControlsHelper.h>
#include <ZorCompCore/localisation/ZORLang.h>
#include <ZorCompCore/richtext/WPRuler.h>
#include <ZorCompCore/richtext/dWPRichText.h>
#include <ZorCompCore/richtext/dialogs/WPReportBandsDialog.h>
#include <ZorCompCore/richtext/actions/ActionList.h>
#include <ZorCompCore/richtext/actions/WPComboActions.h>
#include <ZorCompCore/richtext/actions/WPDefaultActions.h>
#include <ZorCompCore/richtext/actions/WPEngineActions.h>
#include <ZorCompCore/richtext/actions/WPLanguageControl.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/HtmlWriter.h>
#include <ZorCompCore/richtext/engine/ReportHelper.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/engine/SuperMerge.h>
#include <ZorCompCore/utilities/QEDialogs.h>

#include <QBuffer>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolBar>
#include <QWidgetAction>

#include <map>

namespace zor {

namespace {

// The frame asks itself to open the band dialog once it runs its events.
const QEvent::Type ShowBandDialogEvent = QEvent::Type(QEvent::User + 1);

// The Font bar's boxes: the action each shows and its design width (96 dpi).
struct ComboDef
{
    const char *Action;
    int DesignWidth;
    bool Editable;
};
constexpr ComboDef Combos[] = {
    {"WPAStyleNames", 120, false}, {"WPAScreenFonts", 150, true}, {"WPATrueTypeFonts", 150, true},
    {"WPAPrinterFonts", 150, true}, {"WPAFontSize", 90, true},     {"WPAHTMLFontSize", 90, false},
    {"WPAFontColor", 110, false},   {"WPABkColor", 110, false},   {"WPAParColor", 110, false},
};

// The item groups and their members (items of the form by name).
struct GroupDef
{
    const char *Name;
    std::initializer_list<const char *> Items;
};
const GroupDef Groups[] = {
    {"dxBarGroupHTML", {"XA_HTMLPageSetup", "cbxWPAHTMLFontSize"}},
    {"dxBarGroupPrinterFonts", {"cbxWPAPrinterFonts"}},
    {"dxBarGroupTrueTypeFonts", {"cbxWPATrueTypeFonts"}},
    {"dxBarGroupReserved", {"WPAProtected1", "WPAHidden1", "WPARTFCode1"}},
    {"dxBarGroupWordProcessor",
     {"XA_CloseFile", "XA_DiaPageSetup", "ShowThumbNails1", "ShowGutter1", "XA_ViewNormal", "XA_ViewPageLayout",
      "XA_ViewPageWidth", "XA_ViewFullPage", "XA_ViewDoublePage", "XA_ViewThumbnails", "XA_GraphicOptRelToPage",
      "XA_GraphicOptRelToPageWrap"}},
    {"dxBarGroupReporting",
     {"XA_InsMailmergeField", "menuReporting", "XA_InsNamedField", "XA_InsertFormField", "XA_FieldsMarkers"}},
    {"dxBarGroupBookmarks", {"XA_InsBookmark"}},
    {"dxBarGroupTextBox", {"XA_InsertTextBox"}},
    {"dxBarGroupThesaurus", {"XA_SpellThesaurus"}},
    {"dxBarGroupFileMode", {"XA_Save", "XA_SaveAs"}},
    {"dxBarGroupStringMode", {"XA_SaveToString"}},
    {"dxBarGroupTable",
     {"menuTable", "XA_CreateTable", "WPAInsRow1", "WPAInsCol1", "WPADelRow1", "WPADelCol1", "WPASplitCells1",
      "WPACombineCell1", "WPABAllOff1", "WPABOuter1", "WPABInner1", "WPABTop1", "WPABBottom1", "WPABLeft1",
      "WPABRight1", "WPASelectRow1", "WPASelectColumn1", "XA_SelectTable", "XA_SplitTable"}},
    {"dxBarGroupRulers", {"ShowHorzRuler1", "ShowVertRuler1"}},
    {"dxBarGroupMultiPageMode",
     {"XA_InsPageBreak", "menuInsertNumbers", "XA_FInsPage", "XA_FInsNextPage", "XA_FInsPriorPage",
      "XA_FInsNumPages"}},
    {"dxBarGroupHeaderFooter", {"XA_ManageHeaderFooter"}},
    {"dxBarGroupDocumentProperties", {"XA_DocProp"}},
    {"dxBarGroupExport", {"XA_ExportFile"}},
    {"dxBarGroupAllowNew", {"XA_New", "XA_CloseFile"}},
    {"dxBarGroupAllowOpen", {"XA_Load"}},
};

// Items with handlers of the frame's own, and those never shown.
const char *const OwnItems[] = {"btnFonSizeUp", "btnFontSizeDown", "CloseApp1", "ShowHorzRuler1",
                                "ShowVertRuler1", "MailTo1", "ShowThumbNails1", "ShowGutter1"};
const char *const NeverShown[] = {"ShowThumbNails1", "ShowGutter1"};

// Submenus and bars whose captions come from the language component.
struct CaptionDef
{
    const char *Item;
    const char *TextId;
};
const CaptionDef Captions[] = {
    {"menuEditDelete", "IDS_Delete"},       {"menuTableDelete", "IDS_Delete"},
    {"menuEditSelect", "IDS_SelectAll"},    {"menuTableSelect", "IDS_SelectAll"},
    {"menuInsert", "IDS_Insert"},           {"menuTableInsert", "IDS_Insert"},
    {"menuFormat", "IDS_Format"},           {"menuInsertFields", "IDS_Fields"},
    {"menuFormatColumns", "IDS_Columns"},   {"menuInsertNumbers", "IDS_Numbers"},
    {"menuFormatGraphic", "IDS_GraphicOptions"}, {"menuFormatCaps", "IDS_Capitalisation"},
    {"btnFonSizeUp", "IDS_FontSizeUp"},     {"btnFontSizeDown", "IDS_FontSizeDown"},
    {"menuFontColor", "IDS_FontColor"},     {"menuBkColor", "IDS_FontBkColor"},
    {"menuParColor", "IDS_ParColor"},       {"menuFile", "IDS_File"},
    {"menuEdit", "IDS_Edit"},               {"menuView", "IDS_View"},
    {"menuExtras", "IDS_Extras"},           {"menuReporting", "IDS_Reporting"},
    {"menuTable", "IDS_Table"},
};

// A proxy shows a shared action: its text, icon, hint, enabled and checked
// state follow it, and triggering the proxy triggers the shared action for
// this frame's editor. Shortcuts work while the focus is in the frame.
void bindProxy(QAction *proxy, QAction *shared, QWidget *frame,
               const std::function<void(const std::function<void()> &)> &forEditor)
{
    const auto sync = [proxy, shared] {
        const QSignalBlocker block(proxy);
        proxy->setText(shared->text());
        proxy->setIcon(shared->icon());
        proxy->setToolTip(shared->toolTip());
        proxy->setStatusTip(shared->statusTip());
        proxy->setCheckable(shared->isCheckable());
        proxy->setChecked(shared->isChecked());
        proxy->setEnabled(shared->isEnabled());
    };
    sync();
    QObject::connect(shared, &QAction::changed, proxy, sync);
    QObject::connect(proxy, &QAction::triggered, shared, [shared, forEditor, sync] {
        forEditor([shared] { shared->trigger(); });
        sync(); // a checkable proxy toggled itself: the shared state decides
    });
    proxy->setShortcuts(shared->shortcuts());
    proxy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    frame->addAction(proxy);
}

} // namespace

// ---- item groups ----------------------------------------------------------------

void TWPItemGroup::Add(QAction *item)
{
    if (item && !m_items.contains(item))
        m_items << item;
}

void TWPItemGroup::SetVisible(bool visible)
{
    m_visible = visible;
    for (QAction *a : std::as_const(m_items))
        a->setVisible(visible);
}

// ---- the frame ----------------------------------------------------------------------

struct TfrmQEWPRichText::Private
{
    explicit Private(TfrmQEWPRichText *owner) : q(owner) {}

    TfrmQEWPRichText *q;
    Ui::frmQEWPRichText ui;
    TdWPRichText *editor = nullptr;
    TWPRuler *ruler = nullptr;
    TWPVertRuler *vruler = nullptr;
    QLabel *status = nullptr;
    TWPEditBoxLinkCollection *links = nullptr;
    std::map<QString, std::unique_ptr<TWPItemGroup>> groups;
    QHash<QString, QComboBox *> combos;
    QHash<QString, QAction *> items; // every named item of the form
    QMenu *objects = nullptr;
    QMenu *graphics = nullptr;

    TQERFDialogMode mode = rtfDlgDialog;
    bool viewerOnly = false;
    bool readOnly = false;
    bool showSaveButton = true;
    bool needSave = false;
    bool webPage = false;
    bool changingMode = false;
    QPointer<TWPSuperMerge> superMerge;
    std::unique_ptr<THTMLImages> htmlImages;

    TdmQEWPActions *actions() const { return GlobalWPDefaultActions()->Actions(); }

    TWPItemGroup *group(const char *name) { return groups.at(QString::fromLatin1(name)).get(); }

    // Runs fn with this frame's editor as the actions' current editor,
    // whichever editor has the focus: an item of this frame acts on its
    // own text. The actions' states are those of this editor meanwhile.
    void withEditor(const std::function<void()> &fn)
    {
        TdmQEWPActions *module = actions();
        const TWPGetCurrentEditor kept = module->OnGetWPRichText;
        QPointer<TdWPRichText> ed = editor;
        module->OnGetWPRichText = [ed](QObject *, TWPRichText *&r) { r = ed; };
        module->UpdateActions();
        fn();
        module->OnGetWPRichText = kept;
        module->UpdateActions();
    }


    void buildEditor()
    {
        editor = new TdWPRichText;
        editor->setObjectName(QStringLiteral("WPRichText1"));
        ruler = new TWPRuler;
        ruler->setObjectName(QStringLiteral("WPRuler1"));
        vruler = new TWPVertRuler;
        vruler->setObjectName(QStringLiteral("WPVertRuler1"));
        ruler->SetRichText(editor);
        vruler->SetRichText(editor);
        auto *grid = new QGridLayout(ui.centralwidget);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setSpacing(0);
        grid->addWidget(ruler, 0, 0, 1, 2);
        grid->addWidget(vruler, 1, 0);
        grid->addWidget(editor, 1, 1);

        // The editor as the frame has it at design time.
        TWPPageSetup &ps = editor->Document().PageSetup(0);
        ps.PageWidth = 11906;
        ps.PageHeight = 16838;
        ps.MarginLeft = ps.MarginRight = 1882;
        editor->SetEditOptions(wpDefaultEditOptions);
        editor->SetFormatOptions(wpDisableAutosizeTables | wpNoMinimumCellPadding);
        editor->SetViewOptions(wpShowGridlines | wpTraditionalMisspellMarkers);
        editor->setContextMenuPolicy(Qt::CustomContextMenu);

        status = new QLabel;
        ui.dxStatusBar->addWidget(status, 1);
        ui.dxStatusBar->setFixedHeight(THiDPIFormHelper::ScaleDesignDimToDPI(q, 20, true));
        const auto updateStatus = [this] {
            status->setText(QStringLiteral("%1 %").arg(editor->Zoom()));
        };
        QObject::connect(editor, &TWPRichText::ZoomChanged, q, updateStatus);
        updateStatus();
        QObject::connect(editor, &TWPRichText::TextChanged, q, [this] {
            if (q->OnChange)
                q->OnChange(q);
        });
        QObject::connect(editor, &QWidget::customContextMenuRequested, q, [this](const QPoint &at) {
            const QTextCursor c = editor->TextCursor();
            QTextCursor probe(c);
            probe.setPosition(c.selectionStart() + 1);
            const bool picture = c.selectionEnd() - c.selectionStart() == 1 && probe.charFormat().isImageFormat();
            (picture ? graphics : objects)->popup(editor->mapToGlobal(at));
        });
    }

    void collectItems()
    {
        for (QAction *a : q->findChildren<QAction *>())
            if (!a->objectName().isEmpty())
                items.insert(a->objectName(), a);
        for (QMenu *m : q->findChildren<QMenu *>())
            if (!m->objectName().isEmpty())
                items.insert(m->objectName(), m->menuAction());
    }

    void bindItems()
    {
        TWPActionList *shared = actions()->StdActions();
        for (auto it = items.cbegin(); it != items.cend(); ++it) {
            if (QAction *source = shared->ActionByName(it.key()); source && source != it.value())
                bindProxy(it.value(), source, q, [this](const std::function<void()> &fn) { withEditor(fn); });
        }
        QObject::connect(item("btnFonSizeUp"), &QAction::triggered, q, [this] { q->FontSizeUp(); });
        QObject::connect(item("btnFontSizeDown"), &QAction::triggered, q, [this] { q->FontSizeDown(); });
        QObject::connect(item("CloseApp1"), &QAction::triggered, q, &QWidget::close);
        QObject::connect(item("ShowHorzRuler1"), &QAction::toggled, ruler, &QWidget::setVisible);
        QObject::connect(item("ShowVertRuler1"), &QAction::toggled, vruler, &QWidget::setVisible);
        for (const char *name : NeverShown)
            item(name)->setVisible(false);
    }

    QAction *item(const char *name) const { return items.value(QString::fromLatin1(name)); }

    void buildCombos()
    {
        QToolBar *bar = ui.dxBarManagerBar13;
        QAction *first = bar->actions().value(0);
        for (const ComboDef &c : Combos) {
            auto *box = new QComboBox(bar);
            const QString name = QString::fromLatin1(c.Action);
            box->setObjectName(u"cbx"_qs + name);
            box->setEditable(c.Editable);
            box->setInsertPolicy(QComboBox::NoInsert);
            int width = THiDPIFormHelper::ScaleDesignDimToDPI(q, c.DesignWidth, true);
            if (name == u"WPAFontSize"_qs || name == u"WPAHTMLFontSize"_qs)
                width /= 2;
            box->setFixedWidth(width);
            box->setFocusPolicy(Qt::ClickFocus);
            QAction *holder = bar->insertWidget(first, box);
            holder->setObjectName(box->objectName());
            items.insert(box->objectName(), holder);
            combos.insert(name, box);
            if (auto *action = comboAction(name))
                box->setToolTip(action->text());
        }
    }

    TWPToolsCustomEditContolAction *comboAction(const QString &name) const
    {
        return qobject_cast<TWPToolsCustomEditContolAction *>(actions()->Action(name));
    }

    // The colour submenus of the context menu: picking applies through the
    // colour box's action.
    QMenu *colourMenu(const char *name, const char *action)
    {
        auto *m = new QMenu(q);
        m->setObjectName(QString::fromLatin1(name));
        const QString actionName = QString::fromLatin1(action);
        QObject::connect(m, &QMenu::aboutToShow, m, [this, m, actionName] {
            m->clear();
            TWPToolsCustomEditContolAction *a = comboAction(actionName);
            if (!a)
                return;
            for (const QString &text : a->Items())
                m->addAction(text, q, [this, a, text] { withEditor([a, text] { a->ApplyText(text); }); });
        });
        items.insert(m->objectName(), m->menuAction());
        return m;
    }

    void buildContextMenus()
    {
        objects = new QMenu(q);
        objects->setObjectName(QStringLiteral("dxBarPopupMenuObjects"));
        objects->addAction(item("WPACut1"));
        objects->addAction(item("WPACopy1"));
        objects->addAction(item("WPAPaste1"));
        objects->addMenu(ui.menuEditDelete);
        objects->addSeparator();
        objects->addMenu(ui.menuEditSelect);
        objects->addMenu(ui.menuInsert);
        objects->addMenu(ui.menuFormat);
        objects->addSeparator();
        objects->addMenu(colourMenu("menuFontColor", "WPAFontColor"));
        objects->addMenu(colourMenu("menuBkColor", "WPABkColor"));
        objects->addMenu(colourMenu("menuParColor", "WPAParColor"));
        objects->addSeparator();
        objects->addAction(item("XA_HTMLPageSetup"));
        graphics = new QMenu(q);
        graphics->setObjectName(QStringLiteral("dxBarPopupMenuGraphics"));
        graphics->addMenu(ui.menuFormatGraphic);
    }

    void buildGroups()
    {
        for (const GroupDef &g : Groups) {
            auto group = std::make_unique<TWPItemGroup>();
            for (const char *name : g.Items)
                group->Add(item(name));
            groups.emplace(QString::fromLatin1(g.Name), std::move(group));
        }
    }

    // What a caption id reads in the current language.
    QString text(const char *id) const
    {
        const QString s = actions()->siLang()->GetText(QString::fromLatin1(id));
        return s.isEmpty() ? QString::fromLatin1(id) : s;
    }

    void updateReadOnlySettings()
    {
        const bool locked = readOnly || viewerOnly;
        unsigned view = editor->ViewOptions();
        view = locked ? view & ~unsigned(wpShowGridlines) : view | wpShowGridlines;
        editor->SetViewOptions(view);
        editor->SetOneClickHyperlink(webPage && locked);
    }

    // The bars as the modes have them.
    void showBars()
    {
        for (QToolBar *bar : q->findChildren<QToolBar *>(Qt::FindDirectChildrenOnly))
            bar->setVisible(!viewerOnly && bar->property("Tag").toInt() == 0);
        ui.dxBarMainMenu->setVisible(!viewerOnly && mode == rtfDlgDialog);
    }

    // The visible size box (point sizes, or HTML sizes for web pages) one
    // step up or down: a text that is no number counts as 10 going up and
    // 1 going down, and nothing goes below 1.
    void stepFontSize(int step)
    {
        const QString name = webPage ? u"WPAHTMLFontSize"_qs : u"WPAFontSize"_qs;
        QComboBox *box = combos.value(name);
        TWPToolsCustomEditContolAction *a = comboAction(name);
        if (!box || !a)
            return;
        a->FillItems();
        bool ok = false;
        int size = box->currentText().toInt(&ok);
        if (!ok)
            size = step > 0 ? 10 : 1;
        if (step < 0 && size <= 1)
            return;
        const QString text = QString::number(size + step);
        withEditor([&] { a->ApplyText(text); });
        box->setCurrentText(text);
    }

    // In place the frame fills its parent, following its size.
    QPointer<QWidget> watched;
    void fillParent()
    {
        QWidget *parent = q->parentWidget();
        if (watched != parent) {
            if (watched)
                watched->removeEventFilter(q);
            watched = parent;
            if (parent)
                parent->installEventFilter(q);
        }
        if (mode == rtfDlgInplace && parent)
            q->setGeometry(parent->rect());
    }
};

TfrmQEWPRichText::TfrmQEWPRichText(QWidget *parent)
    : QMainWindow(nullptr), d(new Private(this))
{
    GlobalWPDefaultActions();
    d->ui.setupUi(this);
    d->buildEditor();
    d->buildCombos();
    d->collectItems();
    d->buildContextMenus();
    d->bindItems();
    d->buildGroups();

    // The pictures of an HTML save are named by the frame while it saves.
    d->editor->Edit().OnPrepareHTMLWriter = [this](TWPHTMLWriter &w) {
        if (d->htmlImages && d->htmlImages->WriteImages)
            w.OnImage = [this](const TWPHTMLImage &image) { return d->htmlImages->SaveImage(image); };
    };
    d->readOnly = false;
    d->links = new TWPEditBoxLinkCollection(this, [this](QObject *sender, QWidget *editor, int msg) {
        EditBoxStateMsg(sender, editor, msg);
    });
    d->links->Add(d->editor);

    for (const char *name : {"dxBarGroupPrinterFonts", "dxBarGroupTrueTypeFonts", "dxBarGroupReserved",
                             "dxBarGroupReporting", "dxBarGroupBookmarks", "dxBarGroupThesaurus"})
        d->group(name)->SetVisible(false);
    d->showSaveButton = true;
    SetFileMode(false);
    SetEnableWordProcessor(false);
    SetEnabledWebPageMode(false);
    d->group("dxBarGroupTextBox")->SetVisible(false);
    SetDialogMode(rtfDlgDialog);
    GlobalRegisterEditBox(d->editor);
    // Formatting on a second row (set here: the form's breaks do not survive
    // the window flags changing).
    insertToolBarBreak(d->ui.dxBarManagerBar9);
    d->showBars();
    if (parent)
        setParent(parent); // switches to in place (changeEvent)
}

TfrmQEWPRichText::~TfrmQEWPRichText()
{
    // The editor loses the focus while the window's children go, when this
    // is no frame any more: its links go first.
    delete d->links;
    d->links = nullptr;
    GlobalUnRegisterEditBox(d->editor);
}

HRESULT TfrmQEWPRichText::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<IQERichTextOwner>(this, iid, obj))
        return S_OK;
    return TComponentInterfaced::QueryInterface(iid, obj);
}

TdWPRichText *TfrmQEWPRichText::WPRichText1() const { return d->editor; }
TWPRuler *TfrmQEWPRichText::WPRuler1() const { return d->ruler; }
TWPVertRuler *TfrmQEWPRichText::WPVertRuler1() const { return d->vruler; }
QAction *TfrmQEWPRichText::Item(const QString &name) const { return d->items.value(name); }
QToolBar *TfrmQEWPRichText::Bar(const QString &name) const { return findChild<QToolBar *>(name); }

TWPItemGroup *TfrmQEWPRichText::Group(const QString &name) const
{
    const auto it = d->groups.find(name);
    return it == d->groups.end() ? nullptr : it->second.get();
}

QComboBox *TfrmQEWPRichText::Combo(const QString &actionName) const { return d->combos.value(actionName); }
QMenu *TfrmQEWPRichText::ObjectsMenu() const { return d->objects; }
QMenu *TfrmQEWPRichText::GraphicsMenu() const { return d->graphics; }

// ---- IQERichTextOwner -------------------------------------------------------------

void TfrmQEWPRichText::SaveToString(QObject *, TWPRichText *RichText)
{
    if (RichText != d->editor)
        return;
    d->needSave = d->editor->Modified();
    if (d->needSave && OnSave)
        OnSave(this);
}

void TfrmQEWPRichText::ExportTo(QObject *Sender, TWPRichText *RichText)
{
    if (RichText != d->editor)
        return;
    d->withEditor([&] { d->actions()->XA_SaveAsExecute(Sender); });
}

QObject *TfrmQEWPRichText::GetSuperMerge() { return d->superMerge; }

// ---- properties ---------------------------------------------------------------------

QString TfrmQEWPRichText::Title() const { return windowTitle(); }
void TfrmQEWPRichText::SetTitle(const QString &value) { setWindowTitle(value); }

QString TfrmQEWPRichText::Language() const
{
    const QString code = WPGlobalLanguage();
    return code == u"DE"_qs   ? u"German"_qs
           : code == u"FR"_qs ? u"Francais"_qs
           : code == u"IT"_qs ? u"Italian"_qs
                              : u"English"_qs;
}

void TfrmQEWPRichText::SetLanguage(const QString &name)
{
    d->actions()->LoadLanguage(name);
    for (const CaptionDef &c : Captions) {
        if (QAction *a = d->item(c.Item)) {
            a->setText(d->text(c.TextId));
            if (QMenu *m = a->menu())
                m->setTitle(a->text());
        }
    }
    d->ui.dxBarManagerBar1->setWindowTitle(d->text("IDS_Format"));
    for (TWPToolsCustomEditContolAction *a :
         {d->comboAction(u"WPAFontColor"_qs), d->comboAction(u"WPABkColor"_qs), d->comboAction(u"WPAParColor"_qs)})
        if (a)
            a->AutomaticText = d->text("IDS_AutoColorText");
}

TQERFDialogMode TfrmQEWPRichText::DialogMode() const { return d->mode; }

void TfrmQEWPRichText::SetDialogMode(TQERFDialogMode mode)
{
    d->mode = mode;
    d->changingMode = true;
    const bool shown = isVisible();
    if (mode == rtfDlgInplace) {
        setWindowFlags(Qt::Widget);
        statusBar()->setVisible(false);
        d->fillParent();
    } else {
        setWindowFlags(Qt::Dialog);
        setWindowModality(Qt::ApplicationModal);
        statusBar()->setVisible(!d->viewerOnly);
    }
    d->changingMode = false;
    d->showBars();
    if (shown)
        show();
}

bool TfrmQEWPRichText::ViewerOnly() const { return d->viewerOnly; }

void TfrmQEWPRichText::SetViewerOnly(bool value)
{
    d->viewerOnly = value;
    d->editor->SetReadOnly(d->readOnly || value);
    statusBar()->setVisible(!value && d->mode == rtfDlgDialog);
    d->updateReadOnlySettings();
    d->showBars();
}

bool TfrmQEWPRichText::EnabledWebPageMode() const { return d->webPage; }

void TfrmQEWPRichText::SetEnabledWebPageMode(bool value)
{
    d->webPage = value;
    d->group("dxBarGroupHTML")->SetVisible(value);
    // Web pages: links keep the page's own look; else underlined in blue.
    d->editor->SetHyperlinkUnderlineColor(value ? QColor() : QColor(Qt::blue));
    d->item("cbxWPAHTMLFontSize")->setVisible(value);
    d->item("cbxWPAFontSize")->setVisible(!value);
    d->editor->SetWantTabs(!value);
    d->updateReadOnlySettings();
}

bool TfrmQEWPRichText::EnableWordProcessor() const { return d->group("dxBarGroupWordProcessor")->Visible(); }

void TfrmQEWPRichText::SetEnableWordProcessor(bool value)
{
    TWPDocument &doc = d->editor->Document();
    TWPPageSetup &ps = doc.PageSetup(doc.SectionAt(d->editor->TextCursor().position()));
    if (value) {
        // The section's defaults: the frame's design margins.
        ps.MarginLeft = ps.MarginRight = 1882;
        ps.MarginTop = ps.MarginBottom = 1440;
        d->editor->SetZoomMode(-12);
    } else {
        ps.MarginLeft = ps.MarginTop = ps.MarginRight = ps.MarginBottom = 0;
        d->editor->SetZoomMode(-18);
    }
    d->editor->ReformatAll();
    for (const char *name : {"dxBarGroupWordProcessor", "dxBarGroupRulers", "dxBarGroupHeaderFooter",
                             "dxBarGroupMultiPageMode", "dxBarGroupDocumentProperties"})
        d->group(name)->SetVisible(value);
    for (const char *name : NeverShown)
        d->item(name)->setVisible(false);
    d->ruler->setVisible(value);
    d->vruler->setVisible(value);
    d->item("ShowHorzRuler1")->setChecked(value);
    d->item("ShowVertRuler1")->setChecked(value);
}

bool TfrmQEWPRichText::FileMode() const { return d->group("dxBarGroupFileMode")->Visible(); }

void TfrmQEWPRichText::SetFileMode(bool value)
{
    d->group("dxBarGroupFileMode")->SetVisible(value);
    d->group("dxBarGroupStringMode")->SetVisible(!value && d->showSaveButton);
}

bool TfrmQEWPRichText::ShowSaveButton() const { return d->showSaveButton; }

void TfrmQEWPRichText::SetShowSaveButton(bool value)
{
    if (d->showSaveButton == value)
        return;
    d->showSaveButton = value;
    if (!FileMode())
        SetFileMode(false);
}

bool TfrmQEWPRichText::Modified() const { return d->editor->Modified(); }
void TfrmQEWPRichText::SetModified(bool value) { d->editor->SetModified(value); }
bool TfrmQEWPRichText::NeedSave() const { return d->needSave; }
void TfrmQEWPRichText::SetNeedSave(bool value) { d->needSave = value; }
bool TfrmQEWPRichText::ReadOnly() const { return d->editor->ReadOnly(); }

void TfrmQEWPRichText::SetReadOnly(bool value)
{
    d->readOnly = value;
    d->editor->SetReadOnly(value || d->viewerOnly);
    d->updateReadOnlySettings();
}

QString TfrmQEWPRichText::RTFText() const
{
    return QString::fromLatin1(d->editor->Edit().SaveToBytes(u"RTF"_qs));
}

void TfrmQEWPRichText::SetRTFText(const QString &value)
{
    if (value.isEmpty())
        d->editor->Clear();
    else
        d->editor->LoadFromString(value, u"RTF"_qs);
}

QString TfrmQEWPRichText::PlainText() const { return d->editor->PlainText(); }

void TfrmQEWPRichText::SetPlainText(const QString &value)
{
    if (value.isEmpty())
        d->editor->Clear();
    else
        d->editor->LoadFromString(value, u"TXT"_qs);
}

TWPSuperMerge *TfrmQEWPRichText::SuperMerge() const { return d->superMerge; }

void TfrmQEWPRichText::SetSuperMerge(TWPSuperMerge *engine)
{
    d->superMerge = engine;
    if (engine)
        engine->SetSourceDest(&d->editor->Document());
    d->group("dxBarGroupReporting")->SetVisible(engine != nullptr);
}

// ---- loading, saving, printing ---------------------------------------------------------

bool TfrmQEWPRichText::LoadHTMLFromFile(const QString &FileName)
{
    return d->editor->LoadFromFile(FileName, false, u"HTML"_qs);
}

bool TfrmQEWPRichText::LoadRTFFromFile(const QString &FileName)
{
    return d->editor->LoadFromFile(FileName, false, u"RTF"_qs);
}

bool TfrmQEWPRichText::LoadHTMLFromStr(const QString &Text)
{
    const bool ok = zor::LoadHTMLFromStr(d->editor->Edit(), Text);
    d->editor->ReformatAll();
    return ok;
}

bool TfrmQEWPRichText::SaveAsRTFFile(const QString &FileName)
{
    return d->editor->SaveToFile(FileName, false, u"RTF"_qs);
}

bool TfrmQEWPRichText::SaveAsDOCFile(const QString &FileName) { return SaveAsRTFFile(FileName); }

bool TfrmQEWPRichText::SaveAsTextFile(const QString &FileName)
{
    return d->editor->SaveToFile(FileName, false, u"TXT"_qs);
}

bool TfrmQEWPRichText::SaveAsHTMLFile(const QString &FileName, const QString &, const QString &ImagePrefix)
{
    d->htmlImages = std::make_unique<THTMLImages>();
    d->htmlImages->AutoClear = false;
    d->htmlImages->BaseFolder = QFileInfo(FileName).absolutePath();
    d->htmlImages->NamePrefix = ImagePrefix;
    const bool ok = d->editor->SaveToFile(FileName, false, TWPRichTextReportHelper::GetHTMLSaveWPFormat(false, false, true));
    d->htmlImages.reset();
    return ok;
}

QString TfrmQEWPRichText::SaveAsHTMLStr(const QString &BaseFolder, const QString &, const QString &ImagePrefix)
{
    d->htmlImages = std::make_unique<THTMLImages>();
    d->htmlImages->AutoClear = false;
    d->htmlImages->BaseFolder = BaseFolder;
    d->htmlImages->NamePrefix = ImagePrefix;
    QByteArray html;
    QBuffer buffer(&html);
    buffer.open(QIODevice::WriteOnly);
    d->editor->SaveToStream(buffer, TWPRichTextReportHelper::GetHTMLSaveWPFormat(false, false, true));
    d->htmlImages.reset();
    return QString::fromUtf8(html);
}

bool TfrmQEWPRichText::ExportToPDF(const QString &FileName, int LeftMargin, int TopMargin, int RightMargin,
                                   int BottomMargin, TPDFPageOrientation Orientation, TPDFPageSize PageSize,
                                   const QString &Title, const QString &Author, const QString &Subject,
                                   const QString &Keywords, bool ShowDialog)
{
    return d->actions()->ExportToPDF(d->editor, FileName, LeftMargin, TopMargin, RightMargin, BottomMargin,
                                     Orientation, PageSize, Title, Author, Subject, Keywords, ShowDialog);
}

bool TfrmQEWPRichText::Print()
{
    if (!WPPrintEditor(*d->editor, false)) {
        MessageDlg(u"No default printer is set up."_qs, mtError, mbOK);
        return false;
    }
    return true;
}

void TfrmQEWPRichText::PrintTo() { WPPrintEditor(*d->editor, true); }
void TfrmQEWPRichText::PrintPreview() { d->actions()->PrintPreview(d->editor); }

// ---- font size buttons -----------------------------------------------------------------

void TfrmQEWPRichText::FontSizeUp() { d->stepFontSize(+1); }
void TfrmQEWPRichText::FontSizeDown() { d->stepFontSize(-1); }

// ---- events ----------------------------------------------------------------------------

void TfrmQEWPRichText::EditBoxStateMsg(QObject *, QWidget *Editor, int Msg)
{
    if (Msg != wpAfterGetFocus || !qobject_cast<TWPRichText *>(Editor))
        return;
    for (auto it = d->combos.cbegin(); it != d->combos.cend(); ++it)
        if (TWPToolsCustomEditContolAction *a = d->comboAction(it.key()))
            a->SetControl(it.value());
}

void TfrmQEWPRichText::PostShowBandDialog()
{
    QCoreApplication::postEvent(this, new QEvent(ShowBandDialogEvent));
}

bool TfrmQEWPRichText::event(QEvent *e)
{
    if (e->type() == ShowBandDialogEvent) {
        d->withEditor([this] { d->actions()->XA_ShowRepBandExecute(d->actions()->Action(u"XA_ShowRepBand"_qs)); });
        return true;
    }
    if (e->type() == QEvent::Resize || e->type() == QEvent::Show)
        d->fillParent();
    return QMainWindow::event(e);
}

void TfrmQEWPRichText::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (!parentWidget() && d->editor->isEnabled())
        d->editor->setFocus(Qt::OtherFocusReason);
    // The boxes attach to their actions for this frame's editor.
    d->links->SendMessage(d->editor, wpAfterGetFocus);
    QAction *asYouGo = d->actions()->Action(u"XA_SpellAsYouGo"_qs);
    if (asYouGo && d->actions()->WPSpellController1())
        d->actions()->SpellCommand(*d->editor, asYouGo->isChecked() && !d->viewerOnly ? 2 : 3);
    if (d->superMerge)
        PostShowBandDialog();
}

void TfrmQEWPRichText::closeEvent(QCloseEvent *e)
{
    if (d->mode == rtfDlgDialog && d->showSaveButton && d->editor->Modified()) {
        switch (MessageDlg(u"Möchten Sie die Änderungen speichern?"_qs, mtConfirmation, mbYes | mbNo | mbCancel)) {
        case mrCancel:
            e->ignore();
            return;
        case mrYes:
            if (FileMode()) {
                d->withEditor([this] { d->actions()->XA_SaveExecute(d->actions()->Action(u"XA_Save"_qs)); });
            } else {
                SaveToString(this, d->editor);
            }
            break;
        default:
            break;
        }
    }
    // The band dialog goes with the frame whose template it shows.
    if (auto *bands = qobject_cast<TWPReportBandsDialog *>(d->actions()->Dialog(u"TWPReportBandsDialog"_qs));
        bands && d->superMerge && bands->SuperMerge() == d->superMerge)
        bands->Close();
    QMainWindow::closeEvent(e);
}

void TfrmQEWPRichText::changeEvent(QEvent *e)
{
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::ParentChange)
        return;
    if (!d->changingMode && parentWidget() && d->mode != rtfDlgInplace)
        SetDialogMode(rtfDlgInplace);
    d->fillParent();
}

bool TfrmQEWPRichText::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == d->watched && e->type() == QEvent::Resize)
        d->fillParent();
    return QMainWindow::eventFilter(watched, e);
}

// ---- external rich editor ----------------------------------------------------------------

std::function<void(TfrmQEWPRichText &)> &TExternalRichEditor::ShowModal()
{
    static std::function<void(TfrmQEWPRichText &)> show = [](TfrmQEWPRichText &frame) {
        frame.setAttribute(Qt::WA_DeleteOnClose, false);
        frame.show();
        QEventLoop loop;
        QObject::connect(&frame, &QObject::destroyed, &loop, &QEventLoop::quit);
        while (frame.isVisible())
            loop.processEvents(QEventLoop::WaitForMoreEvents);
    };
    return show;
}

bool TExternalRichEditor::ShowEditor(TWPRichText *Edit)
{
    if (!Edit)
        return false;
    TfrmQEWPRichText frame;
    FForm = &frame;
    FSource = Edit;
    frame.SetDialogMode(rtfDlgDialog);
    frame.SetFileMode(false);
    frame.SetShowSaveButton(true);
    const QByteArray text = Edit->Edit().SaveToBytes(u"WPTOOLS"_qs);
    frame.WPRichText1()->Edit().LoadFromBytes(text, u"WPTOOLS"_qs);
    frame.WPRichText1()->ReformatAll();
    frame.SetModified(false);
    frame.OnSave = [this](TfrmQEWPRichText *sender) { DoOnSave(sender); };
    FSaved = false;
    ShowModal()(frame);
    FForm = nullptr;
    return FSaved;
}

void TExternalRichEditor::DoOnSave(TfrmQEWPRichText *Sender)
{
    const QByteArray text = Sender->WPRichText1()->Edit().SaveToBytes(u"WPTOOLS"_qs);
    FSource->Edit().LoadFromBytes(text, u"WPTOOLS"_qs);
    FSource->ReformatAll();
    FSource->SetModified(true);
    FSaved = true;
}

void DoShowZORExternalRichEditor(QObject *, TWPRichText *Edit, bool &Saved)
{
    TExternalRichEditor editor;
    Saved = editor.ShowEditor(Edit);
}

TShowExternalRichEditor &ShowExternalRichEditorHook()
{
    static TShowExternalRichEditor hook; // set at start-up
    return hook;
}

QString cxWPToolsEditShowEditorCaption() { return u"Editieren..."_qs; }

} // namespace zor
