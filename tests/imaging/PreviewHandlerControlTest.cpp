#include <ZorCompCore/imaging/widgets/WindowsPreviewHandlerControl.h>
#include <ZorCompCore/platform/ComObj.h>
#include <ZorCompCore/platform/Registry.h>
#include <ZorCompCore/platform/ShellAssoc.h>

#include "Pictures.h"
#include "TestUtil.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMetaProperty>
#include <QTemporaryDir>
#include <QPlainTextEdit>
#include <QTextBrowser>

#include <gtest/gtest.h>

using namespace zor;

namespace {

// How a fake previewer behaves; the test sets it before the control makes one.
struct FakeScript
{
    enum Init { Stream, File, Item, None } init = Stream;
    QString failStep;            // "Initialize", "SetWindow", "SetRect" or "DoPreview"
    HRESULT failCode = S_OK;
    QString failText;            // the previewer's own description, if any
    bool later = false;          // the picture completes after DoPreview (g_done)
};

FakeScript g_script;
QStringList g_log;
int g_alive = 0;
TPreviewDone g_done; // what a previewer completing later calls

class TFakePreviewer final : public TInterfacedObject,
                             public IPreviewHandler,
                             public IInitializeWithStream,
                             public IInitializeWithFile,
                             public IInitializeWithItem,
                             public IPreviewHandlerCompletion
{
public:
    TFakePreviewer() { ++g_alive; }
    ~TFakePreviewer() override { --g_alive; }

    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IPreviewHandler>(this, iid, obj))
            return S_OK;
        if (g_script.later && AnswerInterface<IPreviewHandlerCompletion>(this, iid, obj))
            return S_OK;
        if ((g_script.init == FakeScript::Stream && AnswerInterface<IInitializeWithStream>(this, iid, obj)) ||
            (g_script.init == FakeScript::File && AnswerInterface<IInitializeWithFile>(this, iid, obj)) ||
            (g_script.init == FakeScript::Item && AnswerInterface<IInitializeWithItem>(this, iid, obj)))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }

    HRESULT Initialize(IDataStream *stream, quint32) override
    {
        char buf[64] = {};
        const int n = stream->Read(buf, sizeof buf - 1);
        return Step(QStringLiteral("Initialize stream ") + QString::fromLatin1(buf, n));
    }
    HRESULT Initialize(const QString &path, quint32) override
    {
        return Step(QStringLiteral("Initialize file ") + QFileInfo(path).fileName());
    }
    HRESULT Initialize(IShellItem *item, quint32) override
    {
        QString name;
        item->GetDisplayName(SIGDN_NORMALDISPLAY, name);
        return Step(QStringLiteral("Initialize item ") + name);
    }
    HRESULT SetWindow(HWND parent, const QRect &r) override
    {
        return Step(QStringLiteral("SetWindow %1 %2x%3").arg(parent ? "control" : "none").arg(r.width()).arg(r.height()));
    }
    HRESULT SetRect(const QRect &r) override { return Step(QStringLiteral("SetRect %1x%2").arg(r.width()).arg(r.height())); }
    HRESULT DoPreview() override { return Step(QStringLiteral("DoPreview")); }
    HRESULT Unload() override { return Step(QStringLiteral("Unload")); }
    HRESULT AdviseCompletion(TPreviewDone done) override
    {
        g_done = std::move(done);
        return S_OK;
    }

private:
    HRESULT Step(const QString &entry)
    {
        g_log << entry;
        if (!g_script.failStep.isEmpty() && entry.startsWith(g_script.failStep)) {
            if (!g_script.failText.isEmpty())
                SetErrorInfo(g_script.failText);
            return g_script.failCode;
        }
        return S_OK;
    }
};

const QUuid kFake = Guid("{0F0E0D0C-0B0A-4909-8807-060504030201}");
const QString kFakeText = QStringLiteral("{0f0e0d0c-0b0a-4909-8807-060504030201}");
const QString kShellEx = QStringLiteral("\\ShellEx\\{8895b1c6-b41f-4c1c-a562-0d564250836f}");

