#include "FbConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <firebird/Interface.h>

using namespace Firebird;

const char* const kAlternativeClientLibrary = "libUlmexDB_Client.so";

namespace {

using MasterEntry = IMaster* (*)();

struct TClientLibrary {
    QString name;
    MasterEntry entry;
};

// The site may provide its own client library; the first look decides for the whole run.
const TClientLibrary& clientLibrary() {
    static const TClientLibrary chosen = [] {
        if (void* h = dlopen(kAlternativeClientLibrary, RTLD_NOW | RTLD_LOCAL)) {
            if (auto entry = reinterpret_cast<MasterEntry>(dlsym(h, "fb_get_master_interface")))
                return TClientLibrary{QString::fromLatin1(kAlternativeClientLibrary), entry};
            dlclose(h);
        }
        return TClientLibrary{QStringLiteral("libfbclient.so"), &fb_get_master_interface};
    }();
    return chosen;
}

IMaster* master() {
    static IMaster* const m = clientLibrary().entry();
    return m;
}

// One status object per call; released with the scope.
class Status {
public:
    Status() : m_status(master()->getStatus()), m_wrapper(m_status) {}
    ~Status() { m_status->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;
    ThrowStatusWrapper* operator&() { return &m_wrapper; }

private:
    IStatus* m_status;
    ThrowStatusWrapper m_wrapper;
};

[[noreturn]] void rethrow(const FbException& e, const QString& context = {}) {
    char buf[1024] = {};
    master()->getUtilInterface()->formatStatus(buf, sizeof buf - 1, e.getStatus());
    std::vector<intptr_t> codes;
    const intptr_t* v = e.getStatus()->getErrors();
    for (int i = 0; v && v[i] != 0 && i < 64;) {
        const intptr_t kind = v[i];
        if (kind == 1) // isc_arg_gds
            codes.push_back(v[i + 1]);
        i += kind == 3 ? 3 : 2; // isc_arg_cstring carries a length and a pointer
    }
    QString text = QString::fromLocal8Bit(buf).trimmed();
    if (std::find(codes.begin(), codes.end(), isc_deadlock) != codes.end() ||
        std::find(codes.begin(), codes.end(), isc_lock_conflict) != codes.end())
        text += QStringLiteral(" ( 3260 )");
    if (!context.isEmpty())
        text = context + QStringLiteral(": ") + text;
    throw EFbError(text, std::move(codes));
}

// ":Name" placeholders become "?" outside quotes; the names in order.
QByteArray bindNames(const QString& sql, QStringList* names) {
    QString out;
    out.reserve(sql.size());
    QChar quote;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            out += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            out += c;
            continue;
        }
        if (c == u':' && i + 1 < sql.size() && (sql[i + 1].isLetter() || sql[i + 1] == u'_')) {
            int j = i + 1;
            while (j < sql.size() && (sql[j].isLetterOrNumber() || sql[j] == u'_'))
                ++j;
            names->append(sql.mid(i + 1, j - i - 1));
            out += u'?';
            i = j - 1;
            continue;
        }
        out += c;
    }
    return out.toUtf8();
}

const QDate kMjdEpoch(1858, 11, 17);

ISC_TIMESTAMP toTimestamp(const QDateTime& dt) {
    ISC_TIMESTAMP ts;
    ts.timestamp_date = ISC_DATE(kMjdEpoch.daysTo(dt.date()));
    ts.timestamp_time = ISC_TIME(qint64(dt.time().msecsSinceStartOfDay()) * 10);
    return ts;
}

QDateTime fromTimestamp(ISC_DATE d, ISC_TIME t) {
    return QDateTime(kMjdEpoch.addDays(d), QTime::fromMSecsSinceStartOfDay(int(t / 10)));
}

// Input message built from the values themselves; the engine converts to the column types.
struct InputMessage {
    IMessageMetadata* meta = nullptr;
    std::vector<unsigned char> buffer;
    ~InputMessage() {
        if (meta)
            meta->release();
    }
};

