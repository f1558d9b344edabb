#include "Zip_p.h"

#include <zip.h>

namespace zor::sheet_detail {

namespace {
// A part that unpacks to more than this many times its packed size, above
// a few megabytes, is treated as a zip bomb.
constexpr qint64 MaxRatio = 200;
constexpr qint64 RatioFloor = 8 << 20;
} // namespace

ZipReader::~ZipReader()
{
    if (zip_)
        zip_discard(static_cast<zip_t *>(zip_));
}

bool ZipReader::Open(const QByteArray &data, QString &error)
{
    if (data.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"))) {
        error = QStringLiteral("This is a binary .xls workbook, which is not supported: save it as .xlsx or .ods");
        return false;
    }
    if (!data.startsWith("PK")) {
        error = QStringLiteral("Not a zip container");
        return false;
    }
    data_ = data;
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t *src = zip_source_buffer_create(data_.constData(), zip_uint64_t(data_.size()), 0, &ze);
    if (!src) {
        error = QStringLiteral("Cannot read the zip container");
        zip_error_fini(&ze);
        return false;
    }
    zip_t *za = zip_open_from_source(src, ZIP_RDONLY, &ze);
    if (!za) {
        error = QStringLiteral("Damaged zip container: %1").arg(QString::fromUtf8(zip_error_strerror(&ze)));
        zip_source_free(src);
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);
    zip_ = za;
    return true;
}

QStringList ZipReader::Names() const
{
    QStringList r;
    if (!zip_)
        return r;
    auto *za = static_cast<zip_t *>(zip_);
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i)
        if (const char *name = zip_get_name(za, zip_uint64_t(i), 0))
            r << QString::fromUtf8(name);
    return r;
}

bool ZipReader::Contains(const QString &name) const
{
    return zip_ && zip_name_locate(static_cast<zip_t *>(zip_), name.toUtf8().constData(), 0) >= 0;
}

bool ZipReader::Read(const QString &name, QByteArray &out, QString &error)
{
    out.clear();
    auto *za = static_cast<zip_t *>(zip_);
    if (!za) {
        error = QStringLiteral("No archive");
        return false;
    }
    const zip_int64_t idx = zip_name_locate(za, name.toUtf8().constData(), 0);
    if (idx < 0) {
        error = QStringLiteral("Missing part %1").arg(name);
        return false;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za, zip_uint64_t(idx), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
        error = QStringLiteral("Damaged part %1").arg(name);
        return false;
    }
    const qint64 declared = qint64(std::min<zip_uint64_t>(st.size, zip_uint64_t(MaxPartSize) + 1));
    const qint64 packed = (st.valid & ZIP_STAT_COMP_SIZE) ? qint64(std::min<zip_uint64_t>(st.comp_size, 1ull << 40)) : declared;
    if (declared > MaxPartSize || unpacked_ + declared > MaxTotalSize ||
        (declared > RatioFloor && declared > packed * MaxRatio)) {
        error = QStringLiteral("Part %1 unpacks to too much data (zip bomb?)").arg(name);
        return false;
    }
    zip_file_t *f = zip_fopen_index(za, zip_uint64_t(idx), 0);
    if (!f) {
        error = QStringLiteral("Cannot open part %1: %2").arg(name, QString::fromUtf8(zip_strerror(za)));
        return false;
    }
    // Read no more than the size the directory declares, whatever the stream holds.
    out.resize(declared);
    qint64 got = 0;
    while (got < declared) {
        const zip_int64_t n = zip_fread(f, out.data() + got, zip_uint64_t(declared - got));
        if (n < 0) {
            zip_fclose(f);
            out.clear();
            error = QStringLiteral("Damaged part %1").arg(name);
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    zip_fclose(f);
    out.resize(got);
    unpacked_ += got;
    return true;
}

void ZipWriter::Add(const QString &name, const QByteArray &data, bool stored)
{
    parts_.emplace_back(name, data);
    stored_.push_back(stored);
}

bool ZipWriter::Finish(QByteArray &out, QString &error)
{
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t *src = zip_source_buffer_create(nullptr, 0, 0, &ze);
    if (!src) {
        error = QStringLiteral("Cannot create a zip container");
        return false;
    }
    zip_source_keep(src);
    zip_t *za = zip_open_from_source(src, ZIP_TRUNCATE, &ze);
    zip_error_fini(&ze);
    if (!za) {
        zip_source_free(src);
        error = QStringLiteral("Cannot create a zip container");
        return false;
    }
    bool ok = true;
    for (size_t i = 0; i < parts_.size() && ok; ++i) {
        const QByteArray &bytes = parts_[i].second;
        zip_source_t *s = zip_source_buffer(za, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        const zip_int64_t idx = s ? zip_file_add(za, parts_[i].first.toUtf8().constData(), s, ZIP_FL_ENC_UTF_8) : -1;
        if (idx < 0) {
            if (s)
                zip_source_free(s);
            ok = false;
            break;
        }
        zip_set_file_compression(za, zip_uint64_t(idx), stored_[i] ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
        // Fixed times keep the output of one book the same from run to run.
        zip_file_set_dostime(za, zip_uint64_t(idx), 0, (2020 - 1980) << 9 | 1 << 5 | 1, 0);
    }
    if (!ok || zip_close(za) != 0) {
        error = QStringLiteral("Cannot write the zip container: %1").arg(QString::fromUtf8(zip_strerror(za)));
        zip_discard(za);
        zip_source_free(src);
        return false;
    }
    out.clear();
    if (zip_source_open(src) == 0) {
        zip_source_seek(src, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(src);
        zip_source_seek(src, 0, SEEK_SET);
        if (size > 0) {
            out.resize(qsizetype(size));
            const zip_int64_t n = zip_source_read(src, out.data(), zip_uint64_t(size));
            out.resize(qsizetype(std::max<zip_int64_t>(n, 0)));
        }
        zip_source_close(src);
    }
    zip_source_free(src);
    if (out.isEmpty()) {
        error = QStringLiteral("Cannot write the zip container");
        return false;
    }
    return true;
}

} // namespace zor::sheet_detail