QString MessageOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

class PreviewControl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("ZOR_REGISTRY_DIR", dir.filePath(QStringLiteral("registry")).toUtf8());
        g_script = {};
        g_log.clear();
        g_done = nullptr;
        CoRegisterClass(kFake, {[] { return IPtr<IInterface>(static_cast<IPreviewHandler *>(new TFakePreviewer)); },
                                nullptr});
        // Files named *.c are C sources, a descendant of plain text.
        AssocRegisterShellExtension(QStringLiteral("text/x-csrc"), IPreviewHandler::IID, kFake);
        file = Write(QStringLiteral("main.c"), "int main;");
    }
    void TearDown() override
    {
        AssocRegisterShellExtension(QStringLiteral("text/x-csrc"), IPreviewHandler::IID, QUuid());
        CoRevokeClass(kFake);
        qunsetenv("ZOR_REGISTRY_DIR");
        g_done = nullptr;
        EXPECT_EQ(g_alive, 0) << "a previewer was not released";
    }

    QString Write(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    // HKEY_CLASSES_ROOT\key, default value (or a named one).
    static void Reg(const QString &key, const QString &value, const QString &name = {})
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        ASSERT_TRUE(reg.OpenKey(key, true));
        reg.WriteString(name, value);
    }

    QTemporaryDir dir;
    QString file;
};

} // namespace

// Faults: loading before the control has a window (no parent to embed in);
// forgetting the pending name; the calls out of order.
TEST_F(PreviewControl, PendingFileNameLoadsOnFirstShow)
{
    TWindowsPreviewHandlerControl control;
    control.resize(300, 200);
    control.SetFileName(file);
    EXPECT_EQ(g_alive, 0);
    EXPECT_EQ(control.PendingFileName(), file);
    EXPECT_FALSE(control.PreviewLoaded());
    control.show();
    ASSERT_TRUE(control.PreviewLoaded());
    EXPECT_EQ(control.PendingFileName(), QString());
    // (The first show's resize event may add a SetRect after these.)
    EXPECT_EQ(g_log.mid(0, 4), QStringList({"Initialize stream int main;", "SetWindow control 300x200",
                                            "SetRect 300x200", "DoPreview"}));
    EXPECT_EQ(control.DisplayText(), QString());
}

// Faults: a resize not passed on; a new file or a missing file keeping the
// old previewer; destruction not unloading it.
TEST_F(PreviewControl, ResizeNewFilesAndDestruction)
{
    auto *control = new TWindowsPreviewHandlerControl;
    control->resize(300, 200);
    control->show();
    control->SetFileName(file);
    g_log.clear();
    control->resize(400, 250);
    EXPECT_EQ(g_log, QStringList({"SetRect 400x250"}));

    g_log.clear();
    control->SetFileName(dir.filePath(QStringLiteral("gone.c")));
    EXPECT_EQ(g_log, QStringList({"SetWindow none 0x0", "Unload"}));
    EXPECT_FALSE(control->PreviewLoaded());
    EXPECT_EQ(g_alive, 0);
    EXPECT_EQ(control->DisplayText(), TWindowsPreviewHandlerControl::DefaultNoPreviewText());

    control->SetFileName(file);
    EXPECT_EQ(g_alive, 1);
    g_log.clear();
    delete control;
    EXPECT_EQ(g_log, QStringList({"SetWindow none 0x0", "Unload"}));
    EXPECT_EQ(g_alive, 0);
}

