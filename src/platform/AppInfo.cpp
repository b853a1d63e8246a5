#include "AppInfo.h"

#include "Errors.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

TAppInfo OwnAppInfo() {
    TAppInfo i;
    i.FileVersion = QStringLiteral(VRQ_VERSION);
    i.FileDescription = QStringLiteral("Halvex Vorqen card request server");
    i.InternalName = QStringLiteral("Halvex_VRQ");
    i.ProductName = QStringLiteral("Halvex Vorqen");
    i.Comments = QStringLiteral("Encodes and reads key cards for the stations of a hotel lock system");
    i.LegalCopyright = QStringLiteral("Copyright (C) 2026 Vorqen");
    i.ProductVersion = QStringLiteral(VRQ_VERSION);
    return i;
}

QString AppInfoText(const TAppInfo& i) {
    QString s;
    s += QStringLiteral("FileVersion=") + i.FileVersion + u'\n';
    s += QStringLiteral("FileDescription=") + i.FileDescription + u'\n';
    s += QStringLiteral("InternalName=") + i.InternalName + u'\n';
    s += QStringLiteral("ProductName=") + i.ProductName + u'\n';
    s += QStringLiteral("Comments=") + i.Comments + u'\n';
    s += QStringLiteral("LegalCopyright=") + i.LegalCopyright + u'\n';
    s += QStringLiteral("ProductVersion=") + i.ProductVersion + u'\n';
    return s;
}

void AppInfo(const QString& programFile, TAppInfo& info) {
    const QFileInfo target(programFile);
    const QString self = QCoreApplication::instance() ? QCoreApplication::applicationFilePath()
                                                      : QString();
    if (programFile.isEmpty() || (!self.isEmpty() && QFileInfo(self) == target)) {
        info = OwnAppInfo();
        return;
    }
    if (!target.exists())
        throw EUlmex(QStringLiteral("AppInfo\r\n") + programFile + QStringLiteral(" not found"));
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(programFile, {QStringLiteral("--app-info")});
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        throw EUlmex(QStringLiteral("AppInfo\r\n") + programFile +
                     QStringLiteral(" gave no program information"));
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw EUlmex(QStringLiteral("AppInfo\r\n") + programFile +
                     QStringLiteral(" could not report its program information"));
    TAppInfo r;
    const QString out = QString::fromUtf8(p.readAllStandardOutput().left(64 * 1024));
    for (const QString& line : out.split(u'\n')) {
        const int eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString k = line.left(eq).trimmed();
        const QString v = line.mid(eq + 1).trimmed();
        if (k == QStringLiteral("FileVersion"))
            r.FileVersion = v;
        else if (k == QStringLiteral("FileDescription"))
            r.FileDescription = v;
        else if (k == QStringLiteral("InternalName"))
            r.InternalName = v;
        else if (k == QStringLiteral("ProductName"))
            r.ProductName = v;
        else if (k == QStringLiteral("Comments"))
            r.Comments = v;
        else if (k == QStringLiteral("LegalCopyright"))
            r.LegalCopyright = v;
        else if (k == QStringLiteral("ProductVersion"))
            r.ProductVersion = v;
    }
    info = r;
}
