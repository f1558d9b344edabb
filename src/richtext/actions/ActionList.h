// TWPActionList: the actions of an editor module kept in one list, each with
// a category (the groups a toolbar or menu designer offers) and the image
// list their icons come from. The list owns nothing: actions are children
// of whoever created them and leave the list when they are destroyed.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QAction;

namespace zor {

class TImageList;

class ZOR_EXPORT TWPActionList : public QObject
{
    Q_OBJECT
public:
    explicit TWPActionList(QObject *parent = nullptr);
    ~TWPActionList() override;

    // Appends an action under a category ("" for none); an action already
    // in the list only gets the new category.
    void Add(QAction *action, const QString &category = {});
    void Remove(QAction *action);
    // In the order added.
    QList<QAction *> Actions() const;
    int Count() const;
    // By object name, case-insensitively; null when none.
    QAction *ActionByName(const QString &name) const;
    // The action's category; empty for none or for an action not listed.
    static QString Category(const QAction *action);
    // Categories in the order their first action was added ("" left out).
    QStringList Categories() const;
    QList<QAction *> ActionsOfCategory(const QString &category) const;

    // The image list an action's ImageIndex refers to; not owned.
    TImageList *Images() const;
    void SetImages(TImageList *images);
    // The image of an action in Images(): the action's "ImageIndex"
    // property, -1 when it has none.
    static int ImageIndex(const QAction *action);

private:
    QList<QPointer<QAction>> m_actions;
    QPointer<TImageList> m_images;
};

} // namespace zor
