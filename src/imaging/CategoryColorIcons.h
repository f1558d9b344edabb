// TCategoryColorIcons: one coloured square or circle per colour, made on
// first request and kept in an image list, for colour-coded categories.
//
// The shape covers pixels 1 … size−2 in both directions and leaves a fully
// transparent one-pixel margin. Black is drawn as 0x010101, so that pure
// black never reaches the list (and both ask for the same image). The
// images are appended to the list; Clear removes them again, assuming they
// are still its last images.
#pragma once

#include <ZorCompCore/platform/Color.h>
#include <ZorCompCore/zor_export.h>

#include <QPointer>

#include <vector>

namespace zor {

class TImageList;

enum TCategoryImageShape { cisSquare, cisCircle };

struct TCategoryColorIconItem
{
    int ImageIndex = -1;
    TColor Color = 0;
};

class ZOR_EXPORT TCategoryColorIcons
{
public:
    TCategoryColorIcons() = default;

    // The list that receives the images (not owned; forgotten when it is destroyed).
    TImageList *ImageList() const { return FImageList; }
    void SetImageList(TImageList *List);
    TCategoryImageShape ImageShape() const { return FShape; }
    void SetImageShape(TCategoryImageShape Shape) { FShape = Shape; }

    // The index of the colour's image, made and appended on first request;
    // -1 without an image list.
    int GetIndexByColor(TColor Color);
    // Deletes the cached images from the end of the list and forgets them.
    void Clear();

    int Count() const { return int(FItems.size()); }
    const TCategoryColorIconItem &Item(int Index) const { return FItems.at(size_t(Index)); }

private:
    QPointer<TImageList> FImageList;
    TCategoryImageShape FShape = cisSquare;
    std::vector<TCategoryColorIconItem> FItems;
};

} // namespace zor
