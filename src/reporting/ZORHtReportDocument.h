// HTML reports with a script: a Mustache template (THtReportDocument) plus
// script blocks (<script type="text/zorscript">) compiled into the report's
// script, named data sets and XML data packets as data, report variables,
// data expressions (Orders."Total", Orders."Total:2" for a packet row),
// arbitrary script expressions ({{#script}}…{{/script}}), inline images from
// blob fields, collected script errors, and dynamic blocks (elements whose
// class contains "quenlor-dynamicblock") that a rendered page can have
// rendered again from the template text they came from.
//
// Template names resolve through the context, then Vars (packets, nodes),
// then the data sets (a section over one walks its records, moving the data
// set along), then the report variables. One document serves one thread at
// a time; documents on different threads render independently.
#pragma once

#include <ZorCompCore/data/DataSet.h>
#include <ZorCompCore/html/HtReportDocument.h>
#include <ZorCompCore/html/HtTemplate.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/script/FastScriptUtils.h>
#include <ZorCompCore/script/Interpreter.h>

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace zor {

class TZORExpressionCache;
class TZORHtReportDocument;

ZOR_DECLARE_EXCEPTION(EZORHtReportError, Exception)

// A compile error (position: X = column, Y = line) or, from Render, the
// collected expression errors (position 0,0). Render's error also carries the
// HTML it produced, so callers can still show or save the page.
class ZOR_EXPORT EZORHtReportErrorScriptError : public EZORHtReportError
{
public:
    EZORHtReportErrorScriptError(const QString &AMessage, QPoint AErrorPos, QString AHtml = {});
    const char *ClassName() const override { return "EZORHtReportErrorScriptError"; }
    QPoint ErrorPos() const { return FErrorPos; }
    const QString &Html() const { return FHtml; }

private:
    QPoint FErrorPos;
    QString FHtml;
};

// A named data set of a report.
class ZOR_EXPORT TDataSetItem
{
public:
    TDataSetItem(TDataSet *ADataSet, const QString &AName, bool AOwnsDataSet);
    ~TDataSetItem();
    TDataSetItem(const TDataSetItem &) = delete;
    TDataSetItem &operator=(const TDataSetItem &) = delete;

    TDataSet *DataSet() const { return FDataSet; }
    const QString &DataSetName() const { return FDataSetName; } // as the caller spelled it
    bool OwnsDataSet() const { return FOwnsDataSet; }

private:
    TDataSet *FDataSet;
    QString FDataSetName;
    bool FOwnsDataSet;
};

// Data sets by name (case-insensitive), in the order of their lower-cased names.
class ZOR_EXPORT TDataSetList
{
public:
    TDataSetList();
    ~TDataSetList();
    TDataSetList(const TDataSetList &) = delete;
    TDataSetList &operator=(const TDataSetList &) = delete;

    // Raises EListError "Duplicate key" for a name already present.
    void AddDataSet(TDataSet *ADataSet, const QString &AName, bool AOwnsDataSet = false);
    // Adds every item of ADataSets (not owning their data sets).
    void AddDataSets(const TDataSetList &ADataSets);
    void Assign(const TDataSetList &ADataSets);
    // Null when the name is unknown.
    TDataSet *GetDataSetByName(const QString &AName) const;
    TDataSetItem *Item(const QString &AName) const;
    bool Remove(const QString &AName);
    void Clear();
    int Count() const { return int(FItems.size()); }
    // Items in key order.
    std::vector<TDataSetItem *> Items() const;

    // Fires for each key and each value that comes or goes (twice per pair).
    std::function<void(TDataSetList *Sender)> OnChanged;

private:
    void changed();
    std::map<QString, std::unique_ptr<TDataSetItem>> FItems;
};

// The template a report document renders with: knows its document, so the
// template functions can reach the report's script.
class ZOR_EXPORT TZORHtTemplate : public THtTemplate
{
public:
    TZORHtReportDocument *ReportDocument = nullptr;
};

// A report data node; one with AllowAutoFree off survives the clearing of
// the report objects (its owner is then whoever keeps the pointer).
class ZOR_EXPORT TZORhtReportXMLNode : public THtXMLNode
{
public:
    explicit TZORhtReportXMLNode(const QString &name = QString()) : THtXMLNode(name) {}
    bool AllowAutoFree = true;
};

// Data nodes by the query text that produced them, plus the same nodes in
// insertion order (for applications that cache query results as nodes).
class ZOR_EXPORT TTemplateDataNodeList
{
public:
    TTemplateDataNodeList();
    ~TTemplateDataNodeList();
    // Raises EListError "Duplicate key" for a query already present.
    void Add(const QString &ASQL, THtXMLNode *ANode);
    // Takes ANode out (not freeing it).
    void RemoveItem(THtXMLNode *ANode);
    void Clear();
    THtXMLNode *Node(const QString &ASQL) const;
    int Count() const { return int(FNodes.size()); }
    const QList<THtXMLNode *> &FlatList() const { return FFlatList; }

private:
    QHash<QString, THtXMLNode *> FNodes; // owned
    QList<THtXMLNode *> FFlatList;
};

using TZORHtReportDocumentUserFunctionEvent = std::function<Variant(const QString &MethodName, Variant &Params)>;
using TZORInitScriptRTTI = std::function<void(QObject *Sender, TfsZORScript *AScript)>;

class ZOR_EXPORT TZORHtReportDocument : public QObject, public THtReportDocument
{
    Q_OBJECT
public:
    // With ARTTIParent, the report's script takes its class registrations
    // from that script instead of making its own.
    explicit TZORHtReportDocument(TfsScript *ARTTIParent = nullptr);
    ~TZORHtReportDocument() override;

    // Clears, takes out the dynamic blocks and script blocks, compiles the
    // script (EZORHtReportErrorScriptError on failure) and keeps the rest as
    // the template.
    void LoadTemplate(const QString &AHTML);
    // Runs the script's main block, fills the template and returns the page;
    // collected expression errors raise EZORHtReportErrorScriptError (with
    // the page) after the page was produced.
    QString Render() override;
    // Renders the dynamic blocks of a page Render produced again, from the
    // templates they came from; the rest of the page stays as it is.
    QString ReRenderDynamic(const QString &AHTML);
    void Clear();
    void FreeRenderData();
    void ClearRenderData();
    void ClearScript();

    // A data expression, a report variable or script item, or else any
    // expression of the script's language. Errors go to Errors.
    Variant ExecuteScript(const QString &Expr);
    bool FunctionExists(const QString &AName);
    // Replaces every {{#script}}expr{{/script}} in AData by its value.
    void PostProcessScripTags(QString &AData);
    void InvalidateExpressionCache();

    void AddVariable(const QString &AName, const Variant &Value);
    // Registers a script function (a declaration in script syntax) served by
    // DoUserFunction.
    void AddFunction(const QString &FuncName, const QString &Category = QString(),
                     const QString &Description = QString());

    // Data access.
    qint64 GetDataSetRealValue(const QString &DatasetName, const QString &FieldName, int ARecordIndex);
    static QString GetRealValueFieldName(const QString &AFieldName);
    static bool ExtractDatasetAndField(const QString &Expr, QString &DataSetName, QString &FieldName,
                                       int &ARecordIndex);
    void GetDatasetAndField(const QString &DataSetName, const QString &FieldName, TDataSet *&DataSet,
                            TField *&Field);
    void CheckActive(TDataSet *DataSet);
    virtual bool LoadImageData(const QString &ADatasetName, const QString &ABlobFieldName,
                               const QString &ADocumentIDFieldName, QByteArray &AImageData, QString &AImageFormat);
    virtual QString GetEmbedImageDataTag(const QByteArray &AImageData, const QString &AImageFormat,
                                         const QString &AAlt, const QString &ACSSClass, const QString &ACSSStyle,
                                         bool AllowInline);
    static QString CreateImageTag(const QString &ASrc, const QString &AAlt, const QString &AClass,
                                  const QString &AStyle);

    bool TemplateLoaded() const { return FTemplateLoaded; }
    QString ScriptLanguage() const { return FScriptLanguage; }
    void SetScriptLanguage(const QString &v) { FScriptLanguage = v; }
    TfsZORScript *Script() const { return FScript.get(); }
    const TStringList &Errors() const { return FErrors; }
    const QStringList &ScriptText() const { return FScriptText; }
    void SetScriptText(const QStringList &v) { FScriptText = v; }
    bool IgnoreDivByZero() const { return FIgnoreDivByZero; }
    void SetIgnoreDivByZero(bool v) { FIgnoreDivByZero = v; }
    bool AutoOpenDataSets() const { return FAutoOpenDataSets; }
    void SetAutoOpenDataSets(bool v) { FAutoOpenDataSets = v; }
    const QHash<QString, Variant> &Variables() const { return FVariables; }
    TDataSetList &DataSets() { return FDataSets; }
    // Inner HTML of each dynamic block, by its template-id.
    const QStringList &DynamicNodeTemplates() const { return FDynamicNodeTemplates; }

    TZORHtReportDocumentUserFunctionEvent OnUserFunction;
    std::function<void(QObject *Sender)> OnInitScript;
    TZORInitScriptRTTI OnInitScriptRTTI;

protected:
    QString ProcessTemplate(const QString &templateText) override;
    virtual void DoInitScript();
    virtual Variant DoUserFunction(QObject *Instance, TfsClassVariable *ClassType, const QString &MethodName,
                                   TfsMethodHelper *Caller);
    // Descendants that know a field's underlying value (a key behind a
    // displayed text) return it; -1 here.
    virtual qint64 GetDataSetRealValue(TDataSet *DataSet, TField *Field);
    bool DoGetValue(const QString &Expr, Variant &Value);

private:
    void DoInitScriptRTTI();
    void InitScript();
    void LoadDynamicTags(const QString &AHTML, QString &Result);
    bool PrepareScript();
    void BeforeExecute();
    void AfterExecute();
    void ReplaceDynamicTagsWithTemplate(const QString &AHTML, QString &Result);
    void ExtractKeptNodes();
    THtXMLNode *PacketOf(const QString &DataSetName) const;

    QStringList FDynamicNodeTemplates;
    bool FTemplateLoaded = false;
    QString FScriptLanguage;
    std::unique_ptr<TfsZORScript> FScript;
    std::unique_ptr<TZORExpressionCache> FExpressionCache;
    TStringList FErrors;
    QStringList FScriptText;
    bool FIgnoreDivByZero = false;
    QHash<QString, Variant> FVariables;
    TDataSetList FDataSets;
    bool FAutoOpenDataSets = true;
    bool FRTTIInitialized = false;
    std::unique_ptr<QHash<QString, bool>> FFunctionExistsCache;
    struct UserFunction
    {
        QString Declaration, Category, Description;
    };
    // Kept so that every compile (which starts from a cleared script) sees them.
    std::vector<UserFunction> FUserFunctions;
};

// Makes the report document and its data access callable from scripts.
class ZOR_EXPORT Tfs_RTTIFunctions : public TfsRTTIModule
{
public:
    explicit Tfs_RTTIFunctions(TfsScript *AScript);

private:
    static Variant CallMethod(QObject *Instance, TfsClassVariable *ClassType, const QString &MethodName,
                              TfsMethodHelper *Caller);
};

namespace detail {
void ZORHtReportDocumentStartup();
void ZORHtReportDocumentShutdown();
} // namespace detail

} // namespace zor