// Faults: the file handed over another way than the first the previewer
// supports; the item path failing for a previewer without stream or file.
TEST_F(PreviewControl, FirstSupportedInitialisationWins)
{
    TWindowsPreviewHandlerControl control;
    control.show();
    g_script.init = FakeScript::File;
    control.SetFileName(file);
    EXPECT_TRUE(g_log.contains(u"Initialize file main.c")) << g_log.join(u',').toStdString();
    g_script.init = FakeScript::Item;
    g_log.clear();
    control.SetFileName(file);
    EXPECT_TRUE(g_log.contains(u"Initialize item main.c")) << g_log.join(u',').toStdString();
    g_script.init = FakeScript::None;
    g_log.clear();
    control.SetFileName(file);
    EXPECT_TRUE(control.PreviewLoaded());
    EXPECT_FALSE(g_log.join(u',').contains(u"Initialize"));
}

// Faults: a missing prefix, a prefix on an unrelated code, the previewer's
// description lost, a failed previewer kept alive, an error in Initialize
// getting a prefix meant for the preview steps.
TEST_F(PreviewControl, FailuresArePaintedWithTheirReason)
{
    TWindowsPreviewHandlerControl control;
    control.show();
    const struct
    {
        quint32 code;
        const char *step;
        const char *text;
        const char *shown;
    } cases[] = {
        {0x86420001u, "DoPreview", "locked", "(Blocked by digital rights management. locked)"},
        {0x86420002u, "SetWindow", "no access", "(Blocked by file permissions. no access)"},
        {0x86420003u, "SetRect", "moved", "(Item was not found. moved)"},
        {0x86420004u, "DoPreview", "broken", "(Item was corrupt. broken)"},
        {0x80004005u, "DoPreview", "", "(Unspecified error)"},
        {0x86420004u, "Initialize", "bad header", "(bad header)"},
    };
    for (const auto &c : cases) {
        g_script.failStep = QLatin1String(c.step);
        g_script.failCode = qint32(c.code);
        g_script.failText = QLatin1String(c.text);
        control.SetFileName(file);
        EXPECT_FALSE(control.PreviewLoaded()) << c.shown;
        EXPECT_EQ(g_alive, 0) << c.shown;
        EXPECT_EQ(control.DisplayText(), QLatin1String(c.shown));
    }
    // A later file starts clean.
    g_script = {};
    control.SetFileName(file);
    EXPECT_TRUE(control.PreviewLoaded());
    EXPECT_EQ(control.ErrorText(), QString());
}

// Faults: RaiseErrors ignored, or the control left holding the previewer
// after raising; the pending load on first show throwing into the event loop.
TEST_F(PreviewControl, RaiseErrorsThrowsToTheCallerButNotFromTheFirstShow)
{
    g_script.failStep = QStringLiteral("DoPreview");
    g_script.failCode = qint32(0x86420002u);
    g_script.failText = QStringLiteral("denied");
    TWindowsPreviewHandlerControl control;
    control.SetRaiseErrors(true);
    control.SetFileName(file);
    control.show(); // must not throw
    EXPECT_EQ(control.DisplayText(), u"(Blocked by file permissions. denied)");
    EXPECT_TRUE(control.RaiseErrors());
    EXPECT_EQ(MessageOf([&] { control.SetFileName(file); }), u"Blocked by file permissions. denied");
    EXPECT_FALSE(control.PreviewLoaded());
    EXPECT_EQ(g_alive, 0);
}

// Faults: the class text not upper-cased in the message; the system text
// missing; creation errors thrown without RaiseErrors.
TEST_F(PreviewControl, UnregisteredClassNamesTheClass)
{
    Reg(QStringLiteral(".zqa") + kShellEx, QStringLiteral("{aaaaaaaa-1111-2222-3333-444444444444}"));
    const QString file2 = Write(QStringLiteral("x.zqa"), "data");
    TWindowsPreviewHandlerControl control;
    control.show();
    control.SetFileName(file2);
    const QString message =
        QStringLiteral("External-Previewhandler \"{AAAAAAAA-1111-2222-3333-444444444444}\" returned error: Class not registered");
    EXPECT_EQ(control.DisplayText(), u'(' + message + u')');
    control.SetRaiseErrors(true);
    EXPECT_EQ(MessageOf([&] { control.SetFileName(file2); }), message);
    EXPECT_FALSE(control.PreviewLoaded());
}

