#include "unitSharedSettings.h"

#include "DateTime.h"
#include "Errors.h"
#include "NamedMutex.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QThread>
#include <atomic>

namespace {
QMutex g_pathMutex;
QString g_appPath;
std::atomic<TDebugLogSink> g_sink{nullptr};

const QString kProcessStarted = QStringLiteral("Process_Started");
const QString kWindowHandles = QStringLiteral("WindowHandles");
} // namespace

void SetDebugLogSink(TDebugLogSink sink) { g_sink = sink; }

void PlatformDebugLog(const QString& message) {
    if (const TDebugLogSink s = g_sink.load())
        s(message);
}

QString g_strAppPath() {
    const QMutexLocker lock(&g_pathMutex);
    return g_appPath;
}

void SetAppPath(const QString& folder) {
    QString f = QDir::fromNativeSeparators(folder);
    if (!f.isEmpty() && !f.endsWith(u'/'))
        f += u'/';
    const QMutexLocker lock(&g_pathMutex);
    g_appPath = f;
}

void InitAppPath(const QString& programFile) {
    const QString env = qEnvironmentVariable("HALVEX_WORK_FOLDER");
    if (!env.isEmpty()) {
        QDir().mkpath(env);
        SetAppPath(QFileInfo(env).absoluteFilePath());
    } else {
        SetAppPath(QFileInfo(programFile).absolutePath());
    }
}

QString HalvexIniPath() {
    const QString p = g_strAppPath();
    return p.isEmpty() ? QString() : p + QLatin1String(INI_FILE_NAME);
}

TIniFile HalvexIni() { return TIniFile(HalvexIniPath()); }

QString ProcessStarted_Set_str(const QString& identity, bool bClear, const QString& text) {
    QString failure;
    int attempt = 0;
    for (attempt = 1; attempt <= 3; ++attempt) {
        if (attempt > 1)
            QThread::msleep(1000);
        try {
            if (g_strAppPath().isEmpty()) {
                failure = QStringLiteral("Unknown: g_strAppPath not set.");
                continue;
            }
            TIniFile ini = HalvexIni();
            QString value;
            if (!bClear) {
                value = text.trimmed();
                if (value.isEmpty())
                    value = FormatDateTime(QStringLiteral("yyyy/mm/dd hh:nn:ss"), TDateTime::Now());
            }
            if (!ini.WriteString(kProcessStarted, identity, value)) {
                failure = QStringLiteral("Write Unknown: ") + ini.LastError();
                continue;
            }
            bool found = false;
            const QString back = ini.ReadString(kProcessStarted, identity, QString());
            found = ini.KeyExists(kProcessStarted, identity);
            if (!found) {
                failure = QStringLiteral("Read Unknown: key missing after write");
                continue;
            }
            if (bClear == back.isEmpty())
                return QStringLiteral("(%1) Success: ").arg(attempt);
            failure = QStringLiteral("Failure: ");
        } catch (const std::exception& e) {
            failure = QStringLiteral("Unknown: ") + ExceptionText(e);
        }
    }
    return QStringLiteral("(%1) ").arg(attempt - 1) + failure;
}

bool ProcessStarted_Cleared_b(const QString& identity) {
    return HalvexIni().ReadString(kProcessStarted, identity, QString()).isEmpty();
}

QString ProcessStarted_Get_str(const QString& identity) {
    return HalvexIni().ReadString(kProcessStarted, identity, QString());
}

QString WindowsHandle_INIFile_Store_str(const QString& identity, qint64 handle) {
    if (g_strAppPath().isEmpty())
        return QStringLiteral("WindowsHandle_INIFile: g_strAppPath not set.");
    TIniFile ini = HalvexIni();
    if (!ini.WriteString(kWindowHandles, identity, QString::number(handle)))
        return ini.LastError();
    return {};
}

qint64 WindowsHandle_INIFile_Load(const QString& identity, QString* error) {
    if (g_strAppPath().isEmpty()) {
        if (error)
            *error = QStringLiteral("WindowsHandle_INIFile: g_strAppPath not set.");
        return 0;
    }
    bool ok = false;
    const qint64 h = HalvexIni().ReadString(kWindowHandles, identity, QStringLiteral("0")).toLongLong(&ok);
    return ok ? h : 0;
}

TMutexCreateResult Mutex_CreateAndRecord(const QString& identity, const QString& mutexName,
                                         bool /*initialOwner: a lock file is always owned*/) {
    TMutexCreateResult r;
    QStringList errors;
    auto m = std::make_unique<TNamedMutex>(mutexName);
    r.lastError = m->LastError();
    if (m->IsValid())
        r.handle = std::move(m);
    else
        errors << QStringLiteral("Mutex create failed: error %1").arg(r.lastError);
    if (g_strAppPath().isEmpty()) {
        errors << QStringLiteral("Mutex_INIFile: g_strAppPath not set.");
    } else {
        TIniFile ini = HalvexIni();
        if (!ini.WriteString(QStringLiteral("Mutexes"), identity, mutexName))
            errors << ini.LastError();
    }
    r.errorText = errors.join(QStringLiteral("\r\n"));
    return r;
}

bool GUIStopService_b() {
    try {
        if (g_strAppPath().isEmpty())
            throw EUlmex(QStringLiteral("GUIStopService: g_strAppPath not set."));
        const QString v =
            HalvexIni().ReadString(QStringLiteral("Misc"), QStringLiteral("GUIStopService"),
                                   QStringLiteral("True"));
        const QString u = v.toUpper();
        return u == QStringLiteral("TRUE") || u == QStringLiteral("YES");
    } catch (const std::exception& e) {
        PlatformDebugLog(QStringLiteral("GUIStopService: ") + ExceptionText(e));
        return true;
    }
}

int INIReadInteger_int(const QString& section, const QString& key, int def, bool writeBack) {
    if (g_strAppPath().isEmpty())
        return def;
    TIniFile ini = HalvexIni();
    const int v = ini.ReadInteger(section, key, def);
    if (writeBack && v == def)
        ini.WriteInteger(section, key, def);
    return v;
}

QString INIReadString_str(const QString& section, const QString& key, const QString& def,
                          bool writeBack) {
    if (g_strAppPath().isEmpty())
        return def;
    TIniFile ini = HalvexIni();
    const QString v = ini.ReadString(section, key, def);
    if (writeBack && v == def)
        ini.WriteString(section, key, def);
    return v;
}

bool INIWriteString_b(const QString& section, const QString& key, const QString& value) {
    if (g_strAppPath().isEmpty())
        return false;
    TIniFile ini = HalvexIni();
    return ini.WriteString(section, key, value);
}
