#include "unitRFID.h"

#include "Errors.h"
#include "unitAcr120Sim.h"
#include "unitPumpEvents.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <mutex>

using namespace MifareGeometry;

namespace {
constexpr qsizetype MAX_ERROR_TEXT = 4000;

std::mutex& settingsMutex() {
    static std::mutex m;
    return m;
}
TContactlessSettings& processSettings() {
    static TContactlessSettings s = [] {
        TContactlessSettings d;
        d.keysProblem = QStringLiteral("site keys not loaded");
        return d;
    }();
    return s;
}
// Stands in when the configured backend does not exist here: nothing opens.
class TMissingAcr120 : public IAcr120 {
public:
    int16_t ACR120_Open(uint16_t) override { return Acr120::ERR_PORT_INVALID; }
    int16_t ACR120_Close(int16_t) override { return Acr120::ERR_HANDLE_INVALID; }
    int16_t ACR120_Select(int16_t, uint8_t&, uint8_t&, TAcr120Serial&) override {
        return Acr120::ERR_HANDLE_INVALID;
    }
    int16_t ACR120_Login(int16_t, uint8_t, uint8_t, uint8_t, const TAcr120Key&) override {
        return Acr120::ERR_HANDLE_INVALID;
    }
    int16_t ACR120_Read(int16_t, uint8_t, TAcr120Block&) override {
        return Acr120::ERR_HANDLE_INVALID;
    }
    int16_t ACR120_Write(int16_t, uint8_t, const TAcr120Block&) override {
        return Acr120::ERR_HANDLE_INVALID;
    }
    int16_t ACR120_WriteUserPort(int16_t, uint8_t) override { return Acr120::ERR_HANDLE_INVALID; }
    int16_t ACR120_RequestDLLVersion(uint8_t&, std::array<char, 31>&) override {
        return Acr120::ERR_HANDLE_INVALID;
    }
    int16_t ACR120_Status(int16_t, std::array<uint8_t, 20>&, TAcr120Status&) override {
        return Acr120::ERR_HANDLE_INVALID;
    }
};
} // namespace

void ApplyRFIDLayout(TContactlessSettings& s) {
    if (!s.bRFID_Track2)
        s.intRFIDTrack2_Format = 1;
    s.KeySector = 0;
    s.ThirdSector = 3;
    s.Track2Sector = 2;
    s.HeaderSector = 1;
    s.DataStartSector = 4;
    s.LastSectorOverride = -1;
    s.CapacityOverride = -1;
    s.PointerOrigin = 256;
    s.AuditSupport = true;
    switch (s.intRFIDLayout) {
    case 2:
        s.KeySector = 3, s.ThirdSector = 0, s.Track2Sector = 0, s.HeaderSector = 4;
        s.DataStartSector = 5, s.LastSectorOverride = 7, s.PointerOrigin = 320;
        s.AuditSupport = false, s.bRFID_Track2 = false, s.bUseSector3 = false;
        break;
    case 3:
        s.KeySector = 6, s.ThirdSector = 9, s.Track2Sector = 8, s.HeaderSector = 7;
        s.DataStartSector = 10;
        s.bRFID_Track2 = true, s.bUseSector3 = true;
        break;
    case 4:
        s.KeySector = 16, s.ThirdSector = 18, s.Track2Sector = 0, s.HeaderSector = 17;
        s.DataStartSector = 19, s.LastSectorOverride = 20;
        s.AuditSupport = false, s.bRFID_Track2 = false, s.bUseSector3 = true;
        break;
    default:
        break;
    }
    s.PointerOffset = s.intRFIDLayout == 2 ? 0 : (s.DataStartSector - 4) * 64;
    if (s.intRFIDLayout != 1)
        s.bEnhancedRFID = true;
}

void SetContactlessSettings(const TContactlessSettings& s) {
    std::lock_guard lock(settingsMutex());
    processSettings() = s;
}

TContactlessSettings ContactlessSettings() {
    std::lock_guard lock(settingsMutex());
    return processSettings();
}

void DefaultContactlessPause(int ms) {
    if (ms <= 0)
        return;
    if (QCoreApplication::instance() &&
        QAbstractEventDispatcher::instance(QThread::currentThread()))
        PumpEventsUntil([] { return false; }, ms);
    else
        QThread::msleep(ulong(ms));
}

// ---- TACR_PROX ----

