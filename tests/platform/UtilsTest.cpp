#include "unitSharedSettings.h"
#include "unitThreadGlobal.h"
#include "unitUtils.h"

#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(UtilsTest, TextToBooleanAcceptsTrueAndYesInAnyCaseOnly) {
    for (const char* t : {"yes", "Yes", "TRUE", "true", "tRuE", "YES"})
        EXPECT_TRUE(StrToBool_b(QString::fromLatin1(t))) << t;
    for (const char* t : {"1", "on", "", "y", "-1", "truex"})
        EXPECT_FALSE(StrToBool_b(QString::fromLatin1(t))) << t;
}

TEST(UtilsTest, VersionText) {
    struct {
        const char* version;
        bool withBuild, shortForm;
        const char* expected;
    } cases[] = {
        {"5.6.0.1", false, false, "5.06"},   {"5.6.0.1", true, false, "5.06  build 1"},
        {" 5.6.0.1 ", false, true, "5.01"},  {"5.12.3.45", false, false, "5.12"},
        {"7", false, false, "7.00"},         {"", true, false, ""},
        {"3.123.0.0", false, false, "3.23"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VersionText_str(QString::fromLatin1(c.version), c.withBuild, c.shortForm),
                  QString::fromLatin1(c.expected))
            << c.version;
}

TEST(UtilsTest, LPIStrToDateTime) {
    TDateTime dt;
    ASSERT_TRUE(LPIStrToDateTime(QStringLiteral("07032024"), &dt));
    EXPECT_EQ(dt.ToQDateTime(), QDateTime(QDate(2024, 7, 3), QTime(0, 0, 0)));
    ASSERT_TRUE(LPIStrToDateTime(QStringLiteral("12312023235958"), &dt));
    EXPECT_EQ(dt.ToQDateTime(), QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58)));
    EXPECT_FALSE(LPIStrToDateTime(QStringLiteral("13012024"), &dt));
    EXPECT_FALSE(LPIStrToDateTime(QStringLiteral("ab012024"), &dt));
    EXPECT_THROW(LPIStrToDateTime(QStringLiteral("02302024"), &dt, true), std::exception);
}

TEST(UtilsTest, SplitKeepsEmptyPieces) {
    EXPECT_EQ(Split(QStringLiteral("a,,b,"), QStringLiteral(",")),
              (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b"), QString()}));
    EXPECT_TRUE(Split(QStringLiteral("a,b"), QString()).isEmpty());
}

TEST(UtilsTest, SmallTextAndByteHelpers) {
    EXPECT_EQ(HexEncode(QByteArray("\x02\xAB\x7f", 3)), QByteArray("02AB7F"));
    EXPECT_EQ(HexDecode("02ab7F1"), QByteArray("\x02\xAB\x7f", 3));
    EXPECT_EQ(XorCheck(QByteArray("\x31\x32\x03", 3)), 0x31 ^ 0x32 ^ 0x03);
    EXPECT_EQ(StripLeadingZeros(QStringLiteral(" 000120 ")), QStringLiteral("120"));
    EXPECT_EQ(StripLeadingZeros(QStringLiteral("0000")), QStringLiteral("0"));
    EXPECT_EQ(PadLeft(QStringLiteral("7"), 3, u'0'), QStringLiteral("007"));
    EXPECT_EQ(RightStr(QStringLiteral("abc"), 5), QStringLiteral("abc"));
    EXPECT_EQ(Reverse_str(QStringLiteral("abc")), QStringLiteral("cba"));
    EXPECT_EQ(BoolToInt_int(true), -1);
}

TEST(UtilsTest, DisplayFormatsFollowTheLocale) {
    struct {
        QLocale locale;
        const char* date;
        const char* time;
    } cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "mm/dd/yyyy", "hh:nn:ss ampm"},
        {QLocale(QLocale::German, QLocale::Germany), "dd.mm.yyyy", "hh:nn:ss"},
        {QLocale::c(), "mm/dd/yyyy", "hh:nn:ss"},
    };
    const QLocale saved;
    for (const auto& c : cases) {
        QLocale::setDefault(c.locale);
        EXPECT_EQ(DateDisplayFormat_str(), QString::fromLatin1(c.date)) << c.locale.name().toStdString();
        EXPECT_EQ(TimeDisplayFormat_str(), QString::fromLatin1(c.time)) << c.locale.name().toStdString();
    }
    QLocale::setDefault(saved);
}