// Faults: the fallback keys read in another order, (c) tried when the
// extension key is missing, or (c) skipped when the program's key lacks the
// entry; the shell's answer losing to the registry.
TEST_F(PreviewControl, RegistryFallbackAThenBThenC)
{
    TWindowsPreviewHandlerControl control;
    const QString a = QStringLiteral("{a0000000-0000-0000-0000-000000000001}");
    const QString b = QStringLiteral("{b0000000-0000-0000-0000-000000000002}");
    const QString c = QStringLiteral("{c0000000-0000-0000-0000-000000000003}");
    Reg(QStringLiteral(".zq1") + kShellEx, a);
    Reg(QStringLiteral(".zq1"), QStringLiteral("zqprog"));
    Reg(QStringLiteral("zqprog") + kShellEx, b);
    Reg(QStringLiteral(".zq2"), QStringLiteral("zqprog"));
    Reg(QStringLiteral(".zq2"), QStringLiteral("zqkind"), QStringLiteral("PerceivedType"));
    Reg(QStringLiteral("SystemFileAssociations\\zqkind") + kShellEx, c);
    Reg(QStringLiteral(".zq3"), QStringLiteral("zqnone"));
    Reg(QStringLiteral(".zq3"), QStringLiteral("zqkind"), QStringLiteral("PerceivedType"));
    Reg(QStringLiteral("zqbare"), QStringLiteral("a program without previewer"));
    Reg(QStringLiteral(".zq4"), QStringLiteral("zqbare"));
    Reg(QStringLiteral(".zq4"), QStringLiteral("zqkind"), QStringLiteral("PerceivedType"));
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".zq1")), a);
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".zq2")), b);
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".zq3")), c);
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".zq4")), c);
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".zq5")), QString());
    // The shell's association comes first: .c files are registered by type.
    Reg(QStringLiteral(".c") + kShellEx, a);
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".c")), kFakeText);
}

// Faults: fix-ups comparing the class ignoring case, or the extension with
// it; the out-of-process-only class created in process.
TEST_F(PreviewControl, FixUpsAndModes)
{
    TWindowsPreviewHandlerControl control;
    const QString rtfClass = QStringLiteral("{a42c2ccb-67d3-46fa-abe6-7d2f3488c7a3}");
    Reg(QStringLiteral(".RTF") + kShellEx, rtfClass);
    Reg(QStringLiteral(".zqdoc") + kShellEx, rtfClass);
    Reg(QStringLiteral(".zqoff") + kShellEx, QStringLiteral("{435fdba0-964c-43a7-8aff-cc94e21b2249}"));
    Reg(QStringLiteral(".zqoffup") + kShellEx, QStringLiteral("{435FDBA0-964C-43A7-8AFF-CC94E21B2249}"));
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".RTF")), QString());
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".rtf")), QString());
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".zqdoc")), rtfClass);
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".zqoff")), QString());
    EXPECT_EQ(control.GetPreviewHandlerClass(QStringLiteral(".zqoffup")),
              QStringLiteral("{435FDBA0-964C-43A7-8AFF-CC94E21B2249}"));

    const QString outOnly = QStringLiteral("{FFBD7029-84D7-4E1E-BE44-B6619BC545ED}");
    EXPECT_EQ(control.GetPreviewHandlerModes(outOnly), TPreviewHandlerModes());
    EXPECT_EQ(control.GetPreviewHandlerModes(outOnly.toLower()), TPreviewHandlerModes(TPreviewHandlerMode::pvmInProcServer));
    // Only a local server may make that class.
    const QUuid outOnlyId = StringToGUID(outOnly);
    CoRegisterClass(outOnlyId, {[] { return IPtr<IInterface>(static_cast<IPreviewHandler *>(new TFakePreviewer)); },
                                nullptr});
    QString error;
    IPtr<IPreviewHandler> handler;
    TPreviewHandlerModes modes;
    control.CreatePreviewHandlerByClass(outOnly, error, handler, modes);
    EXPECT_FALSE(handler);
    EXPECT_TRUE(error.endsWith(u"Class not registered")) << error.toStdString();
    CoRegisterClass(outOnlyId, {nullptr, [] { return IPtr<IInterface>(static_cast<IPreviewHandler *>(new TFakePreviewer)); }});
    control.CreatePreviewHandlerByClass(outOnly, error, handler, modes);
    EXPECT_TRUE(handler);
    EXPECT_EQ(error, QString());
    handler.reset();
    CoRevokeClass(outOnlyId);
}

