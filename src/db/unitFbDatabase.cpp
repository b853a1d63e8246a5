#include "unitFbDatabase.h"

#include <firebird/Interface.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

using namespace Firebird;

// ---- Environment and client library -------------------------------------------------------

namespace {
QMutex g_envMutex;
QString g_rootFolder;
bool g_envPrepared = false;

const char* const kSystemFirebirdDir = "/usr/lib/x86_64-linux-gnu/firebird/3.0";

QString SystemFirebirdDir() {
    for (const QString& d : {QStringLiteral("/usr/lib/x86_64-linux-gnu/firebird/3.0"),
                             QStringLiteral("/usr/lib/aarch64-linux-gnu/firebird/3.0"),
                             QStringLiteral("/usr/lib/firebird/3.0"),
                             QStringLiteral("/opt/firebird")}) {
        if (QFileInfo::exists(d + QStringLiteral("/plugins")))
            return d;
    }
    return QString::fromLatin1(kSystemFirebirdDir);
}

bool RootUsable(const QString& root) {
    return QFileInfo::exists(root + QStringLiteral("/firebird.conf")) &&
           QFileInfo::exists(root + QStringLiteral("/plugins"));
}

// Builds a root folder like the one the build prepares.
bool MakeRoot(const QString& root) {
    QDir().mkpath(root);
    const QString sys = SystemFirebirdDir();
    for (const char* item : {"plugins", "intl", "UDF", "lib", "firebird.msg", "plugins.conf"}) {
        const QString target = sys + u'/' + QLatin1String(item);
        const QString link = root + u'/' + QLatin1String(item);
        if (QFileInfo::exists(target) && !QFileInfo(link).exists())
            QFile::link(target, link);
    }
    QFile conf(root + QStringLiteral("/firebird.conf"));
    if (!conf.exists()) {
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write("# Embedded engine of Vorqen: several local processes share the files.\n"
                   "ServerMode = SuperClassic\n");
    }
    return RootUsable(root);
}

QString ProgramFolder() {
    const QString app = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                     : QString();
    if (!app.isEmpty())
        return app;
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}
} // namespace

void FirebirdEnvironment_Prepare() {
    QMutexLocker lock(&g_envMutex);
    if (g_envPrepared)
        return;
    g_envPrepared = true;
    if (!qEnvironmentVariableIsEmpty("FIREBIRD")) {
        g_rootFolder = qEnvironmentVariable("FIREBIRD");
    } else {
        const QString bin = ProgramFolder();
        QString found;
        for (const QString& c : {bin + QStringLiteral("/../firebird-root"),
                                 bin + QStringLiteral("/firebird-root")}) {
            if (RootUsable(c)) {
                found = QDir::cleanPath(c);
                break;
            }
        }
        if (found.isEmpty()) {
            const QString fallback =
                QDir::tempPath() + QStringLiteral("/vrq-firebird-root-") + QString::number(getuid());
            if (MakeRoot(fallback))
                found = fallback;
        }
        if (!found.isEmpty()) {
            g_rootFolder = found;
            qputenv("FIREBIRD", found.toLocal8Bit());
        }
    }
    // The server package makes /tmp/firebird firebird:firebird 0770; other users need their own.
    if (qEnvironmentVariableIsEmpty("FIREBIRD_LOCK")) {
        const QByteArray lockDir("/tmp/firebird");
        if (access(lockDir.constData(), F_OK) == 0 && access(lockDir.constData(), W_OK | X_OK) != 0) {
            const QString own = QStringLiteral("/tmp/firebird-") + QString::number(getuid());
            QDir().mkpath(own);
            qputenv("FIREBIRD_LOCK", own.toLocal8Bit());
        }
    }
}

QString FirebirdRootFolder() {
    QMutexLocker lock(&g_envMutex);
    return g_rootFolder;
}

namespace {
using TGetMaster = IMaster* (*)();
struct TClientLibrary {
    TGetMaster getMaster = &fb_get_master_interface;
    QString name = QStringLiteral("libfbclient.so.2");
};

const TClientLibrary& ClientLibrary() {
    static const TClientLibrary lib = [] {
        TClientLibrary l;
        FirebirdEnvironment_Prepare();
        if (void* h = dlopen("libUlmexDB_Client.so", RTLD_NOW | RTLD_LOCAL)) {
            if (auto fn = reinterpret_cast<TGetMaster>(dlsym(h, "fb_get_master_interface"))) {
                l.getMaster = fn;
                l.name = QStringLiteral("libUlmexDB_Client.so");
            }
        }
        return l;
    }();
    return lib;
}
} // namespace

QString ClientLibrary_Name() { return ClientLibrary().name; }

IMaster* FbMaster() {
    static IMaster* const master = ClientLibrary().getMaster();
    return master;
}

// ---- Errors --------------------------------------------------------------------------------

bool IsLockConflictCode_b(const std::vector<intptr_t>& codes) {
    for (intptr_t c : codes) {
        if (c == kFbDeadlock || c == kFbUpdateConflict || c == kFbLockConflict || c == kFbLockTimeout)
            return true;
    }
    return false;
}

