#include "DbFixture.h"
#include "dmodSystem.h"
#include "unitPropertyConfigSettings.h"
#include "unitStationRegistry.h"

#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>
#include <thread>

namespace {

class DatabaseTest : public ::testing::Test {
protected:
    TEmbeddedSite site;
    TFbConnection db;
    void SetUp() override {
        ASSERT_TRUE(site.error.isEmpty()) << site.error.toStdString();
        db.SetDatabase(site.MainDb());
        db.Open();
    }
};

TEST_F(DatabaseTest, SiteHoldsTheTablesVersionsAndSeedRows) {
    for (const char* t :
         {"PropertyConfig", "PropertySettings", "DST", "ClientMachine", "ClientStation",
          "KeyPrintLayout", "KeyPrintFieldDef", "SerialNum", "NextIDClient", "Users", "PWD_History",
          "UserAuth", "Version_DAT", "Version_DSN", "Version_SYS", "LockLogs"})
        EXPECT_TRUE(db.TableExists(QString::fromLatin1(t))) << t;
    const TRowSet serial = db.Query(QStringLiteral("SELECT * FROM SerialNum"));
    EXPECT_EQ(serial.Int(0, QStringLiteral("lngSerialNum")), 1);
    EXPECT_EQ(serial.Int(0, QStringLiteral("lngMax")), 50000);
    const TRowSet cfg = qryPropertyConfig(db);
    ASSERT_EQ(cfg.RowCount(), 1);
    EXPECT_EQ(cfg.Int(0, QStringLiteral("lngVRQPort")), 6669);
    EXPECT_EQ(cfg.Int(0, QStringLiteral("LNGVRQPORT")), 6669) << "field names ignore letter case";
    EXPECT_EQ(cfg.Str(0, QStringLiteral("strInnerRangeGenericFile_Name")),
              QStringLiteral("Halvex_output001.dui"));
    TFbConnection log;
    log.SetDatabase(site.LogDb());
    log.Open();
    const TRowSet next =
        log.Query(QStringLiteral("EXECUTE PROCEDURE NEXTLOGID(:N)"), {{QStringLiteral("N"), 5}});
    EXPECT_EQ(next.Int(0, QStringLiteral("INTNEXTID")) + 2 - 5, 1) << "the first reserved number";
}

TEST_F(DatabaseTest, SerialNumbersFollowTheRow) {
    EXPECT_EQ(TdmSystem::NextSerialNumber(db), 1);
    EXPECT_EQ(TdmSystem::NextSerialNumber(db), 2);
    db.Exec(QStringLiteral("UPDATE SerialNum SET lngSerialNum = 1000, lngMax = 999"));
    EXPECT_EQ(TdmSystem::NextSerialNumber(db), 1);
    EXPECT_EQ(db.Query(QStringLiteral("SELECT lngSerialNum FROM SerialNum"))
                  .Int(0, QStringLiteral("lngSerialNum")),
              2);
    db.Exec(QStringLiteral("DELETE FROM SerialNum"));
    EXPECT_EQ(TdmSystem::NextSerialNumber(db), 0);
}

TEST_F(DatabaseTest, NextKeyRules) {
    db.Exec(QStringLiteral(
        "INSERT INTO NextIDClient (strTableName, idxNextID, lngMaxID) VALUES ('LIMITED', 10, 10)"));
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(db, QStringLiteral("limited")), 11);
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(db, QStringLiteral("LIMITED")), 0)
        << "refused at its limit";
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(db, QStringLiteral("LIMITED")), 0);
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(db, QStringLiteral("NewTable")), 1);
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(db, QStringLiteral("NEWTABLE")), 2);
    const TRowSet r =
        db.Query(QStringLiteral("SELECT * FROM NextIDClient WHERE strTableName = 'NEWTABLE'"));
    EXPECT_EQ(r.Int(0, QStringLiteral("lngMaxID")), 0);
}

