#pragma once
// Connection layer over the Firebird OO API: connections opened by their "Database" name,
// statements with named parameters (:Name), cached row sets with case-insensitive field lookup,
// and edit / append / post / delete written to the database at once.
//
// A connection and its queries belong to one thread at a time; every call makes its own
// status object, so different connections may be used from different threads.

#include "Errors.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
class IMaster;
} // namespace Firebird

// Points FIREBIRD at the program's Firebird root (firebird.conf with ServerMode = SuperClassic
// and links to the system's plugins, intl and messages) unless it is set already, and picks a
// writable lock folder. Call before the first attachment; later calls do nothing.
void FirebirdEnvironment_Prepare();
// The root folder in use (empty before the first call).
QString FirebirdRootFolder();

// The client library rule: "libUlmexDB_Client.so" when it loads from the library search path,
// else the system's fbclient. Decided on the first call and kept for the whole run.
QString ClientLibrary_Name();
Firebird::IMaster* FbMaster();

// A failure of the database layer. lockConflict: a row or table lock conflict
// (isc_deadlock, isc_update_conflict, isc_lock_conflict, isc_lock_timeout).
class EDatabaseError : public EUlmex {
public:
    EDatabaseError(QString message, std::vector<intptr_t> codes = {}, bool lockConflict = false)
        : EUlmex(std::move(message)), m_codes(std::move(codes)), m_lockConflict(lockConflict) {}
    const std::vector<intptr_t>& Codes() const { return m_codes; }
    bool LockConflict() const { return m_lockConflict; }
    int SqlCode() const { return m_sqlCode; }
    void SetSqlCode(int code) { m_sqlCode = code; }

private:
    std::vector<intptr_t> m_codes;
    bool m_lockConflict = false;
    int m_sqlCode = 0;
};

// The Firebird error codes that mean "locked by someone else, try again".
inline constexpr intptr_t kFbDeadlock = 335544336;
inline constexpr intptr_t kFbUpdateConflict = 335544451;
inline constexpr intptr_t kFbLockConflict = 335544345;
inline constexpr intptr_t kFbLockTimeout = 335544510;
bool IsLockConflictCode_b(const std::vector<intptr_t>& gdsCodes);
// The retry rule of the editing helpers: a lock conflict of this layer, or a text that holds
// " 3260 " or " 3187 " (the lock-conflict numbers of the older driver).
bool IsLockConflict_b(const std::exception& e);

enum class TFieldType { Unknown, Smallint, Integer, Largeint, Float, Numeric, String, FixedChar,
                        DateTime, Date, Time, Blob, Memo, Boolean };

class TSQLConnection;
class TSQLQuery;

// One column of a query's current record.
class TField {
public:
    TField(TSQLQuery* owner, int index) : m_owner(owner), m_index(index) {}
    QString FieldName() const;
    TFieldType DataType() const;
    bool IsNull() const;
    QVariant Value() const;
    // Empty text for NULL; numbers in C locale; time stamps as "yyyy-MM-dd hh:mm:ss.zzz".
    QString AsString() const;
    int AsInteger() const;       // 0 for NULL or text that is no number
    qint64 AsLargeInt() const;
    double AsFloat() const;
    bool AsBoolean() const;      // any non-zero number is true
    QDateTime AsDateTime() const; // invalid for NULL
    void SetValue(const QVariant& v); // a null QVariant stores NULL
    void Clear() { SetValue(QVariant()); }
    void SetAsString(const QString& s) { SetValue(s); }
    void SetAsInteger(qint64 v) { SetValue(v); }
    void SetAsFloat(double v) { SetValue(v); }
    void SetAsDateTime(const QDateTime& v) { SetValue(v); }
    int Index() const { return m_index; }

private:
    TSQLQuery* m_owner;
    int m_index;
};

struct TParam {
    QString name;
    QVariant value; // null = NULL
};

enum class TDataSetState { Inactive, Browse, Edit, Insert };

// What the editing helpers need of a dataset (the query below, or a test double).
class TDataSet {
public:
    virtual ~TDataSet() = default;
    virtual QString Name() const = 0;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual bool Active() const = 0;
    virtual void Edit() = 0;
    virtual void Append() = 0;
    virtual void Post() = 0;
    virtual void Cancel() = 0;
    virtual void Delete() = 0;
    virtual TDataSetState State() const = 0;
    // Sets a parameter; false when the dataset has none of that name.
    virtual bool SetParam(const QString& name, const QVariant& value) = 0;
};

// Parses :Name parameters (outside quotes and comments) into "?" markers.
struct TParsedSQL {
    QString sql;
    QStringList paramOrder; // one entry per marker, names as written
};
TParsedSQL ParseNamedParams(const QString& sql);

struct TColumnDef {
    QString name;     // alias as returned (upper case for unquoted names)
    QString column;   // underlying column name
    QString relation; // underlying table name
    TFieldType type = TFieldType::Unknown;
    int length = 0;
    int scale = 0;
};

// A query with its cached rows. For editable queries set UpdateTable and KeyFields: Post and
// Delete then write the change with UPDATE / INSERT / DELETE on that table at once (inside the
// connection's explicit transaction when one is running, else in a transaction of their own).
class TSQLQuery : public TDataSet {
public:
    TSQLQuery(QString name, TSQLConnection* connection, QString sql = QString());
    ~TSQLQuery() override;
    TSQLQuery(const TSQLQuery&) = delete;
    TSQLQuery& operator=(const TSQLQuery&) = delete;

