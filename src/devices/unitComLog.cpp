#include "unitComLog.h"

#include "unitSharedSettings.h"

#include <QDateTime>
#include <QFile>
#include <atomic>
#include <mutex>

namespace {
std::atomic<bool> g_comLog{false};
// Every connection's port writes the same file.
std::mutex g_comLogMutex;
} // namespace

void SetComLogEnabled(bool on) {
    g_comLog = on;
}
bool ComLogEnabled() {
    return g_comLog.load();
}

QString ComLogFileName() {
    return g_strAppPath() + QStringLiteral("PellCom.Log");
}

QString ComLogLine(const QString& device, TComLogDirection direction, const QByteArray& bytes) {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) +
           QLatin1Char(' ') + device + QLatin1Char(' ') +
           (direction == TComLogDirection::Out ? QStringLiteral("Out") : QStringLiteral("In")) +
           QLatin1Char(' ') + QString::fromLatin1(bytes.toHex(' ').toUpper());
}

void ComLogWrite(const QString& device, TComLogDirection direction, const QByteArray& bytes) {
    const QByteArray line = ComLogLine(device, direction, bytes).toLocal8Bit() + "\r\n";
    const std::lock_guard lock(g_comLogMutex);
    QFile file(ComLogFileName());
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(line);
}
