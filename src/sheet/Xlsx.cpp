// .xlsx: a zip of XML parts. We read the workbook, its relationships, shared
// strings, number formats and worksheets, and write the same set back.
#include "Book_p.h"
#include "SheetFiles.h"
#include "Zip_p.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <map>

namespace zor {

using namespace sheet_detail;

namespace {

const char *const MainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char *const RelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// Functions newer files write with the "_xlfn." prefix.
const char *const PrefixedFunctions[] = {"IFNA"};

// Number formats with built-in ids.
QString builtinFormat(int id)
{
    switch (id) {
    case 0: return QStringLiteral("General");
    case 1: return QStringLiteral("0");
    case 2: return QStringLiteral("0.00");
    case 3: return QStringLiteral("#,##0");
    case 4: return QStringLiteral("#,##0.00");
    case 9: return QStringLiteral("0%");
    case 10: return QStringLiteral("0.00%");
    case 11: return QStringLiteral("0.00E+00");
    case 12: return QStringLiteral("# ?/?");
    case 14: return QStringLiteral("m/d/yyyy");
    case 15: return QStringLiteral("d-mmm-yy");
    case 16: return QStringLiteral("d-mmm");
    case 17: return QStringLiteral("mmm-yy");
    case 18: return QStringLiteral("h:mm AM/PM");
    case 19: return QStringLiteral("h:mm:ss AM/PM");
    case 20: return QStringLiteral("h:mm");
    case 21: return QStringLiteral("h:mm:ss");
    case 22: return QStringLiteral("m/d/yyyy h:mm");
    case 37: return QStringLiteral("#,##0 ;(#,##0)");
    case 38: return QStringLiteral("#,##0 ;[Red](#,##0)");
    case 39: return QStringLiteral("#,##0.00;(#,##0.00)");
    case 40: return QStringLiteral("#,##0.00;[Red](#,##0.00)");
    case 45: return QStringLiteral("mm:ss");
    case 46: return QStringLiteral("[h]:mm:ss");
    case 47: return QStringLiteral("mmss.0");
    case 48: return QStringLiteral("##0.0E+0");
    case 49: return QStringLiteral("@");
    }
    return QStringLiteral("General");
}

// Resolves a relationship target against the folder of the part that names it.
QString resolvePart(const QString &base, const QString &target)
{
    if (target.startsWith(u'/'))
        return target.mid(1);
    QStringList parts = base.split(u'/', Qt::SkipEmptyParts);
    for (const QString &p : target.split(u'/', Qt::SkipEmptyParts)) {
        if (p == QLatin1String(".."))
            parts.isEmpty() ? void() : parts.removeLast();
        else if (p != QLatin1String("."))
            parts << p;
    }
    return parts.join(u'/');
}

std::map<QString, QString> readRels(ZipReader &zip, const QString &relsPart, const QString &baseDir)
{
    std::map<QString, QString> out;
    QByteArray bytes;
    QString err;
    if (!zip.Read(relsPart, bytes, err))
        return out;
    QXmlStreamReader x(bytes);
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("Relationship"))
            out[x.attributes().value(QLatin1String("Id")).toString()] =
                resolvePart(baseDir, x.attributes().value(QLatin1String("Target")).toString());
    }
    return out;
}

// Text of a <si> or <is>: plain <t> or the runs' <t> joined (phonetic runs left out).
QString readStringItem(QXmlStreamReader &x)
{
    QString s;
    const QString end = x.name().toString();
    int depth = 1;
    bool phonetic = false;
    while (!x.atEnd() && depth > 0) {
        x.readNext();
        if (x.isStartElement()) {
            ++depth;
            if (x.name() == QLatin1String("rPh"))
                phonetic = true;
            else if (x.name() == QLatin1String("t") && !phonetic)
                s += x.readElementText(QXmlStreamReader::IncludeChildElements), --depth;
        } else if (x.isEndElement()) {
            --depth;
            if (x.name() == QLatin1String("rPh"))
                phonetic = false;
        }
    }
    return s;
}

struct SharedFormula
{
    std::shared_ptr<const FormulaCode> code;
    int row = 0, col = 0;
};

