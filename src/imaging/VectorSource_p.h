// A picture that draws itself at any size (SVG, metafiles). Not public API.
#pragma once

#include <QRectF>
#include <QSize>

class QPainter;

namespace zor::detail {

class TVectorSource
{
public:
    virtual ~TVectorSource() = default;
    // The size the picture was made for, in pixels (96 dpi); never empty.
    virtual QSize DefaultSize() const = 0;
    // Draws the whole picture scaled into target.
    virtual void Render(QPainter &painter, const QRectF &target) const = 0;
};

} // namespace zor::detail
