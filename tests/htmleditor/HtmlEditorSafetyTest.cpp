// Mail is untrusted: a loaded text runs no script, fetches nothing from the
// network unless allowed, and neither a click nor a drop navigates away. The
// container round trip belongs here too: a bad container must lose nothing.
#include "HtmlEditorTestUtil.h"
#include "../localisation/TestHttpServer.h"

#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QWebEngineSettings>

using namespace zor;
using ztest::EditorTest;
using ztest::HttpRequest;
using ztest::HttpResponse;
using ztest::HttpServer;
using ztest::waitFor;

namespace {

class HtmlEditorSafety : public EditorTest
{
protected:
    HttpServer server{[this](const HttpRequest &) {
        HttpResponse r;
        r.body = picture;
        r.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("image/png")));
        return r;
    }};
    QByteArray picture = ztest::pictureBytes(8, 8, Qt::green);

    // A text that would reach the server in four ways.
    QString remoteText() const
    {
        return u"<html><head><link rel=\"stylesheet\" href=\"%1\"><link rel=\"icon\" href=\"%2\"></head>"
               u"<body><p id=\"p\" style=\"background:url(%3)\">text</p><img src=\"%4\"></body></html>"_qs
            .arg(server.Url(u"/a.css"_qs), server.Url(u"/favicon.ico"_qs), server.Url(u"/bg.png"_qs),
                 server.Url(u"/img.png"_qs));
    }
};

TEST_F(HtmlEditorSafety, LoadedScriptsNeverRun)
{
    const QString text = u"<html><body onload=\"document.body.setAttribute('data-a','1')\"><p id=\"p\">x</p>"
                         u"<script>document.body.setAttribute('data-b','1');</script>"
                         u"<img src=\"data:,\" onerror=\"document.body.setAttribute('data-c','1')\"></body></html>"_qs;
    editor->SetHTMLText(text);
    QTest::qWait(300);
    EXPECT_EQ(js(u"[...document.body.attributes].map(a => a.name).join(',')"_qs).toString(), u"onload"_qs);
    EXPECT_EQ(editor->HTMLText(), text);
}

TEST_F(HtmlEditorSafety, NoRequestLeavesUnlessRemoteContentIsAllowed)
{
    editor->SetHTMLText(remoteText());
    editor->HTMLText();
    QTest::qWait(500);
    EXPECT_EQ(server.RequestCount(), 0);

    // The same text with remote content on does reach the server: the count
    // above is not zero for want of trying.
    editor->SetAllowRemoteContent(true);
    editor->SetHTMLText(remoteText());
    ASSERT_TRUE(waitFor([&] { return server.RequestCount() > 0; }));
}

TEST_F(HtmlEditorSafety, TheRequestGuardHoldsOnItsOwn)
{
    // The page's own lock opened behind the editor's back: the guard still
    // lets nothing out.
    editor->View()->page()->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    editor->SetHTMLText(remoteText());
    editor->HTMLText();
    QTest::qWait(500);
    EXPECT_EQ(server.RequestCount(), 0);
}

TEST_F(HtmlEditorSafety, ARefreshDoesNotReplaceTheText)
{
    QTemporaryDir dir;
    const QString other = dir.filePath(u"other.html"_qs);
    ASSERT_TRUE(ztest::writeFile(other, "<p>another text</p>"));
    const QString text = u"<html><head><meta http-equiv=\"refresh\" content=\"0;url=%1\"></head>"
                         u"<body><p>mine</p></body></html>"_qs.arg(QUrl::fromLocalFile(other).toString());
    editor->SetHTMLText(text);
    const QUrl loaded = (editor->HTMLText(), editor->View()->page()->url());
    QTest::qWait(800);
    EXPECT_EQ(editor->View()->page()->url(), loaded);
    EXPECT_EQ(js(u"document.body.innerText.trim()"_qs).toString(), u"mine"_qs);
}

TEST_F(HtmlEditorSafety, DroppedFilesAreInsertedNotOpened)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"dropped.png"_qs);
    ASSERT_TRUE(ztest::writeFile(file, picture));
    editor->SetHTMLText(u"<p id=\"p\">drop here</p>"_qs);
    const QUrl before = (editor->HTMLText(), editor->View()->page()->url());

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QWidget *input = editor->View()->focusProxy();
    ASSERT_NE(input, nullptr);
    const QPointF at(20, 15);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(input, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(input, &drop);
    QTest::qWait(300);

    EXPECT_EQ(editor->View()->page()->url(), before);
    EXPECT_TRUE(QFile::exists(editor->ImagePath() + u"/dropped.png"_qs));
    EXPECT_TRUE(editor->HTMLText().contains(u"<img src=\"%IMAGEPATH%dropped.png\">"_qs)) << editor->HTMLText().toStdString();
}

TEST_F(HtmlEditorSafety, ContainerReopensInASecondEditorAndABadOneLosesNothing)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"photo.png"_qs);
    ASSERT_TRUE(ztest::writeFile(file, picture));
    editor->SetHTMLText(u"<p id=\"p\">with a picture: </p>"_qs);
    caretAtEndOf(u"p"_qs);
    ASSERT_FALSE(editor->AddLocalImage(file, false).isEmpty());
    const QString text = editor->HTMLText();
    TBytesStream saved;
    editor->SaveToBinaryStream(saved);

    TZORHtmlEditor second;
    second.SetHTMLText(u"<p>open document</p>"_qs);
    saved.SetPosition(0);
    second.LoadFromBinaryStream(saved);
    EXPECT_EQ(second.HTMLText(), text);
    TStringList images;
    second.FillImageList(images);
    ASSERT_EQ(images.Count(), 1);
    QFile copy(second.ImagePath() + u"/"_qs + QFileInfo(images[0]).fileName());
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), picture);

    TBytesStream truncated(saved.Bytes().left(saved.Bytes().size() - 10));
    EXPECT_THROW(second.LoadFromBinaryStream(truncated), EReadError);
    EXPECT_EQ(second.HTMLText(), text) << "the open document stays";
    EXPECT_TRUE(QFile::exists(copy.fileName()));
}

} // namespace
