#pragma once
// A private simulated reader, fixed test keys and a driver whose pauses are only recorded.

#include "unitAcr120Sim.h"
#include "unitContactless.h"
#include "unitRFID.h"

#include <QVector>
#include <gtest/gtest.h>
#include <memory>

inline TRFIDKeyMaterial TestKeys() {
    TRFIDKeyMaterial k;
    k.valid = true;
    for (int i = 0; i < 16; ++i)
        k.derivation[size_t(i)] = uint64_t(i + 1) * 0x010101010101ULL;
    k.siteDefaultKey = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
    k.maintenanceKey = {0x5C, 0x5C, 0x5C, 0x5C, 0x5C, 0x5C};
    for (int i = 0; i < 256; ++i)
        k.substitution[size_t(i)] = uint8_t(i ^ 0x5A);
    return k;
}

inline TContactlessSettings LayoutSettings(int layout, bool track2 = true, bool sector3 = true,
                                           bool enhanced = false, int track2Format = 1) {
    TContactlessSettings s;
    s.intRFIDLayout = layout;
    s.bRFID_Track2 = track2;
    s.bUseSector3 = sector3;
    s.bEnhancedRFID = enhanced;
    s.intRFIDTrack2_Format = track2Format;
    s.UseProxWriteBuzzer = true;
    ApplyRFIDLayout(s);
    s.keys = TestKeys();
    return s;
}

inline QByteArray KeyBytes(const TAcr120Key& k) {
    return QByteArray(reinterpret_cast<const char*>(k.data()), 6);
}

// 17 key data bytes (as the station sends them, scrambled) of a guest key or an interrogation key.
inline QByteArray TestKeyData(bool interrogation = false) {
    QByteArray plain = QByteArray::fromHex("1102030405060708090A0B0C0D0E0F1011");
    if (interrogation)
        plain[0] = char(0xF7), plain[1] = char(0x48);
    return RFIDScramble(plain, TestKeys());
}

// The strData of a write: "3", two characters, then the 34 hex digits in reverse order.
inline QByteArray WriteData(const QByteArray& keyData) {
    QByteArray hex = keyData.toHex().toUpper();
    std::reverse(hex.begin(), hex.end());
    return "300" + hex;
}

class ContactlessFixture : public ::testing::Test {
protected:
    void Make(const TContactlessSettings& s, int readerPort = 0) {
        prox = std::make_unique<TACR_PROX>(sim, s);
        prox->SetPause([this](int ms) { pauses << ms; });
        ASSERT_TRUE(prox->Open(readerPort)) << prox->ErrorText().toStdString();
    }
    void Place(uint8_t type, const QByteArray& serial = QByteArray::fromHex("04A1B2C3")) {
        ASSERT_TRUE(sim->PlaceCard(0, TSimCard::Blank(type, serial)));
    }
    TSimCard Card() const { return *sim->Card(0); }

    bool Transact(int command, const QByteArray& data = {}) {
        error.Clear();
        return ContactlessTransaction(*prox, command, data, addl, variable, track2, elevator,
                                      answer, error, escape);
    }

    std::shared_ptr<TSimAcr120> sim = std::make_shared<TSimAcr120>();
    std::unique_ptr<TACR_PROX> prox;
    QVector<int> pauses;
    QByteArray addl, variable, track2, elevator, answer;
    THalvexError error;
    std::atomic<bool> escape{false};
};

inline QByteArray Framed(const QByteArray& text) {
    return '\x02' + text + '\x03';
}
