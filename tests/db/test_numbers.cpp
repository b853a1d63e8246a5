// Serial numbers and next keys: the allocation rules, lock conflicts, and several processes
// allocating from one database on the Firebird server.
#include "dbTestSite.h"
#include "dmodSystem.h"

#include <QSet>
#include <future>
#include <thread>

namespace {

class NumbersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CopySiteTo(m_dir.path()));
        m_db.SetDatabase(m_dir.filePath(QStringLiteral("halvexdatav2.GDB")));
        m_db.Open();
    }
    int64_t Int(const QString& sql, const QString& field) {
        return m_db.Query(sql).Int(0, field, -99);
    }

    QTemporaryDir m_dir;
    TFbConnection m_db;
};

TEST_F(NumbersTest, SerialNumberRules) {
    struct Case {
        const char* what;
        QVariant serial, max;
        int64_t expected;
        int64_t stored;
    };
    const Case cases[] = {
        {"next number", 41, 50000, 41, 42},
        {"at the maximum", 999, 999, 999, 1000},
        {"past the maximum wraps to 1", 1000, 999, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_db.Exec(
            QStringLiteral("UPDATE SerialNum SET lngSerialNum = :S, lngMax = :M WHERE idxID = 1"),
            {{QStringLiteral("S"), c.serial}, {QStringLiteral("M"), c.max}});
        EXPECT_EQ(TdmSystem::NextSerialNumber(m_db), c.expected);
        EXPECT_EQ(Int(QStringLiteral("SELECT lngSerialNum FROM SerialNum"),
                      QStringLiteral("lngSerialNum")),
                  c.stored);
    }
    m_db.Exec(QStringLiteral("DELETE FROM SerialNum"));
    EXPECT_EQ(TdmSystem::NextSerialNumber(m_db), 0);
}

TEST_F(NumbersTest, NextKeyRules) {
    m_db.Exec(QStringLiteral(
        "INSERT INTO NextIDClient (strTableName, idxNextID, lngMaxID) VALUES ('LIMITED', 10, 10)"));
    // The highest number handed out is lngMaxID + 1; then the row refuses instead of giving 1.
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(m_db, QStringLiteral("limited")), 11);
    EXPECT_EQ(
        Int(QStringLiteral("SELECT idxNextID FROM NextIDClient WHERE strTableName = 'LIMITED'"),
            QStringLiteral("idxNextID")),
        11);
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(m_db, QStringLiteral("LIMITED")), 0);
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(m_db, QStringLiteral("LIMITED")), 0);
    EXPECT_EQ(
        Int(QStringLiteral("SELECT idxNextID FROM NextIDClient WHERE strTableName = 'LIMITED'"),
            QStringLiteral("idxNextID")),
        11);
    // A name without a row starts at 1 (stored upper case); no limit afterwards.
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(m_db, QStringLiteral("ClientMachine")), 1);
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(m_db, QStringLiteral("NewTable")), 1);
    EXPECT_EQ(
        Int(QStringLiteral("SELECT idxNextID FROM NextIDClient WHERE strTableName = 'NEWTABLE'"),
            QStringLiteral("idxNextID")),
        1);
    EXPECT_EQ(TdmSystem::UpdateNextKeyValue_int(m_db, QStringLiteral("NEWTABLE")), 2);
}

// A second connection holds an uncommitted update of the row: the allocation waits, meets the
// conflict when the holder commits, retries and continues from the holder's value.
TEST_F(NumbersTest, LockConflict_RetriesUntilTheHolderCommits) {
    TFbConnection holder;
    holder.SetDatabase(m_db.Database());
    holder.Open();
    auto tra = std::make_unique<TFbTransaction>(holder);
    tra->Exec(QStringLiteral("UPDATE SerialNum SET lngSerialNum = 500 WHERE idxID = 1"));

    std::promise<int64_t> result;
    std::future<int64_t> got = result.get_future();
    const QString name = m_db.Database();
    std::thread worker([&result, name] {
        try {
            TFbConnection own;
            own.SetDatabase(name);
            result.set_value(TdmSystem::NextSerialNumber(own));
        } catch (...) {
            result.set_exception(std::current_exception());
        }
    });
    EXPECT_EQ(got.wait_for(std::chrono::milliseconds(500)), std::future_status::timeout)
        << "waits for the lock";
    tra->Commit();
    const bool finished = got.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!finished)
        tra.reset(); // never leave the worker blocked
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(got.get(), 500);
    EXPECT_EQ(
        Int(QStringLiteral("SELECT lngSerialNum FROM SerialNum"), QStringLiteral("lngSerialNum")),
        501);
}

TEST(LockConflictCodes, RecognisedAnywhereInTheVector) {
    struct Case {
        std::vector<intptr_t> codes;
        bool conflict;
    };
    const Case cases[] = {
        {{335544336, 335544451, 335544878},
         true},                         // deadlock, update conflict, concurrent transaction
        {{335544345}, true},            // lock conflict on no wait transaction
        {{335544510}, true},            // lock time-out
        {{335544569, 335544451}, true}, // update conflict not first
        {{335544472}, false},           // login
        {{335544665}, false},           // unique key violation
        {{}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EFbError(QStringLiteral("x"), c.codes).IsLockConflict(), c.conflict)
            << c.codes.size();
}

// Two processes with four threads each draw 500 numbers from one server database.
TEST(SerialNumbersOnServer, TwoProcessesFourThreads_GetDistinctConsecutiveNumbers) {
    const QString server = qEnvironmentVariable("VRQ_FB_SERVER");
    const QString data = qEnvironmentVariable("VRQ_FB_DATA");
    if (server.isEmpty() || data.isEmpty())
        GTEST_SKIP() << "VRQ_FB_SERVER / VRQ_FB_DATA not set";
    QTemporaryDir dir(data + QStringLiteral("/serial-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    OpenToServer(dir.path());
    QString out;
    ASSERT_EQ(RunInitDb({QStringLiteral("--site"), dir.path() + QStringLiteral("/site"),
                         QStringLiteral("--server"), server},
                        &out),
              0)
        << S(out);
    const QString name = server + u':' + dir.path() + QStringLiteral("/site/halvexdatav2.GDB");
    {
        TFbConnection db;
        db.SetDatabase(name);
        db.Open();
        db.Exec(QStringLiteral("UPDATE SerialNum SET lngSerialNum = 1, lngMax = 1000000"));
    }
    const QString worker =
        qEnvironmentVariable("VRQ_BIN_DIR") + QStringLiteral("/vrq_serial_worker");
    QProcess a, b;
    for (QProcess* p : {&a, &b})
        p->start(worker, {name, QStringLiteral("4"), QStringLiteral("500")});
    QList<int64_t> all;
    for (QProcess* p : {&a, &b}) {
        ASSERT_TRUE(p->waitForFinished(240000)) << "worker did not finish";
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        for (const QByteArray& line : p->readAllStandardOutput().split('\n'))
            if (!line.trimmed().isEmpty())
                all.append(line.trimmed().toLongLong());
    }
    ASSERT_EQ(all.size(), 4000);
    const QSet<int64_t> distinct(all.begin(), all.end());
    EXPECT_EQ(distinct.size(), 4000);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all.front(), 1);
    EXPECT_EQ(all.back(), 4000);
    TFbConnection db;
    db.SetDatabase(name);
    db.Open();
    EXPECT_EQ(db.Query(QStringLiteral("SELECT lngSerialNum FROM SerialNum"))
                  .Int(0, QStringLiteral("lngSerialNum")),
              4001);
}

} // namespace
