#pragma once
// Site key material of the contactless cards, kept in RFIDKeys.INI in the shared database folder
// (beside NetworkInfo.INI) so that every computer of a site derives the same keys. The values are
// never written to a log or shown in a message.

#include "unitAcr120.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

inline constexpr const char* RFID_KEYS_FILE_NAME = "RFIDKeys.INI";

struct TRFIDKeyMaterial {
    bool valid = false;
    std::array<uint64_t, 16> derivation{}; // 48-bit constants of the card key derivation
    TAcr120Key siteDefaultKey{};
    TAcr120Key maintenanceKey{};
    std::array<uint8_t, 256> substitution{}; // scrambled key data byte -> plain byte
};

// Folder + "RFIDKeys.INI".
QString RFIDKeysPath(const QString& folder);

// Writes a new RFIDKeys.INI with random values, owner read/write only. An existing file is kept
// unless overwrite is set (its cards would no longer open). False with *error on failure.
bool RFIDKeys_Create_b(const QString& folder, QString* error = nullptr, bool overwrite = false);

// Reads and checks RFIDKeys.INI; false with *error (which names the file, never a value).
bool RFIDKeys_Read_b(const QString& folder, TRFIDKeyMaterial& keys, QString* error = nullptr);

// The card key from a serial text of hex digits; an empty serial gives the site default key.
TAcr120Key RFIDDeriveKey(const QString& serialHex, const TRFIDKeyMaterial& keys);

// The 17 key data bytes through the substitution table.
QByteArray RFIDUnscramble(const QByteArray& keyData, const TRFIDKeyMaterial& keys);
// The reverse, for tools and tests that compose key data.
QByteArray RFIDScramble(const QByteArray& plain, const TRFIDKeyMaterial& keys);

// 12 hex digits as a key; false when the text is not exactly that.
bool RFIDKeyFromHex(const QString& text, TAcr120Key& key);
