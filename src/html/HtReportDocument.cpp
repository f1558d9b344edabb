#include "HtReportDocument.h"

#include "HtTemplate.h"

namespace zor {

THtReportDocument::THtReportDocument() = default;

THtReportDocument::~THtReportDocument() = default;

void THtReportDocument::Parse(const QString &html)
{
    m_templateText = html;
    THtDocument::Parse(html);
}

void THtReportDocument::RegisterVariable(const QString &name, THtXMLNode *node)
{
    const int i = m_vars.IndexOf(name);
    if (i >= 0)
        m_vars.Delete(i);
    m_vars.AddObject(name, node);
}

THtXMLNode *THtReportDocument::Variable(const QString &name) const
{
    const int i = m_vars.IndexOf(name);
    return i < 0 ? nullptr : static_cast<THtXMLNode *>(m_vars.Objects(i));
}

THtXMLNode *THtReportDocument::AddReportObject(std::unique_ptr<THtXMLNode> node)
{
    m_reportObjects.push_back(std::move(node));
    return m_reportObjects.back().get();
}

void THtReportDocument::ClearReportObjects()
{
    // Vars and the context may point into the objects: forget those first.
    for (int i = m_vars.Count() - 1; i >= 0; --i)
        for (const auto &obj : m_reportObjects)
            if (m_vars.Objects(i) == obj.get()) {
                m_vars.Delete(i);
                break;
            }
    for (const auto &obj : m_reportObjects)
        if (m_reportContext == obj.get())
            m_reportContext = nullptr;
    m_sectionItem = nullptr;
    m_reportObjects.clear();
}

QString THtReportDocument::Render()
{
    if (!m_reportContext)
        m_reportContext = AddReportObject(std::make_unique<THtXMLNode>(QStringLiteral("report")));
    m_sectionName.clear();
    m_sectionIndex = -1;
    m_sectionItem = nullptr;
    const QString result = ProcessTemplate(m_templateText);
    // The result becomes the tree; the template text stays for the next render.
    THtDocument::Parse(result);
    return OuterHTML();
}

void THtReportDocument::PrepareTemplate(THtTemplate &tmpl)
{
    for (int i = 0; i < m_vars.Count(); ++i)
        tmpl.SetVariable(m_vars.Get(i), static_cast<THtXMLNode *>(m_vars.Objects(i)));
    tmpl.OnSection = [this](const QString &name, int index, THtXMLNode *item) {
        UpdateSection(name, index, item);
    };
    if (OnGetTemplateVar)
        tmpl.OnGetTemplateVar = OnGetTemplateVar;
    tmpl.SetVariable(QStringLiteral("."), m_reportContext);
}

QString THtReportDocument::ProcessTemplate(const QString &templateText)
{
    THtTemplate tmpl;
    tmpl.Compile(templateText);
    PrepareTemplate(tmpl);
    return tmpl.Render(m_reportContext);
}

void THtReportDocument::UpdateSection(const QString &name, int index, THtXMLNode *item)
{
    m_sectionName = name;
    m_sectionIndex = index;
    m_sectionItem = item;
}

} // namespace zor
