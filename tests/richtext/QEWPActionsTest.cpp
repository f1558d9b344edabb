// The shared action module: its action list and icons, the module's own
// commands on an editor, the dialogs it runs, PDF export's margin check,
// languages, spelling, and an editing session driven as a user drives it.

#include "WidgetInput.h"

#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>

#include <ZorCompCore/localisation/ZORLang.h>
#include <ZorCompCore/platform/ImageList.h>
#include <ZorCompCore/platform/KnownFolders.h>
#include <ZorCompCore/richtext/QEWPPrvFrm.h>
#include <ZorCompCore/richtext/WPCustomDialog.h>
#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/actions/ActionList.h>
#include <ZorCompCore/richtext/actions/WPDefaultActions.h>
#include <ZorCompCore/richtext/actions/WPEngineActions.h>
#include <ZorCompCore/richtext/actions/WPLanguageControl.h>
#include <ZorCompCore/richtext/actions/dmQEWPActions.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/PagePainter.h>
#include <ZorCompCore/richtext/engine/PicturePlacement.h>
#include <ZorCompCore/richtext/engine/RtfWriter.h>
#include <ZorCompCore/richtext/engine/RtfReader.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/frmRTFPDFOptions.h>
#include <ZorCompCore/richtext/spell/SpellAsYouGo.h>
#include <ZorCompCore/richtext/spell/SpellController.h>

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextFrame>
#include <QTextLayout>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

// A module working on one editor.
struct Module
{
    TdmQEWPActions m;
    TWPRichText editor;
    QStringList errors;
    Module()
    {
        m.OnGetWPRichText = [this](QObject *, TWPRichText *&e) { e = &editor; };
        m.OnShowError = [this](const QString &msg) { errors << msg; };
        m.UpdateActions();
    }
    QAction *a(const char *name)
    {
        QAction *action = m.Action(QString::fromLatin1(name));
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    void trigger(const char *name)
    {
        m.UpdateActions();
        a(name)->trigger();
    }
    QTextCharFormat formatAt(int pos)
    {
        QTextCursor c(editor.Document().Text());
        c.setPosition(pos + 1);
        return c.charFormat();
    }
    void selectPicture()
    {
        QImage img(8, 8, QImage::Format_RGB32);
        img.fill(Qt::red);
        QByteArray png;
        QBuffer buf(&png);
        img.save(&buf, "PNG");
        const QString name = editor.Document().AddPicture(png, QStringLiteral("png"));
        QTextCursor c = editor.TextCursor();
        editor.Document().InsertPicture(c, name);
        c.setPosition(0);
        c.setPosition(1, QTextCursor::KeepAnchor);
        editor.SetTextCursor(c);
    }
};

// Dialogs that record that they ran, and for which editor.
QHash<QString, TWPRichText *> g_dialogRuns;

class RecordingDialog : public TWPCustomDialog
{
public:
    RecordingDialog(const QString &name, QObject *owner) : TWPCustomDialog(owner), m_name(name) {}
    bool Execute() override
    {
        g_dialogRuns.insert(m_name, EditBox());
        return true;
    }

private:
    QString m_name;
};

} // namespace

// Catches: an action missing from the table or misnamed, a wrong category,
// an engine action of the wrong class.
TEST(QEWPActions, EveryActionIsListedByCategory)
{
    TdmQEWPActions m;
    struct Group
    {
        const char *category;
        QStringList names;
    };
    const Group groups[] = {
        {"WPT_Table", {"WPABBottom1", "WPADelRow1", "WPABInner1", "WPABOuter1", "WPABAllOff1", "WPACreateTable1",
                       "WPACombineCell1", "WPASplitCells1", "WPAInsRow1", "WPASelectColumn1", "WPASelectRow1",
                       "WPAInsCol1", "WPADelCol1", "WPABLeft1", "WPABTop1", "WPABRight1"}},
        {"WPT_WithParam", {"WPAInsertField1", "WPAEditHyperlink1", "WPAInsertNextPage", "WPAInsertPagNo",
                           "WPAInsertPriorPage", "WPAInsertPageCount", "WPAInsertDate"}},
        {"WPT_Print", {"WPAZoomOut1", "WPAZoomIn1", "WPAFitHeight1", "WPAFitWidth1", "WPAPrint1",
                       "WPAPrinterSetup1", "WPAPriorPage1", "WPANextPage1"}},
        {"WPT_ParAttr", {"WPALeft1", "WPACenter1", "WPARight1", "WPAJustified1", "WPABullets1", "WPANumbers1",
                         "WPADecIndent1", "WPAIncIndent1"}},
        {"WPT_File", {"WPAOpen1", "WPASave1", "WPAExit1", "WPAClose1", "WPANew1"}},
        {"WPT_Edit", {"WPAUndo1", "WPACopy1", "WPACut1", "WPAPaste1", "WPASearch1", "WPAReplace1", "WPASellAll1",
                      "WPAHideSelection1", "WPASpellcheck1", "WPARedo1", "WPADeleteText1", "WPASpellAsYouGo1",
                      "WPAStartThesaurus1"}},
        {"WPT_Data", {"WPACancel1", "WPADelete1", "WPAAdd1", "WPAEdit1", "WPANext1", "WPABack1", "WPAOK1",
                      "WPAToEnd1", "WPAToStart1"}},
        {"WPT_CharAttr", {"WPANorm1", "WPABold1", "WPAItalic1", "WPAProtected1", "WPAHidden1", "WPARTFCode1",
                          "WPAUnderline1", "WPAStrikeout1", "WPASubscript1", "WPASuperscript1"}},
        {"WPT_Outlines", {"WPAIsOutlineMode1", "WPAInOutlineUp1", "WPAInOutlineDown1"}},
        {"WPT_COMBOS", {"WPAFontColor"}},
        {"", {"WPAScreenFonts", "WPAPrinterFonts", "WPATrueTypeFonts", "WPAFonts", "WPABkColor", "WPAFontSize",
              "WPAFontSizeManual", "WPAHTMLFontSize", "WPAParColor", "WPAParAlignment", "WPAStyleNames",
              "XA_ShowRepBand", "XA_CreateReport", "XA_ConvertTokens"}},
        {"Menu_File", {"XA_New", "XA_Load", "XA_Save", "XA_SaveAs", "XA_SaveToString", "XA_CloseFile",
                       "XA_ExportFile", "XA_DocProp", "XA_Print", "XA_PrintDialog", "XA_DiaPreview",
                       "XA_DiaPageSetup", "XA_HTMLPageSetup"}},
        {"Menu_Table", {"XA_CreateTable", "XA_SplitTable"}},
        {"Menu_Extras", {"XA_SpellCheck", "XA_SpellThesaurus", "XA_SpellAsYouGo", "XA_ConfigSpellchecker"}},
    };
    int listed = 0;
    for (const Group &g : groups) {
        for (const QString &name : g.names) {
            SCOPED_TRACE(name.toStdString());
            QAction *a = m.Action(name);
            ASSERT_NE(a, nullptr);
            EXPECT_EQ(a->objectName(), name);
            EXPECT_EQ(TWPActionList::Category(a), QString::fromLatin1(g.category));
            if (name.startsWith(u"WPA")) {
                auto *engine = qobject_cast<TWPToolsAction *>(a);
                ASSERT_NE(engine, nullptr);
                QString cls = u'T' + name;
                if (name.startsWith(u"WPAInsert") && name != u"WPAInsertField1")
                    cls = QStringLiteral("TWPAInsertNumber");
                else if (TWPActionList::Category(a).isEmpty() || name == u"WPAFontColor")
                    cls = QStringLiteral("TWPToolsCustomEditContolAction");
                else
                    cls.chop(1);
                EXPECT_EQ(engine->ClassName(), cls);
            }
            ++listed;
        }
    }
    for (const char *name : {"XA_ViewNormal", "XA_View200", "XA_ViewThumbnails", "XA_ManageHeaderFooter",
                             "XY_ShowSpecialChars", "XA_FieldsMarkers"})
        EXPECT_EQ(TWPActionList::Category(m.Action(QString::fromLatin1(name))), QStringLiteral("Menu_View"));
    for (const char *name : {"XY_GraphicOptAsChar", "XA_GraphicOpRelToParAuto", "XA_GraphicOpRelToParBoth",
                             "XA_GraphicOptRelToPage", "XA_GraphicOptRelToPageWrap", "XA_GraphicUnderText",
                             "XA_GraphicOptRelToParNoWrap", "XA_Col_Off", "XA_Col_4", "XA_FrmCap_Off"})
        EXPECT_EQ(TWPActionList::Category(m.Action(QString::fromLatin1(name))), QStringLiteral("Menu_Format"));
    EXPECT_GT(m.StdActions()->Count(), listed);
    // The hidden ones of the design.
    for (const char *name : {"XA_InsColumnBreak", "XA_Col_Off", "XA_InsertTextBox"})
        EXPECT_FALSE(m.Action(QString::fromLatin1(name))->isVisible()) << name;
}

