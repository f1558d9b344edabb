// A connection to an SQL database through QtSql. The driver is chosen by name
// ("QSQLITE", the default, embeds SQLite; "QPSQL" for PostgreSQL, and any
// other QtSql driver). Each connection has a QtSql connection of its own, and
// QtSql connections belong to a thread: a connection serves the thread that
// opened it.
#pragma once

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/platform/Variant.h>

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QThread;

namespace zor {

class ZOR_EXPORT TSqlConnection : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(bool Connected READ Connected WRITE SetConnected)
    Q_PROPERTY(QString DriverName READ DriverName WRITE SetDriverName)
    Q_PROPERTY(QString DatabaseName READ DatabaseName WRITE SetDatabaseName)
public:
    explicit TSqlConnection(QObject *AOwner = nullptr);
    ~TSqlConnection() override;

    // Changing a setting closes the connection; the next use opens it again.
    QString DriverName() const { return FDriverName; }
    void SetDriverName(const QString &AValue);
    // The file of an SQLite database (":memory:" for a private one), the
    // database name of a server.
    QString DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const QString &AValue);
    // Server, or the folder of a Unix socket for PostgreSQL.
    QString HostName() const { return FHostName; }
    void SetHostName(const QString &AValue);
    int Port() const { return FPort; } // -1: the driver's default
    void SetPort(int AValue);
    QString UserName() const { return FUserName; }
    void SetUserName(const QString &AValue);
    QString Password() const { return FPassword; }
    void SetPassword(const QString &AValue);
    // Driver options ("QSQLITE_OPEN_READONLY", "connect_timeout=5" …).
    QString ConnectOptions() const { return FConnectOptions; }
    void SetConnectOptions(const QString &AValue);

    bool Connected() const { return FConnected; }
    void SetConnected(bool AValue);
    // Raises EDatabaseError with the driver's text when the database cannot be opened.
    Q_INVOKABLE void Open() { SetConnected(true); }
    Q_INVOKABLE void Close() { SetConnected(false); }

    // This connection's QtSql connection name (unique in the process).
    QString ConnectionName() const { return FConnectionName; }
    // The open database (opened on demand). EDatabaseError when called on a
    // thread other than the one that opened it.
    QSqlDatabase Database();
    // Runs a statement without a result set; returns the rows it affected.
    // Parameters are written ":name" in the text.
    int ExecSQL(const QString &ASQL, const QHash<QString, Variant> &AParams = {});

private:
    QString FConnectionName;
    QString FDriverName = QStringLiteral("QSQLITE");
    QString FDatabaseName, FHostName, FUserName, FPassword, FConnectOptions;
    int FPort = -1;
    bool FConnected = false;
    QThread *FThread = nullptr;
};

// Replaces the ":name" parameters of an SQL text by "?" and lists their
// names in order (a name used twice is listed twice). Quoted texts,
// identifiers and comments are left alone, as are "::" casts.
ZOR_EXPORT QString ParseSqlParams(const QString &ASQL, QStringList &ANames);

// The variant a value read from QtSql becomes, and back.
ZOR_EXPORT QVariant VariantToSqlValue(const Variant &AValue);

} // namespace zor
