// Stored translations: a form's texts in three languages held by its language
// component, kept in a .sib file, sent to a translator as a gettext file and
// merged back, then shown by a freshly built form. Exits with 1 when a text
// does not arrive where the guide says it does.
#include <ZorCompCore/localisation/SibExchange.h>
#include <ZorCompCore/localisation/runtime/SiLang.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWidget>

using namespace zor;

namespace {

QTextStream out(stdout);
int failures = 0;

void check(bool ok, const char *what)
{
    if (!ok) {
        out << "unexpected: " << what << '\n';
        ++failures;
    }
}

} // namespace

// A form as Designer would give it: German design texts, object names as IDs.
class TfrmCustomer : public QWidget
{
    Q_OBJECT
public:
    TfrmCustomer()
    {
        auto *layout = new QVBoxLayout(this);
        name = new QLabel(QStringLiteral("Name:"), this);
        name->setObjectName(QStringLiteral("lblName"));
        save = new QPushButton(QStringLiteral("Speichern"), this);
        save->setObjectName(QStringLiteral("btnSave"));
        layout->addWidget(name);
        layout->addWidget(save);
        lang = new TsiLang(this);
        lang->SetNumLang(3);
        lang->SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English"),
                                        QStringLiteral("French")}));
    }

    QLabel *name;
    QPushButton *save;
    TsiLang *lang;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString sibFile = dir.filePath(QStringLiteral("customer.sib"));

    // 1. The texts: language 1 is what the form was designed with.
    {
        TfrmCustomer form;
        form.lang->UpdateStrCollections(); // captures the design texts as language 1
        TsiStringsCollection &captions = *form.lang->GetPropListByType(stCaptions);
        captions.SetTranslationByID(QStringLiteral("btnSave.text"), 2, QStringLiteral("Save"));
        captions.SetTranslationByID(QStringLiteral("lblName.text"), 2, QStringLiteral("Name:"));
        captions.SetTranslationByID(QStringLiteral("btnSave.text"), 3, QStringLiteral("Enregistrer"));
        form.lang->SetLanguage(QStringLiteral("English"));
        out << "English button: " << form.save->text() << '\n';
        check(form.save->text() == u"Save", "the English text is not applied");

        // 2. Kept in a file: one entry per form, under the form's class name.
        TSIBFileManager files;
        files.Add(form.lang);
        files.SaveToFile(sibFile);
    }

    // 3. Out to a translator: the French texts of every form in the file.
    TSIBFileManager files;
    files.LoadFromFile(sibFile);
    const TSIBExchangeFile french = SIBExchangeExtract(files, QStringLiteral("French"));
    const QByteArray po = SIBExchangeToPO(french);
    out << po;

    // 4. Back from the translator (Poedit, Weblate, msgmerge …): here the
    // file is filled in by the program.
    TSIBExchangeFile translated = SIBExchangeFromPO(po);
    for (TSIBExchangeMessage &m : translated.Messages)
        if (m.ID == u"lblName.text")
            m.Translation = QStringLiteral("Nom :");
    const TSIBMergeResult merged = SIBExchangeMerge(files, translated);
    out << "merged: " << merged.Changed << " changed, " << merged.Unchanged << " unchanged\n";
    check(merged.Changed == 1 && merged.Unchanged == 1 && merged.NotFound.isEmpty(), "the merge counts differ");
    files.SaveToFile(sibFile);

    // 5. A new form takes its texts from the file and shows French.
    TfrmCustomer form;
    TSIBFileManager().LoadFromFile(sibFile, form.lang, form.lang->GetOwnerClassName());
    form.lang->SetLanguage(QStringLiteral("French"));
    out << "French: " << form.name->text() << " / " << form.save->text() << '\n';
    check(form.name->text() == u"Nom :" && form.save->text() == u"Enregistrer", "the French texts are not applied");
    form.lang->SetLanguage(QStringLiteral("English"));
    check(form.save->text() == u"Save", "the English texts were lost in the round trip");
    out.flush();
    return failures ? 1 : 0;
}

#include "main.moc"