// Catches: icons not found in the resources (blank images), the image
// index pointing at another icon, a size other than 16 x 16.
TEST(QEWPActions, IconsAreRenderedFromTheResources)
{
    TdmQEWPActions m;
    TImageList *icons = m.StdIcons();
    ASSERT_EQ(m.StdActions()->Images(), icons);
    EXPECT_EQ(icons->Width(), 16);
    EXPECT_EQ(icons->Height(), 16);
    ASSERT_GE(icons->Count(), 100);
    for (int i = 0; i < icons->Count(); ++i) {
        const QImage img = icons->Image(i);
        int opaque = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                opaque += qAlpha(img.pixel(x, y)) > 32;
        EXPECT_GT(opaque, 4) << "icon " << i << " is blank";
    }
    QAction *bold = m.Action(QStringLiteral("WPABold1"));
    QAction *italic = m.Action(QStringLiteral("WPAItalic1"));
    const int bi = TWPActionList::ImageIndex(bold);
    ASSERT_GE(bi, 0);
    EXPECT_NE(bi, TWPActionList::ImageIndex(italic));
    EXPECT_EQ(TWPActionList::ImageIndex(m.Action(QStringLiteral("WPASpellcheck1"))),
              TWPActionList::ImageIndex(m.Action(QStringLiteral("XA_SpellCheck"))))
        << "one image per icon";
    EXPECT_FALSE(bold->icon().isNull());
    EXPECT_FALSE(bold->icon().pixmap(32, 32).isNull());
}

// Catches: a dialog action running its dialog for another editor, or
// running another dialog; dialog actions enabled without their dialog.
TEST(QEWPActions, DialogsRunForTheCurrentEditor)
{
    const std::pair<const char *, const char *> bound[] = {
        {"XA_CreateTable", "TWPTableDlg"},        {"XA_FrmIndentSpacing", "TWPParagraphPropDlg"},
        {"XA_FrmBorder", "TWPParagraphBorderDlg"}, {"XA_FrmNumbers", "TWPBulletDlg"},
        {"XA_FrmTabStops", "TWPTabDlg"},           {"XA_DiaPageSetup", "TWPPagePropDlg"},
        {"XA_InsSymbol", "TWPSymbolDlgEx"},        {"XA_ManageHeaderFooter", "TWPManageHeaderFooter"},
        {"XA_DocProp", "TWPDocPropDlg"},           {"XA_InsHyperlink", "TWPHyperlinkDlg"},
        {"XA_FrmFontDialog", "TWPFontDlg"},
    };
    for (const auto &[action, cls] : bound) {
        const QString name = QString::fromLatin1(cls);
        TWPCustomDialog::RegisterClass(name, [name](QObject *owner) { return new RecordingDialog(name, owner); });
    }
    Module t;
    for (const auto &[action, cls] : bound) {
        SCOPED_TRACE(action);
        g_dialogRuns.clear();
        t.m.UpdateActions();
        ASSERT_TRUE(t.a(action)->isEnabled());
        t.a(action)->trigger();
        EXPECT_EQ(g_dialogRuns.keys(), QStringList{QString::fromLatin1(cls)});
        EXPECT_EQ(g_dialogRuns.value(QString::fromLatin1(cls)), &t.editor);
    }
    // The engine's table action takes the registered dialog as well.
    g_dialogRuns.clear();
    t.trigger("WPACreateTable1");
    EXPECT_EQ(g_dialogRuns.value(QStringLiteral("TWPTableDlg")), &t.editor);
}

// Catches: a zoom action with the wrong tag, a view not checked when it is
// the editor's mode.
TEST(QEWPActions, ViewsSetTheirZoomCodes)
{
    Module t;
    const std::pair<const char *, int> views[] = {
        {"XA_ViewNormal", -10}, {"XA_ViewPageLayout", -12}, {"XA_ViewPageWidth", -13}, {"XA_ViewFullPage", -14},
        {"XA_ViewDoublePage", -15}, {"XA_View500", 500}, {"XA_View200", 200}, {"XA_View100", 100},
        {"XA_View75", 75}, {"XA_View50", 50}, {"XA_View25", 25}, {"XA_ViewThumbnails", -19}};
    for (const auto &[name, code] : views) {
        SCOPED_TRACE(name);
        t.trigger(name);
        EXPECT_EQ(t.editor.ZoomMode(), code);
        EXPECT_TRUE(t.a(name)->isChecked());
    }
    EXPECT_FALSE(t.a("XA_ViewNormal")->isChecked());
}

// Catches: field tags mapped to the wrong kinds; the named-field query not
// asked with the engine's texts, or its default; a cancelled query
// inserting anyway.
TEST(QEWPActions, FieldsByTagAndByName)
{
    Module t;
    const TWPFieldKind kinds[] = {TWPFieldKind::Page, TWPFieldKind::NextPage, TWPFieldKind::PriorPage,
                                  TWPFieldKind::NumPages, TWPFieldKind::Date, TWPFieldKind::Time};
    const char *names[] = {"XA_FInsPage", "XA_FInsNextPage", "XA_FInsPriorPage", "XA_FInsNumPages",
                           "XA_FInsDate", "XA_FInsTime"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(TdmQEWPActions::Tag(t.a(names[i])), i);
        t.trigger(names[i]);
        EXPECT_EQ(t.formatAt(i).intProperty(wpFieldKind), int(kinds[i])) << names[i];
    }

    t.m.LoadLanguage(QStringLiteral("German"));
    QString asked, defaultValue;
    bool accept = true;
    t.m.OnInputQuery = [&](const QString &caption, const QString &, QString &value) {
        asked = caption;
        defaultValue = value;
        value = QStringLiteral("Kunde");
        return accept;
    };
    t.trigger("XA_InsMailmergeField");
    EXPECT_EQ(asked, QStringLiteral("Seriendruckfeld einfügen"));
    EXPECT_EQ(defaultValue, QStringLiteral("NEWFIELD"));
    EXPECT_EQ(t.formatAt(6).intProperty(wpFieldKind), int(TWPFieldKind::Merge));
    EXPECT_EQ(t.formatAt(6).stringProperty(wpFieldName), QStringLiteral("Kunde"));
    t.trigger("XA_InsNamedField");
    EXPECT_EQ(defaultValue, QStringLiteral("PAGE"));
    EXPECT_EQ(t.formatAt(7).intProperty(wpFieldKind), int(TWPFieldKind::Named));
    accept = false;
    const int length = t.editor.Document().Text()->characterCount();
    t.trigger("XA_InsertFormField");
    t.trigger("XA_InsBookmark");
    EXPECT_EQ(t.editor.Document().Text()->characterCount(), length);
    EXPECT_TRUE(t.editor.Document().Bookmarks().empty());
    accept = true;
    t.trigger("XA_InsBookmark");
    EXPECT_NE(t.editor.Document().FindBookmark(QStringLiteral("Kunde")), nullptr);
}