void buildInput(const QStringList& names, const TParams& params, InputMessage& msg) {
    if (names.isEmpty())
        return;
    Status st;
    IMetadataBuilder* b = master()->getMetadataBuilder(&st, unsigned(names.size()));
    std::vector<QVariant> values;
    for (int i = 0; i < names.size(); ++i) {
        QVariant v;
        bool found = false;
        for (const auto& [n, value] : params)
            if (n.compare(names[i], Qt::CaseInsensitive) == 0) {
                v = value;
                found = true;
                break;
            }
        if (!found)
            throw EUlmex(QStringLiteral("Parameter ") + names[i] + QStringLiteral(" not set"));
        values.push_back(v);
        const int type = v.typeId();
        if (!v.isValid() || v.isNull()) {
            b->setType(&st, unsigned(i), SQL_VARYING + 1);
            b->setLength(&st, unsigned(i), 1);
        } else if (type == QMetaType::Int || type == QMetaType::LongLong ||
                   type == QMetaType::Bool || type == QMetaType::UInt || type == QMetaType::Short) {
            b->setType(&st, unsigned(i), SQL_INT64 + 1);
            b->setLength(&st, unsigned(i), 8);
            b->setScale(&st, unsigned(i), 0);
        } else if (type == QMetaType::Double || type == QMetaType::Float) {
            b->setType(&st, unsigned(i), SQL_DOUBLE + 1);
            b->setLength(&st, unsigned(i), 8);
        } else if (type == QMetaType::QDateTime || type == QMetaType::QDate) {
            b->setType(&st, unsigned(i), SQL_TIMESTAMP + 1);
            b->setLength(&st, unsigned(i), sizeof(ISC_TIMESTAMP));
        } else {
            const QByteArray bytes =
                type == QMetaType::QByteArray ? v.toByteArray() : v.toString().toLatin1();
            b->setType(&st, unsigned(i), SQL_VARYING + 1);
            b->setLength(&st, unsigned(i), unsigned(std::max<qsizetype>(1, bytes.size())));
            b->setCharSet(&st, unsigned(i), 0);
        }
    }
    msg.meta = b->getMetadata(&st);
    b->release();
    msg.buffer.assign(msg.meta->getMessageLength(&st), 0);
    unsigned char* buf = msg.buffer.data();
    for (int i = 0; i < names.size(); ++i) {
        const QVariant& v = values[size_t(i)];
        const unsigned off = msg.meta->getOffset(&st, unsigned(i));
        const unsigned nullOff = msg.meta->getNullOffset(&st, unsigned(i));
        if (!v.isValid() || v.isNull()) {
            *reinterpret_cast<short*>(buf + nullOff) = -1;
            continue;
        }
        *reinterpret_cast<short*>(buf + nullOff) = 0;
        switch (msg.meta->getType(&st, unsigned(i)) & ~1u) {
        case SQL_INT64: {
            const int64_t n =
                v.typeId() == QMetaType::Bool ? (v.toBool() ? -1 : 0) : v.toLongLong();
            std::memcpy(buf + off, &n, 8);
            break;
        }
        case SQL_DOUBLE: {
            const double d = v.toDouble();
            std::memcpy(buf + off, &d, 8);
            break;
        }
        case SQL_TIMESTAMP: {
            const ISC_TIMESTAMP ts = toTimestamp(
                v.typeId() == QMetaType::QDate ? v.toDate().startOfDay() : v.toDateTime());
            std::memcpy(buf + off, &ts, sizeof ts);
            break;
        }
        default: {
            const QByteArray bytes =
                v.typeId() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toLatin1();
            const uint16_t len = uint16_t(bytes.size());
            std::memcpy(buf + off, &len, 2);
            std::memcpy(buf + off + 2, bytes.constData(), len);
            break;
        }
        }
    }
}

