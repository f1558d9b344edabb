#include "ImageListUtils.h"

#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>
#include <ZorCompCore/platform/Stream.h>

#include "HiDPI.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <cstdlib>

namespace zor {

namespace {

constexpr char kSignature[4] = {'T', 'P', 'F', '0'};
constexpr quint8 kValueBinary = 10;

class TImgListWriter final : public TFiler
{
public:
    explicit TImgListWriter(TStream &s) : FStream(s) {}
    void DefineBinaryProperty(const QString &Name, const TStreamProc &, const TStreamProc &WriteData,
                              bool HasData) override
    {
        if (!HasData)
            return;
        TMemoryStream data;
        WriteData(data);
        const QByteArray name = Name.toLatin1().left(255);
        const quint8 len = quint8(name.size());
        FStream.WriteBuffer(&len, 1);
        FStream.WriteBuffer(name.constData(), name.size());
        FStream.WriteBuffer(&kValueBinary, 1);
        char size[4];
        qToLittleEndian(quint32(data.Size()), size);
        FStream.WriteBuffer(size, 4);
        FStream.WriteBuffer(data.Memory(), data.Size());
    }

private:
    TStream &FStream;
};

// Reads one property record and hands its bytes to the list's definition.
class TImgListReader final : public TFiler
{
public:
    explicit TImgListReader(TStream &s) : FStream(s) {}

    void ReadProperty(TImageList &List)
    {
        quint8 len = 0;
        FStream.ReadBuffer(&len, 1);
        QByteArray name(len, '\0');
        FStream.ReadBuffer(name.data(), len);
        FName = QString::fromLatin1(name);
        FFound = false;
        List.DefineProperties(*this);
        if (!FFound)
            throw EReadError(QStringLiteral("Property %1 does not exist").arg(FName));
    }

    void DefineBinaryProperty(const QString &Name, const TStreamProc &ReadData, const TStreamProc &,
                              bool) override
    {
        if (FFound || Name.compare(FName, Qt::CaseInsensitive) != 0)
            return;
        FFound = true;
        quint8 type = 0;
        FStream.ReadBuffer(&type, 1);
        if (type != kValueBinary)
            throw EReadError(QStringLiteral("Invalid property value"));
        char size[4];
        FStream.ReadBuffer(size, 4);
        const quint32 n = qFromLittleEndian<quint32>(size);
        // Bounded by the bytes left: a hostile length must not drive the allocation.
        if (qint64(n) > FStream.Size() - FStream.Position())
            throw EReadError(QStringLiteral("Stream read error"));
        TMemoryStream data;
        data.CopyFrom(FStream, n);
        data.SetPosition(0);
        ReadData(data);
    }

private:
    TStream &FStream;
    QString FName;
    bool FFound = false;
};

QByteArray SaveBytes(const std::function<void(TStream &)> &save)
{
    TMemoryStream m;
    save(m);
    return m.ToBytes();
}

void SaveFile(const QString &FileName, const QByteArray &data)
{
    if (!CanOpenFile(FileName, fmCreate))
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". The file is in use").arg(FileName));
    QString error;
    if (!WriteFileAtomically(FileName, data, &error))
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(FileName, error));
}

} // namespace

void TImageListStore::SaveToStream(TImageList *List, TStream &Stream)
{
    Stream.WriteBuffer(kSignature, 4);
    TImgListWriter writer(Stream);
    List->DefineProperties(writer);
}

void TImageListStore::LoadFromStream(TImageList *List, TStream &Stream)
{
    List->BeginUpdate();
    try {
        List->Clear();
        char sig[4] = {};
        if (Stream.Read(sig, 4) != 4 || QByteArray(sig, 4) != QByteArray(kSignature, 4))
            throw EReadError(QStringLiteral("Invalid stream format"));
        TImgListReader reader(Stream);
        while (Stream.Position() < Stream.Size())
            reader.ReadProperty(*List);
    } catch (...) {
        List->EndUpdate();
        throw;
    }
    List->EndUpdate();
}

void TImageListStore::SaveToFile(TImageList *List, const QString &FileName)
{
    SaveFile(FileName, SaveBytes([&](TStream &s) { SaveToStream(List, s); }));
}

void TImageListStore::LoadFromFile(TImageList *List, const QString &FileName)
{
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(List, file);
}

