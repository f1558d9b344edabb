#include "ZORHtmlEditor.h"
#include "ZORHtmlEditor_p.h"
#include "ZORHtmlSourceHighlighter.h"

#include <ZorCompCore/core/ExceptionUtils.h>
#include <ZorCompCore/imaging/widgets/frmZORImagePreview.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/web/ZORClipboardClassifier.h>
#include <ZorCompCore/web/ZORHtmlBlockMap.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFontDatabase>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineView>

namespace zor {

Q_LOGGING_CATEGORY(lcHtmlEditor, "zor.htmleditor", QtInfoMsg)

// ---- guard and page -------------------------------------------------------

void TZORHtmlRequestGuard::interceptRequest(QWebEngineUrlRequestInfo &AInfo)
{
    const QString scheme = AInfo.requestUrl().scheme().toLower();
    const bool local = scheme == u"file" || scheme == u"data" || scheme == u"qrc";
    const bool remote = (scheme == u"http" || scheme == u"https") && AllowRemote.load();
    if (!local && !remote) {
        ++Blocked;
        AInfo.block(true);
    }
}

bool TZORHtmlPage::acceptNavigationRequest(const QUrl &AUrl, NavigationType, bool AIsMainFrame)
{
    const bool ours = AIsMainFrame && !Expected.isEmpty() && AUrl == Expected;
    if (!ours)
        qCDebug(lcHtmlEditor) << "navigation refused:" << AUrl.toDisplayString();
    return ours;
}

void TZORHtmlPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &AMessage, int ALine,
                                            const QString &ASource)
{
    qCDebug(lcHtmlEditor) << "page:" << ASource << ALine << AMessage;
}

// ---- the editor -------------------------------------------------------------

namespace {

const char *commandName(TZORHtmlEditCommand c)
{
    switch (c) {
    case TZORHtmlEditCommand::Bold: return "bold";
    case TZORHtmlEditCommand::Italic: return "italic";
    case TZORHtmlEditCommand::Underline: return "underline";
    case TZORHtmlEditCommand::StrikeThrough: return "strikeThrough";
    case TZORHtmlEditCommand::Subscript: return "subscript";
    case TZORHtmlEditCommand::Superscript: return "superscript";
    case TZORHtmlEditCommand::OrderedList: return "insertOrderedList";
    case TZORHtmlEditCommand::UnorderedList: return "insertUnorderedList";
    case TZORHtmlEditCommand::JustifyLeft: return "justifyLeft";
    case TZORHtmlEditCommand::JustifyCenter: return "justifyCenter";
    case TZORHtmlEditCommand::JustifyRight: return "justifyRight";
    case TZORHtmlEditCommand::JustifyFull: return "justifyFull";
    case TZORHtmlEditCommand::Indent: return "indent";
    case TZORHtmlEditCommand::Outdent: return "outdent";
    case TZORHtmlEditCommand::RemoveFormat: return "removeFormat";
    case TZORHtmlEditCommand::HorizontalRule: return "insertHorizontalRule";
    case TZORHtmlEditCommand::Undo: return "undo";
    case TZORHtmlEditCommand::Redo: return "redo";
    }
    return "";
}

struct CommandInfo
{
    TZORHtmlEditCommand Command;
    const char *Caption;
    const char *Icon; // freedesktop icon name
    bool Checkable;
    QKeySequence::StandardKey Key; // UnknownKey: none
};

const CommandInfo kCommands[] = {
    {TZORHtmlEditCommand::Bold, "Bold", "format-text-bold", true, QKeySequence::Bold},
    {TZORHtmlEditCommand::Italic, "Italic", "format-text-italic", true, QKeySequence::Italic},
    {TZORHtmlEditCommand::Underline, "Underline", "format-text-underline", true, QKeySequence::Underline},
    {TZORHtmlEditCommand::StrikeThrough, "Strike through", "format-text-strikethrough", true, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::Subscript, "Subscript", "format-text-subscript", true, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::Superscript, "Superscript", "format-text-superscript", true, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::OrderedList, "Numbered list", "format-list-ordered", true, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::UnorderedList, "Bulleted list", "format-list-unordered", true, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::JustifyLeft, "Align left", "format-justify-left", true, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::JustifyCenter, "Center", "format-justify-center", true, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::JustifyRight, "Align right", "format-justify-right", true, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::JustifyFull, "Justify", "format-justify-fill", true, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::Indent, "Increase indent", "format-indent-more", false, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::Outdent, "Decrease indent", "format-indent-less", false, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::RemoveFormat, "Clear formatting", "edit-clear", false, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::HorizontalRule, "Horizontal line", "insert-horizontal-rule", false, QKeySequence::UnknownKey},
    {TZORHtmlEditCommand::Undo, "Undo", "edit-undo", false, QKeySequence::Undo},
    {TZORHtmlEditCommand::Redo, "Redo", "edit-redo", false, QKeySequence::Redo},
};

// X11's key symbol of the right Ctrl key.
constexpr quint32 kControlR = 0xffe4;

QString readResource(const QString &name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

QWebEngineScript worldScript(const QString &name, const QString &source, QWebEngineScript::InjectionPoint at)
{
    QWebEngineScript s;
    s.setName(name);
    s.setSourceCode(source);
    s.setWorldId(QWebEngineScript::ApplicationWorld);
    s.setInjectionPoint(at);
    s.setRunsOnSubFrames(false);
    return s;
}

} // namespace

struct TZORHtmlEditor::Private
{
    TZORHtmlEditor *q;
    TZORHtmlEditorCore core;

    QTabWidget *tabs = nullptr;
    QWebEngineView *view = nullptr;
    QWebEngineProfile *profile = nullptr;
    TZORHtmlPage *page = nullptr;
    TZORHtmlRequestGuard *guard = nullptr;
    TZORHtmlBridge *bridge = nullptr;
    QPlainTextEdit *source = nullptr;
    QPointer<QObject> filtered; // the view's focus proxy, once there

    QTemporaryDir documentFolder; // 0700, outside the image folder
    int generation = 0;
    bool loading = false;
    bool loadFailed = false;
    bool initialised = false;
    std::unique_ptr<TZORHtmlBlockMap> blocks;

    bool modified = false;
    int changes = 0;
    bool readOnly = false;
    bool autoHeight = false;
    bool rightControl = false;
    QString sourceShown; // the text put into the source view
    QHash<int, QAction *> actions;

    explicit Private(TZORHtmlEditor *owner) : q(owner) {}

    // Runs AScript in the editor's world and waits for its value.
    QVariant call(const QString &AScript);
    void waitLoaded();
    void load(const QString &AHTML);
    QString serialise();
    // The core's document made current before it is read.
    void sync() { core.SetDocumentHTML(serialise()); }
    void insert(const QString &AFragment);
    void applyStates(const QString &AJson);
    void watchFocusProxy();
    QString quoted(const QString &s) const
    {
        return QString::fromUtf8(QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
    }
};

void TZORHtmlEditor::Private::waitLoaded()
{
    if (loading) {
        QEventLoop loop;
        QTimer::singleShot(EngineTimeout, &loop, &QEventLoop::quit);
        const auto done = QObject::connect(page, &QWebEnginePage::loadingChanged, &loop,
                                           [&loop, this](const QWebEngineLoadingInfo &) {
                                               if (!loading)
                                                   loop.quit();
                                           });
        if (loading)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        QObject::disconnect(done);
        if (loading)
            throw EZORHtmlEditorError(u"The HTML editor's engine did not load the text in time"_qs);
    }
    if (loadFailed)
        throw EZORHtmlEditorError(u"The HTML editor's engine could not load the text"_qs);
    if (!initialised) {
        initialised = true;
        const QVariant signatures = call(u"zorEditor.init(%1)"_qs.arg(readOnly ? u"true" : u"false"));
        if (signatures.typeId() == QMetaType::QVariantList) {
            QStringList list;
            for (const QVariant &v : signatures.toList())
                list << v.toString();
            if (!blocks->Match(list))
                qCDebug(lcHtmlEditor) << "the engine's body does not pair with the source; edits rewrite it";
        }
        watchFocusProxy();
    }
}

QVariant TZORHtmlEditor::Private::call(const QString &AScript)
{
    waitLoaded();
    struct State
    {
        QVariant value;
        bool done = false;
        QPointer<QEventLoop> loop;
    };
    auto state = std::make_shared<State>();
    QEventLoop loop;
    state->loop = &loop;
    page->runJavaScript(AScript, QWebEngineScript::ApplicationWorld, [state](const QVariant &v) {
        state->value = v;
        state->done = true;
        if (state->loop)
            state->loop->quit();
    });
    if (!state->done) {
        QTimer::singleShot(EngineTimeout, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    state->loop = nullptr;
    if (!state->done)
        throw EZORHtmlEditorError(u"The HTML editor's engine did not answer in time"_qs);
    return state->value;
}

void TZORHtmlEditor::Private::load(const QString &AHTML)
{
    blocks = std::make_unique<TZORHtmlBlockMap>(AHTML);
    if (!documentFolder.isValid())
        throw EFCreateError(u"Cannot create the HTML editor's document folder"_qs);
    // A file, not setHtml: that stops at 2 MB. The byte order mark wins over
    // any charset a meta tag names, so the text reads as it was given.
    const QString path = documentFolder.filePath(u"document.html"_qs);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EFCreateError(u"Cannot create file \"%1\". %2"_qs.arg(path, file.errorString()));
    file.write("\xEF\xBB\xBF");
    file.write(AHTML.toUtf8());
    file.close();

    QUrl url = QUrl::fromLocalFile(path);
    url.setQuery(u"load=%1"_qs.arg(++generation)); // tells this load from an earlier one
    page->Expected = url;
    loading = true;
    loadFailed = false;
    initialised = false;
    modified = false;
    changes = 0;
    page->load(url);
}

QString TZORHtmlEditor::Private::serialise()
{
    QVariantMap r = call(u"zorEditor.serialise(false)"_qs).toMap();
    changes = r.value(u"changes"_qs).toInt();
    if (r.value(u"unchanged"_qs).toBool())
        return blocks->Source();
    if (!blocks->Matched())
        r = call(u"zorEditor.serialise(true)"_qs).toMap();
    const QString composed = blocks->Compose(r.value(u"items"_qs).toList());
    if (!composed.isEmpty())
        return composed;
    return call(u"zorEditor.documentHTML()"_qs).toString();
}

void TZORHtmlEditor::Private::insert(const QString &AFragment)
{
    const QVariantMap r = call(u"zorEditor.insert(%1)"_qs.arg(quoted(AFragment))).toMap();
    if (!r.value(u"ok"_qs).toBool())
        return;
    changes = r.value(u"changes"_qs).toInt();
    modified = true;
    Q_EMIT q->Changed();
}

void TZORHtmlEditor::Private::applyStates(const QString &AJson)
{
    const QJsonObject o = QJsonDocument::fromJson(AJson.toUtf8()).object();
    for (const CommandInfo &c : kCommands) {
        QAction *a = actions.value(int(c.Command));
        if (a && c.Checkable)
            a->setChecked(o.value(QLatin1String(commandName(c.Command))).toBool());
    }
    Q_EMIT q->SelectionChanged();
}

void TZORHtmlEditor::Private::watchFocusProxy()
{
    // Chromium's input widget appears with the first page: key, mouse and
    // drop events reach it, not the view.
    QWidget *proxy = view->focusProxy();
    if (proxy && proxy != filtered) {
        proxy->installEventFilter(q);
        proxy->setAcceptDrops(true);
        filtered = proxy;
    }
}

TZORHtmlEditor::TZORHtmlEditor(QWidget *AParent) : QWidget(AParent), d(new Private(this))
{
    d->profile = new QWebEngineProfile(this); // no storage name: off the record
    d->profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    d->profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    d->profile->setSpellCheckEnabled(false);
    d->guard = new TZORHtmlRequestGuard(d->profile);
    d->profile->setUrlRequestInterceptor(d->guard);

    d->page = new TZORHtmlPage(d->profile, this);
    QWebEngineSettings *s = d->page->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true); // the image folder
    s->setAttribute(QWebEngineSettings::XSSAuditingEnabled, true);
    s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
    s->setAttribute(QWebEngineSettings::Accelerated2dCanvasEnabled, false);
    s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    s->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::SpatialNavigationEnabled, false);

    d->bridge = new TZORHtmlBridge(this);
    auto *channel = new QWebChannel(this);
    channel->registerObject(u"bridge"_qs, d->bridge);
    d->page->setWebChannel(channel, QWebEngineScript::ApplicationWorld);
    d->page->scripts().insert(worldScript(u"zor-webchannel"_qs,
                                          readResource(u":/qtwebchannel/qwebchannel.js"_qs),
                                          QWebEngineScript::DocumentCreation));
    d->page->scripts().insert(worldScript(u"zor-editor"_qs, readResource(u":/zor/htmleditor/editor.js"_qs),
                                          QWebEngineScript::DocumentReady));

    connect(d->page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        if (info.url() != d->page->Expected || info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
            return;
        d->loading = false;
        d->loadFailed = info.status() != QWebEngineLoadingInfo::LoadSucceededStatus;
    });
    connect(d->bridge, &TZORHtmlBridge::Changed, this, [this](int count) {
        if (d->loading || !d->initialised)
            return;
        d->changes = count;
        d->modified = true;
        Q_EMIT Changed();
    });
    connect(d->bridge, &TZORHtmlBridge::StatesChanged, this, [this](const QString &json) { d->applyStates(json); });
    connect(d->bridge, &TZORHtmlBridge::HeightChanged, this, [this](int) {
        if (d->autoHeight && !d->loading)
            QTimer::singleShot(0, this, [this] { UpdateAutoSize(); });
    });
    connect(d->bridge, &TZORHtmlBridge::Clicked, this, [this](const QString &json) {
        if (!OnElementClickEx)
            return;
        const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
        TZORHtmlElementInfo info;
        info.TagName = o.value(u"tag"_qs).toString();
        const QJsonObject attributes = o.value(u"attributes"_qs).toObject();
        for (auto it = attributes.begin(); it != attributes.end(); ++it)
            info.Attributes.insert(it.key().toLower(), it.value().toString());
        info.PictureLoaded = o.value(u"loaded"_qs).toBool();
        const QJsonArray r = o.value(u"rect"_qs).toArray();
        if (r.size() == 4)
            info.Rect = QRectF(r[0].toDouble(), r[1].toDouble(), r[2].toDouble(), r[3].toDouble()).toAlignedRect();
        info.OuterHTML = o.value(u"outer"_qs).toString();
        OnElementClickEx(this, info);
    });

    d->view = new QWebEngineView(this);
    d->view->setPage(d->page);
    d->view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(d->view, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.addAction(d->page->action(QWebEnginePage::Undo));
        menu.addAction(d->page->action(QWebEnginePage::Redo));
        menu.addSeparator();
        menu.addAction(d->page->action(QWebEnginePage::Cut));
        menu.addAction(d->page->action(QWebEnginePage::Copy));
        QAction *paste = menu.addAction(QIcon::fromTheme(u"edit-paste"_qs, QIcon(u":/zor/wpicons/edit-paste.svg"_qs)),
                                        tr("Paste"));
        paste->setEnabled(!d->readOnly);
        connect(paste, &QAction::triggered, this, [this] { Paste(); });
        menu.addSeparator();
        menu.addAction(d->page->action(QWebEnginePage::SelectAll));
        menu.exec(d->view->mapToGlobal(at));
    });

