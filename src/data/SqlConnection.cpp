#include "SqlConnection.h"
#include "DataSet.h"

#include <QAtomicInteger>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

namespace zor {

namespace {

QAtomicInteger<quint64> g_connectionCounter;

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

} // namespace

QString ParseSqlParams(const QString &ASQL, QStringList &ANames)
{
    ANames.clear();
    QString out;
    out.reserve(ASQL.size());
    const qsizetype n = ASQL.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = ASQL[i];
        if (c == u'\'' || c == u'"' || c == u'`') {
            // a quoted text or identifier; a doubled quote stays inside
            qsizetype j = i + 1;
            while (j < n) {
                if (ASQL[j] == c) {
                    if (j + 1 < n && ASQL[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            j = std::min(j + 1, n);
            out += QStringView(ASQL).mid(i, j - i);
            i = j;
        } else if (c == u'-' && i + 1 < n && ASQL[i + 1] == u'-') {
            qsizetype j = ASQL.indexOf(u'\n', i);
            j = j < 0 ? n : j;
            out += QStringView(ASQL).mid(i, j - i);
            i = j;
        } else if (c == u'/' && i + 1 < n && ASQL[i + 1] == u'*') {
            qsizetype j = ASQL.indexOf(QStringLiteral("*/"), i + 2);
            j = j < 0 ? n : j + 2;
            out += QStringView(ASQL).mid(i, j - i);
            i = j;
        } else if (c == u':' && i + 1 < n && ASQL[i + 1] == u':') {
            out += QStringLiteral("::");
            i += 2;
        } else if (c == u':' && i + 1 < n && isNameStart(ASQL[i + 1])) {
            qsizetype j = i + 1;
            while (j < n && isNameChar(ASQL[j]))
                ++j;
            ANames << ASQL.mid(i + 1, j - i - 1);
            out += u'?';
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QVariant VariantToSqlValue(const Variant &AValue)
{
    const Variant &v = AValue.Deref();
    if (v.IsNull() || v.IsEmpty())
        return QVariant();
    if (v.IsArray())
        return QVariant(VarArrayToBytes(v));
    if (v.BaseType() == varDate)
        return QVariant(DateTimeToQDateTime(v.RawDouble()));
    if (v.BaseType() == varCurrency)
        return QVariant(VarToDouble(v));
    return v.ToQVariant();
}

TSqlConnection::TSqlConnection(QObject *AOwner)
    : TComponent(AOwner),
      FConnectionName(QStringLiteral("zor.data.%1").arg(g_connectionCounter.fetchAndAddRelaxed(1)))
{
}

TSqlConnection::~TSqlConnection()
{
    SetConnected(false);
}

void TSqlConnection::SetDriverName(const QString &AValue)
{
    SetConnected(false);
    FDriverName = AValue;
}

void TSqlConnection::SetDatabaseName(const QString &AValue)
{
    SetConnected(false);
    FDatabaseName = AValue;
}

void TSqlConnection::SetHostName(const QString &AValue)
{
    SetConnected(false);
    FHostName = AValue;
}

void TSqlConnection::SetPort(int AValue)
{
    SetConnected(false);
    FPort = AValue;
}

void TSqlConnection::SetUserName(const QString &AValue)
{
    SetConnected(false);
    FUserName = AValue;
}

void TSqlConnection::SetPassword(const QString &AValue)
{
    SetConnected(false);
    FPassword = AValue;
}

void TSqlConnection::SetConnectOptions(const QString &AValue)
{
    SetConnected(false);
    FConnectOptions = AValue;
}

void TSqlConnection::SetConnected(bool AValue)
{
    if (AValue == FConnected)
        return;
    if (!AValue) {
        {
            QSqlDatabase db = QSqlDatabase::database(FConnectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(FConnectionName);
        FConnected = false;
        FThread = nullptr;
        return;
    }
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(FDriverName.isEmpty() ? QStringLiteral("QSQLITE") : FDriverName,
                                                    FConnectionName);
        if (!db.isValid()) {
            error = QStringLiteral("SQL driver '%1' is not available").arg(FDriverName);
        } else {
            db.setDatabaseName(FDatabaseName);
            db.setHostName(FHostName);
            db.setPort(FPort);
            db.setUserName(FUserName);
            db.setPassword(FPassword);
            db.setConnectOptions(FConnectOptions);
            if (!db.open())
                error = db.lastError().text().trimmed();
            if (error.isEmpty() && !db.isOpen())
                error = QStringLiteral("Cannot open database '%1'").arg(FDatabaseName);
        }
    }
    if (!error.isEmpty()) {
        QSqlDatabase::removeDatabase(FConnectionName);
        throw EDatabaseError(error);
    }
    FConnected = true;
    FThread = QThread::currentThread();
}

QSqlDatabase TSqlConnection::Database()
{
    if (!FConnected)
        Open();
    if (QThread::currentThread() != FThread)
        throw EDatabaseError(
            QStringLiteral("Connection '%1' belongs to the thread that opened it").arg(Name().isEmpty() ? FConnectionName : Name()));
    return QSqlDatabase::database(FConnectionName, false);
}

int TSqlConnection::ExecSQL(const QString &ASQL, const QHash<QString, Variant> &AParams)
{
    QSqlDatabase db = Database();
    QStringList names;
    const QString sql = ParseSqlParams(ASQL, names);
    QSqlQuery q(db);
    // Servers prepare only queries and data changes, so a statement without
    // parameters runs as it is.
    if (names.isEmpty()) {
        if (!q.exec(sql))
            throw EDatabaseError(q.lastError().text().trimmed());
        return q.numRowsAffected();
    }
    if (!q.prepare(sql))
        throw EDatabaseError(q.lastError().text().trimmed());
    for (const QString &name : names) {
        auto it = AParams.constFind(name);
        if (it == AParams.constEnd()) {
            // names compare as SQL names do: without regard to case
            for (it = AParams.constBegin(); it != AParams.constEnd(); ++it)
                if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                    break;
        }
        if (it == AParams.constEnd())
            throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
        q.addBindValue(VariantToSqlValue(*it));
    }
    if (!q.exec())
        throw EDatabaseError(q.lastError().text().trimmed());
    return q.numRowsAffected();
}

} // namespace zor
