// .ods files: OpenFormula translated both ways, our own round trip, odfpy
// reading what we write and us reading what it and hand-made parts hold,
// repeat counts that cost nothing, and the files we must refuse.
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

// Debian's interpreter has odfpy; the one on PATH may not.
QByteArray python(const QString &code, bool *ok)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), code});
    p.waitForFinished(60000);
    *ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!*ok)
        ADD_FAILURE() << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

bool haveOdfpy()
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import odf.opendocument")});
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST(Ods, FormulasTranslateBothWays)
{
    struct Row
    {
        const char *odf, *a1;
    };
    const Row rows[] = {
        {"of:=SUM([.A1:.B2];1)", "=SUM(A1:B2,1)"},
        {"of:=[.A1]*2", "=A1*2"},
        {"of:=['Q 2'.$C$1]+[Data.B3]", "='Q 2'!$C$1+Data!B3"},
        {"of:=['It''s'.A1:.B2]", "='It''s'!A1:B2"},
        {"of:=SUM([.A:.A])+SUM([.$1:.3])", "=SUM(A:A)+SUM($1:3)"},
        {"of:=\"a;[.b]\"\"x\"&[.A1]", "=\"a;[.b]\"\"x\"&A1"},   // strings are left alone
        {"of:=SUM({1;2|3;4})", "=SUM({1,2;3,4})"},             // columns ; rows |
        {"of:=LOG10([.A1])+1E3", "=LOG10(A1)+1E3"},             // LOG10 is a cell name too, but called
        {"of:=IF([.A1]>=2;\"ok\";-[.B1]%)", "=IF(A1>=2,\"ok\",-B1%)"},
        {"of:=IF(TRUE();1;FALSE())", "=IF(TRUE,1,FALSE)"},    // truth values are functions there
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.odf);
        EXPECT_EQ(OdfFormulaToA1(QString::fromUtf8(r.odf)), QString::fromUtf8(r.a1));
        EXPECT_EQ(A1FormulaToOdf(QString::fromUtf8(r.a1)), QString::fromUtf8(r.odf));
    }
    // One way only: what other writers put there.
    EXPECT_EQ(OdfFormulaToA1(u"of:=[.#REF!]+1"_qs), u"=#REF!+1"_qs);
    EXPECT_EQ(OdfFormulaToA1(u"msoxl:=SUM(A1:A2)"_qs), u"=SUM(A1:A2)"_qs);
    EXPECT_EQ(OdfFormulaToA1(u"oooc:=[.A1]+[$Sheet1.B1]"_qs), u"=A1+Sheet1!B1"_qs);
    EXPECT_EQ(OdfFormulaToA1(u"of:=COM.MICROSOFT.CEILING([.A1];2)"_qs), u"=CEILING(A1,2)"_qs);
    // Across sheets: not a range the book has, so it stays text that fails to compile.
    TSheetBook b;
    b.AddSheet();
    EXPECT_FALSE(b.Sheet(0)->SetFormula(0, 0, OdfFormulaToA1(u"of:=SUM([S1.A1:S2.B2])"_qs)));
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
    s->SetValue(0, 2, TCellValue::Text(QStringLiteral("  two  spaces\tand\nlines ")));
    s->SetValue(1, 2, TCellValue::Boolean(true));
    s->SetValue(2, 2, TCellValue::Error(TSheetError::NA));
    s->SetFormula(3, 2, QStringLiteral("=\"n=\"&COUNT(A1:A4)"));
    s->SetFormula(4, 0, QStringLiteral("=1/0"));
    s->SetUnparsedFormula(4, 1, QStringLiteral("=FUTUREFN(A1,{1,2})"), TCellValue::Number(7));
    s->SetValue(5, 0, TCellValue::Number(45351.75));
    s->SetValue(6, 0, TCellValue::Number(0.125));
    s->SetValue(7, 0, TCellValue::Number(-1234.5));
    s->SetValue(8, 0, TCellValue::Number(1.5));
    s->SetNumberFormat(0, 0, QStringLiteral("#,##0.00"));
    s->SetNumberFormat(5, 0, QStringLiteral("yyyy-mm-dd hh:mm"));
    s->SetNumberFormat(6, 0, QStringLiteral("0.0%"));
    s->SetNumberFormat(7, 0, QStringLiteral("#,##0.00;[Red]-#,##0.00"));
    s->SetNumberFormat(8, 0, QStringLiteral("[h]:mm:ss"));
    s->SetColumnWidth(2, 30.5);
    s->AddMerge(QRect(QPoint(3, 5), QPoint(4, 6))); // D6:E7
    s->SetValue(1048575, 16383, TCellValue::Text(u"far"_qs));
    o->SetFormula(0, 0, QStringLiteral("=SUM(Data!B:B)+'Q''2 x'!B1"));
    o->SetValue(0, 1, TCellValue::Number(1));
    b.EndUpdate();
}