    d->source = new QPlainTextEdit(this);
    d->source->setLineWrapMode(QPlainTextEdit::NoWrap);
    d->source->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    new TZORHtmlSourceHighlighter(d->source->document());

    d->tabs = new QTabWidget(this);
    d->tabs->setTabPosition(QTabWidget::South);
    d->tabs->setDocumentMode(true);
    d->tabs->addTab(d->view, tr("Design"));
    d->tabs->addTab(d->source, tr("Source"));
    connect(d->tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1) {
            d->sourceShown = HTMLText();
            d->source->setPlainText(d->sourceShown);
        } else if (d->source->toPlainText() != d->sourceShown) {
            // Leaving the source goes through the setter: edits there are edits.
            SetHTMLText(d->source->toPlainText());
            d->modified = true;
            Q_EMIT Changed();
        }
    });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d->tabs);

    for (const CommandInfo &c : kCommands) {
        // The desktop's icon theme first, else the Breeze icons the library carries.
        const QString icon = QLatin1String(c.Icon);
        auto *a = new QAction(QIcon::fromTheme(icon, QIcon(u":/zor/wpicons/"_qs + icon + u".svg"_qs)), tr(c.Caption), this);
        a->setObjectName(u"HtmlEdit"_qs + QLatin1String(commandName(c.Command)));
        a->setCheckable(c.Checkable);
        if (c.Key != QKeySequence::UnknownKey) {
            a->setShortcut(c.Key);
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        }
        const TZORHtmlEditCommand command = c.Command;
        connect(a, &QAction::triggered, this, [this, command] {
            try {
                Exec(command);
            } catch (Exception &e) {
                TZORExceptionUtils::Show(e);
            }
        });
        d->actions.insert(int(c.Command), a);
        addAction(a);
    }

    d->core.OnLoadDocument = [this](const QString &html) { d->load(html); };
    d->core.OnInsertHTML = [this](const QString &fragment) { d->insert(fragment); };
    d->core.OnBusy = [](bool busy) {
        if (busy)
            QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QGuiApplication::restoreOverrideCursor();
    };
    // The window keeps painting while a picture downloads; input waits.
    d->core.OnWait = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20); };
    d->core.SetHTMLText({});
}