bool parseArea(const QString &ref, QRect &r)
{
    const QStringList p = ref.split(u':');
    int r1, c1, r2, c2;
    if (p.isEmpty() || !ParseCellName(p[0], r1, c1))
        return false;
    if (p.size() < 2 || !ParseCellName(p[1], r2, c2))
        r2 = r1, c2 = c1;
    r = QRect(QPoint(std::min(c1, c2), std::min(r1, r2)), QPoint(std::max(c1, c2), std::max(r1, r2)));
    return true;
}

void readSheet(TSheetBook &book, TSheet *sheet, const QByteArray &bytes, const QStringList &strings,
               const QList<int> &xfFormats, const QHash<int, QString> &formats)
{
    QXmlStreamReader x(bytes);
    std::map<QString, SharedFormula> shared;
    int row = -1, col = -1;
    auto &cache = SheetAccess::D(&book).cache;
    while (!x.atEnd()) {
        x.readNext();
        if (!x.isStartElement())
            continue;
        const auto name = x.name();
        const auto attrs = x.attributes();
        if (name == QLatin1String("col")) {
            const int mn = attrs.value(QLatin1String("min")).toInt(), mx = attrs.value(QLatin1String("max")).toInt();
            const double w = attrs.value(QLatin1String("width")).toDouble();
            // One width for a run of columns: set each, bounded by the grid.
            if (mn >= 1 && mx >= mn && mx - mn < 64 && w > 0)
                for (int c = mn; c <= mx; ++c)
                    sheet->SetColumnWidth(c - 1, w);
        } else if (name == QLatin1String("row")) {
            bool ok;
            const int r = attrs.value(QLatin1String("r")).toInt(&ok);
            row = ok ? r - 1 : row + 1;
            col = -1;
        } else if (name == QLatin1String("mergeCell")) {
            QRect r;
            if (parseArea(attrs.value(QLatin1String("ref")).toString(), r))
                sheet->AddMerge(r);
        } else if (name == QLatin1String("c")) {
            int r = row, c = col + 1;
            const QString ref = attrs.value(QLatin1String("r")).toString();
            if (!ref.isEmpty() && !ParseCellName(ref, r, c)) {
                x.skipCurrentElement();
                continue;
            }
            row = r, col = c;
            const QString type = attrs.value(QLatin1String("t")).toString();
            const int style = attrs.value(QLatin1String("s")).toInt();
            QString v, f, fType, fSi, inlineText;
            bool hasF = false, hasV = false, hasInline = false;
            while (x.readNextStartElement()) {
                if (x.name() == QLatin1String("v")) {
                    v = x.readElementText();
                    hasV = true;
                } else if (x.name() == QLatin1String("f")) {
                    fType = x.attributes().value(QLatin1String("t")).toString();
                    fSi = x.attributes().value(QLatin1String("si")).toString();
                    f = x.readElementText();
                    hasF = true;
                } else if (x.name() == QLatin1String("is")) {
                    inlineText = readStringItem(x);
                    hasInline = true;
                } else {
                    x.skipCurrentElement();
                }
            }
            if (r < 0 || r >= MaxRows || c < 0 || c >= MaxCols)
                continue;
            TCellValue value;
            if (type == QLatin1String("s")) {
                bool ok;
                const int i = v.toInt(&ok);
                value = ok && i >= 0 && i < strings.size() ? TCellValue::Text(strings[i]) : TCellValue();
            } else if (type == QLatin1String("inlineStr")) {
                value = TCellValue::Text(inlineText);
            } else if (type == QLatin1String("str")) {
                value = hasV ? TCellValue::Text(v) : TCellValue();
            } else if (type == QLatin1String("b")) {
                value = TCellValue::Boolean(v.trimmed() == QLatin1String("1"));
            } else if (type == QLatin1String("e")) {
                const TSheetError e = SheetErrorFromText(v.trimmed());
                value = TCellValue::Error(e == TSheetError::None ? TSheetError::Value : e);
            } else if (hasV) {
                bool ok;
                const double d = v.toDouble(&ok);
                value = ok ? TCellValue::Number(d) : TCellValue::Text(v);
            }
            (void)hasInline;
            bool placed = false;
            if (hasF) {
                std::shared_ptr<const FormulaCode> code;
                if (fType == QLatin1String("shared") && f.isEmpty()) {
                    // A follower shares its master's tree, which is relative.
                    auto it = shared.find(fSi);
                    if (it != shared.end())
                        code = it->second.code;
                } else if (!f.isEmpty()) {
                    code = CompileFormula(f, r, c, nullptr, &cache);
                    if (fType == QLatin1String("shared") && code)
                        shared[fSi] = {code, r, c};
                    if (!code)
                        sheet->SetUnparsedFormula(r, c, f, value), placed = true;
                }
                if (code && code->unknownFunction) {
                    sheet->SetUnparsedFormula(r, c, FormulaText(*code, r, c), value);
                    placed = true;
                } else if (code) {
                    Cell &cell = SheetAccess::D(sheet).Get(r, c);
                    cell.value = value;
                    // The tree is the master's (or this text's): no second compile.
                    sheet->SetFormula(r, c, u'=' + FormulaText(*code, r, c));
                    placed = true;
                }
            }
            if (!placed && !value.IsEmpty())
                sheet->SetValue(r, c, value);
            if (style > 0 && style < xfFormats.size()) {
                const int id = xfFormats[style];
                const QString fmt = formats.contains(id) ? formats.value(id) : builtinFormat(id);
                if (fmt != QLatin1String("General"))
                    sheet->SetNumberFormat(r, c, fmt);
            }
        }
    }
}

