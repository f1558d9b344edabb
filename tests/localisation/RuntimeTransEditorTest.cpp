// The translation editor, driven offscreen: what it shows, that accepted edits
// reach the component (only the edited lines) and the form, and that a
// cancelled dialog changes nothing.
#include <ZorCompCore/localisation/runtime/TransEditorDlg.h>

#include <ZorCompCore/localisation/LangNames.h>
#include <ZorCompCore/localisation/Statistics.h>
#include <ZorCompCore/localisation/WidthsTooltip.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include "TestUtil.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <gtest/gtest.h>

using namespace zor;

namespace {

struct EditorForm
{
    std::unique_ptr<QWidget> w = std::make_unique<QWidget>();
    QLabel *lblTitle = new QLabel(QStringLiteral("Titel"), w.get());
    QPushButton *btnOk = new QPushButton(QStringLiteral("Übernehmen"), w.get());
    TsiLang *lang = new TsiLang(w.get());

    EditorForm()
    {
        w->setObjectName(QStringLiteral("frmEdit"));
        lblTitle->setObjectName(QStringLiteral("lblTitle"));
        btnOk->setObjectName(QStringLiteral("btnOk"));
        lang->SetNumLang(2);
        lang->SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English")}));
        lang->GetPropListByType(stCaptions)->SetTranslationByID(QStringLiteral("btnOk.text"), 2, QStringLiteral("Apply"));
        lang->Strings().Add(QStringLiteral("msgA\tA\tA")); // stays verbatim
        lang->Strings().Add(QStringLiteral("msgB\tB"));    // fewer fields than languages: must stay so
    }

    int row(TTransEditorDlg &dlg, TStringsType type, const QString &id)
    {
        QTableWidget *t = dlg.Table(type);
        for (int r = 0; t && r < t->rowCount(); ++r)
            if (t->item(r, 0)->text() == id)
                return r;
        return -1;
    }
};

constexpr TShowFlags RunTimeFlags = TShowFlags(381);

} // namespace