bool IsLockConflict_b(const std::exception& e) {
    if (const auto* d = dynamic_cast<const EDatabaseError*>(&e); d && d->LockConflict())
        return true;
    const QString text = ExceptionText(e);
    return text.contains(QStringLiteral(" 3260 ")) || text.contains(QStringLiteral(" 3187 "));
}

namespace {
// A status wrapper per call; disposed at scope end.
class TStatus {
public:
    TStatus() : m_wrapper(FbMaster()->getStatus()) {}
    ~TStatus() { m_wrapper.dispose(); }
    TStatus(const TStatus&) = delete;
    TStatus& operator=(const TStatus&) = delete;
    ThrowStatusWrapper* operator&() { return &m_wrapper; }

private:
    ThrowStatusWrapper m_wrapper;
};

[[noreturn]] void Raise(const FbException& e, const QString& context = QString()) {
    IStatus* st = e.getStatus();
    char buf[2048];
    FbMaster()->getUtilInterface()->formatStatus(buf, sizeof(buf), st);
    std::vector<intptr_t> codes;
    const intptr_t* v = st->getErrors();
    for (int i = 0; v && v[i] != isc_arg_end && i < 200;) {
        const intptr_t kind = v[i];
        if (kind == isc_arg_gds)
            codes.push_back(v[i + 1]);
        i += (kind == isc_arg_cstring) ? 3 : 2;
    }
    QString text = QString::fromLocal8Bit(buf).trimmed();
    if (!context.isEmpty())
        text = context + QStringLiteral(": ") + text;
    EDatabaseError err(text, codes, IsLockConflictCode_b(codes));
    err.SetSqlCode(int(isc_sqlcode(v)));
    throw err;
}

// Releases a reference-counted object unless it was handed over.
template <typename T> struct TRef {
    T* p = nullptr;
    ~TRef() {
        if (p)
            p->release();
    }
};

constexpr int kEpochJulian = 2400001; // JDN of 17 Nov 1858, ISC_DATE 0

ISC_DATE ToIscDate(const QDate& d) { return ISC_DATE(d.toJulianDay() - kEpochJulian); }
QDate FromIscDate(ISC_DATE d) { return QDate::fromJulianDay(qint64(d) + kEpochJulian); }
ISC_TIME ToIscTime(const QTime& t) {
    return ISC_TIME(t.msecsSinceStartOfDay()) * 10u;
}
QTime FromIscTime(ISC_TIME t) { return QTime::fromMSecsSinceStartOfDay(int(t / 10u)); }

TFieldType MapType(unsigned type, int subType, int scale) {
    switch (type) {
    case SQL_SHORT:
        return scale < 0 ? TFieldType::Numeric : TFieldType::Smallint;
    case SQL_LONG:
        return scale < 0 ? TFieldType::Numeric : TFieldType::Integer;
    case SQL_INT64:
        return scale < 0 ? TFieldType::Numeric : TFieldType::Largeint;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return TFieldType::Float;
    case SQL_TEXT:
        return TFieldType::FixedChar;
    case SQL_VARYING:
        return TFieldType::String;
    case SQL_TIMESTAMP:
        return TFieldType::DateTime;
    case SQL_TYPE_DATE:
        return TFieldType::Date;
    case SQL_TYPE_TIME:
        return TFieldType::Time;
    case SQL_BLOB:
        return subType == 1 ? TFieldType::Memo : TFieldType::Blob;
    case SQL_BOOLEAN:
        return TFieldType::Boolean;
    default:
        return TFieldType::Unknown;
    }
}

QByteArray ReadBlob(IAttachment* att, ITransaction* tra, ISC_QUAD* id) {
    TStatus st;
    TRef<IBlob> blob;
    blob.p = att->openBlob(&st, tra, id, 0, nullptr);
    QByteArray out;
    char seg[8192];
    for (;;) {
        unsigned len = 0;
        const int r = blob.p->getSegment(&st, sizeof(seg), seg, &len);
        if (r == IStatus::RESULT_OK || r == IStatus::RESULT_SEGMENT)
            out.append(seg, int(len));
        else
            break;
        if (out.size() > 64 * 1024 * 1024)
            throw EDatabaseError(QStringLiteral("Blob larger than 64 MB"));
    }
    blob.p->close(&st);
    blob.p = nullptr;
    return out;
}

QVariant Decode(IMessageMetadata* meta, unsigned i, const unsigned char* buf, IAttachment* att,
                ITransaction* tra) {
    TStatus st;
    if (*reinterpret_cast<const short*>(buf + meta->getNullOffset(&st, i)) != 0)
        return QVariant();
    const unsigned char* p = buf + meta->getOffset(&st, i);
    const unsigned type = meta->getType(&st, i) & ~1u;
    const int scale = meta->getScale(&st, i);
    auto scaled = [scale](qint64 v) -> QVariant {
        if (scale >= 0)
            return QVariant(v);
        return QVariant(double(v) / std::pow(10.0, -scale));
    };
    switch (type) {
    case SQL_SHORT: {
        short v;
        std::memcpy(&v, p, sizeof v);
        return scale < 0 ? scaled(v) : QVariant(int(v));
    }
    case SQL_LONG: {
        ISC_LONG v;
        std::memcpy(&v, p, sizeof v);
        return scale < 0 ? scaled(v) : QVariant(int(v));
    }
    case SQL_INT64: {
        ISC_INT64 v;
        std::memcpy(&v, p, sizeof v);
        return scaled(v);
    }
    case SQL_FLOAT: {
        float v;
        std::memcpy(&v, p, sizeof v);
        return QVariant(double(v));
    }
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        double v;
        std::memcpy(&v, p, sizeof v);
        return QVariant(v);
    }
    case SQL_TEXT: {
        const unsigned len = meta->getLength(&st, i);
        QString s = QString::fromLatin1(reinterpret_cast<const char*>(p), int(len));
        while (s.endsWith(u' '))
            s.chop(1);
        return QVariant(s);
    }
    case SQL_VARYING: {
        unsigned short len;
        std::memcpy(&len, p, sizeof len);
        len = std::min<unsigned>(len, meta->getLength(&st, i));
        return QVariant(QString::fromLatin1(reinterpret_cast<const char*>(p + 2), len));
    }
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP ts;
        std::memcpy(&ts, p, sizeof ts);
        return QVariant(QDateTime(FromIscDate(ts.timestamp_date), FromIscTime(ts.timestamp_time)));
    }
    case SQL_TYPE_DATE: {
        ISC_DATE d;
        std::memcpy(&d, p, sizeof d);
        return QVariant(QDateTime(FromIscDate(d), QTime(0, 0)));
    }
    case SQL_TYPE_TIME: {
        ISC_TIME t;
        std::memcpy(&t, p, sizeof t);
        return QVariant(FromIscTime(t));
    }
    case SQL_BOOLEAN:
        return QVariant(*p != 0);
    case SQL_BLOB: {
        ISC_QUAD id;
        std::memcpy(&id, p, sizeof id);
        const QByteArray data = ReadBlob(att, tra, &id);
        if (meta->getSubType(&st, i) == 1)
            return QVariant(QString::fromLatin1(data));
        return QVariant(data);
    }
    default:
        throw EDatabaseError(QStringLiteral("Unsupported column type %1").arg(type));
    }
}