void TImageListStore::SaveToSetStream(const QList<TImageList *> &Lists, TStream &Stream)
{
    TStreamHelper helper(&Stream);
    helper.WriteInteger(qint32(Lists.size()));
    for (TImageList *list : Lists) {
        TMemoryStream block;
        SaveToStream(list, block);
        block.SetPosition(0);
        helper.WriteInteger(list->Width());
        helper.WriteInteger(list->Height());
        helper.WriteStream(block);
    }
}

int TImageListStore::ReadSet(TStream &Stream, const std::function<void(int, int, TStream &)> &Record)
{
    TStreamHelper helper(&Stream);
    const qint32 count = helper.ReadInteger();
    int read = 0;
    // A count larger than the records present ends with the data.
    for (qint32 i = 0; i < count && Stream.Position() < Stream.Size(); ++i) {
        const int w = helper.ReadInteger();
        const int h = helper.ReadInteger();
        TMemoryStream block;
        helper.ReadStream(block);
        block.SetPosition(0);
        ++read;
        if (Record)
            Record(w, h, block);
    }
    return read;
}

void TImageListStore::LoadFromSetStream(const QList<TImageList *> &Lists, TStream &Stream)
{
    ReadSet(Stream, [&](int w, int h, TStream &block) {
        const int index = FindListIndexByDim(Lists, w, h);
        if (index >= 0 && block.Size() > 0)
            LoadFromStream(Lists[index], block);
    });
}

void TImageListStore::SaveToSetFile(const QList<TImageList *> &Lists, const QString &FileName)
{
    SaveFile(FileName, SaveBytes([&](TStream &s) { SaveToSetStream(Lists, s); }));
}

void TImageListStore::LoadFromSetFile(const QList<TImageList *> &Lists, const QString &FileName)
{
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromSetStream(Lists, file);
}

int TImageListStore::FindListIndexByDim(const QList<TImageList *> &Lists, int Width, int Height)
{
    for (int i = 0; i < Lists.size(); ++i)
        if (Lists[i] && Lists[i]->Width() == Width && Lists[i]->Height() == Height)
            return i;
    return -1;
}

QImage TImageListUtils::Resized(const QImage &Image, int Width, int Height, bool Smooth)
{
    const QImage source = Image.convertToFormat(QImage::Format_ARGB32);
    if (source.size() == QSize(Width, Height))
        return source;
    if (Smooth)
        return source.scaled(Width, Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage target(Width, Height, QImage::Format_ARGB32);
    target.fill(Qt::transparent);
    QPainter p(&target);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(target.rect(), source);
    return target;
}

void TImageListUtils::ScaleImageListImages(TImageList *List, int NewWidth, int NewHeight, bool Smooth,
                                           const TImageList *Source)
{
    if (!List || (List->Width() == NewWidth && List->Height() == NewHeight))
        return;
    // The list is cleared below, so its own images are taken from a copy.
    QList<QImage> images;
    const TImageList *from = Source && Source != List ? Source : List;
    for (int i = 0; i < from->Count(); ++i)
        images << from->Image(i);
    List->BeginUpdate();
    try {
        List->Clear();
        List->SetSourceDPI(ScreenPPI());
        List->SetSize(NewWidth, NewHeight);
        for (const QImage &image : images)
            List->Add(Resized(image, List->Width(), List->Height(), Smooth));
    } catch (...) {
        List->EndUpdate();
        throw;
    }
    List->EndUpdate();
}

int TImageListUtils::AddIconScaled(const QIcon &Icon, TImageList *List, bool Smooth)
{
    if (!List)
        return -1;
    const int width = List->Width();
    QSize size(width, List->Height());
    const QList<QSize> sizes = Icon.availableSizes();
    if (!sizes.isEmpty()) {
        size = sizes.first();
        for (const QSize &s : sizes)
            if (std::abs(s.width() - width) < std::abs(size.width() - width))
                size = s;
    }
    // A pixmap at device pixel ratio 1: the list holds pixels, not points.
    QImage image = Icon.pixmap(size, 1.0).toImage();
    if (image.isNull())
        return -1;
    if (image.width() != width)
        image = Resized(image, width, List->Height(), Smooth);
    return List->Add(image);
}

} // namespace zor
