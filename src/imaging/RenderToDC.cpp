#include "PDFThumbnail.h"

#include <ZorCompCore/platform/Stream.h>

#include "Graphic.h"

#include <QPainter>

namespace zor {

void EMFRenderImageToDC(TStream &Stream, QPainter *DC, int OffsetX, int OffsetY, int Width, int Height,
                        double Value1, double Value2, int Rotation, bool Flag1, bool Flag2)
{
    Q_UNUSED(Value1) Q_UNUSED(Value2) Q_UNUSED(Flag1) Q_UNUSED(Flag2)
    if (!DC)
        return;
    Stream.SetPosition(0);
    const TGraphic picture = TGraphic::Load(Stream.ReadAll());
    const QRectF target(0, 0, Width, Height);
    DC->fillRect(target, Qt::white);
    const QSizeF size(picture.Size());
    if (Rotation == 0) {
        DC->save();
        DC->translate(-OffsetX, -OffsetY);
        picture.Draw(*DC, target);
        DC->restore();
        return;
    }
    if (Rotation % 90 != 0 || Rotation < -270 || Rotation > 270)
        return;
    // Clockwise turns (the painter's y axis points down); shift so the turned
    // picture lies in the positive quarter, then fit it into the target.
    const int turn = (Rotation + 360) % 360;
    const QSizeF turned = turn == 180 ? size : size.transposed();
    DC->save();
    DC->scale(Width / turned.width(), Height / turned.height());
    if (turn == 90)
        DC->translate(size.height(), 0);
    else if (turn == 180)
        DC->translate(size.width(), size.height());
    else
        DC->translate(0, size.width());
    DC->rotate(turn);
    picture.Draw(*DC, QRectF(QPointF(0, 0), size));
    DC->restore();
}

} // namespace zor