QVariant readColumn(IMessageMetadata* meta, unsigned i, const unsigned char* buf) {
    Status st;
    if (*reinterpret_cast<const short*>(buf + meta->getNullOffset(&st, i)) == -1)
        return QVariant();
    const unsigned char* p = buf + meta->getOffset(&st, i);
    const int scale = meta->getScale(&st, i);
    auto scaled = [scale](int64_t n) -> QVariant {
        if (scale >= 0)
            return QVariant::fromValue<qlonglong>(n);
        return QVariant(double(n) / std::pow(10.0, -scale));
    };
    switch (meta->getType(&st, i) & ~1u) {
    case SQL_SHORT: {
        int16_t n;
        std::memcpy(&n, p, 2);
        return scaled(n);
    }
    case SQL_LONG: {
        int32_t n;
        std::memcpy(&n, p, 4);
        return scaled(n);
    }
    case SQL_INT64: {
        int64_t n;
        std::memcpy(&n, p, 8);
        return scaled(n);
    }
    case SQL_FLOAT: {
        float f;
        std::memcpy(&f, p, 4);
        return QVariant(double(f));
    }
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        double d;
        std::memcpy(&d, p, 8);
        return QVariant(d);
    }
    case SQL_TEXT: {
        QByteArray b(reinterpret_cast<const char*>(p), int(meta->getLength(&st, i)));
        while (b.endsWith(' '))
            b.chop(1);
        return QVariant(QString::fromLatin1(b));
    }
    case SQL_VARYING: {
        uint16_t len;
        std::memcpy(&len, p, 2);
        return QVariant(QString::fromLatin1(reinterpret_cast<const char*>(p + 2), len));
    }
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP ts;
        std::memcpy(&ts, p, sizeof ts);
        return QVariant(fromTimestamp(ts.timestamp_date, ts.timestamp_time));
    }
    case SQL_TYPE_DATE: {
        ISC_DATE d;
        std::memcpy(&d, p, sizeof d);
        return QVariant(fromTimestamp(d, 0));
    }
    case SQL_TYPE_TIME: {
        ISC_TIME t;
        std::memcpy(&t, p, sizeof t);
        return QVariant(QTime::fromMSecsSinceStartOfDay(int(t / 10)));
    }
    case SQL_BOOLEAN:
        return QVariant(qlonglong(*p ? -1 : 0));
    default:
        return QVariant();
    }
}

TFieldKind fieldKind(IMessageMetadata* meta, unsigned i) {
    Status st;
    switch (meta->getType(&st, i) & ~1u) {
    case SQL_TEXT:
    case SQL_VARYING:
        return TFieldKind::Text;
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return meta->getScale(&st, i) < 0 ? TFieldKind::Float : TFieldKind::Integer;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return TFieldKind::Float;
    case SQL_TIMESTAMP:
        return TFieldKind::TimeStamp;
    case SQL_TYPE_DATE:
        return TFieldKind::Date;
    case SQL_TYPE_TIME:
        return TFieldKind::Time;
    default:
        return TFieldKind::Other;
    }
}

TRowSet run(IAttachment* att, ITransaction* tra, const QString& sql, const TParams& params,
            int* affected) {
    if (!att)
        throw EUlmex(QStringLiteral("Database not connected"));
    QStringList names;
    // Without parameters the text goes as it is (procedure bodies use ":name" themselves).
    const QByteArray text = params.isEmpty() ? sql.toUtf8() : bindNames(sql, &names);
    Status st;
    IStatement* stmt = nullptr;
    try {
        stmt =
            att->prepare(&st, tra, 0, text.constData(), 3, IStatement::PREPARE_PREFETCH_METADATA);
        InputMessage in;
        buildInput(names, params, in);
        IMessageMetadata* outMeta = stmt->getOutputMetadata(&st);
        const unsigned cols = outMeta->getCount(&st);
        const unsigned type = stmt->getType(&st);
        TRowSet result;
        if (cols > 0 && (type == 1 || type == 12)) { // select, select for update
            IResultSet* rs = stmt->openCursor(&st, tra, in.meta,
                                              in.meta ? in.buffer.data() : nullptr, outMeta, 0);
            QStringList fields;
            QVector<TFieldKind> kinds;
            for (unsigned c = 0; c < cols; ++c) {
                fields << QString::fromLatin1(outMeta->getAlias(&st, c)).trimmed().toUpper();
                kinds << fieldKind(outMeta, c);
            }
            std::vector<unsigned char> buf(outMeta->getMessageLength(&st));
            QVector<QVector<QVariant>> rows;
            while (rs->fetchNext(&st, buf.data()) == IStatus::RESULT_OK) {
                QVector<QVariant> row;
                row.reserve(int(cols));
                for (unsigned c = 0; c < cols; ++c)
                    row.append(readColumn(outMeta, c, buf.data()));
                rows.append(std::move(row));
            }
            rs->close(&st);
            result = TRowSet(fields, std::move(rows), std::move(kinds));
        } else {
            std::vector<unsigned char> outBuf(cols > 0 ? outMeta->getMessageLength(&st) : 0);
            stmt->execute(&st, tra, in.meta, in.meta ? in.buffer.data() : nullptr,
                          cols > 0 ? outMeta : nullptr, cols > 0 ? outBuf.data() : nullptr);
            if (affected)
                *affected = int(stmt->getAffectedRecords(&st));
            if (cols > 0) { // execute procedure with outputs
                QStringList fields;
                QVector<QVariant> row;
                QVector<TFieldKind> kinds;
                for (unsigned c = 0; c < cols; ++c) {
                    fields << QString::fromLatin1(outMeta->getAlias(&st, c)).trimmed().toUpper();
                    row.append(readColumn(outMeta, c, outBuf.data()));
                    kinds << fieldKind(outMeta, c);
                }
                result = TRowSet(fields, {row}, std::move(kinds));
            }
        }
        outMeta->release();
        stmt->free(&st);
        return result;
    } catch (const FbException& e) {
        if (stmt)
            stmt->release();
        rethrow(e);
    }
}

