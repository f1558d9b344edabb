// A first application with the HTML editor: the process set up for Qt
// WebEngine, a text with a picture loaded, an HTML file with its pictures,
// the text saved as a BinHTML container and read back by a second editor,
// pastes, the add-picture action and the locked-down page.
// Exits with 1 when a result is not the one shown in the guide.
#include <ZorCompCore/htmleditor/HtActionAddLocalImage.h>
#include <ZorCompCore/htmleditor/ZORHtmlEditor.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextStream>

#include <unistd.h>

using namespace zor;

namespace {

QTextStream out(stdout);
int failures = 0;

void check(bool ok, const char *what)
{
    if (!ok) {
        out << "unexpected: " << what << '\n';
        ++failures;
    }
}

void writePicture(const QString &path, Qt::GlobalColor colour)
{
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(colour);
    picture.save(path);
}

} // namespace

int main(int argc, char **argv)
{
    // As root (containers, CI) Chromium's sandbox cannot run.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Without a GPU (Xvfb, remote desktops) Chromium draws in software.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-gpu-compositing");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    QTemporaryDir work;
    TZORHtmlEditor editor;
    editor.resize(800, 600);
    editor.show();

    // A stored text names its pictures' folder "%IMAGEPATH%"; the pictures
    // themselves are files in the editor's image folder.
    writePicture(editor.ImagePath() + QStringLiteral("/logo.png"), Qt::darkBlue);
    editor.SetBodyOnly(true);
    editor.SetHTMLText(QStringLiteral("<p><img src=\"%IMAGEPATH%logo.png\"></p><p>Dear customer,</p>"));
    check(editor.DocumentHTML().contains(QStringLiteral("file://")), "the page shows the folder's file");
    check(editor.HTMLText() == QStringLiteral("<p><img src=\"%IMAGEPATH%logo.png\"></p><p>Dear customer,</p>"),
          "an unedited text comes back as it was set");

    // An HTML file with pictures beside it: LoadFromFile(..., true) copies
    // them into the image folder, named with the InlineImagePrefix.
    writePicture(work.filePath(QStringLiteral("stamp.png")), Qt::red);
    QFile file(work.filePath(QStringLiteral("offer.html")));
    file.open(QIODevice::WriteOnly);
    file.write("<html><body><p>Our offer <img src=\"stamp.png\"></p></body></html>");
    file.close();
    editor.LoadFromFile(file.fileName(), true);
    check(editor.HTMLText().contains(QStringLiteral("src=\"%IMAGEPATH%Innlinestamp.png\"")),
          "the file's picture is in the image folder");

    // The text with the pictures it uses in one container, and back.
    const QString container = work.filePath(QStringLiteral("offer.binhtml"));
    {
        TFileStream stream(container, fmCreate);
        editor.SaveToBinaryStream(stream);
    }
    TZORHtmlEditor reader;
    {
        TFileStream stream(container, fmOpenRead);
        reader.SetBodyOnly(true);
        reader.LoadFromBinaryStream(stream);
    }
    TStringList pictures;
    reader.FillImageList(pictures);
    check(reader.HTMLText() == editor.HTMLText(), "the container gives the text back");
    check(pictures.Count() == 1, "and its picture");
    out << "Saved and read back: " << QFile(container).size() << " bytes, " << pictures.Count() << " picture\n";

    // Pasted text: an address becomes a link, a picture's path the picture.
    QMimeData address;
    address.setText(QStringLiteral("https://example.org/offers"));
    TZORPasteResult pasted = editor.PasteText(address, false);
    check(pasted.Kind == TZORPasteKind::Link, "an address is a link");
    check(pasted.HTML.contains(QStringLiteral(">example.org/offers</a>")), "shown without its protocol");
    QMimeData path;
    path.setText(work.filePath(QStringLiteral("stamp.png")));
    pasted = editor.PasteText(path, false);
    check(pasted.Kind == TZORPasteKind::Image, "a picture's path is the picture");
    out << "Pasted: " << editor.HTMLText().count(QStringLiteral("<img")) << " pictures and a link\n";

    // The add-picture action asks for a file and inserts it at the caret.
    THtActionAddLocalImage addPicture;
    addPicture.SetEditor(&editor);
    GlobalPictureDialogHandler = [&work](QWidget *, const QString &) {
        return work.filePath(QStringLiteral("stamp.png"));
    };
    addPicture.trigger();
    GlobalPictureDialogHandler = nullptr;
    check(editor.HTMLText().count(QStringLiteral("<img")) == 3, "the action added a picture");

    // The page is locked down: no remote requests unless allowed.
    check(!editor.AllowRemoteContent(), "remote content is off by default");
    editor.SetAllowRemoteContent(true); // a mail whose pictures the user asked to see

    return failures ? 1 : 0;
}
