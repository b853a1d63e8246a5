#pragma once
// Editable record sets and the dataset operations every database routine shares: open and close
// with their error texts, parameters, edit / append / post with bounded retries around lock
// conflicts, and the date conversions with the system's empty date.

#include "FbConnection.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

enum class TDataSetState { Inactive, Browse, Edit, Insert };

// A query's rows held in memory with a current record. Every post and delete is applied to the
// database at once (inside the connection's explicit transaction when one is active). An edit
// locks its row without waiting, so a row another program holds raises a lock conflict
// (" 3260 ") that the edit retry waits out.
class TCachedDataSet {
public:
    // keyFields identify a row of table for updates and deletes.
    TCachedDataSet(TFbConnection& db, QString name, QString selectSql, QString table,
                   QStringList keyFields);
    ~TCachedDataSet();
    TCachedDataSet(const TCachedDataSet&) = delete;
    TCachedDataSet& operator=(const TCachedDataSet&) = delete;

    const QString& Name() const { return m_name; }
    TFbConnection& Connection() const { return m_db; }
    void SetParam(const QString& name, const QVariant& value);

    // Throw EFbError / EUlmex.
    void Open();
    void Close();
    bool Active() const { return m_state != TDataSetState::Inactive; }
    TDataSetState State() const { return m_state; }

    int RecordCount() const { return m_rows.RowCount(); }
    bool IsEmpty() const { return m_rows.IsEmpty(); }
    int RecNo() const { return m_current; }
    void First() { m_current = 0; }
    void Next() { m_current = std::min(m_current + 1, RecordCount()); }
    bool Eof() const { return m_current >= RecordCount(); }
    bool Locate(const QString& field, const QVariant& value, bool caseInsensitive);

    bool HasField(const QString& field) const { return m_rows.HasField(field); }
    TFieldKind FieldKind(const QString& field) const;
    QVariant FieldValue(const QString& field) const;
    bool IsNull(const QString& field) const;
    // Only in edit or insert state.
    void SetFieldValue(const QString& field, const QVariant& value);

    void Edit();
    void Append();
    void Post();
    void Cancel();
    void Delete();

private:
    void requireActive(const char* what) const;
    QVector<QVariant>& currentRow();
    const QVector<QVariant>* currentRowOrNull() const;
    TParams keyParams(const QVector<QVariant>& row) const;
    QString keyCondition() const;
    template <class Fn> void inTransaction(Fn&& fn);

    TFbConnection& m_db;
    QString m_name;
    QString m_sql;
    QString m_table;
    QStringList m_keys;
    TParams m_params;
    TRowSet m_rows;
    int m_current = 0;
    TDataSetState m_state = TDataSetState::Inactive;
    QVector<QVariant> m_before; // the row as it was when the edit began
    QStringList m_changed;      // fields set since the edit or append began
    std::unique_ptr<TFbTransaction> m_editLock;
};

// open / close: true on success. With showErrors a failure shows "Query Open Error " (or "Query
// Close Error ") + name + CR LF + error text and gives false; otherwise the error is raised.
bool DataSetOpen_b(TCachedDataSet& ds, bool showErrors);
bool DataSetClose_b(TCachedDataSet& ds, bool showErrors);
void DataSetParam_Set(TCachedDataSet& ds, const QString& name, const QVariant& value);

// Switches to edit mode, retrying lock conflicts 10 ms apart up to maxAttempts tries.
bool DataSetEdit_LockRetry_b(TCachedDataSet& ds, int maxAttempts, bool showErrors);
// "EDIT", "APPEND" or "POST" in any case, retried on any error up to maxAttempts tries.
bool DataSetMethod_Retry_b(const QString& method, TCachedDataSet& ds, int maxAttempts,
                           bool showErrors);

// A date field's value; NULL gives the default of the field's kind (the empty date for dates).
QVariant DateFieldToValue(const TCachedDataSet& ds, const QString& field, bool asText);
// Stores text unchanged, a value above 0 as a date and time, anything else as the empty date.
void ValueToDateField(TCachedDataSet& ds, const QString& field, const QVariant& value);

// Reports an unexpected failure: "%s: An error occurred: " filled with where, CR LF, the text, CR
// LF.
void ErrorOccurred_Report(const QString& where, const QString& text);

// True once the program is ending; the retry loops stop then.
bool ProgramTerminating_b();
void ProgramTerminating_Set(bool terminating);

// The wait between tries (10 ms) goes through this hook, so that a test can count the tries.
using TRetryPause = std::function<void(int ms)>;
void DataSetRetryPause_Set(TRetryPause pause);