// Catches: the whole field name typed (prefix and "=" included), or the
// brackets missing; Handled left false.
TEST(QEWPActions, BeforeInsertFieldWrapsTheName)
{
    Module t;
    const std::pair<const char *, const char *> rows[] = {
        {"DB.Customer=Name", "<<Name>>"}, {"Plain", "<<Plain>>"}, {"a=b=c", "<<b=c>>"}, {"", "<<>>"}};
    for (const auto &[field, typed] : rows) {
        t.editor.Clear();
        bool handled = false;
        t.m.DoOnBeforeInsertField(nullptr, &t.editor, QString::fromUtf8(field), nullptr, handled);
        EXPECT_EQ(t.editor.PlainText(), QString::fromUtf8(typed)) << field;
        EXPECT_TRUE(handled);
    }
}

// Catches: the toggle keyed on any mark instead of the paragraph marks
// alone; other view options lost by the toggle.
TEST(QEWPActions, SpecialCharactersToggle)
{
    Module t;
    const unsigned set = wpShowCR | wpShowSPC | wpShowTAB | wpDrawPageMarginLines | wpShowFF | wpShowNL | wpShowHardSPC;
    const unsigned grid = unsigned(wpShowGridlines);
    t.editor.SetViewOptions(unsigned(wpShowTAB) | grid);
    t.trigger("XY_ShowSpecialChars");
    EXPECT_EQ(t.editor.ViewOptions(), set | grid);
    EXPECT_TRUE(t.a("XY_ShowSpecialChars")->isChecked());
    t.trigger("XY_ShowSpecialChars");
    EXPECT_EQ(t.editor.ViewOptions(), grid);
    t.editor.SetViewOptions(unsigned(wpShowCR));
    t.trigger("XY_ShowSpecialChars");
    EXPECT_EQ(t.editor.ViewOptions(), 0u);
    EXPECT_FALSE(t.a("XY_ShowSpecialChars")->isChecked());
}

// Catches: capitalisation not excluding the other case, not undoable, or
// not marking the text modified; field markers not toggling.
TEST(QEWPActions, CapitalisationAndFieldMarkers)
{
    Module t;
    t.editor.InputString(QStringLiteral("Word"));
    t.editor.SelectAll();
    t.editor.SetModified(false);
    t.trigger("XA_FrmCap_Uppercase");
    EXPECT_EQ(t.formatAt(1).fontCapitalization(), QFont::AllUppercase);
    EXPECT_TRUE(t.editor.Modified());
    EXPECT_TRUE(t.editor.Edit().SaveToBytes(QStringLiteral("RTF")).contains("\\caps"));
    t.trigger("XA_FrmCap_Lowercase");
    EXPECT_EQ(t.formatAt(1).fontCapitalization(), QFont::AllLowercase);
    t.trigger("XA_FrmCap_Off");
    EXPECT_EQ(t.formatAt(1).fontCapitalization(), QFont::MixedCase);
    t.editor.Undo();
    EXPECT_EQ(t.formatAt(1).fontCapitalization(), QFont::AllLowercase);

    EXPECT_TRUE(t.a("XA_FieldsMarkers")->isChecked());
    t.trigger("XA_FieldsMarkers");
    EXPECT_TRUE(TdmQEWPActions::InsertPointsHidden(t.editor));
    EXPECT_FALSE(t.a("XA_FieldsMarkers")->isChecked());
}

