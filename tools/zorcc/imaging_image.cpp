// zorcc image: recognise, convert, thumbnail and render pictures, PDF pages
// and metafiles; fill the shared thumbnail cache for a folder.
#include "Command.h"

#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/imaging/Graphic.h>
#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/imaging/PDFThumbnail.h>
#include <ZorCompCore/imaging/ThumbnailCache.h>
#include <ZorCompCore/platform/Stream.h>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QMutex>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QThreadPool>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <map>

#include <unistd.h>

using namespace zor;

namespace {

// Positional arguments and --name value options; flags listed in flags take no value.
struct Args
{
    QStringList positional;
    std::map<QString, QString> options;

    Args(const QStringList &args, const QStringList &valued, const QStringList &flags)
    {
        for (int i = 0; i < args.size(); ++i) {
            const QString &a = args[i];
            if (!a.startsWith(u"--") || a == u"--") {
                positional << a;
                continue;
            }
            if (flags.contains(a)) {
                options[a] = QString();
            } else if (valued.contains(a)) {
                if (i + 1 >= args.size())
                    throw zorcc::UsageError{QStringLiteral("%1 needs a value").arg(a)};
                options[a] = args[++i];
            } else {
                throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(a)};
            }
        }
    }
    bool has(const QString &name) const { return options.count(name) > 0; }
    QString value(const QString &name, const QString &fallback = {}) const
    {
        const auto it = options.find(name);
        return it == options.end() ? fallback : it->second;
    }
    int number(const QString &name, int fallback, int min, int max) const
    {
        if (!has(name))
            return fallback;
        bool ok = false;
        const int v = value(name).toInt(&ok);
        if (!ok || v < min || v > max)
            throw zorcc::UsageError{QStringLiteral("%1 takes a number from %2 to %3, not '%4'")
                                        .arg(name).arg(min).arg(max).arg(value(name))};
        return v;
    }
    void expect(int count, const QString &what) const
    {
        if (positional.size() != count)
            throw zorcc::UsageError{what};
    }
};

// The output format: --format, else the output file's extension.
QString targetFormat(const Args &a, const QString &out)
{
    return a.value(QStringLiteral("--format"), QFileInfo(out).suffix());
}

// Writes through a temporary name so that a failed run leaves no half file.
void writeOutput(const QString &path, const QByteArray &data)
{
    const QString temp = path + QStringLiteral(".part");
    zorcc::writeFileArg(temp, data);
    QFile::remove(path);
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        throw zorcc::InputError{QStringLiteral("cannot write %1").arg(path)};
    }
}

int info(const QStringList &raw, zorcc::Io &io)
{
    const Args a(raw, {}, {QStringLiteral("--json")});
    if (a.positional.isEmpty())
        throw zorcc::UsageError{QStringLiteral("info takes one or more files")};
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    int failures = 0;
    for (const QString &file : a.positional) {
        nlohmann::ordered_json j;
        j["file"] = file.toStdString();
        try {
            const QByteArray data = zorcc::readFileArg(file);
            const TGraphicClass *cls = GuessDibGraphicClass(data);
            j["format"] = GuessImageDataFormat(data).toStdString();
            if (cls) {
                QSize size = TGraphic::ProbeSize(data, cls);
                if (!size.isValid())
                    size = TGraphic::Load(data, cls).Size();
                j["width"] = size.width();
                j["height"] = size.height();
                j["vector"] = cls->IsVector();
                j["writable"] = cls->CanWrite();
                if (cls->Kind() == TGraphicKind::Pdf) {
                    TBytesStream s(data);
                    j["pages"] = PDFPageCount(s);
                }
            }
        } catch (const zorcc::InputError &e) {
            j["error"] = e.message.toStdString();
        } catch (const Exception &e) {
            j["error"] = e.Message().toStdString();
        }
        if (j.contains("error"))
            ++failures;
        if (!a.has(QStringLiteral("--json"))) {
            if (j.contains("error")) {
                io.err << "zorcc image: " << file << ": " << QString::fromStdString(j["error"]) << '\n';
                continue;
            }
            io.out << file << ": " << QString::fromStdString(j["format"]);
            if (j.contains("width"))
                io.out << ' ' << int(j["width"]) << " x " << int(j["height"])
                       << (j["vector"].get<bool>() ? " (vector)" : "");
            if (j.contains("pages"))
                io.out << ", " << int(j["pages"]) << " page(s)";
            io.out << '\n';
        }
        all.push_back(j);
    }
    if (a.has(QStringLiteral("--json")))
        io.out << QString::fromStdString(all.dump(2)) << '\n';
    return failures ? 1 : 0;
}