    QString Name() const override { return m_name; }
    void SetSQL(const QString& sql);
    QString SQL() const { return m_sql; }
    TSQLConnection* Connection() const { return m_connection; }
    void SetConnection(TSQLConnection* c) { m_connection = c; }
    void SetUpdateTable(const QString& table, const QStringList& keyFields);
    QString UpdateTable() const { return m_updateTable; }

    bool SetParam(const QString& name, const QVariant& value) override;
    QVariant ParamValue(const QString& name) const;
    QStringList ParamNames() const;

    // Runs the statement and caches every row (opens a closed connection first).
    void Open() override;
    void Close() override;
    bool Active() const override { return m_state != TDataSetState::Inactive; }
    // Runs a statement without a row set; for EXECUTE PROCEDURE the output row becomes the
    // cached row. Returns the affected row count.
    int ExecSQL();

    int RecordCount() const { return int(m_rows.size()); }
    bool IsEmpty() const { return m_rows.isEmpty(); }
    bool Eof() const { return m_rows.isEmpty() || m_recNo >= m_rows.size(); }
    int RecNo() const { return m_recNo; }
    void First();
    void Next();
    void SetRecNo(int recNo);
    // Moves to the first row whose field equals value (text without regard to case); false and
    // no move when none.
    bool Locate(const QString& field, const QVariant& value, bool caseInsensitive = true);

    int FieldCount() const { return int(m_columns.size()); }
    const QVector<TColumnDef>& Columns() const { return m_columns; }
    TField* FindField(const QString& name);
    // Raises "Field '<name>' not found" when missing.
    TField* FieldByName(const QString& name);
    TField* Field(int index);

    void Edit() override;
    void Append() override;
    void Post() override;
    void Cancel() override;
    void Delete() override;
    TDataSetState State() const override { return m_state; }

    // Record buffer access for TField.
    QVariant CurrentValue(int index) const;
    void SetCurrentValue(int index, const QVariant& v);

private:
    void EnsurePrepared();
    void RequireEditable() const;
    void RequireRow() const;
    QString KeyWhere(QList<QVariant>* values, const QVector<QVariant>& row) const;
    struct Impl;
    std::unique_ptr<Impl> d;
    QString m_name;
    QString m_sql;
    TSQLConnection* m_connection;
    QString m_updateTable;
    QStringList m_keyFields;
    QList<TParam> m_params;
    QVector<TColumnDef> m_columns;
    QVector<QVector<QVariant>> m_rows;
    QVector<QVariant> m_buffer;      // the row being edited or appended
    QVector<bool> m_modified;
    int m_recNo = 0;
    TDataSetState m_state = TDataSetState::Inactive;
    std::vector<std::unique_ptr<TField>> m_fields;
};

// The transaction isolation of the lock system: read committed, record version, wait.
enum class TIsolation { ReadCommitted };

class TSQLConnection {
public:
    explicit TSQLConnection(QString name);
    ~TSQLConnection();
    TSQLConnection(const TSQLConnection&) = delete;
    TSQLConnection& operator=(const TSQLConnection&) = delete;

    QString ConnectionName() const { return m_name; }
    // The "Database" parameter: "host:/path", "host/port:/path", or a local path (embedded).
    QString DatabaseName() const { return m_database; }
    void SetDatabaseName(const QString& database) { m_database = database; }
    // "sysdba" / "WMTRZE" unless ISC_USER / ISC_PASSWORD are set.
    QString UserName() const { return m_user; }
    void SetUserName(const QString& user) { m_user = user; }
    void SetPassword(const QString& password) { m_password = password; }
    QString LibraryName() const { return ClientLibrary_Name(); }
    // Seconds a statement waits for a locked row before the conflict is reported (0 = forever).
    int LockTimeoutSecs() const { return m_lockTimeoutSecs; }
    void SetLockTimeoutSecs(int secs) { m_lockTimeoutSecs = secs; }

    void Open();
    void Close();
    bool Connected() const;
    // The keep-connection switch of the main connection (informational; the connection stays
    // attached until Close either way).
    void KeepConnection(bool keep) { m_keepConnection = keep; }
    bool KeepConnectionOn() const { return m_keepConnection; }

    // Creates the database named by DatabaseName (page size 8192, dialect 3) and stays attached.
    void CreateDatabase(int pageSize = 8192);

    bool InTransaction() const;
    void StartTransaction(int transactionNumber = 1, TIsolation = TIsolation::ReadCommitted);
    void Commit();
    void Rollback();
    int TransactionNumber() const { return m_transactionNumber; }

    // One statement with parameters given in order of their first appearance by name.
    int ExecuteDirect(const QString& sql, const QList<TParam>& params = {});

    // Internal: the attachment and the transaction a statement runs in (an explicit one, or a
    // new one the caller ends with EndStatementTransaction).
    Firebird::IAttachment* Attachment() const { return m_attachment; }
    Firebird::ITransaction* StatementTransaction(bool* own);
    void EndStatementTransaction(Firebird::ITransaction* tra, bool own, bool success);

private:
    QByteArray BuildDpb(bool create, int pageSize) const;
    QString m_name;
    QString m_database;
    QString m_user;
    QString m_password;
    int m_lockTimeoutSecs = 60;
    bool m_keepConnection = true;
    Firebird::IAttachment* m_attachment = nullptr;
    Firebird::ITransaction* m_transaction = nullptr;
    int m_transactionNumber = 0;
};
