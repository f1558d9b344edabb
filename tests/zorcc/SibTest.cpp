// zorcc sib export/import through the translators' formats: a .sib goes out
// as one file per language, through Qt's own converter, and comes back with
// its IDs, types, other languages and other forms as they were.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <ZorCompCore/localisation/runtime/SibFile.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace zor;

namespace {

struct SibCommandTest : ::testing::Test
{
    QTemporaryDir tmp;
    QString sib = tmp.filePath(u"app.sib"_qs);

    void SetUp() override
    {
        TSIBEntry kunde;
        kunde.OwnerName = u"TfrmKunde"_qs;
        kunde.LangNames = {u"German"_qs, u"English"_qs, u"French"_qs};
        kunde.Lines[stCaptions] = {{u"btnOK.text"_qs, u"Speichern"_qs, u"Save"_qs},
                                   {u"lblName.text"_qs, u"Name:"_qs, u"Name:"_qs, u"Nom :"_qs}};
        kunde.Lines[stHints] = {{u"btnOK.toolTip"_qs, u"Speichert den Kunden"_qs, u"Saves the customer"_qs}};
        TSIBEntry artikel;
        artikel.OwnerName = u"TfrmArtikel"_qs;
        artikel.LangNames = {u"German"_qs, u"English"_qs};
        artikel.Lines[stCaptions] = {{u"Self.windowTitle"_qs, u"Artikel"_qs, u"Articles"_qs}};
        TSIBFileManager files;
        files.Add(kunde);
        files.Add(artikel);
        files.SaveToFile(sib);
    }

    QByteArray read(const QString &name)
    {
        QFile f(tmp.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        return f.readAll();
    }

    void write(const QString &name, const QByteArray &data)
    {
        QFile f(tmp.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    TSIBFileManager loaded()
    {
        TSIBFileManager files;
        files.LoadFromFile(sib);
        return files;
    }
};

} // namespace

TEST_F(SibCommandTest, ExportWritesOneFilePerTargetLanguage)
{
    const ZorccRun r = runZorcc({u"sib"_qs, u"export"_qs, sib, tmp.filePath(u"app.ts"_qs)});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"exported 4 texts (4 translated) of TfrmKunde, TfrmArtikel in English to "_qs
                         + tmp.filePath(u"app_en.ts"_qs) + u"\nexported 3 texts (1 translated) of TfrmKunde in French to "_qs
                         + tmp.filePath(u"app_fr.ts"_qs) + u"\n"_qs);
    const QByteArray fr = read(u"app_fr.ts"_qs);
    EXPECT_TRUE(fr.contains("<TS version=\"2.1\" language=\"fr\" sourcelanguage=\"de\">")) << fr.toStdString();
    EXPECT_TRUE(fr.contains("<comment>stHints:btnOK.toolTip</comment>")) << fr.toStdString();
}

TEST_F(SibCommandTest, TranslationsComeBackThroughQtsConverter)
{
    const QString lconvert =
        QStandardPaths::findExecutable(u"lconvert"_qs, {u"/usr/lib/qt6/bin"_qs, u"/usr/bin"_qs});
    if (lconvert.isEmpty())
        GTEST_SKIP() << "lconvert (qt6-tools-dev-tools) is not installed";
    ASSERT_EQ(runZorcc({u"sib"_qs, u"export"_qs, sib, tmp.filePath(u"fr.ts"_qs), u"--language"_qs, u"fr"_qs}).exitCode, 0);
    // What a translator's tool hands back: Qt's converter turns our TS into PO, the
    // translator fills in a text.
    QProcess p;
    p.start(lconvert, {u"-i"_qs, tmp.filePath(u"fr.ts"_qs), u"-o"_qs, tmp.filePath(u"fr.po"_qs)});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QByteArray po = read(u"fr.po"_qs);
    const QByteArray from = "msgctxt \"TfrmKunde|stCaptions:btnOK.text\"\nmsgid \"Speichern\"\nmsgstr \"\"";
    ASSERT_TRUE(po.contains(from)) << po.toStdString();
    po.replace(from, "msgctxt \"TfrmKunde|stCaptions:btnOK.text\"\nmsgid \"Speichern\"\nmsgstr \"Enregistrer\"");
    write(u"fr.po"_qs, po);

    const ZorccRun r = runZorcc({u"sib"_qs, u"import"_qs, tmp.filePath(u"fr.po"_qs), sib});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"imported 2 translations (fr) into "_qs + sib + u": 1 changed, 1 unchanged, 1 left empty\n"_qs);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    const TSIBFileManager files = loaded();
    ASSERT_EQ(files.Count(), 2);
    EXPECT_EQ(files.Entry(0).Lines[stCaptions],
              (QList<QStringList>{{u"btnOK.text"_qs, u"Speichern"_qs, u"Save"_qs, u"Enregistrer"_qs},
                                  {u"lblName.text"_qs, u"Name:"_qs, u"Name:"_qs, u"Nom :"_qs}}));
    EXPECT_EQ(files.Entry(0).Lines[stHints],
              (QList<QStringList>{{u"btnOK.toolTip"_qs, u"Speichert den Kunden"_qs, u"Saves the customer"_qs}}));
    EXPECT_EQ(files.Entry(1).LangNames, (QStringList{u"German"_qs, u"English"_qs}));
}

TEST_F(SibCommandTest, ImportSaysWhatItCouldNotPlaceAndRefusesDamagedFiles)
{
    write(u"it.po"_qs, "msgid \"\"\nmsgstr \"Language: it\\n\"\n\n"
                       "msgctxt \"TfrmArtikel|stCaptions:Self.windowTitle\"\nmsgid \"Artikel\"\nmsgstr \"Articoli\"\n\n"
                       "msgctxt \"TfrmArtikel|stCaptions:gone.text\"\nmsgid \"Weg\"\nmsgstr \"Via\"\n");
    const ZorccRun r = runZorcc({u"sib"_qs, u"import"_qs, tmp.filePath(u"it.po"_qs), sib});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, u"zorcc sib: note: TfrmArtikel did not have the language; it was added\n"
                     "zorcc sib: warning: 1 texts are not in "_qs
                         + sib + u" and were skipped: TfrmArtikel stCaptions:gone.text;\n"_qs);
    EXPECT_EQ(loaded().Entry(1).LangNames.value(2), u"Italian"_qs);

    write(u"bad.po"_qs, "msgctxt \"TfrmArtikel\"\nmsgid \"Artikel\"\nmsgstr \"x\"\n");
    const QByteArray before = read(u"app.sib"_qs);
    const ZorccRun bad = runZorcc({u"sib"_qs, u"import"_qs, tmp.filePath(u"bad.po"_qs), sib});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.err, u"zorcc sib: "_qs + tmp.filePath(u"bad.po"_qs)
                           + u": line 1: msgctxt 'TfrmArtikel' is not <form>|<type>:<ID>\n"_qs);
    EXPECT_EQ(read(u"app.sib"_qs), before);

    const ZorccRun format = runZorcc({u"sib"_qs, u"export"_qs, sib, u"x"_qs, u"--format"_qs, u"xliff"_qs});
    EXPECT_EQ(format.exitCode, 2);
    EXPECT_TRUE(format.err.startsWith(u"zorcc sib: unknown format 'xliff' (one of: ts, po, tsv)\n"_qs));
    const ZorccRun missing = runZorcc({u"sib"_qs, u"import"_qs, tmp.filePath(u"it.po"_qs), tmp.filePath(u"new.sib"_qs)});
    EXPECT_EQ(missing.exitCode, 1);
}