TEST(RuntimeTransEditor, ShowsEveryTextTypeWithALanguageColumnEach)
{
    EditorForm f;
    TTransEditorDlg dlg(f.lang, RunTimeFlags);
    EXPECT_TRUE(dlg.findChild<QPushButton *>(QStringLiteral("btnLoad"))->isHidden());
    EXPECT_TRUE(dlg.findChild<QPushButton *>(QStringLiteral("btnSave"))->isHidden());
    for (int t = 0; t < StringsTypeCount; ++t) {
        SCOPED_TRACE(StringsTypeName(TStringsType(t)).toStdString());
        QTableWidget *table = dlg.Table(TStringsType(t));
        if (t == stFonts || t == stCharSets) {
            EXPECT_EQ(table, nullptr) << "hidden extended types";
            continue;
        }
        ASSERT_NE(table, nullptr) << "full view shows empty types too";
        ASSERT_EQ(table->columnCount(), 3);
        EXPECT_EQ(table->horizontalHeaderItem(2)->text(), QStringLiteral("English"));
    }
    // The design texts were captured for editing; IDs are never editable.
    const int r = f.row(dlg, stCaptions, QStringLiteral("lblTitle.text"));
    ASSERT_GE(r, 0);
    QTableWidget *captions = dlg.Table(stCaptions);
    EXPECT_EQ(captions->item(r, 1)->text(), QStringLiteral("Titel"));
    EXPECT_FALSE(captions->item(r, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(captions->item(r, 2)->flags() & Qt::ItemIsEditable);

    dlg.SetFilter(QStringLiteral("APPLY"));
    const int ok = f.row(dlg, stCaptions, QStringLiteral("btnOk.text"));
    EXPECT_FALSE(captions->isRowHidden(ok));
    EXPECT_TRUE(captions->isRowHidden(r));

    // Without sfFull, only types with lines get a tab.
    TTransEditorDlg partial(f.lang, sfRunTime);
    EXPECT_EQ(partial.Table(stItems), nullptr);
    EXPECT_NE(partial.Table(stStrings), nullptr);

    // Without sfDesignTime only stored lines are shown.
    EditorForm g;
    TTransEditorDlg stored(g.lang, sfFull);
    EXPECT_EQ(g.row(stored, stCaptions, QStringLiteral("lblTitle.text")), -1);
    EXPECT_GE(g.row(stored, stCaptions, QStringLiteral("btnOk.text")), 0);
}

TEST(RuntimeTransEditor, AcceptStoresOnlyEditedLinesAndShowsThem)
{
    EditorForm f;
    f.lang->SetActiveLanguage(2);
    ASSERT_EQ(f.btnOk->text(), QStringLiteral("Apply"));
    const QStringList stringsBefore = f.lang->Strings().ToQStringList();

    const bool accepted = TransEditorDlg(f.lang, stCaptions, 0, RunTimeFlags, [&](TTransEditorDlg &dlg) {
        QTableWidget *captions = dlg.Table(stCaptions);
        captions->item(f.row(dlg, stCaptions, QStringLiteral("lblTitle.text")), 2)->setText(QStringLiteral("Title"));
        captions->item(f.row(dlg, stCaptions, QStringLiteral("btnOk.text")), 2)->setText(QStringLiteral("Apply\tnow"));
        QTimer::singleShot(0, &dlg, &QDialog::accept);
    });
    ASSERT_TRUE(accepted);
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("Title")) << "the active language is applied again";
    EXPECT_EQ(f.btnOk->text(), QStringLiteral("Apply\tnow"));
    EXPECT_EQ(f.lang->GetPropListByType(stCaptions)->GetTranslationByID(QStringLiteral("lblTitle.text"), 1),
              QStringLiteral("Titel"));
    EXPECT_EQ(f.lang->Strings().ToQStringList(), stringsBefore) << "untouched lines stay verbatim";
}

TEST(RuntimeTransEditor, CancelAndReadOnlyChangeNothing)
{
    EditorForm f;
    f.lang->UpdateStrCollections();
    const QString before = f.lang->GetPropListByType(stCaptions)->Text();
    for (TShowFlags flags : {RunTimeFlags, TShowFlags(sfFull | sfReadOnly)}) {
        SCOPED_TRACE(int(flags));
        TTransEditorDlg dlg(f.lang, flags);
        QTableWidget *captions = dlg.Table(stCaptions);
        QTableWidgetItem *cell = captions->item(f.row(dlg, stCaptions, QStringLiteral("btnOk.text")), 2);
        if (flags & sfReadOnly) {
            EXPECT_FALSE(cell->flags() & Qt::ItemIsEditable);
        }
        cell->setText(QStringLiteral("changed"));
        if (flags & sfReadOnly)
            dlg.accept();
        else
            dlg.reject();
        EXPECT_EQ(f.lang->GetPropListByType(stCaptions)->Text(), before);
    }
}

TEST(RuntimeTransEditor, LoadedFileBringsItsLanguagesAlong)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fr.sib"));
    TSIBEntry french;
    french.OwnerName = QStringLiteral("QWidget");
    french.LangNames = {QStringLiteral("French"), QStringLiteral("German")};
    french.Lines[stCaptions] = {{QStringLiteral("btnOk.text"), QStringLiteral("Appliquer"), QString()}};
    TSIBFileManager files;
    files.Add(french);
    files.SaveToFile(path);

    EditorForm f;
    TTransEditorDlg dlg(f.lang, TShowFlags(sfFull | sfRunTime));
    dlg.LoadFile(path);
    QTableWidget *captions = dlg.Table(stCaptions);
    ASSERT_EQ(captions->columnCount(), 4);
    EXPECT_EQ(captions->horizontalHeaderItem(3)->text(), QStringLiteral("French"));
    EXPECT_EQ(f.lang->NumOfLanguages(), 2) << "nothing reaches the component before accepting";
    dlg.accept();
    EXPECT_EQ(f.lang->NumOfLanguages(), 3);
    EXPECT_EQ(f.lang->GetPropListByType(stCaptions)->GetTranslationByID(QStringLiteral("btnOk.text"), 3),
              QStringLiteral("Appliquer"));
    EXPECT_EQ(f.lang->GetPropListByType(stCaptions)->GetTranslationByID(QStringLiteral("btnOk.text"), 2),
              QStringLiteral("Apply"));

    // Saving writes the working copy under the owner's class name.
    const QString out = dir.filePath(QStringLiteral("out.sib"));
    dlg.SaveFile(out);
    TSIBFileManager back;
    back.LoadFromFile(out);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.Entry(0).OwnerName, QStringLiteral("QWidget"));
    EXPECT_EQ(back.Entry(0).LangNames.size(), 3);
}

