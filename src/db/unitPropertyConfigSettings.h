#pragma once
// The process-wide configuration record and contactless card layout, loaded after every
// attachment from row 1 of PropertyConfig joined with PropertySettings and DST.

#include "FbConnection.h"

#include <QString>
#include <cstdint>

struct RPropertyConfig {
    int32_t intMsgHdrTypeID = 0;
    bool bSendInhibitKeyWithCheckout = false;
    bool bUseBLEUID = false;
    int32_t intBroadcastThreshold = 0;
    int32_t lngPropNum = 0;
    int32_t idxEMSID = 0;
    bool bInncomDevices = false;
    bool bMixedSystem = false;
    int32_t lngNumOfComBusyRetries = 0;
    int32_t lngTenthSecsBetweenComRetries = 0; // milliseconds
    int32_t lngPWTimeout = 0;                  // seconds
    bool bInternetVersion = false;
    bool bELPS = false;
    bool bAllowSecureShift = false;
    int32_t intLockLogExpireDays = 0;
    bool bAllowOpenDoor = false;
    int32_t lngVRQPort = 0;
    bool bNewUserClientAccess = false;
    bool bExpandedLevels = false;
    int32_t intLevelCount = 0;
    bool bExpandedMsgrCapability = false;
    QString strExtPanID;
    bool bExtendExpiration = false;
    bool bSendExtendKeyWithChgCO = false;
    int32_t intPropertyCapabilityLevel = 0;
    bool bShare_With_Capable = false;
    bool bUnlatchToAllLocks = false;
    bool bAllowPropZero = false;
    bool bRequireReportAuths = false;
    int32_t intOTA_int_initial_TO = 0;
    int32_t intOTA_int_retry_count = 0;
    int32_t intOTA_int_retry_delay = 0;
    bool bInnerRangeInterface = false;
    bool bEscapeReturnProperty = false;
    int32_t intEscapeReturnDelay = 0;
    bool bSchindlerPortInterface = false;
    int32_t lngSchindlerPort = 0;
    QString strSchindlerIP_Addr;
    QString strSchindlerCompanyName;
    bool bAutoDSTUpdateHubs = false;
    bool bIgnoreTrack2ViaClient = false;
    int32_t intInnerRangeFile_Format = 0;
    QString strInnerRangeFileName;
    QString strInnerRangeFilePath;
    int32_t intMinDif_ClockSet = 0;
    bool bExcludeDeviceStatusMsg = false;
    bool bEnableTamperSupervision = false;
    bool bHideLegacyEncoders = false;
    QString strSecureShiftOptions;
    bool bSecureShiftOption01 = false;
};

struct RRFID_Card_Layout {
    int32_t intRFIDLayout = 0;
    int32_t KeySector = 0;
    int32_t CapacityOverride = 0;
    int32_t ThirdSector = 0;
    int32_t Track2Sector = 0;
    int32_t HeaderSector = 0;
    int32_t DataStartSector = 0;
    int32_t LastSectorOverride = 0;
    int32_t PointerOrigin = 0;
    int32_t PointerOffset = 0;
    bool AuditSupport = false;
    bool bRFID_Track2 = false;
    bool bUseSector3 = false;
    bool bAdvancedKeyVerification = false;
    bool bEnhancedRFID = false;
    int32_t intRFIDTrack2_Format = 0;
    bool bLayout4 = false;
    bool bRFID_Track1 = false;
    int32_t intrfidtrack1sector = 0;
    QString STRRFIDSECTOR_KEYA;
};

RPropertyConfig& g_PropertyConfig();
RRFID_Card_Layout& g_RFID_Card_Layout();
// Read once at start by the controller.
bool& g_bAllowDatacardCP60();

// The joined configuration row 1.
TRowSet qryPropertyConfig(TFbConnection& db);
// Fill the records from a configuration row (tests feed rows of their own).
void PropertyConfigFromRow(const TRowSet& row, RPropertyConfig& c);
// Throws EUlmex when the row has no bEnhancedRFID or intRFIDLayout is above 255.
void RFIDLayoutFromRow(const TRowSet& row, RRFID_Card_Layout& l);

bool GlobalPropertyConfig_Get(TFbConnection& db);
bool GlobalRFID_LayoutInfo_Get(TFbConnection& db);
