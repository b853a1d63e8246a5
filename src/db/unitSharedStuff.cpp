#include "unitSharedStuff.h"

#include "IniFile.h"
#include "MappedDrives.h"
#include "UlmexMsgBox.h"
#include "formVersions.h"
#include "unitPropertyConfigSettings.h"
#include "unitSharedSettings.h"
#include "unitTrace.h"
#include "unitUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

int g_intAppInitReturnCode = 0;
std::function<void(bool)> DebugModeChanged;

namespace {

QString res(const char* t) {
    return QCoreApplication::translate("Resource", t);
}

QString errorOccurred(const QString& where, const QString& text) {
    return res("%s: An error occurred: ").replace(QStringLiteral("%s"), where) +
           QStringLiteral("\r\n") + text + QStringLiteral("\r\n");
}

void reportError(const QString& text) {
    MsgCatalogBox(0, 0, {QString(), QString(), text});
}

// Paths keep "/" inside; "\" and "//" forms are accepted as well.
QString slashed(QString p) {
    return QDir::fromNativeSeparators(p.trimmed());
}

QString withTrailingSlash(const QString& p) {
    if (p.isEmpty())
        return p;
    return p.endsWith(u'/') || p.endsWith(u'\\') ? p : p + u'/';
}

const char* const kMainFile = "halvexdatav2.GDB";
const char* const kLogFile = "halvexlogv2.GDB";
const char* const kMsgrFile = "halvexmsgrV2.GDB";
const char* const kInfoFile = "NetworkInfo.INI";

} // namespace

TAttachState& g_Attach() {
    static TAttachState s;
    return s;
}

bool DatabaseFilesCheck_b(const QString& linkPath, TDBKind kind, bool report) {
    const QString folder = withTrailingSlash(slashed(linkPath));
    const QStringList files = kind == dbkZeth
                                  ? QStringList{QLatin1String(kMainFile), QLatin1String(kLogFile),
                                                QLatin1String(kInfoFile)}
                                  : QStringList{QLatin1String(kMsgrFile), QLatin1String(kInfoFile)};
    for (const QString& f : files) {
        if (!QFileInfo::exists(folder + f)) {
            if (report)
                UlmexMsgBox(
                    QString(),
                    res("%1:s does not exist!").replace(QStringLiteral("%1:s"), folder + f) +
                        QStringLiteral("\r\n"),
                    QString(), false, 0, UlmexMB_ICONERROR);
            return false;
        }
    }
    return true;
}