TZORHtmlEditor::~TZORHtmlEditor()
{
    // The page goes before its profile.
    delete d->view;
    delete d->page;
    d->page = nullptr;
}

TZORHtmlEditorCore &TZORHtmlEditor::Core() { return d->core; }

QString TZORHtmlEditor::HTMLText()
{
    if (d->tabs->currentIndex() == 1 && d->source->toPlainText() != d->sourceShown)
        return d->source->toPlainText(); // being edited as source
    d->sync();
    return d->core.HTMLText();
}

void TZORHtmlEditor::SetHTMLText(const QString &AValue)
{
    d->core.SetHTMLText(AValue);
    if (d->tabs->currentIndex() == 1) {
        d->sourceShown = AValue;
        d->source->setPlainText(AValue);
    }
}

QString TZORHtmlEditor::DocumentHTML()
{
    d->sync();
    return d->core.DocumentHTML();
}

bool TZORHtmlEditor::Modified() const { return d->modified; }
void TZORHtmlEditor::SetModified(bool AValue) { d->modified = AValue; }
int TZORHtmlEditor::ChangeCount() const { return d->changes; }

QString TZORHtmlEditor::ImagePath() { return d->core.ImagePath(); }
void TZORHtmlEditor::SetImagePath(const QString &AValue) { d->core.SetImagePath(AValue); }
QString TZORHtmlEditor::InlineImagePrefix() const { return d->core.InlineImagePrefix(); }
void TZORHtmlEditor::SetInlineImagePrefix(const QString &AValue) { d->core.SetInlineImagePrefix(AValue); }
bool TZORHtmlEditor::EmbedImages() const { return d->core.EmbedImages(); }
void TZORHtmlEditor::SetEmbedImages(bool AValue) { d->core.SetEmbedImages(AValue); }
bool TZORHtmlEditor::BodyOnly() const { return d->core.BodyOnly(); }
void TZORHtmlEditor::SetBodyOnly(bool AValue) { d->core.SetBodyOnly(AValue); }
bool TZORHtmlEditor::LinkPaste() const { return d->core.LinkPaste(); }
void TZORHtmlEditor::SetLinkPaste(bool AValue) { d->core.SetLinkPaste(AValue); }
bool TZORHtmlEditor::EmbedPastedImages() const { return d->core.EmbedPastedImages(); }
void TZORHtmlEditor::SetEmbedPastedImages(bool AValue) { d->core.SetEmbedPastedImages(AValue); }
QString TZORHtmlEditor::DefaultBlockTag() const { return d->core.DefaultBlockTag(); }
void TZORHtmlEditor::SetDefaultBlockTag(const QString &AValue) { d->core.SetDefaultBlockTag(AValue); }

