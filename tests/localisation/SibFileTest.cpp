// Translation files: round trips of several owners, loading by owner name,
// and refusal of damaged or hostile data without touching what was loaded.
#include <ZorCompCore/localisation/runtime/SibFile.h>

#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

using namespace zor;

namespace {

class TfrmOrders : public QWidget
{
    Q_OBJECT
};

TSIBEntry sampleEntry(const QString &owner)
{
    TSIBEntry e;
    e.OwnerName = owner;
    e.LangNames = {QStringLiteral("German"), QStringLiteral("English")};
    e.DefaultLanguage = 2;
    e.Lines[stCaptions] = {{QStringLiteral("btnOk.text"), QStringLiteral("Übernehmen"), QStringLiteral("Apply")},
                           {QStringLiteral("lblEmpty.text")}};
    e.Lines[stStrings] = {{QStringLiteral("msg"), QStringLiteral("Zeile 1\nZeile 2\twith tab"),
                           QStringLiteral("back\\slash")}};
    e.Lines[stCharSets] = {{QStringLiteral("charset"), QStringLiteral("windows-1252"), QString()}};
    return e;
}

QByteArray saved(const TSIBFileManager &files)
{
    TMemoryStream s;
    files.SaveToStream(s);
    return s.ToBytes();
}

QString loadError(const QByteArray &bytes, TSIBFileManager &files)
{
    TBytesStream s(bytes);
    try {
        files.LoadFromStream(s);
    } catch (const EReadError &e) {
        return e.Message();
    }
    return {};
}

} // namespace

TEST(SibFile, RoundTripOfSeveralOwners)
{
    TSIBFileManager files;
    files.Add(sampleEntry(QStringLiteral("TfrmMain")));
    TSIBEntry second = sampleEntry(QStringLiteral("TfrmOrders"));
    second.LangNames.append(QStringLiteral("French"));
    second.Lines[stItems] = {{QStringLiteral("cb.items"), QString(), QString(), QStringLiteral("Rouge\nVert")}};
    files.Add(second);
    files.Add(TSIBEntry{}); // an entry without anything

    const QByteArray bytes = saved(files);
    EXPECT_EQ(bytes.left(4), QByteArray("ZSIB"));
    TSIBFileManager back;
    TBytesStream in(bytes);
    back.LoadFromStream(in);
    ASSERT_EQ(back.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const TSIBEntry &a = files.Entry(i), &b = back.Entry(i);
        EXPECT_EQ(b.OwnerName, a.OwnerName);
        EXPECT_EQ(b.LangNames, a.LangNames);
        EXPECT_EQ(b.DefaultLanguage, a.DefaultLanguage);
        for (int t = 0; t < StringsTypeCount; ++t)
            EXPECT_EQ(b.Lines[t], a.Lines[t]) << StringsTypeName(TStringsType(t)).toStdString();
    }
    EXPECT_EQ(saved(back), bytes) << "saving what was read gives the same bytes";
    EXPECT_EQ(back.IndexOfOwner(QStringLiteral("TFRMORDERS")), 1);
    EXPECT_EQ(back.IndexOfOwner(QStringLiteral("TfrmNone")), -1);
}

