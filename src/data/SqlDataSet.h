// A data set over an SQL query. Open runs the query and caches its rows, so
// the data set moves freely and knows its record count; the query's
// connection is needed only while it runs.
#pragma once

#include <ZorCompCore/data/DataSet.h>
#include <ZorCompCore/data/SqlConnection.h>

#include <QHash>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>

namespace zor {

class ZOR_EXPORT TSqlDataSet : public TDataSet
{
    Q_OBJECT
    Q_PROPERTY(QString SQL READ SQL WRITE SetSQL)
public:
    explicit TSqlDataSet(QObject *AOwner = nullptr);
    ~TSqlDataSet() override;

    TSqlConnection *Connection() const { return FConnection; }
    void SetConnection(TSqlConnection *AConnection);

    // The query; ":name" marks a parameter. Setting it closes the data set.
    QString SQL() const { return FSQL; }
    void SetSQL(const QString &AValue);
    // Names of the query's parameters, each once, in order of appearance.
    QStringList ParamNames() const;
    // EDatabaseError "Parameter 'X' not found" for a name the query lacks.
    Variant ParamValue(const QString &AName) const;
    void SetParamValue(const QString &AName, const Variant &AValue);
    Q_INVOKABLE void SetParam(const QString &AName, const QVariant &AValue)
    {
        SetParamValue(AName, Variant::FromQVariant(AValue));
    }

    // A detail data set: parameters named like a field of the master take
    // that field's value on the master's current record, and the query runs
    // again (from its first row) whenever the master moves. Opening the
    // detail opens the master; closing the master closes the detail.
    TDataSet *MasterSource() const { return FMaster; }
    void SetMasterSource(TDataSet *AMaster);

    // Runs the query again, keeping the data set open.
    Q_INVOKABLE void Refresh();

protected:
    void InternalOpen() override;

private:
    void masterChanged();
    int paramIndex(const QString &AName) const;

    QPointer<TSqlConnection> FConnection;
    QPointer<TDataSet> FMaster;
    QMetaObject::Connection FMasterScroll, FMasterClose;
    QString FSQL, FParsedSQL;
    QStringList FParamOrder;         // as they appear, repeated names included
    QStringList FParamNames;         // each once
    QList<Variant> FParamValues;     // by FParamNames
};

} // namespace zor
