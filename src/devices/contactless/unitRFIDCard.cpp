// Card read and write of TACR_PROX on the lock system's card layout.
#include "Errors.h"
#include "unitAcr120Sim.h"
#include "unitRFID.h"

using namespace MifareGeometry;

namespace {
constexpr uint8_t HEADER_MARK = 0xC1;

bool isClassicLayoutCard(int cardType) {
    return cardType == Acr120::TAG_MIFARE_1K || cardType == Acr120::TAG_MIFARE_4K ||
           cardType == Acr120::TAG_MIFARE_MINI;
}

QByteArray hexOf(const uint8_t* p, int n) {
    return QByteArray(reinterpret_cast<const char*>(p), n).toHex().toUpper();
}

// Strict hex text to bytes; false for odd length or a non-hex character.
bool fromHex(const QByteArray& hex, QByteArray& out) {
    out.clear();
    if (hex.size() % 2 != 0)
        return false;
    for (const char c : hex)
        if (!std::isxdigit(uint8_t(c)))
            return false;
    out = QByteArray::fromHex(hex);
    return true;
}

TAcr120Block blockOf(const QByteArray& bytes, qsizetype from) {
    TAcr120Block b{};
    for (int i = 0; i < 16 && from + i < bytes.size(); ++i)
        b[size_t(i)] = uint8_t(bytes[from + i]);
    return b;
}

bool isInterrogation(const QByteArray& plain) {
    return plain.size() >= 2 && uint8_t(plain[0]) == 0xF7 && uint8_t(plain[1]) == 0x48;
}
} // namespace

// ---- Read ----

bool TACR_PROX::Read(int cardType, int mode, int& fKind, QByteArray& elevator, QByteArray& track2,
                     QByteArray& variableInfo, QByteArray& fText, QByteArray& eText,
                     QByteArray& keyDataHex, bool raise) {
    fKind = 0;
    elevator.clear();
    track2.clear();
    variableInfo.clear();
    fText.clear();
    eText.clear();
    keyDataHex.clear();
    if (m_lastResult < 0)
        return false;
    const QString heading = QStringLiteral("Error Reading Key");
    const TContactlessSettings& s = m_settings;
    int endAddress = m_dataStartAddress;
    uint8_t kind = 0;
    if (m_blank) {
        m_lastResult = -1;
        return fail(heading, raise);
    }

    // Key data.
    QByteArray key;
    TAcr120Block b{};
    if (cardType == Acr120::TAG_ULTRALIGHT) {
        for (int page = 4; page <= 8; ++page) {
            if (!readBlock(page, b))
                return fail(heading, raise);
            key += QByteArray(reinterpret_cast<const char*>(b.data()), page < 8 ? 4 : 1);
        }
    } else {
        if (!readBlock(m_keyBlock, b))
            return fail(heading, raise);
        key = QByteArray(reinterpret_cast<const char*>(b.data()), 16);
        if (!readBlock(m_keyBlock + 1, b))
            return fail(heading, raise);
        key += char(b[0]);
        endAddress = (int(b[4]) << 8 | b[5]) + s.PointerOffset;
        kind = b[6];
    }
    keyDataHex = key.toHex().toUpper();
    const bool interrogation = isInterrogation(RFIDUnscramble(key, s.keys));
    const bool classic = isClassicLayoutCard(cardType);

    if (!interrogation) {
        if (s.bRFID_Track2 && classic) {
            QByteArray raw;
            if (!loginKey(s.Track2Sector, TransportKey()))
                return fail(heading, raise);
            for (int i = 0; i < 3; ++i) {
                if (!readBlock(m_track2Block + i, b))
                    return fail(heading, raise);
                raw += QByteArray(reinterpret_cast<const char*>(b.data()), 16);
            }
            if (s.intRFIDTrack2_Format == 2) {
                const qsizetype zero = raw.indexOf('\0');
                track2 = (zero < 0 ? raw : raw.left(zero)).toHex().toUpper();
            } else {
                track2 = raw.mid(1, std::min<int>(uint8_t(raw[0]), 47)).toHex().toUpper();
            }
        }
        if (s.bUseSector3 && classic) {
            QByteArray raw;
            if (!loginKey(s.ThirdSector, m_workingKey))
                return fail(heading, raise);
            for (int i = 0; i < 3; ++i) {
                if (!readBlock(m_thirdBlock + i, b))
                    return fail(heading, raise);
                raw += QByteArray(reinterpret_cast<const char*>(b.data()), 16);
            }
            elevator = raw.toHex().toUpper().left(84);
        }
        if (endAddress - m_dataStartAddress >= 6) {
            QByteArray bytes;
            int address = m_dataStartAddress;
            int sector = -1;
            for (int block = m_dataStartBlock; block <= m_lastDataBlock && address < endAddress;
                 ++block) {
                if (IsTrailer(block)) {
                    address += 16;
                    continue;
                }
                if (SectorOfBlock(block) != sector) {
                    sector = SectorOfBlock(block);
                    if (!loginKey(sector, m_workingKey))
                        return fail(heading, raise);
                }
                if (!readBlock(block, b))
                    return fail(heading, raise);
                for (int i = 0; i < 16; ++i, ++address)
                    if (address < endAddress)
                        bytes += char(b[size_t(i)]);
            }
            if (bytes.size() >= 6) {
                variableInfo = QByteArray::number(kind, 16).rightJustified(2, '0').toUpper();
                for (qsizetype at = 0; at + 6 <= bytes.size(); at += 6) {
                    const QByteArray rec = bytes.mid(at, 6);
                    if (rec.count('\0') != 6)
                        variableInfo += '^' + rec.toHex().toUpper();
                }
            }
        }
    }

    const bool auditCard =
        s.AuditSupport && cardType != Acr120::TAG_ULTRALIGHT && cardType != Acr120::TAG_MIFARE_MINI;
    if (interrogation && auditCard) {
        fKind = 2;
        return readInterrogation(mode, eText, fText, raise);
    }
    if (!interrogation && mode == 1 && auditCard) {
        fKind = 1;
        if (!readAudit(endAddress, fText))
            return fail(heading, raise);
    }
    return true;
}

