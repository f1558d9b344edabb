// The "HTML editor" page: the sample letter of the HTML engine in the HTML
// editor, with its pictures in the editor's own image folder. Toolbars hold
// the editor's formatting actions, the add-picture action, BinHTML open and
// save, a switch between the page and its source, and one to let the page
// fetch remote pictures.
// Headless, --htmledit IN loads an HTML file, optionally pastes a text, saves
// the BinHTML container and saves a picture of the page once it has painted.
// Compiled only where the HTML editor library is built (Qt WebEngine).
#include "GalleryPage.h"

#include <ZorCompCore/htmleditor/HtActionAddLocalImage.h>
#include <ZorCompCore/htmleditor/ZORHtmlEditor.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QTextStream>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace zor;

namespace {

QString sampleLetter()
{
    return QDir::cleanPath(QStringLiteral(ZOR_GALLERY_IMAGES "/../../html/letter.html"));
}

const QString kImagePathTag = QStringLiteral("%IMAGEPATH%");

// Names of the pictures AHTML refers to as %IMAGEPATH%name, first use first.
QStringList imagePathReferences(const QString &AHTML)
{
    QStringList names;
    for (qsizetype at = AHTML.indexOf(kImagePathTag); at >= 0; at = AHTML.indexOf(kImagePathTag, at + 1)) {
        qsizetype end = at + kImagePathTag.size();
        while (end < AHTML.size() && !QStringView(u"\"'()<> \t\r\n").contains(AHTML[end]))
            ++end;
        const QString name = AHTML.mid(at + kImagePathTag.size(), end - at - kImagePathTag.size());
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    return names;
}

// Loads an HTML file. Pictures it refers to by file name come along
// (LoadFromFile embeds them); those it refers to as %IMAGEPATH%name, as a
// stored text does, are taken from the file's own folder into the editor's
// fresh image folder first: the outer StartLoading empties the folder once,
// the load inside it keeps what was put there.
void loadLetter(TZORHtmlEditor &AEditor, const QString &AFileName)
{
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(AFileName, file.errorString()));
    const QStringList names = imagePathReferences(QString::fromUtf8(file.readAll()));
    file.close();
    AEditor.StartLoading();
    try {
        const QDir beside = QFileInfo(AFileName).absoluteDir();
        const QString folder = AEditor.ImagePath();
        for (const QString &name : names) {
            // Only plain names: a reference must not reach outside either folder.
            if (name.contains(u'/') || name.contains(u'\\') || name == u".." || !beside.exists(name))
                continue;
            QFile::copy(beside.filePath(name), folder + u'/' + name);
        }
        AEditor.LoadFromFile(AFileName, true);
    } catch (...) {
        AEditor.EndLoading();
        throw;
    }
    AEditor.EndLoading();
    AEditor.SetModified(false);
}

// Writes the container through a temporary file renamed into place, so a
// failed save leaves an earlier file whole.
void saveContainer(TZORHtmlEditor &AEditor, const QString &AFileName)
{
    const QString part = AFileName + QStringLiteral(".part");
    try {
        TFileStream stream(part, fmCreate);
        AEditor.SaveToBinaryStream(stream);
    } catch (...) {
        QFile::remove(part);
        throw;
    }
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(AFileName).constData()) != 0) {
        QFile::remove(part);
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2")
                                .arg(AFileName, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

void openContainer(TZORHtmlEditor &AEditor, const QString &AFileName)
{
    TFileStream stream(AFileName, fmOpenRead | fmShareDenyWrite);
    AEditor.LoadFromBinaryStream(stream);
}

class HtmlEditorPage : public QWidget
{
public:
    explicit HtmlEditorPage(QWidget *parent = nullptr) : QWidget(parent)
    {
        editor = new TZORHtmlEditor;
        // The formatting actions in two rows, the page's own in a third.
        using C = TZORHtmlEditCommand;
        const std::initializer_list<std::initializer_list<C>> rows[] = {
            {{C::Undo, C::Redo},
             {C::Bold, C::Italic, C::Underline, C::StrikeThrough, C::Subscript, C::Superscript, C::RemoveFormat}},
            {{C::OrderedList, C::UnorderedList, C::Indent, C::Outdent},
             {C::JustifyLeft, C::JustifyCenter, C::JustifyRight, C::JustifyFull, C::HorizontalRule}},
        };
        auto *col = new QVBoxLayout(this);
        for (const auto &row : rows) {
            auto *bar = new QToolBar;
            for (const auto &group : row) {
                for (C command : group)
                    if (QAction *a = editor->Action(command))
                        bar->addAction(a);
                bar->addSeparator();
            }
            col->addWidget(bar);
        }

        auto *bar = new QToolBar;
        addPicture = new THtActionAddLocalImage(this);
        addPicture->SetEditor(editor);
        addPicture->OnChange = [this](THtActionAddLocalImage *) { showState(QStringLiteral("Picture added")); };
        bar->addAction(addPicture);
        // The editor's own tabs switch too; this button goes to the other view.
        QAction *source = bar->addAction(QStringLiteral("Design / Source"));
        source->setToolTip(QStringLiteral("Switch between the page and its HTML source"));
        bar->addSeparator();
        QAction *open = bar->addAction(QIcon::fromTheme(QStringLiteral("document-open")), QStringLiteral("Open BinHTML…"));
        QAction *save = bar->addAction(QIcon::fromTheme(QStringLiteral("document-save")), QStringLiteral("Save BinHTML…"));
        bar->addSeparator();
        remote = new QCheckBox(QStringLiteral("Remote content"));
        remote->setToolTip(QStringLiteral("Let the page fetch http and https pictures"));
        bar->addWidget(remote);
        col->addWidget(bar);
        state = new QLabel;
        col->addWidget(editor, 1);
        col->addWidget(state);

        connect(source, &QAction::triggered, this, [this] { editor->SetSourceViewActive(!editor->SourceViewActive()); });
        connect(remote, &QCheckBox::toggled, this, [this](bool on) { editor->SetAllowRemoteContent(on); });
        connect(open, &QAction::triggered, this, [this] { openFile(); });
        connect(save, &QAction::triggered, this, [this] { saveFile(); });
        connect(editor, &TZORHtmlEditor::Changed, this, [this] {
            showState(QStringLiteral("%1 edits").arg(editor->ChangeCount()));
        });
    }

    // The sample letter; errors shown in the state line.
    void loadSample()
    {
        guarded(QStringLiteral("Loading the sample letter"), [this] {
            loadLetter(*editor, sampleLetter());
            showState(QStringLiteral("The sample letter, %1").arg(QDir::toNativeSeparators(sampleLetter())));
        });
    }

    TZORHtmlEditor *editor = nullptr;

private:
    void openFile()
    {
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Open BinHTML"), QString(),
                                                          QStringLiteral("BinHTML (*.binhtml);;All files (*)"));
        if (!file.isEmpty())
            guarded(QStringLiteral("Opening ") + file, [&] {
                openContainer(*editor, file);
                showState(QStringLiteral("Opened ") + file);
            });
    }

    void saveFile()
    {
        const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save BinHTML"),
                                                          QStringLiteral("letter.binhtml"),
                                                          QStringLiteral("BinHTML (*.binhtml)"));
        if (!file.isEmpty())
            guarded(QStringLiteral("Saving ") + file, [&] {
                saveContainer(*editor, file);
                editor->SetModified(false);
                showState(QStringLiteral("Saved ") + file);
            });
    }

    template<typename Fn>
    void guarded(const QString &what, Fn fn)
    {
        try {
            fn();
        } catch (const Exception &e) {
            showState(what + QStringLiteral(" failed: ") + e.Message());
        } catch (const std::exception &e) {
            showState(what + QStringLiteral(" failed: ") + QString::fromLocal8Bit(e.what()));
        }
    }

    void showState(const QString &text) { state->setText(text); }

    THtActionAddLocalImage *addPicture = nullptr;
    QCheckBox *remote = nullptr;
    QLabel *state = nullptr;
};

