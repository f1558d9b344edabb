// .xlsx files: our own round trip, openpyxl reading what we write, and us
// reading what openpyxl and hand-made parts hold (shared formulas, _xlfn.,
// functions we lack), plus the files we must refuse.
#include "TestUtil.h"

#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/SheetFiles.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

using namespace zor;

namespace {

// Runs a Python snippet with Debian's interpreter (which has openpyxl);
// returns its stdout, or skips the test when the module is missing.
QByteArray python(const QString &code, bool *ok)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), code});
    p.waitForFinished(60000);
    *ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!*ok)
        qWarning("%s", p.readAllStandardError().constData());
    return p.readAllStandardOutput();
}

bool havePythonModule(const char *module)
{
    bool ok;
    python(QStringLiteral("import %1").arg(QString::fromLatin1(module)), &ok);
    return ok;
}

void fillSample(TSheetBook &b)
{
    TSheet *s = b.AddSheet(QStringLiteral("Data"));
    TSheet *o = b.AddSheet(QStringLiteral("Q'2 x"));
    b.BeginUpdate();
    for (int r = 0; r < 4; ++r) {
        s->SetValue(r, 0, TCellValue::Number(r + 1.25));
        s->SetFormula(r, 1, QStringLiteral("=A%1*2").arg(r + 1));
    }
    s->SetValue(0, 2, TCellValue::Text(QStringLiteral(" spaced <&> text ")));
    s->SetValue(1, 2, TCellValue::Boolean(true));
    s->SetValue(2, 2, TCellValue::Error(TSheetError::NA));
    s->SetFormula(3, 2, QStringLiteral("=\"n=\"&COUNT(A1:A4)"));
    s->SetFormula(4, 0, QStringLiteral("=IFNA(VLOOKUP(99,A1:B4,2,FALSE),-1)"));
    s->SetUnparsedFormula(4, 1, QStringLiteral("=FUTUREFN(A1,{1,2})"), TCellValue::Number(7));
    s->SetNumberFormat(0, 0, QStringLiteral("#,##0.00"));
    s->SetNumberFormat(1, 0, QStringLiteral("yyyy-mm-dd"));
    s->SetColumnWidth(2, 30.5);
    s->AddMerge(QRect(QPoint(3, 5), QPoint(4, 6))); // D6:E7
    o->SetFormula(0, 0, QStringLiteral("=SUM(Data!B:B)"));
    b.EndUpdate();
}

TEST(Xlsx, OurOwnRoundTripKeepsWhatWeHold)
{
    TSheetBook a;
    fillSample(a);
    QByteArray bytes;
    QString err;
    ASSERT_TRUE(SaveXlsx(a, bytes, &err)) << err.toStdString();
    TSheetBook b;
    ASSERT_TRUE(LoadXlsx(b, bytes, &err)) << err.toStdString();
    ASSERT_EQ(b.SheetCount(), 2);
    EXPECT_EQ(b.Sheet(1)->Name(), QStringLiteral("Q'2 x"));
    for (int i = 0; i < 2; ++i) {
        TSheet *x = a.Sheet(i), *y = b.Sheet(i);
        EXPECT_EQ(x->CellCount(), y->CellCount());
        x->ForEachCell([&](int r, int c) {
            SCOPED_TRACE(QStringLiteral("%1 %2,%3").arg(x->Name()).arg(r).arg(c).toStdString());
            EXPECT_EQ(x->Value(r, c), y->Value(r, c)) << y->Value(r, c).ToString().toStdString();
            EXPECT_EQ(x->Formula(r, c), y->Formula(r, c));
            EXPECT_EQ(x->NumberFormat(r, c), y->NumberFormat(r, c));
        });
    }
    TSheet *d = b.Sheet(0);
    EXPECT_EQ(d->Value(4, 0), TCellValue::Number(-1));
    EXPECT_EQ(d->Formula(4, 1), QStringLiteral("=FUTUREFN(A1,{1,2})")) << "kept as text";
    EXPECT_EQ(d->Value(4, 1), TCellValue::Number(7)) << "with its cached value";
    EXPECT_EQ(d->ColumnWidth(2), 30.5);
    EXPECT_EQ(d->Merges(), QList<QRect>{QRect(QPoint(3, 5), QPoint(4, 6))});
    EXPECT_EQ(d->DisplayText(0, 0), QStringLiteral("1.25"));
    // Column B: four doubled values and the kept formula's cached 7.
    EXPECT_EQ(b.Sheet(1)->Value(0, 0), TCellValue::Number(2 * (1.25 + 2.25 + 3.25 + 4.25) + 7));
    // Filled formulas come back as one compiled tree.
    EXPECT_LE(b.CompiledFormulaCount(), 5);
}

