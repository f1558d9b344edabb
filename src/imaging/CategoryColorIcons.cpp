#include "CategoryColorIcons.h"

#include <ZorCompCore/platform/ImageList.h>

#include <QImage>
#include <QPainter>

#include <algorithm>

namespace zor {

void TCategoryColorIcons::SetImageList(TImageList *List)
{
    FImageList = List;
}

int TCategoryColorIcons::GetIndexByColor(TColor Color)
{
    if (Color == 0)
        Color = 0x010101;
    for (const TCategoryColorIconItem &item : FItems)
        if (item.Color == Color)
            return item.ImageIndex;
    if (!FImageList)
        return -1;
    const int w = FImageList->Width(), h = FImageList->Height();
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    if (w > 2 && h > 2) {
        QPainter p(&image);
        p.setPen(Qt::NoPen);
        p.setBrush(ToQColor(Color));
        // GDI's shape from (1, 1) to (w − 1, h − 1) leaves out the right and
        // bottom edge: pixels 1 … w − 2 are covered.
        const QRect box(1, 1, w - 2, h - 2);
        if (FShape == cisCircle) {
            p.setRenderHint(QPainter::Antialiasing);
            p.drawEllipse(QRectF(box));
        } else {
            p.drawRect(box);
        }
    }
    const int index = FImageList->Add(image);
    FItems.push_back({index, Color});
    return index;
}

void TCategoryColorIcons::Clear()
{
    if (FImageList && !FItems.empty()) {
        int lowest = FImageList->Count() - 1;
        for (const TCategoryColorIconItem &item : FItems)
            lowest = std::min(lowest, item.ImageIndex);
        FImageList->BeginUpdate();
        for (int n = FImageList->Count() - std::max(lowest, 0); n > 0; --n)
            FImageList->Delete(FImageList->Count() - 1);
        FImageList->EndUpdate();
    }
    FItems.clear();
}

} // namespace zor