int convert(const QStringList &raw, zorcc::Io &io)
{
    const Args a(raw, {QStringLiteral("--format")}, {});
    a.expect(2, QStringLiteral("convert takes an input and an output file"));
    TBytesStream source(zorcc::readFileArg(a.positional[0]));
    TMemoryStream dest;
    const QString format = targetFormat(a, a.positional[1]);
    if (format.isEmpty())
        throw zorcc::UsageError{QStringLiteral("say --format or give the output file an extension")};
    ConvertImageFormat(source, dest, format);
    writeOutput(a.positional[1], dest.ToBytes());
    io.out << a.positional[1] << ": " << GuessImageDataFormat(dest.ToBytes()) << ", " << dest.Size() << " bytes\n";
    return 0;
}

int thumb(const QStringList &raw, zorcc::Io &io)
{
    const Args a(raw, {QStringLiteral("--height"), QStringLiteral("--width"), QStringLiteral("--format")}, {});
    a.expect(2, QStringLiteral("thumb takes an input and an output file"));
    const int height = a.number(QStringLiteral("--height"), 0, 0, 65535);
    const int width = a.number(QStringLiteral("--width"), 0, 0, 65535);
    // The output's extension picks the format only when it names one.
    QString format = a.value(QStringLiteral("--format"));
    if (format.isEmpty() && FindDibGraphicClass(QFileInfo(a.positional[1]).suffix()))
        format = QFileInfo(a.positional[1]).suffix();
    if (!format.isEmpty() && !(FindDibGraphicClass(format) && FindDibGraphicClass(format)->CanWrite()))
        RaiseUnknownFormat(format);
    TBytesStream source(zorcc::readFileArg(a.positional[0]));
    TMemoryStream dest;
    if (!CreateImageTumbnail(source, dest, height, width, format))
        throw zorcc::InputError{QStringLiteral("%1: not a picture").arg(a.positional[0])};
    writeOutput(a.positional[1], dest.ToBytes());
    const TGraphicClass *cls = GuessDibGraphicClass(dest.ToBytes());
    const QSize size = cls ? TGraphic::ProbeSize(dest.ToBytes(), cls) : QSize();
    io.out << a.positional[1] << ": " << (cls ? cls->FormatName() : QStringLiteral("?")) << ' ' << size.width()
           << " x " << size.height() << '\n';
    return 0;
}

QPoint parseOffset(const QString &text)
{
    const QStringList parts = text.split(u',');
    bool okX = false, okY = false;
    const QPoint p(parts.value(0).toInt(&okX), parts.value(1).toInt(&okY));
    if (parts.size() != 2 || !okX || !okY)
        throw zorcc::UsageError{QStringLiteral("--offset takes X,Y, not '%1'").arg(text)};
    return p;
}

