#include "unitDataSet.h"

#include "DateTime.h"
#include "UlmexMsgBox.h"
#include "unitPumpEvents.h"
#include "unitTrace.h"
#include "unitUtils.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>

namespace {

std::atomic<bool> g_terminating{false};

TRetryPause& retryPause() {
    static TRetryPause pause;
    return pause;
}

void pauseMs(int ms) {
    if (const TRetryPause& p = retryPause())
        p(ms);
    else
        QThread::msleep(ms);
}

// Pending window messages are handled between tries, but only on the thread that owns them.
void processPendingMessages() {
    if (QCoreApplication::instance() &&
        QThread::currentThread() == QCoreApplication::instance()->thread())
        QCoreApplication::processEvents();
}

bool isLockConflictText(const QString& text) {
    return text.contains(QStringLiteral(" 3260 ")) || text.contains(QStringLiteral(" 3187 "));
}

void showError(const QString& title, const QString& text) {
    DebugLog(title + QStringLiteral(": ") + text);
    UlmexMsgBox(title, QString(), text, false, 0, UlmexMB_ICONERROR);
}

QString emptyDateText() {
    return FormatDateTime(DateDisplayFormat_str(), TDateTime(0.0));
}

// Date text in the display format (optionally with a time) read as a date and time here, since the
// database reads text dates by its own rules (month first with "/", day first with ".").
QDateTime displayTextToDateTime(const QString& text) {
    QString date = DateDisplayFormat_str();
    date.replace(QStringLiteral("mm"), QStringLiteral("MM"));
    const QString t = text.trimmed();
    for (const QString& fmt :
         {date + QStringLiteral(" HH:mm:ss"), date + QStringLiteral(" HH:mm"), date}) {
        const QDateTime dt = QDateTime::fromString(t, fmt);
        if (dt.isValid())
            return dt;
    }
    return QDateTime::fromString(t, Qt::ISODate);
}

} // namespace

void ErrorOccurred_Report(const QString& where, const QString& text) {
    const QString heading = QCoreApplication::translate("Resource", "%s: An error occurred: ");
    MsgCatalogBox(0, 0,
                  {QString(), QString(),
                   QString(heading).replace(QStringLiteral("%s"), where) + QStringLiteral("\r\n") +
                       text + QStringLiteral("\r\n")});
}

bool ProgramTerminating_b() {
    return g_terminating.load() || ThreadAbortRequested();
}
void ProgramTerminating_Set(bool terminating) {
    g_terminating.store(terminating);
}
void DataSetRetryPause_Set(TRetryPause pause) {
    retryPause() = std::move(pause);
}

// ---- TCachedDataSet ------------------------------------------------------------------------

TCachedDataSet::TCachedDataSet(TFbConnection& db, QString name, QString selectSql, QString table,
                               QStringList keyFields)
    : m_db(db), m_name(std::move(name)), m_sql(std::move(selectSql)), m_table(std::move(table)),
      m_keys(std::move(keyFields)) {
    for (QString& k : m_keys)
        k = k.toUpper();
}

TCachedDataSet::~TCachedDataSet() {
    try {
        Close();
    } catch (...) {
    }
}

void TCachedDataSet::SetParam(const QString& name, const QVariant& value) {
    for (auto& p : m_params) {
        if (p.first.compare(name, Qt::CaseInsensitive) == 0) {
            p.second = value;
            return;
        }
    }
    m_params.append({name, value});
}

void TCachedDataSet::Open() {
    if (Active())
        return;
    if (!m_db.Connected() && !m_db.Lost())
        m_db.Open();
    m_rows = m_db.Query(m_sql, m_params);
    m_current = 0;
    m_state = TDataSetState::Browse;
}

void TCachedDataSet::Close() {
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        Cancel();
    m_editLock.reset();
    m_rows = TRowSet();
    m_current = 0;
    m_state = TDataSetState::Inactive;
}