QByteArray dpb(bool create, int pageSize) {
    Status st;
    IXpbBuilder* b = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    b->insertString(&st, isc_dpb_user_name, TFbConnection::UserName().toLatin1().constData());
    b->insertString(&st, isc_dpb_password, TFbConnection::Password().toLatin1().constData());
    b->insertInt(&st, isc_dpb_sql_dialect, 3);
    b->insertString(&st, isc_dpb_lc_ctype, "NONE");
    if (create)
        b->insertInt(&st, isc_dpb_page_size, pageSize);
    const QByteArray out(reinterpret_cast<const char*>(b->getBuffer(&st)),
                         int(b->getBufferLength(&st)));
    b->dispose();
    return out;
}

} // namespace

bool EFbError::HasCode(intptr_t code) const {
    return std::find(m_codes.begin(), m_codes.end(), code) != m_codes.end();
}

QString DatabaseClientLibrary_str() {
    return clientLibrary().name;
}

bool EFbError::IsConnectionLost() const {
    return HasCode(isc_network_error) || HasCode(isc_net_read_err) || HasCode(isc_net_write_err) ||
           HasCode(isc_lost_db_connection) || HasCode(isc_shutdown) || HasCode(isc_att_shutdown) ||
           HasCode(isc_bad_db_handle);
}

bool EFbError::IsLockConflict() const {
    return HasCode(isc_deadlock) || HasCode(isc_update_conflict) || HasCode(isc_lock_conflict) ||
           HasCode(isc_lock_timeout);
}

TRowSet::TRowSet(QStringList fields, QVector<QVector<QVariant>> rows, QVector<TFieldKind> kinds)
    : m_fields(std::move(fields)), m_rows(std::move(rows)), m_kinds(std::move(kinds)) {}

int TRowSet::FieldIndex(const QString& name) const {
    return int(m_fields.indexOf(name.toUpper()));
}

QVariant TRowSet::Value(int row, const QString& name) const {
    const int i = FieldIndex(name);
    if (i < 0 || row < 0 || row >= m_rows.size())
        return {};
    return m_rows[row][i];
}

int64_t TRowSet::Int(int row, const QString& name, int64_t def) const {
    const QVariant v = Value(row, name);
    if (!v.isValid() || v.isNull() || v.toString().isEmpty())
        return def;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? int64_t(std::llround(d)) : def;
}

double TRowSet::Double(int row, const QString& name, double def) const {
    const QVariant v = Value(row, name);
    bool ok = false;
    const double d = v.toDouble(&ok);
    return (v.isNull() || !ok) ? def : d;
}

QString TRowSet::Str(int row, const QString& name, const QString& def) const {
    const QVariant v = Value(row, name);
    return (v.isNull() || !v.isValid() || v.toString().isEmpty()) ? def : v.toString();
}

QDateTime TRowSet::DateTime(int row, const QString& name) const {
    return Value(row, name).toDateTime();
}

