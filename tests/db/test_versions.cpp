// The database version check texts.
#include "dbTestSite.h"
#include "formVersions.h"
#include "unitSharedStuff.h"

namespace {

TEST(VersionCheck, Texts) {
    SetRequiredVersions(3.6, 3.6, 1.0, 4.5);
    TDatabaseVersions& v = g_DatabaseVersions();
    const TDatabaseVersions saved = v;
    struct Case {
        const char* what;
        std::function<void(TDatabaseVersions&)> set;
        QString expected;
    };
    const auto good = [](TDatabaseVersions& x) {
        x.DSN.Actual = 6.7;
        x.DAT.Actual = 6.3;
        x.LOG.Actual = 1.2;
        x.SYS.Actual = 7.6;
        x.ARCH.Actual = -1;
    };
    const Case cases[] = {
        {"all good", good, QString()},
        {"DAT below its minimum",
         [&](TDatabaseVersions& x) {
             good(x);
             x.DAT.Actual = 3.5;
         },
         QStringLiteral("Version 3.50 of DAT database is less than the required 3.60\r\n")},
        {"empty DSN table",
         [&](TDatabaseVersions& x) {
             good(x);
             x.DSN.Actual = -1;
         },
         QStringLiteral("Version -1.00 of DSN database is invalid\r\n")},
        {"no LOG minimum",
         [&](TDatabaseVersions& x) {
             good(x);
             x.LOG.Minimum = 0;
         },
         QStringLiteral("Minimum Version 0.00 of LOG database is invalid\r\n")},
        {"archive below the LOG minimum",
         [&](TDatabaseVersions& x) {
             good(x);
             x.ARCH.Actual = 0.5;
         },
         QStringLiteral("Version 0.50 of one or more ARCHIVE databases are invalid\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        v = saved;
        c.set(v);
        EXPECT_EQ(VersionDatabase_Check_str(false, false), c.expected);
    }
    v = saved;
}

TEST(VersionCheck, ReadsTheVersionTables) {
    QTemporaryDir dir;
    ASSERT_TRUE(CopySiteTo(dir.path()));
    TFbConnection main, log;
    main.SetDatabase(dir.filePath(QStringLiteral("halvexdatav2.GDB")));
    log.SetDatabase(dir.filePath(QStringLiteral("halvexlogv2.GDB")));
    main.Open();
    log.Open();
    main.Exec(QStringLiteral("DELETE FROM Version_DSN"));
    ASSERT_TRUE(VersionDatabase_SetAll_b(main, log));
    const TDatabaseVersions& v = g_DatabaseVersions();
    EXPECT_DOUBLE_EQ(v.DSN.Actual, -1);
    EXPECT_DOUBLE_EQ(v.DAT.Actual, 6.3);
    EXPECT_DOUBLE_EQ(v.SYS.Actual, 7.6);
    EXPECT_DOUBLE_EQ(v.LOG.Actual, 1.2);
    EXPECT_DOUBLE_EQ(v.ARCH.Actual, -1);
    TBoxRecorder boxes;
    EXPECT_DOUBLE_EQ(VersionDatabaseGet_single(main, QStringLiteral("Version_Missing")), -1);
    EXPECT_TRUE(boxes.Contains(
        QStringLiteral("formVersions.VersionDatabaseGet_single: An error occurred: ")))
        << S(boxes.All());
}

} // namespace