// Faults: a file without extension never previewed; the content type not
// consulted after the name gave nothing.
TEST_F(PreviewControl, FilesWithoutExtensionGoByContent)
{
    const QString noExt = Write(QStringLiteral("README"), "plain words\n");
    AssocRegisterShellExtension(QStringLiteral("text/plain"), IPreviewHandler::IID, kFake);
    TWindowsPreviewHandlerControl control;
    control.show();
    control.SetFileName(noExt);
    EXPECT_TRUE(control.PreviewLoaded());
    control.ClearPreview();
    AssocRegisterShellExtension(QStringLiteral("text/plain"), IPreviewHandler::IID, PreviewClasses::Text);
}

// Faults: the default text stored; reset not restoring it; the frame's
// context calls claiming support.
TEST_F(PreviewControl, NoPreviewTextAndFrame)
{
    TWindowsPreviewHandlerControl control;
    EXPECT_FALSE(control.IsNoPreviewTextStored());
    control.SetNoPreviewText(QStringLiteral("nothing to see"));
    EXPECT_TRUE(control.IsNoPreviewTextStored());
    EXPECT_EQ(control.DisplayText(), u"nothing to see");
    control.metaObject()->property(control.metaObject()->indexOfProperty("NoPreviewText")).reset(&control);
    EXPECT_EQ(control.NoPreviewText(), TWindowsPreviewHandlerControl::DefaultNoPreviewText());
    EXPECT_FALSE(control.IsNoPreviewTextStored());
    EXPECT_EQ(control.GetWindowContext(nullptr), E_NOTIMPL);
    EXPECT_EQ(control.TranslateAccelerator(nullptr), E_NOTIMPL);
}

// The built-in previewers on real files. Faults: a previewer not registered
// for its type; a garbage picture shown instead of "Item was corrupt"; RTF
// falling through to the text previewer.
TEST_F(PreviewControl, BuiltInPreviewers)
{
    TWindowsPreviewHandlerControl control;
    control.resize(320, 240);
    control.show();
    QImage red(40, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString png = Write(QStringLiteral("red.png"), Encode(red, "png"));
    control.SetFileName(png);
    ASSERT_TRUE(control.PreviewLoaded()) << control.DisplayText().toStdString();
    const QImage shot = control.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(160, 120)), QColor(Qt::red));

    // Metafiles go to the picture previewer too: shapes.emf is red on its left half.
    control.SetFileName(QStringLiteral(ZOR_SOURCE_DIR "/examples/data/images/shapes.emf"));
    ASSERT_TRUE(control.PreviewLoaded()) << control.DisplayText().toStdString();
    const QImage emf = control.grab().toImage();
    EXPECT_TRUE(IsReddish(emf.pixel(100, 120))) << QColor(emf.pixel(100, 120)).name().toStdString();
    EXPECT_FALSE(IsReddish(emf.pixel(220, 60)));

    control.SetFileName(Write(QStringLiteral("bad.png"), "not a picture at all"));
    EXPECT_TRUE(control.DisplayText().startsWith(u"(Item was corrupt. ")) << control.DisplayText().toStdString();

    control.SetFileName(Write(QStringLiteral("notes.txt"), "hello text"));
    ASSERT_TRUE(control.PreviewLoaded());
    control.SetFileName(Write(QStringLiteral("page.html"), "<html><body><h1>Title</h1></body></html>"));
    ASSERT_TRUE(control.PreviewLoaded());
    auto *browser = control.findChild<QTextBrowser *>();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->toPlainText(), u"Title");
    control.SetFileName(Write(QStringLiteral("doc.rtf"), "{\\rtf1 hello}"));
    EXPECT_FALSE(control.PreviewLoaded());
    EXPECT_EQ(control.DisplayText(), TWindowsPreviewHandlerControl::DefaultNoPreviewText());
}

