// Localising a form: a language component on a widget form, the glossary
// translator behind it, a switch to a language the form has no texts for,
// and what the translator does when the application quits. Exits with 1
// when a text does not arrive as shown.
#include <ZorCompCore/localisation/GlossaryTranslator.h>
#include <ZorCompCore/localisation/Translator.h>
#include <ZorCompCore/localisation/TranslatorCache.h>
#include <ZorCompCore/localisation/ZORLang.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>

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

QString dataFolder()
{
    const QString dir = qEnvironmentVariable("ZOR_GUIDE_DATA");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

} // namespace

// The form's class name ("TfrmShop") starts every text ID the translator and
// its cache see, so each form needs a class of its own (Q_OBJECT).
class TfrmShop : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmShop(QWidget *parent = nullptr) : QWidget(parent)
    {
        lblTitle->setObjectName(QStringLiteral("lblTitle"));
        btnBuy->setObjectName(QStringLiteral("btnBuy"));
        cbSize->setObjectName(QStringLiteral("cbSize"));
        cbSize->addItems({QStringLiteral("Klein"), QStringLiteral("Groß")});
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(lblTitle);
        layout->addWidget(cbSize);
        layout->addWidget(btnBuy);

        // Language 1 is what the form was designed with; English is stored.
        lang->SetNumLang(2);
        lang->SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English")}));
        lang->GetPropListByType(stCaptions)->SetTranslationByID(QStringLiteral("btnBuy.text"), 2,
                                                                QStringLiteral("&Buy"));
    }

    QLabel *lblTitle = new QLabel(QStringLiteral("Willkommen in unserem Laden"), this);
    QPushButton *btnBuy = new QPushButton(QStringLiteral("&Kaufen"), this);
    QComboBox *cbSize = new QComboBox(this);
    TZORLang *lang = new TZORLang(this);
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    // Chosen before anything asks for the translator.
    GlobalTranslatorClass = TranslatorClass<TZORGlossaryTranslator>();
    auto *translator = static_cast<TZORGlossaryTranslator *>(ActiveTranslator());
    translator->LoadGlossaryFolder(dataFolder() + QStringLiteral("/glossaries"));
    translator->SetActive(true); // a translator is inactive until told otherwise

    TfrmShop form;
    form.show();

    form.lang->SetLanguage(QStringLiteral("English"));
    check(form.btnBuy->text() == QStringLiteral("&Buy"), "the stored English text");

    QObject::connect(form.lang, &TZORLang::translationsArrived, &app, [&] {
        out << "arrived: " << form.lblTitle->text() << " | " << form.btnBuy->text() << " | "
            << form.cbSize->itemText(0) << ", " << form.cbSize->itemText(1) << '\n';
        QCoreApplication::quit();
    });
    form.lang->SetLanguage(QStringLiteral("French"));
    if (form.lblTitle->text() == QStringLiteral("Bienvenue dans notre boutique")) {
        // An earlier run saved the translations: they show at once.
        out << "from the cache: " << form.lblTitle->text() << '\n';
    } else {
        // Until the loader is back, the default language shows.
        check(form.lblTitle->text() == QStringLiteral("Willkommen in unserem Laden"), "the German text meanwhile");
        // A guard for this example only: an application just waits.
        QTimer::singleShot(60000, &app, [] {
            check(false, "translations arrived in time");
            QCoreApplication::quit();
        });
        app.exec();
    }

    check(form.lblTitle->text() == QStringLiteral("Bienvenue dans notre boutique"), "the French title");
    check(form.btnBuy->text() == QStringLiteral("&Acheter"), "the French button, with a mnemonic");
    check(form.cbSize->itemText(1) == QStringLiteral("Grand"), "the French items");

    // When the application quit, the translator waited for its loaders and
    // saved the cache: the next start shows French at once.
    const QString file = translator->GetCacheLocalFilePath(
        TZORLocalCacheData::GetLangPairCacheName(QStringLiteral("German"), QStringLiteral("French")), false);
    TZORLocalCacheLangData saved;
    saved.LoadFromFile(file);
    QString buy;
    saved.TryGetValue(TZORLocalCacheLangData::GetTranslateTextKeyName(QStringLiteral("TfrmShop.btnBuy.text"),
                                                                      QStringLiteral("&Kaufen")),
                      buy);
    check(buy == QStringLiteral("&Acheter"), "the cache file holds the translations");
    out << "cache: " << saved.Count() << " texts in " << file << '\n';
    out.flush();
    return failures == 0 ? 0 : 1;
}

#include "main.moc"
