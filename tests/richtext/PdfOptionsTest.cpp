#include <ZorCompCore/localisation/ZORLang.h>
#include <ZorCompCore/richtext/frmRTFPDFOptions.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace zor;

namespace {

QString caption(const TfrmRTFPDFOptions &form, const QString &name)
{
    const QObject *o = form.findChild<QObject *>(name);
    if (!o)
        return u"<no %1>"_qs.arg(name);
    if (auto *g = qobject_cast<const QGroupBox *>(o))
        return g->title();
    if (auto *l = qobject_cast<const QLabel *>(o))
        return l->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(o))
        return b->text();
    return {};
}

} // namespace

// The list's index is the size: a list out of step with TPDFPageSize would
// export every page at the neighbouring size.
TEST(PdfOptions, PageSizeListIsInTheSizesOrder)
{
    TfrmRTFPDFOptions form;
    auto *list = form.findChild<QComboBox *>(u"cbxPageSize"_qs);
    ASSERT_NE(list, nullptr);
    const QStringList expected = {u"Letter"_qs, u"A4"_qs, u"A3"_qs, u"Legal"_qs, u"B5"_qs, u"C5"_qs,
                                  u"8x11"_qs, u"B4"_qs, u"A5"_qs, u"Folio"_qs, u"Executive"_qs,
                                  u"Envelope B4"_qs, u"Envelope B5"_qs, u"Envelope C6"_qs,
                                  u"Envelope DL"_qs, u"Envelope Monarch"_qs, u"Envelope #9"_qs,
                                  u"Envelope #10"_qs, u"Envelope #11"_qs};
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->itemText(i);
    EXPECT_EQ(shown, expected);

    form.SetPageSize(psA4);
    EXPECT_EQ(list->currentText(), u"A4"_qs);
    list->setCurrentIndex(list->findText(u"A4"_qs));
    EXPECT_EQ(form.PageSize(), psA4);
    list->setCurrentIndex(list->findText(u"Envelope #11"_qs));
    EXPECT_EQ(form.PageSize(), psEnv11);
    form.SetPageSize(psC5);
    EXPECT_EQ(list->currentText(), u"C5"_qs);
    form.SetPageSize(TPDFPageSize(99));   // out of range: ignored
    EXPECT_EQ(form.PageSize(), psC5);
    // The sizes the two odd entries stand for.
    EXPECT_EQ(PDFPageSizeToQPageSize(psC5).id(), QPageSize::C5E);
    EXPECT_EQ(PDFPageSizeToQPageSize(ps8x11).size(QPageSize::Inch), QSizeF(8, 11));
}

TEST(PdfOptions, MarginsReadAsNumbersAndZeroWhenNone)
{
    TfrmRTFPDFOptions form;
    EXPECT_EQ(form.LeftMargin(), 20);
    EXPECT_EQ(form.TopMargin(), 20);
    EXPECT_EQ(form.RightMargin(), 20);
    EXPECT_EQ(form.BottomMargin(), 20);
    struct Row {
        const char *name;
        QString text;
        int value;
    } rows[] = {
        {"a number", u"15"_qs, 15},
        {"blanks around it", u" 7 "_qs, 7},
        {"negative", u"-3"_qs, -3},
        {"letters", u"abc"_qs, 0},
        {"a number with a unit", u"12mm"_qs, 0},
        {"empty", QString(), 0},
        {"beyond int", u"99999999999"_qs, 0},
    };
    auto *edit = form.findChild<QLineEdit *>(u"edtBottom"_qs);
    ASSERT_NE(edit, nullptr);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        edit->setText(row.text);
        EXPECT_EQ(form.BottomMargin(), row.value);
    }
    form.SetLeftMargin(-5);
    form.SetTopMargin(0);
    form.SetRightMargin(1234);
    EXPECT_EQ(form.findChild<QLineEdit *>(u"edtLeft"_qs)->text(), u"-5"_qs);
    EXPECT_EQ(form.findChild<QLineEdit *>(u"edtTop"_qs)->text(), u"0"_qs);
    EXPECT_EQ(form.findChild<QLineEdit *>(u"edtRight"_qs)->text(), u"1234"_qs);
}

TEST(PdfOptions, LandscapeExactlyWhenItsButtonIsChecked)
{
    TfrmRTFPDFOptions form;
    auto *portrait = form.findChild<QRadioButton *>(u"rbPortrait"_qs);
    auto *landscape = form.findChild<QRadioButton *>(u"rbLandscape"_qs);
    EXPECT_EQ(form.PageOrientation(), poPagePortrait);
    form.SetPageOrientation(poPageLandscape);
    EXPECT_TRUE(landscape->isChecked());
    EXPECT_EQ(form.PageOrientation(), poPageLandscape);
    form.SetPageOrientation(TPDFPageOrientation(7));   // anything else is portrait
    EXPECT_TRUE(portrait->isChecked());
    EXPECT_EQ(form.PageOrientation(), poPagePortrait);
    landscape->click();
    EXPECT_EQ(form.PageOrientation(), poPageLandscape);
}

