// The "Files" page: a file browser over the sample data. Folders on the
// left, the folder's files with thumbnails from the desktop's shared cache
// in the middle (made on the thread pool, so a large folder opens at once),
// and the preview pane on the right showing the current file through the
// previewer its type takes; PDF pages come from the preview worker. A double
// click opens a picture in the preview window.
// Headless, --preview FILE --grab OUT.png [--size WxH] opens FILE's folder,
// shows FILE in the pane and saves a picture of the page.
#include "GalleryPage.h"

#include <ZorCompCore/imaging/ThumbnailCache.h>
#include <ZorCompCore/imaging/widgets/WindowsPreviewHandlerControl.h>
#include <ZorCompCore/imaging/widgets/frmZORImagePreview.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPointer>
#include <QSplitter>
#include <QTextStream>
#include <QThreadPool>
#include <QTimer>
#include <QTreeView>

#include <functional>

using namespace zor;

namespace {

QString dataFolder()
{
    return QDir::cleanPath(QStringLiteral(ZOR_GALLERY_IMAGES "/.."));
}

class FilesPage : public QWidget
{
public:
    explicit FilesPage(QWidget *parent = nullptr) : QWidget(parent)
    {
        auto *layout = new QHBoxLayout(this);
        auto *split = new QSplitter(Qt::Horizontal);
        folders = new QFileSystemModel(this);
        folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
        folders->setRootPath(dataFolder());
        tree = new QTreeView;
        tree->setModel(folders);
        tree->setRootIndex(folders->index(dataFolder()));
        for (int c = 1; c < folders->columnCount(); ++c)
            tree->hideColumn(c);
        tree->header()->hide();
        files = new QListWidget;
        files->setViewMode(QListView::IconMode);
        files->setIconSize(QSize(96, 96));
        files->setGridSize(QSize(120, 130));
        files->setResizeMode(QListView::Adjust);
        files->setWordWrap(true);
        pane = new TWindowsPreviewHandlerControl;
        split->addWidget(tree);
        split->addWidget(files);
        split->addWidget(pane);
        split->setSizes({160, 360, 480});
        layout->addWidget(split);

        // What the user picks, not the current index the model moves while
        // it fills in the background.
        connect(tree, &QTreeView::clicked, this, [this](const QModelIndex &i) { showFolder(folders->filePath(i)); });
        connect(tree, &QTreeView::activated, this, [this](const QModelIndex &i) { showFolder(folders->filePath(i)); });
        connect(files, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
            try {
                pane->SetFileName(item ? item->data(Qt::UserRole).toString() : QString());
            } catch (const Exception &) {
                // the pane paints the error itself
            }
        });
        connect(files, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
            const QString file = item->data(Qt::UserRole).toString();
            try {
                TFileStream stream(file, fmOpenRead | fmShareDenyWrite);
                TfrmZORImagePreview::ShowAsPopUp(stream, file, files);
            } catch (const Exception &e) {
                item->setToolTip(e.Message()); // not a picture
            }
        });
        showFolder(dataFolder() + QStringLiteral("/preview"));
    }

    // Lists the folder at once with generic icons; thumbnails follow from the
    // thread pool. A result for a folder no longer shown is dropped.
    void showFolder(const QString &folder)
    {
        files->clear();
        tree->setCurrentIndex(folders->index(folder));
        const int generation = ++shown;
        QFileIconProvider icons;
        const QFileInfoList list = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        pendingThumbnails = int(list.size());
        for (const QFileInfo &fi : list) {
            auto *item = new QListWidgetItem(icons.icon(fi), fi.fileName(), files);
            item->setData(Qt::UserRole, fi.absoluteFilePath());
            const QString path = fi.absoluteFilePath();
            const int row = files->row(item);
            QPointer<FilesPage> self(this);
            QThreadPool::globalInstance()->start([self, path, row, generation, cache = this->cache] {
                const TThumbnailCache::TResult r = cache.Thumbnail(path, TThumbnailSize::Normal);
                QMetaObject::invokeMethod(
                    qApp,
                    [self, r, row, generation] {
                        if (!self || self->shown != generation)
                            return;
                        --self->pendingThumbnails;
                        if (QListWidgetItem *item = self->files->item(row); item && !r.Image.isNull()) {
                            item->setIcon(QIcon(QPixmap::fromImage(r.Image)));
                            ++self->thumbnails;
                        }
                        if (self->pendingThumbnails == 0 && self->thumbnailsDone)
                            self->thumbnailsDone();
                    },
                    Qt::QueuedConnection);
            });
        }
    }

    // Makes file the current one; the pane loads it even when it was current already.
    void select(const QString &file)
    {
        for (int i = 0; i < files->count(); ++i) {
            if (QFileInfo(files->item(i)->data(Qt::UserRole).toString()) != QFileInfo(file))
                continue;
            if (files->currentRow() == i)
                pane->SetFileName(file);
            else
                files->setCurrentRow(i);
        }
    }

    QTreeView *tree = nullptr;
    QListWidget *files = nullptr;
    TWindowsPreviewHandlerControl *pane = nullptr;
    int pendingThumbnails = 0;
    int thumbnails = 0;
    std::function<void()> thumbnailsDone; // called when the folder's last thumbnail came back

