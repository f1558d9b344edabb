// HTML export of a TWPDocument: UTF-8, one CSS class per named style, inline
// styles for what differs from it, tables with colspan/rowspan, lists as
// <ul>/<ol>, links, fields as they show; hidden text is left out. Footnotes
// follow the text in a <div class="wp-footnotes">, each note a <div
// class="wp-footnote" id="wpfnN">; references link there (class wp-fnref,
// the first one with id "wpfnrefN"), the note's mark links back (wp-fnmark).
//
// Descendants change the output through the virtual hooks (header, style
// sheet, paragraph start and end) and claim format names through
// UseForFilterName. Pictures go through OnImage, which returns the src to
// write (a file it saved, say); without it they are inlined as data: URIs.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

class QTextBlock;

namespace zor {

class TWPDocument;
struct TWPPicture;

struct TWPHTMLImage
{
    const TWPPicture *Picture = nullptr; // bytes as read; null for a bare image
    QImage Image;                        // as shown
    QString Extension;                   // "png", "jpg", "emf" …
};

class TWPHTMLWriterPrivate;

class ZOR_EXPORT TWPHTMLWriter
{
public:
    TWPHTMLWriter();
    virtual ~TWPHTMLWriter();
    TWPHTMLWriter(const TWPHTMLWriter &) = delete;
    TWPHTMLWriter &operator=(const TWPHTMLWriter &) = delete;

    // True when this writer serves the format name (options stripped),
    // compared case-insensitively: "HTML" for this class.
    virtual bool UseForFilterName(const QString &name) const;

    // Options as in format names: "-onlybody", "-nopageinfo",
    // "-usedefaultfont", separated by commas; unknown ones are ignored.
    void SetOptions(const QString &options);
    bool OnlyBody() const;
    bool NoPageInfo() const;
    bool UseDefaultFont() const;

    std::function<QString(const TWPHTMLImage &)> OnImage;

    QString Write(const TWPDocument &doc);

protected:
    virtual bool HasStyleSheet() const;
    virtual void WriteStyleSheet();
    virtual void WriteHeader();
    virtual void WriteParagraphStart(const QTextBlock &block);
    virtual void WriteParagraphEnd(const QTextBlock &block);

    // For the hooks: append to the output; the document being written.
    void Out(const QString &text);
    const TWPDocument &Document() const;
    // CSS declarations of a style's text form ("font-weight:bold;…").
    static QString StyleTextToCss(const QString &styleText);
    static QString CssClassName(const QString &styleName);

private:
    std::unique_ptr<TWPHTMLWriterPrivate> d;
};

// &, <, >, " as entities.
ZOR_EXPORT QString HtmlEscape(const QString &text);

} // namespace zor