bool TZORHtmlEditor::ReadOnly() const { return d->readOnly; }

void TZORHtmlEditor::SetReadOnly(bool AValue)
{
    if (d->readOnly == AValue)
        return;
    d->readOnly = AValue;
    d->source->setReadOnly(AValue);
    if (!d->loading && d->initialised)
        d->call(u"zorEditor.setReadOnly(%1)"_qs.arg(AValue ? u"true" : u"false"));
}

bool TZORHtmlEditor::AllowRemoteContent() const { return d->guard->AllowRemote.load(); }
void TZORHtmlEditor::SetAllowRemoteContent(bool AValue)
{
    // Two locks: the page (a file) may not reach the network, and the guard
    // blocks what gets past that.
    d->page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, AValue);
    d->guard->AllowRemote = AValue;
}

bool TZORHtmlEditor::AutoHeight() const { return d->autoHeight; }

void TZORHtmlEditor::SetAutoHeight(bool AValue)
{
    d->autoHeight = AValue;
    if (!AValue) {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
    }
}

void TZORHtmlEditor::InsertHTML(const QString &AFragment) { d->insert(AFragment); }

void TZORHtmlEditor::Exec(TZORHtmlEditCommand ACommand)
{
    const QVariantMap r = d->call(u"zorEditor.exec('%1')"_qs.arg(QLatin1String(commandName(ACommand)))).toMap();
    if (!r.value(u"ok"_qs).toBool())
        return;
    if (r.value(u"changes"_qs).toInt() != d->changes) {
        d->changes = r.value(u"changes"_qs).toInt();
        d->modified = true;
        Q_EMIT Changed();
    }
    QAction *a = d->actions.value(int(ACommand));
    if (a && a->isCheckable())
        a->setChecked(CommandState(ACommand));
}

