#include "LanguageDemo.h"

#include <ZorCompCore/localisation/ZORLang.h>

#include <QActionGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace zor;

TfrmLanguageDemo::TfrmLanguageDemo(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmLanguageDemo"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    auto *grp = new QGroupBox(QStringLiteral("Schrift"), central);
    grp->setObjectName(QStringLiteral("grpFont"));
    auto *grpLayout = new QVBoxLayout(grp);
    lblInfo = new QLabel(QStringLiteral("Beschreibung"), grp);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    cbStyle = new QComboBox(grp);
    cbStyle->setObjectName(QStringLiteral("cbStyle"));
    cbStyle->addItems({QStringLiteral("Fett"), QStringLiteral("Kursiv"), QStringLiteral("Unterstrichen")});
    grpLayout->addWidget(lblInfo);
    grpLayout->addWidget(cbStyle);
    layout->addWidget(grp);
    auto *buttons = new QHBoxLayout;
    btnApply = new QPushButton(QStringLiteral("Übernehmen"), central);
    btnApply->setObjectName(QStringLiteral("btnApply"));
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"), central);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addStretch();
    buttons->addWidget(btnApply);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    setCentralWidget(central);

    QMenu *mnuFile = menuBar()->addMenu(QStringLiteral("Datei"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    QAction *actClose = mnuFile->addAction(QStringLiteral("Schließen"), this, &QWidget::close);
    actClose->setObjectName(QStringLiteral("actClose"));
    QMenu *mnuLang = menuBar()->addMenu(QStringLiteral("Sprache"));
    mnuLang->setObjectName(QStringLiteral("mnuLanguage"));

    FLang = new TZORLang(this);
    FLang->SetNumLang(2);
    FLang->SetLangNames(TStringList({QStringLiteral("German"), QStringLiteral("English")}));
    const auto english = [this](TStringsType type, const char *id, const char *text) {
        FLang->GetPropListByType(type)->SetTranslationByID(QString::fromLatin1(id), 2, QString::fromUtf8(text));
    };
    english(stCaptions, "frmLanguageDemo.windowTitle", "Settings");
    english(stCaptions, "grpFont.title", "Font");
    english(stCaptions, "lblInfo.text", "Description");
    english(stCaptions, "btnApply.text", "Apply");
    english(stCaptions, "btnCancel.text", "Cancel");
    english(stCaptions, "mnuFile.title", "File");
    english(stCaptions, "actClose.text", "Close");
    english(stCaptions, "mnuLanguage.title", "Language");
    english(stItems, "cbStyle.items", "Bold\nItalic\nUnderline");

    // Language names are shown as they are, in every language.
    auto *group = new QActionGroup(this);
    for (const QString &name : {QStringLiteral("German"), QStringLiteral("English"), QStringLiteral("French"),
                                QStringLiteral("Italian")}) {
        QAction *a = mnuLang->addAction(name);
        a->setCheckable(true);
        a->setChecked(name == QLatin1String("German"));
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, name] { FLang->SetLanguage(name); });
    }
}

QStringList TfrmLanguageDemo::VisibleTexts() const
{
    QStringList out{QStringLiteral("window: ") + windowTitle(),
                    QStringLiteral("grpFont: ") + findChild<QGroupBox *>(QStringLiteral("grpFont"))->title(),
                    QStringLiteral("lblInfo: ") + lblInfo->text(),
                    QStringLiteral("btnApply: ") + btnApply->text(),
                    QStringLiteral("btnCancel: ") + btnCancel->text(),
                    QStringLiteral("mnuFile: ") + findChild<QMenu *>(QStringLiteral("mnuFile"))->title()};
    QStringList items;
    for (int i = 0; i < cbStyle->count(); ++i)
        items << cbStyle->itemText(i);
    out << QStringLiteral("cbStyle: ") + items.join(QStringLiteral(", "));
    return out;
}
