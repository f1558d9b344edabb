#pragma once

// Style sheets as the html engine reads them. The text is tokenized by the
// rules of CSS syntax (escapes, strings, url(), numbers with units, comments,
// error recovery at bad declarations), then gathered into sections: one per
// rule, holding its declarations in source order, each value split into
// typed component values. Classes are looked up through a dictionary of the
// selectors that end in ".name", in source order. At-rules (@media, @import,
// @font-face, ...) are skipped with their blocks: a document read without a
// medium has no use for them.
//
// Nothing here recurses: nesting depth of blocks and functions costs no stack.

#include <ZorCompCore/zor_export.h>

#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

namespace zor {

/// What a component value of a declaration is. The numbers are fixed: 7 and
/// 9 are the numeric kinds callers test for.
enum TCSSValueKind : int {
    cvkUnknown = 0,
    cvkIdent = 1,      ///< auto, red, png
    cvkString = 2,     ///< "text" (Text without quotes, escapes resolved)
    cvkUrl = 3,        ///< url(x) or url("x") (Text is the address)
    cvkHash = 4,       ///< "#abc" (Text with the "#")
    cvkFunction = 5,   ///< rgb(1, 2, 3): Text as written, Unit the lower-cased name
    cvkPercentage = 6, ///< 50% (Number 50)
    cvkDimension = 7,  ///< 12px: Number 12, Unit "px"
    cvkOperator = 8,   ///< "," "/" and other single characters
    cvkNumber = 9,     ///< 1.5
    cvkBlock = 10,     ///< (...) [...] {...} as written
};

struct ZOR_EXPORT TCSSValue
{
    TCSSValueKind Kind = cvkUnknown;
    QString Text;      ///< the value as text (see TCSSValueKind)
    double Number = 0; ///< of numbers, percentages and dimensions
    QString Unit;      ///< of dimensions as written; of functions the name

    bool IsNumeric() const { return Kind == cvkDimension || Kind == cvkNumber; }
    /// Reads the value as a colour (a name, "#rgb", "#rrggbb" or "rgb()") into
    /// \a color (0x00BBGGRR); false, leaving \a color alone, when it is none.
    bool ToColor(quint32 &color) const;
};

struct ZOR_EXPORT TCSSProperty
{
    QString Name;      ///< lower-cased
    QString ValueText; ///< the value as written, trimmed, without "!important"
    std::vector<TCSSValue> Values;
    bool Important = false;
};

/// One rule: its selector and its declarations.
class ZOR_EXPORT TCSSSection
{
public:
    QString Selector; ///< the whole selector list as written, trimmed
    std::vector<TCSSProperty> Properties;

    /// The declaration of \a name (ignoring ASCII case) that counts, the
    /// last one; null when there is none.
    const TCSSProperty *Property(QStringView name) const;
    /// The values of \a name; null when the section does not declare it.
    const std::vector<TCSSValue> *Values(QStringView name) const;
};

class ZOR_EXPORT TCSSStyleSheet
{
public:
    TCSSStyleSheet();
    ~TCSSStyleSheet();
    TCSSStyleSheet(const TCSSStyleSheet &) = delete;
    TCSSStyleSheet &operator=(const TCSSStyleSheet &) = delete;

    /// Adds the rules of \a css after those read before.
    void Parse(QStringView css);
    void Clear();

    int SectionCount() const { return int(m_sections.size()); }
    const TCSSSection &Section(int index) const { return *m_sections[size_t(index)]; }

    /// The sections registered under class \a name (case-sensitive, as CSS
    /// compares classes), in source order.
    QList<const TCSSSection *> ClassSections(const QString &name) const;
    /// The first section registered under class \a name; null for none.
    const TCSSSection *FindClass(const QString &name) const;
    /// The class names, in the order they were first registered.
    QStringList ClassNames() const;

private:
    std::vector<std::unique_ptr<TCSSSection>> m_sections;
    QHash<QString, QList<const TCSSSection *>> m_classes;
    QStringList m_classOrder;
};

/// The declarations of a style attribute (or any declaration list), in
/// source order; bad declarations are skipped as CSS skips them.
ZOR_EXPORT std::vector<TCSSProperty> ParseCSSDeclarations(QStringView text);

} // namespace zor