QString HalvexInterbaseDatabasePath(TFbConnection* connection, const QString& fileName,
                                    TDBKind kind, const QString& physicalOverride, bool useCache) {
    TAttachState& st = g_Attach();
    QString& cache = st.ServerPathCache[kind];
    const QString full = slashed(fileName);
    const int cut = full.lastIndexOf(u'/');
    const QString file = full.mid(cut + 1);
    QString folder = full.left(cut < 0 ? 0 : cut);
    if (useCache && !cache.isEmpty())
        return cache + file;
    try {
        QString error;
        QString prefix;
        try {
            folder = slashed(ExpandMappedPath(folder.trimmed()));
            while (folder.size() > 1 && folder.endsWith(u'/'))
                folder.chop(1);
            QString base = folder;
            QString subPath;
            if (physicalOverride.trimmed().isEmpty()) {
                QString probe = folder;
                for (;;) {
                    if (QFileInfo::exists(probe + u'/' + QLatin1String(kInfoFile))) {
                        base = probe;
                        break;
                    }
                    const int up = probe.lastIndexOf(u'/');
                    // A UNC path stops at its share; a local path at the root.
                    if (up <= 0 ||
                        (probe.startsWith(QStringLiteral("//")) && probe.indexOf(u'/', 2) == up &&
                         up == probe.lastIndexOf(u'/'))) {
                        throw EUlmex(
                            res("%1:s does not exist!")
                                .replace(QStringLiteral("%1:s"), QLatin1String(kInfoFile)));
                    }
                    subPath = probe.mid(up) + subPath;
                    probe = probe.left(up);
                }
            }
            QString server;
            if (base.startsWith(QStringLiteral("//"))) {
                const int next = base.indexOf(u'/', 2);
                if (next < 0 || next == 2)
                    throw EUlmex(res("Error") + u' ' + base + QStringLiteral(" is invalid"));
                server = base.mid(2, next - 2);
            } else {
                server = ComputerName_str();
            }
            QString physical = physicalOverride.trimmed();
            if (physical.isEmpty())
                physical = TIniFile(base + u'/' + QLatin1String(kInfoFile))
                               .ReadString(QStringLiteral("PathInfo"),
                                           QStringLiteral("PhysicalPath"), QString())
                               .trimmed();
            if (physical.isEmpty())
                throw EUlmex(QStringLiteral("PathInfo/PhysicalPath not set"));
            // The server side keeps the separator style of its own physical path.
            const bool windowsServer =
                physical.contains(u'\\') || (physical.size() >= 2 && physical[1] == u':');
            const QChar sep = windowsServer ? u'\\' : u'/';
            while (physical.endsWith(u'\\') || (physical.endsWith(u'/') && physical.size() > 1))
                physical.chop(1);
            QString sub = subPath;
            sub.replace(u'/', sep);
            if (st.ServerType == 0 && !connection)
                throw EUlmex(QStringLiteral("Server Type not set/SQLConnection=nil"));
            if (st.ServerType == 0 && file.isEmpty())
                throw EUlmex(QStringLiteral("Server Type not set/strFilename=\"\""));
            const bool thisComputer =
                server.compare(ComputerName_str(), Qt::CaseInsensitive) == 0 ||
                server == QStringLiteral("localhost") || server == QStringLiteral("127.0.0.1");
            auto nameFor = [&](int type) {
                // Type 2 opens the file in-process; it only fits a server that is this computer.
                if (type == 2)
                    return physical + sub + sep;
                // A database server on this computer is reached over loopback.
                return (thisComputer ? QStringLiteral("127.0.0.1") : server) + u':' + physical +
                       sub + sep;
            };
            if (st.ServerType == 0) {
                for (int type : {1, 2}) {
                    if (type == 2 && !thisComputer)
                        continue;
                    st.ServerType = type;
                    try {
                        connection->Close();
                        connection->SetDatabase(nameFor(type) + file);
                        connection->Open();
                        connection->Close();
                        break;
                    } catch (const std::exception& e) {
                        DebugLog(QStringLiteral("Server type %1 probe: ").arg(type) +
                                 ExceptionText(e));
                        st.ServerType = 0;
                    }
                }
            }
            if (st.ServerType == 0)
                throw EUlmex(QStringLiteral("Cannot determine WinX/98 server type"));
            prefix = nameFor(st.ServerType);
        } catch (const EUlmex&) {
            throw;
        } catch (const std::exception& e) {
            throw EUlmex(errorOccurred(
                QStringLiteral("unitSharedStuff.HalvexInterbaseDatabasePath"), ExceptionText(e)));
        }
        if (useCache)
            cache = prefix;
        return prefix + file;
    } catch (...) {
        if (useCache)
            cache.clear();
        throw;
    }
}

QString LinkPath_Find_str(QWidget* parent, const QString& title, const QString& proposedFile) {
    try {
        if (UnattendedMode_b())
            return {};
        const QString chosen = QFileDialog::getOpenFileName(
            parent, title, proposedFile, res("Database files") + QStringLiteral(" (*.gdb *.GDB)"));
        if (chosen.isEmpty())
            return {};
        return withTrailingSlash(QFileInfo(chosen).absolutePath());
    } catch (const std::exception& e) {
        reportError(
            errorOccurred(QStringLiteral("unitSharedStuff.LinkPath_Find_str"), ExceptionText(e)));
        return {};
    }
}