bool TCachedDataSet::Locate(const QString& field, const QVariant& value, bool caseInsensitive) {
    requireActive("Locate");
    const int col = m_rows.FieldIndex(field);
    if (col < 0)
        throw EUlmex(m_name + QStringLiteral(": Field '") + field + QStringLiteral("' not found"));
    const QString wanted = value.toString();
    for (int r = 0; r < RecordCount(); ++r) {
        const QVariant& v = m_rows.Rows()[r][col];
        if (v.isNull())
            continue;
        if (v.toString().compare(wanted,
                                 caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0) {
            m_current = r;
            return true;
        }
    }
    return false;
}

TFieldKind TCachedDataSet::FieldKind(const QString& field) const {
    return m_rows.Kind(m_rows.FieldIndex(field));
}

const QVector<QVariant>* TCachedDataSet::currentRowOrNull() const {
    if (!Active() || m_current < 0 || m_current >= RecordCount())
        return nullptr;
    return &m_rows.Rows()[m_current];
}

QVector<QVariant>& TCachedDataSet::currentRow() {
    if (!currentRowOrNull())
        throw EUlmex(m_name + QStringLiteral(": No current record"));
    return m_rows.Rows()[m_current];
}

QVariant TCachedDataSet::FieldValue(const QString& field) const {
    const int col = m_rows.FieldIndex(field);
    const QVector<QVariant>* row = currentRowOrNull();
    return (col < 0 || !row) ? QVariant() : (*row)[col];
}

bool TCachedDataSet::IsNull(const QString& field) const {
    return FieldValue(field).isNull();
}

void TCachedDataSet::SetFieldValue(const QString& field, const QVariant& value) {
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        throw EUlmex(m_name + QStringLiteral(": Dataset not in edit or insert mode"));
    const int col = m_rows.FieldIndex(field);
    if (col < 0)
        throw EUlmex(m_name + QStringLiteral(": Field '") + field + QStringLiteral("' not found"));
    currentRow()[col] = value;
    const QString upper = field.toUpper();
    if (!m_changed.contains(upper))
        m_changed.append(upper);
}

void TCachedDataSet::requireActive(const char* what) const {
    if (!Active())
        throw EUlmex(m_name + QStringLiteral(": Cannot perform ") + QLatin1String(what) +
                     QStringLiteral(" on a closed dataset"));
}

TParams TCachedDataSet::keyParams(const QVector<QVariant>& row) const {
    TParams p;
    for (int i = 0; i < m_keys.size(); ++i)
        p.append({QStringLiteral("K%1").arg(i), row[m_rows.FieldIndex(m_keys[i])]});
    return p;
}

QString TCachedDataSet::keyCondition() const {
    QStringList parts;
    for (int i = 0; i < m_keys.size(); ++i)
        parts << m_keys[i] + QStringLiteral(" = :K%1").arg(i);
    return parts.join(QStringLiteral(" AND "));
}

// Runs fn inside the connection's explicit transaction, or in one of its own that is committed.
template <class Fn> void TCachedDataSet::inTransaction(Fn&& fn) {
    if (TFbTransaction* e = m_db.Explicit()) {
        fn(*e);
        return;
    }
    TFbTransaction t(m_db);
    fn(t);
    t.Commit();
}

void TCachedDataSet::Edit() {
    requireActive("Edit");
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        return;
    QVector<QVariant>& row = currentRow();
    for (const QString& k : m_keys)
        if (m_rows.FieldIndex(k) < 0)
            throw EUlmex(m_name + QStringLiteral(": Key field '") + k +
                         QStringLiteral("' not in the query"));
    const QString lockSql = QStringLiteral("SELECT 1 FROM ") + m_table + QStringLiteral(" WHERE ") +
                            keyCondition() + QStringLiteral(" WITH LOCK");
    if (TFbTransaction* e = m_db.Explicit()) {
        e->Query(lockSql, keyParams(row));
    } else {
        auto t = std::make_unique<TFbTransaction>(m_db, TIsolationLevel::ReadCommitted, false);
        t->Query(lockSql, keyParams(row));
        m_editLock = std::move(t);
    }
    m_before = row;
    m_changed.clear();
    m_state = TDataSetState::Edit;
}

void TCachedDataSet::Append() {
    requireActive("Append");
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        Post();
    m_rows.Rows().append(QVector<QVariant>(m_rows.Fields().size()));
    m_current = RecordCount() - 1;
    m_changed.clear();
    m_state = TDataSetState::Insert;
}

void TCachedDataSet::Post() {
    if (m_state == TDataSetState::Edit) {
        const QVector<QVariant>& row = currentRow();
        if (!m_changed.isEmpty()) {
            QStringList sets;
            TParams params = keyParams(m_before);
            for (int i = 0; i < m_changed.size(); ++i) {
                sets << m_changed[i] + QStringLiteral(" = :V%1").arg(i);
                params.append({QStringLiteral("V%1").arg(i), row[m_rows.FieldIndex(m_changed[i])]});
            }
            const QString sql = QStringLiteral("UPDATE ") + m_table + QStringLiteral(" SET ") +
                                sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") +
                                keyCondition();
            if (TFbTransaction* e = m_db.Explicit())
                e->Exec(sql, params);
            else if (m_editLock)
                m_editLock->Exec(sql, params);
            else
                inTransaction([&](TFbTransaction& t) { t.Exec(sql, params); });
        }
        if (m_editLock)
            m_editLock->Commit();
        m_editLock.reset();
    } else if (m_state == TDataSetState::Insert) {
        const QVector<QVariant>& row = currentRow();
        if (!m_changed.isEmpty()) {
            QStringList values;
            TParams params;
            for (int i = 0; i < m_changed.size(); ++i) {
                values << QStringLiteral(":V%1").arg(i);
                params.append({QStringLiteral("V%1").arg(i), row[m_rows.FieldIndex(m_changed[i])]});
            }
            const QString sql = QStringLiteral("INSERT INTO ") + m_table + QStringLiteral(" (") +
                                m_changed.join(QStringLiteral(", ")) +
                                QStringLiteral(") VALUES (") + values.join(QStringLiteral(", ")) +
                                QStringLiteral(")");
            inTransaction([&](TFbTransaction& t) { t.Exec(sql, params); });
        }
    } else {
        throw EUlmex(m_name + QStringLiteral(": Dataset not in edit or insert mode"));
    }
    // Read back what the database made of the values (text dates, defaults).
    QVector<QVariant>& row = currentRow();
    bool keysKnown = !m_keys.isEmpty();
    for (const QString& k : m_keys)
        keysKnown = keysKnown && m_rows.FieldIndex(k) >= 0 && !row[m_rows.FieldIndex(k)].isNull();
    m_state = TDataSetState::Browse;
    m_changed.clear();
    if (keysKnown) {
        const TRowSet fresh = m_db.Query(QStringLiteral("SELECT * FROM ") + m_table +
                                             QStringLiteral(" WHERE ") + keyCondition(),
                                         keyParams(row));
        if (!fresh.IsEmpty()) {
            for (int c = 0; c < fresh.Fields().size(); ++c) {
                const int col = m_rows.FieldIndex(fresh.Fields()[c]);
                if (col >= 0)
                    row[col] = fresh.Rows()[0][c];
            }
        }
    }
}

void TCachedDataSet::Cancel() {
    if (m_state == TDataSetState::Edit) {
        currentRow() = m_before;
        if (m_editLock)
            m_editLock->Rollback();
        m_editLock.reset();
    } else if (m_state == TDataSetState::Insert) {
        m_rows.Rows().removeAt(m_current);
        m_current = std::max(0, std::min(m_current, RecordCount() - 1));
    }
    if (Active())
        m_state = TDataSetState::Browse;
    m_changed.clear();
}

void TCachedDataSet::Delete() {
    requireActive("Delete");
    if (m_state == TDataSetState::Insert) {
        Cancel();
        return;
    }
    const QVector<QVariant> row = m_state == TDataSetState::Edit ? m_before : currentRow();
    const TParams params = keyParams(row);
    const QString sql =
        QStringLiteral("DELETE FROM ") + m_table + QStringLiteral(" WHERE ") + keyCondition();
    if (m_editLock) {
        m_editLock->Exec(sql, params);
        m_editLock->Commit();
        m_editLock.reset();
    } else {
        inTransaction([&](TFbTransaction& t) { t.Exec(sql, params); });
    }
    m_rows.Rows().removeAt(m_current);
    m_current = std::max(0, std::min(m_current, RecordCount() - 1));
    m_state = TDataSetState::Browse;
    m_changed.clear();
}

// ---- Dataset operations ----------------------------------------------------------------------

namespace {
// Runs an open or close; a failure is shown as "<title> " + name + CR LF + error text (result
// false) when showErrors is set, otherwise raised.
bool dataSetStep(TCachedDataSet& ds, bool showErrors, const QString& title,
                 void (TCachedDataSet::*step)()) {
    try {
        (ds.*step)();
        return true;
    } catch (const EUlmex& e) {
        if (!showErrors)
            throw;
        showError(title, title + u' ' + ds.Name() + QStringLiteral("\r\n") + e.Message());
        return false;
    }
}
} // namespace

bool DataSetOpen_b(TCachedDataSet& ds, bool showErrors) {
    return dataSetStep(ds, showErrors, QStringLiteral("Query Open Error"), &TCachedDataSet::Open);
}

bool DataSetClose_b(TCachedDataSet& ds, bool showErrors) {
    return dataSetStep(ds, showErrors, QStringLiteral("Query Close Error"), &TCachedDataSet::Close);
}

void DataSetParam_Set(TCachedDataSet& ds, const QString& name, const QVariant& value) {
    ds.SetParam(name, value);
}

bool DataSetEdit_LockRetry_b(TCachedDataSet& ds, int maxAttempts, bool showErrors) {
    for (int attempt = 1;; ++attempt) {
        processPendingMessages();
        if (ProgramTerminating_b())
            return false;
        try {
            ds.Edit();
            return true;
        } catch (const EUlmex& e) {
            if (!isLockConflictText(e.Message())) {
                showError(QStringLiteral("Initiate Edit Error"),
                          QStringLiteral("Initiate Edit Error ") + ds.Name() +
                              QStringLiteral("\r\n") + e.Message());
                return false;
            }
            if (attempt < maxAttempts) {
                pauseMs(10);
                continue;
            }
            if (!showErrors)
                throw;
            showError(QStringLiteral("Initiate Edit Error"),
                      QStringLiteral("Initiate Edit Error ") + ds.Name() +
                          QStringLiteral("\r\nEdit Locking violation - too many tries!"));
            return false;
        }
    }
}

bool DataSetMethod_Retry_b(const QString& method, TCachedDataSet& ds, int maxAttempts,
                           bool showErrors) {
    const QString m = method.toUpper();
    for (int attempt = 1;; ++attempt) {
        processPendingMessages();
        pauseMs(10);
        if (ProgramTerminating_b())
            return false;
        try {
            if (m == QLatin1String("EDIT"))
                ds.Edit();
            else if (m == QLatin1String("APPEND"))
                ds.Append();
            else if (m == QLatin1String("POST"))
                ds.Post();
            else
                throw EUlmex(QStringLiteral("Unknown data method ") + method);
            return true;
        } catch (const EUlmex&) {
            if (attempt < maxAttempts)
                continue;
            if (!showErrors)
                throw;
            showError(QStringLiteral("Initiate Data Method Error"),
                      QStringLiteral("Initiate Data Method Error ") + ds.Name() +
                          QStringLiteral("\r\nLocking violation - too many tries!"));
            return false;
        }
    }
}

QVariant DateFieldToValue(const TCachedDataSet& ds, const QString& field, bool asText) {
    QVariant result;
    try {
        const TFieldKind kind = ds.FieldKind(field);
        const QVariant v = ds.FieldValue(field);
        if (v.isNull()) {
            switch (kind) {
            case TFieldKind::Integer:
                return asText ? QVariant(QStringLiteral("0")) : QVariant(0);
            case TFieldKind::Float:
                return asText ? QVariant(QStringLiteral("0.0")) : QVariant(0.0);
            case TFieldKind::Date:
            case TFieldKind::Time:
            case TFieldKind::TimeStamp:
                return asText ? QVariant(emptyDateText()) : QVariant(TDateTime(0.0).ToQDateTime());
            case TFieldKind::Text:
            case TFieldKind::Other:
                return QVariant(QString());
            }
        }
        if (!asText) {
            result = v;
            return result;
        }
        if (v.typeId() == QMetaType::QDateTime) {
            const QDateTime dt = v.toDateTime();
            QString text = FormatDateTime(DateDisplayFormat_str(), dt);
            if (dt.time() != QTime(0, 0))
                text += QLatin1Char(' ') + FormatDateTime(TimeDisplayFormat_str(), dt);
            result = text;
        } else if (v.typeId() == QMetaType::QTime) {
            result = FormatDateTime(TimeDisplayFormat_str(),
                                    QDateTime(TDateTime(0.0).ToQDateTime().date(), v.toTime()));
        } else {
            result = v.toString();
        }
    } catch (const EUlmex&) {
    }
    return result;
}

void ValueToDateField(TCachedDataSet& ds, const QString& field, const QVariant& value) {
    const int type = value.typeId();
    if (type == QMetaType::QString) {
        const QDateTime dt = displayTextToDateTime(value.toString());
        ds.SetFieldValue(field, dt.isValid() ? QVariant(dt) : value);
        return;
    }
    if (type == QMetaType::QDateTime || type == QMetaType::QDate) {
        const QDateTime dt =
            type == QMetaType::QDate ? QDateTime(value.toDate(), QTime(0, 0)) : value.toDateTime();
        if (dt.isValid() && TDateTime::FromQDateTime(dt).value > 0) {
            ds.SetFieldValue(field, dt);
            return;
        }
    } else if (value.isValid() && !value.isNull() && value.canConvert<double>() &&
               value.toDouble() > 0) {
        ds.SetFieldValue(field, TDateTime(value.toDouble()).ToQDateTime());
        return;
    }
    ds.SetFieldValue(field, displayTextToDateTime(emptyDateText()));
}
