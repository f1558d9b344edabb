// zorcc imagelist: pack icon folders into an image list set file, unpack,
// inspect and rescale image list files.
#include "Command.h"

#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/imaging/ImageListUtils.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>
#include <ZorCompCore/platform/Stream.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <nlohmann/json.hpp>

#include <memory>
#include <vector>

using namespace zor;

namespace {

using ListPtr = std::unique_ptr<TImageList>;

// A file holds one list ("TPF0" …) or a set of lists (a count first).
bool isSingleList(const QByteArray &data)
{
    return data.startsWith("TPF0");
}

struct Stored
{
    int width = 0, height = 0;   // as the set record says (the list's own for a single list)
    qint64 bytes = 0;            // size of the list's block
    ListPtr list;
    QString error;               // why the block could not be read
};

// Every list in the file, with the record's size and any reader error.
std::vector<Stored> readLists(const QString &file, bool *single)
{
    const QByteArray data = zorcc::readFileArg(file);
    std::vector<Stored> out;
    *single = isSingleList(data);
    if (*single) {
        Stored s;
        s.list = std::make_unique<TImageList>();
        s.bytes = data.size();
        TBytesStream in(data);
        TImageListStore::LoadFromStream(s.list.get(), in);
        s.width = s.list->Width();
        s.height = s.list->Height();
        out.push_back(std::move(s));
        return out;
    }
    TBytesStream in(data);
    TImageListStore::ReadSet(in, [&](int w, int h, TStream &block) {
        Stored s;
        s.width = w;
        s.height = h;
        s.bytes = block.Size();
        s.list = std::make_unique<TImageList>();
        try {
            if (block.Size() > 0)
                TImageListStore::LoadFromStream(s.list.get(), block);
        } catch (const Exception &e) {
            s.error = e.Message();
        }
        out.push_back(std::move(s));
    });
    return out;
}

int info(const QStringList &args, zorcc::Io &io)
{
    const bool asJson = args.contains(u"--json"_qs);
    QStringList files = args;
    files.removeAll(u"--json"_qs);
    if (files.size() != 1)
        throw zorcc::UsageError{QStringLiteral("info takes one image list file")};
    bool single = false;
    const std::vector<Stored> lists = readLists(files[0], &single);
    nlohmann::ordered_json j{{"file", files[0].toStdString()}, {"kind", single ? "list" : "set"}};
    j["lists"] = nlohmann::ordered_json::array();
    bool damaged = false;
    for (const Stored &s : lists) {
        nlohmann::ordered_json l{{"width", s.width}, {"height", s.height}, {"bytes", s.bytes},
                                 {"images", s.list->Count()}};
        if (!s.error.isEmpty()) {
            l["error"] = s.error.toStdString();
            damaged = true;
        }
        j["lists"].push_back(l);
    }
    if (asJson) {
        io.out << QString::fromStdString(j.dump(2)) << '\n';
        return damaged ? 1 : 0;
    }
    io.out << files[0] << ": " << (single ? "image list" : "image list set") << ", " << lists.size()
           << " list(s)\n";
    for (const Stored &s : lists) {
        io.out << "  " << s.width << " x " << s.height << ": ";
        if (s.error.isEmpty())
            io.out << s.list->Count() << " image(s), " << s.bytes << " bytes\n";
        else
            io.out << "damaged: " << s.error << '\n';
    }
    return damaged ? 1 : 0;
}

// One list per folder: its pictures in name order, at the size of the first.
ListPtr packFolder(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        throw zorcc::InputError{QStringLiteral("%1: no such folder").arg(folder)};
    ListPtr list;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &fi : entries) {
        const TGraphicClass *cls = FindDibGraphicClass(fi.suffix());
        if (!cls || cls->IsVector())
            continue;
        QImageReader reader(fi.absoluteFilePath());
        const QImage image = reader.read();
        if (image.isNull())
            throw zorcc::InputError{QStringLiteral("%1: %2").arg(fi.filePath(), reader.errorString())};
        if (!list) {
            list = std::make_unique<TImageList>();
            list->SetSize(image.width(), image.height());
        }
        list->Add(image);
    }
    if (!list)
        throw zorcc::InputError{QStringLiteral("%1: no icons in the folder").arg(folder)};
    return list;
}

int pack(const QStringList &args, zorcc::Io &io)
{
    if (args.size() < 2 || args[0].startsWith(u"--"))
        throw zorcc::UsageError{QStringLiteral("pack takes an output file and one or more icon folders")};
    std::vector<ListPtr> owned;
    QList<TImageList *> lists;
    for (const QString &folder : args.mid(1)) {
        owned.push_back(packFolder(folder));
        lists << owned.back().get();
        if (TImageListStore::FindListIndexByDim(lists, lists.back()->Width(), lists.back()->Height())
            != lists.size() - 1)
            throw zorcc::InputError{QStringLiteral("%1: a list of %2 x %3 is packed already (a set loads only "
                                                   "the first list of each size)")
                                        .arg(folder).arg(lists.back()->Width()).arg(lists.back()->Height())};
    }
    TImageListStore::SaveToSetFile(lists, args[0]);
    io.out << args[0] << ": " << lists.size() << " list(s)";
    for (const TImageList *l : lists)
        io.out << ", " << l->Width() << " x " << l->Height() << " (" << l->Count() << ")";
    io.out << '\n';
    return 0;
}

