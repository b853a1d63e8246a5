#pragma once
// A thin RAII layer over the Firebird OO API: connections opened by their "Database" name,
// transactions (read committed, record version, wait), statements with named parameters and
// cached row sets with field lookup by name without regard to case.

#include "Errors.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
} // namespace Firebird

// A database error; IsLockConflict() marks the row and table lock conflicts that the edit
// retries wait out (the " 3260 " / " 3187 " errors of the lock system's driver).
class EFbError : public EUlmex {
public:
    EFbError(QString message, std::vector<intptr_t> codes)
        : EUlmex(std::move(message)), m_codes(std::move(codes)) {}
    bool IsLockConflict() const;
    // The attachment is gone (server stopped, network lost, database shut down).
    bool IsConnectionLost() const;
    bool HasCode(intptr_t code) const;
    const std::vector<intptr_t>& Codes() const { return m_codes; }

private:
    std::vector<intptr_t> m_codes;
};

// The kind of a result column, as the date conversions and NULL defaults need it.
enum class TFieldKind { Text, Integer, Float, Date, Time, TimeStamp, Other };

enum class TIsolationLevel { ReadCommitted, RepeatableRead };

// A transaction number and isolation level; commit and rollback are given the same one back.
struct TTransactionDesc {
    int TransactionID = 0;
    TIsolationLevel IsolationLevel = TIsolationLevel::ReadCommitted;
};

// Named parameter values; a null QVariant writes NULL.
using TParams = QList<QPair<QString, QVariant>>;

// The rows a statement returned, kept in memory.
class TRowSet {
public:
    TRowSet() = default;
    TRowSet(QStringList fields, QVector<QVector<QVariant>> rows, QVector<TFieldKind> kinds = {});

    int RowCount() const { return int(m_rows.size()); }
    bool IsEmpty() const { return m_rows.isEmpty(); }
    const QStringList& Fields() const { return m_fields; }
    // -1 when the row set has no such field.
    int FieldIndex(const QString& name) const;
    bool HasField(const QString& name) const { return FieldIndex(name) >= 0; }
    QVariant Value(int row, const QString& name) const;
    // Tolerant reads: a missing field, NULL or empty value gives the default.
    int64_t Int(int row, const QString& name, int64_t def = 0) const;
    double Double(int row, const QString& name, double def = 0) const;
    QString Str(int row, const QString& name, const QString& def = {}) const;
    bool Flag(int row, const QString& name) const { return Int(row, name, 0) != 0; }
    QDateTime DateTime(int row, const QString& name) const;
    // Other when the kind is not known.
    TFieldKind Kind(int field) const {
        return field >= 0 && field < m_kinds.size() ? m_kinds[field] : TFieldKind::Other;
    }
    QVector<QVector<QVariant>>& Rows() { return m_rows; }
    const QVector<QVector<QVariant>>& Rows() const { return m_rows; }

private:
    QStringList m_fields; // upper case
    QVector<QVector<QVariant>> m_rows;
    QVector<TFieldKind> m_kinds;
};

class TFbConnection;

// An explicit transaction; rolled back when it goes out of scope uncommitted.
class TFbTransaction {
public:
    // Without wait a lock conflict is reported at once instead of waited out.
    explicit TFbTransaction(TFbConnection& connection,
                            TIsolationLevel isolation = TIsolationLevel::ReadCommitted,
                            bool wait = true);
    ~TFbTransaction();
    TFbTransaction(const TFbTransaction&) = delete;
    TFbTransaction& operator=(const TFbTransaction&) = delete;

    void Commit();
    void Rollback();
    // Lets go of a transaction whose attachment is gone, without talking to the server.
    void Forget();
    bool Active() const { return m_tra != nullptr; }
    Firebird::ITransaction* Handle() const { return m_tra; }

    // Runs a statement; returns the rows of a select (empty otherwise).
    TRowSet Query(const QString& sql, const TParams& params = {});
    // Runs a statement that returns no rows; the number of rows it changed.
    int Exec(const QString& sql, const TParams& params = {});

private:
    template <class Fn> auto guarded(Fn&& fn) -> decltype(fn());
    TFbConnection& m_connection;
    Firebird::ITransaction* m_tra = nullptr;
};

class TFbConnection {
public:
    TFbConnection() = default;
    ~TFbConnection();
    TFbConnection(const TFbConnection&) = delete;
    TFbConnection& operator=(const TFbConnection&) = delete;

    // The "Database" parameter: a local path (embedded engine) or server:path.
    void SetDatabase(const QString& name) { m_database = name; }
    const QString& Database() const { return m_database; }
    // Throws EFbError.
    void Open();
    void Close();
    bool Connected() const { return m_att != nullptr; }
    // Creates the database file (embedded or on a server); the connection stays open.
    void Create(int pageSize = 8192);

    // The connection's explicit transaction (started by its data module); while it is active the
    // statements below and the datasets on this connection run inside it.
    void StartExplicit(TIsolationLevel isolation);
    bool InTransaction() const;
    TFbTransaction* Explicit() const { return InTransaction() ? m_explicit.get() : nullptr; }
    void CommitExplicit();
    void RollbackExplicit();

    // One statement in its own transaction, committed at once (or in the explicit one).
    TRowSet Query(const QString& sql, const TParams& params = {});
    int Exec(const QString& sql, const TParams& params = {});
    // Whether a table / a column of it exists.
    bool TableExists(const QString& table);
    bool ColumnExists(const QString& table, const QString& column);

    Firebird::IAttachment* Handle() const { return m_att; }
    // Releases an attachment whose server has gone; the next transaction attaches again.
    void Abandon();
    bool Lost() const { return m_lost; }
    static QString UserName();
    static QString Password();

private:
    QString m_database;
    Firebird::IAttachment* m_att = nullptr;
    bool m_lost = false;
    std::unique_ptr<TFbTransaction> m_explicit;
};

// The database client library of this run: "libUlmexDB_Client.so" when one is found on the
// library path the first time it is asked for, otherwise libfbclient.
QString DatabaseClientLibrary_str();

// Sets FIREBIRD to the prepared root folder (SuperClassic embedded engine) unless it is set, and
// FIREBIRD_LOCK to a folder this user can write when the default one is not.
void FirebirdEnvironment_Prepare(const QString& programDir);

// Opens a connection and closes it again when the scope ends (unless it was open before).
class TConnectionGuard {
public:
    explicit TConnectionGuard(TFbConnection& c) : m_c(c), m_wasOpen(c.Connected()) {
        if (!m_wasOpen)
            m_c.Open();
    }
    ~TConnectionGuard() {
        if (m_wasOpen)
            return;
        try {
            m_c.Close(); // the handle is let go even when the detach fails
        } catch (const EUlmex&) {
        }
    }
    TConnectionGuard(const TConnectionGuard&) = delete;
    TConnectionGuard& operator=(const TConnectionGuard&) = delete;

private:
    TFbConnection& m_c;
    bool m_wasOpen;
};