bool DBConnectCheckLoop(TDBKind kind, QString& linkPath, TFbConnection& main, TFbConnection& log) {
    DebugLogStart(QStringLiteral("DBConnectCheckLoop begin"));
    const QString kindName = kind == dbkZeth ? QStringLiteral("Zeth") : QStringLiteral("MSGR");
    bool ok = false;
    try {
        for (int round = 0; round < 100; ++round) {
            if (linkPath.trimmed().isEmpty()) {
                const QString prompt =
                    (kind == dbkZeth ? res("A link to has not been defined to access LAN based "
                                           "tables. Please find "
                                           "and select the LAN based tables.")
                                     : res("A link to has not been defined to the Messenger "
                                           "database. Please find "
                                           "and select the Messenger database.")) +
                    QStringLiteral(" (") + kindName + u')';
                if (UlmexMsgBox(QString(), prompt, QString(), false, 0, UlmexMB_IconQuestion,
                                Ulmex_DefaultButton1, UlmexMB_OKCancel) != 1) {
                    g_intAppInitReturnCode = kind == dbkZeth ? 14 : 13;
                    break;
                }
                const QString found =
                    LinkPath_Find_str(nullptr,
                                      kind == dbkZeth ? res("Find Halvex LAN Database")
                                                      : res("Find Halvex Messenger Database"),
                                      QLatin1String(kind == dbkZeth ? kMainFile : kMsgrFile));
                if (found.isEmpty())
                    break;
                linkPath = withTrailingSlash(ExpandMappedPath(found));
            }
            if (DatabaseFilesCheck_b(linkPath, kind, true)) {
                try {
                    const QString folder = withTrailingSlash(slashed(linkPath));
                    main.Close();
                    main.SetDatabase(
                        HalvexInterbaseDatabasePath(&main, folder + QLatin1String(kMainFile), kind,
                                                    g_Attach().PhysicalPath, true));
                    main.Open();
                    log.Close();
                    log.SetDatabase(
                        HalvexInterbaseDatabasePath(&log, folder + QLatin1String(kLogFile), kind,
                                                    g_Attach().PhysicalPath, true));
                    log.Open();
                    ok = true;
                } catch (const std::exception& e) {
                    DebugLog(QStringLiteral("DBConnectCheckLoop 3 exception"));
                    reportError(errorOccurred(QStringLiteral("unitSharedStuff.DatabasesAttached_b"),
                                              ExceptionText(e)));
                }
                break;
            }
            g_intAppInitReturnCode = 14;
            linkPath.clear();
        }
    } catch (const std::exception& e) {
        DebugLog(ExceptionText(e));
        g_intAppInitReturnCode = 98;
        ok = false;
    }
    DebugLogEnd(QStringLiteral("DBConnectCheckLoop"));
    return ok;
}

bool DatabasesAttached_b(TFbConnection& main, TFbConnection& log) {
    DebugLogStart(QStringLiteral("DatabasesAttached_b"));
    TAttachState& st = g_Attach();
    QString link = withTrailingSlash(st.LinkPath.trimmed());
    const bool ok = DBConnectCheckLoop(dbkZeth, link, main, log);
    bool result = false;
    if (ok) {
        if (link != st.LinkPath) {
            DebugLog(QStringLiteral("Zeth link path changed to ") + link);
            st.LinkPath = link;
        }
        // No messenger connection is given in this server; its loop does nothing.
        VersionDatabase_SetAll_b(main, log);
        const QString problems = VersionDatabase_Check_str(false, false);
        if (!problems.isEmpty()) {
            ShowVersionsWindow(QString(), false, false, false);
            DebugLog(QStringLiteral("Version check: ") + problems);
            g_intAppInitReturnCode = 11;
        } else {
            result = true;
        }
    }
    DebugLogEnd(QStringLiteral("DatabasesAttached_b"));
    return result;
}

