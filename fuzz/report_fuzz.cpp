// Loads arbitrary text as a report template (script blocks, dynamic blocks,
// data expressions), renders it over a fixed data set, data packet and
// report variable, and renders the page's dynamic blocks again. What may
// escape: the report's own errors (compile errors, collected expression
// errors), template syntax errors, the data layer's field-not-found, a record
// index that is no number, and the errors a template's script raises while
// its main block or its Initialization and Finalization run (those are
// Exceptions of the script runtime, the run bounded by a statement limit).
// Anything else is a finding.
#include "FuzzText.h"

#include <ZorCompCore/data/MemDataSet.h>
#include <ZorCompCore/reporting/ZORHtReportDocument.h>

#include <cstddef>
#include <cstdint>

using namespace zor;

namespace {

std::unique_ptr<TMemDataSet> makeOrders()
{
    auto ds = std::make_unique<TMemDataSet>();
    ds->FieldDefs().Add(QStringLiteral("Id"), ftInteger);
    ds->FieldDefs().Add(QStringLiteral("Name"), ftString);
    ds->FieldDefs().Add(QStringLiteral("Total"), ftFloat);
    ds->FieldDefs().Add(QStringLiteral("Logo"), ftBlob);
    ds->CreateDataSet();
    ds->AppendRecord({Variant(1), Variant(QStringLiteral("<a>")), Variant(1.5), VarArrayFromBytes("\x89PNG\r\n\x1a\n")});
    ds->AppendRecord({Variant(2), Variant::Null(), Variant(0.0), Variant::Null()});
    ds->AppendRecord({Variant(3), Variant(QStringLiteral("c")), Variant(-7.25), VarArrayFromBytes("<svg/>")});
    return ds;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::unique_ptr<THtXMLNode> packet =
        THtXMLNode::FromXml("<DATAPACKET><ROWDATA><ROW ID=\"1\" TOTAL=\"9\" TOTAL_REALVALUE=\"x\"/>"
                            "<ROW ID=\"2\"/></ROWDATA></DATAPACKET>");
    static const std::unique_ptr<THtXMLNode> context =
        THtXMLNode::FromJson(R"({"title": "<t>", "rows": [{"a": 1}, {"a": 2}], "empty": []})");
    const QString text = fuzz::textOf(data, size);

    auto orders = makeOrders();
    TZORHtReportDocument doc;
    doc.DataSets().AddDataSet(orders.get(), QStringLiteral("Orders"));
    doc.AddVariable(QStringLiteral("Title"), Variant(QStringLiteral("Fuzz")));
    doc.Script()->SetStatementLimit(100000);
    doc.Script()->SetMemoryLimit(16 << 20);
    try {
        doc.LoadTemplate(text);
        fuzz::check(doc.TemplateLoaded());
        doc.RegisterVariable(QStringLiteral("Pk"), packet.get());
        doc.SetReportContext(context.get());
        QString page;
        try {
            page = doc.Render();
        } catch (const EZORHtReportErrorScriptError &e) {
            page = e.Html();
        }
        fuzz::check(doc.TemplateText().isEmpty());
        doc.RegisterVariable(QStringLiteral("Pk"), packet.get());
        try {
            (void)doc.ReRenderDynamic(page);
        } catch (const EZORHtReportErrorScriptError &) {
        }
    } catch (const EZORHtReportError &) {
    } catch (const EHtTemplateError &) {
    } catch (const EDatabaseError &) {
    } catch (const EConvertError &) {
    } catch (const Exception &) {
        // the template's own script raised while it ran (its runtime errors
        // are Exceptions of many classes, EScriptAborted at the limit)
    }
    return 0;
}
