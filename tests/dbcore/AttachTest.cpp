#include "DbFixture.h"
#include "IniFile.h"
#include "formVersions.h"
#include "unitPropertyConfigSettings.h"
#include "unitSharedSettings.h"
#include "unitSharedStuff.h"
#include "unitUtils.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

class AttachTest : public ::testing::Test {
protected:
    QTemporaryDir work;
    TFbConnection main, log;
    void SetUp() override {
        SetAppPath(work.path());
        g_Attach() = TAttachState{};
        g_intAppInitReturnCode = 0;
        SetRequiredVersions(3.6, 3.6, 1.0, 4.5);
    }
    void TearDown() override { SetAppPath(QString()); }
    void linkTo(const QString& folder) {
        TIniFile(work.filePath(QStringLiteral("halvex.ini")))
            .WriteString(QStringLiteral("Database"), QStringLiteral("LinkPath"), folder + u'/');
    }
    QString debugText() const {
        QFile f(work.filePath(QStringLiteral("DebugLogMessage_") +
                              QDate::currentDate().toString(QStringLiteral("yyyyMM")) +
                              QStringLiteral(".txt")));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }
};

TEST_F(AttachTest, EmbeddedSiteAttachesAndLoadsTheConfiguration) {
    TEmbeddedSite site;
    ASSERT_TRUE(site.error.isEmpty()) << site.error.toStdString();
    linkTo(site.Path());
    ASSERT_TRUE(AppInit(main, log, false, {})) << debugText().toStdString();
    EXPECT_EQ(g_intAppInitReturnCode, 0);
    EXPECT_EQ(g_PropertyConfig().lngVRQPort, 6669);
    EXPECT_EQ(g_PropertyConfig().strInnerRangeFileName, QStringLiteral("Insight001.dui"));
    EXPECT_EQ(g_RFID_Card_Layout().intRFIDLayout, 1);
    EXPECT_EQ(main.Database(), site.MainDb()) << "this computer opens its own files in-process";
    EXPECT_EQ(g_DatabaseVersions().DAT.Actual, 6.3);
}

TEST_F(AttachTest, SiteOnTheServerAttachesThroughIt) {
    const QString server = qEnvironmentVariable("VRQ_FB_SERVER");
    const QString data = qEnvironmentVariable("VRQ_FB_DATA");
    if (server.isEmpty() || data.isEmpty())
        GTEST_SKIP() << "no Firebird server (scripts/firebird-server.sh start)";
    const QString dir =
        data + QStringLiteral("/attach-") + QString::number(QCoreApplication::applicationPid());
    QDir(dir).removeRecursively();
    ASSERT_TRUE(CreateSite(dir, 7123, server).isEmpty());
    linkTo(dir);
    ASSERT_TRUE(AppInit(main, log, false, {})) << debugText().toStdString();
    EXPECT_EQ(g_Attach().ServerType, 1);
    EXPECT_EQ(main.Database(),
              QStringLiteral("127.0.0.1:") + dir + QStringLiteral("/halvexdatav2.GDB"));
    EXPECT_EQ(g_PropertyConfig().lngVRQPort, 7123);
    main.Close();
    log.Close();
    QDir(dir).removeRecursively();
}

TEST_F(AttachTest, MissingLogFileIsNamedAndGivesCode14) {
    TEmbeddedSite site;
    ASSERT_TRUE(site.error.isEmpty());
    QFile::remove(site.LogDb());
    linkTo(site.Path());
    EXPECT_FALSE(AppInit(main, log, false, {}));
    EXPECT_EQ(g_intAppInitReturnCode, 14);
    EXPECT_TRUE(debugText().contains(site.LogDb() + QStringLiteral(" does not exist!")));
}