int render(const QStringList &raw, zorcc::Io &io)
{
    const Args a(raw, {QStringLiteral("--width"), QStringLiteral("--height"), QStringLiteral("--rotate"),
                       QStringLiteral("--offset"), QStringLiteral("--format")},
                 {});
    a.expect(2, QStringLiteral("render takes an input and an output file"));
    const int width = a.number(QStringLiteral("--width"), 0, 1, 32768);
    const int height = a.number(QStringLiteral("--height"), 0, 1, 32768);
    if (!width || !height)
        throw zorcc::UsageError{QStringLiteral("render needs --width and --height")};
    const int rotation = a.number(QStringLiteral("--rotate"), 0, -100000, 100000);
    const QPoint offset = a.has(QStringLiteral("--offset")) ? parseOffset(a.value(QStringLiteral("--offset"))) : QPoint();
    const QString format = targetFormat(a, a.positional[1]).toLower();
    TBytesStream source(zorcc::readFileArg(a.positional[0]));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // Vector targets keep vector pictures as drawings.
    if (format == u"svg") {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(QSize(width, height));
        svg.setViewBox(QRect(0, 0, width, height));
        QPainter p(&svg);
        EMFRenderImageToDC(source, &p, offset.x(), offset.y(), width, height, 0, 0, rotation, false, false);
    } else if (format == u"pdf") {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(width * 72.0 / 96, height * 72.0 / 96), QPageSize::Point));
        pdf.setPageMargins(QMarginsF());
        QPainter p(&pdf);
        EMFRenderImageToDC(source, &p, offset.x(), offset.y(), width, height, 0, 0, rotation, false, false);
    } else {
        const TGraphicClass *cls = FindDibGraphicClass(format);
        if (!cls || !cls->CanWrite())
            RaiseUnknownFormat(format);
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.setRenderHint(QPainter::Antialiasing);
            EMFRenderImageToDC(source, &p, offset.x(), offset.y(), width, height, 0, 0, rotation, false, false);
        }
        bytes = TGraphic::FromImage(image, cls).SaveToBytes();
    }
    writeOutput(a.positional[1], bytes);
    io.out << a.positional[1] << ": " << format << ' ' << width << " x " << height << '\n';
    return 0;
}

int pdfPage(const QStringList &raw, zorcc::Io &io)
{
    const Args a(raw, {QStringLiteral("--page"), QStringLiteral("--dpi"), QStringLiteral("--format")}, {});
    a.expect(2, QStringLiteral("pdf-page takes a PDF file and an output file"));
    const int page = a.number(QStringLiteral("--page"), 1, 1, 1000000);
    const int dpi = a.number(QStringLiteral("--dpi"), 72, 1, 2400);
    const QString format = targetFormat(a, a.positional[1]);
    const TGraphicClass *cls = FindDibGraphicClass(format);
    if (!cls || !cls->CanWrite())
        RaiseUnknownFormat(format);
    TBytesStream source(zorcc::readFileArg(a.positional[0]));
    if (!GuessIsPDFStream(source))
        throw zorcc::InputError{QStringLiteral("%1: not a PDF document").arg(a.positional[0])};
    TGraphic graphic;
    graphic.SetGraphicClass(cls);
    ConvertPDFToGraphic(source, graphic, dpi, page, nullptr);
    writeOutput(a.positional[1], graphic.SaveToBytes(cls));
    io.out << a.positional[1] << ": page " << page << " of " << PDFPageCount(source) << ", "
           << cls->FormatName() << ' ' << graphic.Size().width() << " x " << graphic.Size().height() << '\n';
    return 0;
}

// Files of the folder whose extension names a readable picture format.
QStringList pictureFiles(const QString &folder)
{
    QStringList files;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &fi : entries) {
        const TGraphicClass *cls = FindDibGraphicClass(fi.suffix());
        if (cls && cls->CanRead())
            files << fi.absoluteFilePath();
    }
    return files;
}

