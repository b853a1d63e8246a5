#include "unitTrace.h"

#include "AppInfo.h"
#include "DateTime.h"
#include "Errors.h"
#include "unitSharedSettings.h"
#include "unitUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <atomic>

namespace {

struct TraceSettings {
    QString baseName = QStringLiteral("Halvex_VRQ");
    QString programFile;
    QString runTag = QStringLiteral("App");
    QString folder; // with trailing "/"
    bool switchOn = false;
};

QMutex g_settingsMutex;
TraceSettings g_settings;
QMutex g_traceLock;
std::atomic<int> g_indent{0};

TraceSettings settings() {
    const QMutexLocker lock(&g_settingsMutex);
    return g_settings;
}

QString yyyymm() { return FormatDateTime(QStringLiteral("yyyymm"), TDateTime::Now()); }

QString stamp() { return FormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn:ss.zzz"), TDateTime::Now()); }

bool appendLine(const QString& fileName, const QString& line) {
    if (fileName.isEmpty())
        return false;
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = line.toLocal8Bit() + "\r\n";
    const bool ok = f.write(bytes) == bytes.size() && f.flush();
    f.close();
    return ok;
}

void debugLogSink(const QString& message) { DebugLog(message); }

QString res(const char* text) { return QCoreApplication::translate("Resource", text); }

} // namespace

void TraceInit(const QString& programFile, const QStringList& args) {
    TraceSettings s;
    const QFileInfo fi(programFile);
    s.programFile = programFile;
    s.baseName = fi.completeBaseName().isEmpty() ? fi.fileName() : fi.completeBaseName();
    s.runTag = s.baseName.right(3).toUpper() == QStringLiteral("SVC") ? QStringLiteral("Svc")
                                                                      : QStringLiteral("App");
    QString folder = g_strAppPath();
    if (folder.isEmpty())
        folder = fi.absolutePath() + u'/';
    // A library loaded by another program traces beside its caller.
    const QString ext = fi.suffix();
    if (!ext.isEmpty() && ext.compare(QStringLiteral("EXE"), Qt::CaseInsensitive) != 0) {
        for (const QString& a : args) {
            if (a.startsWith(QStringLiteral("/CALLER_ULMEX="), Qt::CaseInsensitive)) {
                QString caller = QDir::fromNativeSeparators(a.mid(14));
                caller = caller.left(caller.lastIndexOf(u'/') + 1);
                if (!caller.isEmpty())
                    folder = caller;
            }
        }
    }
    const QString iniFolder = folder;
    if (QDir(folder + QStringLiteral("Trace")).exists())
        folder += QStringLiteral("Trace/");
    s.folder = folder;

    TIniFile ini(iniFolder + QLatin1String(INI_FILE_NAME));
    const QString value = ini.ReadString(QStringLiteral("Trace"), s.baseName, QStringLiteral("False"));
    if (value == QStringLiteral("False"))
        ini.WriteString(QStringLiteral("Trace"), s.baseName, value);
    s.switchOn = StrToBool_b(value);
    {
        const QMutexLocker lock(&g_settingsMutex);
        g_settings = s;
    }
    SetDebugLogSink(&debugLogSink);
}

QString TraceFileName() {
    const TraceSettings s = settings();
    if (s.folder.isEmpty())
        return {};
    if (s.folder.endsWith(QStringLiteral("Trace/")))
        return s.folder + s.baseName + QStringLiteral("_Trace_") + yyyymm() + QStringLiteral(".txt");
    return s.folder + s.baseName + QStringLiteral("_Trace_") + s.runTag + u'_' + yyyymm() +
           QStringLiteral(".txt");
}

QString DebugMessageFileName() {
    QString folder = qEnvironmentVariable("HALVEX_DEBUG_FOLDER");
    if (folder.isEmpty())
        folder = g_strAppPath();
    if (folder.isEmpty())
        return {};
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder + QStringLiteral("DebugLogMessage_") + yyyymm() + QStringLiteral(".txt");
}

QString TraceRunTag() { return settings().runTag; }
bool TraceSwitchOn() { return settings().switchOn; }
int TraceIndent() { return g_indent.load(); }
void TraceResetIndent() { g_indent = 0; }

void TraceLine(const QString& message) {
    const TraceSettings s = settings();
    if (!s.switchOn)
        return;
    const int indent = g_indent.load();
    const QString prefix = stamp() + u' ' + s.runTag + u' ';
    QString body = message;
    body.replace(QStringLiteral("\r\n"),
                 QStringLiteral("\r\n") + QString(prefix.size() + indent, u' '));
    const QString line = prefix + QString(indent, u' ') + body;
    const QString file = TraceFileName();
    const QMutexLocker lock(&g_traceLock);
    for (int attempt = 0; attempt < 3; ++attempt)
        if (appendLine(file, line))
            return;
}

void DebugLogMessage(const QString& tag, const QString& message) {
    appendLine(DebugMessageFileName(), stamp() + u' ' + tag + u' ' + message);
}

void DebugLog(const QString& message) {
    TraceLine(message);
    DebugLogMessage(QStringLiteral("0"), message);
}

void DebugLogStart(const QString& name) {
    DebugLog(name + QStringLiteral(" : Start"));
    g_indent += 3;
}

void DebugLogEnd(const QString& name) {
    int cur = g_indent.load();
    while (!g_indent.compare_exchange_weak(cur, cur >= 3 ? cur - 3 : 0)) {
    }
    DebugLog(name + QStringLiteral(" : End"));
}

QString DebugLogStartEnd(const QString& text) {
    const int start = text.indexOf(QStringLiteral("START "), 0, Qt::CaseInsensitive);
    if (start >= 0) {
        const QString name = QString(text).remove(start, 6).trimmed();
        DebugLogStart(name);
        return name + QStringLiteral(" : Start");
    }
    const int end = text.indexOf(QStringLiteral("END "), 0, Qt::CaseInsensitive);
    if (end >= 0) {
        const QString name = QString(text).remove(end, 4).trimmed();
        DebugLogEnd(name);
        return name + QStringLiteral(" : End");
    }
    DebugLog(text);
    return text;
}

void ProgramBanner() {
    QString line;
    try {
        TAppInfo info;
        AppInfo(settings().programFile, info);
        const QString version = VersionText_str(info.FileVersion, true);
        const QString description = info.FileDescription.trimmed().isEmpty()
                                        ? QStringLiteral("Program description blank")
                                        : info.FileDescription;
        const QString versionPart =
            version.trimmed().isEmpty() ? QStringLiteral("v??.?? b? ") : version + u' ';
        line = QStringLiteral("*** ") + versionPart + description + QStringLiteral(" *** ");
    } catch (const std::exception&) {
        line = QStringLiteral("*** ") + res("Unable to retrieve program properties") +
               QStringLiteral(" *** ");
    }
    DebugLog(QString());
    DebugLog(line);
    DebugLog(QString());
}
