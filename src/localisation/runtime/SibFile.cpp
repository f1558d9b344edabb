#include <ZorCompCore/localisation/runtime/SibFile.h>

#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>

#include <QSaveFile>
#include <cstring>

namespace zor {

namespace {

const char Signature[4] = {'Z', 'S', 'I', 'B'};
const QLatin1String ExtendedTypeName("Extended");

[[noreturn]] void invalid(const QString &what)
{
    throw EReadError(QStringLiteral("Invalid translation file: %1").arg(what));
}

// Strict reads over TStreamHelper: the plain reads of the helper return
// defaults at the end of the data, which would hide a truncated file.
class Reader
{
public:
    explicit Reader(TStream &s) : FStream(s), FHelper(&s) {}

    qint64 left() { return FStream.Size() - FStream.Position(); }

    qint32 integer(const char *what)
    {
        if (left() < 4)
            invalid(QStringLiteral("the data end inside %1").arg(QLatin1String(what)));
        return FHelper.ReadInteger();
    }

    quint16 word(const char *what)
    {
        if (left() < 2)
            invalid(QStringLiteral("the data end inside %1").arg(QLatin1String(what)));
        return FHelper.ReadWord();
    }

    // A count of items that take at least minSize bytes each.
    qint32 count(const char *what, qint64 minSize)
    {
        const qint32 n = integer(what);
        if (n < 0)
            invalid(QStringLiteral("negative %1 (%2)").arg(QLatin1String(what)).arg(n));
        // Bounded by the bytes left: a hostile count must not drive the allocation.
        if (qint64(n) * minSize > left())
            invalid(QStringLiteral("%1 %2 exceeds the data").arg(QLatin1String(what)).arg(n));
        return n;
    }