// Input message: each parameter is sent in the type of its value and the engine converts.
struct TInputMessage {
    TRef<IMessageMetadata> meta;
    std::vector<unsigned char> buffer;
};

void BuildInput(IStatement* stmt, const QList<QVariant>& values, TInputMessage* out) {
    TStatus st;
    TRef<IMessageMetadata> described;
    described.p = stmt->getInputMetadata(&st);
    const unsigned n = described.p->getCount(&st);
    if (n != unsigned(values.size()))
        throw EDatabaseError(QStringLiteral("Parameter count mismatch (%1 expected, %2 given)")
                                 .arg(n)
                                 .arg(values.size()));
    if (n == 0)
        return;
    TRef<IMetadataBuilder> b;
    b.p = described.p->getBuilder(&st);
    QList<QByteArray> texts;
    for (unsigned i = 0; i < n; ++i) {
        const QVariant& v = values[int(i)];
        texts.append(QByteArray());
        if (v.isNull())
            continue; // keeps the described type; only the null flag is sent
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::Char:
        case QMetaType::UChar:
        case QMetaType::Long:
            b.p->setType(&st, i, SQL_INT64 + 1);
            b.p->setLength(&st, i, sizeof(ISC_INT64));
            b.p->setScale(&st, i, 0);
            break;
        case QMetaType::Bool:
            b.p->setType(&st, i, SQL_LONG + 1); // flags are -1 / 0 integers
            b.p->setLength(&st, i, sizeof(ISC_LONG));
            b.p->setScale(&st, i, 0);
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            b.p->setType(&st, i, SQL_DOUBLE + 1);
            b.p->setLength(&st, i, sizeof(double));
            b.p->setScale(&st, i, 0);
            break;
        case QMetaType::QDateTime:
        case QMetaType::QDate:
            b.p->setType(&st, i, SQL_TIMESTAMP + 1);
            b.p->setLength(&st, i, sizeof(ISC_TIMESTAMP));
            b.p->setScale(&st, i, 0);
            break;
        case QMetaType::QTime:
            b.p->setType(&st, i, SQL_TYPE_TIME + 1);
            b.p->setLength(&st, i, sizeof(ISC_TIME));
            b.p->setScale(&st, i, 0);
            break;
        case QMetaType::QByteArray:
            texts.last() = v.toByteArray();
            b.p->setType(&st, i, SQL_VARYING + 1);
            b.p->setLength(&st, i, unsigned(std::max<qsizetype>(1, texts.last().size())));
            b.p->setCharSet(&st, i, 1); // OCTETS
            b.p->setSubType(&st, i, 0);
            break;
        default:
            texts.last() = v.toString().toLatin1();
            b.p->setType(&st, i, SQL_VARYING + 1);
            b.p->setLength(&st, i, unsigned(std::max<qsizetype>(1, texts.last().size())));
            b.p->setCharSet(&st, i, 0);
            b.p->setSubType(&st, i, 0);
            break;
        }
        if (texts.last().size() > 32765)
            throw EDatabaseError(QStringLiteral("Parameter value too long"));
    }
    out->meta.p = b.p->getMetadata(&st);
    IMessageMetadata* m = out->meta.p;
    out->buffer.assign(m->getMessageLength(&st), 0);
    unsigned char* buf = out->buffer.data();
    for (unsigned i = 0; i < n; ++i) {
        const QVariant& v = values[int(i)];
        short* nullInd = reinterpret_cast<short*>(buf + m->getNullOffset(&st, i));
        if (v.isNull()) {
            *nullInd = -1;
            continue;
        }
        *nullInd = 0;
        unsigned char* p = buf + m->getOffset(&st, i);
        switch (m->getType(&st, i) & ~1u) {
        case SQL_INT64: {
            const ISC_INT64 x = v.toLongLong();
            std::memcpy(p, &x, sizeof x);
            break;
        }
        case SQL_LONG: {
            const ISC_LONG x = v.toBool() ? -1 : 0;
            std::memcpy(p, &x, sizeof x);
            break;
        }
        case SQL_DOUBLE: {
            const double x = v.toDouble();
            std::memcpy(p, &x, sizeof x);
            break;
        }
        case SQL_TIMESTAMP: {
            const QDateTime dt = v.typeId() == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0))
                                                                 : v.toDateTime();
            ISC_TIMESTAMP ts;
            ts.timestamp_date = ToIscDate(dt.date());
            ts.timestamp_time = ToIscTime(dt.time());
            std::memcpy(p, &ts, sizeof ts);
            break;
        }
        case SQL_TYPE_TIME: {
            const ISC_TIME t = ToIscTime(v.toTime());
            std::memcpy(p, &t, sizeof t);
            break;
        }
        case SQL_VARYING: {
            const QByteArray& t = texts[int(i)];
            const unsigned short len = static_cast<unsigned short>(t.size());
            std::memcpy(p, &len, sizeof len);
            std::memcpy(p + 2, t.constData(), size_t(t.size()));
            break;
        }
        default:
            *nullInd = -1;
            break;
        }
    }
}

