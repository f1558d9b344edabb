// The PDF previewer runs in zor-preview-worker: the real worker renders a
// document's pages into the pane, a misbehaving one (crash, hang, oversized
// answer) leaves the pane usable with the error shown, and the host's frame
// reader refuses what it did not ask for.
#include <ZorCompCore/imaging/widgets/PreviewFrames_p.h>
#include <ZorCompCore/imaging/widgets/WindowsPreviewHandlerControl.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zor;
using namespace zor::detail;

namespace {

// Three Letter pages filled red, green and blue.
void WritePdf(const QString &path, const QList<QColor> &colours)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    writer.setPageMargins(QMarginsF());
    QPainter p(&writer);
    for (int i = 0; i < colours.size(); ++i) {
        if (i > 0)
            writer.newPage();
        p.fillRect(QRect(QPoint(), QSize(writer.width(), writer.height())), colours[i]);
    }
}

QColor Centre(QWidget &w)
{
    return w.grab().toImage().pixelColor(w.width() / 2, w.height() / 2);
}

// Lets the pane render until its centre shows colour (the worker answers in
// its own time; the guard only stops a broken run).
bool WaitForCentre(QWidget &w, const QColor &colour)
{
    const QDeadlineTimer guard(60000);
    while (!guard.hasExpired()) {
        QApplication::processEvents();
        const QColor c = Centre(w);
        if (qAbs(c.red() - colour.red()) < 16 && qAbs(c.green() - colour.green()) < 16 &&
            qAbs(c.blue() - colour.blue()) < 16)
            return true;
    }
    return false;
}

qint64 WorkerPid(QWidget &control)
{
    auto *p = control.findChild<QProcess *>();
    return p && p->state() == QProcess::Running ? p->processId() : 0;
}

class PdfPreview : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("ZOR_PREVIEW_WORKER", ZOR_PREVIEW_WORKER_PATH);
        pdf = dir.filePath(QStringLiteral("colours.pdf"));
        WritePdf(pdf, {Qt::red, Qt::green, Qt::blue});
        control.resize(400, 300);
        control.show();
    }
    void TearDown() override
    {
        qunsetenv("ZOR_PREVIEW_WORKER");
        qunsetenv("ZOR_FAKE_WORKER_MODE");
        qunsetenv("ZOR_PREVIEW_TIMEOUT_MS");
    }
    void UseFake(const char *mode)
    {
        qputenv("ZOR_PREVIEW_WORKER", ZOR_FAKE_WORKER_PATH);
        qputenv("ZOR_FAKE_WORKER_MODE", mode);
    }
    void UseReal()
    {
        qputenv("ZOR_PREVIEW_WORKER", ZOR_PREVIEW_WORKER_PATH);
        qunsetenv("ZOR_FAKE_WORKER_MODE");
    }
    // After a failure the pane previews a good document with a fresh worker.
    void ExpectRecovers(qint64 failedPid)
    {
        UseReal();
        control.SetFileName(pdf);
        EXPECT_EQ(control.DisplayText(), QString());
        EXPECT_NE(WorkerPid(control), failedPid);
        EXPECT_TRUE(WaitForCentre(control, Qt::red));
    }

    void ExpectRenderFailureShown(const char *mode);

    QTemporaryDir dir;
    QString pdf;
    TWindowsPreviewHandlerControl control;
};

TEST_F(PdfPreview, RealWorkerRendersPagesAndScrollsToTheLast)
{
    control.SetFileName(pdf);
    ASSERT_TRUE(control.PreviewLoaded()) << control.DisplayText().toStdString();
    EXPECT_GT(WorkerPid(control), 0);
    EXPECT_TRUE(WaitForCentre(control, Qt::red));
    auto *view = control.findChild<QAbstractScrollArea *>();
    ASSERT_NE(view, nullptr);
    // Three pages at the pane's width do not fit: the pane scrolls.
    ASSERT_GT(view->verticalScrollBar()->maximum(), 2 * control.height());
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    EXPECT_TRUE(WaitForCentre(control, Qt::blue));
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
    EXPECT_TRUE(WaitForCentre(control, Qt::green));
}