bool TZORHtmlEditor::CommandState(TZORHtmlEditCommand ACommand)
{
    return d->call(u"zorEditor.state('%1')"_qs.arg(QLatin1String(commandName(ACommand)))).toBool();
}

void TZORHtmlEditor::ClearHistory()
{
    // Chromium cannot forget its undo steps; a fresh load of the same text can.
    const bool modified = d->modified;
    d->sync();
    d->core.SetHTMLText(d->core.HTMLText());
    d->modified = modified;
}

void TZORHtmlEditor::EnterEditMode()
{
    if (d->tabs->currentIndex() != 0)
        d->tabs->setCurrentIndex(0);
    d->view->setFocus(Qt::OtherFocusReason);
    // The page puts its caret at the start when it gains focus, which comes
    // later than this call: wait for it (bounded) before moving the caret.
    QElapsedTimer waited;
    waited.start();
    while (!d->call(u"document.hasFocus()"_qs).toBool() && waited.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    d->call(u"zorEditor.caretToEnd()"_qs);
}

void TZORHtmlEditor::UpdateAutoSize()
{
    if (!d->autoHeight)
        return;
    const int content = d->call(u"zorEditor.height()"_qs).toInt();
    const int tabBar = d->tabs->tabBar()->isVisible() ? d->tabs->tabBar()->sizeHint().height() : 0;
    const int wanted = qMax(content, 16) + tabBar;
    if (wanted == height())
        return;
    setFixedHeight(wanted);
    if (OnHeightChanged)
        OnHeightChanged(this);
}

QAction *TZORHtmlEditor::Action(TZORHtmlEditCommand ACommand) const { return d->actions.value(int(ACommand)); }

void TZORHtmlEditor::FillImageList(TStringList &AImageList)
{
    d->sync();
    d->core.FillImageList(AImageList);
}

QString TZORHtmlEditor::AddLocalImage(const QString &AFileName, bool AEmbed)
{
    d->sync();
    return d->core.AddLocalImage(AFileName, AEmbed);
}

void TZORHtmlEditor::AddLocalImageLink(const QString &ALocalFileName) { d->core.AddLocalImageLink(ALocalFileName); }

void TZORHtmlEditor::SaveToBinaryStream(TStream &AStream, const TZORHtmlEditorCore::THTMLProcessCode &ABeforeSave)
{
    d->sync();
    d->core.SaveToBinaryStream(AStream, ABeforeSave);
}

void TZORHtmlEditor::LoadFromBinaryStream(TStream &AStream, const TZORHtmlEditorCore::THTMLProcessCode &ABeforeLoad)
{
    d->core.LoadFromBinaryStream(AStream, ABeforeLoad);
}

void TZORHtmlEditor::LoadFromFile(const QString &AFileName, bool AEmbedLocalImages)
{
    d->core.LoadFromFile(AFileName, AEmbedLocalImages);
}

void TZORHtmlEditor::StartLoading() { d->core.StartLoading(); }
void TZORHtmlEditor::EndLoading() { d->core.EndLoading(); }

TZORPasteResult TZORHtmlEditor::PasteText(const QMimeData &AData, bool AControlRightDown)
{
    if (d->readOnly)
        return {};
    d->sync(); // the paste reads the document's style classes and pictures
    return d->core.PasteText(AData, AControlRightDown);
}

void TZORHtmlEditor::Paste()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data)
        return;
    try {
        PasteText(*data, d->rightControl);
    } catch (Exception &e) {
        TZORExceptionUtils::Show(e);
    }
}