TFbTransaction::TFbTransaction(TFbConnection& connection, TIsolationLevel isolation, bool wait)
    : m_connection(connection) {
    if (!connection.Handle() && connection.Lost())
        connection.Open();
    if (!connection.Handle())
        throw EUlmex(QStringLiteral("Database not connected"));
    Status st;
    try {
        IXpbBuilder* b =
            master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::TPB, nullptr, 0);
        if (isolation == TIsolationLevel::RepeatableRead) {
            b->insertTag(&st, isc_tpb_concurrency);
        } else {
            b->insertTag(&st, isc_tpb_read_committed);
            b->insertTag(&st, isc_tpb_rec_version);
        }
        if (wait) {
            b->insertTag(&st, isc_tpb_wait);
            // Wait for a lock holder, but not for ever: an abandoned holder must not hang a
            // station.
            b->insertInt(&st, isc_tpb_lock_timeout, 30);
        } else {
            b->insertTag(&st, isc_tpb_nowait);
        }
        b->insertTag(&st, isc_tpb_write);
        m_tra =
            connection.Handle()->startTransaction(&st, b->getBufferLength(&st), b->getBuffer(&st));
        b->dispose();
    } catch (const FbException& e) {
        guarded([&] { rethrow(e); });
    }
}

// A lost attachment is released with its transaction so that the next one attaches again.
template <class Fn> auto TFbTransaction::guarded(Fn&& fn) -> decltype(fn()) {
    try {
        return fn();
    } catch (const EFbError& e) {
        if (e.IsConnectionLost()) {
            Forget();
            m_connection.Abandon();
        }
        throw;
    }
}

void TFbTransaction::Forget() {
    if (m_tra) {
        m_tra->release();
        m_tra = nullptr;
    }
}

TFbTransaction::~TFbTransaction() {
    try {
        Rollback();
    } catch (...) {
    }
}

void TFbTransaction::Commit() {
    if (!m_tra)
        return;
    Status st;
    try {
        m_tra->commit(&st);
        m_tra = nullptr;
    } catch (const FbException& e) {
        guarded([&] { rethrow(e); });
    }
}

void TFbTransaction::Rollback() {
    if (!m_tra)
        return;
    Status st;
    try {
        m_tra->rollback(&st);
        m_tra = nullptr;
    } catch (const FbException& e) {
        m_tra->release();
        m_tra = nullptr;
        rethrow(e);
    }
}

TRowSet TFbTransaction::Query(const QString& sql, const TParams& params) {
    return guarded([&] { return run(m_connection.Handle(), m_tra, sql, params, nullptr); });
}

int TFbTransaction::Exec(const QString& sql, const TParams& params) {
    int n = 0;
    guarded([&] { run(m_connection.Handle(), m_tra, sql, params, &n); });
    return n;
}

TFbConnection::~TFbConnection() {
    try {
        Close();
    } catch (...) {
    }
}

QString TFbConnection::UserName() {
    const QString u = qEnvironmentVariable("ISC_USER");
    return u.isEmpty() ? QStringLiteral("sysdba") : u;
}

QString TFbConnection::Password() {
    const QString p = qEnvironmentVariable("ISC_PASSWORD");
    return p.isEmpty() ? QStringLiteral("WMTRZE") : p;
}

void TFbConnection::Open() {
    if (m_att)
        return;
    if (m_database.isEmpty())
        throw EUlmex(QStringLiteral("Database name not set"));
    Status st;
    IProvider* prov = master()->getDispatcher();
    try {
        const QByteArray params = dpb(false, 0);
        m_att =
            prov->attachDatabase(&st, m_database.toLocal8Bit().constData(), unsigned(params.size()),
                                 reinterpret_cast<const unsigned char*>(params.constData()));
        prov->release();
        m_lost = false;
    } catch (const FbException& e) {
        prov->release();
        rethrow(e, m_database);
    }
}

void TFbConnection::Create(int pageSize) {
    if (m_att)
        throw EUlmex(QStringLiteral("Database already connected"));
    Status st;
    IProvider* prov = master()->getDispatcher();
    try {
        const QByteArray params = dpb(true, pageSize);
        m_att =
            prov->createDatabase(&st, m_database.toLocal8Bit().constData(), unsigned(params.size()),
                                 reinterpret_cast<const unsigned char*>(params.constData()));
        prov->release();
    } catch (const FbException& e) {
        prov->release();
        rethrow(e, m_database);
    }
}

