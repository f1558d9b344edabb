#include <ZorCompCore/web/EmailSenderUtils.h>

#include <algorithm>

namespace zor {

namespace {

struct GraphicType
{
    const char16_t *Ext;
    const char *Type;
};

constexpr GraphicType kGraphicTypes[] = {
    {u".jpg", "image/jpeg"}, {u".jpeg", "image/jpeg"},   {u".gif", "image/gif"},
    {u".png", "image/png"},  {u".svg", "image/svg+xml"}, {u".bmp", "image/bmp"},
    {u".tiff", "image/tiff"}, {u".tif", "image/tiff"},   {u".eps", "application/postscript"},
    {u".pdf", "application/pdf"},
};

// ".ext" of the last path component, "" when it has no dot.
QString fileExt(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const qsizetype sep = std::max(fileName.lastIndexOf(u'\\'), fileName.lastIndexOf(u'/'));
    return dot > sep ? fileName.mid(dot) : QString();
}

} // namespace

QString TEmailSenderUtils::GetGraphicTypeForInlineImage(const QString &aFileName)
{
    const QString ext = fileExt(aFileName).toLower();
    for (const GraphicType &g : kGraphicTypes)
        if (ext == QStringView(g.Ext))
            return QLatin1StringView(g.Type);
    return QStringLiteral("application/octet-stream");
}

} // namespace zor
