// Site key file, key derivation and the simulated reader.
#include "ContactlessFixture.h"
#include "unitRFIDKeys.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

TEST(RFIDKeysFile, CreatedPrivateAndReadBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    ASSERT_TRUE(RFIDKeys_Create_b(dir.path(), &error)) << error.toStdString();
    const QString path = RFIDKeysPath(dir.path());
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(path) & others, QFileDevice::Permissions());
    EXPECT_TRUE(QFile::permissions(path) & QFileDevice::ReadOwner);
    TRFIDKeyMaterial keys;
    ASSERT_TRUE(RFIDKeys_Read_b(dir.path(), keys, &error)) << error.toStdString();
    EXPECT_TRUE(keys.valid);
    EXPECT_EQ(keys.maintenanceKey[0], keys.maintenanceKey[5]); // six equal bytes
    // The table is a permutation, so scrambling is undone exactly.
    const QByteArray data = QByteArray::fromHex("F748000102030405060708090A0B0CFEFF");
    EXPECT_EQ(RFIDUnscramble(RFIDScramble(data, keys), keys), data);
}

TEST(RFIDKeysFile, ExistingFileIsKept) {
    QTemporaryDir dir;
    ASSERT_TRUE(RFIDKeys_Create_b(dir.path()));
    QFile f(RFIDKeysPath(dir.path()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    ASSERT_TRUE(RFIDKeys_Create_b(dir.path()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

struct TBadKeyFile {
    const char* name;
    const char* key;   // key to replace ("" = remove the file)
    const char* value; // replacement value
    const char* why;   // expected in the error text
};

class RFIDKeysBadFile : public ::testing::TestWithParam<TBadKeyFile> {};

TEST_P(RFIDKeysBadFile, ReadFailsNamingFileButNoValue) {
    const TBadKeyFile& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(RFIDKeys_Create_b(dir.path()));
    const QString path = RFIDKeysPath(dir.path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    f.close();
    if (*c.key == 0) {
        QFile::remove(path);
    } else {
        const qsizetype at = text.indexOf(QByteArray(c.key) + '=');
        ASSERT_GE(at, 0);
        const qsizetype end = text.indexOf('\r', at);
        const QByteArray value =
            QByteArray(c.value) == "@zeros" ? QByteArray(512, '0') : QByteArray(c.value);
        text.replace(at, end - at, QByteArray(c.key) + '=' + value);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
    }
    TRFIDKeyMaterial keys;
    QString error;
    EXPECT_FALSE(RFIDKeys_Read_b(dir.path(), keys, &error));
    EXPECT_FALSE(keys.valid);
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(c.why))) << error.toStdString();
    EXPECT_FALSE(error.contains(QLatin1String("=")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RFIDKeysBadFile,
    ::testing::Values(TBadKeyFile{"Missing", "", "", "not found"},
                      TBadKeyFile{"ShortSiteKey", "SiteDefaultKey", "A1A2A3", "SiteDefaultKey"},
                      TBadKeyFile{"NonHexMaintenance", "MaintenanceKey", "ZZZZZZZZZZZZ",
                                  "MaintenanceKey"},
                      TBadKeyFile{"TableNotPermutation", "Substitution", "@zeros", "permutation"},
                      TBadKeyFile{"MissingConstant", "K5", "", "K5"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TDerivation {
    const char* serial;
    const char* key;
};

class RFIDKeyDerivation : public ::testing::TestWithParam<TDerivation> {};

TEST_P(RFIDKeyDerivation, KnownAnswers) {
    const TAcr120Key k = RFIDDeriveKey(QLatin1String(GetParam().serial), TestKeys());
    EXPECT_EQ(KeyBytes(k).toHex().toUpper(), QByteArray(GetParam().key));
}

INSTANTIATE_TEST_SUITE_P(Cases, RFIDKeyDerivation,
                         ::testing::Values(TDerivation{"04A1B2C3", "2710ADBECF27"},
                                           TDerivation{"FFFFFFFF", "3C0E0E0E0D3B"},
                                           TDerivation{"00000000", "010101010101"},
                                           TDerivation{"04112233445566", "2C3D4E5F7013"},
                                           TDerivation{"", "A1A2A3A4A5A6"})); // site default

// ---- simulated reader ----

class SimReader : public ::testing::Test {
protected:
    void SetUp() override {
        h = sim.ACR120_Open(0);
        ASSERT_GE(h, 0);
        ASSERT_TRUE(sim.PlaceCard(
            0, TSimCard::Blank(Acr120::TAG_MIFARE_1K, QByteArray::fromHex("04A1B2C3"))));
    }
    int16_t Select() {
        uint8_t type = 0, len = 0;
        TAcr120Serial serial{};
        return sim.ACR120_Select(h, type, len, serial);
    }
    TSimAcr120 sim;
    int16_t h = -1;
    const TAcr120Key transport{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    TAcr120Block block{};
};

TEST_F(SimReader, FailedLoginLeavesCardUnselectedUntilNextSelect) {
    ASSERT_EQ(Select(), 0);
    const TAcr120Key wrong{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(sim.ACR120_Login(h, 1, Acr120::KEY_TYPE_A, 0, wrong), Acr120::ERR_OPERATION_FAILED);
    EXPECT_EQ(sim.ACR120_Login(h, 1, Acr120::KEY_TYPE_A, 0, transport), Acr120::ERR_NO_TAG);
    ASSERT_EQ(Select(), 0);
    EXPECT_EQ(sim.ACR120_Login(h, 1, Acr120::KEY_TYPE_A, 0, transport), 0);
    EXPECT_EQ(sim.ACR120_Read(h, 4, block), 0);
    EXPECT_EQ(sim.ACR120_Read(h, 8, block), Acr120::ERR_OPERATION_FAILED); // other sector
}

TEST_F(SimReader, TrailerWriteReportsMinus1000AndKeyAReadsAsZero) {
    ASSERT_EQ(Select(), 0);
    ASSERT_EQ(sim.ACR120_Login(h, 2, Acr120::KEY_TYPE_A, 0, transport), 0);
    TAcr120Block t{};
    ASSERT_EQ(sim.ACR120_Read(h, 11, t), 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(t.data()), 16).toHex(),
              "000000000000ff078069ffffffffffff");
    t[0] = 0x12;
    EXPECT_EQ(sim.ACR120_Write(h, 11, t), Acr120::ERR_INTERNAL_UNEXPECTED);
    EXPECT_EQ(sim.Card(0)->KeyA(2).toHex(), "120000000000");
    EXPECT_EQ(sim.ACR120_Write(h, 10, block), 0);
    EXPECT_EQ(sim.ACR120_Write(h, 0, block), Acr120::ERR_OPERATION_FAILED); // manufacturer block
}

TEST_F(SimReader, UltralightPagesNeedNoLoginAndWritesReportMinus1000) {
    ASSERT_TRUE(sim.PlaceCard(
        0, TSimCard::Blank(Acr120::TAG_ULTRALIGHT, QByteArray::fromHex("04112233445566"))));
    uint8_t type = 0, len = 0;
    TAcr120Serial serial{};
    ASSERT_EQ(sim.ACR120_Select(h, type, len, serial), 0);
    EXPECT_EQ(type, Acr120::TAG_ULTRALIGHT);
    EXPECT_EQ(len, 7);
    block = {0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(sim.ACR120_Write(h, 5, block), Acr120::ERR_INTERNAL_UNEXPECTED);
    EXPECT_EQ(sim.ACR120_Write(h, 1, block), Acr120::ERR_OPERATION_FAILED); // serial page
    ASSERT_EQ(sim.ACR120_Read(h, 5, block), 0);
    EXPECT_EQ(block[0], 0xDE);
    EXPECT_EQ(block[3], 0xEF);
}

TEST_F(SimReader, NoCardNoHandleAndBadPort) {
    sim.RemoveCard(0);
    EXPECT_EQ(Select(), Acr120::ERR_NO_TAG);
    EXPECT_EQ(sim.ACR120_Read(h, 4, block), Acr120::ERR_NO_TAG);
    EXPECT_EQ(sim.ACR120_Read(int16_t(h + 100), 4, block), Acr120::ERR_HANDLE_INVALID);
    EXPECT_EQ(sim.ACR120_Open(SIM_READER_PORTS), Acr120::ERR_PORT_INVALID);
}

TEST_F(SimReader, UserPortWritesAreRecorded) {
    sim.ACR120_WriteUserPort(h, 0x44);
    sim.ACR120_WriteUserPort(h, 0x40);
    EXPECT_EQ(sim.UserPortWrites(0), (QVector<uint8_t>{0x44, 0x40}));
}

TEST(SimCardFile, SavedCardSurvivesRestartAndOutsideChangesAreSeen) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cards.json"));
    {
        TSimAcr120 first;
        ASSERT_TRUE(first.SetCardFile(path));
        TSimCard card = TSimCard::Blank(Acr120::TAG_MIFARE_4K, QByteArray::fromHex("0A0B0C0D"));
        card.SetBlock(200, QByteArray(16, '\x77'));
        ASSERT_TRUE(first.PlaceCard(3, card));
    }
    EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    TSimAcr120 second;
    QString error;
    ASSERT_TRUE(second.SetCardFile(path, &error)) << error.toStdString();
    ASSERT_TRUE(second.Card(3).has_value());
    EXPECT_EQ(second.Card(3)->type, Acr120::TAG_MIFARE_4K);
    EXPECT_EQ(second.Card(3)->Block(200), QByteArray(16, '\x77'));

    // Another process (here another instance) places a card: the next selection sees it.
    TSimAcr120 other;
    ASSERT_TRUE(other.SetCardFile(path));
    ASSERT_TRUE(other.PlaceCard(
        1, TSimCard::Blank(Acr120::TAG_MIFARE_1K, QByteArray::fromHex("01020304"))));
    const int16_t h = second.ACR120_Open(1);
    uint8_t type = 0, len = 0;
    TAcr120Serial serial{};
    EXPECT_EQ(second.ACR120_Select(h, type, len, serial), 0);
    EXPECT_EQ(serial[3], 0x04);
}

struct TBadCardFile {
    const char* name;
    const char* text;
};

class SimCardFileBad : public ::testing::TestWithParam<TBadCardFile> {};

TEST_P(SimCardFileBad, RefusedWithReasonAndCardsKept) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cards.json"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(GetParam().text);
    f.close();
    TSimAcr120 sim;
    ASSERT_TRUE(sim.PlaceCard(0, TSimCard::Blank(2, QByteArray::fromHex("01020304"))));
    QString error;
    EXPECT_FALSE(sim.LoadCardFile(path, &error));
    EXPECT_TRUE(error.startsWith(path)) << error.toStdString();
    EXPECT_TRUE(sim.Card(0).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimCardFileBad,
    ::testing::Values(
        TBadCardFile{"NotJson", "{readers"}, TBadCardFile{"NoReaders", "{}"},
        TBadCardFile{"PortOutOfRange",
                     R"({"readers":[{"port":99,"card":{"type":2,"serial":"01020304"}}]})"},
        TBadCardFile{"BadSerial", R"({"readers":[{"port":0,"card":{"type":2,"serial":"0102"}}]})"},
        TBadCardFile{
            "WrongBlockCount",
            R"({"readers":[{"port":0,"card":{"type":2,"serial":"01020304","blocks":["00"]}}]})"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
