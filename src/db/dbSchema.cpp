#include "dbSchema.h"

#include <QDateTime>
#include <QStringList>

namespace {

// New TIMESTAMP columns default to the empty date.
const char* const kEmptyDate = "TIMESTAMP DEFAULT '1899-12-30 00:00:00'";

QString ts() {
    return QString::fromLatin1(kEmptyDate);
}

void execAll(TFbConnection& db, const QStringList& statements) {
    for (const QString& s : statements)
        db.Exec(s);
}

} // namespace

QString PasswordStoredForm(const QString& password) {
    // Reversible: each character mixed with a rolling key, two upper-case hex digits each.
    static const QByteArray key = "VRQ-Halvex-key";
    const QByteArray in = password.left(15).toLatin1();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i)
        out.append(char(in[i] ^ key[i % key.size()]));
    return QString::fromLatin1(out.toHex().toUpper());
}

void CreateMainSchema(TFbConnection& db) {
    QStringList pcFlags = {"bInternetVersion",
                           "bInncomDevices",
                           "bELPS",
                           "bMixedSystem",
                           "bAllowSecureShift",
                           "bAllowOpenDoor",
                           "bSendInhibitKeyWithCheckout",
                           "bExpandedLevels",
                           "bExpandedMsgrCapability",
                           "bExtendExpiration",
                           "bSendExtendKeyWithChgCO",
                           "bRFID_Track2",
                           "bRFID_Track1",
                           "intrfidtrack1sector",
                           "intPropertyCapabilityLevel",
                           "bShare_With_Capable",
                           "bUseSector3",
                           "bUnlatchToAllLocks",
                           "bAllowPropZero",
                           "bRequireReportAuths",
                           "bAdvancedKeyVerification",
                           "bInnerRangeInterface",
                           "bEscapeReturnProperty",
                           "intEscapeReturnDelay",
                           "bSchindlerPortInterface",
                           "lngSchindlerPort",
                           "bAutoDSTUpdateHubs",
                           "bIgnoreTrack2ViaClient",
                           "bUseBLEUID",
                           "bAllowDatacardCP60",
                           "bEnforceUniqueUserID",
                           "intDayCount_InactivityDisable",
                           "intDayCount_AutoResetPassword",
                           "bUserMustSetPassword",
                           "intMIN_Password_Length",
                           "intMIN_Password_Alphas",
                           "intMIN_Password_Numerics",
                           "intMIN_Password_PrevCount",
                           "intInvalidLogon_LockoutMinutes",
                           "intInvalidLogon_LockoutCount",
                           "lngNumOfComBusyRetries",
                           "lngTenthSecsBetweenComRetries",
                           "lngPWTimeout",
                           "bEnableTamperSupervision"};
    QString pc = QStringLiteral(
        "CREATE TABLE PropertyConfig (idxPropConfigID INTEGER NOT NULL PRIMARY KEY, lngPropNum "
        "INTEGER, "
        "strPropName VARCHAR(50), idxEMSID INTEGER, lngVRQPort INTEGER DEFAULT 6669, "
        "intRFIDLayout INTEGER DEFAULT 1, intMsgHdrTypeID INTEGER DEFAULT 1, "
        "intBroadcastThreshold INTEGER DEFAULT 20, intLockLogExpireDays SMALLINT DEFAULT 365, "
        "intStaffKeyLogExpireDays SMALLINT DEFAULT 60, bEnhancedRFID INTEGER DEFAULT -1, "
        "intRFIDTrack2_Format INTEGER DEFAULT 1, intInnerRangeFile_Format INTEGER DEFAULT 1, "
        "strInnerRangeGenericFile_Name VARCHAR(25) DEFAULT 'Halvex_output001.dui', "
        "intMinDif_ClockSet INTEGER DEFAULT 10, bExcludeDeviceStatusMsg SMALLINT DEFAULT -1, "
        "bHideLegacyEncoders SMALLINT DEFAULT -1, bNewUserClientAccess INTEGER DEFAULT -1, "
        "intOTA_int_initial_TO SMALLINT DEFAULT 710, intOTA_int_retry_count SMALLINT DEFAULT 0, "
        "intOTA_int_retry_delay SMALLINT DEFAULT 120, strRFID_Security VARCHAR(20), "
        "STRRFIDSECTOR_KEYA VARCHAR(12), "
        "strSecureShiftOptions VARCHAR(30) DEFAULT '000101000000000000000000000000', "
        "strExtPanID VARCHAR(32) DEFAULT '', strSchindlerCompanyName VARCHAR(25) DEFAULT '0', "
        "strSchindlerIP_Addr VARCHAR(25) DEFAULT '0', lngMaxLogons INTEGER, "
        "strInnerRangeFilePath VARCHAR(255)");
    for (const QString& f : pcFlags)
        pc += QStringLiteral(", ") + f + QStringLiteral(" INTEGER DEFAULT 0");
    pc += u')';

    execAll(
        db,
        {
            pc,
            QStringLiteral("CREATE TABLE PropertySettings (idxPropertySettingsID INTEGER NOT NULL "
                           "PRIMARY KEY, "
                           "intGracePeriodCheckOut SMALLINT DEFAULT 0, intGracePeriodBlockKey "
                           "SMALLINT DEFAULT 0)"),
            QStringLiteral("CREATE TABLE DST (idxDSTID INTEGER NOT NULL PRIMARY KEY)"),
            QStringLiteral(
                "CREATE TABLE EMS (idxEMSID INTEGER NOT NULL PRIMARY KEY, strEMSName VARCHAR(25))"),
            QStringLiteral("CREATE TABLE ClientMachine (idxMachineID INTEGER NOT NULL PRIMARY KEY, "
                           "strName VARCHAR(25) NOT NULL UNIQUE, strIPAddr VARCHAR(25), "
                           "lngMachineType INTEGER, "
                           "strPreferredIPAddr VARCHAR(25) DEFAULT '')"),
            QStringLiteral(
                "CREATE TABLE ClientStation (idxMachineID INTEGER NOT NULL, strStationID "
                "VARCHAR(15) NOT NULL, "
                "lngPort INTEGER, lngEncoder_Baud INTEGER, lngLPI_Baud INTEGER, lngInterfaceType "
                "INTEGER, "
                "idxKeyPrintLayoutID INTEGER, strDeviceName VARCHAR(100), "
                "bUSB_Port INTEGER DEFAULT 0 NOT NULL, PRIMARY KEY (strStationID, idxMachineID))"),
            QStringLiteral(
                "CREATE TABLE KeyPrintLayout (idxKeyPrintLayoutID INTEGER NOT NULL PRIMARY KEY, "
                "strName VARCHAR(50), datRecordLocked ") +
                ts() + QStringLiteral(", lngOrientation INTEGER)"),
            QStringLiteral(
                "CREATE TABLE KeyPrintFieldDef (idxKeyPrintLayoutID INTEGER NOT NULL, idxFieldID "
                "INTEGER NOT NULL, "
                "strFont_Name VARCHAR(50), intFont_Charset INTEGER, intFont_Pitch INTEGER, "
                "intFont_Size INTEGER, intFont_Style INTEGER, intXPos INTEGER, intYPos INTEGER, "
                "PRIMARY KEY (idxKeyPrintLayoutID, idxFieldID))"),
            QStringLiteral("CREATE TABLE Lock (idxLockID INTEGER NOT NULL PRIMARY KEY, strLockName "
                           "VARCHAR(50))"),
            QStringLiteral("CREATE TABLE DEVICETYPE (idxDeviceType INTEGER NOT NULL PRIMARY KEY, "
                           "strDesc VARCHAR(50))"),
            QStringLiteral(
                "CREATE TABLE NON_LOCK_DEVICE (idxDeviceID INTEGER NOT NULL PRIMARY KEY, "
                "idxDeviceType INTEGER, strName VARCHAR(50))"),
            QStringLiteral("CREATE TABLE SerialNum (idxID INTEGER NOT NULL PRIMARY KEY, "
                           "lngSerialNum INTEGER, lngMax INTEGER)"),
            QStringLiteral("CREATE TABLE NextIDClient (strTableName VARCHAR(31) NOT NULL PRIMARY "
                           "KEY, idxNextID INTEGER, "
                           "lngMaxID INTEGER DEFAULT 0)"),
            QStringLiteral("CREATE TABLE NextIDDesign (strTableName VARCHAR(31) NOT NULL PRIMARY "
                           "KEY, idxNextID INTEGER, "
                           "lngMaxID INTEGER DEFAULT 0)"),
            QStringLiteral(
                "CREATE TABLE Users (idxUserID INTEGER NOT NULL PRIMARY KEY, strFirstName "
                "VARCHAR(25), "
                "strLastName VARCHAR(25), strMiddleName VARCHAR(25), lngLPIUserID INTEGER, "
                "strUserID VARCHAR(15), strPassword VARCHAR(15), strPassword_New VARCHAR(32), "
                "strPassword_Interface VARCHAR(15), bAdmin INTEGER DEFAULT 0, datCreated ") +
                ts() + QStringLiteral(", bDeleted INTEGER DEFAULT 0, datDeleted ") + ts() +
                QStringLiteral(", datRecordLocked ") + ts() + QStringLiteral(", datLoggedOn ") +
                ts() + QStringLiteral(", datLoggedOn_VRQ ") + ts() +
                QStringLiteral(", datLastLogOn ") + ts() +
                QStringLiteral(", datLastInvalidLogon ") + ts() +
                QStringLiteral(", intInvalidLogonCount SMALLINT DEFAULT 0, bAllowRemoteDoorOpen "
                               "INTEGER DEFAULT 0, "
                               "idxStaffID INTEGER)"),
            QStringLiteral("CREATE TABLE PWD_History (idxUserID INTEGER NOT NULL, strPassword "
                           "VARCHAR(25) NOT NULL, "
                           "datAdded ") +
                ts() + QStringLiteral(", PRIMARY KEY (idxUserID, strPassword))"),
            QStringLiteral(
                "CREATE TABLE UserToUserGroup (idxUserID INTEGER, idxUserGroupID INTEGER)"),
            QStringLiteral("CREATE TABLE UserAuth (idxUserID INTEGER, bUserGroupID INTEGER, "
                           "idxTransAuthID INTEGER, "
                           "idxKeyGroupID INTEGER, lngOverrideAuthLevel INTEGER, datCreated ") +
                ts() + u')',
            QStringLiteral("CREATE TABLE Version_DSN (sngVersion FLOAT)"),
            QStringLiteral("CREATE TABLE Version_DAT (sngVersion FLOAT)"),
            QStringLiteral("CREATE TABLE Version_SYS (sngVersion FLOAT)"),
            QStringLiteral("CREATE TABLE LockLogs (idxLockLogID INTEGER NOT NULL PRIMARY KEY, "
                           "STRRAWDATA VARCHAR(255), "
                           "IDXINTERROGATEMETHOD INTEGER)"),
            QStringLiteral("CREATE TABLE LockInterrogateMethod (idxID INTEGER NOT NULL PRIMARY "
                           "KEY, strName VARCHAR(25))"),
        });
}