TEST(SibFile, ComponentsSaveAndLoadUnderTheirOwnersName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("forms.sib"));
    TfrmOrders form;
    TsiLang lang(&form);
    lang.SetLangDelim(QLatin1Char(';'));
    lang.SetNumLang(2);
    lang.SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English")}));
    lang.Strings().SetTranslationByID(QStringLiteral("msg"), 2, QStringLiteral("semi;colon"));

    // A file with another form first, then this one under another letter case.
    TSIBFileManager files;
    files.Add(sampleEntry(QStringLiteral("TfrmMain")));
    files.Add(&lang);
    TStringList names({QStringLiteral("TfrmMain"), QStringLiteral("TFRMORDERS")});
    files.SetOwnerNames(names);
    files.SaveToFile(path);

    TfrmOrders form2;
    TsiLang loaded(&form2); // tab-delimited
    loaded.LoadAllFromBinaryFile(path);
    EXPECT_EQ(loaded.NumOfLanguages(), 2);
    EXPECT_EQ(loaded.Strings().GetTranslationByID(QStringLiteral("msg"), 2), QStringLiteral("semi;colon"));
    EXPECT_EQ(loaded.GetPropListByType(stCaptions)->Count(), 0) << "the other form's texts stay out";

    // A component whose owner is not in the file takes the first entry.
    QWidget plain;
    TsiLang fallback(&plain);
    fallback.LoadAllFromBinaryFile(path);
    EXPECT_EQ(fallback.GetPropListByType(stCaptions)->GetTranslationByID(QStringLiteral("btnOk.text"), 2),
              QStringLiteral("Apply"));
    EXPECT_EQ(fallback.DefaultLanguage(), 2);

    // One collection only, merged or replaced.
    TsiLang single;
    single.SetNumLang(2);
    single.SetLangNames(TStringList({QStringLiteral("English"), QStringLiteral("German")}));
    single.Strings().Add(QStringLiteral("keep\tme"));
    single.MergeFromFile(stStrings, path);
    EXPECT_EQ(single.Strings().Count(), 2);
    single.LoadPropFromBinaryFile(stStrings, path);
    EXPECT_EQ(single.Strings().Count(), 1);
    // Languages are matched by name, whatever their order in the file.
    EXPECT_EQ(single.Strings().GetTranslationByID(QStringLiteral("msg"), 2),
              QStringLiteral("Zeile 1\nZeile 2\twith tab"));
    EXPECT_EQ(single.Strings().GetTranslationByID(QStringLiteral("msg"), 1), QStringLiteral("back\\slash"));
    EXPECT_EQ(single.NumOfLanguages(), 2);
}

TEST(SibFile, ExtendedItemsTravelThroughFilesAndTables)
{
    TsiLang lang;
    lang.SetNumLang(2);
    lang.SetLangDelim(QLatin1Char('|'));
    lang.ExtendedTranslations().append({QStringLiteral("rep.total"), QStringLiteral("Summe|Total \\dx")});
    lang.ExtendedTranslations().append({QStringLiteral("rep.empty"), QString()});
    TSIBFileManager files;
    files.Add(&lang);
    const TSIBEntry &entry = files.Entry(0);
    ASSERT_EQ(entry.Extended.size(), 2);
    EXPECT_EQ(entry.Extended.at(0), (QStringList{"rep.total", "Summe", "Total |x"}));

    TSIBFileManager loaded;
    TBytesStream in(saved(files));
    loaded.LoadFromStream(in);
    TsiLang tabbed; // another delimiter: the texts are re-encoded for it
    loaded.AssignTo(0, &tabbed);
    ASSERT_EQ(tabbed.ExtendedTranslations().size(), 2);
    const TsiExtendedTranslation &total = tabbed.ExtendedTranslations().at(0);
    EXPECT_EQ(ExtractTranslation(total.Identifier + QLatin1Char('\t') + total.Translations, QLatin1Char('\t'), 2),
              "Total |x");
    EXPECT_EQ(tabbed.ExtendedTranslations().at(1).Identifier, "rep.empty");

    const TSIBEntry fromTable = SIBEntryFromTSV(SIBEntryToTSV(entry));
    EXPECT_EQ(fromTable.Extended.at(0), entry.Extended.at(0));

    // A file of the first version has no item block after the collections.
    TSIBFileManager plain;
    plain.Add(sampleEntry(QStringLiteral("TfrmMain")));
    QByteArray v1 = saved(plain);
    v1.chop(4);
    v1.replace(4, 2, bytesFromHex("01 00"));
    TSIBFileManager old;
    TBytesStream oldIn(v1);
    old.LoadFromStream(oldIn);
    EXPECT_EQ(old.Entry(0).Lines[stStrings], sampleEntry(QString()).Lines[stStrings]);
    EXPECT_TRUE(old.Entry(0).Extended.isEmpty());
}