TEST_F(DatabaseTest, EditWaitsForAnUncommittedHolderAndThenSucceeds) {
    TFbConnection holder;
    holder.SetDatabase(site.MainDb());
    holder.Open();
    TFbTransaction hold(holder);
    hold.Exec(QStringLiteral("UPDATE SerialNum SET lngSerialNum = 40 WHERE idxID = 1"));
    int64_t got = -1;
    std::thread allocator([&] {
        TFbConnection c;
        c.SetDatabase(site.MainDb());
        c.Open();
        got = TdmSystem::NextSerialNumber(c);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(got, -1) << "the allocation waits for the holder";
    hold.Commit();
    allocator.join();
    EXPECT_EQ(got, 40) << "after the holder committed 40, the retry hands it out";
}

TEST_F(DatabaseTest, LockConflictsAreRecognised) {
    TFbConnection other;
    other.SetDatabase(site.MainDb());
    other.Open();
    TFbTransaction a(db);
    a.Exec(QStringLiteral("UPDATE SerialNum SET lngMax = 1 WHERE idxID = 1"));
    // The second writer waits for the first and then meets the committed change.
    bool conflict = false;
    std::thread t([&] {
        try {
            TFbTransaction b(other);
            b.Exec(QStringLiteral("UPDATE SerialNum SET lngMax = 2 WHERE idxID = 1"));
            b.Commit();
        } catch (const EFbError& e) {
            conflict = e.IsLockConflict() && e.Message().contains(QStringLiteral(" 3260 "));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    a.Commit();
    t.join();
    EXPECT_TRUE(conflict);
}

TEST_F(DatabaseTest, MachineRowIsCreatedOnceAndRenamesRefuseDuplicates) {
    TdmSystem sys;
    sys.Database1.SetDatabase(site.MainDb());
    TdmClientMachineInfo dm(sys);
    bool created = false;
    const int id = MachineID_Get(dm, QStringLiteral("FRONTDESK"), QString(), 0, &created);
    EXPECT_EQ(id, 1);
    EXPECT_TRUE(created);
    EXPECT_EQ(MachineID_Get(dm, QStringLiteral("FRONTDESK"), QString(), 0, &created), 1);
    EXPECT_FALSE(created);
    const int other = MachineID_Get(dm, QStringLiteral("BACKOFFICE"), QString(), 0, &created);
    EXPECT_EQ(other, 2);
    UpdateMachineName(dm, other, QStringLiteral("FRONTDESK"), 1);
    UpdateMachineName(dm, id, QStringLiteral("FRONTDESK"), 0); // its own name: allowed
    const TConnectionGuard open(sys.Database1);
    EXPECT_EQ(dm.qryClientMachine_ByMachineID(other).Str(0, QStringLiteral("strName")),
              QStringLiteral("BACKOFFICE"));
}

TEST(ServerDatabaseTest, TwoProcessesWithFourThreadsGetDistinctConsecutiveNumbers) {
    const QString server = qEnvironmentVariable("VRQ_FB_SERVER");
    const QString data = qEnvironmentVariable("VRQ_FB_DATA");
    if (server.isEmpty() || data.isEmpty())
        GTEST_SKIP() << "no Firebird server (scripts/firebird-server.sh start)";
    const QString dir =
        data + QStringLiteral("/serial-") + QString::number(QCoreApplication::applicationPid());
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir});
    ASSERT_TRUE(CreateSite(dir, 6669, server).isEmpty());
    const QString name = server + u':' + dir + QStringLiteral("/halvexdatav2.GDB");
    QProcess a, b;
    for (QProcess* p : {&a, &b})
        p->start(BinDir() + QStringLiteral("/db_serial_helper"),
                 {name, QStringLiteral("4"), QStringLiteral("500")});
    ASSERT_TRUE(a.waitForFinished(300000));
    ASSERT_TRUE(b.waitForFinished(300000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().constData();
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().constData();
    QSet<long long> seen;
    long long lo = LLONG_MAX, hi = 0;
    for (QProcess* p : {&a, &b})
        for (const QByteArray& line : p->readAllStandardOutput().split('\n'))
            if (!line.isEmpty()) {
                const long long n = line.toLongLong();
                seen.insert(n);
                lo = std::min(lo, n);
                hi = std::max(hi, n);
            }
    EXPECT_EQ(seen.size(), 4000);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 4000);
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir});
}

} // namespace
