// zorcc preview: which previewer the preview pane picks for a file, and the
// pane itself, grabbed offscreen into a picture.
#include "Command.h"

#include <ZorCompCore/imaging/widgets/WindowsPreviewHandlerControl.h>
#include <ZorCompCore/platform/ShellAssoc.h>

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QMimeDatabase>
#include <QTimer>

#include <nlohmann/json.hpp>

using namespace zor;
using json = nlohmann::json;

namespace {

constexpr int kPatienceMs = 60000;

const QString kUsage = QStringLiteral(
    "usage: zorcc preview which FILE [--json]\n"
    "       zorcc preview render FILE OUT.png [--size WxH]\n"
    "\n"
    "which   the file's MIME type (by name, else by content), the previewer class the pane\n"
    "        takes for it and whether it runs in process or in zor-preview-worker; or why\n"
    "        there is none.\n"
    "render  shows the file in the preview pane (800x600 unless --size says otherwise) on the\n"
    "        offscreen platform and saves what it painted. When the pane shows an error\n"
    "        instead, the error goes to stderr and the exit status is 1.\n"
    "\n"
    "PDF pages come from zor-preview-worker: $ZOR_PREVIEW_WORKER names it, else the one in the\n"
    "libexec folder beside the library's folder (installed, and in the build tree alike).\n");

QString className(const QString &classText)
{
    const QUuid id(classText);
    if (id == PreviewClasses::Picture)
        return QStringLiteral("pictures");
    if (id == PreviewClasses::Text)
        return QStringLiteral("text");
    if (id == PreviewClasses::Markdown)
        return QStringLiteral("Markdown");
    if (id == PreviewClasses::Html)
        return QStringLiteral("HTML");
    if (id == PreviewClasses::Pdf)
        return QStringLiteral("PDF pages");
    return QStringLiteral("registered by the host");
}

int which(const QStringList &args, zorcc::Io &io)
{
    const bool asJson = args.contains(QStringLiteral("--json"));
    QStringList files = args;
    files.removeAll(QStringLiteral("--json"));
    if (files.size() != 1 || files[0].startsWith(u"--"))
        throw zorcc::UsageError{QStringLiteral("which expects one FILE [--json]")};
    const QString file = files[0];
    if (!QFileInfo(file).isFile())
        throw zorcc::InputError{QStringLiteral("%1: no such file").arg(file)};

    // The pane's own order: the name (type, ancestors, registry), then the content.
    TWindowsPreviewHandlerControl pane;
    const QFileInfo info(file);
    const QString extension = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    const QMimeDatabase mime;
    const QString byName = extension.isEmpty() ? QString() : mime.mimeTypeForFile(file, QMimeDatabase::MatchExtension).name();
    QString classText, found = QStringLiteral("name");
    if (!extension.isEmpty()) {
        classText = pane.GetPreviewHandlerClass(extension);
        pane.SpecialPreviewHandlerClassFixUp(extension, classText);
    }
    const QString byContent = mime.mimeTypeForFile(file, QMimeDatabase::MatchContent).name();
    if (classText.isEmpty()) {
        found = QStringLiteral("content");
        classText = AssocQueryShellExtension(byContent, IPreviewHandler::IID);
        pane.SpecialPreviewHandlerClassFixUp(extension, classText);
    }
    QString runs, why;
    if (classText.isEmpty()) {
        why = QStringLiteral("no previewer is registered for %1 or its ancestors")
                  .arg(byName.isEmpty() || byName == byContent ? byContent : byName + QStringLiteral(" / ") + byContent);
    } else {
        const quint32 contexts = CoClassContexts(QUuid(classText));
        const bool inProcess = pane.GetPreviewHandlerModes(classText).testFlag(TPreviewHandlerMode::pvmInProcServer);
        if (inProcess && (contexts & CLSCTX_INPROC_SERVER))
            runs = QStringLiteral("in process");
        else if (contexts & CLSCTX_LOCAL_SERVER)
            runs = QStringLiteral("in zor-preview-worker");
        else
            why = OleErrorText(REGDB_E_CLASSNOTREG);
    }
    if (asJson) {
        json j = {{"file", file.toStdString()},
                  {"typeByName", byName.toStdString()},
                  {"typeByContent", byContent.toStdString()},
                  {"class", classText.toStdString()},
                  {"foundBy", classText.isEmpty() ? "" : found.toStdString()},
                  {"previewer", classText.isEmpty() ? "" : className(classText).toStdString()},
                  {"runs", runs.toStdString()},
                  {"none", why.toStdString()}};
        io.out << QString::fromStdString(j.dump(2)) << '\n';
        return 0;
    }
    io.out << file << '\n';
    io.out << "  type:      " << (byName.isEmpty() ? QStringLiteral("(no extension)") : byName)
           << ", by content " << byContent << '\n';
    if (!why.isEmpty()) {
        io.out << "  previewer: none: " << why << '\n';
        return 0;
    }
    io.out << "  previewer: " << classText << " (" << className(classText) << "), found by its " << found << '\n';
    io.out << "  runs:      " << runs << '\n';
    return 0;
}

int render(const QStringList &args, zorcc::Io &io)
{
    QStringList positional;
    QSize size(800, 600);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--size") {
            if (i + 1 >= args.size())
                throw zorcc::UsageError{QStringLiteral("--size needs a value")};
            const QStringList wh = args[++i].split(u'x');
            bool okW = false, okH = false;
            if (wh.size() == 2)
                size = QSize(wh[0].toInt(&okW), wh[1].toInt(&okH));
            if (!okW || !okH || size.width() < 16 || size.height() < 16 || size.width() > 8000 || size.height() > 8000)
                throw zorcc::UsageError{QStringLiteral("--size expects WxH between 16 and 8000, not ") + args[i]};
        } else if (args[i].startsWith(u"--")) {
            throw zorcc::UsageError{QStringLiteral("unknown option ") + args[i]};
        } else {
            positional << args[i];
        }
    }
    if (positional.size() != 2)
        throw zorcc::UsageError{QStringLiteral("render expects FILE OUT.png")};
    if (!QFileInfo(positional[0]).isFile())
        throw zorcc::InputError{QStringLiteral("%1: no such file").arg(positional[0])};
    TWindowsPreviewHandlerControl pane;
    pane.resize(size);
    QEventLoop loop;
    bool rendered = false;
    QObject::connect(&pane, &TWindowsPreviewHandlerControl::PreviewRendered, &loop, [&] {
        rendered = true;
        loop.quit();
    });
    pane.SetFileName(positional[0]); // loads on the first show; a failure is painted
    pane.show();
    if (!rendered) {
        // The worker's own time limit ends a PDF page; this one ends anything else.
        QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!rendered)
        throw zorcc::InputError{QStringLiteral("%1: the preview did not finish within %2 seconds")
                                    .arg(positional[0]).arg(kPatienceMs / 1000)};
    const QImage picture = pane.grab().toImage();
    if (!picture.save(positional[1]))
        throw zorcc::InputError{QStringLiteral("cannot write %1").arg(positional[1])};
    if (!pane.ErrorText().isEmpty()) {
        io.err << positional[0] << ": " << pane.DisplayText() << '\n';
        return 1;
    }
    io.out << positional[0] << " -> " << positional[1] << '\n';
    return 0;
}

int run(const QStringList &args, zorcc::Io &io)
{
    if (args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("expects which or render")};
    if (args[0] == u"which")
        return which(args.mid(1), io);
    if (args[0] == u"render")
        return render(args.mid(1), io);
    throw zorcc::UsageError{QStringLiteral("unknown verb ") + args[0]};
}

} // namespace

// Both verbs make the pane, a widget.
static const bool previewWidgets = zorcc::registerWidgetsNeed(QStringLiteral("preview"), [](const QStringList &args) {
    return !args.isEmpty() && (args.first() == u"which" || args.first() == u"render")
           && !args.contains(QStringLiteral("--help")) && !args.contains(QStringLiteral("-h"));
});

ZORCC_COMMAND(zorcc::Command{QStringLiteral("preview"),
                             QStringLiteral("which previewer the preview pane takes for a file, and its picture"), kUsage,
                             run});
