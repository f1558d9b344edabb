// The editor's dialogs as components: each is created by class name, given
// the editor it works on, and executed. The control does not know the
// dialogs; they register their classes when the library loads, so the
// action module can ask for any of them and disable what is not there.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

namespace zor {

class TWPRichText;

class ZOR_EXPORT TWPCustomDialog : public QObject
{
    Q_OBJECT

public:
    using Creator = std::function<TWPCustomDialog *(QObject *owner)>;

    explicit TWPCustomDialog(QObject *owner = nullptr);
    ~TWPCustomDialog() override;

    TWPRichText *EditBox() const;
    void SetEditBox(TWPRichText *editor);

    // Shows the dialog for EditBox(); true when the user confirmed and the
    // editor was changed (one undo step). Non-modal dialogs return true
    // once shown.
    virtual bool Execute() = 0;

    // Class names are compared case-insensitively ("TWPTableDlg").
    static void RegisterClass(const QString &className, Creator creator);
    static bool IsRegistered(const QString &className);
    static QStringList RegisteredClasses();
    // A new dialog owned by owner, or nullptr when the class is unknown.
    static TWPCustomDialog *Create(const QString &className, QObject *owner = nullptr);

private:
    QPointer<TWPRichText> m_editBox;
};

} // namespace zor