TEST(SibFile, DamagedDataIsRefusedWithAClearMessage)
{
    TSIBFileManager files;
    files.Add(sampleEntry(QStringLiteral("TfrmMain")));
    files.Add(sampleEntry(QStringLiteral("TfrmOther")));
    const QByteArray good = saved(files);

    auto patched = [&](int offset, const QByteArray &with) {
        QByteArray b = good;
        b.replace(offset, with.size(), with);
        return b;
    };
    // Offsets: signature 0, version 4, entry count 6, owner name length 10.
    struct Row
    {
        const char *name;
        QByteArray bytes;
        const char *message;
    };
    const Row rows[] = {
        {"empty", QByteArray(), "Invalid translation file: wrong signature"},
        {"another format", patched(0, "ZSIC"), "Invalid translation file: wrong signature"},
        {"newer version", patched(4, bytesFromHex("03 00")), "Invalid translation file: unsupported version 3"},
        {"version zero", patched(4, bytesFromHex("00 00")), "Invalid translation file: unsupported version 0"},
        {"entry count beyond the data", patched(6, bytesFromHex("ff ff ff 7f")),
         "Invalid translation file: entry count 2147483647 exceeds the data"},
        {"negative entry count", patched(6, bytesFromHex("ff ff ff ff")),
         "Invalid translation file: negative entry count (-1)"},
        {"name length beyond the data", patched(10, bytesFromHex("00 00 00 00 00 00 00 40")),
         "Invalid translation file: length of an owner name (4611686018427387904) exceeds the data"},
        {"negative name length", patched(10, bytesFromHex("ff ff ff ff ff ff ff ff")),
         "Invalid translation file: length of an owner name (-1) exceeds the data"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TSIBFileManager target;
        target.Add(sampleEntry(QStringLiteral("Previous")));
        EXPECT_EQ(loadError(row.bytes, target), QString::fromUtf8(row.message));
        ASSERT_EQ(target.Count(), 1) << "a failed load keeps what was there";
        EXPECT_EQ(target.Entry(0).OwnerName, QStringLiteral("Previous"));
    }
}

TEST(SibFile, EveryTruncationAndRandomDamageFailsCleanly)
{
    TSIBFileManager files;
    files.Add(sampleEntry(QStringLiteral("TfrmMain")));
    const QByteArray good = saved(files);
    for (int cut = 0; cut < good.size(); ++cut) {
        TSIBFileManager target;
        const QString error = loadError(good.left(cut), target);
        ASSERT_TRUE(error.startsWith(QLatin1String("Invalid translation file: "))) << "cut at " << cut;
    }
    // Flipped bytes either load (texts changed) or fail with the file error; never anything else.
    QRandomGenerator rng(1234);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bad = good;
        for (int k = 0; k < 3; ++k)
            bad[rng.bounded(int(bad.size()))] = char(rng.bounded(256));
        TSIBFileManager target;
        TBytesStream s(bad);
        try {
            target.LoadFromStream(s);
        } catch (const EReadError &) {
        }
    }
}

TEST(SibFile, UnknownCollectionTypeAndMissingFile)
{
    TMemoryStream s;
    s.WriteBuffer("ZSIB", 4);
    TStreamHelper w(&s);
    w.WriteWord(1);
    w.WriteInteger(1);
    w.WriteString(QStringLiteral("TfrmMain"));
    w.WriteInteger(0);        // no languages
    w.WriteInteger(1);        // default language
    w.WriteInteger(1);        // one collection
    w.WriteInteger(12);       // of a type that does not exist
    w.WriteInteger(0);
    TSIBFileManager files;
    EXPECT_EQ(loadError(s.ToBytes(), files), QStringLiteral("Invalid translation file: unknown collection type 12"));

    QTemporaryDir dir;
    TsiLang lang;
    EXPECT_THROW(lang.LoadAllFromBinaryFile(dir.filePath(QStringLiteral("missing.sib"))), EFOpenError);
    EXPECT_THROW(TSIBFileManager().SaveToFile(dir.filePath(QStringLiteral("no/such/dir/x.sib"))), EFCreateError);
}

#include "SibFileTest.moc"