bool TACR_PROX::readInterrogation(int mode, QByteArray& eText, QByteArray& fText, bool raise) {
    const TContactlessSettings& s = m_settings;
    const int headerBlock = FirstBlock(s.HeaderSector);
    TAcr120Block b{};
    if (!loginKey(s.HeaderSector, headerKey()) || !readBlock(headerBlock, b))
        return fail(QStringLiteral("Error Reading Interrogation Key"), raise);
    std::array<int, 8> v{};
    for (int i = 0; i < 8; ++i)
        v[size_t(i)] = int(b[size_t(2 * i)]) << 8 | b[size_t(2 * i + 1)];
    const int lockNumber = v[0];
    if (lockNumber == 0)
        return true;
    eText = QByteArray::number(lockNumber, 16).rightJustified(4, '0').toUpper() + '/' +
            (mode == 0 ? 'N' : 'R');
    struct TAreaRead {
        int area, firstBlock, count;
    };
    const int ds = m_dataStartBlock;
    const std::array<TAreaRead, 6> areas{{{1, headerBlock + 1, v[1]},
                                          {2, ds, v[2]},
                                          {3, ds + 10, v[3]},
                                          {4, ds + 14, v[5]},
                                          {5, ds + 18, mode == 1 ? v[6] : 0},
                                          {8, headerBlock + 2, v[4]}}};
    for (const TAreaRead& a : areas)
        if (a.count > 0 && !readArea(a.area, a.firstBlock, a.count, fText))
            return fail(QStringLiteral("Error Reading Interrogation Area"), raise);
    if (v[6] > 0)
        eText += QByteArray::number(v[6]);
    return true;
}

