// TThumbnailCache: the freedesktop.org thumbnail cache that file managers
// share ($XDG_CACHE_HOME/thumbnails, else ~/.cache/thumbnails).
//
// An entry is <root>/<size>/<md5 of the file's URI>.png, a PNG whose text
// chunks "Thumb::URI" and "Thumb::MTime" (seconds) name the file and its
// modification time; an entry whose URI or time differs is stale. Files that
// cannot be thumbnailed get an entry under fail/<application>/ so they are
// not tried again while unchanged. URIs are escaped as GLib escapes paths
// (";", "[", "]" and the like become %3B, %5B, %5D), so that entries made
// here are found by GLib programs and the other way round. Folders are made
// 0700, entries 0600, each written to a temporary file and renamed into
// place. All members may be called from several threads at once.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QImage>
#include <QString>

namespace zor {

enum class TThumbnailSize { Normal, Large, XLarge, XXLarge };

// 128, 256, 512, 1024: the longer side of a thumbnail of that size.
ZOR_EXPORT int ThumbnailPixels(TThumbnailSize Size);
// "normal", "large", "x-large", "xx-large"; also what ParseThumbnailSize takes.
ZOR_EXPORT QString ThumbnailSizeName(TThumbnailSize Size);
ZOR_EXPORT bool ParseThumbnailSize(const QString &Name, TThumbnailSize &Size);

class ZOR_EXPORT TThumbnailCache
{
public:
    enum TStatus {
        tsCached,      // a valid entry was there
        tsCreated,     // made now and stored
        tsFailedBefore,// a failure entry for this version of the file was there
        tsFailed       // cannot be made now (failure entry stored)
    };
    struct TResult
    {
        TStatus Status = tsFailed;
        QImage Image;   // null unless cached or created
        QString Error;  // why it failed (or why a created one was not stored)
    };

    // Root: the folder holding normal/, large/ … and fail/ (empty: the
    // user's cache). Application names the folder under fail/.
    explicit TThumbnailCache(const QString &Root = {}, const QString &Application = QStringLiteral("zorcompcore"));

    QString Root() const { return FRoot; }
    // "file://" + the absolute path, escaped as GLib does.
    static QString FileUri(const QString &FileName);
    QString ThumbnailPath(const QString &Uri, TThumbnailSize Size) const;
    QString FailPath(const QString &Uri) const;

    // The cached thumbnail when one is there and valid, else a new one made
    // and stored (or a failure recorded).
    TResult Thumbnail(const QString &FileName, TThumbnailSize Size) const;
    // The valid cached thumbnail of the file, or a null image.
    QImage Lookup(const QString &FileName, TThumbnailSize Size) const;
    // True when a failure entry for the file as it is now exists.
    bool HasFailed(const QString &FileName) const;
    bool Store(const QString &FileName, TThumbnailSize Size, const QImage &Thumb, QString *Error = nullptr) const;
    bool StoreFailure(const QString &FileName, QString *Error = nullptr) const;

    // The thumbnail of a picture (any readable class) whose longer side is at
    // most Pixels (no enlargement). Raises EEnvisionError when it cannot be made.
    static QImage MakeThumbnail(const QByteArray &Data, int Pixels);

private:
    QString FRoot;
    QString FApplication;
};

} // namespace zor
