// The library's HTML writer: the engine's writer plus style rules for links
// and for the page's background, taken from the document's default font and
// its colour item "page-background-color". It answers to its own class name
// as a format name ("TQEWPHTMLWriter", any case) and is registered with the
// engine's environment when the library starts.
#pragma once

#include <ZorCompCore/zor_export.h>

#include "Document.h"
#include "HtmlWriter.h"

namespace zor {

class ZOR_EXPORT TQEWPHTMLWriter : public TWPHTMLWriter
{
public:
    bool UseForFilterName(const QString &name) const override;

    // "color: #FF0000;" for red (0x0000FF): red, green and blue as upper-case
    // hex; a fourth byte that is not zero goes in front of them.
    static QString GetHTMLColorStyleElement(TColor color, const QString &name);

protected:
    bool HasStyleSheet() const override;
    // The engine's rules, then the links' and the page background's.
    void WriteStyleSheet() override;
    void WriteHeader() override;
    void WriteParagraphStart(const QTextBlock &block) override;
    void WriteParagraphEnd(const QTextBlock &block) override;

    // "a", "a:visited" and "a:hover" in the default font and colour.
    virtual void WriteLinkStyleSheet();
    // A body rule with the stored page colour; nothing when none is stored.
    virtual void WritePageBackgroundStyleSheet();
    // "<selector> { font-family:…;font-size:…pt;color: #…; }" and CR LF.
    virtual void WriteDefaultStyleElement(const QString &selector);
};

// The font the engine falls back on when a document names none.
ZOR_EXPORT QString WPDefaultFontName();
ZOR_EXPORT qreal WPDefaultFontSize();

namespace detail {
// Registers the writer with the engine's global environment; shut-down
// takes it out of service again (the registry keeps factories for good).
ZOR_EXPORT void QEWPHTMLWriterStartup();
ZOR_EXPORT void QEWPHTMLWriterShutdown();
} // namespace detail

} // namespace zor