bool TACR_PROX::readArea(int area, int firstBlock, int count, QByteArray& fText) {
    int taken = 0;
    int sector = -1;
    TAcr120Block b{};
    for (int block = firstBlock; taken < count && block <= m_lastDataBlock; ++block) {
        if (IsTrailer(block))
            continue;
        if (SectorOfBlock(block) != sector) {
            sector = SectorOfBlock(block);
            if (!loginKey(sector, sector == 1 ? m_siteDefaultKey : m_workingKey))
                return false;
        }
        if (!readBlock(block, b))
            return false;
        const int n = std::min(16, count - taken);
        fText += QByteArray::number(area).rightJustified(2, '0') +
                 QByteArray::number(taken, 16).rightJustified(4, '0').toUpper() +
                 QByteArray::number(n, 16).rightJustified(2, '0').toUpper() + hexOf(b.data(), n) +
                 "^^";
        taken += n;
    }
    return true;
}

bool TACR_PROX::readAudit(int endAddress, QByteArray& fText) {
    const TContactlessSettings& s = m_settings;
    const int ringStart = std::max(endAddress, m_dataStartAddress) / 8;
    const int headerBlock = FirstBlock(s.HeaderSector);
    if (!loginKey(s.HeaderSector, headerKey()))
        return false;
    int next = 0, count = 0;
    TAcr120Block b{};
    for (int i = 0; i < 2 && count == 0; ++i) {
        if (!readBlock(headerBlock + i, b))
            return false;
        uint8_t x = 0;
        for (int k = 0; k < 15; ++k)
            x ^= b[size_t(k)];
        const int n = b[0] | int(b[1]) << 8;
        const int c = b[2] | int(b[3]) << 8;
        if (b[15] == uint8_t(255 - x) && c > 0 && n > 31)
            next = n, count = c;
    }
    if (count == 0)
        return true;

    int record = next - 1;
    int block = record / 2;
    if (IsTrailer(block))
        --block, record -= 2;
    int taken = 0;
    int sector = -1;
    // One pass over the ring at most, whatever the header claims.
    for (int pass = 0; pass <= m_lastDataBlock + 1 && taken < count; ++pass) {
        if (pass > 0)
            Pause(20);
        if (block < 0 || block > m_lastDataBlock)
            break;
        if (SectorOfBlock(block) != sector) {
            sector = SectorOfBlock(block);
            if (!loginKey(sector, m_workingKey))
                return false;
        }
        if (!readBlock(block, b))
            return false;
        if (record == block * 2 + 1 && record >= ringStart) {
            fText += hexOf(b.data() + 8, 8);
            --record;
            if (++taken >= count)
                break;
        }
        if (record == block * 2 && record >= ringStart) {
            fText += hexOf(b.data(), 8);
            --record;
            if (++taken >= count)
                break;
        }
        --block;
        if (block >= 0 && IsTrailer(block))
            --block, record -= 2;
        if (record < ringStart) {
            block = m_lastDataBlock;
            record = block * 2 + 1;
        }
    }
    return true;
}

// ---- Write ----

