// The "Images" page: thumbnails of the sample pictures (every format the
// library reads, a JPEG turned by its EXIF orientation, SVG, PDF, EMF, WMF)
// from the desktop's shared thumbnail cache; a double click opens the
// picture in the preview window. A row of tool icons comes from an image
// list set of 16, 24 and 32 pixels: the list that fits the screen's scale
// (start the gallery with --scale 1.5 or 2 to see the larger sets).
// Headless, --images FILE.png prints what the page shows and saves a picture
// of the preview window.
#include "GalleryPage.h"

#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/imaging/HiDPI.h>
#include <ZorCompCore/imaging/ImageListUtils.h>
#include <ZorCompCore/imaging/ThumbnailCache.h>
#include <ZorCompCore/imaging/widgets/ControlsHelper.h>
#include <ZorCompCore/imaging/widgets/frmZORImagePreview.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>
#include <ZorCompCore/platform/Stream.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QTextStream>
#include <QVBoxLayout>

#include <memory>
#include <vector>

using namespace zor;

namespace {

QString imagesFolder(const QStringList &args)
{
    return gallery::argValue(args, QStringLiteral("--images-folder"), QStringLiteral(ZOR_GALLERY_IMAGES));
}

// One list per design size, filled from the style's standard icons.
std::vector<std::unique_ptr<TImageList>> toolIconSets(QStyle *style)
{
    const QStyle::StandardPixmap icons[] = {QStyle::SP_DialogOpenButton, QStyle::SP_DialogSaveButton,
                                            QStyle::SP_FileDialogDetailedView, QStyle::SP_BrowserReload,
                                            QStyle::SP_TrashIcon};
    std::vector<std::unique_ptr<TImageList>> sets;
    for (int size : {16, 24, 32}) {
        auto list = std::make_unique<TImageList>();
        list->SetSize(size, size);
        for (QStyle::StandardPixmap sp : icons)
            TImageListUtils::AddIconScaled(style->standardIcon(sp), list.get(), true);
        sets.push_back(std::move(list));
    }
    return sets;
}

// The set whose size is 16 design pixels on this screen; another size is
// scaled from the nearest larger set.
std::unique_ptr<TImageList> iconsForScreen(QWidget *page, int *designed)
{
    const auto sets = toolIconSets(page->style());
    QList<TImageList *> lists;
    for (const auto &l : sets)
        lists << l.get();
    const int want = TZORControlHelper::ScaleDesignDimToDPI(page, 16, true);
    auto chosen = std::make_unique<TImageList>();
    const int index = TImageListStore::FindListIndexByDim(lists, want, want);
    *designed = index >= 0 ? lists[index]->Width() : 0;
    if (index >= 0) {
        chosen->SetSize(want, want);
        for (int i = 0; i < lists[index]->Count(); ++i)
            chosen->Add(lists[index]->Image(i));
    } else {
        TImageListUtils::ScaleImageListImages(chosen.get(), want, want, true, lists.back());
    }
    return chosen;
}

class ImagesPage : public QWidget
{
public:
    explicit ImagesPage(const QString &folder, QWidget *parent = nullptr) : QWidget(parent), folder(folder)
    {
        auto *layout = new QVBoxLayout(this);
        auto *tools = new QHBoxLayout;
        layout->addLayout(tools);
        icons = iconsForScreen(this, &designedSize);
        for (int i = 0; i < icons->Count(); ++i) {
            auto *label = new QLabel(this);
            QPixmap pm = QPixmap::fromImage(icons->Image(i));
            pm.setDevicePixelRatio(devicePixelRatioF());
            label->setPixmap(pm);
            tools->addWidget(label);
        }
        iconInfo = new QLabel(this);
        iconInfo->setText(QStringLiteral("tool icons: %1 px at %2 dpi (%3)")
                              .arg(icons->Width())
                              .arg(CurrentPPI(this))
                              .arg(designedSize ? QStringLiteral("the %1 px set").arg(designedSize)
                                                : QStringLiteral("scaled from the 32 px set")));
        tools->addWidget(iconInfo);
        tools->addStretch();

        list = new QListWidget(this);
        list->setViewMode(QListView::IconMode);
        list->setIconSize(QSize(128, 128));
        list->setGridSize(QSize(160, 170));
        list->setResizeMode(QListView::Adjust);
        list->setWordWrap(true);
        layout->addWidget(list);
        fill();
        connect(list, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
            open(item->data(Qt::UserRole).toString());
        });
    }