void TFbConnection::Abandon() {
    if (m_explicit)
        m_explicit->Forget();
    if (m_att) {
        m_att->release();
        m_att = nullptr;
    }
    m_lost = true;
}

void TFbConnection::Close() {
    m_lost = false;
    m_explicit.reset();
    if (!m_att)
        return;
    Status st;
    try {
        m_att->detach(&st);
        m_att = nullptr;
    } catch (const FbException& e) {
        m_att->release();
        m_att = nullptr;
        rethrow(e);
    }
}

void TFbConnection::StartExplicit(TIsolationLevel isolation) {
    if (InTransaction())
        throw EUlmex(QStringLiteral("Connection already in transaction"));
    m_explicit = std::make_unique<TFbTransaction>(*this, isolation);
}

bool TFbConnection::InTransaction() const {
    return m_explicit && m_explicit->Active();
}

void TFbConnection::CommitExplicit() {
    if (!m_explicit)
        return;
    m_explicit->Commit();
    m_explicit.reset();
}

void TFbConnection::RollbackExplicit() {
    if (!m_explicit)
        return;
    std::unique_ptr<TFbTransaction> t = std::move(m_explicit);
    t->Rollback();
}

TRowSet TFbConnection::Query(const QString& sql, const TParams& params) {
    if (TFbTransaction* e = Explicit())
        return e->Query(sql, params);
    TFbTransaction t(*this);
    TRowSet r = t.Query(sql, params);
    t.Commit();
    return r;
}

int TFbConnection::Exec(const QString& sql, const TParams& params) {
    if (TFbTransaction* e = Explicit())
        return e->Exec(sql, params);
    TFbTransaction t(*this);
    const int n = t.Exec(sql, params);
    t.Commit();
    return n;
}

bool TFbConnection::TableExists(const QString& table) {
    return !Query(QStringLiteral("select 1 from rdb$relations where rdb$relation_name = :T"),
                  {{QStringLiteral("T"), table.toUpper()}})
                .IsEmpty();
}

bool TFbConnection::ColumnExists(const QString& table, const QString& column) {
    return !Query(
                QStringLiteral("select 1 from rdb$relation_fields where rdb$relation_name = :T and "
                               "rdb$field_name = :C"),
                {{QStringLiteral("T"), table.toUpper()}, {QStringLiteral("C"), column.toUpper()}})
                .IsEmpty();
}

void FirebirdEnvironment_Prepare(const QString& programDir) {
    if (qEnvironmentVariableIsEmpty("FIREBIRD")) {
        QString root;
        for (const QString& candidate : {programDir + QStringLiteral("/../firebird-root"),
                                         programDir + QStringLiteral("/firebird-root")}) {
            if (QFileInfo::exists(candidate + QStringLiteral("/firebird.conf"))) {
                root = QDir(candidate).absolutePath();
                break;
            }
        }
        if (root.isEmpty()) {
            // An installed program without the build's root folder makes its own.
            const QString home = QStringLiteral("/usr/lib/x86_64-linux-gnu/firebird/3.0");
            root = QDir::tempPath() + QStringLiteral("/vrq-firebird-root-") +
                   qEnvironmentVariable("USER");
            QDir().mkpath(root);
            QFile conf(root + QStringLiteral("/firebird.conf"));
            if (conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
                conf.write("ServerMode = SuperClassic\nProviders = Remote,Engine12,Loopback\n");
            for (const char* item :
                 {"plugins", "intl", "lib", "UDF", "firebird.msg", "plugins.conf"})
                QFile::link(home + u'/' + QLatin1String(item), root + u'/' + QLatin1String(item));
        }
        qputenv("FIREBIRD", root.toLocal8Bit());
    }
    if (qEnvironmentVariableIsEmpty("FIREBIRD_LOCK")) {
        const QFileInfo lockDir(QStringLiteral("/tmp/firebird"));
        if (lockDir.exists() && !lockDir.isWritable()) {
            const QString own =
                QDir::tempPath() + QStringLiteral("/firebird-") + qEnvironmentVariable("USER");
            QDir().mkpath(own);
            qputenv("FIREBIRD_LOCK", own.toLocal8Bit());
        }
    }
}
