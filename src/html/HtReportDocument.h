#pragma once

// The base of HTML reports: a document that keeps a Mustache template and
// renders it over data nodes. Data comes in as named variables (Vars: name
// to THtXMLNode, not owned), a root context (ReportContext, the template's
// "."), and report objects (nodes the document owns while it renders, freed
// by ClearReportObjects).
//
// Render runs: the root context is made when none was given, ProcessTemplate
// fills the template text, the result is parsed into the document's children
// (so it can be inspected and edited as a tree) and serialised. Subclasses
// override Parse (what becomes the template), ProcessTemplate (how it is
// filled) and UpdateSection (what happens as each section item begins).

#include <ZorCompCore/html/HtDocument.h>
#include <ZorCompCore/html/HtXMLNode.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/platform/Variant.h>

#include <functional>
#include <memory>
#include <vector>

namespace zor {

class THtTemplate;

class ZOR_EXPORT THtReportDocument : public THtDocument
{
public:
    THtReportDocument();
    ~THtReportDocument() override;

    /// Keeps \a html as the template text and parses it into the tree.
    void Parse(const QString &html) override;
    const QString &TemplateText() const { return m_templateText; }
    void SetTemplateText(const QString &text) { m_templateText = text; }

    /// Named data: each item's object is a THtXMLNode the caller keeps
    /// alive (often a report object).
    TStringList &Vars() { return m_vars; }
    const TStringList &Vars() const { return m_vars; }
    /// Adds \a node under \a name, replacing a variable of that name
    /// (names compare ignoring case).
    void RegisterVariable(const QString &name, THtXMLNode *node);
    /// The node a variable names; null when there is none.
    THtXMLNode *Variable(const QString &name) const;

    /// Nodes owned by the document while it renders.
    std::vector<std::unique_ptr<THtXMLNode>> &ReportObjects() { return m_reportObjects; }
    THtXMLNode *AddReportObject(std::unique_ptr<THtXMLNode> node);
    void ClearReportObjects();

    /// The template's root context ("."); not owned. Render makes one among
    /// the report objects when none is set.
    THtXMLNode *ReportContext() const { return m_reportContext; }
    void SetReportContext(THtXMLNode *context) { m_reportContext = context; }

    /// Fills the template text, parses the result into the tree and returns
    /// it serialised. Template errors (EHtTemplateError) pass to the caller.
    virtual QString Render();

    /// Asked by the template for names neither the data nor Vars know.
    std::function<bool(const QString &name, Variant &value)> OnGetTemplateVar;

    // The section being rendered, as UpdateSection last saw it.
    const QString &SectionName() const { return m_sectionName; }
    int SectionIndex() const { return m_sectionIndex; }
    THtXMLNode *SectionItem() const { return m_sectionItem; }

protected:
    /// Renders \a templateText over Vars and ReportContext.
    virtual QString ProcessTemplate(const QString &templateText);
    /// Called as each item of a section begins (index from 0; \a item null
    /// for a section over a scalar); records it as the current section.
    virtual void UpdateSection(const QString &name, int index, THtXMLNode *item);
    /// Hands Vars, ReportContext and the callbacks to \a tmpl.
    void PrepareTemplate(THtTemplate &tmpl);

private:
    QString m_templateText;
    TStringList m_vars;
    std::vector<std::unique_ptr<THtXMLNode>> m_reportObjects;
    THtXMLNode *m_reportContext = nullptr;
    QString m_sectionName;
    int m_sectionIndex = -1;
    THtXMLNode *m_sectionItem = nullptr;
};

} // namespace zor
