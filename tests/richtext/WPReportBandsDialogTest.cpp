// The report band dialog beside an editor: bands added and deleted at the
// caret, fields through the before-insert handler or as merge fields, the
// form's own buttons, and the frame that opens and closes it.
#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/actions/WPDefaultActions.h>
#include <ZorCompCore/richtext/actions/WPLanguageControl.h>
#include <ZorCompCore/richtext/dialogs/WPReportBandsDialog.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/engine/SuperMerge.h>
#include <ZorCompCore/richtext/frame/frmQEWPRichText.h>
#include <ZorCompCore/richtext/dWPRichText.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextBlock>

#include <gtest/gtest.h>

using namespace zor;

namespace {

struct Template
{
    TWPRichText editor;
    TWPSuperMerge merge;
    TWPReportBandsDialog dlg;
    Template()
    {
        editor.Edit().LoadFromBytes("{\\rtf1\\ansi Title\\par Row\\par {\\protect Locked}\\par}", QStringLiteral("RTF"));
        merge.SetSourceDest(&editor.Document());
        merge.SetDataBases(QStringLiteral("Orders,Customers"));
        dlg.SetEditBox(&editor);
        dlg.SetSuperMerge(&merge);
    }
    void caretAt(const QString &text) { editor.SetTextCursor(editor.Document().Text()->find(text)); }
    template <class W> W *widget(const char *name) { return dlg.Form()->findChild<W *>(QString::fromLatin1(name)); }
};

} // namespace

// Catches: bands marked elsewhere than the caret's paragraph, protected
// paragraphs marked, a delete that leaves the mark, the list not following
// the template, the data bases not offered.
TEST(WPReportBandsDialog, BandsAtTheCaret)
{
    Template t;
    TWPReportBandsDialog bare;
    EXPECT_FALSE(bare.Execute()) << "no editor, no template";
    ASSERT_TRUE(t.dlg.Execute());
    ASSERT_NE(t.dlg.Form(), nullptr);
    EXPECT_TRUE(t.dlg.Form()->isVisible()) << "shown beside the editor";
    EXPECT_EQ(t.widget<QComboBox>("cbxDataBase")->count(), 2);

    t.caretAt(QStringLiteral("Row"));
    t.widget<QComboBox>("cbxKind")->setCurrentIndex(int(TWPBandKind::Data) - 1);
    t.widget<QLineEdit>("edName")->setText(QStringLiteral("Rows"));
    t.widget<QComboBox>("cbxDataBase")->setCurrentText(QStringLiteral("Orders"));
    t.widget<QPushButton>("btnAdd")->click();
    ASSERT_EQ(t.merge.Bands().size(), 1);
    EXPECT_EQ(t.merge.Bands()[0].Position, t.editor.Document().Text()->find(QStringLiteral("Row")).block().position());
    EXPECT_EQ(t.merge.Bands()[0].DataBase, QStringLiteral("Orders"));
    EXPECT_EQ(t.widget<QListWidget>("lstBands")->count(), 1);
    EXPECT_EQ(t.widget<QListWidget>("lstBands")->item(0)->text(), QStringLiteral("Data: Rows (Orders)"));

    t.caretAt(QStringLiteral("Locked"));
    EXPECT_FALSE(t.dlg.AddBand(int(TWPBandKind::Footer), QStringLiteral("Sum"), {}));
    EXPECT_EQ(t.merge.Bands().size(), 1);

    t.widget<QListWidget>("lstBands")->setCurrentRow(0);
    t.widget<QPushButton>("btnDelete")->click();
    EXPECT_TRUE(t.merge.Bands().isEmpty());
    EXPECT_EQ(t.widget<QListWidget>("lstBands")->count(), 0);

    t.dlg.ShowAddDeleteButtons = false;
    t.dlg.ShowFormulas = false;
    t.dlg.Execute();
    EXPECT_FALSE(t.widget<QPushButton>("btnAdd")->isVisible());
    EXPECT_FALSE(t.widget<QLineEdit>("edFormula")->isVisible());
    EXPECT_TRUE(t.widget<QComboBox>("cbxField")->isVisible());
}

