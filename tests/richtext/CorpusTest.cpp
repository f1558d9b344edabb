#include "RichTextDump.h"

#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/engine/RtfWriter.h>
#include <ZorCompCore/richtext/engine/TextWriter.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

// The first phrase of phrases that text does not hold after the ones before
// it; empty when all are there in order. White space compares collapsed.
QString missingInOrder(const QString &text, const QStringList &phrases)
{
    const QString t = text.simplified();
    qsizetype at = 0;
    for (const QString &p : phrases) {
        const QString want = p.simplified();
        if (want.isEmpty())
            continue;
        const qsizetype found = t.indexOf(want, at);
        if (found < 0)
            return want;
        at = found + want.size();
    }
    return {};
}

} // namespace

TEST(Corpus, RtfOfOtherProgramsGivesItsTextAndSurvivesOurWriter)
{
    const QDir dir(QStringLiteral(ZOR_TEST_DATA "/corpus"));
    const QStringList files = dir.entryList({u"*.rtf"_qs}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 2);
    for (const QString &name : files) {
        SCOPED_TRACE(S(name));
        QFile expect(dir.filePath(QFileInfo(name).completeBaseName() + u".expect"_qs));
        ASSERT_TRUE(expect.open(QIODevice::ReadOnly));
        const QStringList phrases = QString::fromUtf8(expect.readAll()).split(u'\n');

        TWPCustomRtfEdit edit;
        ASSERT_TRUE(edit.LoadFromFile(dir.filePath(name))) << S(edit.LastError());
        const QString text = TWPTextWriter::Write(edit.Document(), u"\n"_qs);
        EXPECT_EQ(S(missingInOrder(text, phrases)), "") << S(text);

        // Our RTF of it reads back as the same document.
        const QByteArray ours = TWPRTFWriter::Write(edit.Document());
        TWPDocument again;
        ASSERT_TRUE(TWPRTFReader::Read(ours, again).Ok);
        EXPECT_EQ(S(Dump(again)), S(Dump(edit.Document())));
    }
}

TEST(Corpus, AnotherReaderFindsOurWordsInOrder)
{
    const QString unrtf = QStandardPaths::findExecutable(u"unrtf"_qs);
    if (unrtf.isEmpty())
        GTEST_SKIP() << "unrtf is not installed";
    TWPDocument doc;
    ASSERT_TRUE(TWPRTFReader::Read(R"({\rtf1{\fonttbl{\f0 Arial;}{\f1 Courier New;}}
\pard\qc{\b First} heading\par
\pard plain {\i italic} {\f1 mono} text\par
\trowd\cellx2000\cellx4000\pard\intbl cellone\cell celltwo\cell\row
\pard\li720 indented {\ul last} words\par})", doc).Ok);
    QTemporaryDir tmp;
    const QString file = tmp.filePath(u"ours.rtf"_qs);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(TWPRTFWriter::Write(doc));
    f.close();

    QProcess p;
    p.start(unrtf, {u"--text"_qs, file});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString text = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_EQ(S(missingInOrder(text, {u"First heading"_qs, u"plain italic mono text"_qs, u"cellone"_qs,
                                      u"celltwo"_qs, u"indented last words"_qs})),
              "")
        << S(text);
}
