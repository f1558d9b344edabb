// The check-now run: words found in order from the start position, the
// dialog's answers applied to the document and its undo stack.
#include "TestUtil.h"

#include <ZorCompCore/richtext/spell/SpellCheckRun.h>

#include <QTextDocument>

using namespace zor;

// Catches: Change leaving the search before the new word (found again) or
// past the next one, ChangeAll touching other words or taking one undo step
// per occurrence.
TEST(SpellCheckRun, ChangeAndChangeAll)
{
    TWPSpellController c;
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("Skip teh start.\nTeh cat saw teh dog.\nThen Teh bird and thier nest."));
    TWPSpellCheckRun run(c, doc, 16, wpLangEnglishUS);  // from the second paragraph on
    ASSERT_TRUE(run.Next());
    EXPECT_EQ(run.Current().Word, QStringLiteral("Teh"));
    EXPECT_EQ(run.Current().Start, 16);
    EXPECT_TRUE(run.Suggestions().contains(QStringLiteral("The")));

    run.ChangeAll(QStringLiteral("The"));
    const QString changedAll =
        QStringLiteral("Skip teh start.\nThe cat saw teh dog.\nThen The bird and thier nest.");
    EXPECT_EQ(doc.toPlainText(), changedAll);
    doc.undo();  // one step for all
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("Skip teh start.\nTeh cat saw teh dog.\nThen Teh bird and thier nest."));
    doc.redo();
    ASSERT_EQ(doc.toPlainText(), changedAll);

    ASSERT_TRUE(run.Next());
    EXPECT_EQ(run.Current().Word, QStringLiteral("teh"));
    EXPECT_EQ(run.Current().Start, 28);
    run.Change(QStringLiteral("the longer"));
    ASSERT_TRUE(run.Next());
    EXPECT_EQ(run.Current().Word, QStringLiteral("thier"));
    run.Change(QStringLiteral("their"));
    EXPECT_FALSE(run.Next());
    EXPECT_EQ(doc.toPlainText(),
              QStringLiteral("Skip teh start.\nThe cat saw the longer dog.\nThen The bird and their nest."));
    doc.undo();
    doc.undo();
    EXPECT_EQ(doc.toPlainText(), changedAll);
}

// Catches: ignore all or add not reaching the checker, so the run stops at
// the same word again.
TEST(SpellCheckRun, IgnoreIgnoreAllAndAdd)
{
    QTemporaryDir dir;
    ScopedEnv roaming("XDG_CONFIG_HOME", dir.path().toUtf8());
    TWPSpellController c;
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("Zorp met Zorp and Flibber, then Zorp and Flibber."));
    TWPSpellCheckRun run(c, doc, 0, wpLangEnglishUS);
    ASSERT_TRUE(run.Next());
    EXPECT_EQ(run.Current().Start, 0);
    ASSERT_TRUE(run.Next());  // ignoring once is passing on
    EXPECT_EQ(run.Current().Start, 9);
    run.IgnoreAll();
    ASSERT_TRUE(run.Next());
    EXPECT_EQ(run.Current().Word, QStringLiteral("Flibber"));
    EXPECT_TRUE(run.Add());
    EXPECT_FALSE(run.Next());
    EXPECT_TRUE(c.IsCorrect(QStringLiteral("Flibber"), wpLangEnglishUS));
}
