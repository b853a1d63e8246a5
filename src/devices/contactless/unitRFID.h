#pragma once
// TACR_PROX, the contactless encoder driver: opens the reader, selects a card, derives the card's
// sector key, logs into sectors with key fallback, and reads and writes the lock system's card
// layout (key data, track 2, elevator data, variable records, header, interrogation areas, audit
// trail).

#include "unitAcr120.h"
#include "unitRFIDKeys.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// What the driver needs from the configuration record, its card layout record and halvex.ini;
// the fields carry the names of RRFID_Card_Layout / RPropertyConfig. Defaults are layout 1.
struct TContactlessSettings {
    int intRFIDLayout = 1;
    int KeySector = 0;
    int CapacityOverride = -1;
    int ThirdSector = 3;
    int Track2Sector = 2;
    int HeaderSector = 1;
    int DataStartSector = 4;
    int LastSectorOverride = -1;
    int PointerOrigin = 256;
    int PointerOffset = 0;
    bool AuditSupport = true;
    bool bRFID_Track2 = false;
    bool bUseSector3 = false;
    bool bAdvancedKeyVerification = false;
    bool bEnhancedRFID = false;
    int intRFIDTrack2_Format = 0;
    QString STRRFIDSECTOR_KEYA;     // 12 hex digits overrides the site default key of the file
    bool UseProxWriteBuzzer = true; // halvex.ini [MISC] UseProxWriteBuzzer
    TRFIDKeyMaterial keys;          // RFIDKeys.INI; keys.valid false = no key material
    QString keysProblem;            // why keys are missing, for the error text (never a value)
};

// The per-layout values of intRFIDLayout applied to s (bRFID_Track2 / bUseSector3 hold the
// configured column values on entry), as the configuration load does.
void ApplyRFIDLayout(TContactlessSettings& s);

// The process-wide settings, set after every database attachment; read by drivers at ComInit.
void SetContactlessSettings(const TContactlessSettings& s);
TContactlessSettings ContactlessSettings();

// Pause of the driver (ms); the program's pause keeps the thread's events flowing.
using TContactlessPause = std::function<void(int ms)>;
void DefaultContactlessPause(int ms);

class TACR_PROX {
public:
    enum TKeyKind { KeyKindTransport = 0, KeyKindSiteDefault = 2, KeyKindCard = 3 };

    // Driver on the process-wide backend with the process-wide settings (refreshed by Reset).
    TACR_PROX();
    TACR_PROX(std::shared_ptr<IAcr120> library, const TContactlessSettings& settings);

    void SetPause(TContactlessPause pause) { m_pause = std::move(pause); }
    void Pause(int ms) const { m_pause(ms); }
    void SetSettings(const TContactlessSettings& settings);
    const TContactlessSettings& Settings() const { return m_settings; }
    bool KeysAvailable_b() const { return m_settings.keys.valid; }
    // Why the driver cannot work without key material; empty when it can.
    QString KeysProblem_str() const;

    void Reset();
    bool Open(int readerPort, bool raise = false);
    void Close();
    bool Select(QString& serial, int& cardType, bool raise = false);
    bool Login(bool raise = false);
    bool Read(int cardType, int mode, int& fKind, QByteArray& elevator, QByteArray& track2,
              QByteArray& variableInfo, QByteArray& fText, QByteArray& eText,
              QByteArray& keyDataHex, bool raise = false);
    int Write(int cardType, const QByteArray& keyData, bool buzzer, bool raise,
              const QByteArray& elevatorHex, const QByteArray& track2Hex,
              const QByteArray& variableInfo);
    bool Version(QString& text, bool raise = false);

    int LastResult() const { return m_lastResult; }
    void ClearLastResult() { m_lastResult = 0; }
    const QString& ErrorText() const { return m_errorText; }
    bool Blank() const { return m_blank; }
    int CurrentKeyKind() const { return m_currentKeyKind; }
    int TargetKeyKind() const { return m_targetKeyKind; }
    int LastSector() const { return m_lastSector; }
    int LastDataBlock() const { return m_lastDataBlock; }
    int RecordCapacity() const { return m_recordCapacity; }
    int16_t Handle() const { return m_handle; }
    const TAcr120Key& CardKey() const { return m_cardKey; }
    const TAcr120Key& WorkingKey() const { return m_workingKey; }
    const TAcr120Key& SiteDefaultKey() const { return m_siteDefaultKey; }
    const TAcr120Key& MaintenanceKey() const { return m_maintenanceKey; }
    static const TAcr120Key& TransportKey();

private:
    struct TArea;
    void computeBlocks();
    bool fail(const QString& heading, bool raise);
    bool libOk(int16_t result);
    bool loginKey(int sector, const TAcr120Key& key);
    bool readBlock(int block, TAcr120Block& data);
    bool writeBlock(int block, const TAcr120Block& data);
    bool rekeyTrailer(int sector, const TAcr120Key& key);
    const TAcr120Key& headerKey() const;
    bool reselect();
    bool readInterrogation(int mode, QByteArray& eText, QByteArray& fText, bool raise);
    bool readArea(int area, int firstBlock, int count, QByteArray& fText);
    bool readAudit(int endAddress, QByteArray& fText);

    std::shared_ptr<IAcr120> m_library;
    QString m_backendName;
    bool m_backendMissing = false;
    bool m_useProcessSettings = false;
    TContactlessSettings m_settings;
    TContactlessPause m_pause = DefaultContactlessPause;

    int16_t m_handle = -1;
    int m_lastResult = 0;
    QString m_errorText;
    bool m_blank = false;
    TAcr120Key m_siteDefaultKey{};
    TAcr120Key m_cardKey{};
    TAcr120Key m_workingKey{};
    TAcr120Key m_maintenanceKey{};
    int m_currentKeyKind = KeyKindTransport;
    int m_targetKeyKind = KeyKindSiteDefault;
    int m_loginSector = 0;
    int m_keyBlock = 1;
    int m_thirdBlock = 12;
    int m_track2Block = 8;
    int m_dataStartBlock = 16;
    int m_lastSector = 15;
    int m_lastDataBlock = 62;
    int m_recordCapacity = 0;
    int m_pointerOrigin = 256;
    int m_dataStartAddress = 256;
    QString m_serial;
    int m_cardType = 0;
};