// Catches: page and section breaks as characters instead of paragraphs
// that start a page; the section not counted; paragraph formats cleared
// along with the section mark.
TEST(QEWPActions, BreaksAndParagraphFormat)
{
    Module t;
    t.editor.InputString(QStringLiteral("one"));
    t.trigger("XA_InsPageBreak");
    t.editor.InputString(QStringLiteral("two"));
    t.trigger("XA_InsSectionBreak");
    t.editor.InputString(QStringLiteral("three"));
    QTextDocument *doc = t.editor.Document().Text();
    ASSERT_EQ(doc->blockCount(), 3);
    EXPECT_EQ(t.editor.PlainText(), QStringLiteral("one\ntwo\nthree"));
    EXPECT_TRUE(doc->findBlockByNumber(1).blockFormat().boolProperty(wpPageBreakBefore));
    EXPECT_EQ(t.editor.Document().SectionCount(), 2);
    EXPECT_EQ(t.editor.Document().SectionAt(doc->findBlockByNumber(2).position()), 1);

    QTextCursor c = t.editor.TextCursor();
    QTextBlockFormat bf;
    bf.setAlignment(Qt::AlignRight);
    bf.setIndent(2);
    c.mergeBlockFormat(bf);
    t.trigger("XA_DelParFormat");
    const QTextBlockFormat after = doc->lastBlock().blockFormat();
    EXPECT_EQ(after.indent(), 0);
    EXPECT_NE(after.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(t.editor.Document().SectionAt(doc->lastBlock().position()), 1) << "the section stays";
}

// A shown editor with a 40 x 40 red picture inside a long paragraph
// ("Start <picture> words …") after a short one.
struct Placed : Module
{
    static constexpr int Offset = 6; // the picture's place in its paragraph
    explicit Placed(Qt::Alignment align = Qt::AlignLeft)
    {
        editor.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        editor.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        editor.resize(640, 480);
        editor.show();
        QImage img(40, 40, QImage::Format_RGB32);
        img.fill(Qt::red);
        QByteArray png;
        QBuffer buf(&png);
        img.save(&buf, "PNG");
        const QString name = editor.Document().AddPicture(png, QStringLiteral("png"));
        QTextCursor c(text());
        c.insertText(QStringLiteral("Before."));
        QTextBlockFormat bf;
        bf.setAlignment(align);
        c.insertBlock(bf);
        c.insertText(QStringLiteral("Start "));
        editor.Document().InsertPicture(c, name);
        QString words;
        for (int i = 0; i < 60; ++i)
            words += QStringLiteral(" word");
        c.insertText(words);
        select(QStringLiteral("Before.\n").size() + Offset);
        QApplication::processEvents();
    }
    QTextDocument *text() { return editor.Document().Text(); }
    void select(int at)
    {
        QTextCursor c(text());
        c.setPosition(at);
        c.setPosition(at + 1, QTextCursor::KeepAnchor);
        editor.SetTextCursor(c);
    }
    int picture() { return editor.TextCursor().selectionStart(); }
    QTextFrame *frame()
    {
        QTextCursor c(text());
        c.setPosition(picture());
        return IsPictureFrame(c.currentFrame()) ? c.currentFrame() : nullptr;
    }
    // The paragraph with the words (after the picture's frame, if any).
    QTextBlock paragraph()
    {
        for (QTextBlock b = text()->begin(); b.isValid(); b = b.next())
            if (b.text().contains(QStringLiteral("word")))
                return b;
        return {};
    }
    // Its first line in document units.
    QRectF firstLine()
    {
        const QTextBlock b = paragraph();
        const QTextLine l = b.layout()->lineAt(0);
        return l.rect().translated(text()->documentLayout()->blockBoundingRect(b).topLeft());
    }
    // Where the picture's frame puts it (inside the frame's margins).
    QRectF frameRect()
    {
        return frame() ? text()->documentLayout()->blockBoundingRect(text()->findBlock(frame()->firstPosition()))
                       : QRectF();
    }
};

// Catches: a floating picture that the text does not flow beside (or that
// covers it), automatic wrap not choosing the right side for a right-aligned
// paragraph, a picture without wrap sharing its lines, a page-relative
// picture keeping the paragraph's indent, the text pushed aside by a picture
// under it — in the control's normal and page layout alike.
TEST(QEWPActions, GraphicOptionsLayOutThePicture)
{
    for (const TWPLayoutMode mode : {wplayNormal, wplayPageLayout}) {
        SCOPED_TRACE(int(mode));
        {
            SCOPED_TRACE("beside the paragraph");
            for (const char *action : {"XA_GraphicOpRelToParAuto", "XA_GraphicOpRelToParBoth", "XA_GraphicOptRelToPageWrap"}) {
                SCOPED_TRACE(action);
                Placed t;
                t.editor.SetLayoutMode(mode);
                t.trigger(action);
                ASSERT_NE(t.frame(), nullptr);
                const QRectF pic = t.frameRect(), line = t.firstLine();
                EXPECT_GE(pic.width(), 40);
                EXPECT_LT(line.top(), pic.bottom()) << "the first line is beside the picture";
                EXPECT_GE(line.left() + t.paragraph().layout()->lineAt(0).naturalTextRect().left(), pic.left() + 40);
                EXPECT_TRUE(t.paragraph().text().startsWith(QStringLiteral("Start  word")));
            }
        }
        {
            SCOPED_TRACE("right-aligned, automatic");
            Placed t(Qt::AlignRight);
            t.editor.SetLayoutMode(mode);
            t.trigger("XA_GraphicOpRelToParAuto");
            ASSERT_NE(t.frame(), nullptr);
            const QRectF pic = t.frameRect();
            const QTextLine l = t.paragraph().layout()->lineAt(0);
            const qreal right = t.text()->documentLayout()->blockBoundingRect(t.paragraph()).left() + l.x() + l.width();
            EXPECT_GT(pic.left(), t.text()->documentLayout()->blockBoundingRect(t.paragraph()).center().x());
            EXPECT_LE(right, pic.left() + 0.5) << "the lines end before the picture";
        }
        for (const char *action : {"XA_GraphicOptRelToParNoWrap", "XA_GraphicOptRelToPage"}) {
            SCOPED_TRACE(action);
            Placed t;
            QTextBlockFormat indent;
            indent.setLeftMargin(30);
            QTextCursor(t.paragraph()).mergeBlockFormat(indent);
            t.editor.SetLayoutMode(mode);
            t.trigger(action);
            ASSERT_NE(t.frame(), nullptr);
            const QRectF pic = t.frameRect(), line = t.firstLine();
            EXPECT_GE(line.top(), pic.bottom() - 0.5) << "nothing beside the picture";
            EXPECT_EQ(t.paragraph().layout()->lineAt(0).x(), 30) << "only the paragraph's own indent";
            const qreal textLeft = t.text()->documentLayout()->blockBoundingRect(t.text()->begin()).left();
            if (QByteArray(action) == "XA_GraphicOptRelToPage")
                EXPECT_NEAR(pic.left(), textLeft, 0.5) << "at the text area's edge";
            else
                EXPECT_NEAR(pic.left(), textLeft + 30, 0.5) << "at the paragraph's indent";
        }
        {
            SCOPED_TRACE("under the text");
            Placed t;
            t.editor.SetLayoutMode(mode);
            const auto advance = [&t] {
                const QTextBlock b = t.text()->findBlock(t.picture());
                const QTextLine l = b.layout()->lineForTextPosition(t.picture() - b.position());
                return l.cursorToX(t.picture() - b.position() + 1) - l.cursorToX(t.picture() - b.position());
            };
            EXPECT_NEAR(advance(), 40, 0.5) << "as a character it takes its room";
            t.trigger("XA_GraphicOpRelToParAuto");
            t.trigger("XA_GraphicUnderText");
            EXPECT_EQ(t.frame(), nullptr);
            EXPECT_EQ(t.picture(), int(QStringLiteral("Before.\n").size()) + Placed::Offset) << "back in its place";
            EXPECT_NEAR(advance(), 0, 0.01) << "the text is not pushed aside";
            // Drawn beneath the words: red shows, and so does text on it.
            t.editor.repaint();
            const QRect r = t.editor.PictureRect(t.picture());
            ASSERT_FALSE(r.isEmpty());
            EXPECT_NEAR(r.width(), 40, 1);
            EXPECT_NEAR(r.height(), 40, 1);
            const QImage shot = Shot(t.editor);
            int red = 0, dark = 0;
            for (int y = r.top() + 1; y < r.bottom(); ++y)
                for (int x = r.left() + 1; x < r.right(); ++x) {
                    const QColor c = shot.pixelColor(x, y);
                    red += c.red() > 200 && c.green() < 60;
                    dark += c.red() < 100 && c.green() < 100;
                }
            EXPECT_GT(red, 400);
            EXPECT_GT(dark, 10) << "text over the picture";
            // A click at its corner (where its character is) selects it again.
            t.select(0);
            Click(&t.editor, r.topLeft() + QPoint(1, 2));
            EXPECT_EQ(t.editor.TextCursor().selectionStart(), t.picture() - 0);
            EXPECT_EQ(t.editor.TextCursor().selectionEnd() - t.editor.TextCursor().selectionStart(), 1);
        }
    }
}

// Catches: an option that is more than one undo step, going back to a
// character that loses the picture's place or leaves a frame behind, a
// framed picture that a click no longer selects.
TEST(QEWPActions, GraphicOptionsUndoAndBack)
{
    Placed t;
    const QString plain = t.text()->toPlainText();
    const int blocks = t.text()->blockCount();
    const int start = t.picture();
    for (const char *action : {"XA_GraphicOpRelToParAuto", "XA_GraphicOptRelToParNoWrap", "XA_GraphicOptRelToPage"}) {
        SCOPED_TRACE(action);
        // One undo step takes the option back whole, and redo brings it again.
        t.select(start);
        t.trigger(action);
        ASSERT_NE(t.frame(), nullptr);
        const QString placed = t.text()->toPlainText();
        t.editor.Undo();
        EXPECT_TRUE(t.text()->rootFrame()->childFrames().isEmpty());
        EXPECT_EQ(t.text()->toPlainText(), plain);
        EXPECT_EQ(t.formatAt(start).intProperty(wpObjPositionMode), int(wpotChar));
        t.editor.Redo();
        EXPECT_EQ(t.text()->rootFrame()->childFrames().size(), 1);
        EXPECT_EQ(t.text()->toPlainText(), placed);
        // A click on the framed picture selects it.
        t.select(0);
        const QTextFrame *f = t.text()->rootFrame()->childFrames().value(0);
        ASSERT_NE(f, nullptr);
        const int framed = f->firstPosition();
        const QRect r = t.editor.PictureRect(framed);
        ASSERT_FALSE(r.isEmpty());
        Click(&t.editor, r.center());
        EXPECT_EQ(t.editor.TextCursor().selectionStart(), framed);
        EXPECT_EQ(t.editor.TextCursor().selectionEnd(), framed + 1);
        t.trigger("XY_GraphicOptAsChar");
    }
    t.trigger("XA_GraphicOptRelToPageWrap");
    t.trigger("XY_GraphicOptAsChar");
    EXPECT_EQ(t.frame(), nullptr);
    EXPECT_TRUE(t.text()->rootFrame()->childFrames().isEmpty());
    EXPECT_EQ(t.picture(), start);
    EXPECT_EQ(t.text()->toPlainText(), plain);
    EXPECT_EQ(t.text()->blockCount(), blocks);
    EXPECT_EQ(t.formatAt(start).intProperty(wpObjPositionMode), int(wpotChar));

    // Back from "as character" in one step.
    t.editor.Undo();
    EXPECT_EQ(t.text()->rootFrame()->childFrames().size(), 1);
}

// Catches: a pasted placed picture that lies in the text as a character,
// deleting or cutting a placed picture leaving its empty frame (blank room
// beside the paragraph) behind.
TEST(QEWPActions, PlacedPicturesCopyDeleteAndCut)
{
    Placed t;
    t.trigger("XA_GraphicOpRelToParAuto");
    const QString placed = t.text()->toPlainText();
    // The picture and the start of its paragraph: a selection leaving the frame.
    QTextCursor part(t.text());
    part.setPosition(t.picture());
    part.setPosition(t.picture() + 8, QTextCursor::KeepAnchor);
    t.editor.SetTextCursor(part);
    t.editor.Copy();
    QTextCursor end(t.text());
    end.movePosition(QTextCursor::End);
    end.insertBlock();
    t.editor.SetTextCursor(end);
    t.editor.Paste();
    const QList<QTextFrame *> frames = t.text()->rootFrame()->childFrames();
    ASSERT_EQ(frames.size(), 2) << "the copy is placed too";
    for (QTextFrame *f : frames) {
        EXPECT_TRUE(IsPictureFrame(f));
        EXPECT_EQ(f->lastPosition() - f->firstPosition(), 1);
        EXPECT_TRUE(t.formatAt(f->firstPosition()).isImageFormat());
    }
    t.select(frames[1]->firstPosition());
    Key(&t.editor, Qt::Key_Delete);
    ASSERT_EQ(t.text()->rootFrame()->childFrames().size(), 1);
    t.select(t.text()->rootFrame()->childFrames()[0]->firstPosition());
    t.editor.Cut();
    EXPECT_TRUE(t.text()->rootFrame()->childFrames().isEmpty());
    QString rest = placed;
    rest.remove(QChar::ObjectReplacementCharacter);
    EXPECT_TRUE(t.text()->toPlainText().startsWith(QStringLiteral("Before.\nStart  word")));
    for (QTextBlock b = t.text()->begin(); b.isValid(); b = b.next())
        EXPECT_FALSE(IsPictureSpacer(b));
}

// Catches: a resized placed picture whose frame keeps the old width (the
// text beside it would not move), a moved one that leaves its frame behind
// or is not placed again at the paragraph it was dropped into.
TEST(QEWPActions, PlacedPicturesResizeAndMove)
{
    Placed t;
    t.trigger("XA_GraphicOpRelToParAuto");
    ASSERT_NE(t.frame(), nullptr);
    const QRect r = t.editor.PictureRect(t.picture());
    Drag(&t.editor, QPoint(r.right() + 1, r.center().y()), QPoint(r.right() + 21, r.center().y()));
    ASSERT_NE(t.frame(), nullptr);
    EXPECT_NEAR(t.frameRect().width(), 60, 1.5);
    EXPECT_GE(t.firstLine().left() + t.paragraph().layout()->lineAt(0).naturalTextRect().left(), t.frameRect().left() + 60);

    // Dropped into "Before.": placed beside that paragraph now.
    const QString plain = t.text()->toPlainText();
    const QRect pic = t.editor.PictureRect(t.picture());
    Drag(&t.editor, pic.center(), t.editor.CursorRect(3).center() + QPoint(1, 0));
    ASSERT_EQ(t.text()->rootFrame()->childFrames().size(), 1);
    ASSERT_NE(t.frame(), nullptr) << "still selected";
    EXPECT_TRUE(t.text()->findBlock(t.frame()->lastPosition() + 1).text().startsWith(QStringLiteral("Before.")));
    EXPECT_TRUE(t.paragraph().text().startsWith(QStringLiteral("Start  word")));
    t.editor.Undo();
    EXPECT_EQ(t.text()->toPlainText(), plain) << "the move is one step";
}

// Catches: print and PDF pages that draw a placed picture as a character
// (the text would start after it on its line) or lose it.
TEST(QEWPActions, GraphicOptionsOnPrintedPages)
{
    Placed t;
    t.trigger("XA_GraphicOpRelToParAuto");
    ASSERT_NE(t.frame(), nullptr);
    const QImage page = TWPPagePainter(t.editor.Document()).RenderPage(0);
    // The red picture, and dark text pixels beside it on its rows.
    QRect red;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
                red |= QRect(x, y, 1, 1);
        }
    ASSERT_FALSE(red.isEmpty());
    EXPECT_NEAR(red.width(), 40, 2);
    int beside = 0;
    for (int y = red.top(); y <= red.bottom(); ++y)
        for (int x = red.right() + 1; x < red.right() + 200 && x < page.width(); ++x)
            beside += page.pixelColor(x, y).lightness() < 100;
    EXPECT_GT(beside, 20) << "the text flows beside the picture";
    int left = 0;
    for (int y = red.top(); y <= red.bottom(); ++y)
        for (int x = 0; x < red.left(); ++x)
            left += page.pixelColor(x, y).lightness() < 100;
    EXPECT_EQ(left, 0) << "nothing left of a left float";

    // Under the text: the picture is there, with the text drawn over it.
    t.trigger("XA_GraphicUnderText");
    const QImage under = TWPPagePainter(t.editor.Document()).RenderPage(0);
    int red2 = 0, over = 0;
    for (int y = 0; y < under.height(); ++y)
        for (int x = 0; x < under.width(); ++x) {
            const QColor c = under.pixelColor(x, y);
            red2 += c.red() > 200 && c.green() < 60 && c.blue() < 60;
            over += c.red() > 60 && c.red() < 200 && c.green() < 40 && c.blue() < 40; // text edges blended into red
        }
    EXPECT_GT(red2, 1000);
    EXPECT_GT(over, 0) << "text drawn over the picture";
}