bool AppInit(TFbConnection& main, TFbConnection& log, bool skipConfigRead,
             const QStringList& args) {
    DebugLogStart(QStringLiteral("AppInit"));
    TAttachState& st = g_Attach();
    const QString iniPath = HalvexIniPath();
    TIniFile ini(iniPath);
    if (!QFileInfo::exists(iniPath)) {
        UlmexMsgBox(QString(),
                    QStringLiteral("Warning\r\nINI file not found. Default values will be used."),
                    QString());
    }
    auto take = [&](QString& value, const char* key) {
        if (value.isEmpty() || !st.MultiDBMode)
            value =
                ini.ReadString(QStringLiteral("Database"), QLatin1String(key), QString()).trimmed();
    };
    take(st.LinkPath, "LinkPath");
    take(st.MsgLinkPath, "MsgLinkPath");
    take(st.PhysicalPath, "PhysicalPath");
    take(st.MsgPhysicalPath, "MsgPhysicalPath");
    const QString langID =
        ini.ReadString(QStringLiteral("Misc"), QStringLiteral("LangID"), QStringLiteral("-1"));
    auto writeBack = [&](bool forceLink, const QString& before) {
        if (!QFileInfo::exists(iniPath))
            UlmexMsgBox(QString(),
                        QStringLiteral("Warning\r\nINI file not found. One will be created."),
                        QString());
        const QString inFile =
            ini.ReadString(QStringLiteral("Database"), QStringLiteral("LinkPath"), QString());
        if (!st.LinkPath.isEmpty() && (inFile.isEmpty() || !st.MultiDBMode ||
                                       (forceLink && !before.isEmpty() && before != st.LinkPath)))
            ini.WriteString(QStringLiteral("Database"), QStringLiteral("LinkPath"), st.LinkPath);
        ini.WriteString(QStringLiteral("Misc"), QStringLiteral("LangID"), langID);
    };
    writeBack(false, QString());
    const QString linkBefore = st.LinkPath;
    st.DebugMode = args.contains(QStringLiteral("\\ULMEXDEBUG"));
    if (DebugModeChanged)
        DebugModeChanged(st.DebugMode);

    bool ok = DatabasesAttached_b(main, log);
    if (ok) {
        writeBack(true, linkBefore);
    } else {
        UlmexMsgBox(QStringLiteral("Error - AppInit"),
                    QStringLiteral("Databases Attached Failed!\r\nProgram Halted"), QString(),
                    false, 0, UlmexMB_ICONERROR);
        if (g_intAppInitReturnCode == 0)
            g_intAppInitReturnCode = 10;
    }
    if (ok && !skipConfigRead)
        ok = GlobalPropertyConfig_Get(main) && GlobalRFID_LayoutInfo_Get(main);
    // The main connection is opened around each operation; nothing stays attached meanwhile.
    main.Close();
    DebugLogEnd(QStringLiteral("AppInit"));
    return ok;
}

// ---- Versions ---------------------------------------------------------------------------

void SetRequiredVersions(double dat, double dsn, double log, double sys) {
    TDatabaseVersions& v = g_DatabaseVersions();
    v.DAT.Minimum = dat;
    v.DSN.Minimum = dsn;
    v.LOG.Minimum = log;
    v.SYS.Minimum = sys;
    v.ARCH.Minimum = log;
    SetVersionCheck(&VersionDatabase_Check_str);
}

double VersionDatabaseGet_single(TFbConnection& db, const QString& table) {
    try {
        const TRowSet r = db.Query(QStringLiteral("Select * From ") + table);
        if (r.IsEmpty() || r.Value(0, QStringLiteral("sngVersion")).isNull())
            return -1;
        return std::round(r.Double(0, QStringLiteral("sngVersion")) * 10000.0) / 10000.0;
    } catch (const std::exception& e) {
        MsgCatalogBox(0, 0,
                      {QString(), QString(),
                       errorOccurred(QStringLiteral("formVersions.VersionDatabaseGet_single"),
                                     ExceptionText(e))});
        return -1;
    }
}

