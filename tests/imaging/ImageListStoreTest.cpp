#include <ZorCompCore/imaging/ImageListUtils.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>
#include <ZorCompCore/platform/Stream.h>

#include "TestUtil.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <memory>

using namespace zor;

namespace {

std::unique_ptr<TImageList> MakeList(int size, int count, int seed = 0)
{
    auto list = std::make_unique<TImageList>();
    list->SetSize(size, size);
    for (int i = 0; i < count; ++i) {
        QImage img(size, size, QImage::Format_ARGB32);
        img.fill(QColor::fromHsv((seed * 40 + i * 70) % 360, 255, 255, 200));
        list->Add(img);
    }
    return list;
}

QByteArray Saved(TImageList *list)
{
    TMemoryStream s;
    TImageListStore::SaveToStream(list, s);
    return s.ToBytes();
}

QString LoadError(TImageList *list, const QByteArray &bytes)
{
    TBytesStream s(bytes);
    try {
        TImageListStore::LoadFromStream(list, s);
    } catch (const EReadError &e) {
        return e.Message();
    }
    return QStringLiteral("no error");
}

TEST(ImageListStore, FramingIsExactAndRoundTripsToTheByte)
{
    auto list = MakeList(16, 3);
    const QByteArray bytes = Saved(list.get());
    const QByteArray bitmap = list->BitmapData();
    // "TPF0", "Bitmap" as a short string, value type 10, 32-bit length, data.
    QByteArray expected = QByteArray("TPF0\x06" "Bitmap\x0A", 12);
    char len[4];
    qToLittleEndian(quint32(bitmap.size()), len);
    expected.append(len, 4).append(bitmap);
    EXPECT_EQ(bytes, expected);

    TImageList back;
    TBytesStream in(bytes);
    TImageListStore::LoadFromStream(&back, in);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back.Image(2), list->Image(2));
    EXPECT_EQ(Saved(&back), bytes);

    // An empty list writes no property at all.
    TImageList empty;
    EXPECT_EQ(Saved(&empty), QByteArray("TPF0"));
}

TEST(ImageListStore, BadStreamsRaiseTheReaderErrors)
{
    auto source = MakeList(16, 2);
    const QByteArray good = Saved(source.get());

    auto list = MakeList(16, 4);
    EXPECT_EQ(LoadError(list.get(), "TPF1" + good.mid(4)), QStringLiteral("Invalid stream format"));
    EXPECT_EQ(list->Count(), 0); // cleared before the signature was read

    QByteArray other = good;
    other.replace(5, 6, "Pixels");
    EXPECT_EQ(LoadError(list.get(), other), QStringLiteral("Property Pixels does not exist"));

    // A length past the data is the stream's read error, without allocating it.
    QByteArray longer = good;
    qToLittleEndian(quint32(0x7FFFFFF0), longer.data() + 12);
    EXPECT_EQ(LoadError(list.get(), longer), QStringLiteral("Stream read error"));
    EXPECT_EQ(LoadError(list.get(), good.left(good.size() - 1)), QStringLiteral("Stream read error"));
    EXPECT_EQ(LoadError(list.get(), good.left(8)), QStringLiteral("Stream read error"));

    QByteArray notBinary = good;
    notBinary[11] = 6;
    EXPECT_EQ(LoadError(list.get(), notBinary), QStringLiteral("Invalid property value"));

    EXPECT_EQ(LoadError(list.get(), good), QStringLiteral("no error"));
    EXPECT_EQ(list->Count(), 2);
}

