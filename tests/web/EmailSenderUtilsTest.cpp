#include <ZorCompCore/web/EmailSenderUtils.h>

#include "TestUtil.h"

TEST(EmailSenderUtils, GraphicTypeByExtension)
{
    const struct
    {
        const char *file, *type;
    } cases[] = {
        {"photo.jpg", "image/jpeg"},       {"PHOTO.JPEG", "image/jpeg"},
        {"anim.Gif", "image/gif"},         {"logo.png", "image/png"},
        {"icon.svg", "image/svg+xml"},     {"old.bmp", "image/bmp"},
        {"scan.tiff", "image/tiff"},       {"scan.TIF", "image/tiff"},
        {"print.eps", "application/postscript"}, {"doc.pdf", "application/pdf"},
        {"C:\\images\\x.y\\a.png", "image/png"}, {"archive.tar.png", "image/png"},
        {"new.webp", "application/octet-stream"}, {"README", "application/octet-stream"},
        {"dir.png/file", "application/octet-stream"}, {"dir.png\\file", "application/octet-stream"},
        {"trailing.", "application/octet-stream"}, {"png", "application/octet-stream"},
        {"", "application/octet-stream"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(zor::TEmailSenderUtils::GetGraphicTypeForInlineImage(QString::fromUtf8(c.file)),
                  QString::fromLatin1(c.type));
    }
}
