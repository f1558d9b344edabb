// Pasting as users do: the system clipboard of the X server and Ctrl+V into
// the page. The paste rules themselves are the core's (tested headless); here
// counts that the page's own paste never bypasses them, that the right Ctrl
// key is seen, and that what the rules produce really lands in the text.
#include "HtmlEditorTestUtil.h"
#include "../localisation/TestHttpServer.h"

#include <ZorCompCore/core/ExceptionUtils.h>
#include <ZorCompCore/utilities/HTTPUtils.h>

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QMimeData>

using namespace zor;
using ztest::EditorTest;
using ztest::HttpRequest;
using ztest::HttpResponse;
using ztest::HttpServer;
using ztest::waitFor;

namespace {

class HtmlEditorPaste : public EditorTest
{
protected:
    HttpServer server{[](const HttpRequest &r) {
        HttpResponse resp;
        if (r.target == "/pics/photo.png") {
            resp.body = ztest::pictureBytes(400, 200, Qt::blue);
        } else {
            resp.status = 404;
            resp.reason = "Not Found";
        }
        return resp;
    }};

    void SetUp() override
    {
        EditorTest::SetUp();
        editor->SetHTMLText(u"<html><head><style>.zor-auto-lnkpast-thumb-img { thumbfmt: png; width: 100 }"
                            u"</style></head><body><p id=\"p\">start</p></body></html>"_qs);
        caretAtEndOf(u"p"_qs);
    }

    // Puts AData on the X server's clipboard (owned by this process, as when
    // the user copies in another window of the application).
    void copy(QMimeData *AData)
    {
        QGuiApplication::clipboard()->setMimeData(AData);
        ASSERT_TRUE(waitFor([] { return QGuiApplication::clipboard()->mimeData() != nullptr; }));
    }

    // Ctrl+V, with the right Ctrl key when ARight.
    void pressPaste(bool ARight = false)
    {
        QWidget *input = editor->View()->focusProxy();
        ASSERT_NE(input, nullptr);
        const quint32 key = ARight ? 0xffe4 : 0xffe3; // Control_R, Control_L
        QKeyEvent ctrlDown(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 0, key, 0);
        QApplication::sendEvent(input, &ctrlDown);
        QTest::keyClick(input, Qt::Key_V, Qt::ControlModifier);
        QKeyEvent ctrlUp(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, 0, key, 0);
        QApplication::sendEvent(input, &ctrlUp);
    }
};

TEST_F(HtmlEditorPaste, HtmlKeepsItsTable)
{
    auto *data = new QMimeData;
    data->setHtml(u"<table border=\"1\"><tr><td class=\"c\">a</td><td>b</td></tr></table>"_qs);
    data->setText(u"a b"_qs);
    copy(data);
    pressPaste();
    ASSERT_TRUE(waitFor([&] { return editor->HTMLText().contains(u"<table"); })) << editor->HTMLText().toStdString();
    const QString out = editor->HTMLText();
    EXPECT_TRUE(out.contains(u"<td class=\"c\">a</td>"_qs)) << out.toStdString();
    EXPECT_TRUE(editor->Modified());
}

TEST_F(HtmlEditorPaste, RichTextAloneGoesThroughTheRichTextEngine)
{
    auto *data = new QMimeData;
    data->setData(u"text/rtf"_qs, QByteArray("{\\rtf1\\ansi {\\b bold words} and plain}"));
    copy(data);
    pressPaste();
    ASSERT_TRUE(waitFor([&] { return editor->HTMLText().contains(u"bold words"); })) << editor->HTMLText().toStdString();
    const QString out = editor->HTMLText();
    EXPECT_TRUE(out.contains(u"and plain"_qs)) << out.toStdString();
    EXPECT_FALSE(out.contains(u"rtf1"_qs)) << "converted, not pasted as text";
    EXPECT_TRUE(out.contains(u"font-weight"_qs) || out.contains(u"<b>"_qs)) << out.toStdString();
}

TEST_F(HtmlEditorPaste, PictureBecomesAFileInTheFolder)
{
    auto *data = new QMimeData;
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::red);
    data->setImageData(image);
    copy(data);
    pressPaste();
    ASSERT_TRUE(waitFor([&] { return editor->HTMLText().contains(u"<img"); })) << editor->HTMLText().toStdString();
    const QStringList files = QDir(editor->ImagePath()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(QImage(editor->ImagePath() + u"/"_qs + files[0]).size(), QSize(30, 20));
    EXPECT_TRUE(editor->HTMLText().contains(u"%IMAGEPATH%"_qs + files[0])) << editor->HTMLText().toStdString();
}

TEST_F(HtmlEditorPaste, PictureAddressBecomesAThumbnailLinkShapedByTheDocumentStyle)
{
    auto *data = new QMimeData;
    data->setText(server.Url(u"/pics/photo.png"_qs));
    copy(data);
    pressPaste();
    ASSERT_TRUE(waitFor([&] { return editor->HTMLText().contains(u"zor-auto-lnkpast-thumb-lnk"); }))
        << editor->HTMLText().toStdString();
    const QString out = editor->HTMLText();
    EXPECT_TRUE(out.contains(u"href=\""_qs + server.Url(u"/pics/photo.png"_qs) + u"\""_qs)) << out.toStdString();
    EXPECT_TRUE(out.contains(u"src=\"%IMAGEPATH%photo.png\""_qs)) << out.toStdString();
    // The document's class asked for a PNG 100 pixels wide.
    QImageReader thumb(editor->ImagePath() + u"/photo.png"_qs);
    EXPECT_EQ(thumb.format(), QByteArray("png"));
    EXPECT_EQ(thumb.size(), QSize(100, 50));

    // Without the class: a JPEG 200 pixels wide.
    editor->SetHTMLText(u"<p id=\"p\">plain</p>"_qs);
    caretAtEndOf(u"p"_qs);
    pressPaste();
    ASSERT_TRUE(waitFor([&] { return editor->HTMLText().contains(u"zor-auto-lnkpast-thumb-lnk"); }));
    EXPECT_TRUE(editor->HTMLText().contains(u"src=\"%IMAGEPATH%photo.jpg\""_qs)) << editor->HTMLText().toStdString();
    QImageReader jpeg(editor->ImagePath() + u"/photo.jpg"_qs);
    EXPECT_EQ(jpeg.format(), QByteArray("jpeg"));
    EXPECT_EQ(jpeg.size(), QSize(200, 100));
}

TEST_F(HtmlEditorPaste, RightControlMakesAPlainLink)
{
    auto *data = new QMimeData;
    data->setText(server.Url(u"/pics/photo.png"_qs));
    copy(data);
    pressPaste(true);
    ASSERT_TRUE(waitFor([&] { return editor->HTMLText().contains(u"<a "); })) << editor->HTMLText().toStdString();
    const QString out = editor->HTMLText();
    EXPECT_FALSE(out.contains(u"zor-auto-lnkpast-thumb-lnk"_qs)) << out.toStdString();
    EXPECT_TRUE(QDir(editor->ImagePath()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(server.RequestCount(), 0) << "nothing was downloaded";
}

TEST_F(HtmlEditorPaste, FailedDownloadInsertsNothing)
{
    const QString before = editor->HTMLText();
    QMimeData data;
    data.setText(server.Url(u"/pics/missing.png"_qs));
    EXPECT_THROW(editor->PasteText(data, false), EHTTPProtocolException);
    EXPECT_EQ(editor->HTMLText(), before);
    EXPECT_FALSE(editor->Modified());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the busy cursor is gone";

    // Interactive: the error is shown, the text stays.
    TZORExceptionUtils::SetSilent(true);
    auto *clip = new QMimeData;
    clip->setText(server.Url(u"/pics/missing.png"_qs));
    copy(clip);
    pressPaste();
    QTest::qWait(300);
    TZORExceptionUtils::SetSilent(false);
    EXPECT_EQ(editor->HTMLText(), before);
}

} // namespace
