#pragma once

// An HTML document with its styles: the node tree of THtmlNode plus the
// style sheet its <style> elements make, looked up by class, and the inline
// style of each element, read and edited one declaration at a time.
//
// The style sheet follows the tree: it is read again whenever the text of
// the style elements differs from what it was read from. With SharedStyles
// (the default) documents whose style elements hold the same text share one
// parsed sheet, process-wide; a document that must not share (an editor's)
// switches it off and keeps a sheet of its own.
//
// Inline style edits rewrite only the declaration they touch: a changed value
// replaces the old value where it stands, a new declaration goes to the end.

#include <ZorCompCore/html/HtCSS.h>
#include <ZorCompCore/html/HtmlNode.h>

#include <memory>

namespace zor {

class ZOR_EXPORT THtDocument : public THtmlNode
{
public:
    THtDocument();
    ~THtDocument() override;

    bool SharedStyles() const { return m_sharedStyles; }
    void SetSharedStyles(bool shared);

    /// The first body element; null when there is none.
    THtmlNode *Body() const;

    /// The style sheet of the style elements, in document order.
    const TCSSStyleSheet &StyleSheet() const;
    /// The first section of class \a name; null for none.
    const TCSSSection *FindCSSClass(const QString &name) const;

    /// The value of \a property in \a element's style attribute as written
    /// (the declaration that counts, without "!important"); empty when the
    /// element does not declare it.
    static QString GetInlineStyle(const THtmlNode *element, QStringView property);
    /// Sets \a property to \a value (as CSS text) in \a element's style.
    static void SetInlineStyle(THtmlNode *element, const QString &property, const QString &value);
    /// Takes every declaration of \a property out of \a element's style, and
    /// the attribute too when nothing but blanks is left; false when there
    /// was none.
    static bool RemoveInlineStyle(THtmlNode *element, QStringView property);
    /// The colour \a property of \a element's inline style names; false
    /// when it names none.
    static bool GetInlineStyleColor(const THtmlNode *element, QStringView property, quint32 &color);

private:
    bool m_sharedStyles = true;
    mutable QString m_styleText;
    mutable std::shared_ptr<const TCSSStyleSheet> m_sheet;
};

} // namespace zor
