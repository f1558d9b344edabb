// The report side of a template: bands kept through our RTF, token
// conversion into fields and bands, and what it refuses.
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/engine/SuperMerge.h>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace zor;

namespace {

QTextCursor at(TWPCustomRtfEdit &e, const QString &text)
{
    return e.Document().Text()->find(text);
}

} // namespace

// Catches: band marks lost or garbled by the RTF writer and reader (kind,
// names with RTF's own characters), a band mark reaching a paragraph that
// has none, other readers' groups taken for bands.
TEST(SuperMerge, BandsSurviveOurRtf)
{
    TWPCustomRtfEdit e;
    ASSERT_TRUE(e.LoadFromBytes("{\\rtf1\\ansi Title\\par Row\\par Total\\par}", QStringLiteral("RTF")));
    TWPSuperMerge merge;
    merge.SetSourceDest(&e.Document());
    ASSERT_TRUE(merge.SetBand(at(e, QStringLiteral("Row")), TWPBandKind::Data, QStringLiteral("Rows {1}"),
                              QStringLiteral("Orders\\2024")));
    ASSERT_TRUE(merge.SetBand(at(e, QStringLiteral("Total")), TWPBandKind::Footer, QStringLiteral("Sum")));
    const QByteArray rtf = e.SaveToBytes(QStringLiteral("RTF"));

    TWPCustomRtfEdit back;
    ASSERT_TRUE(back.LoadFromBytes(rtf, QStringLiteral("RTF")));
    TWPSuperMerge read;
    read.SetSourceDest(&back.Document());
    const QList<TWPBand> bands = read.Bands();
    ASSERT_EQ(bands.size(), 2) << rtf.constData();
    EXPECT_EQ(bands[0].Kind, TWPBandKind::Data);
    EXPECT_EQ(bands[0].Name, QStringLiteral("Rows {1}"));
    EXPECT_EQ(bands[0].DataBase, QStringLiteral("Orders\\2024"));
    EXPECT_EQ(bands[0].Position, at(back, QStringLiteral("Row")).block().position());
    EXPECT_EQ(bands[1].Kind, TWPBandKind::Footer);
    EXPECT_EQ(back.Document().Text()->toPlainText(), e.Document().Text()->toPlainText()) << "no band text shows";
    EXPECT_EQ(back.SaveToBytes(QStringLiteral("RTF")), rtf) << "a fixed point";

    // Unmarking; a hostile mark (unknown kind, endless name) is dropped or cut.
    ASSERT_TRUE(merge.SetBand(at(e, QStringLiteral("Row")), TWPBandKind::None));
    EXPECT_EQ(merge.Bands().size(), 1);
    TWPCustomRtfEdit hostile;
    ASSERT_TRUE(hostile.LoadFromBytes("{\\rtf1\\ansi {\\*\\zorband 9;x;y}A\\par {\\*\\zorband 2;" + QByteArray(5000, 'n')
                                          + ";db}B\\par}",
                                      QStringLiteral("RTF")));
    TWPSuperMerge h;
    h.SetSourceDest(&hostile.Document());
    ASSERT_EQ(h.Bands().size(), 1);
    EXPECT_LE(h.Bands()[0].Name.size(), 1024);
}

// Catches: tokens of the wrong kind converted (or with their mode off),
// band tokens that share their paragraph taken, protected tokens changed,
// the conversion not one undo step, field names listed twice.
TEST(SuperMerge, TokensBecomeFieldsAndBands)
{
    TWPCustomRtfEdit e;
    ASSERT_TRUE(e.LoadFromBytes("{\\rtf1\\ansi Dear <<Name>>, <<Sum:0.00>>\\par <<:Orders>>\\par <<Item>> <<Name>>\\par"
                                " <<#Region>>\\par See <<:Inline>> here\\par {\\protect <<Locked>>}\\par}",
                                QStringLiteral("RTF")));
    TWPSuperMerge merge;
    merge.SetSourceDest(&e.Document());
    merge.SetDataBases(QStringLiteral(" Orders, Customers ,,"));
    EXPECT_EQ(merge.DataBaseList(), (QStringList{QStringLiteral("Orders"), QStringLiteral("Customers")}));
    const QString before = e.Document().Text()->toPlainText();

    EXPECT_EQ(merge.ConvertTokens(wpConvertBands), 1) << "only the band alone in its paragraph";
    EXPECT_EQ(merge.Bands().size(), 1);
    EXPECT_EQ(merge.Bands()[0].DataBase, QStringLiteral("Orders"));
    EXPECT_TRUE(merge.MergeFieldNames().isEmpty());
    EXPECT_EQ(merge.Warnings().size(), 1) << "the inline band token";
    e.Document().Text()->undo();
    EXPECT_EQ(e.Document().Text()->toPlainText(), before);

    EXPECT_EQ(merge.ConvertTokens(wpConvertFields | wpConvertBands | wpConvertGroups | wpClearErrorsAndWarning), 5);
    EXPECT_EQ(merge.MergeFieldNames(), (QStringList{QStringLiteral("Name"), QStringLiteral("Item")}));
    const QList<TWPBand> bands = merge.Bands();
    ASSERT_EQ(bands.size(), 2);
    EXPECT_EQ(bands[1].Kind, TWPBandKind::GroupHeader);
    EXPECT_EQ(bands[1].Name, QStringLiteral("Region"));
    const QString text = e.Document().Text()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("<<Sum:0.00>>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<<:Inline>>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<<Locked>>")));
    EXPECT_FALSE(text.contains(QStringLiteral("<<Name>>")));
    EXPECT_EQ(merge.Warnings().size(), 2) << "inline band and protected token";
    e.Document().Text()->undo();
    EXPECT_EQ(e.Document().Text()->toPlainText(), before) << "one undo step";
}
