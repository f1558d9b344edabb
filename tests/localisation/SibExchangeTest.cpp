// Translation files through Qt Linguist and gettext files: round trips that
// keep IDs, types and untouched languages, what Qt's and gettext's own tools
// make of our files (run as separate programs), merging, and bad input.
#include <ZorCompCore/localisation/LanguageCodes.h>
#include <ZorCompCore/localisation/SibExchange.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/platform/Exception.h>
#include "TestUtil.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zor;

namespace {

// Two forms: German design texts, English and French translations, texts
// that need escaping in XML and PO, every kind of line the exchange treats
// specially.
TSIBFileManager sampleFiles()
{
    TSIBEntry kunde;
    kunde.OwnerName = QStringLiteral("TfrmKunde");
    kunde.LangNames = {QStringLiteral("German"), QStringLiteral("English"), QStringLiteral("French")};
    kunde.DefaultLanguage = 2;
    kunde.Lines[stCaptions] = {
        {QStringLiteral("btnOK.text"), QStringLiteral("&Speichern & schließen"), QStringLiteral("&Save && close"),
         QStringLiteral("Enregistrer")},
        {QStringLiteral("lblNote.text"), QStringLiteral("Zeile 1\nZeile 2\t<b>\"fett\"</b> 'x' \\ C:\\n"),
         QStringLiteral("Line 1\nLine 2")},
        {QStringLiteral("lblCtl.text"), QStringLiteral("Steuer\x01zeichen\r und \U0001F600"), QString(),
         QStringLiteral("caractère\x1f de contrôle")},
        {QStringLiteral("lblEmpty.text")},                       // nothing to translate
        {QStringLiteral("btnOK.text"), QStringLiteral("Doppelt")}, // lookups never reach a second line
    };
    kunde.Lines[stHints] = {{QStringLiteral("btnOK.toolTip"), QStringLiteral("Speichert"), QStringLiteral("Saves")}};
    kunde.Lines[stStrings] = {{QStringLiteral("id with spaces|and:colons"), QStringLiteral("Frei"),
                               QStringLiteral("Free"), QStringLiteral("Libre")}};
    kunde.Extended = {{QStringLiteral("Report.Title"), QStringLiteral("Bericht"), QStringLiteral("Report")}};
    TSIBEntry artikel;
    artikel.OwnerName = QStringLiteral("TfrmArtikel");
    artikel.LangNames = {QStringLiteral("Deutsch"), QStringLiteral("Français")};
    artikel.Lines[stCaptions] = {{QStringLiteral("Self.windowTitle"), QStringLiteral("Artikel"), QString()}};
    TSIBFileManager files;
    files.Add(kunde);
    files.Add(artikel);
    return files;
}

QByteArray encode(bool ts, const TSIBExchangeFile &f)
{
    return ts ? SIBExchangeToTS(f) : SIBExchangeToPO(f);
}

TSIBExchangeFile decode(bool ts, const QByteArray &data)
{
    return ts ? SIBExchangeFromTS(data) : SIBExchangeFromPO(data);
}

// A program of Qt's or gettext's tools, or empty.
QString tool(const QString &name)
{
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/lib/qt6/bin"), QStringLiteral("/usr/bin")});
}

// Runs a tool; its standard error on failure.
void runTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    ASSERT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    ASSERT_EQ(p.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(p.exitCode(), 0) << program.toStdString() << ": " << p.readAllStandardError().toStdString();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void expectSameMessages(const TSIBExchangeFile &a, const TSIBExchangeFile &b)
{
    ASSERT_EQ(a.Messages.size(), b.Messages.size());
    for (qsizetype i = 0; i < a.Messages.size(); ++i) {
        SCOPED_TRACE(a.Messages[i].ID.toStdString());
        EXPECT_EQ(a.Messages[i].Owner, b.Messages[i].Owner);
        EXPECT_EQ(a.Messages[i].Type, b.Messages[i].Type);
        EXPECT_EQ(a.Messages[i].ID, b.Messages[i].ID);
        EXPECT_EQ(a.Messages[i].Source, b.Messages[i].Source);
        EXPECT_EQ(a.Messages[i].Translation, b.Messages[i].Translation);
    }
}

} // namespace

TEST(SibExchange, ExtractTakesEveryFormWithTheLanguageByNameOrCode)
{
    const TSIBFileManager files = sampleFiles();
    const TSIBExchangeFile fr = SIBExchangeExtract(files, QStringLiteral("French"));
    EXPECT_EQ(fr.Language, u"fr"_qs);
    EXPECT_EQ(fr.SourceLanguage, u"de"_qs);
    QStringList keys;
    for (const TSIBExchangeMessage &m : fr.Messages)
        keys << m.Owner + u' ' + QString::number(m.Type) + u' ' + m.ID + u'=' + m.Translation;
    // "Français" of TfrmArtikel is French by its code; the empty design text
    // and the second btnOK.text line stay out.
    EXPECT_EQ(keys, (QStringList{u"TfrmKunde 0 btnOK.text=Enregistrer"_qs, u"TfrmKunde 0 lblNote.text="_qs,
                                 u"TfrmKunde 0 lblCtl.text=caractère\x1f de contrôle"_qs,
                                 u"TfrmKunde 1 btnOK.toolTip="_qs, u"TfrmKunde 6 id with spaces|and:colons=Libre"_qs,
                                 u"TfrmKunde 12 Report.Title="_qs, u"TfrmArtikel 0 Self.windowTitle="_qs}));
    EXPECT_EQ(SIBExchangeExtract(files, QStringLiteral("fr"), QStringLiteral("TfrmArtikel")).Messages.size(), 1);

    EXPECT_THROW(SIBExchangeExtract(files, QStringLiteral("German")), EArgumentException); // the sources
    EXPECT_THROW(SIBExchangeExtract(files, QStringLiteral("Klingon")), EArgumentException);
    EXPECT_THROW(SIBExchangeExtract(files, QStringLiteral("English"), QStringLiteral("TfrmArtikel")),
                 EArgumentException);
}

TEST(SibExchange, TsAndPoRoundTripKeepIdsTypesAndUntouchedLanguages)
{
    for (const bool ts : {true, false}) {
        SCOPED_TRACE(ts ? "TS" : "PO");
        TSIBFileManager files = sampleFiles();
        const TSIBExchangeFile out = SIBExchangeExtract(files, QStringLiteral("French"));
        TSIBExchangeFile back = decode(ts, encode(ts, out));
        EXPECT_EQ(back.Language, out.Language);
        EXPECT_EQ(back.SourceLanguage, out.SourceLanguage);
        expectSameMessages(back, out);

        // A translator fills two texts and changes one.
        for (TSIBExchangeMessage &m : back.Messages) {
            if (m.ID == u"lblNote.text")
                m.Translation = u"Ligne 1\nLigne 2 « & »"_qs;
            else if (m.ID == u"Report.Title")
                m.Translation = u"Rapport"_qs;
            else if (m.ID == u"btnOK.text")
                m.Translation = u"&Enregistrer"_qs;
        }
        const TSIBExchangeFile translated = decode(ts, encode(ts, back));
        const TSIBMergeResult r = SIBExchangeMerge(files, translated);
        EXPECT_EQ(r.Changed, 3);
        EXPECT_EQ(r.Unchanged, 2); // lblCtl.text and the free text
        EXPECT_EQ(r.Untranslated, 2);
        EXPECT_TRUE(r.NotFound.isEmpty()) << r.NotFound.join(u", "_qs).toStdString();
        EXPECT_TRUE(r.LanguageAddedTo.isEmpty());

        const TSIBFileManager before = sampleFiles();
        const TSIBEntry &k = files.Entry(0);
        const TSIBEntry &k0 = before.Entry(0);
        EXPECT_EQ(k.LangNames, k0.LangNames);
        EXPECT_EQ(k.Lines[stCaptions][0], (QStringList{u"btnOK.text"_qs, u"&Speichern & schließen"_qs,
                                                        u"&Save && close"_qs, u"&Enregistrer"_qs}));
        EXPECT_EQ(k.Lines[stCaptions][1].value(3), u"Ligne 1\nLigne 2 « & »"_qs);
        EXPECT_EQ(k.Lines[stCaptions][1].value(2), u"Line 1\nLine 2"_qs); // English untouched
        EXPECT_EQ(k.Extended[0], (QStringList{u"Report.Title"_qs, u"Bericht"_qs, u"Report"_qs, u"Rapport"_qs}));
        // Every other line as it was, the duplicate and the empty one too.
        for (int t = 0; t < StringsTypeCount; ++t) {
            if (t != stCaptions) {
                EXPECT_EQ(k.Lines[t], k0.Lines[t]) << t;
            }
        }
        EXPECT_EQ(k.Lines[stCaptions].mid(2), k0.Lines[stCaptions].mid(2));
        EXPECT_EQ(files.Entry(1).Lines, before.Entry(1).Lines);
    }
}

TEST(SibExchange, MergeAddsAMissingLanguageAndReportsWhatItCannotPlace)
{
    TSIBFileManager files = sampleFiles();
    TSIBExchangeFile it;
    it.Language = QStringLiteral("it");
    it.Messages = {{u"TfrmKunde"_qs, stCaptions, u"btnOK.text"_qs, u"Geändert"_qs, u"Salva"_qs, true},
                   {u"TfrmKunde"_qs, stHints, u"btnOK.text"_qs, u"x"_qs, u"y"_qs, false}, // wrong type
                   {u"TfrmWeg"_qs, stCaptions, u"a.text"_qs, u"x"_qs, u"y"_qs, false}};
    const TSIBMergeResult r = SIBExchangeMerge(files, it);
    EXPECT_EQ(r.Changed, 1);
    EXPECT_EQ(r.SourceChanged, 1);
    EXPECT_EQ(r.LanguageAddedTo, QStringList{u"TfrmKunde"_qs});
    EXPECT_EQ(r.NotFound, (QStringList{u"TfrmKunde stHints:btnOK.text"_qs, u"TfrmWeg stCaptions:a.text"_qs}));
    EXPECT_EQ(files.Entry(0).LangNames.value(3), u"Italian"_qs);
    EXPECT_EQ(files.Entry(0).Lines[stCaptions][0].value(4), u"Salva"_qs);

    // Named by the caller: the form gets that name; the design language is refused.
    TSIBFileManager named = sampleFiles();
    SIBExchangeMerge(named, it, QStringLiteral("Italiano"));
    EXPECT_EQ(named.Entry(0).LangNames.value(3), u"Italiano"_qs);
    TSIBExchangeFile de = it;
    de.Language = QStringLiteral("de_DE");
    EXPECT_THROW(SIBExchangeMerge(named, de), EArgumentException);
    de.Language.clear();
    EXPECT_THROW(SIBExchangeMerge(named, de), EArgumentException);
}

TEST(SibExchange, QtsOwnConverterReadsOurFilesAndWeReadWhatItWrites)
{
    const QString lconvert = tool(QStringLiteral("lconvert"));
    if (lconvert.isEmpty())
        GTEST_SKIP() << "lconvert (qt6-tools-dev-tools) is not installed";
    QTemporaryDir dir;
    const TSIBExchangeFile fr = SIBExchangeExtract(sampleFiles(), QStringLiteral("French"));
    const QString ts = dir.filePath(u"fr.ts"_qs), po = dir.filePath(u"fr.po"_qs);
    writeFile(ts, SIBExchangeToTS(fr));
    writeFile(po, SIBExchangeToPO(fr));

    // Our TS as Qt reads it: as TS again, and turned into PO.
    runTool(lconvert, {u"-i"_qs, ts, u"-o"_qs, dir.filePath(u"qt.ts"_qs)});
    runTool(lconvert, {u"-i"_qs, ts, u"-o"_qs, dir.filePath(u"qt.po"_qs)});
    // Our PO as Qt reads it, back to TS.
    runTool(lconvert, {u"-i"_qs, po, u"-o"_qs, dir.filePath(u"qtfrompo.ts"_qs)});
    for (const auto &[file, isTs] : {std::pair{u"qt.ts"_qs, true}, {u"qt.po"_qs, false}, {u"qtfrompo.ts"_qs, true}}) {
        SCOPED_TRACE(file.toStdString());
        const TSIBExchangeFile back = decode(isTs, readFile(dir.filePath(file)));
        EXPECT_EQ(back.Language, u"fr"_qs);
        expectSameMessages(back, fr);
    }
}

TEST(SibExchange, WeReadWhatGettextsToolsWrite)
{
    const QString msgcat = tool(QStringLiteral("msgcat")), msgfmt = tool(QStringLiteral("msgfmt")),
                  msgunfmt = tool(QStringLiteral("msgunfmt"));
    if (msgcat.isEmpty() || msgfmt.isEmpty() || msgunfmt.isEmpty())
        GTEST_SKIP() << "gettext's tools are not installed";
    QTemporaryDir dir;
    const TSIBExchangeFile fr = SIBExchangeExtract(sampleFiles(), QStringLiteral("French"));
    const QString po = dir.filePath(u"fr.po"_qs);
    writeFile(po, SIBExchangeToPO(fr));
    // msgcat rewraps (here to 20 columns) and re-escapes; msgfmt compiles, msgunfmt decompiles.
    runTool(msgcat, {u"--width=20"_qs, po, u"-o"_qs, dir.filePath(u"cat.po"_qs)});
    runTool(msgfmt, {u"--check-format"_qs, po, u"-o"_qs, dir.filePath(u"fr.mo"_qs)});
    runTool(msgunfmt, {dir.filePath(u"fr.mo"_qs), u"-o"_qs, dir.filePath(u"unfmt.po"_qs)});
    const TSIBExchangeFile cat = SIBExchangeFromPO(readFile(dir.filePath(u"cat.po"_qs)));
    EXPECT_EQ(cat.Language, u"fr"_qs);
    expectSameMessages(cat, fr);
    // A compiled catalogue keeps translated texts only, sorted by key.
    const TSIBExchangeFile unfmt = SIBExchangeFromPO(readFile(dir.filePath(u"unfmt.po"_qs)));
    QStringList expected, got;
    for (const TSIBExchangeMessage &m : fr.Messages)
        if (!m.Translation.isEmpty())
            expected << m.Owner + m.ID + m.Source + m.Translation;
    for (const TSIBExchangeMessage &m : unfmt.Messages)
        got << m.Owner + m.ID + m.Source + m.Translation;
    expected.sort();
    got.sort();
    EXPECT_EQ(got, expected);
}

TEST(SibExchange, PoReaderTakesWhatTranslatorsToolsWrite)
{
    // CR LF, a byte order mark, flags, comments, a plural, an obsolete entry,
    // octal and hex escapes, a header with Language only.
    const QByteArray po = "\xEF\xBB\xBF# translator's note\r\n"
                          "msgid \"\"\r\nmsgstr \"\"\r\n\"Language: pt_BR\\n\"\r\n\r\n"
                          "#. extracted\n#: file.cpp:1\n#, fuzzy, c-format\n"
                          "msgctxt \"TfrmA|stCaptions:a.text\"\nmsgid \"\"\n\"Eins\\n\"\n\"Zwei\"\nmsgstr \"Um\\001\\x7e\"\n\n"
                          "msgctxt \"TfrmA|stStrings:n\"\nmsgid \"Datei\"\nmsgid_plural \"Dateien\"\n"
                          "msgstr[0] \"arquivo\"\nmsgstr[1] \"arquivos\"\n"
                          "#~ msgctxt \"TfrmA|stCaptions:old.text\"\n#~ msgid \"Alt\"\n#~ msgstr \"Velho\"\n";
    const TSIBExchangeFile f = SIBExchangeFromPO(po);
    EXPECT_EQ(f.Language, u"pt_BR"_qs);
    ASSERT_EQ(f.Messages.size(), 2);
    EXPECT_EQ(f.Messages[0], (TSIBExchangeMessage{u"TfrmA"_qs, stCaptions, u"a.text"_qs, u"Eins\nZwei"_qs,
                                                  u"Um\x01~"_qs, true}));
    EXPECT_EQ(f.Messages[1], (TSIBExchangeMessage{u"TfrmA"_qs, stStrings, u"n"_qs, u"Datei"_qs, u"arquivo"_qs, false}));
}

TEST(SibExchange, TsReaderTakesWhatLinguistWrites)
{
    const QByteArray ts = R"(<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
    <extra-po-header-language>fr</extra-po-header-language>
<context>
    <name>TfrmA</name>
    <message>
        <location filename="a.ui" line="3"/>
        <source>A<byte value="x9"/>&amp;</source>
        <comment>stCaptions:a.text</comment>
        <translatorcomment>check</translatorcomment>
        <translation type="unfinished">B<byte value="x1"/></translation>
    </message>
    <message numerus="yes">
        <source>Datei</source>
        <comment>stStrings:n</comment>
        <translation><numerusform>fichier</numerusform><numerusform>fichiers</numerusform></translation>
    </message>
    <message>
        <source>Alt</source>
        <comment>stCaptions:old.text</comment>
        <translation type="vanished">Vieux</translation>
    </message>
</context>
</TS>
)";
    const TSIBExchangeFile f = SIBExchangeFromTS(ts);
    EXPECT_EQ(f.Language, u"fr"_qs);
    ASSERT_EQ(f.Messages.size(), 2);
    EXPECT_EQ(f.Messages[0], (TSIBExchangeMessage{u"TfrmA"_qs, stCaptions, u"a.text"_qs, u"A\t&"_qs, u"B\x01"_qs, true}));
    EXPECT_EQ(f.Messages[1], (TSIBExchangeMessage{u"TfrmA"_qs, stStrings, u"n"_qs, u"Datei"_qs, u"fichier"_qs, false}));
}