// Catches: the before-insert handler not asked (or asked and then a field
// inserted anyway), a field going in without one, formulas not prefixed,
// protected text accepted.
TEST(WPReportBandsDialog, FieldsAndFormulas)
{
    Template t;
    ASSERT_TRUE(t.dlg.Execute());
    t.caretAt(QStringLiteral("Title"));
    QTextCursor end = t.editor.TextCursor();
    end.clearSelection();
    t.editor.SetTextCursor(end);
    QStringList asked;
    t.dlg.OnBeforeInsertField = [&asked](QObject *, TWPRichText *editor, const QString &name, QObject *, bool &handled) {
        asked << name;
        handled = name.startsWith(u"DB=");
        if (handled)
            editor->InputString(u"<<"_qs + name.mid(3) + u">>"_qs);
    };
    t.widget<QComboBox>("cbxField")->setCurrentText(QStringLiteral("DB=Name"));
    t.widget<QPushButton>("btnInsertField")->click();
    EXPECT_TRUE(t.editor.PlainText().startsWith(QStringLiteral("Title<<Name>>")));
    EXPECT_TRUE(t.merge.MergeFieldNames().isEmpty()) << "the handler did it";

    t.widget<QLineEdit>("edFormula")->setText(QStringLiteral("SUM(Amount)"));
    t.widget<QPushButton>("btnInsertFormula")->click();
    EXPECT_EQ(asked.last(), QStringLiteral("FORMULA=SUM(Amount)"));
    EXPECT_EQ(t.merge.MergeFieldNames(), QStringList{QStringLiteral("FORMULA=SUM(Amount)")});
    EXPECT_EQ(t.widget<QComboBox>("cbxField")->findText(QStringLiteral("FORMULA=SUM(Amount)")), 0)
        << "the field list follows the template";

    t.caretAt(QStringLiteral("Locked"));
    t.dlg.OnBeforeInsertField = nullptr;
    EXPECT_FALSE(t.dlg.InsertField(QStringLiteral("Other")));
    EXPECT_EQ(t.merge.MergeFieldNames().size(), 1);
}

// Catches: the Band action not opening the dialog on the frame's template,
// the module's "<<name>>" typing not used, the dialog staying after its
// frame closed.
TEST(WPReportBandsDialog, TheFrameOpensAndClosesIt)
{
    TfrmQEWPRichText frame;
    TWPSuperMerge merge;
    merge.SetDataBases(QStringLiteral("Orders"));
    frame.SetSuperMerge(&merge);
    frame.SetRTFText(QStringLiteral("{\\rtf1\\ansi Body\\par}"));
    frame.show();
    QApplication::processEvents(); // the posted request opens the dialog
    auto *dlg = qobject_cast<TWPReportBandsDialog *>(
        GlobalWPDefaultActions()->Actions()->Dialog(QStringLiteral("TWPReportBandsDialog")));
    ASSERT_NE(dlg, nullptr);
    ASSERT_NE(dlg->Form(), nullptr);
    EXPECT_TRUE(dlg->Form()->isVisible());
    EXPECT_EQ(dlg->SuperMerge(), &merge);
    EXPECT_EQ(dlg->EditBox(), static_cast<TWPRichText *>(frame.WPRichText1()));
    dlg->InsertField(QStringLiteral("Orders=Amount"));
    EXPECT_TRUE(frame.PlainText().contains(QStringLiteral("<<Amount>>")));
    frame.SetModified(false);
    frame.close();
    EXPECT_FALSE(dlg->Form()->isVisible());
}

// Catches: band kinds left in English under a German language table, the
// band list naming kinds in another language than the kind list.
TEST(WPReportBandsDialog, KindNamesFollowTheLanguage)
{
    Template t;
    TWPLanguageControl german;
    ASSERT_TRUE(german.LoadFromXml(WPLanguageResource(QStringLiteral("WPTOOLS_DE_XML"))));
    t.dlg.OnShow = [&german](QDialog &form) { german.ApplyToForm(&form); };
    t.caretAt(QStringLiteral("Row"));
    ASSERT_TRUE(t.dlg.Execute());
    auto *kinds = t.widget<QComboBox>("cbxKind");
    ASSERT_EQ(kinds->count(), 5);
    EXPECT_EQ(kinds->itemText(0), QStringLiteral("Kopfbereich"));
    EXPECT_EQ(kinds->itemText(4), QStringLiteral("Gruppenfuß"));
    EXPECT_EQ(kinds->itemData(1).toInt(), int(TWPBandKind::Data)) << "entries renamed, not reordered";
    ASSERT_TRUE(t.dlg.AddBand(int(TWPBandKind::Data), QStringLiteral("Lines"), QStringLiteral("Orders")));
    ASSERT_EQ(t.widget<QListWidget>("lstBands")->count(), 1);
    EXPECT_EQ(t.widget<QListWidget>("lstBands")->item(0)->text(), QStringLiteral("Datenbereich: Lines (Orders)"));

    Template english;
    ASSERT_TRUE(english.dlg.Execute());
    EXPECT_EQ(english.widget<QComboBox>("cbxKind")->itemText(0), QStringLiteral("Header"));
}
