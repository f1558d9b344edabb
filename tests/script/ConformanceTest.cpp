// Conformance programs: every file in conformance/<syntax>/ runs through the
// built zorcc as a separate process, the way users run scripts. A program
// passes when the run exits 0 and its standard output equals the sibling .out
// file byte for byte. Programs are found when the suite starts, so adding one
// is adding its two files.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

namespace {

#ifdef ZOR_CONFORMANCE_DIR
const char *const kRoot = ZOR_CONFORMANCE_DIR;
#else
const char *const kRoot = "";
#endif

// Folder and the extension zorcc picks the language by.
struct Syntax
{
    const char *folder;
    const char *ext;
};
constexpr Syntax kSyntaxes[] = {{"pascal", "pas"}, {"cpp", "cpps"}, {"js", "js"}, {"basic", "bas"}};

struct Program
{
    std::string name; // gtest-safe: folder_file
    QString path;
};

std::vector<Program> discover()
{
    std::vector<Program> programs;
    for (const Syntax &s : kSyntaxes) {
        const QDir dir(QString::fromUtf8(kRoot) + u'/' + QString::fromLatin1(s.folder));
        const QStringList files = dir.entryList({QStringLiteral("*.") + QString::fromLatin1(s.ext)},
                                                QDir::Files, QDir::Name);
        for (const QString &f : files) {
            QString name = QString::fromLatin1(s.folder) + u'_' + QFileInfo(f).completeBaseName();
            name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
            programs.push_back({name.toStdString(), dir.filePath(f)});
        }
    }
    return programs;
}

// Test listings show the program's file, not the parameter's bytes.
void PrintTo(const Program &p, std::ostream *os)
{
    *os << QFileInfo(p.path).dir().dirName().toStdString() << '/' << QFileInfo(p.path).fileName().toStdString();
}

class Conformance : public testing::TestWithParam<Program>
{
};

TEST_P(Conformance, PrintsExpectedOutput)
{
    const Program &p = GetParam();
    const QFileInfo info(p.path);
    QFile expectedFile(info.path() + u'/' + info.completeBaseName() + QStringLiteral(".out"));
    ASSERT_TRUE(expectedFile.open(QIODevice::ReadOnly)) << "no expected output " << expectedFile.fileName().toStdString();
    const QByteArray expected = expectedFile.readAll();

#ifndef ZORCC_PATH
    GTEST_SKIP() << "zorcc is not part of this build";
#else
    QProcess zorcc;
    zorcc.setWorkingDirectory(info.path());
    zorcc.start(QStringLiteral(ZORCC_PATH), {QStringLiteral("script"), QStringLiteral("run"), p.path});
    if (!zorcc.waitForFinished(120000) || zorcc.exitStatus() != QProcess::NormalExit) {
        zorcc.kill();
        zorcc.waitForFinished();
        FAIL() << "zorcc did not end normally on " << p.path.toStdString();
    }
    const QByteArray out = zorcc.readAllStandardOutput();
    const QByteArray err = zorcc.readAllStandardError();
    EXPECT_EQ(zorcc.exitCode(), 0) << err.toStdString();
    EXPECT_EQ(out.toStdString(), expected.toStdString());
#endif
}

INSTANTIATE_TEST_SUITE_P(Programs, Conformance, testing::ValuesIn(discover()),
                         [](const testing::TestParamInfo<Program> &info) { return info.param.name; });

// An expected output whose program was renamed or removed would silently stop
// being checked.
TEST(ConformanceFiles, EveryOutputHasItsProgram)
{
    for (const Syntax &s : kSyntaxes) {
        const QDir dir(QString::fromUtf8(kRoot) + u'/' + QString::fromLatin1(s.folder));
        for (const QString &out : dir.entryList({QStringLiteral("*.out")}, QDir::Files)) {
            const QString program = QFileInfo(out).completeBaseName() + u'.' + QString::fromLatin1(s.ext);
            EXPECT_TRUE(dir.exists(program)) << dir.filePath(out).toStdString() << " has no " << program.toStdString();
        }
    }
}

} // namespace