TEST_F(AttachTest, DatabaseNameFromNetworkInfoAndOverrides) {
    QDir(work.path()).mkpath(QStringLiteral("share/Lock/Data"));
    const QString share = work.filePath(QStringLiteral("share"));
    TIniFile(share + QStringLiteral("/NetworkInfo.INI"))
        .WriteString(QStringLiteral("PathInfo"), QStringLiteral("PhysicalPath"),
                     QStringLiteral("D:\\Shared"));
    g_Attach().ServerType = 2;
    const QString name = HalvexInterbaseDatabasePath(
        nullptr, share + QStringLiteral("/Lock/Data/halvexdatav2.GDB"), dbkZeth, QString(), true);
    EXPECT_EQ(name, QStringLiteral("D:\\Shared\\Lock\\Data\\halvexdatav2.GDB"));
    // The log database takes the cached prefix without looking for NetworkInfo.INI again.
    QFile::remove(share + QStringLiteral("/NetworkInfo.INI"));
    EXPECT_EQ(HalvexInterbaseDatabasePath(nullptr,
                                          share + QStringLiteral("/Lock/Data/halvexlogv2.GDB"),
                                          dbkZeth, QString(), true),
              QStringLiteral("D:\\Shared\\Lock\\Data\\halvexlogv2.GDB"));
    g_Attach().ServerPathCache[dbkZeth].clear();
    g_Attach().ServerType = 1;
    EXPECT_EQ(HalvexInterbaseDatabasePath(nullptr,
                                          share + QStringLiteral("/Lock/Data/halvexdatav2.GDB"),
                                          dbkZeth, QStringLiteral("/srv/halvex"), false),
              QStringLiteral("127.0.0.1:/srv/halvex/halvexdatav2.GDB"))
        << "an override skips the search and adds no sub-path";
    try {
        HalvexInterbaseDatabasePath(nullptr, share + QStringLiteral("/Lock/Data/x.GDB"), dbkZeth,
                                    QString(), false);
        ADD_FAILURE() << "no NetworkInfo.INI above";
    } catch (const EUlmex& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("NetworkInfo.INI does not exist!")))
            << e.what();
    }
    try {
        HalvexInterbaseDatabasePath(nullptr, QStringLiteral("//SRV/halvexdatav2.GDB"), dbkZeth,
                                    QStringLiteral("D:\\x"), false);
        ADD_FAILURE() << "a server without a share";
    } catch (const EUlmex& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Error //SRV is invalid"));
    }
}

// One configuration row made of (column, value) pairs.
TRowSet configRow(const QList<QPair<QString, QVariant>>& cols) {
    QStringList names;
    QVector<QVariant> row;
    for (const auto& [n, v] : cols) {
        names << n.toUpper();
        row << v;
    }
    return TRowSet(names, {row});
}

TEST(ConfigRecordTest, DerivationRules) {
    RPropertyConfig c;
    PropertyConfigFromRow(
        configRow({{QStringLiteral("lngPWTimeout"), 0},
                   {QStringLiteral("intPropertyCapabilityLevel"), 0},
                   {QStringLiteral("bExpandedLevels"), -1},
                   {QStringLiteral("intMsgHdrTypeID"), 1},
                   {QStringLiteral("bExcludeDeviceStatusMsg"), -1},
                   {QStringLiteral("bEscapeReturnProperty"), -1},
                   {QStringLiteral("intEscapeReturnDelay"), 9},
                   {QStringLiteral("lngTenthSecsBetweenComRetries"), 3},
                   {QStringLiteral("strSecureShiftOptions"), QStringLiteral("0100")}}),
        c);
    EXPECT_EQ(c.lngPWTimeout, 600);
    EXPECT_FALSE(c.bExpandedLevels);
    EXPECT_EQ(c.intLevelCount, 32);
    EXPECT_FALSE(c.bExcludeDeviceStatusMsg);
    EXPECT_FALSE(c.bEscapeReturnProperty);
    EXPECT_EQ(c.intEscapeReturnDelay, 0);
    EXPECT_EQ(c.lngTenthSecsBetweenComRetries, 300);
    EXPECT_TRUE(c.bSecureShiftOption01);
    EXPECT_FALSE(c.bUseBLEUID) << "a missing column reads as false";
    PropertyConfigFromRow(
        configRow({{QStringLiteral("lngPWTimeout"), 5},
                   {QStringLiteral("intInnerRangeFile_Format"), 2},
                   {QStringLiteral("strInnerRangeGenericFile_Name"), QStringLiteral("keys.txt")}}),
        c);
    EXPECT_EQ(c.lngPWTimeout, 300);
    EXPECT_EQ(c.strInnerRangeFileName, QStringLiteral("keys.txt"));
}