// The Tools menu: the dialogs it opens see the working copy, renamed
// languages reach the component on accept, and the widths table follows the
// current line.
namespace {

// Runs fn on the next modal dialog of type T once it runs. Event processing
// before the dialog opens (progress painting) must not catch the timer early;
// a dialog that never shows up fails the test instead of hanging it.
template <class T>
void onModal(std::function<void(T &)> fn)
{
    auto *timer = new QTimer;
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, fn] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible()) {
            timer->deleteLater();
            timer->stop();
            fn(*dialog);
        } else if (++*waited > 500) {
            timer->deleteLater();
            timer->stop();
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className();
            if (auto *other = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                other->reject();
        }
    });
    timer->start(10);
}

QAction *tool(TTransEditorDlg &dlg, const char *name)
{
    return dlg.findChild<QAction *>(QLatin1String(name));
}

} // namespace

TEST(RuntimeTransEditor, ToolsSeeTheWorkingCopyAndRenamesCommitOnAccept)
{
    EditorForm f;
    TTransEditorDlg dlg(f.lang, RunTimeFlags);
    QTableWidget *captions = dlg.Table(stCaptions);
    const int title = f.row(dlg, stCaptions, QStringLiteral("lblTitle.text"));
    captions->item(title, 2)->setText(QStringLiteral("Title")); // both captions now translated

    QString translated;
    onModal<TfrmStatistics>([&](TfrmStatistics &stats) {
        translated = stats.findChild<QLabel *>(QStringLiteral("labTranslatedStd"))->text();
        stats.reject();
    });
    tool(dlg, "actStatistics")->trigger();
    EXPECT_EQ(translated, QStringLiteral("Translated: 3 (75.00%)")) << "the edited line counts";

    onModal<TfrmLangNames>([](TfrmLangNames &names) {
        EXPECT_EQ(names.Names(), (QStringList{"German", "English"}));
        names.SetNames({QStringLiteral("Deutsch"), QStringLiteral("English (US)")});
        names.accept();
    });
    tool(dlg, "actLangNames")->trigger();
    EXPECT_EQ(dlg.Table(stCaptions)->horizontalHeaderItem(2)->text(), QStringLiteral("English (US)"));
    EXPECT_EQ(dlg.Table(stCaptions)->item(title, 2)->text(), QStringLiteral("Title")) << "edits survive";
    EXPECT_EQ(f.lang->LangNames().Get(0), QStringLiteral("German")) << "nothing reaches the component yet";

    dlg.accept();
    EXPECT_EQ(f.lang->LangNames().Get(0), QStringLiteral("Deutsch"));
    EXPECT_EQ(f.lang->Language(), QStringLiteral("Deutsch"));
    EXPECT_EQ(f.lang->GetPropListByType(stCaptions)->GetTranslationByID(QStringLiteral("lblTitle.text"), 2),
              QStringLiteral("Title"));
}

TEST(RuntimeTransEditor, WidthsFollowTheCurrentLineAndCloseWithTheEditor)
{
    EditorForm f;
    {
        TTransEditorDlg dlg(f.lang, RunTimeFlags);
        QTableWidget *strings = dlg.Table(stStrings);
        dlg.ShowType(stStrings, 0);
        tool(dlg, "actWidths")->setChecked(true);
        ASSERT_NE(WidthTooltipWindow(), nullptr);
        EXPECT_EQ(WidthTooltipCell(1, 0), QStringLiteral("German"));

        // msgB has no English text: its width cell says so.
        strings->setCurrentCell(1, 1);
        EXPECT_EQ(WidthTooltipCell(2, 1), QStringLiteral("(empty)"));
        strings->item(1, 2)->setText(QStringLiteral("A much longer English text"));
        EXPECT_NE(WidthTooltipCell(2, 1), QStringLiteral("(empty)"));
        EXPECT_TRUE(WidthTooltipCell(1, 1).contains(QStringLiteral("(shortest)")));

        tool(dlg, "actWidths")->setChecked(false);
        EXPECT_EQ(WidthTooltipWindow(), nullptr);
        tool(dlg, "actWidths")->setChecked(true);
        EXPECT_NE(WidthTooltipWindow(), nullptr);
    }
    EXPECT_EQ(WidthTooltipWindow(), nullptr) << "closing the editor closes the table";

    TTransEditorDlg readOnly(f.lang, RunTimeFlags | sfReadOnly);
    EXPECT_FALSE(tool(readOnly, "actLangNames")->isEnabled());
    EXPECT_TRUE(tool(readOnly, "actStatistics")->isEnabled());
}