bool TZORHtmlEditor::ShowImageElementAsPopUp(const TZORHtmlElementInfo &AElement, QWidget *ARelParent)
{
    if (AElement.TagName != u"img" || !AElement.PictureLoaded)
        return false;
    const QString src = AElement.Attributes.value(u"src"_qs);
    QByteArray bytes;
    if (src.startsWith(u"data:", Qt::CaseInsensitive)) {
        const qsizetype comma = src.indexOf(u',');
        if (comma < 0 || !src.left(comma).endsWith(u";base64", Qt::CaseInsensitive))
            return false;
        bytes = QByteArray::fromBase64(src.mid(comma + 1).toLatin1());
    } else {
        const QString path = LocalPathFromFileURL(src);
        QFile f(path);
        if (path.isEmpty() || f.size() > TZORHtmlEditorCore::MaxLocalImageSize || !f.open(QIODevice::ReadOnly))
            return false;
        bytes = f.readAll();
    }
    try {
        TBytesStream stream(bytes);
        return TfrmZORImagePreview::ShowAsPopUp(stream, src, ARelParent) != nullptr;
    } catch (Exception &) {
        return false;
    }
}

bool TZORHtmlEditor::SourceViewActive() const { return d->tabs->currentIndex() == 1; }
void TZORHtmlEditor::SetSourceViewActive(bool AValue) { d->tabs->setCurrentIndex(AValue ? 1 : 0); }
QWebEngineView *TZORHtmlEditor::View() const { return d->view; }
QPlainTextEdit *TZORHtmlEditor::SourceView() const { return d->source; }

bool TZORHtmlEditor::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AWatched != d->filtered)
        return QWidget::eventFilter(AWatched, AEvent);
    switch (AEvent->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto *key = static_cast<QKeyEvent *>(AEvent);
        if (key->nativeVirtualKey() == kControlR)
            d->rightControl = AEvent->type() == QEvent::KeyPress;
        if (AEvent->type() == QEvent::KeyPress && key->matches(QKeySequence::Paste)) {
            // Our rules, not Chromium's: pictures into the folder, links …
            if (!d->readOnly)
                Paste();
            return true;
        }
        break;
    }
    case QEvent::FocusOut:
        d->rightControl = false;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        // The X11 selection paste would bypass the paste rules.
        if (static_cast<QMouseEvent *>(AEvent)->button() == Qt::MiddleButton)
            return true;
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(AEvent);
        if (d->readOnly)
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(AEvent);
        drop->acceptProposedAction();
        if (!d->readOnly && drop->mimeData()) {
            try {
                const QPointF at = drop->position();
                d->call(u"zorEditor.caretAt(%1, %2)"_qs.arg(at.x()).arg(at.y()));
                PasteText(*drop->mimeData(), false);
            } catch (Exception &e) {
                TZORExceptionUtils::Show(e);
            }
        }
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(AWatched, AEvent);
}

} // namespace zor
