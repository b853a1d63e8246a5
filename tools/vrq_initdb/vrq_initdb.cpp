// Creates a site: halvexdatav2.GDB, halvexlogv2.GDB and NetworkInfo.INI in one folder, with every
// table, the schema versions and the rows a first start needs. Refuses to touch existing files.
#include "FbConnection.h"
#include "IniFile.h"
#include "dbSchema.h"
#include "unitRFIDKeys.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <pwd.h>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Creates the databases of a Halvex site."));
    p.addHelpOption();
    const QCommandLineOption site({QStringLiteral("site")}, QStringLiteral("site folder"), QStringLiteral("dir"));
    const QCommandLineOption port({QStringLiteral("port")}, QStringLiteral("listening port"), QStringLiteral("n"),
                                  QStringLiteral("6669"));
    const QCommandLineOption propNum({QStringLiteral("property-number")}, QStringLiteral("property number"),
                                     QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption propName({QStringLiteral("property-name")}, QStringLiteral("property name"),
                                      QStringLiteral("text"), QStringLiteral("Demo Property"));
    const QCommandLineOption admin({QStringLiteral("admin")}, QStringLiteral("administrator"),
                                   QStringLiteral("USERID:PASSWORD"));
    const QCommandLineOption server({QStringLiteral("server")}, QStringLiteral("Firebird server host"),
                                    QStringLiteral("host"));
    for (const auto* o : {&site, &port, &propNum, &propName, &admin, &server})
        p.addOption(*o);
    p.process(app);
    if (!p.isSet(site)) {
        std::fprintf(stderr, "vrq_initdb: --site DIR is required\n");
        return 2;
    }
    const QString dir = QFileInfo(p.value(site)).absoluteFilePath();
    const QString data = dir + QStringLiteral("/halvexdatav2.GDB");
    const QString log = dir + QStringLiteral("/halvexlogv2.GDB");
    const QString info = dir + QStringLiteral("/NetworkInfo.INI");
    for (const QString& f : {data, log, info}) {
        if (QFileInfo::exists(f)) {
            std::fprintf(stderr, "vrq_initdb: %s already exists; nothing was changed\n", qPrintable(f));
            return 1;
        }
    }
    TSiteOptions o;
    bool ok = false;
    o.lngVRQPort = p.value(port).toInt(&ok);
    if (!ok || o.lngVRQPort <= 0 || o.lngVRQPort > 65535) {
        std::fprintf(stderr, "vrq_initdb: bad --port\n");
        return 2;
    }
    o.lngPropNum = p.value(propNum).toInt();
    o.strPropName = p.value(propName);
    if (p.isSet(admin)) {
        const QString a = p.value(admin);
        const int colon = a.indexOf(u':');
        if (colon <= 0) {
            std::fprintf(stderr, "vrq_initdb: --admin takes USERID:PASSWORD\n");
            return 2;
        }
        o.adminUserID = a.left(colon);
        o.adminPassword = a.mid(colon + 1);
    }
    FirebirdEnvironment_Prepare(QCoreApplication::applicationDirPath());
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "vrq_initdb: cannot create %s\n", qPrintable(dir));
        return 1;
    }
    const QString prefix = p.isSet(server) ? p.value(server) + u':' : QString();
    // The database server writes the files itself: as root, hand the folder to its user.
    if (!prefix.isEmpty() && ::geteuid() == 0) {
        if (const passwd* fb = ::getpwnam("firebird"))
            if (::chown(QFile::encodeName(dir).constData(), fb->pw_uid, fb->pw_gid) != 0)
                std::fprintf(stderr, "vrq_initdb: cannot hand %s to the firebird user\n", qPrintable(dir));
    }
    try {
        TFbConnection main;
        main.SetDatabase(prefix + data);
        main.Create();
        CreateMainSchema(main);
        SeedMainDatabase(main, o);
        main.Close();
        TFbConnection logDb;
        logDb.SetDatabase(prefix + log);
        logDb.Create();
        CreateLogSchema(logDb);
        SeedLogDatabase(logDb);
        logDb.Close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vrq_initdb: %s\n", e.what());
        // A half-made site would be refused next time; take away what this run created.
        if (prefix.isEmpty()) {
            QFile::remove(data);
            QFile::remove(log);
        }
        return 1;
    }
    TIniFile ini(info);
    if (!ini.WriteString(QStringLiteral("PathInfo"), QStringLiteral("PhysicalPath"), dir)) {
        std::fprintf(stderr, "vrq_initdb: cannot write %s\n", qPrintable(info));
        return 1;
    }
    QString keyError;
    if (!RFIDKeys_Create_b(dir, &keyError)) {
        std::fprintf(stderr, "vrq_initdb: %s\n", qPrintable(keyError));
        return 1;
    }
    std::printf("vrq_initdb: site created in %s (port %d)\n", qPrintable(dir), o.lngVRQPort);
    return 0;
}