TEST_F(PdfPreview, OneWorkerServesSuccessiveFiles)
{
    const QString second = dir.filePath(QStringLiteral("blue.pdf"));
    WritePdf(second, {Qt::blue});
    control.SetFileName(pdf);
    const qint64 pid = WorkerPid(control);
    ASSERT_GT(pid, 0);
    control.SetFileName(second);
    EXPECT_EQ(WorkerPid(control), pid);
    EXPECT_TRUE(WaitForCentre(control, Qt::blue));
}

TEST_F(PdfPreview, WorkerReportsUndecodableFiles)
{
    QFile bad(dir.filePath(QStringLiteral("bad.pdf")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("%PDF-1.4\nthis is no document at all\n");
    bad.close();
    control.SetFileName(bad.fileName());
    EXPECT_EQ(control.DisplayText(), QStringLiteral("(Item was corrupt. The file is no readable PDF document)"));
    EXPECT_FALSE(control.PreviewLoaded());
    // The worker refused the file but is fine: it serves the next one.
    const qint64 pid = WorkerPid(control);
    EXPECT_GT(pid, 0);
    control.SetFileName(pdf);
    EXPECT_EQ(WorkerPid(control), pid);
    EXPECT_TRUE(WaitForCentre(control, Qt::red));
}

TEST_F(PdfPreview, MissingWorkerIsAServerFailure)
{
    qputenv("ZOR_PREVIEW_WORKER", dir.filePath(QStringLiteral("no-such-worker")).toUtf8());
    control.SetFileName(pdf);
    EXPECT_TRUE(control.DisplayText().startsWith(u"(Cannot start the preview worker")) << control.DisplayText().toStdString();
    ExpectRecovers(0);
}

TEST_F(PdfPreview, CrashingWorkerShowsTheErrorAndIsReplaced)
{
    UseFake("crash-open");
    control.SetFileName(pdf);
    EXPECT_EQ(control.DisplayText(), QStringLiteral("(Item was corrupt. The preview worker crashed)"));
    EXPECT_EQ(WorkerPid(control), 0);
    ExpectRecovers(0);
}

TEST_F(PdfPreview, HangingWorkerIsKilledAtTheTimeLimit)
{
    UseFake("hang-open");
    qputenv("ZOR_PREVIEW_TIMEOUT_MS", "300");
    control.SetFileName(pdf);
    EXPECT_EQ(control.DisplayText(),
              QStringLiteral("(Item was corrupt. The preview worker did not answer within 0.3 seconds)"));
    EXPECT_EQ(WorkerPid(control), 0);
    qunsetenv("ZOR_PREVIEW_TIMEOUT_MS");
    ExpectRecovers(0);
}

TEST_F(PdfPreview, OversizedAnswerIsRefused)
{
    UseFake("oversize-open");
    control.SetFileName(pdf);
    EXPECT_TRUE(control.DisplayText().contains(u"bytes where at most 1600004 were expected"))
        << control.DisplayText().toStdString();
    EXPECT_EQ(WorkerPid(control), 0);
    ExpectRecovers(0);
}

// Failures while pages render lazily are written over the page view; the
// next file starts a fresh worker.
void PdfPreview::ExpectRenderFailureShown(const char *mode)
{
    UseFake(mode);
    control.SetFileName(pdf);
    ASSERT_TRUE(control.PreviewLoaded()) << control.DisplayText().toStdString();
    const qint64 pid = WorkerPid(control);
    EXPECT_GT(pid, 0);
    // Painting asks for the visible page.
    const QDeadlineTimer guard(60000);
    while (WorkerPid(control) != 0 && !guard.hasExpired()) {
        control.grab();
        QApplication::processEvents();
    }
    EXPECT_EQ(WorkerPid(control), 0);
    // The error line at the top: dark text on the light page.
    const QImage shot = control.grab().toImage();
    int darkest = 255;
    for (int y = 0; y < 2 * control.fontMetrics().height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            darkest = qMin(darkest, qGray(shot.pixel(x, y)));
    EXPECT_LT(darkest, 128) << "no error text over the pages";
    ExpectRecovers(pid);
}

TEST_F(PdfPreview, WorkerCrashingWhileRendering) { ExpectRenderFailureShown("crash-render"); }
TEST_F(PdfPreview, WorkerSendingAnOversizedPage) { ExpectRenderFailureShown("oversize-render"); }
TEST_F(PdfPreview, WorkerExitingWhileRendering) { ExpectRenderFailureShown("exit-render"); }

TEST(PreviewFrames, ReaderCutsFramesFromAnyChunksAndRefusesWhatWasNotAskedFor)
{
    QByteArray pages;
    AppendU32(pages, 1);
    AppendF64(pages, 612);
    AppendF64(pages, 792);
    const QByteArray bytes = MakePreviewFrame(TPreviewFrameType::PageSizes, pages) +
                             MakeErrorFrame(qint32(0x86420001u), QStringLiteral("locked"));
    TPreviewFrameReader reader;
    reader.Expect(quint32(pages.size()));
    TPreviewFrame frame;
    // One byte at a time: a frame is complete only with its last byte.
    int complete = 0;
    for (char c : bytes) {
        reader.Append(QByteArray(1, c));
        while (reader.Next(frame) == TPreviewFrameReader::Complete) {
            ++complete;
            if (complete == 1) {
                QList<QSizeF> sizes;
                QString why;
                ASSERT_EQ(frame.type, TPreviewFrameType::PageSizes);
                ASSERT_TRUE(DecodePageSizes(frame.payload, sizes, why)) << why.toStdString();
                EXPECT_EQ(sizes, QList<QSizeF>({QSizeF(612, 792)}));
            } else {
                HRESULT code = 0;
                QString text, why;
                ASSERT_TRUE(DecodeError(frame.payload, code, text, why));
                EXPECT_EQ(code, qint32(0x86420001u));
                EXPECT_EQ(text, u"locked");
            }
        }
    }
    EXPECT_EQ(complete, 2);
    EXPECT_EQ(reader.Buffered(), 0);

    // One byte longer than asked for is refused from the header alone.
    reader.Expect(quint32(pages.size()) - 1);
    reader.Append(MakePreviewFrame(TPreviewFrameType::PageSizes, pages).left(kPreviewFrameHeader));
    EXPECT_EQ(reader.Next(frame), TPreviewFrameReader::Refused);
    // Requests are no answers.
    TPreviewFrameReader other;
    other.Expect(100);
    other.Append(MakePreviewFrame(TPreviewFrameType::Open, "x"));
    EXPECT_EQ(other.Next(frame), TPreviewFrameReader::Refused);
}

TEST(PreviewFrames, DecodersCheckCountsAndSizes)
{
    QList<QSizeF> sizes;
    QString why;
    QByteArray pages;
    AppendU32(pages, 2);
    AppendF64(pages, 612);
    AppendF64(pages, 792);
    EXPECT_FALSE(DecodePageSizes(pages, sizes, why)); // says two, holds one
    QByteArray nan;
    AppendU32(nan, 1);
    AppendF64(nan, std::nan(""));
    AppendF64(nan, 792);
    EXPECT_FALSE(DecodePageSizes(nan, sizes, why));

    QByteArray image;
    AppendU32(image, 0);
    AppendU32(image, 2);
    AppendU32(image, 1);
    AppendU32(image, 0xFFFF0000u);
    AppendU32(image, 0xFF0000FFu);
    QImage out;
    ASSERT_TRUE(DecodeImage(image, 0, QSize(2, 1), out, why)) << why.toStdString();
    EXPECT_EQ(out.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(out.pixel(1, 0), 0xFF0000FFu);
    EXPECT_FALSE(DecodeImage(image, 1, QSize(2, 1), out, why)); // another page
    EXPECT_FALSE(DecodeImage(image, 0, QSize(1, 2), out, why)); // another size
    EXPECT_FALSE(DecodeImage(image.left(image.size() - 1), 0, QSize(2, 1), out, why));
}

} // namespace
