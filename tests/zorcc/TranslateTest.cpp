// zorcc translate with a glossary: one pair and one cache file however the
// languages are named, one set of cache keys for direct and deferred
// translation, and a warning with exit status 1 when the cache folder cannot
// be written.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

struct TranslateTest : ::testing::Test
{
    QTemporaryDir tmp;
    QString cache = tmp.filePath(u"cache"_qs);

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        writeGlossary(u"full.tsv"_qs, "Hallo\tHello\nWelt\tWorld\n");
        writeGlossary(u"other.tsv"_qs, "Nichts\tNothing\n");
    }

    void writeGlossary(const QString &name, const QByteArray &text)
    {
        QFile f(tmp.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    ZorccRun translate(const QString &from, const QString &to, const QString &glossary, QStringList extra)
    {
        return runZorcc(QStringList{u"translate"_qs, u"--from"_qs, from, u"--to"_qs, to, u"--glossary"_qs,
                                    tmp.filePath(glossary), u"--cache-dir"_qs, cache}
                        + extra);
    }

    QStringList cacheFiles() const { return QDir(cache).entryList(QDir::Files); }
};

} // namespace

TEST_F(TranslateTest, CodesAndNamesOfALanguageNameOnePairAndOneCacheFile)
{
    const ZorccRun first = translate(u"de"_qs, u"en"_qs, u"full.tsv"_qs, {u"Hallo"_qs});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, u"Hello\n"_qs);
    EXPECT_EQ(cacheFiles(), QStringList{u"GermanEnglish.lc"_qs});
    // A glossary that does not know the text: only the cache of the same pair can answer.
    for (const auto &[from, to] : {std::pair{u"German"_qs, u"English"_qs}, {u"Deutsch"_qs, u"en_GB"_qs}}) {
        SCOPED_TRACE(from.toStdString());
        const ZorccRun again = translate(from, to, u"other.tsv"_qs, {u"Hallo"_qs});
        EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
        EXPECT_EQ(again.out, u"Hello\n"_qs);
    }
    EXPECT_EQ(cacheFiles(), QStringList{u"GermanEnglish.lc"_qs});
}

TEST_F(TranslateTest, DirectAndDeferredTranslationShareTheCacheKeys)
{
    const QStringList texts{u"Hallo"_qs, u"Welt"_qs};
    for (const bool deferFirst : {false, true}) {
        SCOPED_TRACE(deferFirst ? "deferred, then direct" : "direct, then deferred");
        QDir(cache).removeRecursively();
        const QStringList fill = deferFirst ? QStringList{u"--defer"_qs} : QStringList{};
        const QStringList read = deferFirst ? QStringList{} : QStringList{u"--defer"_qs};
        const ZorccRun filled = translate(u"de"_qs, u"en"_qs, u"full.tsv"_qs, fill + texts);
        ASSERT_EQ(filled.exitCode, 0) << filled.err.toStdString();
        EXPECT_EQ(filled.out, u"Hello\nWorld\n"_qs);
        const ZorccRun cached = translate(u"de"_qs, u"en"_qs, u"other.tsv"_qs, read + texts);
        EXPECT_EQ(cached.exitCode, 0) << cached.err.toStdString();
        EXPECT_EQ(cached.out, u"Hello\nWorld\n"_qs);
    }
}

TEST_F(TranslateTest, ACacheFolderThatCannotBeWrittenWarnsAndFails)
{
    // zorcc runs as nobody when we are root: the folders must let it in.
    ASSERT_TRUE(QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                      | QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup
                                                      | QFile::ExeGroup));
    ASSERT_TRUE(QDir().mkpath(cache));
    ASSERT_TRUE(QFile::setPermissions(cache, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther
                                                 | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    for (const QString &name : {u"full.tsv"_qs, u"other.tsv"_qs})
        QFile::setPermissions(tmp.filePath(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther
                                                      | QFile::ReadGroup);
    const ZorccRun r = runZorcc({u"translate"_qs, u"--from"_qs, u"de"_qs, u"--to"_qs, u"en"_qs, u"--glossary"_qs,
                                 tmp.filePath(u"full.tsv"_qs), u"--cache-dir"_qs, cache, u"Hallo"_qs},
                                {}, true);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, u"Hello\n"_qs); // the translation itself is still given
    EXPECT_TRUE(r.err.contains(u"zorcc translate: warning: translations cannot be cached: "_qs + cache
                               + u" is not writable"_qs))
        << r.err.toStdString();
    EXPECT_TRUE(cacheFiles().isEmpty());
    QFile::setPermissions(cache, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
