// CSV reading and writing.
#include "Book_p.h"
#include "SheetFiles.h"

#include <ZorCompCore/platform/CodePage.h>

#include <QStringDecoder>

namespace zor {

using namespace sheet_detail;

namespace {

QString decode(const QByteArray &data)
{
    QByteArray bytes = data;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8.decode(bytes);
    if (!utf8.hasError())
        return s;
    return FromCodePage(bytes, 1252);
}

// The delimiter that splits the first lines most evenly (outside quotes).
QChar detect(const QString &s)
{
    const QChar candidates[] = {u',', u';', u'\t'};
    int best = 0;
    QChar pick = u',';
    for (QChar d : candidates) {
        int count = 0, lines = 0;
        bool quoted = false;
        for (qsizetype i = 0; i < s.size() && lines < 20; ++i) {
            if (s[i] == u'"')
                quoted = !quoted;
            else if (!quoted && s[i] == d)
                ++count;
            else if (!quoted && s[i] == u'\n')
                ++lines;
        }
        if (count > best)
            best = count, pick = d;
    }
    return pick;
}

TCellValue typed(const QString &field, bool quoted, const TCsvOptions &o)
{
    if (field.isEmpty())
        return TCellValue();
    if (quoted)
        return TCellValue::Text(field);
    QString t = field;
    if (o.decimalComma && !t.contains(u'.'))
        t.replace(u',', u'.');
    if (auto n = SheetTextToNumber(t); n && !t.endsWith(u'%'))
        return TCellValue::Number(*n);
    if (field == QLatin1String("TRUE") || field == QLatin1String("FALSE"))
        return TCellValue::Boolean(field.size() == 4);
    return TCellValue::Text(field);
}

} // namespace

bool LoadCsv(TSheet &sheet, const QByteArray &data, const TCsvOptions &options, QString *error)
{
    const QString s = decode(data);
    const QChar d = options.delimiter.isNull() ? detect(s) : options.delimiter;
    TSheetBook *book = sheet.Book();
    book->BeginUpdate();
    int row = 0, col = 0;
    bool ok = true;
    QString field;
    bool quoted = false;
    auto put = [&] {
        if (row >= MaxRows || col >= MaxCols) {
            ok = false;
        } else if (options.formulas && !quoted && field.startsWith(u'=') && field.size() > 1) {
            sheet.SetCellText(row, col, field);
        } else if (TCellValue v = typed(field, quoted, options); !v.IsEmpty()) {
            sheet.SetValue(row, col, v);
        }
        field.clear();
        quoted = false;
    };
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && ok) {
        const QChar c = s[i];
        if (c == u'"' && field.isEmpty() && !quoted) {
            // A quoted field: up to the closing quote, "" is one quote.
            quoted = true;
            ++i;
            while (i < n) {
                if (s[i] == u'"') {
                    if (i + 1 < n && s[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += s[i++];
            }
            continue;
        }
        if (c == d) {
            put();
            ++col;
        } else if (c == u'\r' || c == u'\n') {
            put();
            if (c == u'\r' && i + 1 < n && s[i + 1] == u'\n')
                ++i;
            ++row;
            col = 0;
        } else {
            field += c;
        }
        ++i;
    }
    if (ok && (!field.isEmpty() || quoted))
        put();
    book->EndUpdate();
    if (!ok && error)
        *error = QStringLiteral("The data does not fit into a sheet");
    return ok;
}

QByteArray SaveCsv(const TSheet &sheet, const TCsvOptions &options)
{
    const QChar d = options.delimiter.isNull() ? QChar(u',') : options.delimiter;
    QString out;
    const int rows = sheet.RowCount(), cols = sheet.ColumnCount();
    // Row by row over what exists: collect per row first (cells are kept by column).
    std::map<int, std::map<int, QString>> lines;
    sheet.ForEachCell([&](int r, int c) { lines[r][c] = sheet.DisplayText(r, c); });
    (void)cols;
    int last = -1;
    for (auto &[r, fields] : lines) {
        for (int k = last + 1; k < r; ++k)
            out += QLatin1String("\r\n");
        int col = 0;
        for (auto &[c, text] : fields) {
            for (; col < c; ++col)
                out += d;
            QString t = text;
            if (options.decimalComma && sheet.Value(r, c).IsNumber())
                t.replace(u'.', u',');
            if (t.contains(d) || t.contains(u'"') || t.contains(u'\n') || t.contains(u'\r'))
                t = u'"' + t.replace(u'"', QLatin1String("\"\"")) + u'"';
            out += t;
        }
        out += QLatin1String("\r\n");
        last = r;
    }
    (void)rows;
    return out.toUtf8();
}

} // namespace zor
