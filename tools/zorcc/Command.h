// zorcc's subcommands: each capability registers one Command from its own
// file. Exit status: 0 success, 1 bad input, 2 wrong usage.
#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>

namespace zorcc {

struct Io
{
    QTextStream &out;
    QTextStream &err;
};

struct Command
{
    QString name;     // first word after zorcc ("variant", "info" …)
    QString summary;  // one line for zorcc --help
    QString usage;    // full help text for zorcc <name> --help
    std::function<int(const QStringList &args, Io &io)> run;
};

// Registers a command; call from a static initialiser (see ZORCC_COMMAND).
bool registerCommand(Command cmd);

// Commands that draw text or vector pictures need a QGuiApplication (fonts);
// the rest start faster without one. needsGui sees the command's arguments
// and answers whether this run needs it; zorcc then starts one on the
// offscreen platform unless QT_QPA_PLATFORM says otherwise.
bool registerGuiNeed(const QString &name, std::function<bool(const QStringList &args)> needsGui);
// The same for commands that run controls (widgets): they get a QApplication.
bool registerWidgetsNeed(const QString &name, std::function<bool(const QStringList &args)> needsWidgets);

// Raised by commands for wrong usage: zorcc prints "zorcc <command>: <message>"
// and where the help is, and exits with 2. The message is one line saying what
// is wrong ("unknown option --x", "--from needs a value"), not the help.
struct UsageError
{
    QString message;
};

// Raised by commands for "exit 1 with this message".
struct InputError
{
    QString message;
};

// Reads a whole file given on the command line; InputError when it cannot.
QByteArray readFileArg(const QString &path);
// Writes a file; InputError when it cannot.
void writeFileArg(const QString &path, const QByteArray &data);

} // namespace zorcc

#define ZORCC_CONCAT2(a, b) a##b
#define ZORCC_CONCAT(a, b) ZORCC_CONCAT2(a, b)
#define ZORCC_COMMAND(...) \
    static const bool ZORCC_CONCAT(zorcc_registered_, __LINE__) = ::zorcc::registerCommand(__VA_ARGS__)