int thumbs(const QStringList &raw, zorcc::Io &io)
{
    const Args a(raw, {QStringLiteral("--size"), QStringLiteral("--jobs"), QStringLiteral("--cache")},
                 {QStringLiteral("--json")});
    a.expect(1, QStringLiteral("thumbs takes one folder"));
    TThumbnailSize size = TThumbnailSize::Normal;
    if (a.has(QStringLiteral("--size")) && !ParseThumbnailSize(a.value(QStringLiteral("--size")), size))
        throw zorcc::UsageError{QStringLiteral("--size takes normal, large, x-large or xx-large")};
    const int jobs = a.number(QStringLiteral("--jobs"), QThread::idealThreadCount(), 1, 256);
    if (!QFileInfo(a.positional[0]).isDir())
        throw zorcc::InputError{QStringLiteral("%1: no such folder").arg(a.positional[0])};
    const QStringList files = pictureFiles(a.positional[0]);
    const TThumbnailCache cache(a.value(QStringLiteral("--cache")));

    std::vector<TThumbnailCache::TResult> results(size_t(files.size()));
    std::atomic<int> done{0};
    QThreadPool pool;
    pool.setMaxThreadCount(jobs);
    for (int i = 0; i < files.size(); ++i)
        pool.start([&, i] {
            results[size_t(i)] = cache.Thumbnail(files[i], size);
            results[size_t(i)].Image = QImage(); // the pictures themselves are not needed here
            ++done;
        });
    // A progress bar only for people watching a terminal.
    const bool tty = !a.has(QStringLiteral("--json")) && isatty(STDERR_FILENO);
    while (!pool.waitForDone(tty ? 100 : -1)) {
        const int n = done.load(), total = int(files.size());
        const int filled = total ? n * 30 / total : 30;
        io.err << '\r' << '[' << QString(filled, u'#') << QString(30 - filled, u'.') << "] " << n << '/' << total;
        io.err.flush();
    }
    if (tty)
        io.err << '\r' << QString(50, u' ') << '\r';

    int counts[4] = {};
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (int i = 0; i < files.size(); ++i) {
        const TThumbnailCache::TResult &r = results[size_t(i)];
        ++counts[r.Status];
        static const char *names[] = {"cached", "created", "failed before", "failed"};
        nlohmann::ordered_json j{{"file", files[i].toStdString()}, {"status", names[r.Status]}};
        if (r.Status == TThumbnailCache::tsCached || r.Status == TThumbnailCache::tsCreated)
            j["thumbnail"] = cache.ThumbnailPath(TThumbnailCache::FileUri(files[i]), size).toStdString();
        if (!r.Error.isEmpty())
            j["error"] = r.Error.toStdString();
        list.push_back(j);
    }
    if (a.has(QStringLiteral("--json"))) {
        io.out << QString::fromStdString(nlohmann::ordered_json{{"folder", a.positional[0].toStdString()},
                                                                {"size", ThumbnailSizeName(size).toStdString()},
                                                                {"files", list}}
                                             .dump(2))
               << '\n';
        return 0;
    }
    for (int i = 0; i < files.size(); ++i)
        if (results[size_t(i)].Status == TThumbnailCache::tsFailed)
            io.out << "failed: " << QFileInfo(files[i]).fileName() << ": " << results[size_t(i)].Error << '\n';
    io.out << files.size() << " pictures: " << counts[TThumbnailCache::tsCreated] << " created, "
           << counts[TThumbnailCache::tsCached] << " cached, "
           << counts[TThumbnailCache::tsFailed] + counts[TThumbnailCache::tsFailedBefore] << " failed ("
           << ThumbnailSizeName(size) << ", " << cache.Root() << ")\n";
    return 0;
}

int runImage(const QStringList &args, zorcc::Io &io)
{
    if (args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("missing verb")};
    const QString verb = args[0];
    const QStringList rest = args.mid(1);
    if (verb == u"info")
        return info(rest, io);
    if (verb == u"convert")
        return convert(rest, io);
    if (verb == u"thumb")
        return thumb(rest, io);
    if (verb == u"render")
        return render(rest, io);
    if (verb == u"pdf-page")
        return pdfPage(rest, io);
    if (verb == u"thumbs")
        return thumbs(rest, io);
    throw zorcc::UsageError{QStringLiteral("unknown verb '%1'").arg(verb)};
}