QVector<TColumnDef> Describe(IMessageMetadata* meta) {
    TStatus st;
    QVector<TColumnDef> cols;
    const unsigned n = meta ? meta->getCount(&st) : 0;
    for (unsigned i = 0; i < n; ++i) {
        TColumnDef c;
        c.name = QString::fromLatin1(meta->getAlias(&st, i)).trimmed();
        c.column = QString::fromLatin1(meta->getField(&st, i)).trimmed();
        c.relation = QString::fromLatin1(meta->getRelation(&st, i)).trimmed();
        if (c.name.isEmpty())
            c.name = c.column;
        c.scale = meta->getScale(&st, i);
        c.length = int(meta->getLength(&st, i));
        c.type = MapType(meta->getType(&st, i) & ~1u, meta->getSubType(&st, i), c.scale);
        cols.append(c);
    }
    return cols;
}

bool IsSelect(unsigned type) {
    return type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
}

// Runs one statement; rows (if any) are appended to *rows. Returns the affected row count.
int RunStatement(TSQLConnection* conn, const QString& sql, const QList<QVariant>& values,
                 QVector<TColumnDef>* columns, QVector<QVector<QVariant>>* rows) {
    if (!conn->Connected())
        conn->Open();
    bool own = false;
    ITransaction* tra = conn->StatementTransaction(&own);
    bool ok = false;
    int affected = 0;
    try {
        TStatus st;
        IStatement* stmt = conn->Attachment()->prepare(&st, tra, 0, sql.toLatin1().constData(), 3,
                                                       IStatement::PREPARE_PREFETCH_METADATA);
        TRef<IStatement> stmtRef;
        stmtRef.p = stmt;
        TInputMessage in;
        BuildInput(stmt, values, &in);
        TRef<IMessageMetadata> outMeta;
        outMeta.p = stmt->getOutputMetadata(&st);
        const unsigned outCount = outMeta.p->getCount(&st);
        if (columns)
            *columns = Describe(outMeta.p);
        std::vector<unsigned char> outBuf(outMeta.p->getMessageLength(&st), 0);
        const unsigned stmtType = stmt->getType(&st);
        if (IsSelect(stmtType)) {
            TRef<IResultSet> rs;
            rs.p = stmt->openCursor(&st, tra, in.meta.p, in.buffer.empty() ? nullptr : in.buffer.data(),
                                    outMeta.p, 0);
            while (rs.p->fetchNext(&st, outBuf.data()) == IStatus::RESULT_OK) {
                if (rows) {
                    QVector<QVariant> row;
                    row.reserve(int(outCount));
                    for (unsigned i = 0; i < outCount; ++i)
                        row.append(Decode(outMeta.p, i, outBuf.data(), conn->Attachment(), tra));
                    rows->append(row);
                }
            }
            rs.p->close(&st);
            rs.p = nullptr;
        } else {
            stmt->execute(&st, tra, in.meta.p, in.buffer.empty() ? nullptr : in.buffer.data(),
                          outCount ? outMeta.p : nullptr, outCount ? outBuf.data() : nullptr);
            if (outCount && rows) {
                QVector<QVariant> row;
                for (unsigned i = 0; i < outCount; ++i)
                    row.append(Decode(outMeta.p, i, outBuf.data(), conn->Attachment(), tra));
                rows->append(row);
            }
            affected = int(stmt->getAffectedRecords(&st));
        }
        stmt->free(&st);
        stmtRef.p = nullptr;
        ok = true;
    } catch (const FbException& e) {
        conn->EndStatementTransaction(tra, own, false);
        Raise(e);
    } catch (...) {
        conn->EndStatementTransaction(tra, own, false);
        throw;
    }
    conn->EndStatementTransaction(tra, own, ok);
    return affected;
}