// Adds the "_xlfn." prefix to the function names that need it, outside text literals.
QString prefixNewFunctions(const QString &f)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        if (c == u'"')
            quoted = !quoted;
        if (!quoted && (i == 0 || !(f[i - 1].isLetterOrNumber() || f[i - 1] == u'.' || f[i - 1] == u'_')))
            for (const char *name : PrefixedFunctions) {
                const QLatin1String n(name);
                if (f.mid(i, n.size()).compare(n, Qt::CaseInsensitive) == 0 && f.mid(i + n.size(), 1) == QLatin1String("("))
                    out += QLatin1String("_xlfn.");
            }
        out += c;
    }
    return out;
}

QByteArray xml(const std::function<void(QXmlStreamWriter &)> &body)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    body(w);
    w.writeEndDocument();
    return out;
}

} // namespace

bool LoadXlsx(TSheetBook &book, const QByteArray &data, QString *error)
{
    book.Clear();
    QString err;
    auto fail = [&](const QString &m) {
        book.Clear();
        if (error)
            *error = m;
        return false;
    };
    ZipReader zip;
    if (!zip.Open(data, err))
        return fail(err);
    QByteArray wb;
    if (!zip.Read(QStringLiteral("xl/workbook.xml"), wb, err))
        return fail(QStringLiteral("Not an .xlsx workbook: %1").arg(err));
    const auto rels = readRels(zip, QStringLiteral("xl/_rels/workbook.xml.rels"), QStringLiteral("xl"));

    QStringList strings;
    QByteArray bytes;
    if (zip.Contains(QStringLiteral("xl/sharedStrings.xml"))) {
        if (!zip.Read(QStringLiteral("xl/sharedStrings.xml"), bytes, err))
            return fail(err);
        QXmlStreamReader x(bytes);
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == QLatin1String("si"))
                strings << readStringItem(x);
        }
    }
    QList<int> xfFormats;
    QHash<int, QString> formats;
    if (zip.Contains(QStringLiteral("xl/styles.xml"))) {
        if (!zip.Read(QStringLiteral("xl/styles.xml"), bytes, err))
            return fail(err);
        QXmlStreamReader x(bytes);
        bool inCellXfs = false;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement()) {
                if (x.name() == QLatin1String("numFmt"))
                    formats.insert(x.attributes().value(QLatin1String("numFmtId")).toInt(),
                                   x.attributes().value(QLatin1String("formatCode")).toString());
                else if (x.name() == QLatin1String("cellXfs"))
                    inCellXfs = true;
                else if (inCellXfs && x.name() == QLatin1String("xf"))
                    xfFormats << x.attributes().value(QLatin1String("numFmtId")).toInt();
            } else if (x.isEndElement() && x.name() == QLatin1String("cellXfs")) {
                inCellXfs = false;
            }
        }
    }
    QStringList warnings;
    const QStringList names = zip.Names();
    auto dropped = [&](const char *prefix, const char *what) {
        for (const QString &n : names)
            if (n.startsWith(QLatin1String(prefix))) {
                warnings << QString::fromLatin1(what);
                return;
            }
    };
    dropped("xl/charts/", "Charts are not kept");
    dropped("xl/media/", "Images are not kept");
    dropped("xl/vbaProject", "Macros are not kept");
    dropped("xl/pivot", "Pivot tables are not kept");
    dropped("xl/comments", "Comments are not kept");
    dropped("xl/tables/", "Table definitions are not kept");

    book.BeginUpdate();
    QXmlStreamReader x(wb);
    struct Entry
    {
        QString name, part;
    };
    std::vector<Entry> entries;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("sheet")) {
            const auto a = x.attributes();
            QString rid = a.value(QLatin1String(RelNs), QLatin1String("id")).toString();
            if (rid.isEmpty())
                rid = a.value(QLatin1String("r:id")).toString();
            auto it = rels.find(rid);
            entries.push_back({a.value(QLatin1String("name")).toString(), it == rels.end() ? QString() : it->second});
        }
    }
    if (x.hasError() && entries.empty()) {
        book.EndUpdate();
        return fail(QStringLiteral("Damaged workbook part: %1").arg(x.errorString()));
    }
    for (const Entry &e : entries) {
        TSheet *sheet = book.AddSheet(e.name);
        if (e.part.isEmpty() || !zip.Contains(e.part)) {
            warnings << QStringLiteral("Sheet %1 has no worksheet part").arg(e.name);
            continue;
        }
        if (!zip.Read(e.part, bytes, err)) {
            book.EndUpdate();
            return fail(err);
        }
        readSheet(book, sheet, bytes, strings, xfFormats, formats);
    }
    if (book.SheetCount() == 0)
        book.AddSheet();
    book.SetLoadWarnings(warnings);
    book.EndUpdate();
    return true;
}

