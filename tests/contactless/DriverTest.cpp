// TACR_PROX: selection geometry, login with key fallback, version text, error texts.
#include "ContactlessFixture.h"

namespace {

struct TGeometry {
    const char* name;
    int layout;
    uint8_t type;
    int lastSector, lastDataBlock, capacity;
};

class DriverGeometry : public ContactlessFixture,
                       public ::testing::WithParamInterface<TGeometry> {};

TEST_P(DriverGeometry, SelectionComputesLastSectorBlockAndCapacity) {
    const TGeometry& g = GetParam();
    Make(LayoutSettings(g.layout));
    Place(g.type);
    QString serial;
    int type = 0;
    ASSERT_TRUE(prox->Select(serial, type));
    EXPECT_EQ(serial, QStringLiteral("04 A1 B2 C3"));
    EXPECT_EQ(type, g.type);
    EXPECT_EQ(prox->LastSector(), g.lastSector);
    EXPECT_EQ(prox->LastDataBlock(), g.lastDataBlock);
    EXPECT_EQ(prox->RecordCapacity(), g.capacity);
}

INSTANTIATE_TEST_SUITE_P(Cases, DriverGeometry,
                         ::testing::Values(TGeometry{"Layout1_1K", 1, 2, 15, 62, 94},
                                           TGeometry{"Layout1_4K", 1, 3, 39, 254, 542},
                                           TGeometry{"Layout1_Mini", 1, 9, 4, 18, 6},
                                           TGeometry{"Layout1_Ultralight", 1, 5, 15, 62, 0},
                                           TGeometry{"Layout2_1K", 2, 2, 7, 30, 24},
                                           TGeometry{"Layout3_1K", 3, 2, 15, 62, 46},
                                           TGeometry{"Layout4_4K", 4, 3, 20, 82, 16}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContactlessFixture, UltralightGetsNoCardKey) {
    Make(LayoutSettings(1));
    Place(Acr120::TAG_ULTRALIGHT, QByteArray::fromHex("04112233445566"));
    QString serial;
    int type = 0;
    ASSERT_TRUE(prox->Select(serial, type));
    EXPECT_EQ(KeyBytes(prox->CardKey()), QByteArray(6, '\0'));
}

enum class TSectorKey { Card, SiteDefault, Transport, Foreign };

struct TLoginCase {
    const char* name;
    TSectorKey key;
    bool enhanced;
    bool ok;
    int kind;
    bool blank;
};

class DriverLogin : public ContactlessFixture, public ::testing::WithParamInterface<TLoginCase> {};

TEST_P(DriverLogin, FallsBackFromCardKeyToSiteDefaultToTransport) {
    const TLoginCase& c = GetParam();
    Make(LayoutSettings(1, true, true, c.enhanced));
    TSimCard card = TSimCard::Blank(Acr120::TAG_MIFARE_1K, QByteArray::fromHex("04A1B2C3"));
    const QByteArray keys[] = {QByteArray::fromHex("2710ADBECF27"),
                               KeyBytes(TestKeys().siteDefaultKey), QByteArray(6, '\xFF'),
                               QByteArray::fromHex("010203040506")};
    card.SetKeyA(0, keys[int(c.key)]);
    ASSERT_TRUE(sim->PlaceCard(0, card));
    QString serial;
    int type = 0;
    ASSERT_TRUE(prox->Select(serial, type));
    EXPECT_EQ(prox->Login(), c.ok);
    EXPECT_EQ(prox->Blank(), c.blank);
    EXPECT_EQ(KeyBytes(prox->WorkingKey()),
              c.enhanced ? keys[0] : KeyBytes(TestKeys().siteDefaultKey));
    EXPECT_EQ(prox->TargetKeyKind(), c.enhanced ? 3 : 2);
    if (c.ok) {
        EXPECT_EQ(prox->CurrentKeyKind(), c.kind);
    } else {
        EXPECT_TRUE(prox->ErrorText().contains(QStringLiteral("Error Logging In\r\n( X ) ")))
            << prox->ErrorText().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DriverLogin,
    ::testing::Values(
        TLoginCase{"CardKey", TSectorKey::Card, true, true, 3, false},
        TLoginCase{"SiteDefaultEvenWhenEnhanced", TSectorKey::SiteDefault, true, true, 2, false},
        TLoginCase{"SiteDefault", TSectorKey::SiteDefault, false, true, 2, false},
        TLoginCase{"TransportMeansBlank", TSectorKey::Transport, false, true, 0, true},
        TLoginCase{"ForeignKeyFails", TSectorKey::Foreign, false, false, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContactlessFixture, NegativeLastResultBlocksUntilReset) {
    Make(LayoutSettings(1));
    QString serial;
    int type = 0;
    EXPECT_FALSE(prox->Select(serial, type)); // no card
    EXPECT_EQ(prox->LastResult(), Acr120::ERR_NO_TAG);
    Place(Acr120::TAG_MIFARE_1K);
    EXPECT_FALSE(prox->Select(serial, type));
    prox->Reset();
    ASSERT_TRUE(prox->Open(0));
    EXPECT_TRUE(prox->Select(serial, type));
}

TEST_F(ContactlessFixture, VersionTextDropsNulAndFFBytes) {
    Make(LayoutSettings(1));
    sim->SetVersionTexts(QByteArray("ACR\xFF"
                                    "120\0U",
                                    9),
                         QByteArray("FW\0 2.1\xFF", 8));
    QString text;
    ASSERT_TRUE(prox->Version(text));
    EXPECT_EQ(text, QStringLiteral("DLL Version : ACR120U\r\nFirmware Version: FW 2.1"));
}

TEST_F(ContactlessFixture, OpenOnMissingReaderGivesConnectHeading) {
    TContactlessSettings s = LayoutSettings(1);
    prox = std::make_unique<TACR_PROX>(sim, s);
    EXPECT_FALSE(prox->Open(SIM_READER_PORTS));
    EXPECT_EQ(prox->ErrorText(), QStringLiteral("Error Connecting\r\n( X ) Invalid Port : -2000"));
}

TEST(Acr120ErrorTexts, TableAndUnknownCodes) {
    EXPECT_EQ(Acr120ErrorText(-1), QStringLiteral("( X ) Unable to Read - Not a Halvex Key : -1"));
    EXPECT_EQ(Acr120ErrorText(-3000),
              QStringLiteral("( X ) No TAG Selected or in Reachable Range : -3000"));
    EXPECT_EQ(Acr120ErrorText(-4030), QStringLiteral("( X ) Decrement Failure (Empty) : -4030"));
    EXPECT_EQ(Acr120ErrorText(-77), QStringLiteral("Unknown Error (-77)"));
}

TEST(ContactlessLayouts, PerLayoutValues) {
    const TContactlessSettings l2 = LayoutSettings(2);
    EXPECT_EQ(l2.PointerOffset, 0);
    EXPECT_TRUE(l2.bEnhancedRFID);
    EXPECT_FALSE(l2.bRFID_Track2);
    const TContactlessSettings l4 = LayoutSettings(4);
    EXPECT_EQ(l4.PointerOffset, 960);
    EXPECT_TRUE(l4.bUseSector3);
    TContactlessSettings l1;
    l1.intRFIDLayout = 1;
    ApplyRFIDLayout(l1);
    EXPECT_EQ(l1.intRFIDTrack2_Format, 1); // track 2 off decides the format
    EXPECT_FALSE(l1.bEnhancedRFID);
}

} // namespace