// Catches: options 0 and 8 changing the picture; the wrong position or wrap
// mode per option; the update handler's checks and the under-text rule.
TEST(QEWPActions, GraphicOptions)
{
    Module t;
    t.m.ApplyGraphicOptionsByNum(2); // nothing selected: nothing to do
    t.selectPicture();
    const QTextCharFormat before = t.formatAt(0);
    const int steps = t.editor.Document().Text()->availableUndoSteps();
    t.m.ApplyGraphicOptionsByNum(0);
    t.m.ApplyGraphicOptionsByNum(8);
    EXPECT_EQ(t.formatAt(0), before);
    EXPECT_EQ(t.editor.Document().Text()->availableUndoSteps(), steps);

    struct Row
    {
        const char *action;
        int position, wrap;
    };
    const Row rows[] = {{"XA_GraphicOpRelToParAuto", wpotPar, wpwrAutomatic},
                        {"XA_GraphicOpRelToParBoth", wpotPar, wpwrBoth},
                        {"XA_GraphicOptRelToPage", wpotPage, wpwrNone},
                        {"XA_GraphicOptRelToPageWrap", wpotPage, wpwrBoth},
                        {"XA_GraphicOptRelToParNoWrap", wpotPar, wpwrNone}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.action);
        t.trigger(row.action);
        const int at = t.editor.TextCursor().selectionStart();
        EXPECT_EQ(t.formatAt(at).intProperty(wpObjPositionMode), row.position);
        EXPECT_EQ(t.formatAt(at).intProperty(wpObjWrapMode), row.wrap);
        t.m.UpdateActions();
        for (const Row &other : rows)
            EXPECT_EQ(t.a(other.action)->isChecked(), &other == &row) << other.action;
        EXPECT_FALSE(t.a("XY_GraphicOptAsChar")->isChecked());
        EXPECT_TRUE(t.a("XA_GraphicUnderText")->isEnabled());
    }
    t.trigger("XA_GraphicUnderText");
    EXPECT_TRUE(t.formatAt(t.editor.TextCursor().selectionStart()).boolProperty(wpObjUnderText));
    EXPECT_TRUE(t.a("XA_GraphicUnderText")->isChecked());
    t.trigger("XY_GraphicOptAsChar");
    EXPECT_EQ(t.formatAt(t.editor.TextCursor().selectionStart()).intProperty(wpObjPositionMode), int(wpotChar));
    EXPECT_TRUE(t.a("XY_GraphicOptAsChar")->isChecked());
    EXPECT_FALSE(t.a("XA_GraphicUnderText")->isEnabled()) << "only for placed pictures";

    QTextCursor none = t.editor.TextCursor();
    none.clearSelection();
    t.editor.SetTextCursor(none);
    t.m.UpdateActions();
    EXPECT_FALSE(t.a("XY_GraphicOptAsChar")->isEnabled());
}