int unpack(const QStringList &args, zorcc::Io &io)
{
    if (args.size() != 2)
        throw zorcc::UsageError{QStringLiteral("unpack takes an image list file and an output folder")};
    bool single = false;
    const std::vector<Stored> lists = readLists(args[0], &single);
    int written = 0;
    for (const Stored &s : lists) {
        if (!s.error.isEmpty())
            throw zorcc::InputError{QStringLiteral("%1: the %2 x %3 list is damaged: %4")
                                        .arg(args[0]).arg(s.width).arg(s.height).arg(s.error)};
        const QString folder = QStringLiteral("%1/%2x%3").arg(args[1]).arg(s.width).arg(s.height);
        if (!QDir().mkpath(folder))
            throw zorcc::InputError{QStringLiteral("cannot create %1").arg(folder)};
        for (int i = 0; i < s.list->Count(); ++i) {
            const QString name = QStringLiteral("%1/%2.png").arg(folder).arg(i, 3, 10, QLatin1Char('0'));
            if (!s.list->Image(i).save(name, "png"))
                throw zorcc::InputError{QStringLiteral("cannot write %1").arg(name)};
            ++written;
        }
    }
    io.out << args[1] << ": " << written << " icon(s) from " << lists.size() << " list(s)\n";
    return 0;
}

QSize parseSize(const QString &text)
{
    const QStringList parts = text.split(u'x');
    bool okW = false, okH = true;
    const int w = parts.value(0).toInt(&okW);
    const int h = parts.size() > 1 ? parts[1].toInt(&okH) : w;
    if (!okW || !okH || parts.size() > 2 || w < 1 || h < 1 || w > 1024 || h > 1024)
        throw zorcc::UsageError{QStringLiteral("--size takes N or WxH (1 to 1024), not '%1'").arg(text)};
    return QSize(w, h);
}

int scale(const QStringList &args, zorcc::Io &io)
{
    QStringList rest = args;
    QSize size;
    bool smooth = true;
    for (int i = 0; i < rest.size();) {
        if (rest[i] == u"--size") {
            if (i + 1 >= rest.size())
                throw zorcc::UsageError{QStringLiteral("--size needs a value")};
            size = parseSize(rest[i + 1]);
            rest.remove(i, 2);
        } else if (rest[i] == u"--sharp") {
            smooth = false;
            rest.removeAt(i);
        } else if (rest[i].startsWith(u"--")) {
            throw zorcc::UsageError{QStringLiteral("unknown option %1").arg(rest[i])};
        } else {
            ++i;
        }
    }
    if (rest.size() != 2 || !size.isValid())
        throw zorcc::UsageError{QStringLiteral("scale takes an input and an output file and --size")};
    bool single = false;
    std::vector<Stored> lists = readLists(rest[0], &single);
    if (lists.empty())
        throw zorcc::InputError{QStringLiteral("%1: no image lists").arg(rest[0])};
    // From the smallest list at least as large as the target, else the largest.
    Stored *from = nullptr;
    for (Stored &s : lists) {
        if (!s.error.isEmpty() || s.list->Count() == 0)
            continue;
        const bool large = s.width >= size.width() && s.height >= size.height();
        const bool fromLarge = from && from->width >= size.width() && from->height >= size.height();
        if (!from || (large && (!fromLarge || s.width < from->width)) || (!large && !fromLarge && s.width > from->width))
            from = &s;
    }
    if (!from)
        throw zorcc::InputError{QStringLiteral("%1: no readable list with images").arg(rest[0])};
    TImageList scaled;
    scaled.SetSize(from->list->Width(), from->list->Height());
    TImageListUtils::ScaleImageListImages(&scaled, size.width(), size.height(), smooth, from->list.get());
    if (single) {
        TImageListStore::SaveToFile(&scaled, rest[1]);
    } else {
        // The set gains the new size (replacing a list of that size).
        QList<TImageList *> out;
        for (Stored &s : lists)
            if (s.error.isEmpty() && QSize(s.width, s.height) != size)
                out << s.list.get();
        out << &scaled;
        TImageListStore::SaveToSetFile(out, rest[1]);
    }
    io.out << rest[1] << ": " << scaled.Count() << " image(s) at " << size.width() << " x " << size.height()
           << " from the " << from->width << " x " << from->height << " list\n";
    return 0;
}

int runImageList(const QStringList &args, zorcc::Io &io)
{
    if (args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("missing verb")};
    const QString verb = args[0];
    const QStringList rest = args.mid(1);
    if (verb == u"info")
        return info(rest, io);
    if (verb == u"pack")
        return pack(rest, io);
    if (verb == u"unpack")
        return unpack(rest, io);
    if (verb == u"scale")
        return scale(rest, io);
    throw zorcc::UsageError{QStringLiteral("unknown verb '%1'").arg(verb)};
}

} // namespace

ZORCC_COMMAND({QStringLiteral("imagelist"), QStringLiteral("pack, unpack, inspect and rescale image list files"),
               QStringLiteral(
                   "usage: zorcc imagelist pack <out> <icon folder>...\n"
                   "       zorcc imagelist unpack <file> <out folder>\n"
                   "       zorcc imagelist info [--json] <file>\n"
                   "       zorcc imagelist scale <in> <out> --size N|WxH [--sharp]\n\n"
                   "An image list file holds one list (it starts with TPF0) or a set of lists of\n"
                   "different sizes.\n"
                   "pack    one list per folder (its raster pictures in name order, at the size of the\n"
                   "        first) into a set file; two folders of the same size are refused.\n"
                   "unpack  every image as <out folder>/<W>x<H>/NNN.png.\n"
                   "info    the lists, their image size and count; damaged blocks are reported.\n"
                   "scale   a list at the new size, resampled (--sharp: nearest pixel) from the\n"
                   "        smallest list at least that large; a set gains it, a single list is replaced."),
               runImageList});