TEST(PdfOptions, InformationAndButtons)
{
    TfrmRTFPDFOptions form;
    form.SetTitle(u"Bericht"_qs);
    form.SetAuthor(u"Zoë"_qs);
    form.SetSubject(u"Quartal"_qs);
    form.SetKeywords(u"a, b"_qs);
    // Each getter reads its own edit (two swapped would pass a getter-only test).
    EXPECT_EQ(form.findChild<QLineEdit *>(u"edtTitle"_qs)->text(), u"Bericht"_qs);
    EXPECT_EQ(form.findChild<QLineEdit *>(u"edtAuthor"_qs)->text(), u"Zoë"_qs);
    EXPECT_EQ(form.findChild<QLineEdit *>(u"edtSubject"_qs)->text(), u"Quartal"_qs);
    EXPECT_EQ(form.findChild<QLineEdit *>(u"edtKeywords"_qs)->text(), u"a, b"_qs);

    form.show();
    auto *panel = form.findChild<QWidget *>(u"pnlButtons"_qs);
    EXPECT_TRUE(form.ShowButtons());
    form.SetShowButtons(false);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(form.ShowButtons());
    form.SetShowButtons(true);
    EXPECT_TRUE(panel->isVisible());
    form.findChild<QAbstractButton *>(u"btnCancel"_qs)->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    form.show();
    form.findChild<QAbstractButton *>(u"btnOK"_qs)->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(PdfOptions, CaptionsAreGermanByDesignAndEnglishFromTheLanguageComponent)
{
    struct Row {
        const char *name;
        QString german, english;
    } rows[] = {
        {"grpOptions", u"Optionen"_qs, u"Options"_qs},
        {"lblPageSize", u"&Seitenformat:"_qs, u"Page &size:"_qs},
        {"grpMargins", u"Ränder, mm"_qs, u"Margins, mm"_qs},
        {"lblLeft", u"&Links:"_qs, u"&Left:"_qs},
        {"lblTop", u"&Oben:"_qs, u"&Top:"_qs},
        {"lblRight", u"&Rechts:"_qs, u"&Right:"_qs},
        {"lblBottom", u"&Unten:"_qs, u"&Bottom:"_qs},
        {"grpInfo", u"Informationen"_qs, u"Document Information"_qs},
        {"lblTitle", u"Titel"_qs, u"Title"_qs},
        {"lblSubject", u"Betreff"_qs, u"Subject"_qs},
        {"lblAuthor", u"Author"_qs, u"Author"_qs},
        {"lblKeywords", u"Schlüsselworte"_qs, u"Keywords"_qs},
        {"grpOrientation", u"Seitenausrichtung"_qs, u"Page orientation"_qs},
        {"rbPortrait", u"&Hochformat"_qs, u"&Portrait"_qs},
        {"rbLandscape", u"&Querformat"_qs, u"L&andscape"_qs},
        {"btnOK", u"&OK"_qs, u"&OK"_qs},
        {"btnCancel", u"&Abbrechen"_qs, u"&Cancel"_qs},
    };
    TfrmRTFPDFOptions form;
    EXPECT_EQ(form.windowTitle(), u"PDF-Optionen"_qs);
    for (const Row &row : rows)
        EXPECT_EQ(caption(form, QString::fromLatin1(row.name)), row.german) << row.name;

    // What the user typed is no caption: a language change keeps it.
    form.SetLeftMargin(15);
    form.SetTitle(u"Bericht"_qs);
    form.SetLanguage(u"English"_qs);
    EXPECT_EQ(form.LeftMargin(), 15);
    EXPECT_EQ(form.Title(), u"Bericht"_qs);
    EXPECT_EQ(form.Language(), u"English"_qs);
    EXPECT_EQ(form.Lang()->Language(), u"English"_qs);
    EXPECT_EQ(form.windowTitle(), u"PDF-Options"_qs);
    for (const Row &row : rows)
        EXPECT_EQ(caption(form, QString::fromLatin1(row.name)), row.english) << row.name;

    form.SetLanguage(u"German"_qs);
    EXPECT_EQ(form.windowTitle(), u"PDF-Optionen"_qs);
    EXPECT_EQ(caption(form, u"rbLandscape"_qs), u"&Querformat"_qs);
    // Switching languages leaves the page size names alone.
    EXPECT_EQ(form.findChild<QComboBox *>(u"cbxPageSize"_qs)->itemText(1), u"A4"_qs);
}
