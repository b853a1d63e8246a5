#include "unitDBSchema.h"

#include "IniFile.h"
#include "unitFbDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {
const QString kEmptyDate = QStringLiteral("'1899-12-30 00:00:00'");
QString TS() { return QStringLiteral("TIMESTAMP DEFAULT ") + kEmptyDate; }
} // namespace

QStringList MainDatabaseSchema_SQL() {
    const QString ts = TS();
    QStringList s;
    // Site configuration: one row each with key 1.
    s << QStringLiteral(
        "CREATE TABLE PropertyConfig ("
        " idxPropConfigID INTEGER NOT NULL PRIMARY KEY,"
        " lngPropNum INTEGER DEFAULT 0,"
        " strPropName VARCHAR(50),"
        " idxEMSID INTEGER DEFAULT 0,"
        " lngVRQPort INTEGER DEFAULT 6669,"
        " intRFIDLayout INTEGER DEFAULT 1,"
        " intMsgHdrTypeID INTEGER DEFAULT 1,"
        " intBroadcastThreshold INTEGER DEFAULT 20,"
        " intLockLogExpireDays SMALLINT DEFAULT 365,"
        " intStaffKeyLogExpireDays SMALLINT DEFAULT 60,"
        " bEnhancedRFID INTEGER DEFAULT -1,"
        " intRFIDTrack2_Format INTEGER DEFAULT 1,"
        " intInnerRangeFile_Format INTEGER DEFAULT 1,"
        " strInnerRangeGenericFile_Name VARCHAR(25) DEFAULT 'Halvex_output001.dui',"
        " intMinDif_ClockSet INTEGER DEFAULT 10,"
        " bExcludeDeviceStatusMsg SMALLINT DEFAULT -1,"
        " bHideLegacyEncoders SMALLINT DEFAULT -1,"
        " bNewUserClientAccess INTEGER DEFAULT -1,"
        " intOTA_int_initial_TO SMALLINT DEFAULT 710,"
        " intOTA_int_retry_count SMALLINT DEFAULT 0,"
        " intOTA_int_retry_delay SMALLINT DEFAULT 120,"
        " strRFID_Security VARCHAR(20) DEFAULT '00000000',"
        " STRRFIDSECTOR_KEYA VARCHAR(12),"
        " strSecureShiftOptions VARCHAR(30) DEFAULT '000101000000000000000000000000',"
        " strExtPanID VARCHAR(32) DEFAULT '',"
        " strSchindlerCompanyName VARCHAR(25) DEFAULT '0',"
        " strSchindlerIP_Addr VARCHAR(25) DEFAULT '0',"
        " lngMaxLogons INTEGER,"
        " bEnforceUniqueUserID INTEGER DEFAULT 0,"
        " intDayCount_InactivityDisable INTEGER DEFAULT 0,"
        " intDayCount_AutoResetPassword INTEGER DEFAULT 0,"
        " bUserMustSetPassword INTEGER DEFAULT 0,"
        " intMIN_Password_Length INTEGER DEFAULT 0,"
        " intMIN_Password_Alphas INTEGER DEFAULT 0,"
        " intMIN_Password_Numerics INTEGER DEFAULT 0,"
        " intMIN_Password_PrevCount INTEGER DEFAULT 0,"
        " intInvalidLogon_LockoutMinutes INTEGER DEFAULT 0,"
        " intInvalidLogon_LockoutCount INTEGER DEFAULT 0,"
        " bInternetVersion INTEGER DEFAULT 0,"
        " bInncomDevices INTEGER DEFAULT 0,"
        " bELPS INTEGER DEFAULT 0,"
        " bMixedSystem INTEGER DEFAULT 0,"
        " bAllowSecureShift INTEGER DEFAULT 0,"
        " bAllowOpenDoor INTEGER DEFAULT 0,"
        " bSendInhibitKeyWithCheckout INTEGER DEFAULT 0,"
        " bExpandedLevels INTEGER DEFAULT 0,"
        " bExpandedMsgrCapability INTEGER DEFAULT 0,"
        " bExtendExpiration INTEGER DEFAULT 0,"
        " bSendExtendKeyWithChgCO INTEGER DEFAULT 0,"
        " bRFID_Track2 INTEGER DEFAULT 0,"
        " bRFID_Track1 INTEGER DEFAULT 0,"
        " intrfidtrack1sector INTEGER DEFAULT 0,"
        " intPropertyCapabilityLevel INTEGER DEFAULT 0,"
        " bShare_With_Capable INTEGER DEFAULT 0,"
        " bUseSector3 INTEGER DEFAULT 0,"
        " bUnlatchToAllLocks INTEGER DEFAULT 0,"
        " bAllowPropZero INTEGER DEFAULT 0,"
        " bRequireReportAuths INTEGER DEFAULT 0,"
        " bAdvancedKeyVerification INTEGER DEFAULT 0,"
        " bInnerRangeInterface INTEGER DEFAULT 0,"
        " bEscapeReturnProperty INTEGER DEFAULT 0,"
        " intEscapeReturnDelay INTEGER DEFAULT 0,"
        " bSchindlerPortInterface INTEGER DEFAULT 0,"
        " lngSchindlerPort INTEGER DEFAULT 0,"
        " bAutoDSTUpdateHubs INTEGER DEFAULT 0,"
        " bIgnoreTrack2ViaClient INTEGER DEFAULT 0,"
        " bUseBLEUID INTEGER DEFAULT 0,"
        " bAllowDatacardCP60 INTEGER DEFAULT 0,"
        " lngNumOfComBusyRetries INTEGER,"
        " lngTenthSecsBetweenComRetries INTEGER,"
        " lngPWTimeout INTEGER,"
        " strInnerRangeFilePath VARCHAR(255),"
        " bEnableTamperSupervision INTEGER)");
    s << QStringLiteral("CREATE TABLE PropertySettings ("
                        " idxPropertySettingsID INTEGER NOT NULL PRIMARY KEY,"
                        " intGracePeriodCheckOut SMALLINT DEFAULT 0,"
                        " intGracePeriodBlockKey SMALLINT DEFAULT 0)");
    s << QStringLiteral("CREATE TABLE DST (idxDSTID INTEGER NOT NULL PRIMARY KEY)");
    s << QStringLiteral("CREATE TABLE EMS (idxEMSID INTEGER NOT NULL PRIMARY KEY, strEMSName VARCHAR(25))");

    // Station registry.
    s << QStringLiteral("CREATE TABLE ClientMachine ("
                        " idxMachineID INTEGER NOT NULL PRIMARY KEY,"
                        " strName VARCHAR(25) NOT NULL UNIQUE,"
                        " strIPAddr VARCHAR(25),"
                        " lngMachineType INTEGER DEFAULT 0,"
                        " strPreferredIPAddr VARCHAR(25) DEFAULT '')");
    s << QStringLiteral("CREATE TABLE ClientStation ("
                        " idxMachineID INTEGER NOT NULL,"
                        " strStationID VARCHAR(15) NOT NULL,"
                        " lngPort INTEGER,"
                        " lngEncoder_Baud INTEGER,"
                        " lngLPI_Baud INTEGER,"
                        " lngInterfaceType INTEGER DEFAULT 1,"
                        " idxKeyPrintLayoutID INTEGER,"
                        " strDeviceName VARCHAR(100),"
                        " bUSB_Port INTEGER DEFAULT 0 NOT NULL,"
                        " PRIMARY KEY (strStationID, idxMachineID))");

    // Card print layouts.
    s << QStringLiteral("CREATE TABLE KeyPrintLayout ("
                        " idxKeyPrintLayoutID INTEGER NOT NULL PRIMARY KEY,"
                        " strName VARCHAR(50),"
                        " datRecordLocked ") + ts + QStringLiteral(","
                        " lngOrientation INTEGER)");
    s << QStringLiteral("CREATE TABLE KeyPrintFieldDef ("
                        " idxKeyPrintLayoutID INTEGER NOT NULL,"
                        " idxFieldID INTEGER NOT NULL,"
                        " strFont_Name VARCHAR(50),"
                        " intFont_Charset INTEGER, intFont_Pitch INTEGER, intFont_Size INTEGER,"
                        " intFont_Style INTEGER, intXPos INTEGER, intYPos INTEGER,"
                        " PRIMARY KEY (idxKeyPrintLayoutID, idxFieldID))");

    // Name look-ups of the lock interface information.
    s << QStringLiteral("CREATE TABLE Lock (idxLockID INTEGER NOT NULL PRIMARY KEY, strLockName VARCHAR(50))");
    s << QStringLiteral("CREATE TABLE DEVICETYPE (idxDeviceType INTEGER NOT NULL PRIMARY KEY, strDesc VARCHAR(50))");
    s << QStringLiteral("CREATE TABLE NON_LOCK_DEVICE (idxDeviceID INTEGER NOT NULL PRIMARY KEY,"
                        " idxDeviceType INTEGER, strName VARCHAR(50))");

    // Number sources.
    s << QStringLiteral("CREATE TABLE SerialNum (idxID INTEGER NOT NULL PRIMARY KEY,"
                        " lngSerialNum INTEGER, lngMax INTEGER)");
    s << QStringLiteral("CREATE TABLE NextIDClient (strTableName VARCHAR(31) NOT NULL PRIMARY KEY,"
                        " idxNextID INTEGER DEFAULT 0, lngMaxID INTEGER DEFAULT 0)");
    s << QStringLiteral("CREATE TABLE NextIDDesign (strTableName VARCHAR(31) NOT NULL PRIMARY KEY,"
                        " idxNextID INTEGER DEFAULT 0, lngMaxID INTEGER DEFAULT 0)");

    // Operators.
    s << QStringLiteral("CREATE TABLE Users ("
                        " idxUserID INTEGER NOT NULL PRIMARY KEY,"
                        " strFirstName VARCHAR(25), strLastName VARCHAR(25), strMiddleName VARCHAR(25),"
                        " lngLPIUserID INTEGER,"
                        " strUserID VARCHAR(15),"
                        " strPassword VARCHAR(15),"
                        " strPassword_New VARCHAR(32),"
                        " strPassword_Interface VARCHAR(15),"
                        " bAdmin INTEGER DEFAULT 0,"
                        " datCreated ") + ts + QStringLiteral(","
                        " bDeleted INTEGER DEFAULT 0,"
                        " datDeleted ") + ts + QStringLiteral(","
                        " datRecordLocked ") + ts + QStringLiteral(","
                        " datLoggedOn ") + ts + QStringLiteral(","
                        " datLoggedOn_VRQ ") + ts + QStringLiteral(","
                        " datLoggedOn_Config ") + ts + QStringLiteral(","
                        " datLoggedOn_FrontDesk ") + ts + QStringLiteral(","
                        " datLastLogOn ") + ts + QStringLiteral(","
                        " datLastInvalidLogon ") + ts + QStringLiteral(","
                        " intInvalidLogonCount SMALLINT DEFAULT 0,"
                        " bAllowRemoteDoorOpen INTEGER DEFAULT 0,"
                        " idxStaffID INTEGER DEFAULT 0)");
    s << QStringLiteral("CREATE TABLE PWD_History (idxUserID INTEGER NOT NULL,"
                        " strPassword VARCHAR(25) NOT NULL, datAdded ") + ts +
             QStringLiteral(", PRIMARY KEY (idxUserID, strPassword))");
    s << QStringLiteral("CREATE TABLE UserToUserGroup (idxUserID INTEGER NOT NULL,"
                        " idxUserGroupID INTEGER NOT NULL, PRIMARY KEY (idxUserID, idxUserGroupID))");
    s << QStringLiteral("CREATE TABLE UserAuth (idxUserID INTEGER, bUserGroupID INTEGER DEFAULT 0,"
                        " idxTransAuthID INTEGER, idxKeyGroupID INTEGER, lngOverrideAuthLevel INTEGER,"
                        " datCreated ") + ts + QStringLiteral(")");

    // Schema versions.
    for (const char* t : {"Version_DSN", "Version_DAT", "Version_SYS"})
        s << QStringLiteral("CREATE TABLE %1 (sngVersion FLOAT)").arg(QLatin1String(t));

    // Touched by the version update only.
    s << QStringLiteral("CREATE TABLE LockLogs (idxLockLogID INTEGER NOT NULL PRIMARY KEY,"
                        " idxLockID INTEGER, datCreated ") + ts +
             QStringLiteral(", STRRAWDATA VARCHAR(2000), IDXINTERROGATEMETHOD INTEGER)");
    s << QStringLiteral("CREATE TABLE LockInterrogateMethod (idxID INTEGER NOT NULL PRIMARY KEY,"
                        " strName VARCHAR(25))");
    return s;
}

