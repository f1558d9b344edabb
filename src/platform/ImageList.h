// TImageList: a list of images of one size, held as ARGB pixels, with the
// design DPI of its images (SourceDPI, 96 unless set) and a change event.
//
// Its stored form is one binary property "Bitmap" in the component-stream
// framing that TFiler describes. The property's bytes are this library's own:
//   u32 magic "ZIL1" | u32 version (1) | u32 width | u32 height | u32 count |
//   u32 columns | PNG sheet
// all little-endian; the PNG is a grid of columns x ceil(count / columns)
// cells of width x height, image i at row i / columns, column i % columns.
// The sheet's size is checked against the header before it is decoded.
#pragma once

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace zor {

class TStream;

// Lets a component define the binary properties it stores: a writer asks
// for their data, a reader hands the data of the property it met.
class ZOR_EXPORT TFiler
{
public:
    using TStreamProc = std::function<void(TStream &)>;
    virtual ~TFiler();
    // ReadData gets a stream of exactly the property's bytes; WriteData
    // writes them. HasData false: the writer leaves the property out.
    virtual void DefineBinaryProperty(const QString &Name, const TStreamProc &ReadData,
                                      const TStreamProc &WriteData, bool HasData) = 0;
};

class ZOR_EXPORT TImageList : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(int Width READ Width WRITE SetWidth NOTIFY Changed)
    Q_PROPERTY(int Height READ Height WRITE SetHeight NOTIFY Changed)
    Q_PROPERTY(int SourceDPI READ SourceDPI WRITE SetSourceDPI)
public:
    explicit TImageList(QObject *AOwner = nullptr);
    ~TImageList() override;

    int Width() const;
    int Height() const;
    // A new size clears the list (its images no longer fit).
    void SetWidth(int AValue);
    void SetHeight(int AValue);
    void SetSize(int AWidth, int AHeight);
    int SourceDPI() const;
    void SetSourceDPI(int AValue);

    int Count() const;
    // Images are stored at the list's size (scaled smoothly when they differ)
    // as ARGB32. Add returns the new index.
    int Add(const QImage &AImage);
    void Insert(int AIndex, const QImage &AImage);
    void Replace(int AIndex, const QImage &AImage);
    void Delete(int AIndex);
    void Clear();
    QImage Image(int AIndex) const;        // null when out of range

    // Changes inside an update send one OnChange at the outermost EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    std::function<void(TImageList *)> OnChange;

    // The stored properties: "Bitmap" (see the header comment).
    virtual void DefineProperties(TFiler &Filer);

    // The "Bitmap" bytes; ReadBitmapData raises EReadError for damaged data
    // and leaves the list unchanged then.
    QByteArray BitmapData() const;
    void ReadBitmapData(const QByteArray &AData);

Q_SIGNALS:
    void Changed();

private:
    void DoChange();
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
