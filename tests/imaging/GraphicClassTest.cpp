#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/imaging/PDFThumbnail.h>
#include <ZorCompCore/imaging/SVGTools.h>
#include <ZorCompCore/platform/Stream.h>

#include "Pictures.h"
#include "TestUtil.h"

using namespace zor;

namespace {

const QByteArray kSvgPlain = R"(<svg xmlns="http://www.w3.org/2000/svg" width="40" height="20">
<rect x="0" y="0" width="20" height="20" fill="#ff0000"/></svg>)";
const QByteArray kSvgDecl = "<?xml version=\"1.0\"?>\n" + kSvgPlain;
const QByteArray kXhtml = R"(<?xml version="1.0" encoding="UTF-8"?>
<html xmlns="http://www.w3.org/1999/xhtml"><body><p>no picture</p></body></html>)";

TEST(GraphicClass, NamesAndExtensionsInAnyCaseFindOneClass)
{
    const TGraphicClass *jpg = FindDibGraphicClass(QStringLiteral("jpg"));
    ASSERT_NE(jpg, nullptr);
    EXPECT_EQ(jpg->FormatName(), QStringLiteral("jpg"));
    for (const char *alias : {"JPEG", ".jpg", ".JPE", " jfif "})
        EXPECT_EQ(FindDibGraphicClass(QString::fromLatin1(alias)), jpg) << alias;
    const TGraphicClass *tif = FindDibGraphicClass(QStringLiteral(".TIFF"));
    ASSERT_NE(tif, nullptr);
    EXPECT_EQ(tif->FormatName(), QStringLiteral("tif"));
    for (const char *name : {"png", "bmp", "gif", "webp", "svg", "pdf"})
        EXPECT_NE(FindDibGraphicClass(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(FindDibGraphicClass(QString()), nullptr);
    EXPECT_EQ(FindDibGraphicClass(QStringLiteral(".")), nullptr);
    EXPECT_EQ(FindDibGraphicClass(QStringLiteral("xyz")), nullptr);
    // Transparency decides how pictures are flattened when written.
    EXPECT_FALSE(jpg->HasAlpha());
    EXPECT_FALSE(FindDibGraphicClass(QStringLiteral("bmp"))->HasAlpha());
    EXPECT_TRUE(FindDibGraphicClass(QStringLiteral("png"))->HasAlpha());
}

TEST(GraphicClass, GuessedByContentNeverByName)
{
    const QImage img = HalfRed(8, 4);
    struct Row { const char *writeAs; const char *expected; };
    for (const Row &row : {Row{"png", "png"}, Row{"jpeg", "jpg"}, Row{"bmp", "bmp"},
                           Row{"tiff", "tif"}, Row{"webp", "webp"}}) {
        SCOPED_TRACE(row.writeAs);
        const QByteArray bytes = Encode(img, row.writeAs);
        ASSERT_FALSE(bytes.isEmpty());
        const TGraphicClass *cls = GuessDibGraphicClass(bytes);
        ASSERT_NE(cls, nullptr);
        EXPECT_EQ(cls->FormatName(), QString::fromLatin1(row.expected));
        EXPECT_EQ(GuessImageDataFormat(bytes), QString::fromLatin1(row.expected));
    }
    EXPECT_EQ(GuessDibGraphicClass(kGif)->FormatName(), QStringLiteral("gif"));
    EXPECT_EQ(GuessDibGraphicClass(A4Pdf())->FormatName(), QStringLiteral("pdf"));
    EXPECT_EQ(GuessDibGraphicClass(QByteArray("plain words, no picture")), nullptr);
    EXPECT_EQ(GuessDibGraphicClass(QByteArray()), nullptr);
}

TEST(GraphicClass, SvgNeedsAnSvgRootWhateverTheDeclaration)
{
    // Qt's own SVG plugin would claim the XHTML page as well.
    EXPECT_EQ(GuessDibGraphicClass(kSvgPlain)->FormatName(), QStringLiteral("svg"));
    EXPECT_EQ(GuessDibGraphicClass(kSvgDecl)->FormatName(), QStringLiteral("svg"));
    EXPECT_EQ(GuessDibGraphicClass(kXhtml), nullptr);
    EXPECT_EQ(GuessImageDataFormat(kXhtml), QStringLiteral("bitmap"));
    EXPECT_EQ(GuessImageDataFormat(kSvgPlain), QStringLiteral("svg"));
    // A page that merely contains an inline drawing is still a page to the
    // registry, but the declaration-plus-"<svg " test names it svg.
    const QByteArray inlineSvg = "<?xml version=\"1.0\"?><html><body><svg width=\"1\"/></body></html>";
    EXPECT_EQ(GuessDibGraphicClass(inlineSvg), nullptr);
    EXPECT_EQ(GuessImageDataFormat(inlineSvg), QStringLiteral("svg"));
}

TEST(GraphicClass, StreamGuessesKeepThePosition)
{
    TBytesStream pdf3("xx%PD");
    pdf3.SetPosition(2);
    EXPECT_FALSE(GuessIsPDFStream(pdf3));
    EXPECT_EQ(pdf3.Position(), 2);

    TBytesStream pdf("--" + A4Pdf());
    pdf.SetPosition(2);
    EXPECT_TRUE(GuessIsPDFStream(pdf));
    EXPECT_EQ(GuessDibGraphicClass(pdf)->FormatName(), QStringLiteral("pdf"));
    EXPECT_EQ(pdf.Position(), 2);
    pdf.SetPosition(0);
    EXPECT_FALSE(GuessIsPDFStream(pdf));
}

TEST(GraphicClass, SvgStreamTestIsExact)
{
    struct Row { const char *name; QByteArray data; bool svg; };
    const Row rows[] = {
        {"declaration and svg", kSvgDecl, true},
        {"no declaration", kSvgPlain, false},
        {"xhtml", kXhtml, false},
        {"declaration without space", "<?xml?><svg width=\"1\"/>", false},
        {"svg without space after the name", "<?xml version=\"1.0\"?><svg/>", false},
        {"short", "<?xml", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TBytesStream s("ab" + row.data);
        s.SetPosition(2);
        EXPECT_EQ(GuessIsSVGStream(s), row.svg);
        EXPECT_EQ(s.Position(), 2);
    }
}

} // namespace