QStringList LogDatabaseSchema_SQL() {
    const QString ts = TS();
    QStringList s;
    s << QStringLiteral("CREATE TABLE TxLogGeneral ("
                        " idxTxLogID INTEGER NOT NULL PRIMARY KEY,"
                        " idxParentTxLogID INTEGER DEFAULT 0,"
                        " idxTransAuthID INTEGER DEFAULT 0,"
                        " strTargetCode VARCHAR(2),"
                        " idxTargetID INTEGER DEFAULT 0,"
                        " datCreated ") + ts + QStringLiteral(","
                        " idxUserID INTEGER,"
                        " idxTxStatusID INTEGER DEFAULT 1,"
                        " strTxErrors VARCHAR(75),"
                        " idxRqstSystemID INTEGER DEFAULT 1,"
                        " datOccurred ") + ts + QStringLiteral(")");
    s << QStringLiteral("CREATE TABLE TxLogKeyMaking ("
                        " idxTxLogID INTEGER NOT NULL PRIMARY KEY,"
                        " intNumOfKeys SMALLINT DEFAULT 0,"
                        " intKeyMakeStatus SMALLINT DEFAULT 0,"
                        " lngDeviceFlags INTEGER DEFAULT 0,"
                        " strAppVersion VARCHAR(8),"
                        " intKeyMedia SMALLINT DEFAULT 0,"
                        " intFirstDupIDNum SMALLINT DEFAULT 0,"
                        " idxAddlDataTypeID INTEGER DEFAULT 0,"
                        " datExpire ") + ts + QStringLiteral(","
                        " strKeyBytes VARCHAR(17))");
    s << QStringLiteral("CREATE TABLE TxLogSequence ("
                        " idxTxLogID INTEGER NOT NULL PRIMARY KEY,"
                        " lngSeqOrder INTEGER,"
                        " datNewKeyOrCheckout ") + ts + QStringLiteral(")");
    QString action = QStringLiteral("CREATE TABLE TxLogAction (idxTxLogID INTEGER NOT NULL PRIMARY KEY");
    for (int i = 1; i <= 8; ++i)
        action += QStringLiteral(", bytTxActionID%1 SMALLINT DEFAULT 0").arg(i);
    s << action + u')';
    s << QStringLiteral("CREATE TABLE Version_LOG (sngVersion FLOAT)");
    // NEXTLOGID(n) reserves n numbers; the first of them is INTNEXTID + 2 - n.
    s << QStringLiteral("CREATE SEQUENCE GEN_TXLOGID");
    s << QStringLiteral("CREATE PROCEDURE NEXTLOGID (INTINCREMENT INTEGER)"
                        " RETURNS (INTNEXTID INTEGER) AS"
                        " BEGIN"
                        "   INTNEXTID = GEN_ID(GEN_TXLOGID, :INTINCREMENT) - 1;"
                        " END");
    return s;
}

