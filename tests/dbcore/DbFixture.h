#pragma once
// A site made by vrq_initdb in a temporary folder (embedded), or on the test Firebird server.

#include "FbConnection.h"

#include <QCoreApplication>

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

inline QString BinDir() { return qEnvironmentVariable("VRQ_BIN_DIR"); }

// Creates a site in dir (through server when given); returns the error output, empty on success.
inline QString CreateSite(const QString& dir, int port = 6669, const QString& server = {}) {
    QStringList args = {QStringLiteral("--site"), dir, QStringLiteral("--port"), QString::number(port)};
    if (!server.isEmpty())
        args << QStringLiteral("--server") << server;
    QProcess p;
    p.start(BinDir() + QStringLiteral("/vrq_initdb"), args);
    if (!p.waitForFinished(120000))
        return QStringLiteral("vrq_initdb did not finish");
    return p.exitCode() == 0 ? QString() : QString::fromLocal8Bit(p.readAllStandardError()) + QStringLiteral(" ");
}

class TEmbeddedSite {
public:
    TEmbeddedSite() {
        FirebirdEnvironment_Prepare(BinDir());
        error = CreateSite(Path());
    }
    QString Path() const { return dir.filePath(QStringLiteral("site")); }
    QString MainDb() const { return Path() + QStringLiteral("/halvexdatav2.GDB"); }
    QString LogDb() const { return Path() + QStringLiteral("/halvexlogv2.GDB"); }
    QTemporaryDir dir;
    QString error;
};
