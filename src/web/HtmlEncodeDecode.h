// THTMLUtils: the small HTML text conversions mail and editor code needs.
// Entity encoding and decoding go by two fixed tables, not by the full HTML
// reference list: 18 names (auml, euro, amp, ...) used only when names are
// allowed, and 88 numeric references. The numeric table keeps two old
// choices that callers depend on: "&#160;" stands for a plain blank (U+0020,
// not a no-break space) and the trade mark sign is written "&#153;" (its
// Windows-1252 position, not &#8482;). Decoding replaces whole references
// pass by pass in table order, so "&amp;lt;" decodes all the way to "<".
//
// Charsets: GetHTMLCharSet reads the value of the first "charset=" followed
// by a quote, as in content="text/html; charset=utf-8"; the short form
// charset="utf-8" gives an empty result, and the default passed in is not
// used. EncodeByCharset goes through the ANSI code page on its way to the
// named charset, so characters that code page lacks come out as '?' even
// when the target could hold them.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace zor {

class ZOR_EXPORT THTMLUtils
{
public:
    // A blank that starts the text or follows a blank becomes "&nbsp;" (runs
    // keep their width); other characters of the tables become references,
    // by name when AAllowEntities and the name table has them.
    static QString HtmlEncode(const QString &Data, bool AAllowEntities);
    // Named references of the table, then its numeric ones, then "&nbsp;"
    // (as a blank); case-sensitive, unknown references stay as written.
    static QString HtmlDecode(const QString &aStr);

    // Paragraphs from lines: non-empty lines join (encoded, names allowed)
    // inside one "<p>", an empty line closes it; AIncludeVisualCrLf puts a
    // CR LF after each "</p>".
    static QString ConvertTextToHTML(const QString &AText, bool AIncludeVisualCrLf);
    // What a reader sees of AHTML: the document's inner text.
    static QString ConvertHTMLToText(const QString &AHTML);
    // Drops <p> and </p>, turns <br> and <br/> into CR LF and &nbsp; into a blank.
    static QString ConvertHTMLToSimpleHTML(const QString &S);
    // CR LF becomes "<br/>", then each pair of blanks " &nbsp;".
    static QString ConvertSimpleHTMLToHTML(const QString &S);
    // The text between the body tag and "</body>" (tags found ignoring
    // ASCII case); AHTML itself when it has no such pair.
    static QString ExtractBodyPartFromHTML(const QString &AHTML);

    // Index of the first of ACharSet[0..High] equal to AChar, else -1
    // (High beyond the set counts as its last element).
    static int PosIsInCharSet(QChar AChar, QStringView ACharSet, int High);

    // The charset the text declares, or empty (see above; ADefault is unused).
    static QString GetHTMLCharSet(const QString &S, const QString &ADefault);
    static bool GetHasHTMLCharSet(const QString &S);
    // S in ACharSet by way of the ANSI code page; an empty or unknown
    // charset gives the ANSI bytes themselves.
    static QByteArray EncodeByCharset(const QString &S, const QString &ACharSet);
    // S in the charset its own meta tag declares; the ANSI code page when
    // it declares none.
    static QByteArray EncodeHTMLByOwnCharset(const QString &S);
};

namespace detail {
// Shut-down action of the module: frees the reference texts built from the
// entity tables (they are built again on next use).
ZOR_EXPORT void HtmlEncodeDecodeShutdown();
} // namespace detail

} // namespace zor
