// Card write and read through commands 4, 3 and 33 on the simulated reader.
#include "ContactlessFixture.h"

using namespace MifareGeometry;

namespace {

const QByteArray FIVE_RECORDS =
    "0A^112233445566^A1A2A3A4A5A6^000000000001^0F0E0D0C0B0A^777777777777";
const QByteArray ELEVATOR = "0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20";
const QByteArray TRACK2 = "3B313233343536373D3939313F";

struct TRoundTrip {
    const char* name;
    int layout;
    uint8_t type;
    bool enhanced;
    int track2Format;
    int pointer; // stored end pointer
};

class CardRoundTrip : public ContactlessFixture,
                      public ::testing::WithParamInterface<TRoundTrip> {};

TEST_P(CardRoundTrip, WriteThenReadGivesEverythingBack) {
    const TRoundTrip& c = GetParam();
    const TContactlessSettings s = LayoutSettings(c.layout, true, true, c.enhanced, c.track2Format);
    Make(s);
    Place(c.type);
    const QByteArray key = TestKeyData();
    variable = FIVE_RECORDS;
    track2 = TRACK2;
    elevator = ELEVATOR;
    ASSERT_TRUE(Transact(4, WriteData(key)))
        << answer.toStdString() << prox->ErrorText().toStdString();
    EXPECT_EQ(answer, Framed("39001001000"));
    EXPECT_EQ(addl, "04 A1 B2 C3^" + QByteArray::number(c.type));

    const TSimCard card = Card();
    const QByteArray second = card.Block(FirstBlock(s.KeySector) + 2);
    EXPECT_EQ(card.Block(FirstBlock(s.KeySector) + 1), key.left(16));
    EXPECT_EQ(uint8_t(second[0]), uint8_t(key[16]));
    EXPECT_EQ(uint8_t(second[2]), c.type == Acr120::TAG_MIFARE_4K ? 6 : 4);
    EXPECT_EQ(int(uint8_t(second[4])) << 8 | uint8_t(second[5]), c.pointer);
    EXPECT_EQ(uint8_t(second[6]), 0x0A);

    variable.clear(), track2.clear(), elevator.clear();
    ASSERT_TRUE(Transact(3)) << answer.toStdString() << prox->ErrorText().toStdString();
    // The read answer carries the key data as the write took it: reversed hex.
    EXPECT_EQ(answer, Framed("4300100100030517" + WriteData(key).mid(3)));
    EXPECT_EQ(variable, FIVE_RECORDS);
    EXPECT_EQ(track2, s.bRFID_Track2 ? TRACK2 : QByteArray());
    EXPECT_EQ(elevator, s.bUseSector3 ? (ELEVATOR + QByteArray(20, '0')) : QByteArray());
}

INSTANTIATE_TEST_SUITE_P(Cases, CardRoundTrip,
                         ::testing::Values(TRoundTrip{"Layout1_1K", 1, 2, false, 1, 0x0120},
                                           TRoundTrip{"Layout1_1K_Enhanced", 1, 2, true, 1, 0x0120},
                                           TRoundTrip{"Layout1_1K_Track2Format2", 1, 2, false, 2,
                                                      0x0120},
                                           TRoundTrip{"Layout1_4K", 1, 3, false, 1, 0x0120},
                                           TRoundTrip{"Layout2_1K", 2, 2, true, 1, 0x0160},
                                           TRoundTrip{"Layout3_1K", 3, 2, true, 1, 0x0120},
                                           TRoundTrip{"Layout3_4K", 3, 3, true, 1, 0x0120},
                                           TRoundTrip{"Layout4_4K", 4, 3, true, 1, 0x0120}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContactlessFixture, Track2Format2StopsAtFirstZeroByte) {
    Make(LayoutSettings(1, true, false, false, 2));
    TSimCard card = TSimCard::Blank(Acr120::TAG_MIFARE_1K, QByteArray::fromHex("04A1B2C3"));
    ASSERT_TRUE(sim->PlaceCard(0, card));
    ASSERT_TRUE(Transact(4, WriteData(TestKeyData())));
    card = Card();
    card.SetBlock(8, QByteArray::fromHex("31323300").leftJustified(16, '\x55'));
    ASSERT_TRUE(sim->PlaceCard(0, card));
    ASSERT_TRUE(Transact(3));
    EXPECT_EQ(track2, "313233");
}

TEST_F(ContactlessFixture, BlankCardReadsAsNotAHalvexKeyAndWriteRekeysEverySector) {
    const TContactlessSettings s = LayoutSettings(1, true, true, true);
    Make(s);
    Place(Acr120::TAG_MIFARE_1K);
    EXPECT_FALSE(Transact(3));
    EXPECT_EQ(answer, Framed("3A00100100000036021"));
    EXPECT_TRUE(
        prox->ErrorText().contains(QStringLiteral("( X ) Unable to Read - Not a Halvex Key : -1")));

    ASSERT_TRUE(Transact(4, WriteData(TestKeyData()))) << prox->ErrorText().toStdString();
    const TSimCard card = Card();
    const QByteArray cardKey = QByteArray::fromHex("2710ADBECF27");
    for (int sector = 0; sector <= 15; ++sector) {
        const QByteArray expected = sector == 1   ? KeyBytes(TestKeys().siteDefaultKey)
                                    : sector == 2 ? QByteArray(6, '\xFF') // track 2 keeps transport
                                                  : cardKey;
        EXPECT_EQ(card.KeyA(sector).toHex(), expected.toHex()) << "sector " << sector;
    }
    EXPECT_EQ(sim->UserPortWrites(0), (QVector<uint8_t>{0x44, 0x40})); // buzzer
    ASSERT_TRUE(Transact(3)) << prox->ErrorText().toStdString();
}

TEST_F(ContactlessFixture, MaintenanceSectorOfA1KCardGetsTheWorkingKey) {
    Make(LayoutSettings(2)); // data sectors end at 7, sector 15 is left to the maintenance key
    TSimCard card = TSimCard::Blank(Acr120::TAG_MIFARE_1K, QByteArray::fromHex("04A1B2C3"));
    card.SetKeyA(15, KeyBytes(TestKeys().maintenanceKey));
    ASSERT_TRUE(sim->PlaceCard(0, card));
    ASSERT_TRUE(Transact(4, WriteData(TestKeyData()))) << prox->ErrorText().toStdString();
    EXPECT_EQ(Card().KeyA(15).toHex(), "2710adbecf27");
}

struct TRefused {
    const char* name;
    uint8_t type;
    bool interrogation;
    int items; // variable items including the kind item
    const char* answer;
};

class CardWriteRefused : public ContactlessFixture,
                         public ::testing::WithParamInterface<TRefused> {};

TEST_P(CardWriteRefused, GivesResultCode) {
    const TRefused& c = GetParam();
    Make(LayoutSettings(1, true, true));
    Place(c.type);
    const QByteArray before = Card().memory;
    QByteArrayList items{"01"};
    for (int i = 1; i < c.items; ++i)
        items << "0000000000" + QByteArray::number(i % 100).rightJustified(2, '0');
    variable = c.items ? items.join('^') : QByteArray();
    EXPECT_FALSE(Transact(4, WriteData(TestKeyData(c.interrogation))));
    EXPECT_EQ(answer, Framed(c.answer));
    if (c.type != Acr120::TAG_MIFARE_MINI) { // the Mini is re-keyed before the kind is checked
        EXPECT_EQ(Card().memory, before) << "nothing may be written";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CardWriteRefused,
    ::testing::Values(TRefused{"NotRekeyable253", 253, false, 0, "3A00100100000036021"},
                      TRefused{"NotRekeyable246", 246, false, 0, "3A00100100000036021"},
                      TRefused{"TooManyItems", 2, false, 95, "3A00100100000036019"},
                      TRefused{"InterrogationOnMini", 9, true, 0, "3A00100100000036019"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContactlessFixture, Track2IgnoreLeavesTrack2SectorUntouched) {
    Make(LayoutSettings(1, true, true));
    Place(Acr120::TAG_MIFARE_1K);
    track2 = TRACK2;
    ASSERT_TRUE(Transact(4, WriteData(TestKeyData())));
    const TSimCard first = Card();
    track2 = "IGNORE";
    elevator = "AB";
    ASSERT_TRUE(Transact(4, WriteData(TestKeyData())));
    const TSimCard second = Card();
    for (int b = 8; b <= 11; ++b)
        EXPECT_EQ(second.Block(b), first.Block(b)) << "block " << b;
    EXPECT_NE(second.Block(12), first.Block(12)); // the elevator did change
}

// An interrogation key written by a station, then filled by a lock.
class InterrogationKey : public ContactlessFixture {
protected:
    void SetUp() override {
        Make(LayoutSettings(1, true, true));
        Place(Acr120::TAG_MIFARE_1K);
        ASSERT_TRUE(Transact(4, WriteData(TestKeyData(true)))) << prox->ErrorText().toStdString();
        EXPECT_EQ(uint8_t(Card().Block(2)[3]), 'Z');
    }
    void LockWrites(int lockNumber) {
        TSimCard card = Card();
        // lock, area 01, 02, 03, 08, 04, 05 counts
        const std::array<int, 8> v{lockNumber, 20, 16, 0, 0, 0, 8, 0};
        QByteArray header;
        for (int x : v)
            header += char(x >> 8), header += char(x);
        card.SetBlock(4, header);
        card.SetBlock(5, QByteArray::fromHex("000102030405060708090A0B0C0D0E0F"));
        card.SetBlock(6, QByteArray::fromHex("10111213").leftJustified(16, '\xEE'));
        card.SetBlock(16, QByteArray(16, '\x22'));
        card.SetBlock(34, QByteArray::fromHex("5555555555555555").leftJustified(16, '\x66'));
        ASSERT_TRUE(sim->PlaceCard(0, card));
    }
    QByteArray ReadPrefix() const {
        return "4300100100030517" + WriteData(TestKeyData(true)).mid(3);
    }
};

TEST_F(InterrogationKey, LockNumberZeroReadsWithoutETexts) {
    ASSERT_TRUE(Transact(3)) << prox->ErrorText().toStdString();
    EXPECT_EQ(answer, Framed(ReadPrefix()));
}

TEST_F(InterrogationKey, HeaderCountsGiveAreasInOrder) {
    LockWrites(0x1234);
    const QByteArray area01 = "01000010000102030405060708090A0B0C0D0E0F^^010010041011121"
                              "3^^";
    const QByteArray area02 = "02000010" + QByteArray(32, '2') + "^^";
    ASSERT_TRUE(Transact(3)) << prox->ErrorText().toStdString();
    EXPECT_EQ(answer, Framed(ReadPrefix() + "E00071234/N8" + "F0299" + area01 + area02));
    ASSERT_TRUE(Transact(33)) << prox->ErrorText().toStdString();
    EXPECT_EQ(answer, Framed(ReadPrefix() + "E00071234/R8" + "F0299" + area01 + area02 +
                             "050000085555555555555555^^"));
}

TEST_F(ContactlessFixture, AuditRingReadsNewestFirstAndWraps) {
    Make(LayoutSettings(1, true, true));
    Place(Acr120::TAG_MIFARE_1K);
    variable = FIVE_RECORDS; // end pointer 288: the ring starts at record 36 (block 18)
    ASSERT_TRUE(Transact(4, WriteData(TestKeyData())));
    TSimCard card = Card();
    QByteArray header(16, '\0');
    header[0] = 42; // next record (little-endian)
    header[2] = 5;  // record count
    uint8_t x = 0;
    for (int i = 0; i < 15; ++i)
        x ^= uint8_t(header[i]);
    header[15] = char(255 - x);
    card.SetBlock(5, header); // block 0 of the header sector is not valid, block 1 is
    card.SetBlock(20, QByteArray::fromHex("4040404040404040"
                                          "4141414141414141"));
    card.SetBlock(18, QByteArray::fromHex("3636363636363636"
                                          "3737373737373737"));
    card.SetBlock(62, QByteArray::fromHex("7C7C7C7C7C7C7C7C"
                                          "7D7D7D7D7D7D7D7D"));
    ASSERT_TRUE(sim->PlaceCard(0, card));
    ASSERT_TRUE(Transact(33)) << prox->ErrorText().toStdString();
    EXPECT_TRUE(answer.endsWith("F0199"
                                "4141414141414141"
                                "4040404040404040"
                                "3737373737373737"
                                "3636363636363636"
                                "7D7D7D7D7D7D7D7D\x03"))
        << answer.toStdString();
    EXPECT_EQ(variable, FIVE_RECORDS);
    // The normal read leaves the audit trail out.
    ASSERT_TRUE(Transact(3));
    EXPECT_FALSE(answer.contains("F0199"));
}

TEST_F(ContactlessFixture, UltralightKeyDataInPagesFourToEight) {
    Make(LayoutSettings(1, true, true));
    Place(Acr120::TAG_ULTRALIGHT, QByteArray::fromHex("04112233445566"));
    const QByteArray key = TestKeyData();
    ASSERT_TRUE(Transact(4, WriteData(key))) << prox->ErrorText().toStdString();
    EXPECT_EQ(Card().memory.mid(16, 17), key);
    ASSERT_TRUE(Transact(3));
    EXPECT_EQ(answer, Framed("4300100100030517" + WriteData(key).mid(3)));
}

} // namespace
