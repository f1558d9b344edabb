// Draws the built-in sprite sheets of the loading animation, at 1x (32 px
// frames) and 2x (64 px frames), as PNG files named after their resources:
//   zor_spritesheets OUTDIR
// Drawing is vector work scaled by the ratio, so both sizes show the same
// picture. Runs at build time; needs no display.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

// One frame of a 32-unit square, painted in device-independent units.
using FrameFn = std::function<void(QPainter &, int frame, int frames)>;

// Twelve dots on a ring; the lit dot walks clockwise, a tail fading behind it.
void drawCircle(QPainter &p, int frame, int frames)
{
    const QPointF centre(16, 16);
    for (int dot = 0; dot < frames; ++dot) {
        const int age = (frame - dot + frames) % frames; // 0 = the lit dot
        const qreal angle = 2 * M_PI * dot / frames - M_PI / 2;
        const QPointF at = centre + QPointF(std::cos(angle), std::sin(angle)) * 11.5;
        const int alpha = std::max(40, 255 - age * 36);
        p.setBrush(QColor(58, 110, 165, alpha));
        p.drawEllipse(at, 2.6 - age * 0.08, 2.6 - age * 0.08);
    }
}

// A 3 x 3 grid of blocks; a wave runs along its diagonal and back.
void drawBlocks(QPainter &p, int frame, int frames)
{
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const qreal phase = 2 * M_PI * (qreal(frame) / frames - (row + col) / 8.0);
            const qreal lift = (std::sin(phase) + 1) / 2; // 0 … 1
            const qreal size = 6 + 3 * lift;
            const QPointF c(7 + col * 9, 7 + row * 9);
            p.setBrush(QColor::fromRgbF(0.23 + 0.5 * (1 - lift), 0.43 + 0.3 * (1 - lift), 0.65, 0.5 + 0.5 * lift));
            p.drawRoundedRect(QRectF(c - QPointF(size / 2, size / 2), QSizeF(size, size)), 1.5, 1.5);
        }
    }
}

bool writeSheet(const QString &path, int frames, int ratio, const FrameFn &draw)
{
    const int side = 32 * ratio;
    QImage sheet(side * frames, side, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::transparent);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < frames; ++i) {
        p.save();
        p.translate(i * side, 0);
        p.scale(ratio, ratio);
        p.setClipRect(QRectF(0, 0, 32, 32));
        draw(p, i, frames);
        p.restore();
    }
    p.end();
    return sheet.save(path, "PNG");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zor_spritesheets OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "zor_spritesheets: cannot create %s\n", argv[1]);
        return 1;
    }
    struct Sheet { const char *name; int frames; FrameFn draw; };
    const Sheet sheets[] = {
        {"ZORLOADINGANIM_C132", 12, drawCircle},
        {"ZORLOADINGANIM_BLKS32", 23, drawBlocks},
    };
    for (const Sheet &s : sheets) {
        for (int ratio : {1, 2}) {
            const QString file = out.filePath(QString::fromLatin1(s.name) + (ratio == 2 ? "@2x.png" : ".png"));
            if (!writeSheet(file, s.frames, ratio, s.draw)) {
                std::fprintf(stderr, "zor_spritesheets: cannot write %s\n", qPrintable(file));
                return 1;
            }
        }
    }
    return 0;
}
