#include "QEWPHTMLWriter.h"

#include "RtfEdit.h"

#include <QFont>
#include <QTextDocument>

#include <atomic>

namespace zor {

namespace {

// What the page background is read with: a value no colour can have, so a
// stored white still writes its rule.
constexpr TColor kNoPageColor = 0x1FFFFFFF;

std::atomic<bool> g_registered{false};
std::atomic<bool> g_inService{false};

// The document's default font as the writer names it: its own family and
// size when it sets them, the engine's otherwise.
QString fontName(const QFont &f)
{
    return (f.resolveMask() & QFont::FamiliesResolved) && !f.families().isEmpty()
                   && !f.families().first().isEmpty()
               ? f.families().first()
           : (f.resolveMask() & QFont::FamilyResolved) && !f.family().isEmpty() ? f.family()
                                                                               : WPDefaultFontName();
}

qreal fontSize(const QFont &f)
{
    return (f.resolveMask() & QFont::SizeResolved) && f.pointSizeF() > 0 ? f.pointSizeF()
                                                                        : WPDefaultFontSize();
}

} // namespace

QString WPDefaultFontName()
{
    return QStringLiteral("Arial");
}

qreal WPDefaultFontSize()
{
    return 11;
}

bool TQEWPHTMLWriter::UseForFilterName(const QString &name) const
{
    return name.compare(u"TQEWPHTMLWriter", Qt::CaseInsensitive) == 0;
}

QString TQEWPHTMLWriter::GetHTMLColorStyleElement(TColor color, const QString &name)
{
    const auto hex = [](quint32 byte) { return QString::number(byte | 0x100, 16).mid(1).toUpper(); };
    QString value;
    if (const quint32 high = color >> 24)
        value = hex(high);
    value += hex(color & 0xFF) + hex((color >> 8) & 0xFF) + hex((color >> 16) & 0xFF);
    return u"%1: #%2;"_qs.arg(name, value);
}

bool TQEWPHTMLWriter::HasStyleSheet() const
{
    return true;
}

void TQEWPHTMLWriter::WriteStyleSheet()
{
    TWPHTMLWriter::WriteStyleSheet();
    WriteLinkStyleSheet();
    WritePageBackgroundStyleSheet();
}

void TQEWPHTMLWriter::WriteHeader()
{
    TWPHTMLWriter::WriteHeader();
}

void TQEWPHTMLWriter::WriteParagraphStart(const QTextBlock &block)
{
    TWPHTMLWriter::WriteParagraphStart(block);
}

void TQEWPHTMLWriter::WriteParagraphEnd(const QTextBlock &block)
{
    TWPHTMLWriter::WriteParagraphEnd(block);
}

void TQEWPHTMLWriter::WriteLinkStyleSheet()
{
    for (const char *selector : {"a", "a:visited", "a:hover"})
        WriteDefaultStyleElement(QString::fromLatin1(selector));
}

void TQEWPHTMLWriter::WritePageBackgroundStyleSheet()
{
    const TColor color = GetRTFDataColorValue(Document(), u"page-background-color"_qs, kNoPageColor);
    if (color == kNoPageColor)
        return;
    const QFont f = Document().Text()->defaultFont();
    Out(u"body { font-family:"_qs + fontName(f) + u";font-size:"_qs + QString::number(fontSize(f))
        + u"pt;"_qs + GetHTMLColorStyleElement(color, u"background"_qs) + u" }\r\n"_qs);
}

void TQEWPHTMLWriter::WriteDefaultStyleElement(const QString &selector)
{
    // The document model has no default text colour: text is black unless
    // its runs say otherwise.
    const TColor color = 0;
    const QFont f = Document().Text()->defaultFont();
    Out(selector + u" { font-family:"_qs + fontName(f) + u";font-size:"_qs + QString::number(fontSize(f))
        + u"pt;"_qs + GetHTMLColorStyleElement(color, u"color"_qs) + u" }\r\n"_qs);
}

namespace detail {

void QEWPHTMLWriterStartup()
{
    g_inService = true;
    if (g_registered.exchange(true))
        return;
    TWPToolsEnviroment::Global().RegisterHTMLWriter([]() -> std::unique_ptr<TWPHTMLWriter> {
        if (!g_inService)
            return nullptr;
        return std::make_unique<TQEWPHTMLWriter>();
    });
}

void QEWPHTMLWriterShutdown()
{
    g_inService = false;
}

} // namespace detail

} // namespace zor