int TACR_PROX::Write(int cardType, const QByteArray& keyData, bool buzzer, bool raise,
                     const QByteArray& elevatorHex, const QByteArray& track2Hex,
                     const QByteArray& variableInfo) {
    if (m_lastResult < 0)
        return 21;
    const TContactlessSettings& s = m_settings;
    const bool classic = isClassicLayoutCard(cardType);
    const bool nonRekeyable = cardType == 246 || cardType == 252 || cardType == 253;

    bool interrogation = false;
    bool abandoned = false; // a card type that cannot be re-keyed: 21 without an error text
    auto body = [&]() -> bool {
        if (keyData.size() != 17) {
            m_lastResult = -2;
            if (!m_errorText.isEmpty())
                m_errorText += QStringLiteral("\r\n");
            m_errorText += QStringLiteral("Invalid Key Data");
            return false;
        }
        const QByteArray plain = RFIDUnscramble(keyData, s.keys);
        interrogation = isInterrogation(plain);
        const bool secondClass = !interrogation && (uint8_t(plain[14]) & 0x0F) == 0 &&
                                 uint8_t(plain[15]) == 0 && uint8_t(plain[0]) < 0xF0 &&
                                 (uint8_t(plain[0]) & 0x07) != 6;

        // Parameters are checked before anything is written.
        const QList<QByteArray> items =
            variableInfo.isEmpty() ? QList<QByteArray>{} : variableInfo.split('^');
        if (items.size() > m_recordCapacity) {
            m_lastResult = Acr120::ERR_INCORRECT_PARAM;
            return false;
        }
        QByteArray records, kindBytes, elevator, track2;
        for (qsizetype i = 0; i < items.size(); ++i) {
            QByteArray bytes;
            if (!fromHex(items[i], bytes) || bytes.size() > (i == 0 ? 1 : 6)) {
                m_lastResult = Acr120::ERR_INCORRECT_PARAM;
                return false;
            }
            (i == 0 ? kindBytes : records) += bytes;
        }
        const bool writeTrack2 = s.bRFID_Track2 && classic && track2Hex != "IGNORE";
        if (!fromHex(elevatorHex, elevator) || elevator.size() > 48 ||
            (writeTrack2 && (!fromHex(track2Hex, track2) ||
                             track2.size() > (s.intRFIDTrack2_Format == 2 ? 48 : 47)))) {
            m_lastResult = Acr120::ERR_INCORRECT_PARAM;
            return false;
        }

        // Re-keying.
        if (cardType != Acr120::TAG_ULTRALIGHT &&
            (m_blank || s.bAdvancedKeyVerification || m_currentKeyKind != m_targetKeyKind)) {
            if (nonRekeyable) {
                abandoned = true;
                return false;
            }
            QList<int> sectors{s.KeySector, s.HeaderSector};
            if (s.bUseSector3)
                sectors << s.ThirdSector;
            for (int sec = s.DataStartSector; sec <= m_lastSector; ++sec)
                sectors << sec;
            for (const int sec : sectors) {
                if (m_blank) {
                    if (!loginKey(sec, TransportKey()))
                        return false;
                } else {
                    m_loginSector = sec;
                    if (!Login())
                        return false;
                }
                if (m_currentKeyKind != m_targetKeyKind &&
                    !rekeyTrailer(sec, sec == 1 ? m_siteDefaultKey : m_workingKey))
                    return false;
            }
            m_loginSector = s.KeySector;
            if (!loginKey(s.KeySector, m_workingKey))
                return false;
        }

        // Sector 15 of a 1K card may carry the maintenance key.
        if (cardType == Acr120::TAG_MIFARE_1K) {
            if (loginKey(15, m_maintenanceKey)) {
                if (!rekeyTrailer(15, m_workingKey))
                    return false;
            } else {
                m_lastResult = 0;
                if (!reselect())
                    return false;
            }
            if (!loginKey(s.KeySector, m_workingKey))
                return false;
        }

        if (interrogation && (cardType == Acr120::TAG_ULTRALIGHT ||
                              cardType == Acr120::TAG_MIFARE_MINI || !s.AuditSupport)) {
            m_lastResult = Acr120::ERR_INCORRECT_PARAM;
            return false;
        }

        // Key data.
        const bool withRecords = !interrogation && items.size() > 1;
        int recordBytes = 0; // L
        if (cardType == Acr120::TAG_ULTRALIGHT) {
            for (int page = 4; page <= 8; ++page) {
                TAcr120Block p{};
                const int from = (page - 4) * 4;
                for (int i = 0; i < (page < 8 ? 4 : 1); ++i)
                    p[size_t(i)] = uint8_t(keyData[from + i]);
                Pause(100);
                if (!writeBlock(page, p))
                    return false;
            }
        } else {
            Pause(100);
            if (!writeBlock(m_keyBlock, blockOf(keyData, 0)))
                return false;
            TAcr120Block second{};
            second[0] = uint8_t(keyData[16]);
            if (!secondClass) {
                second[2] = cardType == Acr120::TAG_MIFARE_1K   ? 4
                            : cardType == Acr120::TAG_MIFARE_4K ? 6
                                                                : 0;
                second[3] = interrogation ? 'Z' : 0;
                if (withRecords) {
                    recordBytes = (int(items.size() - 1) * 6 + 7) / 8 * 8;
                    int pointer = recordBytes / 48 * 16 + m_pointerOrigin + recordBytes;
                    if (s.PointerOffset + pointer > 2048) {
                        const int d = recordBytes - (2048 - m_dataStartAddress) / 64 * 48;
                        pointer = d / 240 * 16 + d + 2048;
                    }
                    second[4] = uint8_t(pointer >> 8);
                    second[5] = uint8_t(pointer);
                    second[6] = kindBytes.isEmpty() ? 0 : uint8_t(kindBytes[0]);
                }
            }
            Pause(100);
            if (!writeBlock(m_keyBlock + 1, second))
                return false;
        }

        if (classic) {
            // Header sector.
            const int headerBlock = FirstBlock(s.HeaderSector);
            if (!loginKey(s.HeaderSector, headerKey()))
                return false;
            TAcr120Block h0{}, h1{};
            if (s.intRFIDLayout == 1 && s.bEnhancedRFID) {
                h1[11] = HEADER_MARK;
                if (!interrogation)
                    h0[11] = h0[15] = h1[15] = HEADER_MARK;
            }
            if (!writeBlock(headerBlock, h0) || !writeBlock(headerBlock + 1, h1))
                return false;
            if (interrogation && !writeBlock(headerBlock + 2, TAcr120Block{}))
                return false;

            // Variable records; the block in which they end is written zero-padded.
            if (withRecords) {
                const QByteArray bytes = records.leftJustified(recordBytes, '\0', true);
                int offset = 0;
                int sector = -1;
                for (int block = m_dataStartBlock;
                     block <= m_lastDataBlock && offset <= recordBytes; ++block) {
                    if (IsTrailer(block))
                        continue;
                    if (SectorOfBlock(block) != sector) {
                        sector = SectorOfBlock(block);
                        if (!loginKey(sector, m_workingKey))
                            return false;
                    }
                    if (!writeBlock(block, blockOf(bytes, offset)))
                        return false;
                    offset += 16;
                }
            }

            if (writeTrack2) {
                if (!loginKey(s.Track2Sector, TransportKey()))
                    return false;
                const QByteArray t =
                    s.intRFIDTrack2_Format == 2 ? track2 : char(track2.size()) + track2;
                for (int i = 0; i < 3; ++i)
                    if (!writeBlock(m_track2Block + i, blockOf(t, i * 16)))
                        return false;
            }

            if (s.bUseSector3) {
                if (!loginKey(s.ThirdSector, m_workingKey)) {
                    m_lastResult = 0;
                    if (!reselect() || !loginKey(s.ThirdSector, TransportKey()) ||
                        !rekeyTrailer(s.ThirdSector, m_workingKey))
                        return false;
                }
                if (!loginKey(s.ThirdSector, m_workingKey))
                    return false;
                for (int i = 0; i < 3; ++i)
                    if (!writeBlock(m_thirdBlock + i, blockOf(elevator, i * 16)))
                        return false;
            }
        }
        return true;
    };

    body();
    m_loginSector = s.KeySector;
    if (abandoned)
        return 21;
    int result = 0;
    if (m_lastResult < 0) {
        result = m_lastResult == Acr120::ERR_INCORRECT_PARAM ? 19 : 21;
        fail(QStringLiteral("Error Writing Key"), false);
    }
    if (buzzer) {
        m_library->ACR120_WriteUserPort(m_handle, 0x44);
        Pause(50);
        m_library->ACR120_WriteUserPort(m_handle, 0x40);
    }
    if (result != 0 && raise)
        throw EUlmex(m_errorText);
    return result;
}