TEST(Ods, RoundTripKeepsWhatTheBookHolds)
{
    TSheetBook a;
    fillSample(a);
    QByteArray bytes;
    QString err;
    ASSERT_TRUE(SaveOds(a, bytes, &err)) << err.toStdString();
    TSheetBook b;
    ASSERT_TRUE(LoadOds(b, bytes, &err)) << err.toStdString();
    ASSERT_EQ(b.SheetCount(), 2);
    TSheet *s = b.Sheet(0);
    EXPECT_EQ(b.Sheet(1)->Name(), u"Q'2 x"_qs);
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 3; ++c) {
            SCOPED_TRACE(QStringLiteral("%1,%2").arg(r).arg(c).toStdString());
            EXPECT_EQ(s->Value(r, c), a.Sheet(0)->Value(r, c));
            EXPECT_EQ(s->Formula(r, c), a.Sheet(0)->Formula(r, c));
            EXPECT_EQ(s->NumberFormat(r, c), a.Sheet(0)->NumberFormat(r, c));
            EXPECT_EQ(s->DisplayText(r, c), a.Sheet(0)->DisplayText(r, c));
        }
    EXPECT_EQ(s->Value(4, 0).error, TSheetError::DivZero);
    EXPECT_EQ(s->Value(4, 1), TCellValue::Number(7)); // kept formula, kept value
    EXPECT_EQ(s->Value(1048575, 16383), TCellValue::Text(u"far"_qs));
    EXPECT_EQ(b.Sheet(1)->Formula(0, 0), u"=SUM(Data!B:B)+'Q''2 x'!B1"_qs);
    EXPECT_EQ(b.Sheet(1)->Value(0, 0), a.Sheet(1)->Value(0, 0));
    EXPECT_NEAR(s->ColumnWidth(2), 30.5, 0.01);
    ASSERT_EQ(s->Merges().size(), 1);
    EXPECT_EQ(s->Merges()[0], QRect(QPoint(3, 5), QPoint(4, 6)));
    // Filled formulas come back as one compiled tree.
    EXPECT_LE(b.CompiledFormulaCount(), a.CompiledFormulaCount());
}