TEST(ImageListStore, SetsRestoreIntoTheListsOfTheirSizes)
{
    auto l16 = MakeList(16, 2, 1), l24 = MakeList(24, 3, 2), l32 = MakeList(32, 1, 3);
    TMemoryStream set;
    TImageListStore::SaveToSetStream({l16.get(), l24.get(), l32.get()}, set);

    std::vector<std::tuple<int, int, qint64>> records;
    set.SetPosition(0);
    EXPECT_EQ(TImageListStore::ReadSet(set, [&](int w, int h, TStream &block) {
                  records.emplace_back(w, h, block.Size());
              }), 3);
    EXPECT_EQ(std::get<0>(records[1]), 24);
    EXPECT_EQ(std::get<2>(records[1]), Saved(l24.get()).size());

    // 24 and 16 only, plus an unrelated 48 list and a second 24 list.
    auto a24 = MakeList(24, 0), b24 = MakeList(24, 1, 9), a16 = MakeList(16, 5), a48 = MakeList(48, 2);
    set.SetPosition(0);
    TImageListStore::LoadFromSetStream({a48.get(), a24.get(), b24.get(), a16.get()}, set);
    EXPECT_EQ(a24->Count(), 3);
    EXPECT_EQ(a24->Image(1), l24->Image(1));
    EXPECT_EQ(b24->Count(), 1);   // only the first list of a size receives the record
    EXPECT_EQ(a16->Count(), 2);
    EXPECT_EQ(a48->Count(), 2);   // no record of its size: untouched
    EXPECT_EQ(TImageListStore::FindListIndexByDim({a48.get(), a24.get()}, 24, 24), 1);
    EXPECT_EQ(TImageListStore::FindListIndexByDim({a48.get(), a24.get()}, 24, 16), -1);
}

TEST(ImageListStore, ShortAndHostileSetsEndEarly)
{
    auto l16 = MakeList(16, 2), l24 = MakeList(24, 2);
    TMemoryStream set;
    TImageListStore::SaveToSetStream({l16.get(), l24.get()}, set);
    const QByteArray bytes = set.ToBytes();

    auto target = MakeList(16, 1);
    int changes = 0;
    target->OnChange = [&](TImageList *) { ++changes; };
    TBytesStream empty;
    TImageListStore::LoadFromSetStream({target.get()}, empty);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(target->Count(), 1);

    // A huge count with no records behind it ends at once.
    TBytesStream hostile(QByteArray("\xFF\xFF\xFF\x7F", 4));
    EXPECT_EQ(TImageListStore::ReadSet(hostile, {}), 0);

    // Cut inside the second block: the first record loads, then the block
    // length runs past the data.
    const int firstEnd = 4 + 12 + int(Saved(l16.get()).size());
    auto t16 = MakeList(16, 0), t24 = MakeList(24, 0);
    TBytesStream cut(bytes.left(firstEnd + 12 + 10));
    EXPECT_THROW(TImageListStore::LoadFromSetStream({t16.get(), t24.get()}, cut), EReadError);
    EXPECT_EQ(t16->Count(), 2);
    EXPECT_EQ(t24->Count(), 0);

    // A record with an empty block loads nothing.
    QByteArray zero = QByteArray::fromHex("01000000" "10000000" "10000000" "00000000");
    TBytesStream zs(zero);
    TImageListStore::LoadFromSetStream({target.get()}, zs);
    EXPECT_EQ(target->Count(), 1);
}

TEST(ImageListStore, FilesAreReplacedOnlyWhenNoOneHoldsThem)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("icons.zil"));
    auto list = MakeList(16, 2);
    TImageListStore::SaveToFile(list.get(), file);
    TImageList back;
    TImageListStore::LoadFromFile(&back, file);
    EXPECT_EQ(back.Count(), 2);

    const QByteArray before = [&] { QFile f(file); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    {
        TFileStream holder(file, fmOpenRead | fmShareExclusive);
        auto other = MakeList(16, 5);
        EXPECT_THROW(TImageListStore::SaveToFile(other.get(), file), EFCreateError);
    }
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);

    auto l16 = MakeList(16, 1), l32 = MakeList(32, 2);
    const QString setFile = dir.filePath(QStringLiteral("set.zis"));
    TImageListStore::SaveToSetFile({l16.get(), l32.get()}, setFile);
    auto r32 = MakeList(32, 0);
    TImageListStore::LoadFromSetFile({r32.get()}, setFile);
    EXPECT_EQ(r32->Count(), 2);
}

} // namespace