TEST(ConfigRecordTest, CardLayoutRules) {
    struct {
        int layout;
        bool track2Column;
        const char* security;
        int key, third, track2Sector, header, start, last, origin, offset;
        bool audit, track2, enhanced, advanced;
        int track2Format;
    } cases[] = {
        {1, true, "00000000", 0, 3, 2, 1, 4, -1, 256, 0, true, true, false, false, 5},
        {2, false, "00000000", 3, 0, 0, 4, 5, 7, 320, 0, false, false, true, false, 1},
        {3, false, "00000000", 6, 9, 8, 7, 10, -1, 256, 384, true, true, true, false, 1},
        {4, true, "00000000", 16, 18, 0, 17, 19, 20, 256, 960, false, false, true, false, 5},
        {1, false, "01000000", 0, 3, 2, 1, 4, -1, 256, 0, true, false, true, true, 1},
    };
    for (const auto& c : cases) {
        RRFID_Card_Layout l;
        RFIDLayoutFromRow(
            configRow({{QStringLiteral("intRFIDLayout"), c.layout},
                       {QStringLiteral("bRFID_Track2"), c.track2Column ? -1 : 0},
                       {QStringLiteral("intRFIDTrack2_Format"), 5},
                       {QStringLiteral("bEnhancedRFID"), 0},
                       {QStringLiteral("strRFID_Security"), QString::fromLatin1(c.security)}}),
            l);
        EXPECT_EQ(l.KeySector, c.key) << c.layout;
        EXPECT_EQ(l.ThirdSector, c.third) << c.layout;
        EXPECT_EQ(l.Track2Sector, c.track2Sector) << c.layout;
        EXPECT_EQ(l.HeaderSector, c.header) << c.layout;
        EXPECT_EQ(l.DataStartSector, c.start) << c.layout;
        EXPECT_EQ(l.LastSectorOverride, c.last) << c.layout;
        EXPECT_EQ(l.PointerOrigin, c.origin) << c.layout;
        EXPECT_EQ(l.PointerOffset, c.offset) << c.layout;
        EXPECT_EQ(l.AuditSupport, c.audit) << c.layout;
        EXPECT_EQ(l.bRFID_Track2, c.track2) << c.layout;
        EXPECT_EQ(l.bEnhancedRFID, c.enhanced) << c.layout;
        EXPECT_EQ(l.bAdvancedKeyVerification, c.advanced) << c.layout;
        EXPECT_EQ(l.intRFIDTrack2_Format, c.track2Format) << c.layout;
        EXPECT_EQ(l.CapacityOverride, -1);
    }
    RRFID_Card_Layout l;
    EXPECT_THROW(RFIDLayoutFromRow(configRow({{QStringLiteral("intRFIDLayout"), 1}}), l),
                 std::exception)
        << "bEnhancedRFID is read strictly";
    EXPECT_THROW(RFIDLayoutFromRow(configRow({{QStringLiteral("intRFIDLayout"), 300},
                                              {QStringLiteral("bEnhancedRFID"), 0}}),
                                   l),
                 std::exception);
}

TEST_F(AttachTest, DatabaseWithoutEnhancedRFIDFailsTheStartWithCodeZero) {
    TEmbeddedSite site;
    ASSERT_TRUE(site.error.isEmpty());
    {
        TFbConnection c;
        c.SetDatabase(site.MainDb());
        c.Open();
        c.Exec(QStringLiteral("ALTER TABLE PropertyConfig DROP bEnhancedRFID"));
        c.Exec(QStringLiteral("ALTER TABLE PropertyConfig DROP bUseBLEUID"));
    }
    linkTo(site.Path());
    EXPECT_FALSE(AppInit(main, log, false, {}));
    EXPECT_EQ(g_intAppInitReturnCode, 0);
}

TEST(VersionCheckTest, Texts) {
    SetRequiredVersions(3.6, 3.6, 1.0, 4.5);
    TDatabaseVersions& v = g_DatabaseVersions();
    v.DSN.Actual = 6.7;
    v.DAT.Actual = -1;
    v.LOG.Actual = 1.2;
    v.SYS.Actual = 7.6;
    v.ARCH.Actual = -1;
    EXPECT_EQ(VersionDatabase_Check_str(false, false),
              QStringLiteral("Version -1.00 of DAT database is invalid\r\n"));
    v.DAT.Actual = 3.5;
    EXPECT_EQ(VersionDatabase_Check_str(false, false),
              QStringLiteral("Version 3.50 of DAT database is less than the required 3.60\r\n"));
    v.DAT.Actual = 6.3;
    EXPECT_EQ(VersionDatabase_Check_str(false, false), QString());
}

} // namespace