namespace {
// All statements in one transaction: one forced write instead of one per statement.
void RunAll(TSQLConnection& db, const QStringList& statements) {
    db.StartTransaction();
    try {
        for (const QString& sql : statements)
            db.ExecuteDirect(sql);
        db.Commit();
    } catch (...) {
        db.Rollback();
        throw;
    }
}

QString RandomHex(int bytes) {
    QString out;
    for (int i = 0; i < bytes; ++i)
        out += QStringLiteral("%1").arg(QRandomGenerator::system()->bounded(256), 2, 16, QChar(u'0'));
    return out.toUpper();
}

// The current stored form of a password: its characters as upper-case hexadecimal.
QString StoredPassword(const QString& password) {
    return QString::fromLatin1(password.toLatin1().toHex().toUpper());
}
} // namespace

void CreateMainSchema(TSQLConnection& db, const TSiteOptions& o) {
    RunAll(db, MainDatabaseSchema_SQL());
    db.StartTransaction();
    db.ExecuteDirect(QStringLiteral("INSERT INTO PropertyConfig (idxPropConfigID, lngPropNum,"
                                    " strPropName, lngVRQPort, STRRFIDSECTOR_KEYA)"
                                    " VALUES (1, :Num, :Name, :Port, :KeyA)"),
                     {{QStringLiteral("Num"), o.propertyNumber},
                      {QStringLiteral("Name"), o.propertyName},
                      {QStringLiteral("Port"), o.port},
                      {QStringLiteral("KeyA"), RandomHex(6)}});
    db.ExecuteDirect(QStringLiteral("INSERT INTO PropertySettings (idxPropertySettingsID) VALUES (1)"));
    db.ExecuteDirect(QStringLiteral("INSERT INTO DST (idxDSTID) VALUES (1)"));
    db.ExecuteDirect(QStringLiteral("INSERT INTO EMS (idxEMSID, strEMSName) VALUES (0, 'NONE')"));
    db.ExecuteDirect(QStringLiteral("INSERT INTO EMS (idxEMSID, strEMSName) VALUES (3, 'MESSENGER')"));
    db.ExecuteDirect(QStringLiteral("INSERT INTO SerialNum (idxID, lngSerialNum, lngMax) VALUES (1, 1, 50000)"));
    const char* const methods[] = {"HAND-HELD", "REMOTE", "INTERROGATION KEY"};
    for (int i = 0; i < 3; ++i)
        db.ExecuteDirect(QStringLiteral("INSERT INTO LockInterrogateMethod (idxID, strName) VALUES (:ID, :Name)"),
                         {{QStringLiteral("ID"), i + 1}, {QStringLiteral("Name"), QString::fromLatin1(methods[i])}});
    db.ExecuteDirect(QStringLiteral("INSERT INTO Version_SYS (sngVersion) VALUES (:V)"),
                     {{QStringLiteral("V"), kSiteVersionSYS}});
    db.ExecuteDirect(QStringLiteral("INSERT INTO Version_DSN (sngVersion) VALUES (:V)"),
                     {{QStringLiteral("V"), kSiteVersionDSN}});
    db.ExecuteDirect(QStringLiteral("INSERT INTO Version_DAT (sngVersion) VALUES (:V)"),
                     {{QStringLiteral("V"), kSiteVersionDAT}});
    if (!o.adminUserID.isEmpty()) {
        db.ExecuteDirect(QStringLiteral("INSERT INTO Users (idxUserID, strFirstName, strLastName,"
                                        " strUserID, strPassword, strPassword_New, bAdmin, datCreated)"
                                        " VALUES (1, 'Site', 'Administrator', :UserID, :Old, :New, -1,"
                                        " CURRENT_TIMESTAMP)"),
                         {{QStringLiteral("UserID"), o.adminUserID},
                          {QStringLiteral("Old"), o.adminPassword.left(15)},
                          {QStringLiteral("New"), StoredPassword(o.adminPassword.left(15))}});
        db.ExecuteDirect(QStringLiteral("INSERT INTO NextIDClient (strTableName, idxNextID, lngMaxID)"
                                        " VALUES ('USERS', 1, 0)"));
    }
    db.Commit();
}