bool SameValue(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}
} // namespace

// ---- Parameters ----------------------------------------------------------------------------

TParsedSQL ParseNamedParams(const QString& sql) {
    TParsedSQL out;
    const int n = int(sql.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"') {
            const int start = i;
            for (++i; i < n; ++i) {
                if (sql[i] == c) {
                    if (i + 1 < n && sql[i + 1] == c) {
                        ++i;
                        continue;
                    }
                    break;
                }
            }
            out.sql += sql.mid(start, i - start + 1);
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            const int end = sql.indexOf(u'\n', i);
            const int stop = end < 0 ? n : end;
            out.sql += sql.mid(i, stop - i);
            i = stop - 1;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const int end = sql.indexOf(QStringLiteral("*/"), i + 2);
            const int stop = end < 0 ? n : end + 2;
            out.sql += sql.mid(i, stop - i);
            i = stop - 1;
        } else if (c == u':' && i + 1 < n && (sql[i + 1].isLetter() || sql[i + 1] == u'_')) {
            int j = i + 1;
            while (j < n && (sql[j].isLetterOrNumber() || sql[j] == u'_' || sql[j] == u'$'))
                ++j;
            out.paramOrder.append(sql.mid(i + 1, j - i - 1));
            out.sql += u'?';
            i = j - 1;
        } else {
            out.sql += c;
        }
    }
    return out;
}

// ---- Connection ----------------------------------------------------------------------------

TSQLConnection::TSQLConnection(QString name) : m_name(std::move(name)) {
    m_user = qEnvironmentVariableIsEmpty("ISC_USER") ? QStringLiteral("sysdba")
                                                     : qEnvironmentVariable("ISC_USER");
    m_password = qEnvironmentVariableIsEmpty("ISC_PASSWORD") ? QStringLiteral("WMTRZE")
                                                             : qEnvironmentVariable("ISC_PASSWORD");
}

TSQLConnection::~TSQLConnection() {
    try {
        Close();
    } catch (...) {
    }
}

bool TSQLConnection::Connected() const { return m_attachment != nullptr; }

QByteArray TSQLConnection::BuildDpb(bool create, int pageSize) const {
    TStatus st;
    IXpbBuilder* dpb = FbMaster()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&st, isc_dpb_user_name, m_user.toLatin1().constData());
    dpb->insertString(&st, isc_dpb_password, m_password.toLatin1().constData());
    dpb->insertInt(&st, isc_dpb_sql_dialect, 3);
    dpb->insertString(&st, isc_dpb_lc_ctype, "NONE");
    if (create)
        dpb->insertInt(&st, isc_dpb_page_size, pageSize);
    const QByteArray out(reinterpret_cast<const char*>(dpb->getBuffer(&st)),
                         int(dpb->getBufferLength(&st)));
    dpb->dispose();
    return out;
}

void TSQLConnection::Open() {
    if (m_attachment)
        return;
    if (m_database.trimmed().isEmpty())
        throw EDatabaseError(m_name + QStringLiteral(": Database parameter not set"));
    FirebirdEnvironment_Prepare();
    try {
        const QByteArray dpb = BuildDpb(false, 0);
        TStatus st;
        TRef<IProvider> prov;
        prov.p = FbMaster()->getDispatcher();
        m_attachment = prov.p->attachDatabase(&st, m_database.toLocal8Bit().constData(),
                                              unsigned(dpb.size()),
                                              reinterpret_cast<const unsigned char*>(dpb.constData()));
    } catch (const FbException& e) {
        m_attachment = nullptr;
        Raise(e, m_database);
    }
}

void TSQLConnection::CreateDatabase(int pageSize) {
    if (m_attachment)
        throw EDatabaseError(m_name + QStringLiteral(": already connected"));
    FirebirdEnvironment_Prepare();
    try {
        const QByteArray dpb = BuildDpb(true, pageSize);
        TStatus st;
        TRef<IProvider> prov;
        prov.p = FbMaster()->getDispatcher();
        m_attachment = prov.p->createDatabase(&st, m_database.toLocal8Bit().constData(),
                                              unsigned(dpb.size()),
                                              reinterpret_cast<const unsigned char*>(dpb.constData()));
    } catch (const FbException& e) {
        m_attachment = nullptr;
        Raise(e, m_database);
    }
}

void TSQLConnection::Close() {
    if (!m_attachment)
        return;
    TStatus st;
    if (m_transaction) {
        try {
            m_transaction->rollback(&st);
        } catch (const FbException&) {
            m_transaction->release();
        }
        m_transaction = nullptr;
    }
    try {
        m_attachment->detach(&st);
    } catch (const FbException&) {
        m_attachment->release();
    }
    m_attachment = nullptr;
}