// A picture of the view with something else than white in it: Chromium
// paints asynchronously, a first grab often shows the empty view.
bool painted(QWidget &view)
{
    const QImage image = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return false;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) != 0xFFFFFF)
                return true;
    }
    return false;
}

int fail(const QString &message)
{
    std::fprintf(stderr, "gallery: %s\n", qPrintable(message));
    return 1;
}

int runHeadless(QApplication &, const QStringList &args)
{
    QTextStream out(stdout);
    const QString in = gallery::argValue(args, QStringLiteral("--htmledit"));
    const QString paste = gallery::argValue(args, QStringLiteral("--paste-text"));
    const QString save = gallery::argValue(args, QStringLiteral("--save"));
    const QString picture = gallery::argValue(args, QStringLiteral("--grab"));
    if (in.isEmpty() || in.startsWith(QStringLiteral("--"))) {
        std::fprintf(stderr, "usage: gallery --headless --htmledit IN.html [--paste-text TEXT] [--save OUT.binhtml] "
                             "[--grab OUT.png]\n");
        return 2;
    }
    // Grabbing needs Chromium to draw in software (Xvfb has no GPU).
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-gpu-compositing");
    HtmlEditorPage page;
    page.resize(1100, 800);
    page.show();
    TZORHtmlEditor &editor = *page.editor;
    try {
        loadLetter(editor, in);
        TStringList pictures;
        editor.FillImageList(pictures);
        out << QFileInfo(in).fileName() << ": " << editor.HTMLText().size() << " characters of HTML, "
            << pictures.Count() << " pictures in the image folder\n";
        if (args.contains(QStringLiteral("--paste-text"))) {
            QMimeData data;
            data.setText(paste);
            const TZORPasteResult r = editor.PasteText(data, false);
            out << "Pasted as text/plain, inserted: " << (r.HTML.isEmpty() ? QStringLiteral("nothing") : r.HTML)
                << '\n';
        }
        if (!save.isEmpty()) {
            saveContainer(editor, save);
            pictures.Clear();
            editor.FillImageList(pictures);
            QStringList names;
            for (int i = 0; i < pictures.Count(); ++i)
                names << QFileInfo(pictures.Get(i)).fileName();
            out << "Saved " << save << ": " << QFileInfo(save).size() << " bytes, the text and "
                << pictures.Count() << " pictures (" << names.join(QStringLiteral(", ")) << ")\n";
        }
    } catch (const Exception &e) {
        return fail(in + QStringLiteral(": ") + e.Message());
    } catch (const std::exception &e) {
        return fail(in + QStringLiteral(": ") + QString::fromLocal8Bit(e.what()));
    }
    if (picture.isEmpty())
        return 0;
    // Wait until the page has painted, at most 30 seconds.
    QElapsedTimer waited;
    waited.start();
    while (!painted(*editor.View()) && waited.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 100);
    if (!painted(*editor.View()))
        return fail(QStringLiteral("the page did not paint within 30 seconds"));
    // The pictures arrive after the first paint: wait until two grabs a
    // moment apart agree (at most 10 seconds).
    QElapsedTimer settle;
    settle.start();
    QImage last = editor.View()->grab().toImage();
    while (settle.elapsed() < 10000) {
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 300)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        QImage now = editor.View()->grab().toImage();
        if (now == last)
            break;
        last = std::move(now);
    }
    if (!gallery::savePicture(page, picture, out))
        return fail(QStringLiteral("cannot write ") + picture);
    return 0;
}

const bool registered =
    gallery::registerPage({QStringLiteral("HTML editor"), 80,
                           [](QWidget *parent) -> QWidget * {
                               auto *page = new HtmlEditorPage(parent);
                               page->loadSample();
                               return page;
                           }})
    && gallery::registerCommand({QStringLiteral("--htmledit"),
                                 QStringLiteral("--htmledit IN.html [--paste-text TEXT] [--save OUT.binhtml] [--grab OUT.png]"
                                                "   the HTML editor on a file, a text pasted, saved as BinHTML"),
                                 runHeadless});

} // namespace
