// Interface type 3 commands, the card wait, the contactless lock and COMLINK.
#include "ContactlessFixture.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST_F(ContactlessFixture, NoCardAnswersAfterFourteenWaits) {
    Make(LayoutSettings(1));
    EXPECT_FALSE(Transact(3));
    EXPECT_EQ(answer, Framed("3A00100100000036002"));
    EXPECT_EQ(pauses.count(CARD_WAIT_PAUSE_MS), CARD_WAIT_ATTEMPTS);
    EXPECT_FALSE(ContactlessLock().HeldByThisThread());
    // The failed selections did not block the next transaction.
    Place(Acr120::TAG_MIFARE_1K);
    EXPECT_FALSE(Transact(3));
    EXPECT_EQ(answer, Framed("3A00100100000036021")); // blank card
}

TEST_F(ContactlessFixture, EscapeEndsTheCardWait) {
    Make(LayoutSettings(1));
    escape = true;
    EXPECT_FALSE(Transact(4, WriteData(TestKeyData())));
    EXPECT_EQ(answer, Framed("3A00100100000036002"));
    EXPECT_EQ(pauses.count(CARD_WAIT_PAUSE_MS), 0);
}

struct TSimpleCommand {
    const char* name;
    int command;
    const char* data;
    bool result;
    const char* answer;
};

class ContactlessCommand : public ContactlessFixture,
                           public ::testing::WithParamInterface<TSimpleCommand> {};

