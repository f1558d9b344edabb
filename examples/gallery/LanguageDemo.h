// A form with a language component: German design texts, stored English
// texts, and French and Italian filled by the active translator.
#pragma once

#include <QMainWindow>
#include <QStringList>

class QLabel;
class QPushButton;
class QComboBox;

namespace zor {
class TZORLang;
}

class TfrmLanguageDemo : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfrmLanguageDemo(QWidget *parent = nullptr);

    zor::TZORLang *Lang() const { return FLang; }
    // "name: text" for every translated text the form shows, in a fixed order.
    QStringList VisibleTexts() const;

private:
    zor::TZORLang *FLang;
    QLabel *lblInfo;
    QPushButton *btnApply, *btnCancel;
    QComboBox *cbStyle;
};