bool isVectorName(const QString &name)
{
    const TGraphicClass *cls = FindDibGraphicClass(QFileInfo(name).suffix());
    return cls && cls->IsVector() && cls->Kind() != TGraphicKind::Pdf;
}

// Fonts (text in SVG and metafiles, PDF output) need a GUI application;
// raster work starts faster without one.
bool imageNeedsGui(const QStringList &args)
{
    const QString verb = args.value(0);
    if (verb == u"render")
        return true;
    if (verb == u"thumbs") {
        const QStringList files = QDir(args.value(1)).entryList(QDir::Files);
        return std::any_of(files.begin(), files.end(), isVectorName);
    }
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a.startsWith(u"--")) {
            const QString value = args.value(i + 1).toLower();
            if (a == u"--format" && (value.endsWith(u"svg") || value.endsWith(u"pdf")))
                return true;
            i += a == u"--json" ? 0 : 1;   // skip the option's value
            continue;
        }
        // Content decides for inputs (PDF pages render without fonts of ours),
        // the name for outputs (SVG and PDF writers draw text).
        QFile f(a);
        if (f.open(QIODevice::ReadOnly)) {
            const TGraphicClass *cls = GuessDibGraphicClass(f.read(1 << 16));
            if (cls && cls->IsVector() && cls->Kind() != TGraphicKind::Pdf)
                return true;
        } else {
            const QString suffix = QFileInfo(a).suffix();
            if (suffix.compare(u"svg", Qt::CaseInsensitive) == 0 || suffix.compare(u"pdf", Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

} // namespace

ZORCC_COMMAND({QStringLiteral("image"), QStringLiteral("recognise, convert, thumbnail and render pictures and PDF pages"),
               QStringLiteral(
                   "usage: zorcc image info [--json] <file>...\n"
                   "       zorcc image convert <in> <out> [--format F]\n"
                   "       zorcc image thumb <in> <out> [--height H] [--width W] [--format F]\n"
                   "       zorcc image render <in> <out> --width W --height H [--rotate R] [--offset X,Y] [--format F]\n"
                   "       zorcc image pdf-page <in.pdf> <out> [--page N] [--dpi D] [--format F]\n"
                   "       zorcc image thumbs <folder> [--size normal|large|x-large|xx-large] [--jobs N] [--cache DIR] [--json]\n\n"
                   "Formats are names or extensions: png, jpg, bmp, gif, tif, webp, svg, pdf, emf, wmf …\n"
                   "(emf and wmf read only); without --format the output file's extension decides.\n"
                   "info      the format (by content), size and pages of each file.\n"
                   "convert   the picture in another format; the same format copies the bytes; a PDF\n"
                   "          gives page 1 at 300 dpi.\n"
                   "thumb     a thumbnail: a size of 0 (or left out) follows from the other, both given\n"
                   "          stretch; never enlarged. Without a format a raster picture keeps its own,\n"
                   "          vector pictures and PDF give PNG.\n"
                   "render    draws the picture into a white W x H area, turned clockwise by --rotate\n"
                   "          (0, ±90, ±180, ±270; anything else leaves the area white), shifted by\n"
                   "          --offset when not turned. svg and pdf outputs keep vector pictures vector.\n"
                   "pdf-page  page N (from 1) at D dpi (72 unless given).\n"
                   "thumbs    thumbnails of the folder's pictures into the desktop's shared thumbnail\n"
                   "          cache ($XDG_CACHE_HOME/thumbnails, or --cache), on all cores unless --jobs; pictures\n"
                   "          that cannot be read are recorded as failed and not tried again until\n"
                   "          they change. Prints a summary (and a progress bar on a terminal)."),
               runImage});

static const bool imageGui = zorcc::registerGuiNeed(QStringLiteral("image"), imageNeedsGui);