bool TSQLConnection::InTransaction() const { return m_transaction != nullptr; }

namespace {
ITransaction* StartTra(IAttachment* att, int lockTimeoutSecs) {
    TStatus st;
    IXpbBuilder* tpb = FbMaster()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::TPB, nullptr, 0);
    tpb->insertTag(&st, isc_tpb_read_committed);
    tpb->insertTag(&st, isc_tpb_rec_version);
    tpb->insertTag(&st, isc_tpb_wait);
    tpb->insertTag(&st, isc_tpb_write);
    if (lockTimeoutSecs > 0)
        tpb->insertInt(&st, isc_tpb_lock_timeout, lockTimeoutSecs);
    ITransaction* t = nullptr;
    try {
        t = att->startTransaction(&st, tpb->getBufferLength(&st), tpb->getBuffer(&st));
    } catch (...) {
        tpb->dispose();
        throw;
    }
    tpb->dispose();
    return t;
}
} // namespace

void TSQLConnection::StartTransaction(int transactionNumber, TIsolation) {
    if (m_transaction)
        throw EDatabaseError(m_name + QStringLiteral(" already in transaction"));
    if (!m_attachment)
        Open();
    try {
        m_transaction = StartTra(m_attachment, m_lockTimeoutSecs);
        m_transactionNumber = transactionNumber;
    } catch (const FbException& e) {
        Raise(e);
    }
}

void TSQLConnection::Commit() {
    if (!m_transaction)
        throw EDatabaseError(m_name + QStringLiteral(": no transaction to commit"));
    try {
        TStatus st;
        m_transaction->commit(&st);
        m_transaction = nullptr; // commit frees it; a failed commit keeps it for a retry
    } catch (const FbException& e) {
        Raise(e);
    }
}

void TSQLConnection::Rollback() {
    if (!m_transaction)
        return;
    try {
        TStatus st;
        m_transaction->rollback(&st);
        m_transaction = nullptr;
    } catch (const FbException& e) {
        m_transaction->release();
        m_transaction = nullptr;
        Raise(e);
    }
}

ITransaction* TSQLConnection::StatementTransaction(bool* own) {
    if (m_transaction) {
        *own = false;
        return m_transaction;
    }
    *own = true;
    try {
        return StartTra(m_attachment, m_lockTimeoutSecs);
    } catch (const FbException& e) {
        Raise(e);
    }
}

void TSQLConnection::EndStatementTransaction(ITransaction* tra, bool own, bool success) {
    if (!own || !tra)
        return;
    TStatus st;
    if (success) {
        try {
            tra->commit(&st);
            return;
        } catch (const FbException& e) {
            try {
                tra->rollback(&st);
            } catch (const FbException&) {
                tra->release();
            }
            Raise(e);
        }
    }
    try {
        tra->rollback(&st);
    } catch (const FbException&) {
        tra->release();
    }
}

int TSQLConnection::ExecuteDirect(const QString& sql, const QList<TParam>& params) {
    // Without parameters the text goes as written (procedure bodies use :variables).
    if (params.isEmpty())
        return RunStatement(this, sql, {}, nullptr, nullptr);
    const TParsedSQL parsed = ParseNamedParams(sql);
    QList<QVariant> values;
    for (const QString& name : parsed.paramOrder) {
        QVariant v;
        for (const TParam& p : params) {
            if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
                v = p.value;
                break;
            }
        }
        values.append(v);
    }
    return RunStatement(this, parsed.sql, values, nullptr, nullptr);
}

// ---- Fields --------------------------------------------------------------------------------

QString TField::FieldName() const { return m_owner->Columns()[m_index].name; }
TFieldType TField::DataType() const { return m_owner->Columns()[m_index].type; }
QVariant TField::Value() const { return m_owner->CurrentValue(m_index); }
bool TField::IsNull() const { return Value().isNull(); }

QString TField::AsString() const {
    const QVariant v = Value();
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QByteArray:
        return QString::fromLatin1(v.toByteArray());
    default:
        return v.toString();
    }
}

qint64 TField::AsLargeInt() const {
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Double)
        return qint64(std::llround(v.toDouble()));
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const qint64 x = v.toString().trimmed().toLongLong(&ok);
        return ok ? x : 0;
    }
    return v.toLongLong();
}

int TField::AsInteger() const { return int(AsLargeInt()); }

double TField::AsFloat() const {
    const QVariant v = Value();
    if (v.isNull())
        return 0.0;
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double x = v.toString().trimmed().toDouble(&ok);
        return ok ? x : 0.0;
    }
    return v.toDouble();
}

bool TField::AsBoolean() const {
    const QVariant v = Value();
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::Double)
        return v.toDouble() != 0.0;
    return AsLargeInt() != 0;
}

QDateTime TField::AsDateTime() const {
    const QVariant v = Value();
    if (v.isNull())
        return QDateTime();
    if (v.typeId() == QMetaType::QTime)
        return QDateTime(QDate(1899, 12, 30), v.toTime());
    return v.toDateTime();
}

void TField::SetValue(const QVariant& v) { m_owner->SetCurrentValue(m_index, v); }

// ---- Query ---------------------------------------------------------------------------------

struct TSQLQuery::Impl {
    TParsedSQL parsed;
};

