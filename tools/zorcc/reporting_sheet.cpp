// zorcc sheet: formulas evaluated, workbooks converted and calculated, in
// the scripted spreadsheet control (offscreen), so that DBVALUE and SCRIPT work.
#include "Command.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/reporting/widgets/ZORSpreadSheet.h>
#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/SheetFiles.h>

#include <QFileInfo>
#include <QHash>

#include <nlohmann/json.hpp>

using json = nlohmann::ordered_json;
using namespace zor;

namespace {

const QString kUsage = QStringLiteral(
    "usage: zorcc sheet eval '<formula>' [--script F] [--data Set.Field=V]...\n"
    "       zorcc sheet convert IN OUT [--script F] [--data Set.Field=V]...\n"
    "       zorcc sheet calc FILE [--cells A1,B2:C3] [--json] [--script F] [--data Set.Field=V]...\n"
    "\n"
    "eval     evaluates a formula (\"=SUM(1,2)*2\") in an empty workbook and prints its value.\n"
    "convert  reads a workbook (.xlsx, .ods, .csv), calculates it and writes it in the format OUT's\n"
    "         extension names; what could not be kept is listed on stderr.\n"
    "calc     reads a workbook, calculates it and prints the cells asked for (default: every\n"
    "         non-empty cell of every sheet) as Sheet!A1<tab>value, or as JSON with --json.\n"
    "         Cell names may carry a sheet (\"Data!B2\") and may be ranges (\"A1:C3\").\n"
    "\n"
    "--script F          the workbook's script: SCRIPT(\"expr\") evaluates expressions of it, and it\n"
    "                    sees the workbook as SpreadSheet (SpreadSheet.CellValue('A1')). The language\n"
    "                    follows the extension: .pas PascalScript, .cpps C++Script, .bas BasicScript,\n"
    "                    .js JScript.\n"
    "--data Set.Field=V  the value DBVALUE(\"Set\",\"Field\") gives (and the script's Set.\"Field\"): a\n"
    "                    number, TRUE or FALSE, else text. May be repeated.");

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

void loadOrFail(TSpreadSheet &sheet, const QString &path)
{
    QString err;
    if (!sheet.LoadFromFile(path, &err))
        throw zorcc::InputError{err};
}

// What --script and --data set up, taken out of the arguments.
struct ScriptOptions
{
    QString scriptFile;
    QHash<QString, Variant> data; // "SET.FIELD" (upper case) -> value

    // Consumes args[i] (and its value) when it is one of the two options.
    bool Take(const QStringList &args, int &i)
    {
        if (args[i] != u"--script" && args[i] != u"--data")
            return false;
        if (i + 1 >= args.size())
            throw zorcc::UsageError{args[i] + QStringLiteral(" needs a value")};
        const QString value = args[++i];
        if (args[i - 1] == u"--script") {
            scriptFile = value;
            return true;
        }
        const qsizetype eq = value.indexOf(u'='), dot = value.indexOf(u'.');
        if (eq < 0 || dot < 1 || dot > eq - 2)
            throw zorcc::UsageError{QStringLiteral("--data expects Set.Field=value, not ") + value};
        const QString v = value.mid(eq + 1);
        bool isNumber = false;
        const double n = v.toDouble(&isNumber);
        Variant typed = isNumber ? Variant(n)
                        : v.compare(u"TRUE", Qt::CaseInsensitive) == 0  ? Variant(true)
                        : v.compare(u"FALSE", Qt::CaseInsensitive) == 0 ? Variant(false)
                                                                         : Variant(v);
        data.insert(value.left(eq).toUpper(), typed);
        return true;
    }

    // Binds the data to the control and compiles the script (before a file
    // is loaded, so that its formulas see both).
    void Apply(TZORSpreadSheet &sheet) const
    {
        const auto data = this->data;
        sheet.OnGetDataSetFieldValue = [data](QObject *, const QString &set, const QString &field, bool,
                                              Variant &value, bool &result) {
            const auto it = data.find((set + u'.' + field).toUpper());
            if (it != data.end())
                value = *it, result = true;
        };
        if (scriptFile.isEmpty())
            return;
        const QString ext = QFileInfo(scriptFile).suffix().toLower();
        sheet.SetScriptLanguage(ext == u"js"     ? QStringLiteral("JScript")
                                : ext == u"bas"  ? QStringLiteral("BasicScript")
                                : ext == u"cpps" ? QStringLiteral("C++Script")
                                                 : QStringLiteral("PascalScript"));
        TStringList lines;
        lines.SetText(QString::fromUtf8(zorcc::readFileArg(scriptFile)));
        try {
            sheet.SetScriptText(lines);
        } catch (const EZORSpreadSheetScriptException &e) {
            throw zorcc::InputError{scriptFile + QStringLiteral(": ") + e.Message()};
        }
    }
};

int eval(const QStringList &args, zorcc::Io &io)
{
    ScriptOptions options;
    QStringList formulas;
    for (int i = 0; i < args.size(); ++i)
        if (!options.Take(args, i))
            formulas << args[i];
    if (formulas.size() != 1)
        throw zorcc::UsageError{QStringLiteral("eval expects one formula")};
    TZORSpreadSheet sheet;
    options.Apply(sheet);
    TSheetBook &book = sheet.Book();
    const QString f = formulas[0].startsWith(u'=') ? formulas[0] : u'=' + formulas[0];
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
    ScriptOptions options;
    QStringList files;
    for (int i = 0; i < args.size(); ++i)
        if (!options.Take(args, i))
            files << args[i];
    if (files.size() != 2)
        throw zorcc::UsageError{QStringLiteral("convert expects IN and OUT")};
    TZORSpreadSheet sheet;
    options.Apply(sheet);
    loadOrFail(sheet, files[0]);
    for (const QString &w : sheet.Book().LoadWarnings())
        io.err << "warning: " << w << '\n';
    // Written as calculated here (with the script and data given).
    sheet.Book().Recalculate(true);
    QString err;
    if (!sheet.SaveToFile(files[1], &err))
        throw zorcc::InputError{err};
    return 0;
}

int calc(const QStringList &args, zorcc::Io &io)
{
    QString file, cells;
    bool asJson = false;
    ScriptOptions options;
    for (int i = 0; i < args.size(); ++i) {
        if (options.Take(args, i))
            continue;
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
    TZORSpreadSheet sheet;
    options.Apply(sheet);
    loadOrFail(sheet, file);
    TSheetBook &book = sheet.Book();
    // The file's cached values are what its last application computed:
    // calculate everything here, with this script and data.
    book.Recalculate(true);
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

// The verbs run the control; help and wrong usage need no application for it.
static const bool sheetWidgets = zorcc::registerWidgetsNeed(QStringLiteral("sheet"), [](const QStringList &args) {
    return !args.isEmpty()
           && QStringList({QStringLiteral("eval"), QStringLiteral("convert"), QStringLiteral("calc")})
                  .contains(args.first())
           && !args.contains(QStringLiteral("--help")) && !args.contains(QStringLiteral("-h"));
});

ZORCC_COMMAND(zorcc::Command{QStringLiteral("sheet"), QStringLiteral("evaluate formulas, convert and calculate workbooks"),
                             kUsage, run});
