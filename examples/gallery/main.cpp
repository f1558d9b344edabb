// The gallery application: a window with one page per capability of the
// library. With --headless it runs offscreen; an option that names a command
// (see --help) runs that command instead of the window. --headless alone runs
// the language switch of the languages page and prints the form's texts.
#include "GalleryPage.h"

#include <ZorCompCore/localisation/Translator.h>

#include <QApplication>
#include <QMainWindow>
#include <QTabWidget>
#include <QTextStream>
#include <QWidget>
#include <algorithm>
#include <vector>

#include <unistd.h>

namespace gallery {

static std::vector<Page> &pages()
{
    static std::vector<Page> p;
    return p;
}

static std::vector<Command> &commands()
{
    static std::vector<Command> c;
    return c;
}

bool registerPage(Page page)
{
    pages().push_back(std::move(page));
    return true;
}

bool registerCommand(Command command)
{
    commands().push_back(std::move(command));
    return true;
}

QString argValue(const QStringList &args, const QString &name, const QString &fallback)
{
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
}

bool savePicture(QWidget &widget, const QString &path, QTextStream &out)
{
    if (path.isEmpty())
        return true;
    const bool saved = widget.grab().save(path);
    out << (saved ? "Page saved to " : "Could not save ") << path << '\n';
    return saved;
}

} // namespace gallery

int main(int argc, char **argv)
{
    bool headless = false, help = false;
    for (int i = 1; i < argc; ++i) {
        headless = headless || QByteArray(argv[i]) == "--headless";
        help = help || QByteArray(argv[i]) == "--help";
    }
    if (help) { // no display needed to read the usage
        QTextStream out(stdout);
        out << "usage: gallery [--headless] [--scale FACTOR] [command]\n\nCommands:\n";
        for (const gallery::Command &c : gallery::commands())
            out << "  " << c.usage << '\n';
        return 0;
    }
    // --scale F: the screen scaled by F (icon sets and DPI helpers follow it).
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--scale")
            qputenv("QT_SCALE_FACTOR", argv[i + 1]);
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef ZOR_GALLERY_HTMLEDITOR
    // The HTML editor page runs Qt WebEngine, which wants shared OpenGL
    // contexts from the start. Chromium's sandbox cannot run as root
    // (containers, CI); the gallery is a demo and turns it off there.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    QApplication app(argc, argv);
    const QStringList args = app.arguments();

    // Named commands first; --headless alone runs the default one.
    for (const gallery::Command &c : gallery::commands()) {
        if (c.option != u"--headless" && args.contains(c.option))
            return c.run(app, args);
    }
    for (const gallery::Command &c : gallery::commands()) {
        if (headless && c.option == u"--headless")
            return c.run(app, args);
    }

    std::vector<gallery::Page> sorted = gallery::pages();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const gallery::Page &a, const gallery::Page &b) { return a.order < b.order; });
    QMainWindow window;
    auto *tabs = new QTabWidget(&window);
    for (const gallery::Page &p : sorted)
        tabs->addTab(p.create(tabs), p.title);
    window.setCentralWidget(tabs);
    window.setWindowTitle(QStringLiteral("ZorCompCore gallery"));
    window.resize(900, 640);
    window.show();
    return app.exec();
}