TSQLQuery::TSQLQuery(QString name, TSQLConnection* connection, QString sql)
    : d(std::make_unique<Impl>()), m_name(std::move(name)), m_connection(connection) {
    SetSQL(sql);
}

TSQLQuery::~TSQLQuery() = default;

void TSQLQuery::SetSQL(const QString& sql) {
    Close();
    m_sql = sql;
    d->parsed = ParseNamedParams(sql);
    QList<TParam> params;
    for (const QString& n : d->parsed.paramOrder) {
        bool seen = false;
        for (const TParam& p : params)
            seen = seen || p.name.compare(n, Qt::CaseInsensitive) == 0;
        if (!seen) {
            QVariant kept;
            for (const TParam& p : m_params) {
                if (p.name.compare(n, Qt::CaseInsensitive) == 0)
                    kept = p.value;
            }
            params.append({n, kept});
        }
    }
    m_params = params;
}

void TSQLQuery::SetUpdateTable(const QString& table, const QStringList& keyFields) {
    m_updateTable = table;
    m_keyFields = keyFields;
}

bool TSQLQuery::SetParam(const QString& name, const QVariant& value) {
    for (TParam& p : m_params) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            p.value = value;
            return true;
        }
    }
    return false;
}

QVariant TSQLQuery::ParamValue(const QString& name) const {
    for (const TParam& p : m_params) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return p.value;
    }
    return QVariant();
}

QStringList TSQLQuery::ParamNames() const {
    QStringList out;
    for (const TParam& p : m_params)
        out.append(p.name);
    return out;
}

void TSQLQuery::EnsurePrepared() {
    if (!m_connection)
        throw EDatabaseError(m_name + QStringLiteral(": no connection"));
}

void TSQLQuery::Open() {
    if (Active())
        return;
    EnsurePrepared();
    QList<QVariant> values;
    for (const QString& n : d->parsed.paramOrder)
        values.append(ParamValue(n));
    QVector<TColumnDef> cols;
    QVector<QVector<QVariant>> rows;
    RunStatement(m_connection, d->parsed.sql, values, &cols, &rows);
    m_columns = cols;
    m_rows = rows;
    m_fields.clear();
    for (int i = 0; i < m_columns.size(); ++i)
        m_fields.push_back(std::make_unique<TField>(this, i));
    m_recNo = 0;
    m_state = TDataSetState::Browse;
}

int TSQLQuery::ExecSQL() {
    Close();
    EnsurePrepared();
    QList<QVariant> values;
    for (const QString& n : d->parsed.paramOrder)
        values.append(ParamValue(n));
    QVector<TColumnDef> cols;
    QVector<QVector<QVariant>> rows;
    const int affected = RunStatement(m_connection, d->parsed.sql, values, &cols, &rows);
    if (!cols.isEmpty()) {
        m_columns = cols;
        m_rows = rows;
        m_fields.clear();
        for (int i = 0; i < m_columns.size(); ++i)
            m_fields.push_back(std::make_unique<TField>(this, i));
        m_recNo = 0;
        m_state = TDataSetState::Browse;
    }
    return affected;
}

void TSQLQuery::Close() {
    m_rows.clear();
    m_buffer.clear();
    m_modified.clear();
    m_recNo = 0;
    m_state = TDataSetState::Inactive;
}

void TSQLQuery::First() { m_recNo = 0; }
void TSQLQuery::Next() {
    if (m_recNo < m_rows.size())
        ++m_recNo;
}
void TSQLQuery::SetRecNo(int recNo) { m_recNo = std::clamp(recNo, 0, int(m_rows.size())); }

bool TSQLQuery::Locate(const QString& field, const QVariant& value, bool caseInsensitive) {
    const TField* f = FindField(field);
    if (!f)
        return false;
    for (int r = 0; r < m_rows.size(); ++r) {
        const QVariant& v = m_rows[r][f->Index()];
        bool eq;
        if (value.typeId() == QMetaType::QString && !v.isNull())
            eq = v.toString().compare(value.toString(), caseInsensitive ? Qt::CaseInsensitive
                                                                         : Qt::CaseSensitive) == 0;
        else
            eq = SameValue(v, value) || (!v.isNull() && !value.isNull() && v.toString() == value.toString());
        if (eq) {
            m_recNo = r;
            return true;
        }
    }
    return false;
}

TField* TSQLQuery::FindField(const QString& name) {
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return m_fields[size_t(i)].get();
    }
    return nullptr;
}

TField* TSQLQuery::FieldByName(const QString& name) {
    TField* f = FindField(name);
    if (!f)
        throw EDatabaseError(m_name + QStringLiteral(": Field '") + name +
                             QStringLiteral("' not found"));
    return f;
}

TField* TSQLQuery::Field(int index) {
    if (index < 0 || index >= int(m_fields.size()))
        throw EDatabaseError(m_name + QStringLiteral(": Field index out of range"));
    return m_fields[size_t(index)].get();
}

QVariant TSQLQuery::CurrentValue(int index) const {
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        return m_buffer.value(index);
    if (m_recNo < 0 || m_recNo >= m_rows.size())
        return QVariant();
    return m_rows[m_recNo].value(index);
}