const TAcr120Key& TACR_PROX::TransportKey() {
    static const TAcr120Key k{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return k;
}

TACR_PROX::TACR_PROX() : m_useProcessSettings(true) {
    m_library = Acr120Library(&m_backendName);
    if (!m_library) {
        m_backendMissing = true;
        m_library = std::make_shared<TMissingAcr120>();
    }
    SetSettings(ContactlessSettings());
}

TACR_PROX::TACR_PROX(std::shared_ptr<IAcr120> library, const TContactlessSettings& settings)
    : m_library(std::move(library)) {
    if (!m_library) {
        m_backendMissing = true;
        m_library = std::make_shared<TMissingAcr120>();
    }
    SetSettings(settings);
}

void TACR_PROX::SetSettings(const TContactlessSettings& settings) {
    m_settings = settings;
    TAcr120Key configured{};
    if (RFIDKeyFromHex(m_settings.STRRFIDSECTOR_KEYA, configured))
        m_settings.keys.siteDefaultKey = configured;
    m_siteDefaultKey = RFIDDeriveKey(QString(), m_settings.keys);
    m_maintenanceKey = m_settings.keys.maintenanceKey;
    computeBlocks();
}

QString TACR_PROX::KeysProblem_str() const {
    if (m_settings.keys.valid)
        return {};
    QString t = QStringLiteral("No contactless site key material");
    if (!m_settings.keysProblem.isEmpty())
        t += QStringLiteral(": ") + m_settings.keysProblem;
    return t;
}

void TACR_PROX::computeBlocks() {
    const TContactlessSettings& s = m_settings;
    m_loginSector = s.KeySector;
    m_keyBlock = FirstBlock(s.KeySector) + 1;
    m_thirdBlock = FirstBlock(s.ThirdSector);
    m_track2Block = FirstBlock(s.Track2Sector);
    m_dataStartBlock = FirstBlock(s.DataStartSector);
    m_pointerOrigin = s.PointerOrigin;
    m_dataStartAddress = s.PointerOrigin + s.PointerOffset;
}

bool TACR_PROX::fail(const QString& heading, bool raise) {
    if (!m_errorText.isEmpty())
        m_errorText += QStringLiteral("\r\n");
    m_errorText += heading + QStringLiteral("\r\n") + Acr120ErrorText(m_lastResult);
    if (m_errorText.size() > MAX_ERROR_TEXT)
        m_errorText = m_errorText.right(MAX_ERROR_TEXT);
    if (raise)
        throw EUlmex(m_errorText);
    return false;
}

bool TACR_PROX::libOk(int16_t result) {
    if (result < 0) {
        m_lastResult = result;
        return false;
    }
    return true;
}

void TACR_PROX::Reset() {
    Close();
    m_handle = -1;
    m_lastResult = 0;
    m_errorText.clear();
    m_blank = false;
    if (m_useProcessSettings)
        SetSettings(ContactlessSettings());
}

bool TACR_PROX::Open(int readerPort, bool raise) {
    if (m_lastResult < 0)
        return false;
    if (m_backendMissing) {
        m_lastResult = Acr120::ERR_PORT_INVALID;
        m_errorText = QStringLiteral("Error Connecting\r\nNo contactless reader backend \"%1\"")
                          .arg(m_backendName);
        if (raise)
            throw EUlmex(m_errorText);
        return false;
    }
    if (readerPort < 0 || readerPort > 255) {
        m_lastResult = Acr120::ERR_PORT_INVALID;
        return fail(QStringLiteral("Error Connecting"), raise);
    }
    const int16_t h = m_library->ACR120_Open(uint16_t(readerPort));
    if (!libOk(h))
        return fail(QStringLiteral("Error Connecting"), raise);
    m_handle = h;
    return true;
}

void TACR_PROX::Close() {
    if (m_handle >= 0)
        m_library->ACR120_Close(m_handle);
    m_handle = -1;
}

bool TACR_PROX::Select(QString& serial, int& cardType, bool raise) {
    serial.clear();
    cardType = 0;
    if (m_lastResult < 0)
        return false;
    uint8_t type = 0, length = 0;
    TAcr120Serial bytes{};
    if (!libOk(m_library->ACR120_Select(m_handle, type, length, bytes)))
        return fail(QStringLiteral("Error Selecting"), raise);
    QStringList parts;
    QString plain;
    for (int i = 0; i < std::min<int>(length, int(bytes.size())); ++i) {
        const QString d =
            QStringLiteral("%1").arg(bytes[size_t(i)], 2, 16, QLatin1Char('0')).toUpper();
        parts << d;
        plain += d;
    }
    serial = parts.join(QLatin1Char(' '));
    cardType = type;
    m_serial = plain;
    m_cardType = type;
    m_blank = false; // a new selection; Login finds out again

    const TContactlessSettings& s = m_settings;
    m_lastSector = s.LastSectorOverride;
    if (m_lastSector == -1)
        m_lastSector = type == Acr120::TAG_MIFARE_4K     ? 39
                       : type == Acr120::TAG_MIFARE_MINI ? 4
                                                         : 15;
    m_lastDataBlock = m_lastSector > 31 ? (m_lastSector - 32) * 16 + 142 : m_lastSector * 4 + 2;
    m_recordCapacity = s.CapacityOverride;
    if (m_recordCapacity == -1) {
        if (type == Acr120::TAG_ULTRALIGHT)
            m_recordCapacity = 0;
        else if (type == Acr120::TAG_MIFARE_MINI)
            m_recordCapacity = 6;
        else {
            m_recordCapacity = 8 * (std::min(m_lastSector, 31) - s.DataStartSector + 1);
            if (m_lastSector > 31)
                m_recordCapacity += 40 * (m_lastSector - 31);
            if (s.AuditSupport)
                m_recordCapacity -= 2;
        }
    }
    if (type != Acr120::TAG_ULTRALIGHT)
        m_cardKey = RFIDDeriveKey(plain, m_settings.keys);
    return true;
}

bool TACR_PROX::reselect() {
    QString serial;
    int type = 0;
    return Select(serial, type);
}

bool TACR_PROX::loginKey(int sector, const TAcr120Key& key) {
    if (m_lastResult < 0)
        return false;
    if (sector < 0 || sector > 39) {
        m_lastResult = Acr120::ERR_INCORRECT_PARAM;
        return false;
    }
    return libOk(m_library->ACR120_Login(m_handle, uint8_t(sector), Acr120::KEY_TYPE_A, 0, key));
}

bool TACR_PROX::readBlock(int block, TAcr120Block& data) {
    if (m_lastResult < 0)
        return false;
    if (block < 0 || block > 255) {
        m_lastResult = Acr120::ERR_INCORRECT_PARAM;
        return false;
    }
    return libOk(m_library->ACR120_Read(m_handle, uint8_t(block), data));
}

bool TACR_PROX::writeBlock(int block, const TAcr120Block& data) {
    if (m_lastResult < 0)
        return false;
    if (block < 0 || block > 255) {
        m_lastResult = Acr120::ERR_INCORRECT_PARAM;
        return false;
    }
    const int16_t r = m_library->ACR120_Write(m_handle, uint8_t(block), data);
    // The library reports trailer and Ultralight page writes with -1000 although they are done.
    if (r == Acr120::ERR_INTERNAL_UNEXPECTED &&
        (m_cardType == Acr120::TAG_ULTRALIGHT || IsTrailer(block)))
        return true;
    return libOk(r);
}

bool TACR_PROX::rekeyTrailer(int sector, const TAcr120Key& key) {
    TAcr120Block t{};
    if (!readBlock(TrailerBlock(sector), t))
        return false;
    std::copy(key.begin(), key.end(), t.begin());
    return writeBlock(TrailerBlock(sector), t);
}

const TAcr120Key& TACR_PROX::headerKey() const {
    return m_settings.HeaderSector == 1 ? m_siteDefaultKey : m_workingKey;
}

bool TACR_PROX::Login(bool raise) {
    if (m_lastResult < 0)
        return false;
    bool ok = false;
    if (loginKey(m_loginSector, m_cardKey)) {
        m_currentKeyKind = KeyKindCard;
        ok = true;
    }
    const std::array<std::pair<const TAcr120Key*, int>, 2> fallbacks{
        std::pair{&m_siteDefaultKey, int(KeyKindSiteDefault)},
        std::pair{&TransportKey(), int(KeyKindTransport)}};
    for (const auto& [key, kind] : fallbacks) {
        if (ok)
            break;
        Pause(100);
        m_lastResult = 0;
        if (!reselect())
            break;
        Pause(100);
        if (loginKey(m_loginSector, *key)) {
            m_currentKeyKind = kind;
            m_blank = kind == KeyKindTransport;
            ok = true;
        }
    }
    if (m_settings.bEnhancedRFID) {
        m_workingKey = m_cardKey;
        m_targetKeyKind = KeyKindCard;
    } else {
        m_workingKey = m_siteDefaultKey;
        m_targetKeyKind = KeyKindSiteDefault;
    }
    return ok || fail(QStringLiteral("Error Logging In"), raise);
}

bool TACR_PROX::Version(QString& text, bool raise) {
    text.clear();
    if (m_lastResult < 0)
        return false;
    auto clean = [](const char* p, int n) {
        QByteArray out;
        for (int i = 0; i < n; ++i)
            if (uint8_t(p[i]) != 0x00 && uint8_t(p[i]) != 0xFF)
                out += p[i];
        return QString::fromLatin1(out);
    };
    uint8_t length = 0;
    std::array<char, 31> dll{};
    if (!libOk(m_library->ACR120_RequestDLLVersion(length, dll)))
        return fail(QStringLiteral("Error Getting Status of Encoder"), raise);
    std::array<uint8_t, 20> firmware{};
    TAcr120Status status;
    if (!libOk(m_library->ACR120_Status(m_handle, firmware, status)))
        return fail(QStringLiteral("Error Getting Status of Encoder"), raise);
    text = QStringLiteral("DLL Version : ") + clean(dll.data(), std::min<int>(length, 31)) +
           QStringLiteral("\r\nFirmware Version: ") +
           clean(reinterpret_cast<const char*>(firmware.data()), 20);
    return true;
}
