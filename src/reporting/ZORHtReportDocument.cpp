#include "ZORHtReportDocument.h"

#include <ZorCompCore/html/HtmlColors.h>
#include <ZorCompCore/html/HtmlNode.h>
#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/script/ZORExpressionCache.h>
#include <ZorCompCore/utilities/AnsiStringTools.h>
#include <ZorCompCore/web/EmailSenderUtils.h>

#include <algorithm>

namespace zor {

namespace {

const QString kDynamicBlockClass = QStringLiteral("quenlor-dynamicblock");
const QString kTemplateId = QStringLiteral("template-id");
const QString kScriptType = QStringLiteral("text/zorscript");
const QString kFloatDivByZero = QStringLiteral("Floating point division by zero");

[[noreturn]] void duplicateKey()
{
    throw EListError(QStringLiteral("Duplicate key"));
}

// Elements below root in document order, parents before their children
// (iterative: nesting depth costs no stack).
template <typename Pred>
QList<THtmlNode *> collectElements(THtmlNode *root, Pred pred)
{
    QList<THtmlNode *> out;
    std::vector<std::pair<THtmlNode *, int>> stack{{root, 0}};
    while (!stack.empty()) {
        auto &[node, next] = stack.back();
        if (next >= node->ChildCount()) {
            stack.pop_back();
            continue;
        }
        THtmlNode *child = node->Child(next++);
        if (!child->IsElement())
            continue;
        if (pred(child))
            out.append(child);
        stack.push_back({child, 0});
    }
    return out;
}

bool isDynamicBlock(const THtmlNode *n)
{
    return n->GetAttribute(u"class").contains(kDynamicBlockClass);
}

bool isInside(const THtmlNode *node, const THtmlNode *ancestor)
{
    for (const THtmlNode *p = node->Parent(); p; p = p->Parent())
        if (p == ancestor)
            return true;
    return false;
}

// A data set as a template list: a section over it walks its records, moving
// the data set to each, and puts the cursor back when the section ends. The
// item node holds the current record's fields as attributes.
class DataSetListNode : public THtXMLNode
{
public:
    DataSetListNode(TZORHtReportDocument *doc, TDataSet *ds, const QString &name)
        : THtXMLNode(name), FDoc(doc), FDataSet(ds), FItem(std::make_unique<THtXMLNode>(name))
    {
        SetIsList(true);
    }

    int ItemCount() const override
    {
        FDoc->CheckActive(FDataSet);
        if (!FDataSet->Active())
            return 0;
        if (FSavedRecNo < 0)
            FSavedRecNo = FDataSet->RecNo();
        return FDataSet->RecordCount();
    }

    THtXMLNode *Item(int index) const override
    {
        FDataSet->SetRecNo(index + 1);
        TFields *fields = FDataSet->Fields();
        for (int i = 0; i < fields->Count(); ++i) {
            TField *f = fields->Fields(i);
            // Blobs stay out of the text: images go through LoadImageData.
            FItem->SetAttribute(f->FieldName(), f->IsBlob() ? Variant::Null() : f->Value());
        }
        return FItem.get();
    }