    // Thumbnails from the shared cache, made where missing.
    void fill()
    {
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo &fi : files) {
            const TThumbnailCache::TResult r = cache.Thumbnail(fi.absoluteFilePath(), TThumbnailSize::Normal);
            auto *item = new QListWidgetItem(fi.fileName(), list);
            item->setData(Qt::UserRole, fi.absoluteFilePath());
            if (!r.Image.isNull())
                item->setIcon(QIcon(QPixmap::fromImage(r.Image)));
            else
                item->setToolTip(r.Error);
            results.push_back({fi.fileName(), r});
        }
    }

    TfrmZORImagePreview *open(const QString &file)
    {
        try {
            TFileStream stream(file, fmOpenRead | fmShareDenyWrite);
            return TfrmZORImagePreview::ShowAsPopUp(stream, file, list);
        } catch (const Exception &e) {
            list->setToolTip(e.Message());
            return nullptr;
        }
    }

    QString folder;
    TThumbnailCache cache;
    QListWidget *list = nullptr;
    QLabel *iconInfo = nullptr;
    std::unique_ptr<TImageList> icons;
    int designedSize = 0;
    std::vector<std::pair<QString, TThumbnailCache::TResult>> results;
};

int runHeadless(QApplication &app, const QStringList &args)
{
    Q_UNUSED(app)
    QTextStream out(stdout);
    const QString picture = gallery::argValue(args, QStringLiteral("--images"));
    ImagesPage page(imagesFolder(args));
    page.resize(900, 600);
    page.show();
    QApplication::processEvents();
    out << page.iconInfo->text() << '\n';
    const char *status[] = {"from the cache", "made", "failed before", "failed"};
    int failed = 0;
    for (const auto &[name, r] : page.results) {
        QFile file(page.folder + u'/' + name);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        out << "  " << name.leftJustified(24) << ' ' << GuessImageDataFormat(bytes).leftJustified(6) << ' ' << r.Image.width() << " x " << r.Image.height() << "  (" << status[r.Status] << ')';
        if (!r.Error.isEmpty() && r.Status != TThumbnailCache::tsCreated)
            out << ": " << r.Error;
        out << '\n';
        failed += r.Status == TThumbnailCache::tsFailed || r.Status == TThumbnailCache::tsFailedBefore;
    }
    // The turned photo opens in the preview window, upright.
    const QString photo = page.folder + QStringLiteral("/photo-exif-rotated.jpg");
    if (TfrmZORImagePreview *preview = page.open(photo)) {
        preview->resize(480, 400);
        preview->SetFitToWindow(true);
        QApplication::processEvents();
        out << "preview of " << preview->windowTitle() << ": " << preview->PictureSize().width() << " x "
            << preview->PictureSize().height() << " shown at " << std::lround(preview->Zoom() * 100) << " %\n";
        if (!picture.isEmpty()) {
            const bool saved = preview->grab().save(picture);
            out << (saved ? "Preview saved to " : "Could not save ") << picture << '\n';
        }
        preview->close();
    }
    return failed ? 1 : 0;
}

const bool registered =
    gallery::registerPage({QStringLiteral("Images"), 60,
                           [](QWidget *parent) -> QWidget * {
                               return new ImagesPage(imagesFolder(QApplication::arguments()), parent);
                           }})
    && gallery::registerCommand({QStringLiteral("--images"),
                                 QStringLiteral("--images FILE.png [--images-folder DIR]   thumbnails of the sample "
                                                "pictures, and a picture of the preview window"),
                                 runHeadless});

} // namespace