void SeedMainDatabase(TFbConnection& db, const TSiteOptions& o) {
    TFbTransaction t(db);
    t.Exec(QStringLiteral(
               "INSERT INTO PropertyConfig (idxPropConfigID, lngPropNum, strPropName, idxEMSID, "
               "lngVRQPort, strRFID_Security, lngMaxLogons) VALUES (1, :N, :NAME, 1, :P, "
               "'00000000', 10)"),
           {{QStringLiteral("N"), o.lngPropNum},
            {QStringLiteral("NAME"), o.strPropName},
            {QStringLiteral("P"), o.lngVRQPort}});
    t.Exec(QStringLiteral("INSERT INTO PropertySettings (idxPropertySettingsID) VALUES (1)"));
    t.Exec(QStringLiteral("INSERT INTO DST (idxDSTID) VALUES (1)"));
    t.Exec(QStringLiteral("INSERT INTO EMS (idxEMSID, strEMSName) VALUES (1, 'NONE')"));
    t.Exec(QStringLiteral("INSERT INTO EMS (idxEMSID, strEMSName) VALUES (3, 'MESSENGER')"));
    t.Exec(
        QStringLiteral("INSERT INTO SerialNum (idxID, lngSerialNum, lngMax) VALUES (1, 1, 50000)"));
    t.Exec(QStringLiteral("INSERT INTO NextIDClient (strTableName, idxNextID, lngMaxID) VALUES "
                          "('CLIENTMACHINE', 0, 0)"));
    t.Exec(QStringLiteral(
        "INSERT INTO NextIDClient (strTableName, idxNextID, lngMaxID) VALUES ('USERS', 1, 0)"));
    for (const auto& [id, name] :
         {std::pair{1, "HAND-HELD"}, std::pair{2, "REMOTE"}, std::pair{3, "INTERROGATION KEY"}})
        t.Exec(QStringLiteral("INSERT INTO LockInterrogateMethod (idxID, strName) VALUES (:I, :N)"),
               {{QStringLiteral("I"), id}, {QStringLiteral("N"), QString::fromLatin1(name)}});
    t.Exec(QStringLiteral("INSERT INTO Version_SYS (sngVersion) VALUES (:V)"),
           {{QStringLiteral("V"), kSiteVersionSYS}});
    t.Exec(QStringLiteral("INSERT INTO Version_DSN (sngVersion) VALUES (:V)"),
           {{QStringLiteral("V"), kSiteVersionDSN}});
    t.Exec(QStringLiteral("INSERT INTO Version_DAT (sngVersion) VALUES (:V)"),
           {{QStringLiteral("V"), kSiteVersionDAT}});
    if (!o.adminUserID.isEmpty()) {
        const QDateTime now = QDateTime::currentDateTime();
        t.Exec(QStringLiteral(
                   "INSERT INTO Users (idxUserID, strFirstName, strLastName, strUserID, "
                   "strPassword_New, "
                   "bAdmin, datCreated) VALUES (1, 'Site', 'Administrator', :U, :P, -1, :D)"),
               {{QStringLiteral("U"), o.adminUserID},
                {QStringLiteral("P"), PasswordStoredForm(o.adminPassword)},
                {QStringLiteral("D"), now}});
    }
    t.Commit();
}