TEST(Ods, OdfpyReadsWhatWeWrite)
{
    if (!haveOdfpy())
        GTEST_SKIP() << "python3-odf is not installed";
    TSheetBook a;
    fillSample(a);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ours.ods"));
    QString err;
    ASSERT_TRUE(SaveSheetFile(a, path, &err)) << err.toStdString();
    bool ok;
    const QByteArray out = python(QStringLiteral(R"(
import json, zipfile
from odf.opendocument import load
from odf.table import Table, TableRow, TableCell
from odf.namespaces import TABLENS, OFFICENS
from odf.teletype import extractText
from odf.text import P
z = zipfile.ZipFile(%1)
first = z.infolist()[0]
doc = load(%1)
tables = doc.spreadsheet.getElementsByType(Table)
def cells(t):
    out = {}
    r = 0
    for row in t.getElementsByType(TableRow):
        c = 0
        for cell in row.childNodes:
            out['%d,%d' % (r, c)] = {
              'f': cell.attributes.get((TABLENS, 'formula')),
              'v': cell.attributes.get((OFFICENS, 'value')),
              't': cell.attributes.get((OFFICENS, 'value-type')),
              'text': '\n'.join(extractText(p) for p in cell.getElementsByType(P))}
            c += int(cell.attributes.get((TABLENS, 'number-columns-repeated'), 1))
        r += int(row.attributes.get((TABLENS, 'number-rows-repeated'), 1))
    return out
d = cells(tables[0])
print(json.dumps({'first': first.filename, 'stored': first.compress_type == zipfile.ZIP_STORED,
  'mime': z.read('mimetype').decode(), 'names': [t.getAttribute('name') for t in tables],
  'b2': d['1,1'], 'a1': d['0,0'], 'c1': d['0,2'], 'c2': d['1,2'],
  'far': d.get('1048575,16383'), 'other': cells(tables[1])['0,0']}))
)").arg(QStringLiteral("'%1'").arg(path)), &ok);
    ASSERT_TRUE(ok);
    const QJsonObject j = QJsonDocument::fromJson(out).object();
    EXPECT_EQ(j[u"first"_qs].toString(), u"mimetype"_qs);
    EXPECT_TRUE(j[u"stored"_qs].toBool());
    EXPECT_EQ(j[u"mime"_qs].toString(), u"application/vnd.oasis.opendocument.spreadsheet"_qs);
    EXPECT_EQ(j[u"names"_qs].toArray().at(1).toString(), u"Q'2 x"_qs);
    const QJsonObject b2 = j[u"b2"_qs].toObject();
    EXPECT_EQ(b2[u"f"_qs].toString(), u"of:=[.A2]*2"_qs);
    EXPECT_EQ(b2[u"v"_qs].toString().toDouble(), 4.5);
    EXPECT_EQ(b2[u"t"_qs].toString(), u"float"_qs);
    EXPECT_EQ(j[u"a1"_qs].toObject()[u"text"_qs].toString(), u"1.25"_qs);
    EXPECT_EQ(j[u"c1"_qs].toObject()[u"text"_qs].toString(), u"  two  spaces\tand\nlines "_qs);
    EXPECT_EQ(j[u"c2"_qs].toObject()[u"t"_qs].toString(), u"boolean"_qs);
    EXPECT_EQ(j[u"far"_qs].toObject()[u"text"_qs].toString(), u"far"_qs);
    EXPECT_EQ(j[u"other"_qs].toObject()[u"f"_qs].toString(), u"of:=SUM([Data.B:.B])+['Q''2 x'.B1]"_qs);
}

TEST(Ods, ReadsWhatOdfpyWrites)
{
    if (!haveOdfpy())
        GTEST_SKIP() << "python3-odf is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("theirs.ods"));
    bool ok;
    python(QStringLiteral(R"(
from odf.opendocument import OpenDocumentSpreadsheet
from odf.table import Table, TableRow, TableCell, TableColumn
from odf.text import P, S
from odf.style import Style, TableColumnProperties
from odf.number import DateStyle, Year, Month, Day, Text, PercentageStyle, Number
doc = OpenDocumentSpreadsheet()
ds = DateStyle(name='D1')
ds.addElement(Day(style='long')); ds.addElement(Text(text='.')); ds.addElement(Month(style='long'))
ds.addElement(Text(text='.')); ds.addElement(Year(style='long'))
doc.automaticstyles.addElement(ds)
ps = PercentageStyle(name='P1')
ps.addElement(Number(decimalplaces='1', minintegerdigits='1')); ps.addElement(Text(text='%'))
doc.automaticstyles.addElement(ps)
for name, data in (('ce1', 'D1'), ('ce2', 'P1')):
    doc.automaticstyles.addElement(Style(name=name, family='table-cell', datastylename=data))
cs = Style(name='co1', family='table-column')
cs.addElement(TableColumnProperties(columnwidth='2in'))
doc.automaticstyles.addElement(cs)
t = Table(name='Sales 2024')
t.addElement(TableColumn(stylename='co1'))
t.addElement(TableColumn(numbercolumnsrepeated='16383'))
def cell(**kw):
    text = kw.pop('text', None)
    c = TableCell(**kw)
    if text is not None:
        p = P(text=text[0]); p.addElement(S(c='3')); p.addText(text[1]); c.addElement(p)
    return c
# Three rows of 10, 20, 30 given as one row repeated: a copied relative formula.
r = TableRow(numberrowsrepeated='3')
r.addElement(cell(valuetype='float', value='10'))
r.addElement(cell(formula='of:=[.A1]*2', valuetype='float', value='0'))
t.addElement(r)
r = TableRow()
r.addElement(cell(formula='of:=SUM([.A1:.A3];1)', valuetype='float', value='0'))
r.addElement(cell(valuetype='date', datevalue='2024-02-29T12:00:00', stylename='ce1'))
r.addElement(cell(valuetype='percentage', value='0.125', stylename='ce2'))
r.addElement(cell(valuetype='boolean', booleanvalue='true'))
r.addElement(cell(valuetype='string', text=('a', 'b')))
r.addElement(cell(valuetype='time', timevalue='PT36H30M00S'))
r.addElement(cell(valuetype='float', value='7', numbercolumnsrepeated='3'))
t.addElement(r)
r = TableRow(numberrowsrepeated='1048572')
r.addElement(TableCell(numbercolumnsrepeated='16384'))
t.addElement(r)
doc.spreadsheet.addElement(t)
doc.save('%1')
)").arg(path), &ok);
    ASSERT_TRUE(ok);
    TSheetBook b;
    QString err;
    ASSERT_TRUE(LoadSheetFile(b, path, &err)) << err.toStdString();
    TSheet *s = b.Sheet(0);
    EXPECT_EQ(s->Name(), u"Sales 2024"_qs);
    EXPECT_EQ(s->Value(2, 0), TCellValue::Number(10));
    EXPECT_EQ(s->Formula(2, 1), u"=A3*2"_qs);
    EXPECT_EQ(s->Value(2, 1), TCellValue::Number(20));
    EXPECT_EQ(s->Value(3, 0), TCellValue::Number(31));
    EXPECT_EQ(s->Formula(3, 0), u"=SUM(A1:A3,1)"_qs);
    EXPECT_EQ(s->DisplayText(3, 1), u"29.02.2024"_qs);
    EXPECT_EQ(s->Value(3, 1), TCellValue::Number(45351.5));
    EXPECT_EQ(s->DisplayText(3, 2), u"12.5%"_qs);
    EXPECT_EQ(s->Value(3, 3), TCellValue::Boolean(true));
    EXPECT_EQ(s->Value(3, 4), TCellValue::Text(u"a   b"_qs));
    EXPECT_DOUBLE_EQ(s->Value(3, 5).number, 1.5 + 0.5 / 24);
    EXPECT_EQ(s->Value(3, 8), TCellValue::Number(7));
    EXPECT_TRUE(s->Value(3, 9).IsEmpty());
    EXPECT_NEAR(s->ColumnWidth(0), 2 * 2.54 / 0.1905, 0.01);
    EXPECT_EQ(s->ColumnWidth(1), 0);
    EXPECT_EQ(s->CellCount(), 2 * 3 + 9);
}

// An .ods written by hand around the given table XML.
QByteArray handMade(const QString &tableXml, const QString &mimetype = u"application/vnd.oasis.opendocument.spreadsheet"_qs)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hand.ods"));
    QFile cx(dir.filePath(QStringLiteral("content.xml")));
    cx.open(QIODevice::WriteOnly);
    cx.write(QStringLiteral(
                 "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                 "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
                 "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
                 "<office:body><office:spreadsheet>%1</office:spreadsheet></office:body></office:document-content>")
                 .arg(tableXml)
                 .toUtf8());
    cx.close();
    bool ok;
    python(QStringLiteral(R"(
import zipfile
z = zipfile.ZipFile('%1', 'w', zipfile.ZIP_DEFLATED)
z.writestr(zipfile.ZipInfo('mimetype'), '%3')
z.write('%2', 'content.xml')
z.close()
)").arg(path, cx.fileName(), mimetype), &ok);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

TEST(Ods, RepeatCountsAreCheckedBeforeAnythingIsStored)
{
    TSheetBook b;
    QString err;
    // Every file ends like this: a million empty rows of 16,384 empty cells.
    ASSERT_TRUE(LoadOds(b, handMade(QStringLiteral(
                               "<table:table table:name=\"T\"><table:table-row><table:table-cell "
                               "table:formula=\"of:=1+1\"/></table:table-row>"
                               "<table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell "
                               "table:number-columns-repeated=\"16384\"/></table:table-row>"
                               "<table:table-row table:number-rows-repeated=\"99999999999\"><table:table-cell/>"
                               "</table:table-row></table:table>")),
                        &err))
        << err.toStdString();
    EXPECT_EQ(b.Sheet(0)->CellCount(), 1);
    EXPECT_EQ(b.Sheet(0)->Value(0, 0), TCellValue::Number(2));
    // The same with a value in every cell is billions of cells: refused.
    EXPECT_FALSE(LoadOds(b, handMade(QStringLiteral(
                                "<table:table table:name=\"T\"><table:table-row "
                                "table:number-rows-repeated=\"1048000\"><table:table-cell "
                                "table:number-columns-repeated=\"16384\"><text:p>x</text:p></table:table-cell>"
                                "</table:table-row></table:table>")),
                         &err));
    EXPECT_TRUE(err.contains(u"cells"_qs)) << err.toStdString();
    EXPECT_EQ(b.SheetCount(), 0);
    // Repeats past the grid's edge stop at it.
    ASSERT_TRUE(LoadOds(b, handMade(QStringLiteral(
                               "<table:table table:name=\"T\"><table:table-row><table:table-cell "
                               "table:number-columns-repeated=\"16380\"/><table:table-cell "
                               "table:number-columns-repeated=\"9\"><text:p>y</text:p></table:table-cell>"
                               "</table:table-row></table:table>")),
                        &err));
    EXPECT_EQ(b.Sheet(0)->CellCount(), 4);
    EXPECT_EQ(b.Sheet(0)->Value(0, 16383), TCellValue::Text(u"y"_qs));
}

TEST(Ods, RefusesWhatIsNoSpreadsheet)
{
    TSheetBook b;
    QString err;
    EXPECT_FALSE(LoadOds(b, QByteArray("not a zip at all"), &err));
    EXPECT_FALSE(err.isEmpty());
    EXPECT_FALSE(LoadOds(b, handMade(QString(), u"application/vnd.oasis.opendocument.text"_qs), &err));
    EXPECT_TRUE(err.contains(u"opendocument.text"_qs)) << err.toStdString();
    // Damaged XML inside a real container.
    EXPECT_FALSE(LoadOds(b, handMade(u"<table:table table:name=\"T\"><table:table-row>"_qs), &err));
    EXPECT_TRUE(err.startsWith(u"Damaged"_qs)) << err.toStdString();
}

} // namespace
