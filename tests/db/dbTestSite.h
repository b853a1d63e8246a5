#pragma once
// A site made once per test program (vrq_initdb's schema and seed rows) and copied into each
// test's own temporary folder, plus a recorder for the message boxes shown meanwhile.

#include "FbConnection.h"
#include "IniFile.h"
#include "UlmexMsgBox.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void EnsureFirebirdEnvironment() {
    static const bool done = [] {
        FirebirdEnvironment_Prepare(qEnvironmentVariable("VRQ_BIN_DIR"));
        return true;
    }();
    (void)done;
}

inline QString InitDbProgram() {
    return qEnvironmentVariable("VRQ_BIN_DIR") + QStringLiteral("/vrq_initdb");
}

// Runs vrq_initdb; returns its exit code (-1 when it did not finish within 60 s).
inline int RunInitDb(const QStringList& args, QString* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(InitDbProgram(), args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        return -1;
    }
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The template site, created on first use with port 7123.
inline QString TemplateSiteFolder() {
    static QTemporaryDir dir;
    static const bool made = [] {
        EnsureFirebirdEnvironment();
        QString out;
        const int rc = RunInitDb({QStringLiteral("--site"), dir.path() + QStringLiteral("/site"),
                                  QStringLiteral("--port"), QStringLiteral("7123"),
                                  QStringLiteral("--admin"), QStringLiteral("ADMIN:SECRET")},
                                 &out);
        if (rc != 0)
            ADD_FAILURE() << "vrq_initdb failed: " << out.toStdString();
        return rc == 0;
    }();
    return made ? dir.path() + QStringLiteral("/site") : QString();
}

// Copies the template site's three files into folder (created when missing).
inline bool CopySiteTo(const QString& folder) {
    const QString from = TemplateSiteFolder();
    if (from.isEmpty() || !QDir().mkpath(folder))
        return false;
    for (const char* f : {"halvexdatav2.GDB", "halvexlogv2.GDB", "NetworkInfo.INI"}) {
        if (!QFile::copy(from + u'/' + QLatin1String(f), folder + u'/' + QLatin1String(f)))
            return false;
        QFile::setPermissions(folder + u'/' + QLatin1String(f),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                  QFile::WriteGroup);
    }
    // The copy is its own site: its NetworkInfo.INI names its own folder.
    return TIniFile(folder + QStringLiteral("/NetworkInfo.INI"))
        .WriteString(QStringLiteral("PathInfo"), QStringLiteral("PhysicalPath"),
                     QDir(folder).absolutePath());
}

// Records every message box and answers as nobody did (-2).
class TBoxRecorder {
public:
    TBoxRecorder() {
        g_UlmexMsgBox_Override.context = this;
        g_UlmexMsgBox_Override.fn = [](const QString& title, const QString& centred,
                                       const QString& left, bool, int, TUlmexIconType,
                                       TUlmexDefaultButtonType, TUlmexButtonsType, void* context) {
            static_cast<TBoxRecorder*>(context)->texts.append(title + u'|' + centred + u'|' + left);
            return -2;
        };
    }
    ~TBoxRecorder() { g_UlmexMsgBox_Override = {}; }
    TBoxRecorder(const TBoxRecorder&) = delete;
    TBoxRecorder& operator=(const TBoxRecorder&) = delete;

    bool Contains(const QString& part) const {
        for (const QString& t : texts)
            if (t.contains(part))
                return true;
        return false;
    }
    QString All() const { return texts.join(QStringLiteral("\n")); }

    QStringList texts;
};

// The server runs as its own user: it has to reach folders made by the tests.
inline void OpenToServer(const QString& folder) {
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
}

inline std::string S(const QString& s) {
    return s.toStdString();
}

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE
