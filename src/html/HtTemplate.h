#pragma once

// Mustache templates over template data nodes. A template is compiled once
// into a flat list of operations and rendered into one string.
//
// Supported: {{name}} (escaped), {{{name}}} and {{& name}} (unescaped),
// sections {{#name}}…{{/name}}, inverted sections {{^name}}…{{/name}},
// comments {{! …}}, dotted names, {{.}}, and the rule that a section,
// inverted section, end or comment tag alone on its line takes the whole
// line with it. A list iterates; any other truthy value is pushed once;
// missing names, null, false, 0, "" and empty lists are falsy. Names resolve
// through the context stack, then SetVariable's variables, then
// OnGetTemplateVar. Partials ({{>…}}) and delimiter changes ({{=…=}}) are
// not supported and, like bad sections, raise EHtTemplateError with the
// line and column.
//
// A section whose name is a registered template function (process-wide,
// safe while other threads render) renders its content first and passes it
// to the function; the function's result replaces the section unescaped.

#include <ZorCompCore/html/HtXMLNode.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Variant.h>

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

namespace zor {

ZOR_DECLARE_EXCEPTION(EHtTemplateError, Exception)

class THtTemplate;

/// A template function: receives the section's rendered content.
using THtTemplateFunction = std::function<QString(THtTemplate &tmpl, const QString &content)>;

/// Registers \a function under \a name (compared ignoring case), replacing
/// any earlier one; an empty function unregisters.
ZOR_EXPORT void RegisterHtTemplateFunction(const QString &name, THtTemplateFunction function);

class ZOR_EXPORT THtTemplate
{
public:
    THtTemplate();
    virtual ~THtTemplate();

    THtTemplate(const THtTemplate &) = delete;
    THtTemplate &operator=(const THtTemplate &) = delete;

    /// Compiles \a text; raises EHtTemplateError for bad tags or sections.
    void Compile(const QString &text);
    const QString &Text() const;

    void SetVariable(const QString &name, const Variant &value);
    /// A variable that is a data node (not owned): sections iterate it and
    /// dotted names look into it. The node named "." is the root context
    /// when Render is given none.
    void SetVariable(const QString &name, THtXMLNode *node);
    void ClearVariables();

    /// Rendering stops with EHtTemplateError once the output passes this
    /// many characters (default 256 Mi). Sections nested over lists multiply
    /// their content, so a short template can ask for more than memory holds.
    qsizetype MaxOutputSize() const;
    void SetMaxOutputSize(qsizetype characters);

    /// Renders the compiled template over \a context (may be null).
    QString Render(THtXMLNode *context);
    /// Compiles \a text and renders it.
    QString Render(const QString &text, THtXMLNode *context);

    /// Asked for names the context and the variables do not know.
    std::function<bool(const QString &name, Variant &value)> OnGetTemplateVar;
    /// Called before each iteration of a section (item is null for a
    /// section over a scalar), index counting from 0.
    std::function<void(const QString &name, int index, THtXMLNode *item)> OnSection;

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace zor
