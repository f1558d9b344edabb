#include <ZorCompCore/richtext/actions/ActionList.h>

#include <ZorCompCore/platform/ImageList.h>

#include <QAction>

namespace zor {

namespace {
constexpr const char *CategoryProperty = "Category";
constexpr const char *ImageIndexProperty = "ImageIndex";
} // namespace

TWPActionList::TWPActionList(QObject *parent) : QObject(parent) {}
TWPActionList::~TWPActionList() = default;

void TWPActionList::Add(QAction *action, const QString &category)
{
    if (!action)
        return;
    action->setProperty(CategoryProperty, category);
    if (!m_actions.contains(action))
        m_actions.append(action);
}

void TWPActionList::Remove(QAction *action) { m_actions.removeAll(action); }

QList<QAction *> TWPActionList::Actions() const
{
    QList<QAction *> result;
    for (const QPointer<QAction> &a : m_actions)
        if (a)
            result.append(a);
    return result;
}

int TWPActionList::Count() const { return int(Actions().size()); }

QAction *TWPActionList::ActionByName(const QString &name) const
{
    for (QAction *a : Actions())
        if (a->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return a;
    return nullptr;
}

QString TWPActionList::Category(const QAction *action)
{
    return action ? action->property(CategoryProperty).toString() : QString();
}

QStringList TWPActionList::Categories() const
{
    QStringList result;
    for (QAction *a : Actions()) {
        const QString c = Category(a);
        if (!c.isEmpty() && !result.contains(c))
            result.append(c);
    }
    return result;
}

QList<QAction *> TWPActionList::ActionsOfCategory(const QString &category) const
{
    QList<QAction *> result;
    for (QAction *a : Actions())
        if (Category(a) == category)
            result.append(a);
    return result;
}

TImageList *TWPActionList::Images() const { return m_images; }
void TWPActionList::SetImages(TImageList *images) { m_images = images; }

int TWPActionList::ImageIndex(const QAction *action)
{
    bool ok = false;
    const int i = action ? action->property(ImageIndexProperty).toInt(&ok) : -1;
    return ok ? i : -1;
}

} // namespace zor
