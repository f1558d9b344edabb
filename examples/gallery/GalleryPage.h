// The gallery is a window of pages, one per capability, and a set of headless
// commands (--headless, --statistics FILE, …) that the showcase runs. Each
// page lives in its own file and registers itself here, so adding one touches
// no other page.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QApplication;
class QTextStream;
class QWidget;

namespace gallery {

struct Page
{
    QString title;
    int order = 100; // tab position: lower first
    std::function<QWidget *(QWidget *parent)> create;
};

// A command runs instead of the window when its option is on the command line.
// It gets the application and all arguments, and returns the exit status.
struct Command
{
    QString option; // "--statistics"
    QString usage;  // "--statistics FILE.png   save a picture of the statistics dialog"
    std::function<int(QApplication &app, const QStringList &args)> run;
};

bool registerPage(Page page);
bool registerCommand(Command command);

// The value after NAME on the command line, or FALLBACK.
QString argValue(const QStringList &args, const QString &name, const QString &fallback = QString());

// Saves a picture of the widget as path (nothing to do when path is empty)
// and says so on out; false when it could not be written.
bool savePicture(QWidget &widget, const QString &path, QTextStream &out);

} // namespace gallery
