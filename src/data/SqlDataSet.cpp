#include "SqlDataSet.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sqlite3.h>

namespace zor {

namespace {

// SQLite keeps a value's type per value; what a column is meant to hold is
// its declared type, read with SQLite's own rules of thumb plus the date
// and Boolean names applications use.
TFieldType typeFromDeclaration(const QString &ADecl)
{
    const QString d = ADecl.toUpper();
    if (d.isEmpty())
        return ftUnknown;
    if (d.contains(u"DATETIME") || d.contains(u"TIMESTAMP"))
        return ftDateTime;
    if (d.contains(u"DATE"))
        return ftDate;
    if (d.contains(u"TIME"))
        return ftTime;
    if (d.contains(u"BOOL"))
        return ftBoolean;
    if (d.contains(u"BIGINT") || d.contains(u"INT8"))
        return ftLargeint;
    if (d.contains(u"INT"))
        return ftInteger;
    if (d.contains(u"CHAR") || d.contains(u"CLOB") || d.contains(u"TEXT"))
        return ftString;
    if (d.contains(u"BLOB"))
        return ftBlob;
    if (d.contains(u"MONEY") || d.contains(u"CURRENCY"))
        return ftCurrency;
    if (d.contains(u"REAL") || d.contains(u"FLOA") || d.contains(u"DOUB") || d.contains(u"NUMERIC")
        || d.contains(u"DECIMAL"))
        return ftFloat;
    return ftUnknown;
}

TFieldType typeFromMeta(QMetaType AType)
{
    switch (AType.id()) {
    case QMetaType::Bool: return ftBoolean;
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar: return ftInteger;
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return ftLargeint;
    case QMetaType::Float:
    case QMetaType::Double: return ftFloat;
    case QMetaType::QDate: return ftDate;
    case QMetaType::QTime: return ftTime;
    case QMetaType::QDateTime: return ftDateTime;
    case QMetaType::QByteArray: return ftBlob;
    default: return ftString;
    }
}

// Declared column types of an SQLite statement; empty for other drivers.
QStringList sqliteDeclaredTypes(const QSqlQuery &AQuery, int ACount)
{
    QStringList types;
    const QSqlResult *result = AQuery.result();
    if (!result)
        return types;
    const QVariant h = result->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3_stmt*") != 0)
        return types;
    sqlite3_stmt *stmt = *static_cast<sqlite3_stmt *const *>(h.constData());
    if (!stmt)
        return types;
    for (int i = 0; i < ACount; ++i) {
        const char *decl = sqlite3_column_decltype(stmt, i);
        types << (decl ? QString::fromUtf8(decl) : QString());
    }
    return types;
}

} // namespace

TSqlDataSet::TSqlDataSet(QObject *AOwner) : TDataSet(AOwner) {}

TSqlDataSet::~TSqlDataSet()
{
    QObject::disconnect(FMasterScroll);
    QObject::disconnect(FMasterClose);
}

void TSqlDataSet::SetConnection(TSqlConnection *AConnection)
{
    if (AConnection == FConnection)
        return;
    Close();
    FConnection = AConnection;
}

void TSqlDataSet::SetSQL(const QString &AValue)
{
    Close();
    FSQL = AValue;
    FParsedSQL = ParseSqlParams(AValue, FParamOrder);
    QStringList names;
    QList<Variant> values;
    for (const QString &name : std::as_const(FParamOrder)) {
        bool seen = false;
        for (const QString &n : std::as_const(names))
            seen = seen || n.compare(name, Qt::CaseInsensitive) == 0;
        if (seen)
            continue;
        // a parameter of the old text keeps its value
        const int old = paramIndex(name);
        names << name;
        values << (old >= 0 ? FParamValues[old] : Variant::Null());
    }
    FParamNames = names;
    FParamValues = values;
}

int TSqlDataSet::paramIndex(const QString &AName) const
{
    for (int i = 0; i < FParamNames.size(); ++i)
        if (FParamNames[i].compare(AName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QStringList TSqlDataSet::ParamNames() const
{
    return FParamNames;
}

Variant TSqlDataSet::ParamValue(const QString &AName) const
{
    const int i = paramIndex(AName);
    if (i < 0)
        DatabaseError(QStringLiteral("Parameter '%1' not found").arg(AName));
    return FParamValues[i];
}

void TSqlDataSet::SetParamValue(const QString &AName, const Variant &AValue)
{
    const int i = paramIndex(AName);
    if (i < 0)
        DatabaseError(QStringLiteral("Parameter '%1' not found").arg(AName));
    FParamValues[i] = AValue;
}

void TSqlDataSet::SetMasterSource(TDataSet *AMaster)
{
    if (AMaster == FMaster)
        return;
    for (TDataSet *m = AMaster; m; ) {
        if (m == this)
            DatabaseError(QStringLiteral("Circular datalinks are not allowed"));
        auto *sql = qobject_cast<TSqlDataSet *>(m);
        m = sql ? sql->MasterSource() : nullptr;
    }
    QObject::disconnect(FMasterScroll);
    QObject::disconnect(FMasterClose);
    Close();
    FMaster = AMaster;
    if (AMaster) {
        FMasterScroll = connect(AMaster, &TDataSet::afterScroll, this, &TSqlDataSet::masterChanged);
        FMasterClose = connect(AMaster, &TDataSet::afterClose, this, &TSqlDataSet::Close);
    }
}

void TSqlDataSet::masterChanged()
{
    if (Active())
        Refresh();
}

void TSqlDataSet::Refresh()
{
    CheckActive();
    InternalOpen();
    BindFields();
    First();
}

void TSqlDataSet::InternalOpen()
{
    if (!FConnection)
        DatabaseError(QStringLiteral("No connection assigned"));
    if (FMaster && !FMaster->Active())
        FMaster->Open();

    QList<Variant> values = FParamValues;
    if (FMaster) {
        for (int i = 0; i < FParamNames.size(); ++i)
            if (TField *f = FMaster->FindField(FParamNames[i]))
                values[i] = f->Value();
    }

    std::vector<std::vector<Variant>> rows;
    TFieldDefs defs;
    {
        QSqlDatabase db = FConnection->Database();
        QSqlQuery q(db);
        q.setForwardOnly(true);
        bool ran = false;
        if (FParamOrder.isEmpty()) {
            ran = q.exec(FParsedSQL); // servers prepare only some kinds of statement
        } else {
            if (!q.prepare(FParsedSQL))
                throw EDatabaseError(q.lastError().text().trimmed());
            for (const QString &name : std::as_const(FParamOrder))
                q.addBindValue(VariantToSqlValue(values[paramIndex(name)]));
            ran = q.exec();
        }
        if (!ran)
            throw EDatabaseError(q.lastError().text().trimmed());

        const QSqlRecord rec = q.record();
        const int columns = rec.count();
        const QStringList declared = sqliteDeclaredTypes(q, columns);
        for (int i = 0; i < columns; ++i) {
            TFieldType type = i < declared.size() ? typeFromDeclaration(declared[i]) : ftUnknown;
            if (type == ftUnknown)
                type = typeFromMeta(rec.field(i).metaType());
            QString name = rec.fieldName(i);
            // a result may repeat a column name: later ones get a number
            if (defs.IndexOf(name) >= 0) {
                int k = 1;
                while (defs.IndexOf(name + QLatin1Char('_') + QString::number(k)) >= 0)
                    ++k;
                name += QLatin1Char('_') + QString::number(k);
            }
            defs.Add(name, type);
        }
        while (q.next()) {
            std::vector<Variant> row;
            row.reserve(size_t(columns));
            for (int i = 0; i < columns; ++i) {
                const QVariant qv = q.value(i);
                const Variant raw = qv.isNull() ? Variant::Null() : Variant::FromQVariant(qv);
                try {
                    row.push_back(CoerceFieldValue(defs.Items(i).DataType, raw));
                } catch (const Exception &) {
                    // SQLite stores what it is given: a value that does not fit its
                    // column's type is kept as it is rather than lost
                    row.push_back(raw);
                }
            }
            rows.push_back(std::move(row));
        }
        if (q.lastError().isValid())
            throw EDatabaseError(q.lastError().text().trimmed());
    }
    FieldDefs() = defs;
    FRecords = std::move(rows);
}

} // namespace zor