    QString string(const char *what)
    {
        const qint64 pos = FStream.Position();
        if (left() < 8)
            invalid(QStringLiteral("the data end inside %1").arg(QLatin1String(what)));
        const qint64 units = FHelper.ReadInt64();
        if (units < 0 || units > left() / 2)
            invalid(QStringLiteral("length of %1 (%2) exceeds the data").arg(QLatin1String(what)).arg(units));
        FStream.SetPosition(pos);
        return FHelper.ReadString();
    }

private:
    TStream &FStream;
    TStreamHelper FHelper;
};

} // namespace

QString SIBEntryToTSV(const TSIBEntry &AEntry)
{
    const QChar tab = QLatin1Char('\t');
    QString out = QStringLiteral("ID\tType");
    for (const QString &name : AEntry.LangNames)
        out += tab + siEncodeText(name);
    out += QLatin1Char('\n');
    for (int t = 0; t < StringsTypeCount; ++t) {
        for (const QStringList &fields : AEntry.Lines[t]) {
            QStringList row{siEncodeText(fields.value(0)), StringsTypeName(TStringsType(t))};
            for (int l = 1; l <= AEntry.LangNames.size(); ++l)
                row.append(siEncodeText(fields.value(l)));
            out += row.join(tab) + QLatin1Char('\n');
        }
    }
    for (const QStringList &fields : AEntry.Extended) {
        QStringList row{siEncodeText(fields.value(0)), ExtendedTypeName};
        for (int l = 1; l <= AEntry.LangNames.size(); ++l)
            row.append(siEncodeText(fields.value(l)));
        out += row.join(tab) + QLatin1Char('\n');
    }
    return out;
}

TSIBEntry SIBEntryFromTSV(const QString &AText)
{
    const QChar tab = QLatin1Char('\t');
    QStringView text(AText);
    if (text.startsWith(QChar(0xFEFF)))
        text = text.mid(1);
    QList<QStringView> lines = text.split(QLatin1Char('\n'));
    for (QStringView &line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    const QList<QStringView> header = lines.value(0).split(tab);
    if (header.size() < 2 || header.at(0) != QLatin1String("ID") || header.at(1) != QLatin1String("Type"))
        throw EReadError(QStringLiteral("line 1: expected the header ID, Type and one column per language"));
    TSIBEntry entry;
    for (qsizetype c = 2; c < header.size(); ++c)
        entry.LangNames.append(siDecodeText(header.at(c).toString()));
    for (qsizetype n = 1; n < lines.size(); ++n) {
        if (lines.at(n).isEmpty())
            continue;
        const QList<QStringView> cells = lines.at(n).split(tab);
        const bool extended = cells.size() >= 2 && cells.at(1) == ExtendedTypeName;
        const int type = cells.size() < 2 ? -1 : extended ? StringsTypeCount : StringsTypeFromName(cells.at(1).toString());
        if (type < 0)
            throw EReadError(QStringLiteral("line %1: unknown type '%2'")
                                 .arg(n + 1).arg(cells.value(1).toString()));
        if (cells.size() > header.size())
            throw EReadError(QStringLiteral("line %1: %2 columns, the header has %3")
                                 .arg(n + 1).arg(cells.size()).arg(header.size()));
        QStringList fields{siDecodeText(cells.at(0).toString())};
        for (qsizetype c = 2; c < cells.size(); ++c)
            fields.append(siDecodeText(cells.at(c).toString()));
        while (fields.size() > 1 && fields.last().isEmpty())
            fields.removeLast();
        (extended ? entry.Extended : entry.Lines[type]).append(fields);
    }
    return entry;
}

TSIBFileManager::TSIBFileManager() = default;
TSIBFileManager::~TSIBFileManager() = default;

int TSIBFileManager::Add(TsiCustomLang *ALang)
{
    TSIBEntry entry;
    entry.OwnerName = ALang->GetOwnerClassName();
    const int n = qMin(ALang->NumOfLanguages(), ALang->LangNames().Count());
    for (int i = 0; i < n; ++i)
        entry.LangNames.append(ALang->LangNames().Get(i));
    entry.DefaultLanguage = ALang->DefaultLanguage();
    for (int t = 0; t < StringsTypeCount; ++t) {
        const TsiStringsCollection &list = *ALang->GetPropListByType(TStringsType(t));
        for (int i = 0; i < list.Count(); ++i)
            entry.Lines[t].append(siSplitLine(list.Get(i), list.Delim()));
    }
    for (const TsiExtendedTranslation &item : ALang->ExtendedTranslations())
        entry.Extended.append(siSplitLine(item.Identifier + ALang->LangDelim() + item.Translations, ALang->LangDelim()));
    return Add(entry);
}

int TSIBFileManager::Add(const TSIBEntry &AEntry)
{
    FEntries.append(AEntry);
    return int(FEntries.size()) - 1;
}

void TSIBFileManager::SetOwnerNames(const TStringList &ANames)
{
    for (int i = 0; i < qMin(int(FEntries.size()), ANames.Count()); ++i)
        FEntries[i].OwnerName = ANames.Get(i);
}

void TSIBFileManager::Clear()
{
    FEntries.clear();
}

int TSIBFileManager::Count() const
{
    return int(FEntries.size());
}

TSIBEntry &TSIBFileManager::Entry(int AIndex)
{
    if (AIndex < 0 || AIndex >= FEntries.size())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIndex));
    return FEntries[AIndex];
}

const TSIBEntry &TSIBFileManager::Entry(int AIndex) const
{
    return const_cast<TSIBFileManager *>(this)->Entry(AIndex);
}

int TSIBFileManager::IndexOfOwner(const QString &AOwnerName) const
{
    for (int i = 0; i < FEntries.size(); ++i)
        if (siCompareText(FEntries.at(i).OwnerName, AOwnerName) == 0)
            return i;
    return -1;
}

namespace {

void writeLines(TStreamHelper &w, const QList<QStringList> &lines)
{
    w.WriteInteger(int(lines.size()));
    for (const QStringList &fields : lines) {
        w.WriteInteger(int(fields.size()));
        for (const QString &f : fields)
            w.WriteString(f);
    }
}

QList<QStringList> readLines(Reader &r)
{
    QList<QStringList> lines;
    for (qint32 l = r.count("line count", 4); l > 0; --l) {
        QStringList fields;
        for (qint32 f = r.count("field count", 8); f > 0; --f)
            fields.append(r.string("a text"));
        lines.append(fields);
    }
    return lines;
}

} // namespace