// Catches: the margin check off by one at its 50-pixel boundary, the wrong
// message, a file written although the check failed.
TEST(QEWPActions, PdfMarginCheck)
{
    Module t;
    // At 80 pixels per inch A4 (595 x 842 pt) is 661 x 936 pixels and a
    // margin of n mm is n * 400 / 127 pixels, rounded: 75 -> 236, 119 -> 375
    // (50 left), 77 -> 243, 117 -> 369 (49 left); 244 -> 769, 37 -> 117 (50
    // left), 40 -> 126.
    t.m.ScreenPixelsPerInch = 80;
    t.editor.InputString(QStringLiteral("Hello PDF"));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    EXPECT_FALSE(t.m.ExportToPDF(&t.editor, file, 77, 10, 117, 10, poPagePortrait, psA4, {}, {}, {}, {}, false));
    EXPECT_EQ(t.errors, QStringList{QStringLiteral("Horizontal margins are too large")});
    EXPECT_FALSE(QFile::exists(file));
    t.errors.clear();
    ASSERT_TRUE(t.m.ExportToPDF(&t.editor, file, 75, 244, 119, 37, poPagePortrait, psA4,
                                QStringLiteral("T"), QStringLiteral("A"), {}, {}, false))
        << t.errors.join(u',').toStdString();
    EXPECT_TRUE(t.errors.isEmpty());
    QFile pdf(file);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF"));
    pdf.close();
    QFile::remove(file);
    EXPECT_FALSE(t.m.ExportToPDF(&t.editor, file, 10, 244, 10, 40, poPagePortrait, psA4, {}, {}, {}, {}, false));
    EXPECT_EQ(t.errors, QStringList{QStringLiteral("Vertical margins are too large")});
    EXPECT_FALSE(QFile::exists(file));
}

// Catches: the options dialog's values not read back on OK, a file written
// after Cancel; the preview not opened for the editor asked for.
TEST(QEWPActions, PdfOptionsDialogAndPreview)
{
    Module t;
    t.m.ScreenPixelsPerInch = 80;
    t.editor.InputString(QStringLiteral("Hello"));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    QTimer::singleShot(0, [] {
        if (auto *dlg = qobject_cast<TfrmRTFPDFOptions *>(QApplication::activeModalWidget()))
            dlg->reject();
    });
    EXPECT_FALSE(t.m.ExportToPDF(&t.editor, file, 10, 10, 10, 10, poPagePortrait, psA4, {}, {}, {}, {}, true));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(t.errors.isEmpty());

    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        auto *dlg = qobject_cast<TfrmRTFPDFOptions *>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        shown = dlg->LeftMargin() == 10;
        dlg->SetLeftMargin(77); // with 117 on the right: 49 pixels left
        dlg->SetRightMargin(117);
        dlg->accept();
    });
    EXPECT_FALSE(t.m.ExportToPDF(&t.editor, file, 10, 10, 10, 10, poPagePortrait, psA4, {}, {}, {}, {}, true));
    EXPECT_TRUE(shown);
    EXPECT_EQ(t.errors, QStringList{QStringLiteral("Horizontal margins are too large")});

    TWPCustomRtfEdit *previewed = nullptr;
    QTimer::singleShot(0, [&] {
        if (TQEWPPreviewForm *form = t.m.WPPreviewDlg1()->Form()) {
            previewed = form->Source();
            form->close();
        }
    });
    t.trigger("XA_DiaPreview");
    EXPECT_EQ(previewed, &t.editor.Edit());
    EXPECT_TRUE(t.m.WPPreviewDlg1()->Modal());
}

// Catches: language names mapped case-sensitively or unknown names kept;
// the engine's strings not loaded (or the additions not appended); the
// module's own captions not following the language component.
TEST(QEWPActions, LoadLanguage)
{
    EXPECT_EQ(TdmQEWPActions::LanguageCode(QStringLiteral("italian")), QStringLiteral("IT"));
    EXPECT_EQ(TdmQEWPActions::LanguageCode(QStringLiteral("GERMAN")), QStringLiteral("DE"));
    EXPECT_EQ(TdmQEWPActions::LanguageCode(QStringLiteral("francais")), QStringLiteral("FR"));
    EXPECT_EQ(TdmQEWPActions::LanguageCode(QStringLiteral("Deutsch")), QStringLiteral("EN"));
    for (const char *name : {"WPTOOLS_DE_XML", "WPTOOLS_DE_ADDED_XML", "WPTOOLS_EN_XML", "WPTOOLS_EN_ADDED_XML",
                             "WPTOOLS_FR_XML", "WPTOOLS_IT_XML", "WPTOOLS_IT_ADDED_XML"})
        EXPECT_FALSE(WPLanguageResource(QString::fromLatin1(name).toLower()).isEmpty()) << name;
    EXPECT_TRUE(WPLanguageResource(QStringLiteral("WPTOOLS_FR_ADDED_XML")).isEmpty());

    Module t;
    t.m.LoadLanguage(QStringLiteral("italian"));
    EXPECT_EQ(WPGlobalLanguage(), QStringLiteral("IT"));
    EXPECT_EQ(t.a("WPABold1")->text(), QStringLiteral("Grassetto"));
    EXPECT_EQ(t.m.LanguageControl()->GetString(111), QStringLiteral("(Automatico)")) << "additions appended";
    EXPECT_EQ(t.m.LanguageControl()->GetString(98), QStringLiteral("Inserisci campo"));
    EXPECT_EQ(t.m.siLang()->Language(), QStringLiteral("Italian"));

    t.m.LoadLanguage(QStringLiteral("Deutsch"));
    EXPECT_EQ(WPGlobalLanguage(), QStringLiteral("EN"));
    EXPECT_EQ(t.a("WPABold1")->text(), QStringLiteral("Bold"));
    EXPECT_EQ(t.m.siLang()->Language(), QStringLiteral("Italian")) << "an unknown name leaves the component";

    t.m.LoadLanguage(QStringLiteral("English"));
    EXPECT_EQ(t.a("XA_SaveAs")->text(), QStringLiteral("Save As ..."));
    EXPECT_EQ(t.m.siLang()->GetText(QStringLiteral("IDS_GraphicOptions")), QStringLiteral("Graphic Options"));
    t.m.LoadLanguage(QStringLiteral("German"));
    EXPECT_EQ(t.a("XA_SaveAs")->text(), QStringLiteral("Speichern unter..."));
    EXPECT_EQ(t.a("WPABold1")->text(), QStringLiteral("Fett"));
    EXPECT_EQ(t.a("WPADeleteText1")->text(), QStringLiteral("Text löschen"));
}