void CreateLogSchema(TSQLConnection& db) {
    RunAll(db, LogDatabaseSchema_SQL());
    db.StartTransaction();
    db.ExecuteDirect(QStringLiteral("INSERT INTO Version_LOG (sngVersion) VALUES (:V)"),
                     {{QStringLiteral("V"), kSiteVersionLOG}});
    db.Commit();
}

QString SiteDatabaseName(const TSiteOptions& o, const QString& fileName) {
    const QString path = QDir(o.folder).absoluteFilePath(fileName);
    return o.server.isEmpty() ? path : o.server + u':' + path;
}

bool CreateSite_b(const TSiteOptions& o, QString* error) {
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (o.folder.isEmpty())
        return fail(QStringLiteral("No site folder given"));
    const QDir dir(o.folder);
    for (const char* f : {kMainDatabaseFile, kLogDatabaseFile, kNetworkInfoFile}) {
        const QString path = dir.absoluteFilePath(QLatin1String(f));
        if (QFileInfo::exists(path))
            return fail(path + QStringLiteral(" exists already; nothing was changed"));
    }
    if (!QDir().mkpath(dir.absolutePath()))
        return fail(QStringLiteral("Cannot create folder ") + dir.absolutePath());
    try {
        {
            TSQLConnection db(QStringLiteral("Database1"));
            db.SetDatabaseName(SiteDatabaseName(o, QLatin1String(kMainDatabaseFile)));
            db.CreateDatabase();
            CreateMainSchema(db, o);
            db.Close();
        }
        {
            TSQLConnection log(QStringLiteral("dbTransLog"));
            log.SetDatabaseName(SiteDatabaseName(o, QLatin1String(kLogDatabaseFile)));
            log.CreateDatabase();
            CreateLogSchema(log);
            log.Close();
        }
    } catch (const std::exception& e) {
        return fail(ExceptionText(e));
    }
    TIniFile ini(dir.absoluteFilePath(QLatin1String(kNetworkInfoFile)));
    if (!ini.WriteString(QStringLiteral("PathInfo"), QStringLiteral("PhysicalPath"), dir.absolutePath()))
        return fail(QStringLiteral("Cannot write ") + ini.FileName() + QStringLiteral(": ") + ini.LastError());
    return true;
}
