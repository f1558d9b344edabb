// How zorcc as a whole answers: help on stdout when asked for, one line and
// where the help is when the usage is wrong, and what `info` tells about the
// library's modules.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

// The command names `zorcc --help` lists.
QStringList listedCommands()
{
    const ZorccRun r = runZorcc({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    const QString commands = r.out.mid(r.out.indexOf(u"Commands:\n"_qs));
    QStringList names;
    static const QRegularExpression row(QStringLiteral("^  (\\S+) "), QRegularExpression::MultilineOption);
    for (auto it = row.globalMatch(commands); it.hasNext();)
        names << it.next().captured(1);
    return names;
}

// The module rows of `zorcc info`: name and header.
QList<std::pair<QString, QString>> moduleRows()
{
    const ZorccRun r = runZorcc({QStringLiteral("info")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QList<std::pair<QString, QString>> rows;
    static const QRegularExpression row(QStringLiteral("^  \\d+\\s+(\\S+)\\s+(\\S+)\\s+(yes|-)\\s+(yes|-)$"),
                                        QRegularExpression::MultilineOption);
    for (auto it = row.globalMatch(r.out); it.hasNext();) {
        const auto m = it.next();
        rows.append({m.captured(1), m.captured(2)});
    }
    return rows;
}

void expectUsageError(const ZorccRun &r, const QString &who, const QString &helpCommand)
{
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    const QStringList lines = r.err.split(u'\n');
    // what is wrong, where the help is, and the final line break
    ASSERT_EQ(lines.size(), 3) << r.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith(who + u": "_qs) && lines[0].size() > who.size() + 2) << r.err.toStdString();
    EXPECT_EQ(lines[1], QStringLiteral("see '%1 --help'").arg(helpCommand));
    EXPECT_TRUE(lines[2].isEmpty());
}

} // namespace

TEST(ZorccUsage, WrongUsageOfEveryCommandIsOneLineAndWhereTheHelpIs)
{
    const QStringList commands = listedCommands();
    ASSERT_TRUE(commands.contains(u"info"_qs)) << commands.join(u' ').toStdString();
    for (const QString &name : commands) {
        SCOPED_TRACE(name.toStdString());
        expectUsageError(runZorcc({name, QStringLiteral("--no-such-option")}), u"zorcc "_qs + name,
                         u"zorcc "_qs + name);
    }
}

TEST(ZorccUsage, HelpGoesToStdoutAndSucceeds)
{
    for (const QString &name : listedCommands()) {
        SCOPED_TRACE(name.toStdString());
        const ZorccRun asked = runZorcc({name, QStringLiteral("--help")});
        EXPECT_EQ(asked.exitCode, 0);
        EXPECT_TRUE(asked.err.isEmpty()) << asked.err.toStdString();
        EXPECT_TRUE(asked.out.startsWith(u"usage: zorcc "_qs + name)) << asked.out.toStdString();
        // "zorcc help <command>" is the same page.
        const ZorccRun viaHelp = runZorcc({QStringLiteral("help"), name});
        EXPECT_EQ(viaHelp.exitCode, 0);
        EXPECT_EQ(viaHelp.out, asked.out);
    }
    const ZorccRun top = runZorcc({QStringLiteral("--help")});
    EXPECT_TRUE(top.out.startsWith(u"usage: zorcc <command>"_qs));
    EXPECT_TRUE(top.err.isEmpty());
}

TEST(ZorccUsage, MissingOrUnknownCommandPointsToTheOverallHelp)
{
    expectUsageError(runZorcc({}), u"zorcc"_qs, u"zorcc"_qs);
    const ZorccRun unknown = runZorcc({QStringLiteral("frobnicate"), QStringLiteral("x")});
    expectUsageError(unknown, u"zorcc"_qs, u"zorcc"_qs);
    EXPECT_TRUE(unknown.err.startsWith(u"zorcc: unknown command 'frobnicate'"_qs)) << unknown.err.toStdString();
    expectUsageError(runZorcc({QStringLiteral("help"), QStringLiteral("frobnicate")}), u"zorcc"_qs, u"zorcc"_qs);
    // After "--" a word is an argument, not a request for help.
    expectUsageError(runZorcc({QStringLiteral("info"), QStringLiteral("--"), QStringLiteral("--help")}),
                     u"zorcc info"_qs, u"zorcc info"_qs);
}

TEST(ZorccInfo, EveryModuleNamesTheHeaderOfItsInterface)
{
    const auto rows = moduleRows();
    ASSERT_GT(rows.size(), 10);
    for (const auto &[module, header] : rows) {
        SCOPED_TRACE(module.toStdString());
        // A module without header: name its header after the unit, or list it
        // with the renamed ones in tools/zorcc/package_info.cpp.
        EXPECT_TRUE(QFile::exists(QStringLiteral(ZOR_SOURCE_DIR "/src/") + header)) << header.toStdString();
    }
    // Exact names win over longer prefixes; a unit named after its header's
    // start maps to it; the one unit whose header has another name.
    const QList<std::pair<QString, QString>> expected = {
        {u"quenlor.Tools.TranslatorCache"_qs, u"localisation/TranslatorCache.h"_qs},
        {u"quenlor.Tools.Translator"_qs, u"localisation/Translator.h"_qs},
        {u"_LiveTourGlobalRegister"_qs, u"core/LiveTour.h"_qs},
        {u"_quenlorCustomException"_qs, u"core/CustomException.h"_qs},
        {u"_deffonts"_qs, u"localisation/DefFonts.h"_qs},
        {u"quenlor.Tools.Exceptions"_qs, u"core/ExceptionUtils.h"_qs},
    };
    for (const auto &row : expected) {
        if (std::any_of(rows.begin(), rows.end(), [&](const auto &r) { return r.first == row.first; })) {
            EXPECT_TRUE(rows.contains(row)) << row.first.toStdString();
        }
    }
}

TEST(ZorccInfo, AModuleIsExplainedByItsHeadersOpeningComment)
{
    const ZorccRun r = runZorcc({QStringLiteral("info"), QStringLiteral("_StreamHelper")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u"header: <ZorCompCore/core/StreamHelper.h>\n"_qs)) << r.out.toStdString();
    QFile header(QStringLiteral(ZOR_SOURCE_DIR "/src/core/StreamHelper.h"));
    ASSERT_TRUE(header.open(QIODevice::ReadOnly));
    // The comment as prose: every line of it, without the comment marks, up to the code.
    QStringList prose;
    for (const QByteArray &line : header.readAll().split('\n')) {
        if (!line.startsWith("//"))
            break;
        prose << QString::fromUtf8(line.mid(line.startsWith("// ") ? 3 : 2));
    }
    ASSERT_GT(prose.size(), 3);
    EXPECT_TRUE(r.out.endsWith(u"\n\n"_qs + prose.join(u'\n') + u"\n"_qs)) << r.out.toStdString();

    const ZorccRun unknown = runZorcc({QStringLiteral("info"), QStringLiteral("_NoSuchUnit")});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.err, u"zorcc info: no module named '_NoSuchUnit' (zorcc info lists them)\n"_qs);
}
