// The add-picture action on a real editor, its file dialog replaced by
// GlobalPictureDialogHandler: what a confirmed, an embedded, a cancelled and
// a failing choice leave in the text, and when OnChange runs.
#include "HtmlEditorTestUtil.h"

#include <ZorCompCore/htmleditor/HtActionAddLocalImage.h>
#include <ZorCompCore/htmleditor/ZORHtmlEditor.h>
#include <ZorCompCore/richtext/actions/ActionList.h>
#include <ZorCompCore/utilities/QEDialogs.h>
#include <ZorCompCore/web/ZORHtmlEditorCore.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace zor;

namespace {

// A shown editor holding one paragraph, the action aimed at it, and a dialog
// that answers `answer` and counts how often it was asked.
class AddLocalImageAction : public ztest::EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        picture = dir.filePath(QStringLiteral("photo.png"));
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(picture));
        editor->SetBodyOnly(true);
        editor->SetHTMLText(QStringLiteral("<p>Text</p>"));
        action.SetEditor(editor.get());
        action.OnChange = [this](THtActionAddLocalImage *sender) {
            EXPECT_EQ(sender, &action);
            ++changes;
        };
        GlobalPictureDialogHandler = [this](QWidget *, const QString &filter) {
            ++asked;
            askedFilter = filter;
            return answer;
        };
    }

    void TearDown() override
    {
        GlobalPictureDialogHandler = nullptr;
        GlobalMessageDialogHandler = nullptr;
        EditorTest::TearDown();
    }

    QTemporaryDir dir;
    QString picture;
    THtActionAddLocalImage action;
    QString answer;
    QString askedFilter;
    int asked = 0;
    int changes = 0;
};

// Catches: the chosen file not inserted, not copied into the folder, or
// OnChange not raised after it.
TEST_F(AddLocalImageAction, ConfirmedPictureIsCopiedIntoTheFolderAndInserted)
{
    answer = picture;
    action.trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(askedFilter.contains(QStringLiteral("*.png"))) << qPrintable(askedFilter);
    const QString html = editor->HTMLText();
    EXPECT_TRUE(html.contains(QStringLiteral("%IMAGEPATH%photo.png"))) << qPrintable(html);
    EXPECT_TRUE(html.contains(QStringLiteral("Text")));
    EXPECT_TRUE(QFileInfo::exists(editor->ImagePath() + QStringLiteral("/photo.png")));
    EXPECT_EQ(changes, 1);
}

// Catches: EmbedImages ignored (the picture copied instead of embedded).
TEST_F(AddLocalImageAction, EmbedImagesPutsThePictureIntoTheText)
{
    editor->SetEmbedImages(true);
    answer = picture;
    EXPECT_TRUE(action.ExecuteTarget(editor.get()));
    const QString html = editor->HTMLText();
    EXPECT_TRUE(html.contains(QStringLiteral("src=\"data:image/png;base64,"))) << qPrintable(html);
    EXPECT_FALSE(html.contains(QStringLiteral("%IMAGEPATH%")));
    EXPECT_FALSE(QFileInfo::exists(editor->ImagePath() + QStringLiteral("/photo.png")));
    EXPECT_EQ(changes, 1);
}

// Catches: a cancelled dialog still inserting (an empty img) or raising OnChange.
TEST_F(AddLocalImageAction, CancelledDialogChangesNothing)
{
    const QString before = editor->HTMLText();
    answer.clear();
    action.trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(action.ExecuteTarget(editor.get()));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(editor->HTMLText(), before);
    EXPECT_EQ(changes, 0);
}

// Catches: the insertion's error escaping the trigger (into Qt's event loop)
// instead of being shown, or OnChange raised for a picture never inserted.
TEST_F(AddLocalImageAction, FailedInsertionIsShownAndNotReported)
{
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    QFile f(notes);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("no picture");
    f.close();
    editor->SetEmbedImages(true);
    answer = notes;
    QString shown;
    GlobalMessageDialogHandler = [&shown](const QString &msg, TMsgDlgType, TMsgDlgButtons, int) {
        shown = msg;
        return mrOk;
    };
    const QString before = editor->HTMLText();
    EXPECT_NO_THROW(action.trigger());
    EXPECT_EQ(shown, QStringLiteral("Unknown graphic format ") + notes);
    EXPECT_EQ(editor->HTMLText(), before);
    EXPECT_EQ(changes, 0);
    // Called directly, the error reaches the caller.
    EXPECT_ANY_THROW(action.ExecuteTarget(editor.get()));
}

// Catches: the action enabled (and asking) without a live editor, a
// read-only editor written to, or a category action lists do not see.
TEST_F(AddLocalImageAction, NeedsAWritableEditorAndSitsInItsCategory)
{
    EXPECT_EQ(TWPActionList::Category(&action), QStringLiteral("HtmlEdit.quenlor"));
    EXPECT_TRUE(action.isEnabled());

    answer = picture;
    editor->SetReadOnly(true);
    EXPECT_FALSE(action.ExecuteTarget(editor.get()));
    EXPECT_EQ(asked, 0);
    editor->SetReadOnly(false);

    editor.reset();
    EXPECT_EQ(action.Editor(), nullptr);
    EXPECT_FALSE(action.isEnabled());
    action.trigger(); // disabled: nothing, not even the dialog
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(changes, 0);
}

// Catches: the dialog's filter and the editor's picture types drifting apart.
TEST(AddLocalImageActionFilter, OffersExactlyTheEditorsPictureTypes)
{
    const QString filter = THtActionAddLocalImage::PictureFilter();
    const qsizetype open = filter.indexOf(u'('), close = filter.indexOf(u')');
    ASSERT_GT(open, 0);
    ASSERT_GT(close, open);
    const QStringList patterns = filter.mid(open + 1, close - open - 1).split(u' ');
    EXPECT_EQ(patterns.size(), 9);
    for (const QString &p : patterns) {
        SCOPED_TRACE(p.toStdString());
        EXPECT_TRUE(p.startsWith(QStringLiteral("*.")));
        EXPECT_TRUE(TZORHtmlEditorCore::GetIsGraphicTypeExtension(QStringLiteral("a") + p.mid(1)));
    }
    EXPECT_TRUE(filter.endsWith(QStringLiteral("(*)")));
}

} // namespace
