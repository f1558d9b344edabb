// Typed binary encoding: a record written field by field, the same record read
// back, what short and hostile data do, and a named variant list kept in a
// file. Exits with 1 when anything reads back differently.
#include <ZorCompCore/core/NamedVariantList.h>
#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/Variant.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>

using namespace zor;

namespace {

QTextStream out(stdout);
int failures = 0;

void check(bool ok, const char *what)
{
    if (!ok) {
        out << "unexpected: " << what << '\n';
        ++failures;
    }
}

// The writer and the reader agree on the order of the fields: the encoding
// carries no field names and no type information outside variants.
void writeInvoice(TStream &stream)
{
    TStreamHelper writer(&stream);
    writer.WriteString(QStringLiteral("Müller GmbH"));
    writer.WriteInteger(1250);
    writer.WriteDateTime(EncodeDate(2026, 12, 5));
    writer.WriteCurrency(Currency::FromScaled(987654321)); // 98765.4321
    writer.WriteVariant(VarArrayOf({Variant(19), Variant(QStringLiteral("VAT")), Variant(true)}));
}

void readInvoice(TStream &stream)
{
    TStreamHelper reader(&stream);
    const QString customer = reader.ReadString();
    const qint32 rows = reader.ReadInteger();
    const TDateTime date = reader.ReadDateTime();
    const Currency total = reader.ReadCurrency();
    const Variant extras = reader.ReadVariant();
    out << customer << ", " << rows << " rows, " << total.ToString() << ", extras "
        << VarToStr(extras.ArrayGet(0)) << ' ' << VarToStr(extras.ArrayGet(1)) << '\n';
    check(customer == u"Müller GmbH" && rows == 1250 && date == EncodeDate(2026, 12, 5)
              && total == Currency::FromScaled(987654321) && VarArrayHighBound(extras) == 2,
          "the invoice read back differs");
}

void shortAndHostileData(const QByteArray &invoice)
{
    // Plain reads answer a default at the end of the data ...
    TBytesStream empty;
    TStreamHelper plain(&empty);
    check(plain.ReadInteger() == 0 && plain.ReadString().isEmpty(), "plain reads of nothing");

    // ... while a variant must be whole: a cut one is invalid data.
    TBytesStream cut(invoice.left(invoice.size() - 3));
    TStreamHelper strict(&cut);
    strict.ReadString();
    strict.ReadInteger();
    strict.ReadDateTime();
    strict.ReadCurrency();
    try {
        strict.ReadVariant();
        check(false, "a cut variant was read");
    } catch (const EReadError &e) {
        out << "cut variant: " << e.Message() << '\n';
    }

    // A count larger than the data left never drives an allocation: this
    // string variant (type 0x0102) claims 2^31-1 UTF-16 units and has two.
    TBytesStream hostile(QByteArray::fromHex("0201ffffff7f41004200"));
    try {
        TStreamHelper(&hostile).ReadVariant();
        check(false, "a hostile count was accepted");
    } catch (const EReadError &e) {
        out << "hostile count: " << e.Message() << '\n';
    }
}

void settingsFile(const QString &fileName)
{
    TNamedVariantList settings;
    int changes = 0;
    settings.OnChange = [&](TNamedVariantList &) { ++changes; };
    settings.BeginUpdate(); // one notification for the whole batch
    settings.Add(QStringLiteral("Kundenliste"), QStringLiteral("WindowTitle"));
    settings.Add(1250, QStringLiteral("RowCount"));
    settings.Add(true, QStringLiteral("Visible"));
    settings.SetTag(settings.IndexOfName(QStringLiteral("RowCount")), 7); // tags travel with the item
    settings.EndUpdate();
    check(changes == 1, "one change for the batch");

    {
        TFileStream file(fileName, fmCreate);
        settings.SaveToStream(file);
    }

    TNamedVariantList loaded;
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    loaded.LoadFromStream(file);
    loaded.SetValue(QStringLiteral("RowCount"), 1300);     // replaces by name
    loaded.SetValue(QStringLiteral("Sort"), QStringLiteral("Name")); // appends a new name
    for (int i = 0; i < loaded.Count(); ++i)
        out << "  " << loaded.GetName(i) << " = " << VarToStr(loaded.GetItem(i)) << " (tag " << loaded.GetTag(i)
            << ")\n";
    check(loaded.Count() == 4 && loaded.GetTag(1) == 7 && VarToStr(loaded.GetValue(QStringLiteral("RowCount"))) == u"1300"
              && loaded.GetValue(QStringLiteral("Missing")).IsNull(),
          "the settings read back differ");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    TBytesStream stream;
    writeInvoice(stream);
    out << "invoice: " << stream.Size() << " bytes\n";
    stream.SetPosition(0);
    readInvoice(stream);
    shortAndHostileData(stream.Bytes());

    QTemporaryDir dir;
    out << "settings:\n";
    settingsFile(dir.filePath(QStringLiteral("settings.nvl")));

    out.flush();
    return failures == 0 ? 0 : 1;
}