void TSIBFileManager::SaveToStream(TStream &AStream) const
{
    TStreamHelper w(&AStream);
    AStream.WriteBuffer(Signature, sizeof Signature);
    w.WriteWord(SIBFormatVersion);
    w.WriteInteger(int(FEntries.size()));
    for (const TSIBEntry &e : FEntries) {
        w.WriteString(e.OwnerName);
        w.WriteInteger(int(e.LangNames.size()));
        for (const QString &name : e.LangNames)
            w.WriteString(name);
        w.WriteInteger(e.DefaultLanguage);
        w.WriteInteger(StringsTypeCount);
        for (int t = 0; t < StringsTypeCount; ++t) {
            w.WriteInteger(t);
            writeLines(w, e.Lines[t]);
        }
        writeLines(w, e.Extended);
    }
}

void TSIBFileManager::SaveToFile(const QString &AFileName) const
{
    TMemoryStream data;
    SaveToStream(data);
    QSaveFile file(AFileName);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(static_cast<const char *>(data.Memory()), data.Size()) != data.Size() || !file.commit())
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(AFileName, file.errorString()));
}

void TSIBFileManager::LoadFromStream(TStream &AStream)
{
    Reader r(AStream);
    char signature[4] = {};
    if (AStream.Read(signature, 4) != 4 || memcmp(signature, Signature, 4) != 0)
        invalid(QStringLiteral("wrong signature"));
    const quint16 version = r.word("the version");
    if (version == 0 || version > SIBFormatVersion)
        invalid(QStringLiteral("unsupported version %1").arg(version));

    // An entry takes at least: owner name (8), language count (4), default
    // language (4), collection count (4).
    QList<TSIBEntry> entries;
    for (qint32 n = r.count("entry count", 20); n > 0; --n) {
        TSIBEntry e;
        e.OwnerName = r.string("an owner name");
        for (qint32 k = r.count("language count", 8); k > 0; --k)
            e.LangNames.append(r.string("a language name"));
        e.DefaultLanguage = r.integer("the default language");
        for (qint32 k = r.count("collection count", 8); k > 0; --k) {
            const qint32 type = r.integer("a collection type");
            if (type < 0 || type >= StringsTypeCount)
                invalid(QStringLiteral("unknown collection type %1").arg(type));
            e.Lines[type] = readLines(r); // a repeated type replaces the earlier one
        }
        if (version >= 2)
            e.Extended = readLines(r);
        entries.append(std::move(e));
    }
    FEntries = std::move(entries);
}

void TSIBFileManager::LoadFromFile(const QString &AFileName)
{
    TMemoryStream data;
    data.LoadFromFile(AFileName);
    LoadFromStream(data);
}

void TSIBFileManager::AssignTo(int AIndex, TsiCustomLang *ALang) const
{
    const TSIBEntry &e = Entry(AIndex);
    const QChar delim = ALang->LangDelim();
    // The active language stays, unless the entry has fewer languages.
    ALang->SetNumLang(qMax(1, int(e.LangNames.size())));
    ALang->SetLangNames(TStringList(e.LangNames));
    ALang->SetDefaultLanguage(e.DefaultLanguage);
    for (int t = 0; t < StringsTypeCount; ++t) {
        TsiStringsCollection &list = *ALang->GetPropListByType(TStringsType(t));
        list.BeginUpdate();
        list.Clear();
        for (const QStringList &fields : e.Lines[t])
            list.Add(siJoinLine(fields, delim));
        list.EndUpdate();
    }
    QList<TsiExtendedTranslation> &extended = ALang->ExtendedTranslations();
    extended.clear();
    for (const QStringList &fields : e.Extended)
        extended.append({fields.value(0), siJoinLine(fields.mid(1), delim)});
}

bool TSIBFileManager::LoadFromFile(const QString &AFileName, TsiCustomLang *ALang, const QString &AOwnerName)
{
    LoadFromFile(AFileName);
    if (FEntries.isEmpty())
        return false;
    const int i = IndexOfOwner(AOwnerName);
    AssignTo(i < 0 ? 0 : i, ALang);
    return true;
}

} // namespace zor
