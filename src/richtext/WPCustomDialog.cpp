#include "WPCustomDialog.h"

#include "WPRichText.h"

#include <QHash>
#include <QMutex>

namespace zor {

namespace {

struct Registry
{
    QMutex lock;
    QHash<QString, TWPCustomDialog::Creator> creators;
};

Registry &registry()
{
    static Registry r;
    return r;
}

} // namespace

TWPCustomDialog::TWPCustomDialog(QObject *owner)
    : QObject(owner)
{
}

TWPCustomDialog::~TWPCustomDialog() = default;

TWPRichText *TWPCustomDialog::EditBox() const
{
    return m_editBox.data();
}

void TWPCustomDialog::SetEditBox(TWPRichText *editor)
{
    m_editBox = editor;
}

void TWPCustomDialog::RegisterClass(const QString &className, Creator creator)
{
    Registry &r = registry();
    QMutexLocker locker(&r.lock);
    r.creators.insert(className.toLower(), std::move(creator));
}

bool TWPCustomDialog::IsRegistered(const QString &className)
{
    Registry &r = registry();
    QMutexLocker locker(&r.lock);
    return r.creators.contains(className.toLower());
}

QStringList TWPCustomDialog::RegisteredClasses()
{
    Registry &r = registry();
    QMutexLocker locker(&r.lock);
    QStringList names = r.creators.keys();
    names.sort();
    return names;
}

TWPCustomDialog *TWPCustomDialog::Create(const QString &className, QObject *owner)
{
    Creator creator;
    {
        Registry &r = registry();
        QMutexLocker locker(&r.lock);
        creator = r.creators.value(className.toLower());
    }
    return creator ? creator(owner) : nullptr;
}

} // namespace zor
