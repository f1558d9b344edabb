#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/html/HtDocument.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/web/ZORHTMLViewerHelper.h>

#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using zor::TZORHTMLViewerHelper;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void putFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(data);
}

// A block written by hand, entry by entry, for names and counts the writer
// would never produce.
QByteArray block(qint32 count, const QString &html, const QList<QPair<QString, QByteArray>> &entries)
{
    zor::TMemoryStream s;
    zor::TStreamHelper h(&s);
    h.WriteInteger(1);
    h.WriteInteger(count);
    h.WriteString(html);
    for (const auto &[name, data] : entries) {
        h.WriteString(name);
        h.WriteBinary(data);
    }
    return s.ToBytes();
}

const QByteArray kPng("\x89PNG\r\n\x1A\n-first-image", 20);
const QByteArray kGif("GIF89a-second-image");

} // namespace

TEST(BinHTML, TheBytesOfAPageAlone)
{
    // version 1, no files, then the page behind its 64-bit count of code units
    EXPECT_EQ(hexBytes(TZORHTMLViewerHelper::ConvertHTMLToBinHTML(u"A\u00E4"_qs)),
              u"01 00 00 00 00 00 00 00 02 00 00 00 00 00 00 00 41 00 e4 00"_qs);
    EXPECT_EQ(TZORHTMLViewerHelper::ConvertBinHTMLToHTML(TZORHTMLViewerHelper::ConvertHTMLToBinHTML(u"<p>x</p>"_qs),
                                                         QString(), nullptr, false),
              u"<p>x</p>"_qs);
}

TEST(BinHTML, TwoImagesPackedAndUnpacked)
{
    QTemporaryDir src, dst;
    ASSERT_TRUE(QDir(src.path()).mkdir(u"img"_qs));
    putFile(src.filePath(u"img/logo.png"_qs), kPng);
    putFile(src.filePath(u"anim.GIF"_qs), kGif);
    const QString html = uR"(<img src="%IMAGEPATH%logo.png"><img src="%IMAGEPATH%anim.GIF"><img src="%IMAGEPATH%logo.png">)"_qs;

    zor::TStringList files({u"img/logo.png"_qs, u"anim.GIF"_qs});
    zor::TMemoryStream packed;
    TZORHTMLViewerHelper::WriteToBinaryStream(packed, html, src.path(), &files);

    // Files land in the content folder under their file names.
    packed.SetPosition(0);
    QString read = u"left over"_qs;
    zor::TStringList names;
    TZORHTMLViewerHelper::ReadFromBinaryStream(packed, read, dst.path(), &names, false);
    EXPECT_EQ(read, html);
    EXPECT_EQ(names.Text(), u"logo.png\nanim.GIF\n"_qs);
    EXPECT_EQ(fileBytes(dst.filePath(u"logo.png"_qs)), kPng);
    EXPECT_EQ(fileBytes(dst.filePath(u"anim.GIF"_qs)), kGif);

    // Embedded: the first reference of each file becomes a data: URI typed by
    // its extension; the second reference to the logo stays.
    const QString page = TZORHTMLViewerHelper::ConvertBinHTMLToHTML(packed.ToBytes(), QString(), nullptr, true);
    const QString expected = uR"(<img src="data:image/png;base64,)"_qs + QString::fromLatin1(kPng.toBase64())
                             + uR"("><img src="data:image/gif;base64,)"_qs + QString::fromLatin1(kGif.toBase64())
                             + uR"("><img src="%IMAGEPATH%logo.png">)"_qs;
    EXPECT_EQ(page, expected);
}

TEST(BinHTML, EmbeddingMatchesTheReferenceExactly)
{
    const QByteArray bin = block(1, uR"(<img SRC="%IMAGEPATH%a.png"><img src="%imagepath%a.png"><img src='%IMAGEPATH%a.png'>)"_qs,
                                 {{u"a.png"_qs, "x"}});
    const QString page = TZORHTMLViewerHelper::ConvertBinHTMLToHTML(bin, QString(), nullptr, true);
    EXPECT_FALSE(page.contains(u"data:"_qs)) << page.toStdString();
}