TEST(Xlsx, OpenpyxlReadsOurFormulasAndValues)
{
    if (!havePythonModule("openpyxl"))
        GTEST_SKIP() << "python3-openpyxl is not installed";
    TSheetBook a;
    fillSample(a);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ours.xlsx"));
    QString err;
    ASSERT_TRUE(SaveSheetFile(a, path, &err)) << err.toStdString();
    bool ok;
    const QByteArray out = python(QStringLiteral(R"(
import json, openpyxl, sys
f = openpyxl.load_workbook(%1)
v = openpyxl.load_workbook(%1, data_only=True)
d, dv = f['Data'], v['Data']
print(json.dumps({
  'sheets': f.sheetnames,
  'b2': d['B2'].value, 'b2v': dv['B2'].value, 'a1': d['A1'].value, 'a1fmt': d['A1'].number_format,
  'c1': d['C1'].value, 'c2': d['C2'].value, 'c3': dv['C3'].value, 'c4v': dv['C4'].value,
  'a5': d['A5'].value, 'width': d.column_dimensions['C'].width,
  'merged': [str(r) for r in d.merged_cells.ranges], 'other': f["Q'2 x"]['A1'].value}))
)").arg(QStringLiteral("'%1'").arg(path)), &ok);
    ASSERT_TRUE(ok);
    const QJsonObject j = QJsonDocument::fromJson(out).object();
    EXPECT_EQ(j[QStringLiteral("b2")].toString(), QStringLiteral("=A2*2"));
    EXPECT_EQ(j[QStringLiteral("b2v")].toDouble(), 4.5);
    EXPECT_EQ(j[QStringLiteral("a1")].toDouble(), 1.25);
    EXPECT_EQ(j[QStringLiteral("a1fmt")].toString(), QStringLiteral("#,##0.00"));
    EXPECT_EQ(j[QStringLiteral("c1")].toString(), QStringLiteral(" spaced <&> text "));
    EXPECT_EQ(j[QStringLiteral("c2")].toBool(), true);
    EXPECT_EQ(j[QStringLiteral("c3")].toString(), QStringLiteral("#N/A"));
    EXPECT_EQ(j[QStringLiteral("c4v")].toString(), QStringLiteral("n=4"));
    EXPECT_EQ(j[QStringLiteral("a5")].toString(), QStringLiteral("=_xlfn.IFNA(VLOOKUP(99,A1:B4,2,FALSE),-1)"));
    EXPECT_EQ(j[QStringLiteral("width")].toDouble(), 30.5);
    EXPECT_EQ(j[QStringLiteral("merged")].toArray().first().toString(), QStringLiteral("D6:E7"));
    EXPECT_EQ(j[QStringLiteral("other")].toString(), QStringLiteral("=SUM(Data!B:B)"));
}

TEST(Xlsx, ReadsWhatOthersWrite)
{
    if (!havePythonModule("openpyxl"))
        GTEST_SKIP() << "python3-openpyxl is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("theirs.xlsx"));
    bool ok;
    python(QStringLiteral(R"(
import openpyxl
from openpyxl.chart import BarChart, Reference
wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'Sales 2024'
for i in range(1, 6):
    ws.cell(row=i, column=1, value=i * 10)
ws['B1'] = '=SUM(A1:A5)'
ws['B2'] = 'text'
ws['B3'] = 0.125
ws['B3'].number_format = '0.0%'
ws.merge_cells('C1:D2')
ws.column_dimensions['B'].width = 22
chart = BarChart()
chart.add_data(Reference(ws, min_col=1, min_row=1, max_row=5))
ws.add_chart(chart, 'F2')
wb.save('%1')
)").arg(path), &ok);
    ASSERT_TRUE(ok);
    TSheetBook b;
    QString err;
    ASSERT_TRUE(LoadSheetFile(b, path, &err)) << err.toStdString();
    TSheet *s = b.Sheet(0);
    EXPECT_EQ(s->Name(), QStringLiteral("Sales 2024"));
    EXPECT_EQ(s->Value(0, 1), TCellValue::Number(150)) << "openpyxl stores no value: we calculate";
    EXPECT_EQ(s->Value(1, 1), TCellValue::Text(QStringLiteral("text")));
    EXPECT_EQ(s->DisplayText(2, 1), QStringLiteral("12.5%"));
    EXPECT_EQ(s->Merges().size(), 1);
    EXPECT_EQ(s->ColumnWidth(1), 22);
    EXPECT_TRUE(b.LoadWarnings().contains(QStringLiteral("Charts are not kept"))) << b.LoadWarnings().join(u'|').toStdString();
}

// A worksheet written by hand the way other spreadsheets write them.
QByteArray handMade(const QString &sheetXml, const QString &extraPart = QString())
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hand.xlsx"));
    QFile sx(dir.filePath(QStringLiteral("sheet.xml")));
    sx.open(QIODevice::WriteOnly);
    sx.write(sheetXml.toUtf8());
    sx.close();
    bool ok;
    python(QStringLiteral(R"(
import zipfile
z = zipfile.ZipFile('%1', 'w', zipfile.ZIP_DEFLATED)
z.writestr('[Content_Types].xml', '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>')
z.writestr('xl/workbook.xml', '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="S" sheetId="1" r:id="rId7"/></sheets></workbook>')
z.writestr('xl/_rels/workbook.xml.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId7" Type="x" Target="/xl/worksheets/other.xml"/></Relationships>')
z.writestr('xl/sharedStrings.xml', '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="99999999"><si><t>plain</t></si><si><r><t>ri</t></r><r><t>ch</t></r><rPh><t>x</t></rPh></si></sst>')
z.write('%2', 'xl/worksheets/other.xml')
if '%3':
    z.writestr('%3', b'\0' * 1000)
z.close()
)").arg(path, sx.fileName(), extraPart), &ok);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

TEST(Xlsx, SharedFormulasPrefixesAndFunctionsWeLack)
{
    if (!havePythonModule("zipfile"))
        GTEST_SKIP();
    const QString sheet = QStringLiteral(R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1"><v>1</v></c><c r="B1"><f t="shared" ref="B1:B3" si="0">A1*10</f><v>10</v></c><c r="C1" t="s"><v>1</v></c></row>
<row r="2"><c r="A2"><v>2</v></c><c r="B2"><f t="shared" si="0"/><v>0</v></c><c t="inlineStr"><is><t>inline</t></is></c></row>
<row r="3"><c r="A3"><v>3</v></c><c r="B3"><f t="shared" si="0"/></c><c r="C3"><f>_xlfn.IFNA(NA(),"x")</f></c></row>
<row r="4"><c r="A4"><f t="shared" ref="A4:A5" si="1">_xlfn.STDEV.S(A1:A3)+A1</f><v>2</v></c><c r="B4"><f>SUM(A1:A3</f><v>5</v></c><c r="ZZZZ4"><v>1</v></c></row>
<row r="5"><c r="A5"><f t="shared" si="1"/><v>3</v></c><c r="B5" t="s"><v>42</v></c><c r="C5" t="e"><v>#DIV/0!</v></c></row>
</sheetData></worksheet>)");
    const QByteArray bytes = handMade(sheet, QStringLiteral("xl/vbaProject.bin"));
    ASSERT_FALSE(bytes.isEmpty());
    TSheetBook b;
    QString err;
    ASSERT_TRUE(LoadXlsx(b, bytes, &err)) << err.toStdString();
    TSheet *s = b.Sheet(0);
    EXPECT_EQ(s->Formula(2, 1), QStringLiteral("=A3*10")) << "follower of a shared formula";
    EXPECT_EQ(s->Value(2, 1), TCellValue::Number(30));
    EXPECT_EQ(s->Value(1, 1), TCellValue::Number(20)) << "recalculated, not the stale cache";
    EXPECT_EQ(s->Value(0, 2), TCellValue::Text(QStringLiteral("rich")));
    EXPECT_EQ(s->Value(1, 2), TCellValue::Text(QStringLiteral("inline"))) << "cell without r follows B2";
    EXPECT_EQ(s->Value(2, 2), TCellValue::Text(QStringLiteral("x")));
    // A function we lack: text and cached value kept, the follower's text moved.
    EXPECT_EQ(s->Formula(3, 0), QStringLiteral("=_xlfn.STDEV.S(A1:A3)+A1"));
    EXPECT_EQ(s->Value(3, 0), TCellValue::Number(2));
    EXPECT_EQ(s->Formula(4, 0), QStringLiteral("=_xlfn.STDEV.S(A2:A4)+A2"));
    EXPECT_EQ(s->Value(4, 0), TCellValue::Number(3));
    // A formula that does not parse: kept as it stands.
    EXPECT_EQ(s->Formula(3, 1), QStringLiteral("=SUM(A1:A3"));
    EXPECT_EQ(s->Value(3, 1), TCellValue::Number(5));
    EXPECT_TRUE(s->Value(4, 1).IsEmpty()) << "a string index out of range reads as nothing";
    EXPECT_EQ(s->Value(4, 2).error, TSheetError::DivZero);
    EXPECT_TRUE(b.LoadWarnings().contains(QStringLiteral("Macros are not kept")));
    // Written back: unchanged text for what we could not run.
    QByteArray again;
    ASSERT_TRUE(SaveXlsx(b, again, &err));
    TSheetBook c;
    ASSERT_TRUE(LoadXlsx(c, again, &err));
    EXPECT_EQ(c.Sheet(0)->Formula(3, 1), QStringLiteral("=SUM(A1:A3"));
    EXPECT_EQ(c.Sheet(0)->Formula(4, 0), QStringLiteral("=_xlfn.STDEV.S(A2:A4)+A2"));
    EXPECT_EQ(c.Sheet(0)->Value(4, 0), TCellValue::Number(3));
}

TEST(Xlsx, RefusesWhatItCannotRead)
{
    TSheetBook b;
    QString err;
    QByteArray xls = QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(512, '\0');
    EXPECT_FALSE(LoadXlsx(b, xls, &err));
    EXPECT_TRUE(err.contains(QLatin1String(".xls"))) << err.toStdString();
    EXPECT_FALSE(LoadXlsx(b, QByteArray("not a zip at all"), &err));
    EXPECT_FALSE(err.isEmpty());
    EXPECT_FALSE(LoadXlsx(b, QByteArray("PK\x03\x04garbage", 11), &err));
    EXPECT_EQ(b.SheetCount(), 0);

    // A zip without a workbook, and a zip bomb.
    QTemporaryDir dir;
    bool ok;
    python(QStringLiteral(R"(
import zipfile
z = zipfile.ZipFile('%1/empty.xlsx', 'w'); z.writestr('hello.txt', 'hi'); z.close()
z = zipfile.ZipFile('%1/bomb.xlsx', 'w', zipfile.ZIP_DEFLATED)
z.writestr('xl/workbook.xml', b'<workbook>' + b' ' * (40 << 20) + b'</workbook>')
z.close()
)").arg(dir.path()), &ok);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(LoadSheetFile(b, dir.filePath(QStringLiteral("empty.xlsx")), &err));
    EXPECT_TRUE(err.contains(QLatin1String("xl/workbook.xml"))) << err.toStdString();
    EXPECT_FALSE(LoadSheetFile(b, dir.filePath(QStringLiteral("bomb.xlsx")), &err));
    EXPECT_TRUE(err.contains(QLatin1String("zip bomb"))) << err.toStdString();
    EXPECT_FALSE(LoadSheetFile(b, dir.filePath(QStringLiteral("missing.xlsx")), &err));
    EXPECT_FALSE(SaveSheetFile(b, dir.filePath(QStringLiteral("x.unknown")), &err));
}

} // namespace