TEST_P(ContactlessCommand, AnswersWithoutTouchingTheCard) {
    const TSimpleCommand& c = GetParam();
    Make(LayoutSettings(1));
    Place(Acr120::TAG_MIFARE_1K);
    const QByteArray before = Card().memory;
    EXPECT_EQ(Transact(c.command, c.data), c.result);
    EXPECT_EQ(answer, QByteArray(c.answer));
    EXPECT_EQ(Card().memory, before);
    EXPECT_TRUE(pauses.isEmpty()) << "no card wait, no lock";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ContactlessCommand,
    ::testing::Values(TSimpleCommand{"Status", 1, "", true,
                                     "\x02"
                                     "320010010000000BBE00001127A11127A1\x03"},
                      TSimpleCommand{"WriteDataNotStartingWith3", 4,
                                     "2001122334455667788990011223344556677", false, ""},
                      TSimpleCommand{"WriteDataTooShort", 4, "3001122", false, ""},
                      TSimpleCommand{"UnknownCommand", 5, "", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContactlessFixture, VersionCommandAnswersTheVersionText) {
    Make(LayoutSettings(1));
    EXPECT_TRUE(Transact(2));
    EXPECT_EQ(answer, "DLL Version : ACR120U sim 1.0\r\nFirmware Version: ACR120 SIM FW 1.00");
}

TEST_F(ContactlessFixture, WriteWithBadKeyDataFails21) {
    Make(LayoutSettings(1));
    Place(Acr120::TAG_MIFARE_1K);
    EXPECT_FALSE(Transact(4, "3" + QByteArray(40, 'G')));
    EXPECT_EQ(answer, Framed("3A00100100000036021"));
    EXPECT_TRUE(prox->ErrorText().contains(QStringLiteral("Invalid Key Data")));
}

TEST_F(ContactlessFixture, WithoutKeyMaterialEveryCardOperationFailsClearly) {
    TContactlessSettings s = LayoutSettings(1);
    s.keys = {};
    s.keysProblem = QStringLiteral("/site/RFIDKeys.INI: site key file not found");
    Make(s);
    Place(Acr120::TAG_MIFARE_1K);
    for (const int command : {3, 33, 4}) {
        EXPECT_FALSE(Transact(command, WriteData(TestKeyData()))) << command;
        EXPECT_EQ(error.Code(), -99);
        EXPECT_TRUE(error.Text().contains(QStringLiteral("No contactless site key material")))
            << error.Text().toStdString();
    }
    EXPECT_FALSE(ContactlessComInit(*prox, 1, error));
    EXPECT_TRUE(error.Text().startsWith(QStringLiteral("Error - Com Init->No contactless")));
}

TEST_F(ContactlessFixture, ConfiguredSectorKeyReplacesTheFileKey) {
    TContactlessSettings s = LayoutSettings(1);
    s.STRRFIDSECTOR_KEYA = QStringLiteral("0A0B0C0D0E0F");
    Make(s);
    EXPECT_EQ(KeyBytes(prox->SiteDefaultKey()).toHex().toUpper(), "0A0B0C0D0E0F");
    s.STRRFIDSECTOR_KEYA = QStringLiteral("0A0B"); // not 12 digits: the file's key
    Make(s);
    EXPECT_EQ(KeyBytes(prox->SiteDefaultKey()), KeyBytes(TestKeys().siteDefaultKey));
}

struct TComInit {
    const char* name;
    int port;
    bool ok;
};

class ContactlessComInitPort : public ContactlessFixture,
                               public ::testing::WithParamInterface<TComInit> {};

TEST_P(ContactlessComInitPort, OpensReaderPortMinusOne) {
    Make(LayoutSettings(1));
    ASSERT_TRUE(sim->PlaceCard(2, TSimCard::Blank(2, QByteArray::fromHex("01020304"))));
    EXPECT_EQ(ContactlessComInit(*prox, GetParam().port, error), GetParam().ok);
    if (!GetParam().ok) {
        EXPECT_EQ(error.Code(), Acr120::ERR_PORT_INVALID);
        return;
    }
    QString serial;
    int type = 0;
    EXPECT_TRUE(prox->Select(serial, type)); // reader 2 holds the card
    EXPECT_EQ(serial, QStringLiteral("01 02 03 04"));
}

INSTANTIATE_TEST_SUITE_P(Cases, ContactlessComInitPort,
                         ::testing::Values(TComInit{"Port3", 3, true},
                                           TComInit{"NegativePort3", -3, true},
                                           TComInit{"Port0", 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ContactlessLockTest, SameThreadIsRefusedOtherThreadWaits) {
    ASSERT_TRUE(ContactlessLock().Acquire(1000));
    EXPECT_FALSE(ContactlessLock().Acquire(1000)); // re-entrant request on the same thread
    bool otherGot = true;
    std::thread other([&] { otherGot = ContactlessLock().Acquire(100); });
    other.join();
    EXPECT_FALSE(otherGot);
    ContactlessLock().Release();
    std::thread again([&] {
        otherGot = ContactlessLock().Acquire(1000);
        if (otherGot)
            ContactlessLock().Release();
    });
    again.join();
    EXPECT_TRUE(otherGot);
}

// A holder that lets go and asks again at once queues behind the station already waiting.
TEST(ContactlessLockTest, WaitersAreServedInTheOrderTheyCame) {
    ASSERT_TRUE(ContactlessLock().Acquire(1000));
    std::atomic<bool> waiterGot{false};
    std::thread waiter([&] {
        waiterGot = ContactlessLock().Acquire(5000);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (waiterGot)
            ContactlessLock().Release();
    });
    for (int i = 0; i < 500 && ContactlessLock().Waiting() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(ContactlessLock().Waiting(), 1);
    ContactlessLock().Release();
    EXPECT_TRUE(ContactlessLock().Acquire(5000));
    EXPECT_TRUE(waiterGot) << "the first holder took the reader again before the waiter";
    ContactlessLock().Release();
    waiter.join();
}

TEST_F(ContactlessFixture, SharedReaderSeenByTwoDrivers) {
    // Two connections on the process-wide simulator: a card placed by one side is seen by the
    // other.
    const auto shared = SimAcr120();
    TACR_PROX writer(shared, LayoutSettings(1, true, true));
    TACR_PROX reader(shared, LayoutSettings(1, true, true));
    writer.SetPause([](int) {});
    reader.SetPause([](int) {});
    ASSERT_TRUE(ContactlessComInit(writer, 5, error));
    ASSERT_TRUE(ContactlessComInit(reader, 5, error));
    ASSERT_TRUE(shared->PlaceCard(4, TSimCard::Blank(3, QByteArray::fromHex("0A0B0C0D"))));
    variable = "01^0102030405AA";
    ASSERT_TRUE(ContactlessTransaction(writer, 4, WriteData(TestKeyData()), addl, variable, track2,
                                       elevator, answer, error, escape));
    variable.clear();
    ASSERT_TRUE(ContactlessTransaction(reader, 3, {}, addl, variable, track2, elevator, answer,
                                       error, escape));
    EXPECT_EQ(variable, "01^0102030405AA");
    shared->RemoveCard(4);
}

} // namespace
