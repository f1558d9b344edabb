#include "HtDocument.h"

#include "AsciiCase_p.h"
#include "HtCSS_p.h"

#include <QHash>
#include <QMutex>

#include <vector>

namespace zor {
namespace {

// Parsed sheets by their text, alive as long as some document holds them.
struct SheetCache
{
    QMutex Lock;
    QHash<QString, std::weak_ptr<const TCSSStyleSheet>> Sheets;
};

SheetCache &sheetCache()
{
    static SheetCache c;
    return c;
}

std::shared_ptr<const TCSSStyleSheet> parseSheet(const QString &text)
{
    auto sheet = std::make_shared<TCSSStyleSheet>();
    sheet->Parse(text);
    return sheet;
}

std::shared_ptr<const TCSSStyleSheet> sharedSheet(const QString &text)
{
    SheetCache &c = sheetCache();
    QMutexLocker lock(&c.Lock);
    if (auto sheet = c.Sheets.value(text).lock())
        return sheet;
    // Forget the sheets no document holds any more before the table grows.
    if (c.Sheets.size() >= 64)
        c.Sheets.removeIf([](const auto &it) { return it.value().expired(); });
    auto sheet = parseSheet(text);
    c.Sheets.insert(text, sheet);
    return sheet;
}

bool isCssStyleElement(const THtmlNode *n)
{
    if (!n->IsElement() || n->TagName() != u"style")
        return false;
    const QString type = n->GetAttribute(u"type").trimmed();
    return type.isEmpty() || html_p::equalsIgnoringAsciiCase(type, u"text/css");
}

// The text of the style elements, in document order, one after the other.
QString styleText(const THtmlNode &root)
{
    QString text;
    std::vector<std::pair<const THtmlNode *, int>> stack{{&root, 0}};
    while (!stack.empty()) {
        auto &[node, next] = stack.back();
        if (next >= node->ChildCount()) {
            stack.pop_back();
            continue;
        }
        const THtmlNode *child = node->Child(next++);
        if (isCssStyleElement(child)) {
            text += child->InnerHTML();
            text += u'\n';
        } else if (child->ChildCount()) {
            stack.emplace_back(child, 0);
        }
    }
    return text;
}

} // namespace

THtDocument::THtDocument() = default;
THtDocument::~THtDocument() = default;

void THtDocument::SetSharedStyles(bool shared)
{
    if (shared == m_sharedStyles)
        return;
    m_sharedStyles = shared;
    m_sheet.reset(); // read again the way now asked for
}

THtmlNode *THtDocument::Body() const
{
    return FindFirst(u"body");
}

const TCSSStyleSheet &THtDocument::StyleSheet() const
{
    QString text = styleText(*this);
    if (!m_sheet || text != m_styleText) {
        m_sheet = m_sharedStyles ? sharedSheet(text) : parseSheet(text);
        m_styleText = std::move(text);
    }
    return *m_sheet;
}

const TCSSSection *THtDocument::FindCSSClass(const QString &name) const
{
    return StyleSheet().FindClass(name);
}

QString THtDocument::GetInlineStyle(const THtmlNode *element, QStringView property)
{
    if (!element || !element->HasAttribute(u"style"))
        return QString();
    return css_p::GetDeclaration(element->GetAttribute(u"style"), property);
}

void THtDocument::SetInlineStyle(THtmlNode *element, const QString &property, const QString &value)
{
    if (!element || !element->IsElement())
        return;
    element->SetAttribute(QStringLiteral("style"),
                          css_p::SetDeclaration(element->GetAttribute(u"style"), property, value));
}

bool THtDocument::RemoveInlineStyle(THtmlNode *element, QStringView property)
{
    if (!element || !element->HasAttribute(u"style"))
        return false;
    bool removed = false;
    const QString style = css_p::RemoveDeclaration(element->GetAttribute(u"style"), property, &removed);
    if (!removed)
        return false;
    if (style.trimmed().isEmpty())
        element->RemoveAttribute(u"style");
    else
        element->SetAttribute(QStringLiteral("style"), style);
    return true;
}

bool THtDocument::GetInlineStyleColor(const THtmlNode *element, QStringView property, quint32 &color)
{
    if (!element || !element->HasAttribute(u"style"))
        return false;
    const std::vector<TCSSProperty> decls = ParseCSSDeclarations(element->GetAttribute(u"style"));
    // The last declaration counts.
    for (auto it = decls.rbegin(); it != decls.rend(); ++it)
        if (html_p::equalsIgnoringAsciiCase(it->Name, property))
            return it->Values.size() == 1 && it->Values.front().ToColor(color);
    return false;
}

} // namespace zor
