#include "unitPropertyConfigSettings.h"

#include "unitTrace.h"

RPropertyConfig& g_PropertyConfig() {
    static RPropertyConfig c;
    return c;
}

RRFID_Card_Layout& g_RFID_Card_Layout() {
    static RRFID_Card_Layout l;
    return l;
}

bool& g_bAllowDatacardCP60() {
    static bool b = false;
    return b;
}

TRowSet qryPropertyConfig(TFbConnection& db) {
    return db.Query(QStringLiteral(
        "SELECT * FROM PropertyConfig pc "
        "JOIN PropertySettings ps ON ps.idxPropertySettingsID = pc.idxPropConfigID "
        "JOIN DST d ON d.idxDSTID = pc.idxPropConfigID WHERE pc.idxPropConfigID = 1"));
}

void PropertyConfigFromRow(const TRowSet& r, RPropertyConfig& c) {
    c = RPropertyConfig{};
    auto i = [&](const char* n) { return int32_t(r.Int(0, QLatin1String(n))); };
    auto b = [&](const char* n) { return r.Flag(0, QLatin1String(n)); };
    auto s = [&](const char* n) { return r.Str(0, QLatin1String(n)); };
    c.intMsgHdrTypeID = i("intMsgHdrTypeID");
    c.bSendInhibitKeyWithCheckout = b("bSendInhibitKeyWithCheckout");
    c.bUseBLEUID = b("bUseBLEUID");
    c.intBroadcastThreshold = i("intBroadcastThreshold");
    c.lngPropNum = i("lngPropNum");
    c.idxEMSID = i("idxEMSID");
    c.bInncomDevices = b("bInncomDevices");
    c.bMixedSystem = b("bMixedSystem");
    c.lngNumOfComBusyRetries = i("lngNumOfComBusyRetries");
    c.lngTenthSecsBetweenComRetries = i("lngTenthSecsBetweenComRetries") * 100;
    const int32_t pw = i("lngPWTimeout");
    c.lngPWTimeout = (pw <= 0 ? 10 : pw) * 60;
    c.bInternetVersion = b("bInternetVersion");
    c.bELPS = b("bELPS");
    c.bAllowSecureShift = b("bAllowSecureShift");
    c.intLockLogExpireDays = i("intLockLogExpireDays");
    c.bAllowOpenDoor = b("bAllowOpenDoor");
    c.lngVRQPort = i("lngVRQPort");
    c.bNewUserClientAccess = b("bNewUserClientAccess");
    c.bExpandedLevels = b("bExpandedLevels");
    c.intLevelCount = c.bExpandedLevels ? 32 : 16;
    c.bExpandedMsgrCapability = b("bExpandedMsgrCapability");
    c.strExtPanID = s("strExtPanID");
    c.bExtendExpiration = b("bExtendExpiration");
    c.bSendExtendKeyWithChgCO = b("bSendExtendKeyWithChgCO");
    c.intPropertyCapabilityLevel = i("intPropertyCapabilityLevel");
    c.bShare_With_Capable = b("bShare_With_Capable");
    c.bUnlatchToAllLocks = b("bUnlatchToAllLocks");
    c.bAllowPropZero = b("bAllowPropZero");
    c.bRequireReportAuths = b("bRequireReportAuths");
    c.intOTA_int_initial_TO = i("intOTA_int_initial_TO");
    c.intOTA_int_retry_count = i("intOTA_int_retry_count");
    c.intOTA_int_retry_delay = i("intOTA_int_retry_delay");
    c.bInnerRangeInterface = b("bInnerRangeInterface");
    c.bEscapeReturnProperty = b("bEscapeReturnProperty");
    c.intEscapeReturnDelay = i("intEscapeReturnDelay");
    c.bSchindlerPortInterface = b("bSchindlerPortInterface");
    c.lngSchindlerPort = i("lngSchindlerPort");
    c.strSchindlerIP_Addr = s("strSchindlerIP_Addr");
    c.strSchindlerCompanyName = s("strSchindlerCompanyName");
    c.bAutoDSTUpdateHubs = b("bAutoDSTUpdateHubs");
    c.bIgnoreTrack2ViaClient = b("bIgnoreTrack2ViaClient");
    c.intInnerRangeFile_Format = i("intInnerRangeFile_Format");
    c.strInnerRangeFileName = s("strInnerRangeGenericFile_Name");
    c.strInnerRangeFilePath = s("strInnerRangeFilePath");
    c.intMinDif_ClockSet = i("intMinDif_ClockSet");
    c.bExcludeDeviceStatusMsg = b("bExcludeDeviceStatusMsg");
    c.bEnableTamperSupervision = b("bEnableTamperSupervision");
    c.bHideLegacyEncoders = b("bHideLegacyEncoders");
    c.strSecureShiftOptions = s("strSecureShiftOptions");

    if (c.intPropertyCapabilityLevel == 0) {
        c.bExpandedLevels = false;
        c.bExtendExpiration = false;
        c.bSendExtendKeyWithChgCO = false;
        c.bShare_With_Capable = false;
        c.bExpandedMsgrCapability = false;
        c.bEscapeReturnProperty = false;
    }
    if (!c.bEscapeReturnProperty)
        c.intEscapeReturnDelay = 0;
    if (c.intInnerRangeFile_Format == 1)
        c.strInnerRangeFileName = QStringLiteral("Insight001.dui");
    if (c.intMsgHdrTypeID == 1)
        c.bExcludeDeviceStatusMsg = false;
    c.bSecureShiftOption01 = c.strSecureShiftOptions.left(2) == QStringLiteral("01");
}

