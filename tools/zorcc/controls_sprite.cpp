// zorcc sprite: what a sprite sheet holds, and its frames as separate files.
#include "Command.h"

#include <ZorCompCore/controls/ZORImageSlider.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Resources.h>

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <nlohmann/json.hpp>

using namespace zor;

namespace {

struct Sheet
{
    TcxZORImageCollection frames;
    QSize size;   // in pixels
    QString name; // as given
};

// A file, or else the name of a sheet built into the library.
void loadSheet(Sheet &s, const QString &arg, qreal ratio)
{
    s.name = arg;
    try {
        if (QFileInfo::exists(arg)) {
            s.frames.LoadSpritesFromFile(arg, ratio);
            s.size = QImageReader(arg).size();
        } else {
            s.frames.LoadFromResName(arg, ratio);
            const QPixmap first = s.frames.Items(0);
            s.size = QSize(first.width() * s.frames.Count(), first.height());
        }
    } catch (const EResNotFound &) {
        throw zorcc::InputError{QStringLiteral("%1: no such file or built-in sheet").arg(arg)};
    } catch (const Exception &e) {
        throw zorcc::InputError{QStringLiteral("%1: %2").arg(arg, e.Message())};
    }
}

int runSprite(const QStringList &args, zorcc::Io &io)
{
    QStringList positional;
    bool json = false;
    qreal ratio = 1;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--json") {
            json = true;
        } else if (a == u"--ratio") {
            if (i + 1 >= args.size())
                throw zorcc::UsageError{QStringLiteral("--ratio needs a value")};
            const QString v = args[++i];
            if (v != u"1" && v != u"2")
                throw zorcc::UsageError{QStringLiteral("--ratio takes 1 or 2, not '%1'").arg(v)};
            ratio = v.toInt();
        } else if (a.startsWith(u"--")) {
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
        } else {
            positional << a;
        }
    }
    const QString verb = positional.value(0);
    if (verb == u"info") {
        if (positional.size() != 2)
            throw zorcc::UsageError{QStringLiteral("info takes one sheet")};
        Sheet s;
        loadSheet(s, positional[1], ratio);
        const int side = s.size.height();
        const int count = s.frames.Count();
        const int rest = side > 0 ? s.size.width() - count * side : s.size.width();
        if (json) {
            nlohmann::ordered_json j;
            j["sheet"] = s.name.toStdString();
            j["width"] = s.size.width();
            j["height"] = s.size.height();
            j["frames"] = count;
            j["frameSize"] = side;
            j["ratio"] = count ? s.frames.Items(0).devicePixelRatio() : ratio;
            j["ignoredColumns"] = rest;
            io.out << QString::fromStdString(j.dump(2)) << '\n';
        } else {
            io.out << s.name << ": " << s.size.width() << " x " << s.size.height() << ", " << count
                   << (count == 1 ? " frame" : " frames") << " of " << side << " x " << side;
            if (rest > 0)
                io.out << ", " << rest << " columns at the right ignored";
            io.out << '\n';
        }
        return 0;
    }
    if (verb == u"cut") {
        if (positional.size() != 3)
            throw zorcc::UsageError{QStringLiteral("cut takes a sheet and a folder")};
        Sheet s;
        loadSheet(s, positional[1], ratio);
        const QDir dir(positional[2]);
        if (!dir.mkpath(QStringLiteral(".")))
            throw zorcc::InputError{QStringLiteral("cannot create %1").arg(positional[2])};
        for (int i = 0; i < s.frames.Count(); ++i) {
            const QString file = dir.filePath(QStringLiteral("frame%1.png").arg(i, 3, 10, QLatin1Char('0')));
            if (!s.frames.Items(i).save(file, "PNG"))
                throw zorcc::InputError{QStringLiteral("cannot write %1").arg(file)};
        }
        io.out << s.frames.Count() << (s.frames.Count() == 1 ? " frame" : " frames") << " written to "
               << positional[2] << '\n';
        return 0;
    }
    throw zorcc::UsageError{verb.isEmpty() ? QStringLiteral("missing verb (info or cut)")
                                           : QStringLiteral("unknown verb '%1'").arg(verb)};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("sprite"), QStringLiteral("sprite sheets: their frames, and the frames cut apart"),
               QStringLiteral(
                   "usage: zorcc sprite info SHEET [--json] [--ratio 1|2]\n"
                   "       zorcc sprite cut SHEET DIR [--ratio 1|2]\n\n"
                   "A sprite sheet is a PNG with square frames side by side: its height is the\n"
                   "frame size, width div height the number of frames; columns left over at the\n"
                   "right are ignored. SHEET is a file, or the name of a sheet built into the\n"
                   "library (ZORLOADINGANIM_C132, ZORLOADINGANIM_BLKS32); --ratio 2 picks the\n"
                   "built-in sheet drawn at twice the size.\n"
                   "info  size, frame count and frame size.\n"
                   "cut   each frame as DIR/frame000.png, frame001.png …"),
               runSprite});

// Frames are pixmaps, which need a GUI application; usage errors are told
// without one (it may have words of its own for stderr).
static const bool spriteGui = zorcc::registerGuiNeed(QStringLiteral("sprite"), [](const QStringList &args) {
    const QString verb = args.value(0);
    if (verb != u"info" && verb != u"cut")
        return false;
    for (const QString &a : args)
        if (a.startsWith(u"-") && a != u"--json" && a != u"--ratio")
            return false;
    return true;
});