// Catches: a damaged or foreign table replacing the strings held; an
// appended table dropping what was there; captions applied by another name.
TEST(QEWPActions, LanguageControlTables)
{
    TWPLanguageControl control;
    ASSERT_TRUE(control.LoadFromXml(R"(<wptools language="DE"><action name="WPABold1" caption="Fett" hint="Fett machen"/>)"
                                    R"(<string id="98">Feld</string></wptools>)"));
    EXPECT_FALSE(control.LoadFromXml("<wptools language=\"XX\"><string id=\"98\">broken"));
    EXPECT_FALSE(control.LoadFromXml("<other/>"));
    EXPECT_FALSE(control.LoadFromXml(QByteArray()));
    EXPECT_EQ(control.Language(), QStringLiteral("DE"));
    EXPECT_EQ(control.GetString(98), QStringLiteral("Feld"));
    ASSERT_TRUE(control.LoadFromXml(R"(<wptools><string id="99">Name</string><string id="x">y</string></wptools>)", true));
    EXPECT_EQ(control.GetString(98), QStringLiteral("Feld"));
    EXPECT_EQ(control.GetString(99), QStringLiteral("Name"));
    EXPECT_EQ(control.GetString(100, QStringLiteral("default")), QStringLiteral("default"));
    EXPECT_EQ(control.Language(), QStringLiteral("DE"));

    QAction bold, italic;
    bold.setObjectName(QStringLiteral("wpabold1"));
    italic.setObjectName(QStringLiteral("WPAItalic1"));
    italic.setText(QStringLiteral("Kursiv"));
    control.ApplyToActions({&bold, &italic});
    EXPECT_EQ(bold.text(), QStringLiteral("Fett"));
    EXPECT_EQ(bold.toolTip(), QStringLiteral("Fett machen"));
    EXPECT_EQ(italic.text(), QStringLiteral("Kursiv"));
}

// Catches: spell-as-you-go toggled twice per trigger (no net change), not
// attached to the editor's text or not stopped; settings not kept under the
// controller's key; check-now not selecting the misspelt word.
TEST(QEWPActions, SpellCommands)
{
    Module t;
    EXPECT_EQ(t.m.WPSpellController1()->RegistryKey(), QStringLiteral("Software\\Quenlor\\WPSpell"));
    EXPECT_EQ(t.m.WPSpellController1()->CurrentLanguage(), 1031);
    EXPECT_TRUE(t.m.WPSpellController1()->Active());
    QAction *asYouGo = t.a("XA_SpellAsYouGo");
    EXPECT_FALSE(asYouGo->isChecked());
    t.trigger("XA_SpellAsYouGo");
    EXPECT_TRUE(asYouGo->isChecked());
    EXPECT_TRUE(t.a("WPASpellAsYouGo1")->isChecked()) << "both show the state";
    auto *marker = t.editor.findChild<TWPSpellAsYouGo *>();
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker->Document(), t.editor.Document().Text());
    t.trigger("WPASpellAsYouGo1");
    EXPECT_FALSE(asYouGo->isChecked());
    EXPECT_EQ(t.editor.findChild<TWPSpellAsYouGo *>(), nullptr);

    // The controller's settings live in the registry: a new module reads them.
    t.m.WPSpellController1()->SetCurrentLanguage(1033);
    {
        TdmQEWPActions second;
        EXPECT_EQ(second.WPSpellController1()->CurrentLanguage(), 1033);
    }
    t.m.WPSpellController1()->SetCurrentLanguage(1031);

    if (!t.m.WPSpellController1()->LanguageAvailable(1031))
        GTEST_SKIP() << "no German dictionary installed";
    t.editor.InputString(QStringLiteral("Das Haus ist schoen"));
    QTextCursor c = t.editor.TextCursor();
    c.setPosition(0);
    t.editor.SetTextCursor(c);
    // The check dialog shows the word and selects it in the editor.
    auto *check = qobject_cast<TWPFormDialog *>(t.m.Dialog(QStringLiteral("TWPSpellCheckDlg")));
    ASSERT_NE(check, nullptr);
    QString shown;
    check->OnShow = [&shown](QDialog &form) {
        shown = form.findChild<QLabel *>(QStringLiteral("lblWord"))->text();
        form.reject();
    };
    t.trigger("XA_SpellCheck");
    EXPECT_EQ(shown, QStringLiteral("schoen"));
    EXPECT_EQ(t.editor.TextCursor().selectedText(), QStringLiteral("schoen"));
}

// Catches: shipped dictionaries not copied to the user's folder, copied
// over the user's own copy, or loaded twice.
TEST(QEWPActions, DefaultDictionaries)
{
    const QString source = QCoreApplication::applicationDirPath() + QStringLiteral("/custom/dictionaries");
    ASSERT_TRUE(QDir().mkpath(source));
    QFile dct(source + QStringLiteral("/ZorTestWords.DCT"));
    ASSERT_TRUE(dct.open(QIODevice::WriteOnly));
    dct.write("#language 1031\nAnamnese\n");
    dct.close();
    const QString target = RoamingAppDataPath() + QStringLiteral("/Quenlor/LocalSettings/WPSpell/");
    QFile::remove(target + QStringLiteral("ZorTestWords.DCT"));

    TdmQEWPActions m;
    EXPECT_TRUE(QFile::exists(target + QStringLiteral("ZorTestWords.DCT")));
    EXPECT_EQ(QDir::cleanPath(m.WPSpellController1()->InitialDir()), QDir::cleanPath(target));
    const int index = m.GetDCTIndexByFileName(QStringLiteral("zortestwords.dct"));
    EXPECT_GE(index, 0);
    const int count = m.WPSpellController1()->DictionaryCount();
    m.LoadDefaultDictionaries();
    EXPECT_EQ(m.WPSpellController1()->DictionaryCount(), count);
    EXPECT_EQ(m.GetDCTIndexByFileName(QStringLiteral("missing.dct")), -1);
    QFile::remove(dct.fileName());
}