void CreateLogSchema(TFbConnection& db) {
    execAll(
        db,
        {
            QStringLiteral("CREATE TABLE TxLogGeneral (idxTxLogID INTEGER NOT NULL PRIMARY KEY, "
                           "idxParentTxLogID INTEGER, "
                           "idxTransAuthID INTEGER, strTargetCode VARCHAR(2), idxTargetID INTEGER, "
                           "datCreated ") +
                ts() +
                QStringLiteral(", idxUserID INTEGER, idxTxStatusID INTEGER, strTxErrors "
                               "VARCHAR(75), idxRqstSystemID INTEGER, "
                               "datOccurred ") +
                ts() + u')',
            QStringLiteral(
                "CREATE TABLE TxLogKeyMaking (idxTxLogID INTEGER NOT NULL PRIMARY KEY, "
                "intNumOfKeys SMALLINT, "
                "intKeyMakeStatus SMALLINT, lngDeviceFlags INTEGER, strAppVersion VARCHAR(8), "
                "intKeyMedia SMALLINT, intFirstDupIDNum SMALLINT, idxAddlDataTypeID INTEGER, "
                "datExpire ") +
                ts() + QStringLiteral(", strKeyBytes VARCHAR(17))"),
            QStringLiteral("CREATE TABLE TxLogSequence (idxTxLogID INTEGER NOT NULL PRIMARY KEY, "
                           "lngSeqOrder INTEGER, "
                           "datNewKeyOrCheckout ") +
                ts() + u')',
            QStringLiteral(
                "CREATE TABLE TxLogAction (idxTxLogID INTEGER NOT NULL PRIMARY KEY, bytTxActionID1 "
                "SMALLINT, "
                "bytTxActionID2 SMALLINT, bytTxActionID3 SMALLINT, bytTxActionID4 SMALLINT, "
                "bytTxActionID5 SMALLINT, "
                "bytTxActionID6 SMALLINT, bytTxActionID7 SMALLINT, bytTxActionID8 SMALLINT)"),
            QStringLiteral("CREATE TABLE Version_LOG (sngVersion FLOAT)"),
            QStringLiteral("CREATE GENERATOR GEN_TXLOGID"),
            // The first of the reserved numbers is INTNEXTID + 2 - INTINCREMENT.
            QStringLiteral(
                "CREATE PROCEDURE NEXTLOGID (INTINCREMENT INTEGER) RETURNS (INTNEXTID INTEGER) AS "
                "BEGIN INTNEXTID = GEN_ID(GEN_TXLOGID, :INTINCREMENT) - 1; END"),
        });
}

void SeedLogDatabase(TFbConnection& db) {
    db.Exec(QStringLiteral("INSERT INTO Version_LOG (sngVersion) VALUES (:V)"),
            {{QStringLiteral("V"), kSiteVersionLOG}});
}
