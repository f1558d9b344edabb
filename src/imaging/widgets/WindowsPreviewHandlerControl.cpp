#include "WindowsPreviewHandlerControl.h"

#include <ZorCompCore/core/InterfacedStream.h>
#include <ZorCompCore/platform/ComObj.h>
#include <ZorCompCore/platform/Registry.h>
#include <ZorCompCore/platform/ShellAssoc.h>
#include <ZorCompCore/platform/Stream.h>

#include <QEvent>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>

#include <vector>

namespace zor {

namespace {

const char kPreviewHandlerIid[] = "{8895b1c6-b41f-4c1c-a562-0d564250836f}";

QString PreviewIidText() { return QString::fromLatin1(kPreviewHandlerIid); }

// The four codes a previewer reports about its file get a reason in front.
QString PrefixFor(HRESULT code)
{
    switch (quint32(code)) {
    case 0x86420001u: return QStringLiteral("Blocked by digital rights management. ");
    case 0x86420002u: return QStringLiteral("Blocked by file permissions. ");
    case 0x86420003u: return QStringLiteral("Item was not found. ");
    case 0x86420004u: return QStringLiteral("Item was corrupt. ");
    }
    return {};
}

// Runs one call of the previewer; a failure raises, with the reason in front.
void CheckStep(HRESULT hr)
{
    try {
        OleCheck(hr);
    } catch (EOleSysError &e) {
        e.SetMessage(PrefixFor(e.ErrorCode) + e.Message());
        throw;
    }
}

} // namespace

struct TWindowsPreviewHandlerControl::Private
{
    QString fileName;
    QString pendingFileName;
    QString noPreviewText = TWindowsPreviewHandlerControl::DefaultNoPreviewText();
    QString errorText;
    bool raiseErrors = false;
    bool destroying = false;
    bool created = false;
    IPtr<IPreviewHandler> handler;
    // Counts clears: a completion reported for an earlier count is stale.
    quint64 load = 0;
};

TWindowsPreviewHandlerControl::TWindowsPreviewHandlerControl(QWidget *AParent)
    : QWidget(AParent), d(std::make_unique<Private>())
{
    setAutoFillBackground(false);
}

TWindowsPreviewHandlerControl::~TWindowsPreviewHandlerControl()
{
    d->destroying = true;
    ClearPreview();
}

QString TWindowsPreviewHandlerControl::DefaultNoPreviewText()
{
    return QStringLiteral("<No preview handler available for this filetype>");
}

QString TWindowsPreviewHandlerControl::FileName() const { return d->fileName; }

void TWindowsPreviewHandlerControl::SetFileName(const QString &Value)
{
    d->fileName = Value;
    LoadPreview(d->fileName);
}

bool TWindowsPreviewHandlerControl::RaiseErrors() const { return d->raiseErrors; }
void TWindowsPreviewHandlerControl::SetRaiseErrors(bool Value) { d->raiseErrors = Value; }
QString TWindowsPreviewHandlerControl::NoPreviewText() const { return d->noPreviewText; }

void TWindowsPreviewHandlerControl::SetNoPreviewText(const QString &Value)
{
    if (d->noPreviewText == Value)
        return;
    d->noPreviewText = Value;
    update();
}

void TWindowsPreviewHandlerControl::ResetNoPreviewText() { SetNoPreviewText(DefaultNoPreviewText()); }
bool TWindowsPreviewHandlerControl::IsNoPreviewTextStored() const { return d->noPreviewText != DefaultNoPreviewText(); }
bool TWindowsPreviewHandlerControl::PreviewLoaded() const { return bool(d->handler); }
IPtr<IPreviewHandler> TWindowsPreviewHandlerControl::PreviewHandler() const { return d->handler; }
QString TWindowsPreviewHandlerControl::ErrorText() const { return d->errorText; }
QString TWindowsPreviewHandlerControl::PendingFileName() const { return d->pendingFileName; }

QString TWindowsPreviewHandlerControl::DisplayText() const
{
    if (d->handler)
        return {};
    if (!d->errorText.isEmpty())
        return u'(' + d->errorText + u')';
    return d->noPreviewText;
}

QString TWindowsPreviewHandlerControl::GetPreviewHandlerClass(const QString &Extension) const
{
    QString result;
    const QString extra = PreviewIidText();
    quint32 length = 0;
    const HRESULT first = AssocQueryStringW(ASSOCF_INIT_NOREMAPCLSID | ASSOCF_NOTRUNCATE | ASSOCF_VERIFY,
                                            ASSOCSTR_SHELLEXTENSION, Extension, extra, nullptr, &length);
    if (first == S_FALSE || first == E_POINTER) {
        std::vector<char16_t> buffer(length + 1, 0);
        quint32 size = length + 1;
        if (AssocQueryStringW(ASSOCF_INIT_NOREMAPCLSID | ASSOCF_NOTRUNCATE, ASSOCSTR_SHELLEXTENSION, Extension,
                              extra, buffer.data(), &size) == S_OK)
            result = QString::fromUtf16(buffer.data());
    } else {
        // Per-extension entries a host made, read only.
        const QString shellEx = QStringLiteral("\\ShellEx\\") + extra;
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        if (reg.OpenKeyReadOnly(Extension + shellEx)) {
            result = reg.ReadString(QString());
        } else {
            reg.CloseKey();
            if (reg.OpenKeyReadOnly(Extension)) {
                const QString progId = reg.ReadString(QString());
                const QString perceived = reg.ReadString(QStringLiteral("PerceivedType"));
                reg.CloseKey();
                if (reg.OpenKeyReadOnly(progId + shellEx)) {
                    result = reg.ReadString(QString());
                } else {
                    reg.CloseKey();
                    if (reg.OpenKeyReadOnly(QStringLiteral("SystemFileAssociations\\") + perceived + shellEx))
                        result = reg.ReadString(QString());
                }
            }
        }
    }
    SpecialPreviewHandlerClassFixUp(Extension, result);
    return result;
}

void TWindowsPreviewHandlerControl::SpecialPreviewHandlerClassFixUp(const QString &Extension, QString &ClassId) const
{
    if (Extension.toLower() == u".rtf" && ClassId == u"{a42c2ccb-67d3-46fa-abe6-7d2f3488c7a3}")
        ClassId.clear();
    else if (ClassId == u"{435fdba0-964c-43a7-8aff-cc94e21b2249}")
        ClassId.clear();
}

TPreviewHandlerModes TWindowsPreviewHandlerControl::GetPreviewHandlerModes(const QString &ClassId) const
{
    // That class may only run in a process of its own.
    if (ClassId == u"{FFBD7029-84D7-4E1E-BE44-B6619BC545ED}")
        return {};
    return TPreviewHandlerMode::pvmInProcServer;
}

void TWindowsPreviewHandlerControl::GetPreviewHandler(const QString &Extension, QString &ErrorText,
                                                      IPtr<IPreviewHandler> &Handler, TPreviewHandlerModes &Modes)
{
    ErrorText.clear();
    Handler.reset();
    Modes = {};
    const QString classId = GetPreviewHandlerClass(Extension);
    if (classId.isEmpty())
        return;
    CreatePreviewHandlerByClass(classId, ErrorText, Handler, Modes);
}

void TWindowsPreviewHandlerControl::CreatePreviewHandlerByClass(const QString &ClassId, QString &ErrorText,
                                                                IPtr<IPreviewHandler> &Handler,
                                                                TPreviewHandlerModes &Modes)
{
    Handler.reset();
    ErrorText.clear();
    Modes = {};
    if (ClassId.isEmpty())
        return;
    QString canonical = ClassId.toUpper();
    try {
        const QUuid clsid = StringToGUID(ClassId);
        canonical = GUIDToString(clsid);
        Modes = GetPreviewHandlerModes(ClassId);
        quint32 context = CLSCTX_LOCAL_SERVER;
        if (Modes.testFlag(TPreviewHandlerMode::pvmInProcServer))
            context |= CLSCTX_INPROC_SERVER;
        OleCheck(CoCreateInstance(clsid, context, Handler));
    } catch (Exception &e) {
        e.SetMessage(QStringLiteral("External-Previewhandler \"") + canonical + QStringLiteral("\" returned error: ") +
                     e.Message());
        Handler.reset();
        if (d->raiseErrors)
            throw;
        ErrorText = e.Message();
    }
}

void TWindowsPreviewHandlerControl::LoadPreview(const QString &AFileName)
{
    if (!d->created) {
        d->pendingFileName = AFileName;
        return;
    }
    ClearPreview();
    bool later = false;
    try {
        if (!AFileName.isEmpty() && QFileInfo::exists(AFileName))
            later = LoadFile(AFileName);
    } catch (...) {
        Q_EMIT PreviewRendered(); // the pane shows NoPreviewText; the caller gets the error
        throw;
    }
    if (!later)
        Q_EMIT PreviewRendered();
}

bool TWindowsPreviewHandlerControl::LoadFile(const QString &AFileName)
{
    const QFileInfo info(AFileName);
    const QString extension = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    TPreviewHandlerModes modes;
    IPtr<IPreviewHandler> handler;
    if (!extension.isEmpty())
        GetPreviewHandler(extension, d->errorText, handler, modes);
    if (!handler && d->errorText.isEmpty()) {
        // Neither name nor registry knows the file: ask by its content.
        const QString type = QMimeDatabase().mimeTypeForFile(AFileName, QMimeDatabase::MatchContent).name();
        QString classId = AssocQueryShellExtension(type, IPreviewHandler::IID);
        SpecialPreviewHandlerClassFixUp(extension, classId);
        if (!classId.isEmpty())
            CreatePreviewHandlerByClass(classId, d->errorText, handler, modes);
    }
    d->handler = handler;
    if (!d->handler) {
        update();
        return false;
    }
    try {
        if (IPtr<IInitializeWithStream> init = QueryIntf<IInitializeWithStream>(d->handler)) {
            auto *file = new TFileStream(AFileName, fmOpenRead | fmShareDenyWrite);
            IPtr<IDataStream> stream(new TInterfacedStream(file, true));
            OleCheck(init->Initialize(stream.get(), STGM_READ));
        } else if (IPtr<IInitializeWithFile> init = QueryIntf<IInitializeWithFile>(d->handler)) {
            OleCheck(init->Initialize(AFileName, STGM_READ));
        } else if (IPtr<IInitializeWithItem> init = QueryIntf<IInitializeWithItem>(d->handler)) {
            void *item = nullptr;
            SHCreateItemFromParsingName(AFileName, nullptr, IShellItem::IID, &item);
            IPtr<IShellItem> shellItem = IPtr<IShellItem>::Adopt(static_cast<IShellItem *>(item));
            init->Initialize(shellItem.get(), STGM_READ);
        }
        const QRect r = rect();
        CheckStep(d->handler->SetWindow(this, r));
        CheckStep(d->handler->SetRect(r));
        CheckStep(d->handler->DoPreview());
        update();
    } catch (const Exception &e) {
        ClearPreview();
        if (d->raiseErrors)
            throw;
        d->errorText = e.Message();
        update();
        return false;
    } catch (...) {
        ClearPreview();
        throw;
    }
    IPtr<IPreviewHandlerCompletion> completion = QueryIntf<IPreviewHandlerCompletion>(d->handler);
    if (!completion)
        return false;
    const quint64 load = d->load;
    QPointer<TWindowsPreviewHandlerControl> self(this);
    return completion->AdviseCompletion([self, load](HRESULT result, const QString &description) {
        // Taken up outside the previewer's own code: a failure unloads it.
        if (self)
            QMetaObject::invokeMethod(
                self.data(), [control = self.data(), load, result, description] {
                    control->Completed(load, result, description);
                },
                Qt::QueuedConnection);
    }) == S_OK;
}

void TWindowsPreviewHandlerControl::Completed(quint64 load, HRESULT result, const QString &description)
{
    if (load != d->load || !d->handler)
        return;
    if (Failed(result)) {
        // Thrown nowhere: this runs from the event loop.
        ClearPreview();
        d->errorText = PrefixFor(result) + (description.isEmpty() ? OleErrorText(result) : description);
        update();
    }
    Q_EMIT PreviewRendered();
}

void TWindowsPreviewHandlerControl::ClearPreview()
{
    ++d->load;
    if (IPtr<IPreviewHandler> handler = std::exchange(d->handler, {})) {
        // Failures while letting go do not keep the previewer alive.
        try {
            handler->SetWindow(nullptr, QRect());
            handler->Unload();
        } catch (...) {
        }
        TakeErrorInfo();
    }
    d->errorText.clear();
    if (!d->destroying && d->created)
        update();
}

HRESULT TWindowsPreviewHandlerControl::QueryInterface(const QUuid &iid, void **obj)
{
    if (iid == IPreviewHandlerFrame::IID || iid == IInterface::IID) {
        *obj = static_cast<IPreviewHandlerFrame *>(this);
        return S_OK;
    }
    *obj = nullptr;
    return E_NOINTERFACE;
}

HRESULT TWindowsPreviewHandlerControl::GetWindowContext(void *) { return E_NOTIMPL; }
HRESULT TWindowsPreviewHandlerControl::TranslateAccelerator(void *) { return E_NOTIMPL; }

void TWindowsPreviewHandlerControl::paintEvent(QPaintEvent *)
{
    if (d->handler)
        return;
    QPainter p(this);
    QStyleOption option;
    option.initFrom(this);
    p.fillRect(rect(), palette().brush(QPalette::Base));
    style()->drawPrimitive(QStyle::PE_Widget, &option, &p, this);
    const QString text = fontMetrics().elidedText(DisplayText(), Qt::ElideRight, width());
    p.setPen(palette().color(QPalette::Text));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
}

void TWindowsPreviewHandlerControl::resizeEvent(QResizeEvent *AEvent)
{
    QWidget::resizeEvent(AEvent);
    if (d->handler)
        d->handler->SetRect(rect());
}

void TWindowsPreviewHandlerControl::showEvent(QShowEvent *AEvent)
{
    QWidget::showEvent(AEvent);
    HandleCreated();
}

bool TWindowsPreviewHandlerControl::event(QEvent *AEvent)
{
    // winId() creates the window without showing it.
    if (AEvent->type() == QEvent::WinIdChange)
        HandleCreated();
    return QWidget::event(AEvent);
}

void TWindowsPreviewHandlerControl::HandleCreated()
{
    if (d->created || !testAttribute(Qt::WA_WState_Created))
        return;
    d->created = true;
    const QString pending = std::exchange(d->pendingFileName, {});
    if (pending.isEmpty())
        return;
    // Called from the event loop: a failure is painted, never thrown.
    const bool raise = std::exchange(d->raiseErrors, false);
    try {
        SetFileName(pending);
    } catch (const std::exception &e) {
        d->errorText = QString::fromUtf8(e.what());
        update();
    }
    d->raiseErrors = raise;
}

} // namespace zor