TEST(BinHTML, ShortAndHostileBlocks)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString html;
        QString names;
    } cases[] = {
        {"empty", QByteArray(), QString(), QString()},
        {"a version cut short", QByteArray("\x01\x00", 2), QString(), QString()},
        {"no count", QByteArray("\x01\x00\x00\x00", 4), QString(), QString()},
        {"a page cut short keeps what is there",
         block(0, u"abcdef"_qs, {}).left(8 + 8 + 6), u"abc"_qs, QString()},
        {"a huge count ends with the data", block(0x7FFFFFFF, u"p"_qs, {{u"a.png"_qs, "1"}}), u"p"_qs, u"a.png\n"_qs},
        {"a negative count reads no file", block(-1, u"p"_qs, {{u"a.png"_qs, "1"}}), u"p"_qs, QString()},
        {"a page longer than the block", bytesFromHex("01000000 00000000 ffffffffffffff7f 4100"), u"A"_qs,
         QString()},
        // 14 bytes would read as a name of three characters (of five counted).
        {"fewer bytes left than an entry", block(1, u"p"_qs, {}) + QByteArray("\x05\0\0\0\0\0\0\0a\0b\0c\0", 14),
         u"p"_qs, QString()},
        {"a data block longer than the block",
         block(2, u"p"_qs, {{u"a.png"_qs, "12345"}}).chopped(2), u"p"_qs, u"a.png\n"_qs},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        zor::TStringList names;
        EXPECT_EQ(TZORHTMLViewerHelper::ConvertBinHTMLToHTML(c.bytes, QString(), &names, true), c.html);
        EXPECT_EQ(names.Text(), c.names);
    }
}

TEST(BinHTML, NamesNeverLeaveTheContentFolder)
{
    QTemporaryDir root;
    const QString content = root.filePath(u"content"_qs);
    ASSERT_TRUE(QDir().mkpath(content + u"/sub"_qs));
    const QByteArray bin = block(6, u"p"_qs,
                                 {{u"..\\..\\evil.png"_qs, "1"},
                                  {u"../sub/../x.gif"_qs, "2"},
                                  {u"c:\\windows\\a.b/c.jpg"_qs, "3"},
                                  {u".."_qs, "4"},
                                  {u"sub/"_qs, "5"},
                                  {u"n\u0000ul.png"_qs, "6"}});
    zor::TStringList names;
    QString html;
    zor::TBytesStream s(bin);
    TZORHTMLViewerHelper::ReadFromBinaryStream(s, html, content, &names, false);
    EXPECT_EQ(names.Text(), u"evil.png\nx.gif\nc.jpg\n"_qs);
    EXPECT_EQ(fileBytes(content + u"/evil.png"_qs), "1");
    EXPECT_EQ(fileBytes(content + u"/x.gif"_qs), "2");
    EXPECT_EQ(fileBytes(content + u"/c.jpg"_qs), "3");
    // Nothing beside the content folder, nothing but the three files in it.
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{u"content"_qs});
    EXPECT_EQ(QDir(content).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"c.jpg"_qs, u"evil.png"_qs, u"x.gif"_qs}));
}

TEST(BinHTML, ALinkInTheContentFolderIsReplacedNotFollowed)
{
    QTemporaryDir root;
    const QString content = root.filePath(u"content"_qs);
    ASSERT_TRUE(QDir().mkpath(content));
    const QString outside = root.filePath(u"outside.txt"_qs);
    putFile(outside, "keep me");
    ASSERT_TRUE(QFile::link(outside, content + u"/a.png"_qs));

    TZORHTMLViewerHelper::ConvertBinHTMLToHTML(block(1, u"p"_qs, {{u"a.png"_qs, "image"}}), content, nullptr, false);
    EXPECT_EQ(fileBytes(outside), "keep me");
    EXPECT_FALSE(QFileInfo(content + u"/a.png"_qs).isSymLink());
    EXPECT_EQ(fileBytes(content + u"/a.png"_qs), "image");
    // The same name twice: the later data win.
    TZORHTMLViewerHelper::ConvertBinHTMLToHTML(block(2, u"p"_qs, {{u"a.png"_qs, "one"}, {u"a.png"_qs, "two"}}),
                                               content, nullptr, false);
    EXPECT_EQ(fileBytes(content + u"/a.png"_qs), "two");
}

