// The block map decides which parts of an edited HTML text are written
// anew. Its faults lose or duplicate text the user never touched, so every
// case checks the whole result, not just a part.
#include "TestUtil.h"

#include <ZorCompCore/web/ZORHtmlBlockMap.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace zor;

namespace {

QVariantList indices(int count)
{
    QVariantList list;
    for (int i = 0; i < count; ++i)
        list << double(i); // as the engine hands numbers over
    return list;
}

TEST(ZORHtmlBlockMap, UnchangedBlocksComposeTheSourceExactly)
{
    const QString sources[] = {
        u"<!DOCTYPE html>\n<HTML><head><title>t</title></head>\n<BODY class=a style='x'>\n<P>one</P>\n"
        u"<table width=1><tr><td>x</td></tr></table>\n<!-- c -->text &amp; more</BODY>\n</HTML>\n"_qs,
        u"<p>fragment</p>\n<ul><li>a<li>b</ul>"_qs,
        u"<html><head><style>p{}</style></head><p>body implied</p></html>"_qs,
        u""_qs,
    };
    for (const QString &source : sources) {
        TZORHtmlBlockMap map(source);
        const QStringList nodes = map.SourceNodes();
        ASSERT_TRUE(map.Match(nodes)) << source.toStdString();
        EXPECT_EQ(map.Compose(indices(int(nodes.size()))), source);
    }
}

TEST(ZORHtmlBlockMap, EditedBlocksReplaceOnlyThemselves)
{
    const QString source = u"<html><head><title>t</title></head><body bgcolor=white>\n"
                           u"<p class=a>one</p>\n<p class=b>two</p>\n</body></html>"_qs;
    TZORHtmlBlockMap map(source);
    // The engine moves the white space after </body> into the body.
    ASSERT_TRUE(map.Match({u"#text"_qs, u"p"_qs, u"#text"_qs, u"p"_qs, u"#text"_qs}));
    EXPECT_TRUE(map.HasBody());
    EXPECT_EQ(map.Compose({0.0, u"<p class=\"a\">ONE</p>"_qs, 2.0, 3.0, 4.0}),
              u"<html><head><title>t</title></head><body bgcolor=white>\n"
              u"<p class=\"a\">ONE</p>\n<p class=b>two</p>\n</body></html>"_qs);
    // White space after </body> that the engine appended as a node of its own.
    TZORHtmlBlockMap after(u"<html><body><p>x</p></body>\n</html>"_qs);
    ASSERT_TRUE(after.Match({u"p"_qs, u"#text"_qs}));
    EXPECT_EQ(after.Compose({0.0, 1.0}), u"<html><body><p>x</p></body>\n</html>"_qs);

    // Deleted and reordered blocks, a new one at the end.
    EXPECT_EQ(map.Compose({3.0, 1.0, u"<hr>"_qs}),
              u"<html><head><title>t</title></head><body bgcolor=white>"
              u"<p class=b>two</p><p class=a>one</p><hr></body></html>"_qs);
}

TEST(ZORHtmlBlockMap, WhatBrowsersMoveOrDropIsKept)
{
    // Head content in front of a fragment goes to the engine's head: it
    // stays even when the first block is deleted.
    const QString fragment = u"<!-- note --><style>.x{}</style>\n<p>a</p></div><p>b</p>"_qs;
    TZORHtmlBlockMap map(fragment);
    ASSERT_TRUE(map.Match({u"p"_qs, u"p"_qs}));
    EXPECT_EQ(map.Compose(indices(2)), fragment);
    EXPECT_EQ(map.Compose({1.0}), u"<!-- note --><style>.x{}</style>\n</div><p>b</p>"_qs)
        << "a stray end tag goes with the block after it";

    // Processing instructions and CDATA are comments to a browser.
    TZORHtmlBlockMap bogus(u"<p>a</p><?php x ?><![CDATA[y]]>"_qs);
    EXPECT_TRUE(bogus.Match({u"p"_qs, u"#comment"_qs, u"#comment"_qs}));
}

TEST(ZORHtmlBlockMap, DifferentTreesDoNotPair)
{
    // A browser fosters the paragraph out of the table; we keep it inside.
    TZORHtmlBlockMap fostered(u"<table><p>x</p><tr><td>1</td></tr></table>"_qs);
    EXPECT_FALSE(fostered.Match({u"p"_qs, u"table"_qs}));
    EXPECT_TRUE(fostered.Compose({u"<p>x</p>"_qs}).isEmpty()) << "no body: the caller takes the engine's document";

    // With a body, an unpaired text still keeps everything around it.
    TZORHtmlBlockMap body(u"<html><head><meta charset=utf-8></head><body id=b><table><p>x</p></table></body></html>"_qs);
    EXPECT_FALSE(body.Match({u"p"_qs, u"table"_qs}));
    EXPECT_EQ(body.Compose({u"<p>x</p>"_qs, u"<table></table>"_qs, 0.0}),
              u"<html><head><meta charset=utf-8></head><body id=b><p>x</p><table></table></body></html>"_qs)
        << "indices mean nothing without pairs";

    // Source the engine does not have.
    TZORHtmlBlockMap extra(u"<p>a</p><p>b</p>"_qs);
    EXPECT_FALSE(extra.Match({u"p"_qs}));
    EXPECT_FALSE(extra.Match({u"p"_qs, u"div"_qs}));
}

TEST(ZORHtmlBlockMap, HostileIndicesAreIgnored)
{
    TZORHtmlBlockMap map(u"<p>a</p><p>b</p>"_qs);
    ASSERT_TRUE(map.Match({u"p"_qs, u"p"_qs}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(map.Compose({-1.0, 2.0, 1e300, nan, std::numeric_limits<double>::infinity(), 1.0, QVariant()}),
              u"<p>b</p>"_qs);
}

} // namespace
