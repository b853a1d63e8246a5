// The configuration record and the contactless card layout derived from configuration row 1.
#include "dbTestSite.h"
#include "unitPropertyConfigSettings.h"

#include <functional>

namespace {

// A configuration row of the given columns (unnamed columns do not exist).
TRowSet Row(const QList<QPair<QString, QVariant>>& columns) {
    QStringList names;
    QVector<QVariant> values;
    for (const auto& c : columns) {
        names.append(c.first.toUpper());
        values.append(c.second);
    }
    return TRowSet(names, {values});
}

struct ConfigCase {
    const char* what;
    QList<QPair<QString, QVariant>> columns;
    std::function<void(const RPropertyConfig&)> check;
};

TEST(PropertyConfig, DerivationRules) {
    const QVariant null;
    const ConfigCase cases[] = {
        {"password time-out 0 gives 600 s",
         {{"lngPWTimeout", 0}},
         [](const RPropertyConfig& c) { EXPECT_EQ(c.lngPWTimeout, 600); }},
        {"password time-out 5 gives 300 s",
         {{"lngPWTimeout", 5}},
         [](const RPropertyConfig& c) { EXPECT_EQ(c.lngPWTimeout, 300); }},
        {"missing password time-out gives 600 s",
         {},
         [](const RPropertyConfig& c) { EXPECT_EQ(c.lngPWTimeout, 600); }},
        {"com retry pause in ms",
         {{"lngTenthSecsBetweenComRetries", 3}},
         [](const RPropertyConfig& c) { EXPECT_EQ(c.lngTenthSecsBetweenComRetries, 300); }},
        {"capability 0 clears expanded levels but counts 32",
         {{"intPropertyCapabilityLevel", 0},
          {"bExpandedLevels", -1},
          {"bExtendExpiration", 1},
          {"bSendExtendKeyWithChgCO", 1},
          {"bShare_With_Capable", 1},
          {"bExpandedMsgrCapability", 1},
          {"bEscapeReturnProperty", -1},
          {"intEscapeReturnDelay", 9}},
         [](const RPropertyConfig& c) {
             EXPECT_FALSE(c.bExpandedLevels);
             EXPECT_EQ(c.intLevelCount, 32);
             EXPECT_FALSE(c.bExtendExpiration);
             EXPECT_FALSE(c.bSendExtendKeyWithChgCO);
             EXPECT_FALSE(c.bShare_With_Capable);
             EXPECT_FALSE(c.bExpandedMsgrCapability);
             EXPECT_FALSE(c.bEscapeReturnProperty);
             EXPECT_EQ(c.intEscapeReturnDelay, 0);
         }},
        {"capability 1 keeps the flags",
         {{"intPropertyCapabilityLevel", 1},
          {"bExpandedLevels", -1},
          {"bEscapeReturnProperty", -1},
          {"intEscapeReturnDelay", 9}},
         [](const RPropertyConfig& c) {
             EXPECT_TRUE(c.bExpandedLevels);
             EXPECT_EQ(c.intLevelCount, 32);
             EXPECT_EQ(c.intEscapeReturnDelay, 9);
         }},
        {"16 levels without expanded levels",
         {{"bExpandedLevels", 0}},
         [](const RPropertyConfig& c) { EXPECT_EQ(c.intLevelCount, 16); }},
        {"escape delay 0 without escape return",
         {{"intPropertyCapabilityLevel", 1},
          {"bEscapeReturnProperty", 0},
          {"intEscapeReturnDelay", 9}},
         [](const RPropertyConfig& c) { EXPECT_EQ(c.intEscapeReturnDelay, 0); }},
        {"header type 1 forces device status messages on",
         {{"intMsgHdrTypeID", 1}, {"bExcludeDeviceStatusMsg", -1}},
         [](const RPropertyConfig& c) { EXPECT_FALSE(c.bExcludeDeviceStatusMsg); }},
        {"header type 2 keeps the column",
         {{"intMsgHdrTypeID", 2}, {"bExcludeDeviceStatusMsg", -1}},
         [](const RPropertyConfig& c) { EXPECT_TRUE(c.bExcludeDeviceStatusMsg); }},
        {"inner range format 1 uses Insight001.dui",
         {{"intInnerRangeFile_Format", 1},
          {"strInnerRangeGenericFile_Name", "Halvex_output001.dui"}},
         [](const RPropertyConfig& c) {
             EXPECT_EQ(c.strInnerRangeFileName, QStringLiteral("Insight001.dui"));
         }},
        {"inner range format 2 uses the column",
         {{"intInnerRangeFile_Format", 2},
          {"strInnerRangeGenericFile_Name", "Halvex_output001.dui"}},
         [](const RPropertyConfig& c) {
             EXPECT_EQ(c.strInnerRangeFileName, QStringLiteral("Halvex_output001.dui"));
         }},
        {"secure shift option 01",
         {{"strSecureShiftOptions", "010000"}},
         [](const RPropertyConfig& c) { EXPECT_TRUE(c.bSecureShiftOption01); }},
        {"secure shift option 00",
         {{"strSecureShiftOptions", "000101"}},
         [](const RPropertyConfig& c) { EXPECT_FALSE(c.bSecureShiftOption01); }},
        {"without bUseBLEUID, NULL and empty values read as 0",
         {{"lngVRQPort", null}, {"strExtPanID", null}, {"idxEMSID", ""}},
         [](const RPropertyConfig& c) {
             EXPECT_FALSE(c.bUseBLEUID);
             EXPECT_EQ(c.lngVRQPort, 0);
             EXPECT_EQ(c.idxEMSID, 0);
             EXPECT_TRUE(c.strExtPanID.isEmpty());
         }},
        {"any non-zero flag is true",
         {{"bUseBLEUID", 7}, {"bAllowPropZero", -1}, {"lngVRQPort", 6669}},
         [](const RPropertyConfig& c) {
             EXPECT_TRUE(c.bUseBLEUID);
             EXPECT_TRUE(c.bAllowPropZero);
             EXPECT_EQ(c.lngVRQPort, 6669);
         }},
    };
    for (const ConfigCase& k : cases) {
        SCOPED_TRACE(k.what);
        RPropertyConfig c;
        c.lngVRQPort = 1234; // the record is zeroed before loading
        PropertyConfigFromRow(Row(k.columns), c);
        k.check(c);
    }
}

struct LayoutCase {
    const char* what;
    QList<QPair<QString, QVariant>> columns;
    std::function<void(const RRFID_Card_Layout&)> check;
};

TEST(RFIDLayout, PerLayoutValuesAndRules) {
    const auto base = [](QList<QPair<QString, QVariant>> extra) {
        extra.prepend({QStringLiteral("bEnhancedRFID"), 0});
        return extra;
    };
    const LayoutCase cases[] = {
        {"layout 1 defaults",
         base({{"intRFIDLayout", 1},
               {"bRFID_Track2", -1},
               {"bUseSector3", 0},
               {"intRFIDTrack2_Format", 2}}),
         [](const RRFID_Card_Layout& l) {
             EXPECT_EQ(l.KeySector, 0);
             EXPECT_EQ(l.ThirdSector, 3);
             EXPECT_EQ(l.Track2Sector, 2);
             EXPECT_EQ(l.HeaderSector, 1);
             EXPECT_EQ(l.DataStartSector, 4);
             EXPECT_EQ(l.LastSectorOverride, -1);
             EXPECT_EQ(l.PointerOrigin, 256);
             EXPECT_EQ(l.PointerOffset, 0);
             EXPECT_EQ(l.CapacityOverride, -1);
             EXPECT_TRUE(l.AuditSupport);
             EXPECT_TRUE(l.bRFID_Track2);
             EXPECT_FALSE(l.bUseSector3);
             EXPECT_FALSE(l.bEnhancedRFID);
             EXPECT_EQ(l.intRFIDTrack2_Format, 2);
         }},
        {"layout 2, track 2 off: format 1 before the layout forces track 2 off",
         base({{"intRFIDLayout", 2}, {"bRFID_Track2", 0}, {"intRFIDTrack2_Format", 3}}),
         [](const RRFID_Card_Layout& l) {
             EXPECT_EQ(l.intRFIDTrack2_Format, 1);
             EXPECT_FALSE(l.bRFID_Track2);
             EXPECT_EQ(l.KeySector, 3);
             EXPECT_EQ(l.LastSectorOverride, 7);
             EXPECT_EQ(l.PointerOrigin, 320);
             EXPECT_EQ(l.PointerOffset, 0);
             EXPECT_FALSE(l.AuditSupport);
             EXPECT_TRUE(l.bEnhancedRFID) << "forced for layouts other than 1";
         }},
        {"layout 3",
         base({{"intRFIDLayout", 3}, {"bRFID_Track2", -1}, {"intRFIDTrack2_Format", 2}}),
         [](const RRFID_Card_Layout& l) {
             EXPECT_EQ(l.KeySector, 6);
             EXPECT_EQ(l.ThirdSector, 9);
             EXPECT_EQ(l.Track2Sector, 8);
             EXPECT_EQ(l.HeaderSector, 7);
             EXPECT_EQ(l.DataStartSector, 10);
             EXPECT_EQ(l.PointerOffset, 384);
             EXPECT_TRUE(l.bRFID_Track2);
             EXPECT_TRUE(l.bUseSector3);
             EXPECT_FALSE(l.bLayout4);
         }},
        {"layout 4", base({{"intRFIDLayout", 4}}),
         [](const RRFID_Card_Layout& l) {
             EXPECT_EQ(l.KeySector, 16);
             EXPECT_EQ(l.ThirdSector, 18);
             EXPECT_EQ(l.HeaderSector, 17);
             EXPECT_EQ(l.DataStartSector, 19);
             EXPECT_EQ(l.LastSectorOverride, 20);
             EXPECT_EQ(l.PointerOffset, 960);
             EXPECT_TRUE(l.bUseSector3);
             EXPECT_TRUE(l.bLayout4);
         }},
        {"security level 01 forces advanced verification and enhanced RFID",
         base({{"intRFIDLayout", 1},
               {"strRFID_Security", "01000000"},
               {"bAdvancedKeyVerification", 0}}),
         [](const RRFID_Card_Layout& l) {
             EXPECT_TRUE(l.bAdvancedKeyVerification);
             EXPECT_TRUE(l.bEnhancedRFID);
         }},
        {"an invalid security level counts as 0",
         base({{"intRFIDLayout", 1}, {"strRFID_Security", "ZZ"}, {"bAdvancedKeyVerification", 0}}),
         [](const RRFID_Card_Layout& l) {
             EXPECT_FALSE(l.bAdvancedKeyVerification);
             EXPECT_FALSE(l.bEnhancedRFID);
         }},
        {"NULL bEnhancedRFID reads as false",
         {{"bEnhancedRFID", QVariant()}, {"intRFIDLayout", 1}},
         [](const RRFID_Card_Layout& l) { EXPECT_FALSE(l.bEnhancedRFID); }},
        {"track 1 columns",
         base({{"intRFIDLayout", 1},
               {"bRFID_Track1", -1},
               {"intrfidtrack1sector", 5},
               {"STRRFIDSECTOR_KEYA", "A0A1A2A3A4A5"}}),
         [](const RRFID_Card_Layout& l) {
             EXPECT_TRUE(l.bRFID_Track1);
             EXPECT_EQ(l.intrfidtrack1sector, 5);
             EXPECT_EQ(l.STRRFIDSECTOR_KEYA, QStringLiteral("A0A1A2A3A4A5"));
         }},
    };
    for (const LayoutCase& k : cases) {
        SCOPED_TRACE(k.what);
        RRFID_Card_Layout l;
        EXPECT_NO_THROW(RFIDLayoutFromRow(Row(k.columns), l));
        k.check(l);
    }
}

TEST(RFIDLayout, MissingEnhancedColumnOrLayoutAbove255_Fails) {
    RRFID_Card_Layout l;
    EXPECT_ANY_THROW(RFIDLayoutFromRow(Row({{"intRFIDLayout", 1}}), l));
    EXPECT_ANY_THROW(RFIDLayoutFromRow(Row({{"bEnhancedRFID", 0}, {"intRFIDLayout", 256}}), l));
    EXPECT_NO_THROW(RFIDLayoutFromRow(Row({{"bEnhancedRFID", 0}, {"intRFIDLayout", 255}}), l));
}

TEST(PropertyConfig, LoadsFromANewSite) {
    QTemporaryDir dir;
    ASSERT_TRUE(CopySiteTo(dir.path()));
    TFbConnection db;
    db.SetDatabase(dir.filePath(QStringLiteral("halvexdatav2.GDB")));
    ASSERT_TRUE(GlobalPropertyConfig_Get(db));
    ASSERT_TRUE(GlobalRFID_LayoutInfo_Get(db));
    const RPropertyConfig& c = g_PropertyConfig();
    EXPECT_EQ(c.lngVRQPort, 7123);
    EXPECT_EQ(c.intMsgHdrTypeID, 1);
    EXPECT_EQ(c.intBroadcastThreshold, 20);
    EXPECT_EQ(c.intLockLogExpireDays, 365);
    EXPECT_EQ(c.intMinDif_ClockSet, 10);
    EXPECT_EQ(c.intOTA_int_initial_TO, 710);
    EXPECT_EQ(c.intOTA_int_retry_delay, 120);
    EXPECT_TRUE(c.bHideLegacyEncoders);
    EXPECT_FALSE(c.bExcludeDeviceStatusMsg); // header type 1
    EXPECT_EQ(c.strSchindlerIP_Addr, QStringLiteral("0"));
    EXPECT_EQ(c.strSecureShiftOptions, QStringLiteral("000101000000000000000000000000"));
    EXPECT_EQ(c.strInnerRangeFileName, QStringLiteral("Insight001.dui"));
    EXPECT_EQ(g_RFID_Card_Layout().intRFIDLayout, 1);
    EXPECT_EQ(g_RFID_Card_Layout().intRFIDTrack2_Format, 1);
    EXPECT_FALSE(db.Connected()) << "the configuration query is closed again";
}

} // namespace