private:
    QFileSystemModel *folders = nullptr;
    TThumbnailCache cache;
    int shown = 0;
};

int runHeadless(QApplication &app, const QStringList &args)
{
    Q_UNUSED(app)
    QTextStream out(stdout);
    const QString file = QFileInfo(gallery::argValue(args, QStringLiteral("--preview"))).absoluteFilePath();
    const QString picture = gallery::argValue(args, QStringLiteral("--grab"));
    const QStringList size = gallery::argValue(args, QStringLiteral("--size"), QStringLiteral("1000x600")).split(u'x');
    if (!QFileInfo(file).isFile() || size.size() != 2 || size[0].toInt() < 100 || size[1].toInt() < 100) {
        out << "usage: gallery --headless --preview FILE [--grab OUT.png] [--size WxH]\n";
        return 2;
    }
    FilesPage page;
    page.resize(size[0].toInt(), size[1].toInt());
    page.showFolder(QFileInfo(file).absolutePath());
    page.show();
    // Until the pane shows FILE's final picture and every thumbnail has come back.
    QEventLoop loop;
    bool rendered = false;
    const auto quitWhenDone = [&] {
        if (rendered && page.pendingThumbnails == 0)
            loop.quit();
    };
    page.thumbnailsDone = quitWhenDone;
    QObject::connect(page.pane, &TWindowsPreviewHandlerControl::PreviewRendered, &loop, [&] {
        rendered = true;
        quitWhenDone();
    });
    page.select(file);
    if (!rendered || page.pendingThumbnails > 0) {
        QTimer::singleShot(60000, &loop, &QEventLoop::quit); // a guard, not a wait
        loop.exec();
    }
    if (!rendered) {
        out << QFileInfo(file).fileName() << ": the preview did not finish within 60 seconds\n";
        return 1;
    }
    out << QFileInfo(file).fileName() << ": " << page.files->count() << " files in the folder, " << page.thumbnails
        << " with thumbnails; the pane shows "
        << (page.pane->DisplayText().isEmpty() ? QStringLiteral("the preview") : page.pane->DisplayText()) << '\n';
    if (!gallery::savePicture(page, picture, out))
        return 1;
    return page.pane->ErrorText().isEmpty() ? 0 : 1;
}

const bool registered =
    gallery::registerPage({QStringLiteral("Files"), 65, [](QWidget *parent) -> QWidget * { return new FilesPage(parent); }})
    && gallery::registerCommand({QStringLiteral("--preview"),
                                 QStringLiteral("--preview FILE [--grab OUT.png] [--size WxH]   the Files page showing FILE "
                                                "in its preview pane"),
                                 runHeadless});

} // namespace
