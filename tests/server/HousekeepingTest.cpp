#include "unitServerState.h"
#include "unitSharedSettings.h"
#include "unitVRQMain.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The machine row of this computer, kept in memory.
struct FakeRow {
    bool exists = true;
    QString ip;
    QString preferred;
    int writes = 0;
};

class HousekeepingTest : public ::testing::Test {
protected:
    QTemporaryDir work;
    FakeRow row;
    std::unique_ptr<TVRQMain> vrq;
    QStringList local;

    void SetUp() override {
        SetAppPath(work.path());
        vrq = std::make_unique<TVRQMain>(nullptr);
        vrq->LocalAddresses = [this] { return local; };
        vrq->Housekeeping.MachineID_Get = [](const QString&) { return 7; };
        vrq->Housekeeping.ReadIPAddresses = [this](int id, QString* cur, QString* pref) {
            EXPECT_EQ(id, 7);
            if (!row.exists)
                return false;
            *cur = row.ip;
            *pref = row.preferred;
            return true;
        };
        vrq->Housekeeping.WriteIPAddresses = [this](int, const QString& ip, const QString& pref) {
            row.ip = ip;
            row.preferred = pref;
            ++row.writes;
            return true;
        };
    }
    void TearDown() override {
        vrq.reset();
        SetAppPath(QString());
    }
};

TEST_F(HousekeepingTest, IPUpdateRules) {
    struct {
        const char* name;
        const char* recorded;
        const char* preferred;
        QStringList local;
        const char* expected;
        int writes;
    } cases[] = {
        {"recorded address gone: primary written", "10.1.1.1", "", {"192.168.0.5", "10.2.2.2"},
         "192.168.0.5", 1},
        {"substring counts as present", "10.0.0.1", "", {"10.0.0.15"}, "10.0.0.1", 0},
        {"preferred among local replaces current", "192.168.0.5", "10.2.2.2",
         {"192.168.0.5", "10.2.2.2"}, "10.2.2.2", 1},
        {"preferred not local is ignored", "192.168.0.5", "172.16.0.9", {"192.168.0.5"},
         "192.168.0.5", 0},
        {"empty recorded address gets the primary", "", "", {"192.168.0.5"}, "192.168.0.5", 1},
        {"no local address leaves it", "", "", {}, "", 0},
    };
    for (const auto& c : cases) {
        row = FakeRow{true, QString::fromLatin1(c.recorded), QString::fromLatin1(c.preferred), 0};
        local = c.local;
        vrq->SetComputerInformation();
        EXPECT_EQ(row.ip, QString::fromLatin1(c.expected)) << c.name;
        EXPECT_EQ(row.writes, c.writes) << c.name;
        EXPECT_EQ(vrq->CurrentIPAddress(), QString::fromLatin1(c.expected)) << c.name;
        if (c.writes) {
            EXPECT_EQ(row.preferred, QString::fromLatin1(c.preferred)) << c.name;
        }
    }
    EXPECT_EQ(vrq->MachineID(), 7);
    EXPECT_TRUE(HalvexIni()
                    .ReadString(QStringLiteral("GoDeaf"), QStringLiteral("APPLICATIONVRQ"), {})
                    .endsWith(QStringLiteral("/6669")));
}

TEST_F(HousekeepingTest, IPCheckIsSkippedWhileDeafOrLoggedOn) {
    row = FakeRow{true, QStringLiteral("10.9.9.9"), {}, 0};
    local = {QStringLiteral("10.9.9.9")};
    vrq->SetComputerInformation();
    local = {QStringLiteral("192.168.0.5")};
    vrq->OperatorLoggedOn = [] { return true; };
    vrq->IPCheck();
    EXPECT_EQ(row.writes, 0);
    vrq->OperatorLoggedOn = [] { return false; };
    vrq->ShowDeaf();
    vrq->IPCheck();
    EXPECT_EQ(row.writes, 0);
    vrq->ShowListening();
    vrq->IPCheck();
    EXPECT_EQ(row.writes, 0) << "the controller was never told it should listen";
}

TEST_F(HousekeepingTest, LogonCheckDoesNothingWhileAStationHoldsTheFlag) {
    auto* holder = reinterpret_cast<TClientThread*>(uintptr_t(0x10));
    ServerState().flagHolder = holder;
    vrq->LogonCheck();
    EXPECT_EQ(ServerState().flagHolder.load(), holder);
    ServerState().flagHolder = nullptr;
    vrq->LogonCheck();
    EXPECT_EQ(ServerState().flagHolder.load(), nullptr);
}

} // namespace