void TSQLQuery::SetCurrentValue(int index, const QVariant& v) {
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        throw EDatabaseError(m_name + QStringLiteral(": Dataset not in edit or insert mode"));
    if (index < 0 || index >= m_buffer.size())
        return;
    m_buffer[index] = v;
    m_modified[index] = true;
}

void TSQLQuery::RequireEditable() const {
    if (m_state == TDataSetState::Inactive)
        throw EDatabaseError(m_name + QStringLiteral(": Cannot perform this operation on a closed dataset"));
    if (m_updateTable.isEmpty())
        throw EDatabaseError(m_name + QStringLiteral(": Cannot modify a read-only dataset"));
}

void TSQLQuery::RequireRow() const {
    if (m_recNo < 0 || m_recNo >= m_rows.size())
        throw EDatabaseError(m_name + QStringLiteral(": Cannot perform this operation on an empty dataset"));
}

void TSQLQuery::Edit() {
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        return;
    RequireEditable();
    RequireRow();
    m_buffer = m_rows[m_recNo];
    m_modified = QVector<bool>(m_columns.size(), false);
    m_state = TDataSetState::Edit;
}

void TSQLQuery::Append() {
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        Cancel();
    RequireEditable();
    m_buffer = QVector<QVariant>(m_columns.size());
    m_modified = QVector<bool>(m_columns.size(), false);
    m_state = TDataSetState::Insert;
}

void TSQLQuery::Cancel() {
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        m_state = TDataSetState::Browse;
    m_buffer.clear();
    m_modified.clear();
}

QString TSQLQuery::KeyWhere(QList<QVariant>* values, const QVector<QVariant>& row) const {
    QStringList parts;
    for (const QString& k : m_keyFields) {
        int idx = -1;
        for (int i = 0; i < m_columns.size(); ++i) {
            if (m_columns[i].name.compare(k, Qt::CaseInsensitive) == 0)
                idx = i;
        }
        if (idx < 0)
            throw EDatabaseError(m_name + QStringLiteral(": key field ") + k +
                                 QStringLiteral(" not in the row set"));
        if (row[idx].isNull()) {
            parts.append(m_columns[idx].column + QStringLiteral(" IS NULL"));
        } else {
            parts.append(m_columns[idx].column + QStringLiteral(" = ?"));
            values->append(row[idx]);
        }
    }
    if (parts.isEmpty())
        throw EDatabaseError(m_name + QStringLiteral(": no key fields"));
    return parts.join(QStringLiteral(" AND "));
}

void TSQLQuery::Post() {
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        throw EDatabaseError(m_name + QStringLiteral(": Dataset not in edit or insert mode"));
    QList<QVariant> values;
    QString sql;
    auto writable = [&](int i) {
        return m_columns[i].relation.compare(m_updateTable, Qt::CaseInsensitive) == 0 &&
               !m_columns[i].column.isEmpty();
    };
    if (m_state == TDataSetState::Edit) {
        QStringList sets;
        for (int i = 0; i < m_columns.size(); ++i) {
            if (m_modified[i] && writable(i) && !SameValue(m_buffer[i], m_rows[m_recNo][i])) {
                sets.append(m_columns[i].column + QStringLiteral(" = ?"));
                values.append(m_buffer[i]);
            }
        }
        if (!sets.isEmpty()) {
            sql = QStringLiteral("UPDATE ") + m_updateTable + QStringLiteral(" SET ") +
                  sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") +
                  KeyWhere(&values, m_rows[m_recNo]);
            if (RunStatement(m_connection, sql, values, nullptr, nullptr) == 0)
                throw EDatabaseError(m_name +
                                     QStringLiteral(": Record not found or changed by another user"));
        }
        m_rows[m_recNo] = m_buffer;
    } else {
        QStringList cols, marks;
        for (int i = 0; i < m_columns.size(); ++i) {
            if (m_modified[i] && writable(i)) {
                cols.append(m_columns[i].column);
                marks.append(QStringLiteral("?"));
                values.append(m_buffer[i]);
            }
        }
        if (cols.isEmpty())
            throw EDatabaseError(m_name + QStringLiteral(": nothing to insert"));
        sql = QStringLiteral("INSERT INTO ") + m_updateTable + QStringLiteral(" (") +
              cols.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
              marks.join(QStringLiteral(", ")) + u')';
        RunStatement(m_connection, sql, values, nullptr, nullptr);
        m_rows.append(m_buffer);
        m_recNo = int(m_rows.size()) - 1;
    }
    m_state = TDataSetState::Browse;
    m_buffer.clear();
    m_modified.clear();
}

void TSQLQuery::Delete() {
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        Cancel();
    RequireEditable();
    RequireRow();
    QList<QVariant> values;
    const QString sql = QStringLiteral("DELETE FROM ") + m_updateTable + QStringLiteral(" WHERE ") +
                        KeyWhere(&values, m_rows[m_recNo]);
    if (RunStatement(m_connection, sql, values, nullptr, nullptr) == 0)
        throw EDatabaseError(m_name + QStringLiteral(": Record not found or changed by another user"));
    m_rows.removeAt(m_recNo);
    if (m_recNo > m_rows.size())
        m_recNo = int(m_rows.size());
}