bool VersionDatabase_SetAll_b(TFbConnection& main, TFbConnection& log) {
    TDatabaseVersions& v = g_DatabaseVersions();
    v.DSN.Actual = VersionDatabaseGet_single(main, QStringLiteral("Version_DSN"));
    v.DAT.Actual = VersionDatabaseGet_single(main, QStringLiteral("Version_DAT"));
    v.SYS.Actual = VersionDatabaseGet_single(main, QStringLiteral("Version_SYS"));
    v.LOG.Actual = VersionDatabaseGet_single(log, QStringLiteral("Version_LOG"));
    v.ARCH.Actual = -1;
    return true;
}

QString VersionDatabase_Check_str(bool checkMSG, bool checkMLG) {
    QString out;
    try {
        const TDatabaseVersions& v = g_DatabaseVersions();
        struct Row {
            const TDatabaseVersion* ver;
            const char* invalid;
            const char* less;
            bool arch;
        };
        std::vector<Row> rows = {
            {&v.DSN, " of DSN database is invalid", " of DSN database is less than the required ",
             false},
            {&v.DAT, " of DAT database is invalid", " of DAT database is less than the required ",
             false},
            {&v.LOG, " of LOG database is invalid", " of LOG database is less than the required ",
             false},
            {&v.SYS, " of SYS database is invalid", " of SYS database is less than the required ",
             false},
            {&v.ARCH, " of one or more ARCHIVE databases are invalid",
             " of one ore more ARCHIVE databases are less than the required ", true},
        };
        if (checkMSG)
            rows.push_back({&v.MSG, " of MSG database is invalid",
                            " of MSG database is less than the required ", false});
        if (checkMLG)
            rows.push_back({&v.MLG, " of MSG LOG database is invalid",
                            " of MSG LOG database is less than the required ", false});
        for (const Row& r : rows) {
            if (r.arch && r.ver->Actual < 0)
                continue;
            if (!r.arch && !(r.ver->Minimum > 0))
                out += QStringLiteral("Minimum Version ") + VersionFormat_str(r.ver->Minimum) +
                       QLatin1String(r.invalid) + QStringLiteral("\r\n");
            else if (r.ver->Actual < 1)
                out += QStringLiteral("Version ") + VersionFormat_str(r.ver->Actual) +
                       QLatin1String(r.invalid) + QStringLiteral("\r\n");
            else if (r.ver->Actual < r.ver->Minimum)
                out += QStringLiteral("Version ") + VersionFormat_str(r.ver->Actual) +
                       QLatin1String(r.less) + VersionFormat_str(r.ver->Minimum) +
                       QStringLiteral("\r\n");
        }
    } catch (const std::exception& e) {
        const QString t = errorOccurred(QStringLiteral("formVersions.VersionDatabase_Check_str"),
                                        ExceptionText(e));
        out += t;
        MsgCatalogBox(0, 0, {QString(), QString(), t});
    }
    return out;
}

// ---- Start-up dialog ---------------------------------------------------------------------

TfrmSplash::TfrmSplash(TFbConnection& main, TFbConnection& log, QStringList args, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint), m_main(main), m_log(log), m_args(std::move(args)),
      m_timer(new QTimer(this)) {
    setObjectName(QStringLiteral("frmSplash"));
    setStyleSheet(QStringLiteral("background: white;"));
    auto* l = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("Halvex Vorqen"), this);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("font-size: 20pt; font-weight: bold; color: #1b3a6b;"));
    l->addWidget(label);
    resize(360, 160);
    m_timer->setInterval(250);
    connect(m_timer, &QTimer::timeout, this, &TfrmSplash::tick);
}

void TfrmSplash::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    m_timer->start();
}

void TfrmSplash::tick() {
    m_timer->stop();
    try {
        const bool ok = AppInit(m_main, m_log, false, m_args);
        // The logon step belongs to the users' logon window; the controller switches it off.
        if (ok)
            accept();
        else
            reject();
    } catch (const std::exception& e) {
        UlmexMsgBox(QString(), QStringLiteral("Splash Init Error\r\n") + ExceptionText(e),
                    QString(), false, 0, UlmexMB_ICONERROR);
        reject();
    }
}
