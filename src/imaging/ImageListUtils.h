// TImageListStore: image lists in a stream or file, alone or as a set of
// lists of different sizes. TImageListUtils: rescaling a list's images and
// adding icons at the list's size.
//
// A single list is "TPF0" followed by the property records its
// DefineProperties writes, up to the end of the stream (no end marker):
//   u8 name length | name (8-bit) | u8 value type (10: binary) | u32 length | bytes
// A set is a 32-bit count N, then N records of width, height (32-bit) and a
// length-prefixed block holding one single-list stream (TStreamHelper).
// Counts and lengths never read past the data: a set whose records run out
// ends early, a block longer than the data raises EReadError.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QString>

#include <functional>

class QIcon;
class QImage;

namespace zor {

class TStream;
class TImageList;

class ZOR_EXPORT TImageListStore
{
public:
    static void SaveToStream(TImageList *List, TStream &Stream);
    // Clears the list first; EReadError "Invalid stream format" for a wrong
    // signature (the list stays cleared), "Property X does not exist" for a
    // property the list does not define.
    static void LoadFromStream(TImageList *List, TStream &Stream);
    // The file is replaced atomically once no one else has it open.
    static void SaveToFile(TImageList *List, const QString &FileName);
    static void LoadFromFile(TImageList *List, const QString &FileName);

    static void SaveToSetStream(const QList<TImageList *> &Lists, TStream &Stream);
    // Each record loads into the first list of its size; records without
    // one are skipped, lists without a record keep their images.
    static void LoadFromSetStream(const QList<TImageList *> &Lists, TStream &Stream);
    static void SaveToSetFile(const QList<TImageList *> &Lists, const QString &FileName);
    static void LoadFromSetFile(const QList<TImageList *> &Lists, const QString &FileName);

    // Index of the first list of that image size, -1 when none.
    static int FindListIndexByDim(const QList<TImageList *> &Lists, int Width, int Height);

    // Reads a set stream record by record: Record gets the width, the height
    // and the block (positioned at 0). Returns the number of records read.
    static int ReadSet(TStream &Stream, const std::function<void(int, int, TStream &)> &Record);
};

class ZOR_EXPORT TImageListUtils
{
public:
    // Gives List images of NewWidth x NewHeight, each resampled from Source
    // (or, when Source is none or List itself, from a copy of List); the
    // list's SourceDPI becomes the screen's PPI. Nothing happens when List
    // already has that size. Smooth: high-quality resampling, else the
    // nearest pixel (a stretched draw).
    static void ScaleImageListImages(TImageList *List, int NewWidth, int NewHeight, bool Smooth,
                                     const TImageList *Source = nullptr);
    // Adds the icon at the list's size and returns its index. The icon's
    // pixmap is the available size whose width is nearest the list's; only
    // widths are compared, an icon of the list's width is added as it is.
    static int AddIconScaled(const QIcon &Icon, TImageList *List, bool Smooth);
    // The image resized as both functions do (32-bit ARGB).
    static QImage Resized(const QImage &Image, int Width, int Height, bool Smooth);
};

} // namespace zor
