// zorcc rtf spell as users run it: misspelt words with document positions
// and suggestions, the default language, and wrong usage.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

// Catches: offsets counted per paragraph instead of in the document,
// suggestions missing, --language not applied.
TEST(ZorccRtfSpell, ReportsMisspellingsWithOffsetsAndSuggestions)
{
    QTemporaryDir dir;
    const QString rtf = writeFile(dir, u"en.rtf"_qs,
                                  "{\\rtf1\\ansi Teh cat sat.\\par Second {\\b paragrahp} here.\\par}");
    const ZorccRun r = runZorcc({u"rtf"_qs, u"spell"_qs, rtf, u"--language"_qs, u"1033"_qs, u"--json"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject j = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(j[u"language"_qs].toInt(), 1033);
    EXPECT_EQ(j[u"languageCode"_qs].toString(), u"en_US"_qs);
    const QJsonArray m = j[u"misspellings"_qs].toArray();
    ASSERT_EQ(m.size(), 2) << r.out.toStdString();
    EXPECT_EQ(m[0][u"word"_qs].toString(), u"Teh"_qs);
    EXPECT_EQ(m[0][u"offset"_qs].toInt(), 0);
    EXPECT_TRUE(m[0][u"suggestions"_qs].toArray().contains(u"The"_qs));
    EXPECT_EQ(m[1][u"word"_qs].toString(), u"paragrahp"_qs);
    EXPECT_EQ(m[1][u"offset"_qs].toInt(), 20);  // "Teh cat sat." + separator + "Second "
    EXPECT_EQ(m[1][u"length"_qs].toInt(), 9);
    EXPECT_TRUE(m[1][u"suggestions"_qs].toArray().contains(u"paragraph"_qs));

    const ZorccRun plain = runZorcc({u"rtf"_qs, u"spell"_qs, rtf, u"--language"_qs, u"en_US"_qs,
                                     u"--no-suggestions"_qs});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.out, u"0\tTeh\t\n20\tparagrahp\t\n"_qs);
}

// Catches: a default language other than the checker's (German until the
// settings say otherwise), --language of an earlier run saved as the setting.
TEST(ZorccRtfSpell, DefaultsToTheCheckersLanguage)
{
    QTemporaryDir dir;
    const QString rtf = writeFile(dir, u"de.rtf"_qs, "{\\rtf1\\ansi Der gro\\'dfe Hundd bellt.\\par}");
    ASSERT_EQ(runZorcc({u"rtf"_qs, u"spell"_qs, rtf, u"--language"_qs, u"1033"_qs}).exitCode, 0);
    const ZorccRun r = runZorcc({u"rtf"_qs, u"spell"_qs, rtf, u"--no-suggestions"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"10\tHundd\t\n"_qs);
}

// Catches: unknown languages and missing files accepted or crashing.
TEST(ZorccRtfSpell, WrongUsageAndBadInput)
{
    QTemporaryDir dir;
    const QString rtf = writeFile(dir, u"a.rtf"_qs, "{\\rtf1 a\\par}");
    const ZorccRun lang = runZorcc({u"rtf"_qs, u"spell"_qs, rtf, u"--language"_qs, u"9999"_qs});
    EXPECT_EQ(lang.exitCode, 2);
    EXPECT_TRUE(lang.err.contains(u"unknown language '9999'"_qs)) << lang.err.toStdString();
    EXPECT_EQ(runZorcc({u"rtf"_qs, u"spell"_qs}).exitCode, 2);
    const ZorccRun missing = runZorcc({u"rtf"_qs, u"spell"_qs, dir.filePath(u"none.rtf"_qs)});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.isEmpty());
}
