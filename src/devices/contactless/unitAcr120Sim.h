#pragma once
// A simulated ACR120 reader: readers on ports 0..SIM_READER_PORTS-1, each with at most one
// virtual MIFARE card in its field. Thread-safe; one process-wide instance (SimAcr120()) is
// shared by every connection, so a test or a card file can place a card that a worker sees.

#include "unitAcr120.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QVector>
#include <mutex>
#include <optional>

inline constexpr int SIM_READER_PORTS = 16;

// One virtual card: tag type, 4- or 7-byte serial and its memory (16-byte blocks; 4-byte pages
// on an Ultralight).
struct TSimCard {
    uint8_t type = Acr120::TAG_MIFARE_1K;
    QByteArray serial;
    QByteArray memory;

    // A factory-fresh card: serial in block 0 (pages 0-2), every trailer with key A and key B
    // FF FF FF FF FF FF and the transport access bits FF 07 80 69.
    static TSimCard Blank(uint8_t type, const QByteArray& serial);

    bool IsUltralight() const { return type == Acr120::TAG_ULTRALIGHT; }
    int BlockCount() const; // blocks, or pages on an Ultralight
    int SectorCount() const;
    QByteArray Block(int block) const; // 16 bytes (4 on an Ultralight page); empty out of range
    void SetBlock(int block, const QByteArray& bytes);
    QByteArray KeyA(int sector) const;
    void SetKeyA(int sector, const QByteArray& key);
};

// Card geometry shared by the simulator and the driver.
namespace MifareGeometry {
inline int FirstBlock(int sector) {
    return sector < 32 ? sector * 4 : 128 + (sector - 32) * 16;
}
inline int TrailerBlock(int sector) {
    return sector < 32 ? sector * 4 + 3 : 128 + (sector - 32) * 16 + 15;
}
inline int SectorOfBlock(int block) {
    return block < 128 ? block / 4 : 32 + (block - 128) / 16;
}
inline bool IsTrailer(int block) {
    return block < 128 ? block % 4 == 3 : (block - 128) % 16 == 15;
}
} // namespace MifareGeometry

class TSimAcr120 : public IAcr120 {
public:
    TSimAcr120() = default;

    int16_t ACR120_Open(uint16_t readerPort) override;
    int16_t ACR120_Close(int16_t handle) override;
    int16_t ACR120_Select(int16_t handle, uint8_t& tagType, uint8_t& serialLength,
                          TAcr120Serial& serial) override;
    int16_t ACR120_Login(int16_t handle, uint8_t sector, uint8_t keyType, uint8_t storedKeyNo,
                         const TAcr120Key& key) override;
    int16_t ACR120_Read(int16_t handle, uint8_t block, TAcr120Block& data) override;
    int16_t ACR120_Write(int16_t handle, uint8_t block, const TAcr120Block& data) override;
    int16_t ACR120_WriteUserPort(int16_t handle, uint8_t value) override;
    int16_t ACR120_RequestDLLVersion(uint8_t& length, std::array<char, 31>& version) override;
    int16_t ACR120_Status(int16_t handle, std::array<uint8_t, 20>& firmware,
                          TAcr120Status& status) override;

    // Test and demonstration control.
    bool PlaceCard(int readerPort, const TSimCard& card);
    void RemoveCard(int readerPort);
    void RemoveAllCards();
    std::optional<TSimCard> Card(int readerPort) const;
    QVector<uint8_t> UserPortWrites(int readerPort) const;
    void SetVersionTexts(const QByteArray& dllVersion, const QByteArray& firmware);

    // The card file: loaded now (when it exists), reloaded when it changes on disk, saved after
    // every change. Returns false with *error when the file exists but cannot be read.
    bool SetCardFile(const QString& path, QString* error = nullptr);
    bool LoadCardFile(const QString& path, QString* error = nullptr);
    bool SaveCardFile(const QString& path, QString* error = nullptr) const;

private:
    struct TReader {
        std::optional<TSimCard> card;
        bool selected = false;
        int authSector = -1;
        QVector<uint8_t> userPort;
    };

    TReader* readerOf(int16_t handle);
    void saveLocked();
    void reloadIfChangedLocked();
    bool loadLocked(const QString& path, QString* error);
    bool saveLocked(const QString& path, QString* error) const;

    mutable std::recursive_mutex m_mutex;
    std::array<TReader, SIM_READER_PORTS> m_readers;
    QMap<int16_t, int> m_handles; // handle -> reader port
    int16_t m_nextHandle = 1;
    QByteArray m_dllVersion = "ACR120U sim 1.0";
    QByteArray m_firmware = "ACR120 SIM FW 1.00";
    QString m_cardFile;
    QByteArray m_cardFileContent; // last content loaded or saved, to see outside changes
};

// The process-wide simulated reader.
std::shared_ptr<TSimAcr120> SimAcr120();