bool SaveXlsx(const TSheetBook &book, QByteArray &data, QString *error)
{
    ZipWriter zip;
    const int n = book.SheetCount();
    const QString main = QString::fromLatin1(MainNs);
    zip.Add(QStringLiteral("[Content_Types].xml"), xml([&](QXmlStreamWriter &w) {
                w.writeStartElement(QStringLiteral("Types"));
                w.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
                auto def = [&](const char *ext, const char *type) {
                    w.writeEmptyElement(QStringLiteral("Default"));
                    w.writeAttribute(QStringLiteral("Extension"), QString::fromLatin1(ext));
                    w.writeAttribute(QStringLiteral("ContentType"), QString::fromLatin1(type));
                };
                def("rels", "application/vnd.openxmlformats-package.relationships+xml");
                def("xml", "application/xml");
                auto over = [&](const QString &part, const char *type) {
                    w.writeEmptyElement(QStringLiteral("Override"));
                    w.writeAttribute(QStringLiteral("PartName"), part);
                    w.writeAttribute(QStringLiteral("ContentType"), QString::fromLatin1(type));
                };
                over(QStringLiteral("/xl/workbook.xml"),
                     "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
                for (int i = 1; i <= n; ++i)
                    over(QStringLiteral("/xl/worksheets/sheet%1.xml").arg(i),
                         "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml");
                over(QStringLiteral("/xl/styles.xml"),
                     "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");
                over(QStringLiteral("/xl/sharedStrings.xml"),
                     "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml");
                w.writeEndElement();
            }));
    zip.Add(QStringLiteral("_rels/.rels"), xml([&](QXmlStreamWriter &w) {
                w.writeStartElement(QStringLiteral("Relationships"));
                w.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships"));
                w.writeEmptyElement(QStringLiteral("Relationship"));
                w.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId1"));
                w.writeAttribute(QStringLiteral("Type"), QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument"));
                w.writeAttribute(QStringLiteral("Target"), QStringLiteral("xl/workbook.xml"));
                w.writeEndElement();
            }));
    zip.Add(QStringLiteral("xl/workbook.xml"), xml([&](QXmlStreamWriter &w) {
                w.writeStartElement(QStringLiteral("workbook"));
                w.writeDefaultNamespace(main);
                w.writeNamespace(QString::fromLatin1(RelNs), QStringLiteral("r"));
                w.writeStartElement(QStringLiteral("sheets"));
                for (int i = 0; i < n; ++i) {
                    w.writeEmptyElement(QStringLiteral("sheet"));
                    w.writeAttribute(QStringLiteral("name"), book.Sheet(i)->Name());
                    w.writeAttribute(QStringLiteral("sheetId"), QString::number(i + 1));
                    w.writeAttribute(QString::fromLatin1(RelNs), QStringLiteral("id"), QStringLiteral("rId%1").arg(i + 1));
                }
                w.writeEndElement();
                w.writeEndElement();
            }));
    zip.Add(QStringLiteral("xl/_rels/workbook.xml.rels"), xml([&](QXmlStreamWriter &w) {
                w.writeStartElement(QStringLiteral("Relationships"));
                w.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships"));
                auto rel = [&](int id, const char *type, const QString &target) {
                    w.writeEmptyElement(QStringLiteral("Relationship"));
                    w.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId%1").arg(id));
                    w.writeAttribute(QStringLiteral("Type"), QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/") + QString::fromLatin1(type));
                    w.writeAttribute(QStringLiteral("Target"), target);
                };
                for (int i = 1; i <= n; ++i)
                    rel(i, "worksheet", QStringLiteral("worksheets/sheet%1.xml").arg(i));
                rel(n + 1, "styles", QStringLiteral("styles.xml"));
                rel(n + 2, "sharedStrings", QStringLiteral("sharedStrings.xml"));
                w.writeEndElement();
            }));

    QStringList strings;
    QHash<QString, int> stringIndex;
    QStringList formats; // distinct non-General formats; style i+1 uses formats[i]
    QHash<QString, int> formatIndex;
    for (int i = 0; i < n; ++i) {
        const TSheet *sheet = book.Sheet(i);
        zip.Add(QStringLiteral("xl/worksheets/sheet%1.xml").arg(i + 1), xml([&](QXmlStreamWriter &w) {
                    w.writeStartElement(QStringLiteral("worksheet"));
                    w.writeDefaultNamespace(main);
                    const QList<int> widths = sheet->ColumnsWithWidth();
                    if (!widths.isEmpty()) {
                        w.writeStartElement(QStringLiteral("cols"));
                        for (int c : widths) {
                            w.writeEmptyElement(QStringLiteral("col"));
                            w.writeAttribute(QStringLiteral("min"), QString::number(c + 1));
                            w.writeAttribute(QStringLiteral("max"), QString::number(c + 1));
                            w.writeAttribute(QStringLiteral("width"), QString::number(sheet->ColumnWidth(c), 'g', 15));
                            w.writeAttribute(QStringLiteral("customWidth"), QStringLiteral("1"));
                        }
                        w.writeEndElement();
                    }
                    // Rows in order, cells in order within a row.
                    std::map<int, std::vector<int>> rows;
                    sheet->ForEachCell([&](int r, int c) { rows[r].push_back(c); });
                    w.writeStartElement(QStringLiteral("sheetData"));
                    for (auto &[r, cols] : rows) {
                        std::sort(cols.begin(), cols.end());
                        w.writeStartElement(QStringLiteral("row"));
                        w.writeAttribute(QStringLiteral("r"), QString::number(r + 1));
                        for (int c : cols) {
                            const TCellValue v = sheet->Value(r, c);
                            const QString fmt = sheet->NumberFormat(r, c);
                            w.writeStartElement(QStringLiteral("c"));
                            w.writeAttribute(QStringLiteral("r"), CellName(r, c));
                            if (fmt != QLatin1String("General")) {
                                int k = formatIndex.value(fmt, -1);
                                if (k < 0) {
                                    k = int(formats.size());
                                    formats << fmt;
                                    formatIndex.insert(fmt, k);
                                }
                                w.writeAttribute(QStringLiteral("s"), QString::number(k + 1));
                            }
                            const bool formula = sheet->HasFormula(r, c);
                            switch (v.kind) {
                            case TCellKind::Text:
                                w.writeAttribute(QStringLiteral("t"), formula ? QStringLiteral("str") : QStringLiteral("s"));
                                break;
                            case TCellKind::Boolean: w.writeAttribute(QStringLiteral("t"), QStringLiteral("b")); break;
                            case TCellKind::Error: w.writeAttribute(QStringLiteral("t"), QStringLiteral("e")); break;
                            default: break;
                            }
                            if (formula)
                                w.writeTextElement(QStringLiteral("f"), prefixNewFunctions(sheet->Formula(r, c).mid(1)));
                            switch (v.kind) {
                            case TCellKind::Empty: break;
                            case TCellKind::Number:
                                w.writeTextElement(QStringLiteral("v"), QString::number(v.number, 'g', 17));
                                break;
                            case TCellKind::Boolean:
                                w.writeTextElement(QStringLiteral("v"), v.number ? QStringLiteral("1") : QStringLiteral("0"));
                                break;
                            case TCellKind::Error: w.writeTextElement(QStringLiteral("v"), SheetErrorText(v.error)); break;
                            case TCellKind::Text:
                                if (formula) {
                                    w.writeTextElement(QStringLiteral("v"), v.text);
                                } else {
                                    int k = stringIndex.value(v.text, -1);
                                    if (k < 0) {
                                        k = int(strings.size());
                                        strings << v.text;
                                        stringIndex.insert(v.text, k);
                                    }
                                    w.writeTextElement(QStringLiteral("v"), QString::number(k));
                                }
                                break;
                            }
                            w.writeEndElement();
                        }
                        w.writeEndElement();
                    }
                    w.writeEndElement();
                    const QList<QRect> merges = sheet->Merges();
                    if (!merges.isEmpty()) {
                        w.writeStartElement(QStringLiteral("mergeCells"));
                        w.writeAttribute(QStringLiteral("count"), QString::number(merges.size()));
                        for (const QRect &m : merges) {
                            w.writeEmptyElement(QStringLiteral("mergeCell"));
                            w.writeAttribute(QStringLiteral("ref"), CellName(m.top(), m.left()) + u':' + CellName(m.bottom(), m.right()));
                        }
                        w.writeEndElement();
                    }
                    w.writeEndElement();
                }));
    }
    zip.Add(QStringLiteral("xl/sharedStrings.xml"), xml([&](QXmlStreamWriter &w) {
                w.writeStartElement(QStringLiteral("sst"));
                w.writeDefaultNamespace(main);
                w.writeAttribute(QStringLiteral("count"), QString::number(strings.size()));
                w.writeAttribute(QStringLiteral("uniqueCount"), QString::number(strings.size()));
                for (const QString &s : strings) {
                    w.writeStartElement(QStringLiteral("si"));
                    w.writeStartElement(QStringLiteral("t"));
                    if (s != s.trimmed())
                        w.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
                    w.writeCharacters(s);
                    w.writeEndElement();
                    w.writeEndElement();
                }
                w.writeEndElement();
            }));
    zip.Add(QStringLiteral("xl/styles.xml"), xml([&](QXmlStreamWriter &w) {
                w.writeStartElement(QStringLiteral("styleSheet"));
                w.writeDefaultNamespace(main);
                if (!formats.isEmpty()) {
                    w.writeStartElement(QStringLiteral("numFmts"));
                    w.writeAttribute(QStringLiteral("count"), QString::number(formats.size()));
                    for (int i = 0; i < formats.size(); ++i) {
                        w.writeEmptyElement(QStringLiteral("numFmt"));
                        w.writeAttribute(QStringLiteral("numFmtId"), QString::number(164 + i));
                        w.writeAttribute(QStringLiteral("formatCode"), formats[i]);
                    }
                    w.writeEndElement();
                }
                // The minimum the format requires: one font, two fills, one border.
                w.writeStartElement(QStringLiteral("fonts"));
                w.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
                w.writeStartElement(QStringLiteral("font"));
                w.writeEmptyElement(QStringLiteral("sz"));
                w.writeAttribute(QStringLiteral("val"), QStringLiteral("11"));
                w.writeEmptyElement(QStringLiteral("name"));
                w.writeAttribute(QStringLiteral("val"), QStringLiteral("Calibri"));
                w.writeEndElement();
                w.writeEndElement();
                w.writeStartElement(QStringLiteral("fills"));
                w.writeAttribute(QStringLiteral("count"), QStringLiteral("2"));
                for (const char *p : {"none", "gray125"}) {
                    w.writeStartElement(QStringLiteral("fill"));
                    w.writeEmptyElement(QStringLiteral("patternFill"));
                    w.writeAttribute(QStringLiteral("patternType"), QString::fromLatin1(p));
                    w.writeEndElement();
                }
                w.writeEndElement();
                w.writeStartElement(QStringLiteral("borders"));
                w.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
                w.writeEmptyElement(QStringLiteral("border"));
                w.writeEndElement();
                w.writeStartElement(QStringLiteral("cellStyleXfs"));
                w.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
                w.writeEmptyElement(QStringLiteral("xf"));
                w.writeAttribute(QStringLiteral("numFmtId"), QStringLiteral("0"));
                w.writeEndElement();
                w.writeStartElement(QStringLiteral("cellXfs"));
                w.writeAttribute(QStringLiteral("count"), QString::number(formats.size() + 1));
                w.writeEmptyElement(QStringLiteral("xf"));
                w.writeAttribute(QStringLiteral("numFmtId"), QStringLiteral("0"));
                for (int i = 0; i < formats.size(); ++i) {
                    w.writeEmptyElement(QStringLiteral("xf"));
                    w.writeAttribute(QStringLiteral("numFmtId"), QString::number(164 + i));
                    w.writeAttribute(QStringLiteral("applyNumberFormat"), QStringLiteral("1"));
                }
                w.writeEndElement();
                w.writeEndElement();
            }));
    QString err;
    if (!zip.Finish(data, err)) {
        if (error)
            *error = err;
        return false;
    }
    return true;
}

bool LoadSheetFile(TSheetBook &book, const QString &fileName, QString *error)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open %1: %2").arg(fileName, f.errorString());
        return false;
    }
    if (f.size() > MaxTotalSize) {
        if (error)
            *error = QStringLiteral("%1 is too large").arg(fileName);
        return false;
    }
    const QByteArray data = f.readAll();
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == QLatin1String("xlsx") || ext == QLatin1String("xlsm") || ext == QLatin1String("xls"))
        return LoadXlsx(book, data, error);
    if (ext == QLatin1String("ods"))
        return LoadOds(book, data, error);
    if (ext == QLatin1String("csv") || ext == QLatin1String("tsv") || ext == QLatin1String("txt")) {
        book.Clear();
        TSheet *s = book.AddSheet(QFileInfo(fileName).completeBaseName());
        TCsvOptions o;
        if (ext == QLatin1String("tsv"))
            o.delimiter = u'\t';
        return LoadCsv(*s, data, o, error);
    }
    if (error)
        *error = QStringLiteral("Unknown spreadsheet file type: %1").arg(fileName);
    return false;
}

bool SaveSheetFile(const TSheetBook &book, const QString &fileName, QString *error)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    QByteArray data;
    if (ext == QLatin1String("xlsx")) {
        if (!SaveXlsx(book, data, error))
            return false;
    } else if (ext == QLatin1String("ods")) {
        if (!SaveOds(book, data, error))
            return false;
    } else if ((ext == QLatin1String("csv") || ext == QLatin1String("tsv")) && book.SheetCount() > 0) {
        TCsvOptions o;
        if (ext == QLatin1String("tsv"))
            o.delimiter = u'\t';
        data = SaveCsv(*book.Sheet(0), o);
    } else {
        if (error)
            *error = QStringLiteral("Unknown spreadsheet file type: %1").arg(fileName);
        return false;
    }
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(fileName, f.errorString());
        return false;
    }
    return true;
}

} // namespace zor