TEST(BinHTML, FilesThatCannotBeReadOrWritten)
{
    QTemporaryDir root;
    zor::TStringList files({u"missing.png"_qs});
    zor::TMemoryStream s;
    try {
        TZORHTMLViewerHelper::WriteToBinaryStream(s, u"p"_qs, root.path(), &files);
        ADD_FAILURE() << "a missing file was packed";
    } catch (const zor::EFOpenError &e) {
        EXPECT_TRUE(e.Message().startsWith(u"Cannot open file \""_qs)) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(u"missing.png"_qs));
    }

    const QString nowhere = root.filePath(u"no/such/folder"_qs);
    try {
        TZORHTMLViewerHelper::ConvertBinHTMLToHTML(block(1, u"p"_qs, {{u"a.png"_qs, "x"}}), nowhere, nullptr, false);
        ADD_FAILURE() << "wrote into a folder that does not exist";
    } catch (const zor::EFCreateError &e) {
        EXPECT_EQ(e.Message().left(e.Message().indexOf(u". "_qs)),
                  u"Cannot create file \""_qs + nowhere + u"/a.png\""_qs);
    }
    // A name taken by a folder: the rename fails and leaves no temporary file.
    ASSERT_TRUE(QDir(root.path()).mkpath(u"taken/a.png"_qs));
    EXPECT_THROW(TZORHTMLViewerHelper::ConvertBinHTMLToHTML(block(1, u"p"_qs, {{u"a.png"_qs, "x"}}),
                                                            root.filePath(u"taken"_qs), nullptr, false),
                 zor::EFCreateError);
    EXPECT_EQ(QDir(root.filePath(u"taken"_qs)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{u"a.png"_qs});
}

// Values of a style-sheet class as the viewer asks for them: numbers with or
// without a unit come back as doubles, other values as text, and a missing
// class or value as the caller's default.
TEST(CSSClassValue, NumbersTextAndDefaults)
{
    zor::THtDocument doc;
    doc.Parse(u"<html><head><style>p.x { margin: 0 } .thumb { width: 120px; ratio: 1.5; "
              u"format: png; width: 80px } .thumb { height: 9 }</style></head><body></body></html>"_qs);

    const zor::TCSSSection *thumb = TZORHTMLViewerHelper::FindCSSClass(doc, u"thumb"_qs);
    ASSERT_NE(thumb, nullptr);
    EXPECT_EQ(TZORHTMLViewerHelper::FindCSSClass(doc, u"Thumb"_qs), nullptr);
    EXPECT_NE(TZORHTMLViewerHelper::FindCSSClass(doc, u"x"_qs), nullptr);

    const zor::Variant fallback(u"none"_qs);
    const zor::Variant width = TZORHTMLViewerHelper::GetCSSClassValue(doc, u"thumb"_qs, u"width"_qs, fallback);
    EXPECT_EQ(width.Type(), zor::varDouble);
    EXPECT_EQ(zor::VarToStr(width), u"80"_qs); // the declaration that counts is the last
    const zor::Variant ratio = TZORHTMLViewerHelper::GetCSSClassValue(doc, u"thumb"_qs, u"ratio"_qs, fallback);
    EXPECT_EQ(ratio.Type(), zor::varDouble);
    const zor::Variant format = TZORHTMLViewerHelper::GetCSSClassValue(doc, u"thumb"_qs, u"format"_qs, fallback);
    EXPECT_TRUE(format.IsString());
    EXPECT_EQ(zor::VarToStr(format), u"png"_qs);
    // Only the first section of the class is asked.
    EXPECT_EQ(zor::VarToStr(TZORHTMLViewerHelper::GetCSSClassValue(doc, u"thumb"_qs, u"height"_qs, fallback)),
              u"none"_qs);
    EXPECT_EQ(zor::VarToStr(TZORHTMLViewerHelper::GetCSSClassValue(doc, u"gone"_qs, u"width"_qs, fallback)),
              u"none"_qs);
}