// Catches: the disabled commands enabled; New clearing a read-only editor; the character format cleared
// only at the caret; select-table selecting one cell.
TEST(QEWPActions, NewClearAndSelectTable)
{
    Module t;
    // Commands the editor has nothing for stay off; those merely without a
    // handler of their own are on.
    for (const char *off : {"XA_Col_Off", "XA_Col_2", "XA_Col_3", "XA_Col_4", "XA_InsColumnBreak", "XA_InsertTextBox"})
        EXPECT_FALSE(t.a(off)->isEnabled()) << off;
    EXPECT_TRUE(t.a("XA_CloseFile")->isEnabled());
    EXPECT_TRUE(t.a("XA_CreateReport")->isEnabled());
    t.editor.InputString(QStringLiteral("abc"));
    t.editor.SelectAll();
    QTextCursor c = t.editor.TextCursor();
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontItalic(true);
    c.mergeCharFormat(bold);
    t.trigger("XA_DelCharFormat");
    EXPECT_FALSE(t.formatAt(0).fontWeight() >= QFont::Bold);
    EXPECT_FALSE(t.formatAt(2).fontItalic());

    c = t.editor.TextCursor();
    c.movePosition(QTextCursor::End);
    QTextTable *table = c.insertTable(2, 2);
    t.editor.SetTextCursor(table->cellAt(1, 1).firstCursorPosition());
    t.trigger("XA_SelectTable");
    int row, rows, col, cols;
    t.editor.TextCursor().selectedTableCells(&row, &rows, &col, &cols);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(cols, 2);

    t.editor.SetReadOnly(true);
    t.trigger("XA_New");
    EXPECT_EQ(t.editor.PlainText().left(3), QStringLiteral("abc"));
    t.editor.SetReadOnly(false);
    t.trigger("XA_New");
    EXPECT_EQ(t.editor.PlainText(), QString());
}

// Catches: page navigation that does not move to the next page's text or
// stays enabled on the last page.
TEST(QEWPActions, PageNavigation)
{
    Module t;
    t.editor.resize(600, 400);
    QTextCursor c = t.editor.TextCursor();
    for (int i = 0; i < 120; ++i) {
        c.insertText(QStringLiteral("Line %1").arg(i));
        c.insertBlock();
    }
    c.movePosition(QTextCursor::Start);
    t.editor.SetTextCursor(c);
    t.trigger("XA_ViewPageLayout");
    ASSERT_GT(t.editor.PageCount(), 1);
    t.m.UpdateActions();
    EXPECT_FALSE(t.a("WPAPriorPage1")->isEnabled());
    ASSERT_TRUE(t.a("WPANextPage1")->isEnabled());
    const int before = t.editor.TextCursor().position();
    t.trigger("WPANextPage1");
    EXPECT_GT(t.editor.TextCursor().position(), before);
    t.m.UpdateActions();
    EXPECT_TRUE(t.a("WPAPriorPage1")->isEnabled());
    t.trigger("WPAPriorPage1");
    EXPECT_EQ(t.editor.TextCursor().position(), before);
}

// Catches: band and group tokens (':' '#') or empty ones converted, the
// token text left beside the field, the conversion taking several undos.
TEST(QEWPActions, ConvertTokens)
{
    Module t;
    t.editor.InputString(QStringLiteral("Dear <<Name>>, <<#Items>> <<Sum:0.00>> <<>> <<City>>"));
    t.editor.SetModified(false);
    t.trigger("XA_ConvertTokens");
    const QString obj(QChar::ObjectReplacementCharacter);
    EXPECT_EQ(t.editor.PlainText(), QStringLiteral("Dear %1, <<#Items>> <<Sum:0.00>> <<>> %1").arg(obj));
    EXPECT_EQ(t.formatAt(5).intProperty(wpFieldKind), int(TWPFieldKind::Merge));
    EXPECT_EQ(t.formatAt(5).stringProperty(wpFieldName), QStringLiteral("Name"));
    const int city = t.editor.PlainText().lastIndexOf(obj);
    EXPECT_EQ(t.formatAt(city).stringProperty(wpFieldName), QStringLiteral("City"));
    EXPECT_TRUE(t.editor.Modified());
    t.editor.Undo();
    EXPECT_EQ(t.editor.PlainText(), QStringLiteral("Dear <<Name>>, <<#Items>> <<Sum:0.00>> <<>> <<City>>"));
}

// Catches: split-table losing rows, leaving one table, or not undoing as one step.
TEST(QEWPActions, SplitTable)
{
    Module t;
    QTextCursor c = t.editor.TextCursor();
    QTextTable *table = c.insertTable(4, 2);
    for (int r = 0; r < 4; ++r)
        table->cellAt(r, 0).firstCursorPosition().insertText(QString::number(r));
    t.editor.SetTextCursor(table->cellAt(2, 1).firstCursorPosition());
    t.trigger("XA_SplitTable");
    QList<QTextTable *> tables;
    for (QTextFrame *f : t.editor.Document().Text()->rootFrame()->childFrames())
        if (auto *tt = qobject_cast<QTextTable *>(f))
            tables << tt;
    ASSERT_EQ(tables.size(), 2);
    EXPECT_EQ(tables[0]->rows(), 2);
    EXPECT_EQ(tables[1]->rows(), 2);
    EXPECT_EQ(tables[1]->cellAt(0, 0).firstCursorPosition().block().text(), QStringLiteral("2"));
    EXPECT_EQ(tables[1]->cellAt(1, 0).firstCursorPosition().block().text(), QStringLiteral("3"));
    t.editor.Undo();
    tables.clear();
    for (QTextFrame *f : t.editor.Document().Text()->rootFrame()->childFrames())
        if (auto *tt = qobject_cast<QTextTable *>(f))
            tables << tt;
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(tables[0]->rows(), 4) << "one undo step";
}

// A session as a user has it: an editor registered with the shared actions,
// text typed, made bold through the action's key (Ctrl+B),
// the RTF written with \b, and one Undo taking the bold back.
// Catches: the action not reaching the registered editor, the format not
// written, the edit split into several undo steps.
TEST(QEWPActions, UserSession)
{
    QWidget form;
    auto *editor = new TWPRichText(&form);
    form.resize(400, 300);
    form.show();
    form.activateWindow();
    editor->setFocus();
    QApplication::processEvents();
    GlobalRegisterEditBox(editor);
    TdmQEWPActions *m = GlobalWPDefaultActions()->Actions();
    Type(editor, QStringLiteral("Hello world"));
    ASSERT_EQ(editor->PlainText(), QStringLiteral("Hello world"));
    QAction *bold = m->Action(QStringLiteral("WPABold1"));
    EXPECT_FALSE(bold->isChecked());
    m->Action(QStringLiteral("WPASellAll1"))->trigger();
    ASSERT_TRUE(bold->isEnabled());
    // The action's key, pressed in the editor, as the user does.
    QTest::keyClick(editor, Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(bold->isChecked());
    const QByteArray rtf = editor->Edit().SaveToBytes(QStringLiteral("RTF"));
    const QRegularExpression boldWord(QStringLiteral("\\\\b(?![a-z])"));
    EXPECT_TRUE(QString::fromLatin1(rtf).contains(boldWord)) << rtf.constData();
    EXPECT_TRUE(editor->CanUndo());
    m->Action(QStringLiteral("WPAUndo1"))->trigger();
    EXPECT_FALSE(bold->isChecked());
    EXPECT_EQ(editor->PlainText(), QStringLiteral("Hello world")) << "the typing stays";
    EXPECT_FALSE(QString::fromLatin1(editor->Edit().SaveToBytes(QStringLiteral("RTF"))).contains(boldWord));
    GlobalUnRegisterEditBox(editor);
}