    void SectionEnd() override
    {
        if (FSavedRecNo > 0 && FDataSet->Active())
            FDataSet->SetRecNo(FSavedRecNo);
        FSavedRecNo = -1;
    }

private:
    TZORHtReportDocument *FDoc;
    TDataSet *FDataSet;
    std::unique_ptr<THtXMLNode> FItem;
    mutable int FSavedRecNo = -1;
};

} // namespace

// --- exceptions -------------------------------------------------------------

EZORHtReportErrorScriptError::EZORHtReportErrorScriptError(const QString &AMessage, QPoint AErrorPos, QString AHtml)
    : EZORHtReportError(AMessage), FErrorPos(AErrorPos), FHtml(std::move(AHtml))
{
}

// --- data set list ----------------------------------------------------------

TDataSetItem::TDataSetItem(TDataSet *ADataSet, const QString &AName, bool AOwnsDataSet)
    : FDataSet(ADataSet), FDataSetName(AName), FOwnsDataSet(AOwnsDataSet)
{
}

TDataSetItem::~TDataSetItem()
{
    if (FOwnsDataSet)
        delete FDataSet;
}

TDataSetList::TDataSetList() = default;

TDataSetList::~TDataSetList()
{
    OnChanged = nullptr;
    FItems.clear();
}

void TDataSetList::changed()
{
    // key and value notification, as a dictionary sends both
    if (OnChanged) {
        OnChanged(this);
        OnChanged(this);
    }
}

void TDataSetList::AddDataSet(TDataSet *ADataSet, const QString &AName, bool AOwnsDataSet)
{
    const QString key = AName.toLower();
    if (FItems.count(key))
        duplicateKey();
    FItems.emplace(key, std::make_unique<TDataSetItem>(ADataSet, AName, AOwnsDataSet));
    changed();
}

void TDataSetList::AddDataSets(const TDataSetList &ADataSets)
{
    for (const auto &[key, item] : ADataSets.FItems)
        AddDataSet(item->DataSet(), item->DataSetName(), false);
}

void TDataSetList::Assign(const TDataSetList &ADataSets)
{
    if (&ADataSets == this)
        return;
    Clear();
    AddDataSets(ADataSets);
}

TDataSet *TDataSetList::GetDataSetByName(const QString &AName) const
{
    const TDataSetItem *item = Item(AName);
    return item ? item->DataSet() : nullptr;
}

TDataSetItem *TDataSetList::Item(const QString &AName) const
{
    const auto it = FItems.find(AName.toLower());
    return it == FItems.end() ? nullptr : it->second.get();
}

bool TDataSetList::Remove(const QString &AName)
{
    const auto it = FItems.find(AName.toLower());
    if (it == FItems.end())
        return false;
    FItems.erase(it);
    changed();
    return true;
}

void TDataSetList::Clear()
{
    while (!FItems.empty()) {
        FItems.erase(FItems.begin());
        changed();
    }
}

std::vector<TDataSetItem *> TDataSetList::Items() const
{
    std::vector<TDataSetItem *> out;
    out.reserve(FItems.size());
    for (const auto &[key, item] : FItems)
        out.push_back(item.get());
    return out;
}

// --- template data node list --------------------------------------------------

TTemplateDataNodeList::TTemplateDataNodeList() = default;

TTemplateDataNodeList::~TTemplateDataNodeList()
{
    Clear();
}

void TTemplateDataNodeList::Add(const QString &ASQL, THtXMLNode *ANode)
{
    if (FNodes.contains(ASQL))
        duplicateKey();
    FNodes.insert(ASQL, ANode);
    FFlatList.append(ANode);
}

void TTemplateDataNodeList::RemoveItem(THtXMLNode *ANode)
{
    for (auto it = FNodes.begin(); it != FNodes.end(); ++it)
        if (it.value() == ANode) {
            FNodes.erase(it);
            break;
        }
    FFlatList.removeOne(ANode);
}

void TTemplateDataNodeList::Clear()
{
    qDeleteAll(FNodes);
    FNodes.clear();
    FFlatList.clear();
}

THtXMLNode *TTemplateDataNodeList::Node(const QString &ASQL) const
{
    return FNodes.value(ASQL);
}

// --- the document -------------------------------------------------------------

TZORHtReportDocument::TZORHtReportDocument(TfsScript *ARTTIParent)
{
    FErrors.SetSorted(true);
    FErrors.SetDuplicates(dupIgnore);
    FScript = std::make_unique<TfsZORScript>();
    FScript->SetExtendedCharset(true);
    if (ARTTIParent) {
        FScript->SetParent(ARTTIParent);
        FRTTIInitialized = true;
    }
    FExpressionCache = std::make_unique<TZORExpressionCache>(FScript.get());
    ClearScript();
}

TZORHtReportDocument::~TZORHtReportDocument()
{
    FFunctionExistsCache.reset();
    FDataSets.Clear();
    // compiled expressions refer to the script: they go first
    FExpressionCache.reset();
    FScript.reset();
}

void TZORHtReportDocument::ClearScript()
{
    FScriptLanguage = QStringLiteral("PascalScript");
    FScriptText = {QStringLiteral("begin"), QString(), QStringLiteral("end.")};
}

void TZORHtReportDocument::Clear()
{
    FDynamicNodeTemplates.clear();
    FTemplateLoaded = false;
    FreeRenderData();
    ClearScript();
    InvalidateExpressionCache();
}

void TZORHtReportDocument::InvalidateExpressionCache()
{
    if (FFunctionExistsCache)
        FFunctionExistsCache->clear();
    FExpressionCache->Clear();
    FExpressionCache->SetScriptLanguage(FScriptLanguage);
}

void TZORHtReportDocument::DoInitScriptRTTI()
{
    if (FRTTIInitialized)
        return;
    if (OnInitScriptRTTI)
        OnInitScriptRTTI(this, FScript.get());
    else
        FScript->AddRTTI();
    FRTTIInitialized = true;
}

void TZORHtReportDocument::InitScript()
{
    DoInitScriptRTTI();
    InvalidateExpressionCache();
    FScript->Clear();
    FScript->SetAddedBy(this);
    struct ResetOwner
    {
        TfsScript *s;
        ~ResetOwner() { s->SetAddedBy(nullptr); }
    } reset{FScript.get()};
    FScript->SetMainProg(true);

    if (metaObject() != &TZORHtReportDocument::staticMetaObject)
        FScript->AddScriptClass(metaObject(), QStringLiteral("TZORHtReportDocument"));
    FScript->AddScriptObject(QStringLiteral("Document"), this);
    FScript->AddScriptMethod(QStringLiteral("function Get(Name: String): Variant"),
                             [this](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                                 return ExecuteScript(VarToStr(m->GetVParam(0)));
                             });
    for (TDataSetItem *item : FDataSets.Items()) {
        TDataSet *ds = item->DataSet();
        if (!ds)
            continue;
        const QString cls = QString::fromLatin1(ds->metaObject()->className()).section(QStringLiteral("::"), -1);
        if (!FScript->Find(cls))
            FScript->AddScriptClass(ds->metaObject(), QStringLiteral("TDataSet"));
        FScript->AddScriptObject(item->DataSetName(), ds);
    }
    // The cleared script lost what the application handed in before loading.
    for (auto it = FVariables.cbegin(); it != FVariables.cend(); ++it)
        FScript->SetVariables(it.key(), it.value());
    for (const UserFunction &f : FUserFunctions)
        FScript->AddScriptMethod(
            f.Declaration,
            [this](QObject *i, TfsClassVariable *c, const QString &n, TfsMethodHelper *m) {
                return DoUserFunction(i, c, n, m);
            },
            f.Category, f.Description);
    DoInitScript();
    FScript->SetSyntaxType(FScriptLanguage);
    FScript->Lines() = FScriptText;
}

void TZORHtReportDocument::DoInitScript()
{
    if (OnInitScript)
        OnInitScript(this);
}

void TZORHtReportDocument::LoadDynamicTags(const QString &AHTML, QString &Result)
{
    InitScript();
    THtmlNode scratch;
    scratch.Parse(AHTML);
    const QList<THtmlNode *> blocks = collectElements(&scratch, isDynamicBlock);
    const QList<THtmlNode *> scripts =
        collectElements(&scratch, [](const THtmlNode *n) { return n->TagName() == u"script"; });
    if (blocks.isEmpty() && scripts.isEmpty()) {
        Result = AHTML;
        return;
    }
    for (THtmlNode *block : blocks) {
        FDynamicNodeTemplates.append(block->InnerHTML());
        block->SetAttribute(kTemplateId, QString::number(FDynamicNodeTemplates.size() - 1));
    }
    for (THtmlNode *el : scripts) {
        if (el->GetAttribute(u"type") != kScriptType)
            continue;
        FScript->Lines().insert(0, el->InnerHTML());
        THtmlNode *parent = el->Parent();
        parent->DeleteChild(parent->IndexOf(el));
    }
    Result = scratch.OuterHTML();
}

bool TZORHtReportDocument::PrepareScript()
{
    FErrors.Clear();
    FScript->SetAddedBy(this);
    bool ok;
    try {
        ok = FScript->Compile();
    } catch (...) {
        FScript->SetAddedBy(nullptr);
        throw;
    }
    FScript->SetAddedBy(nullptr);
    if (ok)
        return true;

    const QString pos = FScript->ErrorPos();
    const QString msg = FScript->ErrorMsg();
    QPoint p(0, 0);
    if (!msg.isEmpty()) {
        const qsizetype colon = pos.indexOf(u':');
        p.setY(StrToIntDef(colon < 0 ? pos : pos.left(colon), 0));
        p.setX(colon < 0 ? 0 : StrToIntDef(pos.mid(colon + 1), 0));
    }
    const QString text = QStringLiteral("Script error at %1 (rel to script block %2): %3")
                             .arg(QStringLiteral("%1:%2").arg(p.y()).arg(p.x()), pos, msg);
    FErrors.Add(text);
    throw EZORHtReportErrorScriptError(text, p);
}

void TZORHtReportDocument::LoadTemplate(const QString &AHTML)
{
    Clear();
    QString html;
    LoadDynamicTags(AHTML, html);
    if (PrepareScript()) {
        Parse(html);
        FTemplateLoaded = true;
    }
}

void TZORHtReportDocument::BeforeExecute()
{
    FErrors.Clear();
    // Script code reads data sets directly (Orders.RecordCount): they are
    // opened here, as data expressions and sections open theirs.
    for (TDataSetItem *item : FDataSets.Items())
        CheckActive(item->DataSet());
    const bool hasMain = FScript->MainStatementCount() > 0;
    FScript->CallFunction(QStringLiteral("Initialization"), Variant::Null(), !hasMain);
    if (hasMain)
        FScript->Execute(true);
}

void TZORHtReportDocument::AfterExecute()
{
    FScript->CallFunction(QStringLiteral("Finalization"), Variant::Null(), true);
}

QString TZORHtReportDocument::Render()
{
    BeforeExecute();
    QString html;
    try {
        html = THtReportDocument::Render();
    } catch (...) {
        ClearRenderData();
        throw;
    }
    ClearRenderData();
    AfterExecute();
    if (FErrors.Count() > 0) {
        QStringList lines;
        for (int i = 0; i < FErrors.Count(); ++i)
            lines << FErrors.Get(i);
        const QString text = lines.join(u'\n');
        if (!text.trimmed().isEmpty())
            throw EZORHtReportErrorScriptError(text, QPoint(0, 0), html);
    }
    return html;
}

QString TZORHtReportDocument::ProcessTemplate(const QString &templateText)
{
    TZORHtTemplate tmpl;
    tmpl.ReportDocument = this;
    tmpl.Compile(templateText);
    PrepareTemplate(tmpl);
    // Data sets come after Vars (a packet of the same name wins) and before
    // the report variables. Their list nodes live as report objects while
    // the template renders.
    std::vector<THtXMLNode *> own;
    for (TDataSetItem *item : FDataSets.Items()) {
        if (!item->DataSet() || Vars().IndexOf(item->DataSetName()) >= 0)
            continue;
        own.push_back(AddReportObject(std::make_unique<DataSetListNode>(this, item->DataSet(), item->DataSetName())));
        tmpl.SetVariable(item->DataSetName(), own.back());
    }
    struct DropOwn
    {
        TZORHtReportDocument *doc;
        std::vector<THtXMLNode *> &nodes;
        ~DropOwn()
        {
            auto &objs = doc->ReportObjects();
            objs.erase(std::remove_if(objs.begin(), objs.end(),
                                      [this](const std::unique_ptr<THtXMLNode> &o) {
                                          return std::find(nodes.begin(), nodes.end(), o.get()) != nodes.end();
                                      }),
                       objs.end());
        }
    } dropOwn{this, own};
    tmpl.OnGetTemplateVar = [this](const QString &name, Variant &value) {
        const auto it = FVariables.constFind(name.trimmed());
        if (it != FVariables.cend()) {
            value = *it;
            return true;
        }
        return OnGetTemplateVar ? OnGetTemplateVar(name, value) : false;
    };
    return tmpl.Render(ReportContext());
}

void TZORHtReportDocument::ReplaceDynamicTagsWithTemplate(const QString &AHTML, QString &Result)
{
    THtmlNode scratch;
    scratch.Parse(AHTML);
    QList<THtmlNode *> work = collectElements(&scratch, isDynamicBlock);
    if (work.isEmpty()) {
        Result = AHTML;
        return;
    }
    while (!work.isEmpty()) {
        THtmlNode *block = work.first();
        bool ok = false;
        int id = block->GetAttribute(kTemplateId).trimmed().toInt(&ok);
        if (!ok || !block->HasAttribute(kTemplateId))
            id = -1;
        if (id >= 0 && id < FDynamicNodeTemplates.size()) {
            // nested blocks are replaced along with this one
            for (qsizetype i = work.size() - 1; i >= 1; --i)
                if (isInside(work[i], block))
                    work.removeAt(i);
            block->SetInnerHTML(FDynamicNodeTemplates[id]);
        }
        work.removeFirst();
    }
    Result = scratch.OuterHTML();
}

QString TZORHtReportDocument::ReRenderDynamic(const QString &AHTML)
{
    QString html;
    ReplaceDynamicTagsWithTemplate(AHTML, html);
    Parse(html);
    const QString result = Render();
    ClearRenderData();
    return result;
}

void TZORHtReportDocument::ExtractKeptNodes()
{
    auto &objs = ReportObjects();
    for (auto i = objs.size(); i-- > 0;) {
        auto *n = dynamic_cast<TZORhtReportXMLNode *>(objs[i].get());
        if (n && !n->AllowAutoFree) {
            (void)objs[i].release();
            objs.erase(objs.begin() + qsizetype(i));
        }
    }
}

void TZORHtReportDocument::FreeRenderData()
{
    ExtractKeptNodes();
    ClearReportObjects();
    Vars().Clear();
}

void TZORHtReportDocument::ClearRenderData()
{
    ExtractKeptNodes();
    ClearChildren();
    SetTemplateText(QString());
}

Variant TZORHtReportDocument::ExecuteScript(const QString &Expr)
{
    Variant result;
    if (DoGetValue(Expr, result))
        return result;
    QString error;
    result = FExpressionCache->Calc(Expr, error, FScript.get());
    if (!error.isEmpty() && !(FIgnoreDivByZero && error == kFloatDivByZero))
        FErrors.Add(error);
    return result;
}

THtXMLNode *TZORHtReportDocument::PacketOf(const QString &DataSetName) const
{
    const int i = Vars().IndexOf(DataSetName);
    if (i < 0)
        return nullptr;
    auto *node = static_cast<THtXMLNode *>(Vars().Objects(i));
    return node && node->Name() == u"DATAPACKET" ? node : nullptr;
}

bool TZORHtReportDocument::DoGetValue(const QString &Expr, Variant &Value)
{
    QString dsName, fieldName;
    int index;
    if (ExtractDatasetAndField(Expr, dsName, fieldName, index)) {
        if (THtXMLNode *packet = PacketOf(dsName)) {
            if (THtXMLNode *rows = packet->FindChild(u"ROWDATA")) {
                const int row = index < 0 ? 0 : index;
                const QString attr = fieldName.toUpper();
                if (rows->ChildCount() > row && rows->Child(row)->HasAttribute(attr)) {
                    Value = VarToStr(rows->Child(row)->Attribute(attr));
                    return true;
                }
            }
        } else {
            TDataSet *ds = nullptr;
            TField *field = nullptr;
            GetDatasetAndField(dsName, fieldName, ds, field);
            if (ds && field) {
                Value = field->IsBlob() ? Variant::FromAnsi(field->AsBytes()) : field->Value();
                return true;
            }
        }
    }
    const auto it = FVariables.constFind(Expr.trimmed());
    if (it != FVariables.cend()) {
        Value = *it;
        return true;
    }
    TfsCustomVariable *v = FScript->FindLocal(Expr);
    if (v && !dynamic_cast<TfsProcVariable *>(v) && !dynamic_cast<TfsMethodHelper *>(v)) {
        Value = v->Value();
        return true;
    }
    return false;
}

bool TZORHtReportDocument::ExtractDatasetAndField(const QString &Expr, QString &DataSetName, QString &FieldName,
                                                  int &ARecordIndex)
{
    DataSetName.clear();
    FieldName.clear();
    ARecordIndex = -1;
    const qsizetype p = Expr.indexOf(u".\"");
    if (p < 0)
        return false;
    DataSetName = Expr.left(p);
    const qsizetype start = p + 2;
    FieldName = Expr.mid(start, std::max<qsizetype>(0, Expr.size() - start - 1));
    const qsizetype colon = FieldName.indexOf(u':');
    if (colon >= 0) {
        ARecordIndex = StrToInt(FieldName.mid(colon + 1));
        FieldName.truncate(colon);
    }
    return true;
}

void TZORHtReportDocument::GetDatasetAndField(const QString &DataSetName, const QString &FieldName,
                                              TDataSet *&DataSet, TField *&Field)
{
    DataSet = FDataSets.GetDataSetByName(DataSetName);
    Field = nullptr;
    if (!DataSet)
        return;
    // A query knows its fields only once it ran.
    CheckActive(DataSet);
    Field = DataSet->FieldByName(FieldName);
}

void TZORHtReportDocument::CheckActive(TDataSet *DataSet)
{
    if (DataSet && FAutoOpenDataSets && !DataSet->Active())
        DataSet->Open();
}

QString TZORHtReportDocument::GetRealValueFieldName(const QString &AFieldName)
{
    return AFieldName.toUpper() + QStringLiteral("_REALVALUE");
}

qint64 TZORHtReportDocument::GetDataSetRealValue(const QString &DatasetName, const QString &FieldName,
                                                 int ARecordIndex)
{
    if (THtXMLNode *packet = PacketOf(DatasetName)) {
        if (THtXMLNode *rows = packet->FindChild(u"ROWDATA")) {
            const int row = ARecordIndex < 0 ? 0 : ARecordIndex;
            if (rows->ChildCount() > row) {
                const THtXMLNode *r = rows->Child(row);
                for (const QString &attr : {GetRealValueFieldName(FieldName), FieldName.toUpper()})
                    if (r->HasAttribute(attr))
                        return StrToInt64Def(VarToStr(r->Attribute(attr)).trimmed(), -1);
            }
        }
    }
    TDataSet *ds = nullptr;
    TField *field = nullptr;
    GetDatasetAndField(DatasetName, FieldName, ds, field);
    if (ds && field && ds->Active())
        return GetDataSetRealValue(ds, field);
    return -1;
}

qint64 TZORHtReportDocument::GetDataSetRealValue(TDataSet *, TField *)
{
    return -1;
}

bool TZORHtReportDocument::LoadImageData(const QString &ADatasetName, const QString &ABlobFieldName,
                                         const QString &, QByteArray &AImageData, QString &AImageFormat)
{
    AImageData.clear();
    AImageFormat.clear();
    TDataSet *ds = nullptr;
    TField *field = nullptr;
    GetDatasetAndField(ADatasetName, ABlobFieldName, ds, field);
    if (!ds || !field)
        return false;
    AImageData = field->AsBytes();
    AImageFormat = GuessImageDataFormat(AImageData);
    return true;
}

QString TZORHtReportDocument::GetEmbedImageDataTag(const QByteArray &AImageData, const QString &AImageFormat,
                                                   const QString &AAlt, const QString &ACSSClass,
                                                   const QString &ACSSStyle, bool)
{
    QString format = AImageFormat.isEmpty() ? GuessImageDataFormat(AImageData) : AImageFormat;
    // The MIME lookup reads a file extension; a format name has no dot.
    if (!format.startsWith(u'.'))
        format.prepend(u'.');
    const QString src = QStringLiteral("data:") + TEmailSenderUtils::GetGraphicTypeForInlineImage(format)
                        + QStringLiteral(";base64,") + MIMEEncodeRawByteStr(AImageData);
    return CreateImageTag(src, AAlt, ACSSClass, ACSSStyle);
}

QString TZORHtReportDocument::CreateImageTag(const QString &ASrc, const QString &AAlt, const QString &AClass,
                                             const QString &AStyle)
{
    QString tag = QStringLiteral("<img src=\"%1\" alt=\"%2\"").arg(ASrc, AAlt);
    if (!AClass.isEmpty())
        tag += QStringLiteral(" class=\"%1\"").arg(AClass);
    if (!AStyle.isEmpty())
        tag += QStringLiteral(" style=\"%1\"").arg(AStyle);
    return tag + u'>';
}

void TZORHtReportDocument::PostProcessScripTags(QString &AData)
{
    static const QString open = QStringLiteral("{{#script}}");
    static const QString close = QStringLiteral("{{/script}}");
    // A result may hold the marker again and is then evaluated again; one
    // that reproduces its own span would never end, so it is left as it is.
    qsizetype p = AData.indexOf(open);
    while (p >= 0) {
        const qsizetype q = AData.indexOf(close, p + open.size());
        if (q <= p)
            break;
        const qsizetype spanLength = q + close.size() - p;
        const QString span = AData.mid(p, spanLength);
        const QString value = VarToStr(ExecuteScript(AData.mid(p + open.size(), q - p - open.size())));
        AData.replace(p, spanLength, value);
        p = AData.indexOf(open, value == span ? p + value.size() : p);
    }
}

bool TZORHtReportDocument::FunctionExists(const QString &AName)
{
    if (!FFunctionExistsCache)
        FFunctionExistsCache = std::make_unique<QHash<QString, bool>>();
    const auto it = FFunctionExistsCache->constFind(AName);
    if (it != FFunctionExistsCache->cend())
        return *it;
    const bool exists = FScript->FunctionExists(AName);
    FFunctionExistsCache->insert(AName, exists);
    return exists;
}

void TZORHtReportDocument::AddVariable(const QString &AName, const Variant &Value)
{
    FVariables.insert(AName, Value);
    FScript->SetVariables(AName, Value);
}

void TZORHtReportDocument::AddFunction(const QString &FuncName, const QString &Category, const QString &Description)
{
    FScript->SetAddedBy(nullptr);
    FUserFunctions.push_back({FuncName, Category, Description});
    FScript->AddScriptMethod(
        FuncName,
        [this](QObject *i, TfsClassVariable *c, const QString &n, TfsMethodHelper *m) {
            return DoUserFunction(i, c, n, m);
        },
        Category, Description);
}

Variant TZORHtReportDocument::DoUserFunction(QObject *, TfsClassVariable *, const QString &MethodName,
                                             TfsMethodHelper *Caller)
{
    if (!OnUserFunction)
        return Variant();
    QList<Variant> args;
    for (int i = 0; i < Caller->ParamCount(); ++i)
        args << Caller->GetVParam(i);
    Variant params = VarArrayOf(args);
    const Variant r = OnUserFunction(MethodName, params);
    // var parameters come back through the array
    if (VarIsArray(params))
        for (int i = 0; i < Caller->ParamCount() && i <= params.ArrayHighBound(); ++i)
            Caller->SetVParam(i, params.ArrayGet(i));
    return r;
}

// --- script registrations -------------------------------------------------------

Tfs_RTTIFunctions::Tfs_RTTIFunctions(TfsScript *AScript) : TfsRTTIModule(AScript)
{
    AScript->AddScriptClass(QStringLiteral("THtmlNode"), QStringLiteral("TObject"));
    TfsClassVariable *cls =
        AScript->AddScriptClass(&TZORHtReportDocument::staticMetaObject, QStringLiteral("THtmlNode"));
    for (const char *decl :
         {"function GetDataSetByName(const AName: String): TDataSet;",
          "function RealValue(DatasetName, FieldName: String; ARecordIndex: Integer = -1): Int64;",
          "function LoadImageData(const ADatasetName, ABlobFieldName, ADocumentIDFieldName: String; var "
          "AImageData: TBytes; var AImageFormat: String): Boolean;",
          "function GetEmbedImageDataTag(const AImageData: TBytes; const AImageFormat: String = ''; AAlt: String "
          "= ''; ACSSClass: String = ''; ACSSStyle: String = ''; AllowInline: Boolean = true): String;"})
        cls->AddMethod(QString::fromLatin1(decl), &Tfs_RTTIFunctions::CallMethod);
}

Variant Tfs_RTTIFunctions::CallMethod(QObject *Instance, TfsClassVariable *ClassType, const QString &MethodName,
                                      TfsMethodHelper *Caller)
{
    Variant result(0);
    // Exactly the registering class: descendants reach these methods through it.
    if (!ClassType || ClassType->MetaObject() != &TZORHtReportDocument::staticMetaObject)
        return result;
    auto *doc = qobject_cast<TZORHtReportDocument *>(Instance);
    if (!doc)
        return result;
    auto str = [Caller](int i) { return VarToStrDef(Caller->GetVParam(i), QString()); };
    const QString name = MethodName.toUpper();
    if (name == u"REALVALUE") {
        result = Variant(qint64(doc->GetDataSetRealValue(str(0), str(1), VarToInt(Caller->GetVParam(2)))));
    } else if (name == u"GETDATASETBYNAME") {
        result = Variant(qint64(reinterpret_cast<quintptr>(doc->DataSets().GetDataSetByName(str(0)))));
    } else if (name == u"LOADIMAGEDATA") {
        QByteArray bytes;
        QString format;
        result = Variant(doc->LoadImageData(str(0), str(1), str(2), bytes, format));
        Caller->SetVParam(3, VarArrayFromBytes(bytes));
        Caller->SetVParam(4, Variant(format));
    } else if (name == u"GETEMBEDIMAGEDATATAG") {
        result = Variant(doc->GetEmbedImageDataTag(VarArrayToBytes(Caller->GetVParam(0)), str(1), str(2), str(3),
                                                   str(4), true));
    }
    return result;
}

// --- module start-up ------------------------------------------------------------

namespace detail {

namespace {

QString scriptFunction(THtTemplate &tmpl, const QString &content)
{
    auto *t = dynamic_cast<TZORHtTemplate *>(&tmpl);
    if (!t || !t->ReportDocument)
        return QString();
    return VarToStr(t->ReportDocument->ExecuteScript(content));
}

QString colorFunction(THtTemplate &, const QString &content)
{
    bool ok = false;
    const qint64 v = content.trimmed().toLongLong(&ok);
    return htmlColortoStr(Win2Color(ok ? quint32(v) : 0));
}

} // namespace

void ZORHtReportDocumentStartup()
{
    RegisterHtTemplateFunction(QStringLiteral("script"), &scriptFunction);
    RegisterHtTemplateFunction(QStringLiteral("colortohtml"), &colorFunction);
    fsRTTIModules().append(&fsModuleClass<Tfs_RTTIFunctions>);
}

void ZORHtReportDocumentShutdown()
{
    fsRTTIModules().removeAll(&fsModuleClass<Tfs_RTTIFunctions>);
    RegisterHtTemplateFunction(QStringLiteral("script"), {});
    RegisterHtTemplateFunction(QStringLiteral("colortohtml"), {});
}

} // namespace detail

} // namespace zor
