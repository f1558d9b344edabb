// zorcc sheet: formulas evaluated, workbooks converted and calculated.
#include "Command.h"

#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/SheetFiles.h>

#include <nlohmann/json.hpp>

using json = nlohmann::ordered_json;
using namespace zor;

namespace {

const QString kUsage = QStringLiteral(
    "usage: zorcc sheet eval '<formula>'\n"
    "       zorcc sheet convert IN OUT\n"
    "       zorcc sheet calc FILE [--cells A1,B2:C3] [--json]\n"
    "\n"
    "eval     evaluates a formula (\"=SUM(1,2)*2\") in an empty workbook and prints its value.\n"
    "convert  reads a workbook (.xlsx, .csv) and writes it in the format OUT's extension names;\n"
    "         what could not be kept is listed on stderr.\n"
    "calc     reads a workbook, calculates it and prints the cells asked for (default: every\n"
    "         non-empty cell of every sheet) as Sheet!A1<tab>value, or as JSON with --json.\n"
    "         Cell names may carry a sheet (\"Data!B2\") and may be ranges (\"A1:C3\").");

json valueJson(const TCellValue &v)
{
    switch (v.kind) {
    case TCellKind::Empty: return nullptr;
    case TCellKind::Number: return v.number;
    case TCellKind::Boolean: return v.number != 0;
    case TCellKind::Text: return v.text.toStdString();
    case TCellKind::Error: return SheetErrorText(v.error).toStdString();
    }
    return nullptr;
}

// Parses "A1" or "A1:C3" into a rectangle; false when it is neither.
bool parseCells(const QString &text, int &r1, int &c1, int &r2, int &c2)
{
    const QStringList p = text.split(u':');
    auto cell = [](const QString &s, int &r, int &c) {
        int col = 0, i = 0;
        while (i < s.size() && s[i].isLetter() && i < 3)
            col = col * 26 + (s[i].toUpper().unicode() - 'A' + 1), ++i;
        bool ok = false;
        const int row = s.mid(i).toInt(&ok);
        if (i == 0 || !ok || row < 1 || row > 1048576 || col > 16384)
            return false;
        r = row - 1, c = col - 1;
        return true;
    };
    if (p.size() > 2 || !cell(p[0], r1, c1))
        return false;
    if (p.size() == 1) {
        r2 = r1, c2 = c1;
        return true;
    }
    if (!cell(p[1], r2, c2))
        return false;
    if (r1 > r2)
        std::swap(r1, r2);
    if (c1 > c2)
        std::swap(c1, c2);
    return true;
}

void loadOrFail(TSheetBook &book, const QString &path)
{
    QString err;
    if (!LoadSheetFile(book, path, &err))
        throw zorcc::InputError{err};
}

int eval(const QStringList &args, zorcc::Io &io)
{
    if (args.size() != 1)
        throw zorcc::UsageError{QStringLiteral("eval expects one formula")};
    TSheetBook book;
    book.AddSheet();
    const QString f = args[0].startsWith(u'=') ? args[0] : u'=' + args[0];
    QString err;
    if (!book.Sheet(0)->SetFormula(0, 0, f, &err))
        throw zorcc::InputError{QStringLiteral("cannot parse the formula: %1").arg(err)};
    const TCellValue v = book.Sheet(0)->Value(0, 0);
    io.out << v.ToString() << '\n';
    if (v.IsError() && !v.text.isEmpty())
        io.err << v.text << '\n';
    return 0;
}

int convert(const QStringList &args, zorcc::Io &io)
{
    if (args.size() != 2)
        throw zorcc::UsageError{QStringLiteral("convert expects IN and OUT")};
    TSheetBook book;
    loadOrFail(book, args[0]);
    for (const QString &w : book.LoadWarnings())
        io.err << "warning: " << w << '\n';
    QString err;
    if (!SaveSheetFile(book, args[1], &err))
        throw zorcc::InputError{err};
    return 0;
}

int calc(const QStringList &args, zorcc::Io &io)
{
    QString file, cells;
    bool asJson = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--json"))
            asJson = true;
        else if (args[i] == QLatin1String("--cells")) {
            if (i + 1 >= args.size())
                throw zorcc::UsageError{QStringLiteral("--cells needs a value")};
            cells = args[++i];
        } else if (args[i].startsWith(QLatin1String("--")))
            throw zorcc::UsageError{QStringLiteral("unknown option ") + args[i]};
        else if (file.isEmpty())
            file = args[i];
        else
            throw zorcc::UsageError{QStringLiteral("calc expects one file")};
    }
    if (file.isEmpty())
        throw zorcc::UsageError{QStringLiteral("calc expects a file")};
    TSheetBook book;
    loadOrFail(book, file);
    for (const QString &w : book.LoadWarnings())
        io.err << "warning: " << w << '\n';
    std::vector<std::tuple<TSheet *, int, int>> wanted;
    if (cells.isEmpty()) {
        for (int i = 0; i < book.SheetCount(); ++i) {
            TSheet *s = book.Sheet(i);
            std::vector<std::pair<int, int>> all;
            s->ForEachCell([&](int r, int c) { all.emplace_back(r, c); });
            std::sort(all.begin(), all.end());
            for (auto [r, c] : all)
                wanted.emplace_back(s, r, c);
        }
    } else {
        for (const QString &part : cells.split(u',', Qt::SkipEmptyParts)) {
            TSheet *s = book.Sheet(0);
            QString ref = part.trimmed();
            if (const qsizetype bang = ref.lastIndexOf(u'!'); bang >= 0) {
                QString name = ref.left(bang);
                if (name.startsWith(u'\'') && name.endsWith(u'\'') && name.size() >= 2)
                    name = name.mid(1, name.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
                s = book.SheetByName(name);
                if (!s)
                    throw zorcc::InputError{QStringLiteral("no sheet named %1").arg(name)};
                ref = ref.mid(bang + 1);
            }
            int r1, c1, r2, c2;
            if (!parseCells(ref, r1, c1, r2, c2))
                throw zorcc::UsageError{QStringLiteral("not a cell or range: ") + part};
            if (qint64(r2 - r1 + 1) * (c2 - c1 + 1) > 100000)
                throw zorcc::UsageError{QStringLiteral("range too large: ") + part};
            for (int r = r1; r <= r2; ++r)
                for (int c = c1; c <= c2; ++c)
                    wanted.emplace_back(s, r, c);
        }
    }
    auto cellName = [](int r, int c) {
        QString col;
        for (int k = c + 1; k > 0; k = (k - 1) / 26)
            col.prepend(QChar(u'A' + (k - 1) % 26));
        return col + QString::number(r + 1);
    };
    json out = json::object();
    for (auto [s, r, c] : wanted) {
        const QString key = s->Name() + u'!' + cellName(r, c);
        if (asJson)
            out[key.toStdString()] = valueJson(s->Value(r, c));
        else
            io.out << key << '\t' << s->DisplayText(r, c) << '\n';
    }
    if (asJson)
        io.out << QString::fromStdString(out.dump(2)) << '\n';
    return 0;
}

int run(const QStringList &args, zorcc::Io &io)
{
    if (args.isEmpty())
        throw zorcc::UsageError{QStringLiteral("expects eval, convert or calc")};
    const QString verb = args[0];
    const QStringList rest = args.mid(1);
    if (verb == QLatin1String("eval"))
        return eval(rest, io);
    if (verb == QLatin1String("convert"))
        return convert(rest, io);
    if (verb == QLatin1String("calc"))
        return calc(rest, io);
    throw zorcc::UsageError{QStringLiteral("unknown verb ") + verb};
}

} // namespace

ZORCC_COMMAND(zorcc::Command{QStringLiteral("sheet"), QStringLiteral("evaluate formulas, convert and calculate workbooks"),
                             kUsage, run});