TEST(SibExchange, DamagedFilesRaiseNamingTheLine)
{
    struct Case
    {
        const char *name;
        bool ts;
        QByteArray data;
        const char *message;
    };
    const Case cases[] = {
        {"not our key", false, "msgctxt \"Form|stNope:x\"\nmsgid \"a\"\nmsgstr \"b\"\n",
         "line 1: msgctxt 'Form|stNope:x' is not <form>|<type>:<ID>"},
        {"no form", false, "msgctxt \"stCaptions:x\"\nmsgid \"a\"\nmsgstr \"b\"\n", "line 1: msgctxt"},
        {"unterminated", false, "msgid \"a\nmsgstr \"b\"\n", "line 1: expected a quoted string"},
        {"bad escape", false, "msgctxt \"F|stCaptions:x\"\nmsgid \"a\\q\"\nmsgstr \"b\"\n", "line 2: unknown escape"},
        {"msgstr alone", false, "\nmsgstr \"b\"\n", "line 2: msgstr without msgid"},
        {"no msgstr", false, "msgctxt \"F|stCaptions:x\"\nmsgid \"a\"\n\n", "line 1: msgid without msgstr"},
        {"not UTF-8", false, "msgctxt \"F|stCaptions:x\"\nmsgid \"\xff\"\nmsgstr \"b\"\n", "line 1: the text is not UTF-8"},
        {"other charset", false, "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n",
         "line 1: charset ISO-8859-1"},
        {"unknown keyword", false, "\nmsgfoo \"x\"\n", "line 2: unknown keyword msgfoo"},
        {"not XML", true, "<TS><context>", "line 1: "},
        {"not TS", true, "<?xml version=\"1.0\"?>\n<html/>", "line 2: not a Qt Linguist file"},
        {"bad comment", true,
         "<TS>\n<context><name>F</name>\n<message><source>a</source><comment>btn</comment></message></context></TS>",
         "line 3: comment 'btn' is not <type>:<ID>"},
        {"bad byte", true,
         "<TS><context><name>F</name><message><source><byte value=\"x110000\"/></source></message></context></TS>",
         "line 1: bad <byte"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            decode(c.ts, c.data);
            ADD_FAILURE() << "no error";
        } catch (const EReadError &e) {
            EXPECT_TRUE(e.Message().startsWith(QString::fromUtf8(c.message))) << e.Message().toStdString();
        }
    }
}

TEST(LanguageCodes, NamesAndCodesMeetInOneLanguage)
{
    for (const char *name : {"de", "DE", "de_DE", "de-AT", "German", "german", "Deutsch"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(LanguageCodeOf(QString::fromUtf8(name)), u"de"_qs);
        EXPECT_EQ(LanguageNameOf(QString::fromUtf8(name)), u"German"_qs);
    }
    EXPECT_EQ(LanguageCodeOf(u"Français"_qs), u"fr"_qs);
    for (const char *unknown : {"", "Language 2", "xx", "C"}) {
        SCOPED_TRACE(unknown);
        EXPECT_TRUE(LanguageCodeOf(QString::fromUtf8(unknown)).isEmpty());
        EXPECT_TRUE(LanguageNameOf(QString::fromUtf8(unknown)).isEmpty());
    }
}