// Faults: a byte order mark ignored (UTF-16 shown as bytes); a large file
// read whole or cut without saying so.
TEST_F(PreviewControl, TextByItsMarkAndOnlyTheFirstMebibyte)
{
    TWindowsPreviewHandlerControl control;
    control.show();
    QByteArray utf16("\xFF\xFE", 2);
    for (QChar ch : QStringLiteral("Grüße"))
        utf16.append(char(ch.unicode() & 0xFF)).append(char(ch.unicode() >> 8));
    control.SetFileName(Write(QStringLiteral("wide.txt"), utf16));
    auto *text = control.findChild<QPlainTextEdit *>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->toPlainText(), u"Grüße");

    control.SetFileName(Write(QStringLiteral("big.txt"), QByteArray((1 << 20) + 10, 'x')));
    text = control.findChild<QPlainTextEdit *>();
    ASSERT_NE(text, nullptr);
    const QString shown = text->toPlainText();
    EXPECT_TRUE(shown.startsWith(QString(1 << 20, u'x') + u'\n')) << shown.size();
    EXPECT_TRUE(shown.endsWith(u"[truncated: only the first MiB is shown]"));
}

// Faults: the signal on a load that waits for the first show, missing after a
// load that shows NoPreviewText or an error (or raises), early for a previewer
// that completes later, fired for a load a newer one replaced, or twice; a
// later failure not painted with its reason or its previewer kept.
TEST_F(PreviewControl, RenderedOncePerPreview)
{
    TWindowsPreviewHandlerControl control;
    int rendered = 0;
    QObject::connect(&control, &TWindowsPreviewHandlerControl::PreviewRendered, [&] { ++rendered; });
    control.SetFileName(file);
    EXPECT_EQ(rendered, 0);
    control.show();
    EXPECT_EQ(rendered, 1);
    control.SetFileName(dir.filePath(QStringLiteral("gone.c")));
    EXPECT_EQ(rendered, 2);
    g_script.failStep = QStringLiteral("DoPreview");
    g_script.failCode = E_PREVIEW_CORRUPT;
    control.SetFileName(file);
    EXPECT_EQ(rendered, 3);
    control.SetRaiseErrors(true);
    MessageOf([&] { control.SetFileName(file); });
    EXPECT_EQ(rendered, 4);
    control.SetRaiseErrors(false);

    g_script = {};
    g_script.later = true;
    control.SetFileName(file);
    const TPreviewDone replaced = g_done;
    control.SetFileName(file);
    const TPreviewDone current = g_done;
    QApplication::processEvents();
    EXPECT_EQ(rendered, 4);
    ASSERT_TRUE(replaced && current);
    replaced(S_OK, QString());
    QApplication::processEvents();
    EXPECT_EQ(rendered, 4);
    current(S_OK, QString());
    QApplication::processEvents();
    EXPECT_EQ(rendered, 5);
    EXPECT_TRUE(control.PreviewLoaded());

    // Completing with a failure: painted with its reason, previewer released.
    control.SetFileName(file);
    g_done(E_PREVIEW_CORRUPT, QStringLiteral("broken later"));
    QApplication::processEvents();
    EXPECT_EQ(rendered, 6);
    EXPECT_FALSE(control.PreviewLoaded());
    EXPECT_EQ(control.DisplayText(), u"(Item was corrupt. broken later)");
    control.ClearPreview();
    QApplication::processEvents();
    EXPECT_EQ(rendered, 6);
}