void RFIDLayoutFromRow(const TRowSet& r, RRFID_Card_Layout& l) {
    l = RRFID_Card_Layout{};
    bool ok = false;
    const int security = r.Str(0, QStringLiteral("strRFID_Security")).left(2).toInt(&ok, 16);
    const int level = ok ? security : 0;
    const int64_t layout = r.Int(0, QStringLiteral("intRFIDLayout"));
    if (layout < 0 || layout > 255)
        throw EUlmex(QStringLiteral("Range check error: intRFIDLayout %1").arg(layout));
    l.intRFIDLayout = int32_t(layout);
    if (!r.HasField(QStringLiteral("bEnhancedRFID")))
        throw EUlmex(QStringLiteral("Field 'bEnhancedRFID' not found"));
    l.bEnhancedRFID = r.Flag(0, QStringLiteral("bEnhancedRFID"));
    const bool track2Column = r.Flag(0, QStringLiteral("bRFID_Track2"));
    l.bRFID_Track2 = track2Column;
    l.bUseSector3 = r.Flag(0, QStringLiteral("bUseSector3"));
    l.bAdvancedKeyVerification = r.Flag(0, QStringLiteral("bAdvancedKeyVerification")) || level > 0;
    l.intRFIDTrack2_Format = int32_t(r.Int(0, QStringLiteral("intRFIDTrack2_Format")));
    if (!track2Column)
        l.intRFIDTrack2_Format = 1;
    if (l.intRFIDLayout != 1 || level > 0)
        l.bEnhancedRFID = true;
    l.KeySector = 0;
    l.CapacityOverride = -1;
    l.ThirdSector = 3;
    l.Track2Sector = 2;
    l.HeaderSector = 1;
    l.DataStartSector = 4;
    l.LastSectorOverride = -1;
    l.PointerOrigin = 256;
    l.AuditSupport = true;
    l.bRFID_Track1 = r.Flag(0, QStringLiteral("bRFID_Track1"));
    l.intrfidtrack1sector = int32_t(r.Int(0, QStringLiteral("intrfidtrack1sector")));
    l.STRRFIDSECTOR_KEYA = r.Str(0, QStringLiteral("STRRFIDSECTOR_KEYA"));
    switch (l.intRFIDLayout) {
    case 2:
        l.KeySector = 3;
        l.ThirdSector = 0;
        l.Track2Sector = 0;
        l.HeaderSector = 4;
        l.DataStartSector = 5;
        l.LastSectorOverride = 7;
        l.PointerOrigin = 320;
        l.AuditSupport = false;
        l.bRFID_Track2 = false;
        l.bUseSector3 = false;
        break;
    case 3:
        l.KeySector = 6;
        l.ThirdSector = 9;
        l.Track2Sector = 8;
        l.HeaderSector = 7;
        l.DataStartSector = 10;
        l.bRFID_Track2 = true;
        l.bUseSector3 = true;
        break;
    case 4:
        l.KeySector = 16;
        l.ThirdSector = 18;
        l.Track2Sector = 0;
        l.HeaderSector = 17;
        l.DataStartSector = 19;
        l.LastSectorOverride = 20;
        l.AuditSupport = false;
        l.bRFID_Track2 = false;
        l.bUseSector3 = true;
        l.bLayout4 = true;
        break;
    default:
        break;
    }
    l.PointerOffset = l.intRFIDLayout == 2 ? 0 : (l.DataStartSector - 4) * 64;
}

bool GlobalPropertyConfig_Get(TFbConnection& db) {
    try {
        const TConnectionGuard open(db);
        const TRowSet row = qryPropertyConfig(db);
        PropertyConfigFromRow(row, g_PropertyConfig());
        g_bAllowDatacardCP60() = row.Flag(0, QStringLiteral("bAllowDatacardCP60"));
        return true;
    } catch (const std::exception& e) {
        DebugLog(QStringLiteral("GlobalPropertyConfig_Get: ") + ExceptionText(e));
        return false;
    }
}

bool GlobalRFID_LayoutInfo_Get(TFbConnection& db) {
    DebugLogMessage(QStringLiteral("99"), QStringLiteral("      Inside GlobalRFID_LayoutInfo_Get"));
    bool ok = false;
    try {
        const TConnectionGuard open(db);
        RFIDLayoutFromRow(qryPropertyConfig(db), g_RFID_Card_Layout());
        ok = true;
    } catch (const std::exception& e) {
        DebugLog(QStringLiteral("GlobalRFID_LayoutInfo_Get: ") + ExceptionText(e));
    }
    DebugLogMessage(QStringLiteral("99"),
                    QStringLiteral("      Inside finally GlobalRFID_LayoutInfo_Get"));
    return ok;
}
