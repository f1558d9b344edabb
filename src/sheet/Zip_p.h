// Zip containers in memory over libzip, with the limits a reader of outside
// files needs. Not part of the public API.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace zor::sheet_detail {

// One part may unpack to at most this, all parts together to MaxTotalSize.
constexpr qint64 MaxPartSize = 256ll << 20;
constexpr qint64 MaxTotalSize = 1ll << 30;

class ZipReader
{
public:
    ZipReader() = default;
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    // False with a message when the data is no zip archive (or an .xls file).
    bool Open(const QByteArray &data, QString &error);
    QStringList Names() const;
    bool Contains(const QString &name) const;
    // The part's bytes; false with a message when it is missing, damaged or too big.
    bool Read(const QString &name, QByteArray &out, QString &error);

private:
    QByteArray data_;
    void *zip_ = nullptr;
    void *source_ = nullptr;
    qint64 unpacked_ = 0;
};

class ZipWriter
{
public:
    // stored: kept uncompressed (an .ods "mimetype" must be, and first)
    void Add(const QString &name, const QByteArray &data, bool stored = false);
    bool Finish(QByteArray &out, QString &error);

private:
    std::vector<std::pair<QString, QByteArray>> parts_;
    std::vector<bool> stored_;
};

} // namespace zor::sheet_detail