TEST(UtilsTest, FormatDateTimeUsesMinutesAfterHours) {
    const TDateTime dt = TDateTime::FromQDateTime(QDateTime(QDate(2024, 7, 3), QTime(9, 5, 7, 42)));
    EXPECT_EQ(FormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn:ss.zzz"), dt),
              QStringLiteral("2024-07-03 09:05:07.042"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("hh:mm"), dt), QStringLiteral("09:05"));
    EXPECT_EQ(TDateTime::FromDate(1899, 12, 30).value, 0.0);
    EXPECT_EQ(TDateTime::FromDate(1900, 1, 1).value, 2.0);
}

TEST(SharedSettingsTest, ProcessStartedStampSetAndClear) {
    QTemporaryDir dir;
    SetAppPath(dir.path());
    EXPECT_TRUE(ProcessStarted_Cleared_b(QStringLiteral("APPLICATIONVRQ")));
    EXPECT_EQ(ProcessStarted_Set_str(QStringLiteral("APPLICATIONVRQ"), false),
              QStringLiteral("(1) Success: "));
    EXPECT_FALSE(ProcessStarted_Cleared_b(QStringLiteral("APPLICATIONVRQ")));
    EXPECT_EQ(ProcessStarted_Set_str(QStringLiteral("APPLICATIONVRQ"), true),
              QStringLiteral("(1) Success: "));
    EXPECT_TRUE(ProcessStarted_Cleared_b(QStringLiteral("APPLICATIONVRQ")));
    EXPECT_TRUE(HalvexIni().KeyExists(QStringLiteral("Process_Started"),
                                      QStringLiteral("APPLICATIONVRQ")));
    SetAppPath(QString());
    EXPECT_EQ(WindowsHandle_INIFile_Store_str(QStringLiteral("APPLICATIONVRQ"), 5),
              QStringLiteral("WindowsHandle_INIFile: g_strAppPath not set."));
}

TEST(SharedSettingsTest, IntegerReaderWritesDefaultBack) {
    QTemporaryDir dir;
    SetAppPath(dir.path());
    EXPECT_EQ(INIReadInteger_int(QStringLiteral("Misc"), QStringLiteral("DeafTimeOut"), 3600, false), 3600);
    EXPECT_FALSE(HalvexIni().KeyExists(QStringLiteral("Misc"), QStringLiteral("DeafTimeOut")));
    EXPECT_EQ(INIReadInteger_int(QStringLiteral("IPCPort"), QStringLiteral("HalvexVRQ"), -1, true), -1);
    EXPECT_EQ(HalvexIni().ReadString(QStringLiteral("IPCPort"), QStringLiteral("HalvexVRQ"), {}),
              QStringLiteral("-1"));
    SetAppPath(QString());
}

TEST(ThreadGlobalTest, RegisterFindAndDemand) {
    TThreadGlobalList list;
    EXPECT_TRUE(list.Register(42));
    EXPECT_FALSE(list.Register(42));
    ASSERT_NE(list.Find(42), nullptr);
    EXPECT_EQ(list.Find(42)->strValues[1], QString());
    EXPECT_EQ(list.Find(43), nullptr);
    EXPECT_THROW(list.Find(43, true), std::exception);
    EXPECT_TRUE(list.MutexName().startsWith(QStringLiteral("THREAD_LOCKLIST_MUTEX_NAME_")));
}

#include "MappedDrives.h"

TEST(MappedDrivesTest, NetworkMountsBecomeServerNames) {
    const QString table = QStringLiteral(
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 0:50 / /mnt/halvex rw,relatime shared:2 - cifs //FILESRV/Halvex rw,vers=3.0\n"
        "41 22 0:51 / /mnt/nfs\\040data rw - nfs4 nas1:/export/data rw\n");
    struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"/mnt/halvex/db/halvexdatav2.GDB", "//FILESRV/Halvex/db/halvexdatav2.GDB"},
        {"/mnt/halvex", "//FILESRV/Halvex"},
        {"/mnt/halvexother/x", "/mnt/halvexother/x"},
        {"/mnt/nfs data/site", "//nas1/export/data/site"},
        {"/home/site", "/home/site"},
        {"\\\\SRV\\share\\x", "\\\\SRV\\share\\x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandMappedPath(QString::fromLatin1(c.path), table), QString::fromLatin1(c.expected))
            << c.path;
}
