#include "unitAcr120Sim.h"

#include "unitTrace.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {
constexpr int ULTRALIGHT_PAGES = 16;
constexpr int ULTRALIGHT_FIRST_USER_PAGE = 4;
const QByteArray TRANSPORT_TRAILER = QByteArray::fromHex("FFFFFFFFFFFFFF078069FFFFFFFFFFFF");

int classicBlockCount(uint8_t type) {
    switch (type) {
    case Acr120::TAG_MIFARE_4K:
        return 256;
    case Acr120::TAG_MIFARE_MINI:
        return 20;
    default:
        return 64;
    }
}

bool validSerialLength(qsizetype n) {
    return n == 4 || n == 7;
}
} // namespace

// ---- TSimCard ----

TSimCard TSimCard::Blank(uint8_t type, const QByteArray& serial) {
    TSimCard c;
    c.type = type;
    c.serial = serial;
    if (c.IsUltralight()) {
        c.memory = QByteArray(ULTRALIGHT_PAGES * 4, '\0');
        const QByteArray sn = serial.leftJustified(7, '\0');
        const char bcc0 = char(0x88 ^ sn[0] ^ sn[1] ^ sn[2]);
        const char bcc1 = char(sn[3] ^ sn[4] ^ sn[5] ^ sn[6]);
        c.memory.replace(0, 4, sn.left(3) + bcc0);
        c.memory.replace(4, 4, sn.mid(3, 4));
        c.memory[8] = bcc1;
        c.memory[9] = char(0x48);
        return c;
    }
    const int blocks = classicBlockCount(type);
    c.memory = QByteArray(blocks * 16, '\0');
    QByteArray block0 = serial;
    if (serial.size() == 4)
        block0 += char(serial[0] ^ serial[1] ^ serial[2] ^ serial[3]);
    block0 += QByteArray::fromHex("080400");
    c.memory.replace(0, block0.size(), block0);
    for (int s = 0; s < c.SectorCount(); ++s)
        c.SetBlock(MifareGeometry::TrailerBlock(s), TRANSPORT_TRAILER);
    return c;
}

int TSimCard::BlockCount() const {
    return IsUltralight() ? ULTRALIGHT_PAGES : classicBlockCount(type);
}

int TSimCard::SectorCount() const {
    if (IsUltralight())
        return 0;
    const int blocks = BlockCount();
    return blocks <= 128 ? blocks / 4 : 32 + (blocks - 128) / 16;
}

QByteArray TSimCard::Block(int block) const {
    const int unit = IsUltralight() ? 4 : 16;
    if (block < 0 || block >= BlockCount() || memory.size() < (block + 1) * unit)
        return {};
    return memory.mid(block * unit, unit);
}

void TSimCard::SetBlock(int block, const QByteArray& bytes) {
    const int unit = IsUltralight() ? 4 : 16;
    if (block < 0 || block >= BlockCount() || memory.size() < (block + 1) * unit)
        return;
    memory.replace(block * unit, unit, bytes.leftJustified(unit, '\0', true));
}

QByteArray TSimCard::KeyA(int sector) const {
    return Block(MifareGeometry::TrailerBlock(sector)).left(6);
}

void TSimCard::SetKeyA(int sector, const QByteArray& key) {
    const int t = MifareGeometry::TrailerBlock(sector);
    QByteArray b = Block(t);
    if (b.size() != 16)
        return;
    b.replace(0, 6, key.leftJustified(6, '\0', true));
    SetBlock(t, b);
}

// ---- TSimAcr120: library calls ----

TSimAcr120::TReader* TSimAcr120::readerOf(int16_t handle) {
    const auto it = m_handles.constFind(handle);
    return it == m_handles.constEnd() ? nullptr : &m_readers[size_t(it.value())];
}

int16_t TSimAcr120::ACR120_Open(uint16_t readerPort) {
    std::lock_guard lock(m_mutex);
    if (readerPort >= SIM_READER_PORTS)
        return Acr120::ERR_PORT_INVALID;
    if (m_nextHandle <= 0)
        m_nextHandle = 1;
    const int16_t h = m_nextHandle++;
    m_handles.insert(h, readerPort);
    return h;
}

int16_t TSimAcr120::ACR120_Close(int16_t handle) {
    std::lock_guard lock(m_mutex);
    return m_handles.remove(handle) > 0 ? 0 : Acr120::ERR_HANDLE_INVALID;
}

int16_t TSimAcr120::ACR120_Select(int16_t handle, uint8_t& tagType, uint8_t& serialLength,
                                  TAcr120Serial& serial) {
    std::lock_guard lock(m_mutex);
    reloadIfChangedLocked();
    TReader* r = readerOf(handle);
    if (!r)
        return Acr120::ERR_HANDLE_INVALID;
    r->authSector = -1;
    r->selected = r->card.has_value();
    if (!r->selected)
        return Acr120::ERR_NO_TAG;
    tagType = r->card->type;
    serial.fill(0);
    serialLength = uint8_t(std::min<qsizetype>(r->card->serial.size(), qsizetype(serial.size())));
    for (int i = 0; i < serialLength; ++i)
        serial[size_t(i)] = uint8_t(r->card->serial[i]);
    return 0;
}

int16_t TSimAcr120::ACR120_Login(int16_t handle, uint8_t sector, uint8_t keyType,
                                 uint8_t /*storedKeyNo*/, const TAcr120Key& key) {
    std::lock_guard lock(m_mutex);
    TReader* r = readerOf(handle);
    if (!r)
        return Acr120::ERR_HANDLE_INVALID;
    if (!r->card || !r->selected)
        return Acr120::ERR_NO_TAG;
    if (keyType != Acr120::KEY_TYPE_A && keyType != Acr120::KEY_TYPE_B)
        return Acr120::ERR_INCORRECT_PARAM;
    r->authSector = -1;
    if (r->card->IsUltralight() || sector >= r->card->SectorCount()) {
        r->selected = false;
        return Acr120::ERR_OPERATION_FAILED;
    }
    const QByteArray trailer = r->card->Block(MifareGeometry::TrailerBlock(sector));
    const QByteArray stored = keyType == Acr120::KEY_TYPE_A ? trailer.left(6) : trailer.mid(10, 6);
    const QByteArray given(reinterpret_cast<const char*>(key.data()), 6);
    if (stored != given) {
        // A failed authentication halts the card until it is selected again.
        r->selected = false;
        return Acr120::ERR_OPERATION_FAILED;
    }
    r->authSector = sector;
    return 0;
}

int16_t TSimAcr120::ACR120_Read(int16_t handle, uint8_t block, TAcr120Block& data) {
    std::lock_guard lock(m_mutex);
    TReader* r = readerOf(handle);
    if (!r)
        return Acr120::ERR_HANDLE_INVALID;
    if (!r->card || !r->selected)
        return Acr120::ERR_NO_TAG;
    const TSimCard& c = *r->card;
    if (c.IsUltralight()) {
        if (block >= ULTRALIGHT_PAGES)
            return Acr120::ERR_OPERATION_FAILED;
        // Four pages from the given one, rolling over at the end as the card does.
        for (int i = 0; i < 16; ++i)
            data[size_t(i)] = uint8_t(c.memory[((block * 4) + i) % (ULTRALIGHT_PAGES * 4)]);
        return 0;
    }
    if (block >= c.BlockCount() || MifareGeometry::SectorOfBlock(block) != r->authSector)
        return Acr120::ERR_OPERATION_FAILED;
    const QByteArray b = c.Block(block);
    for (int i = 0; i < 16; ++i)
        data[size_t(i)] = uint8_t(b[i]);
    if (MifareGeometry::IsTrailer(block))
        std::fill(data.begin(), data.begin() + 6, uint8_t(0)); // key A never reads back
    return 0;
}

int16_t TSimAcr120::ACR120_Write(int16_t handle, uint8_t block, const TAcr120Block& data) {
    std::lock_guard lock(m_mutex);
    TReader* r = readerOf(handle);
    if (!r)
        return Acr120::ERR_HANDLE_INVALID;
    if (!r->card || !r->selected)
        return Acr120::ERR_NO_TAG;
    TSimCard& c = *r->card;
    const QByteArray bytes(reinterpret_cast<const char*>(data.data()), 16);
    if (c.IsUltralight()) {
        if (block < ULTRALIGHT_FIRST_USER_PAGE || block >= ULTRALIGHT_PAGES)
            return Acr120::ERR_OPERATION_FAILED;
        c.SetBlock(block, bytes.left(4));
        saveLocked();
        return Acr120::ERR_INTERNAL_UNEXPECTED; // the library reports page writes this way
    }
    if (block == 0 || block >= c.BlockCount() ||
        MifareGeometry::SectorOfBlock(block) != r->authSector)
        return Acr120::ERR_OPERATION_FAILED;
    c.SetBlock(block, bytes);
    saveLocked();
    return MifareGeometry::IsTrailer(block) ? Acr120::ERR_INTERNAL_UNEXPECTED : int16_t(0);
}

int16_t TSimAcr120::ACR120_WriteUserPort(int16_t handle, uint8_t value) {
    std::lock_guard lock(m_mutex);
    TReader* r = readerOf(handle);
    if (!r)
        return Acr120::ERR_HANDLE_INVALID;
    if (r->userPort.size() >= 1024)
        r->userPort.remove(0, 512);
    r->userPort.append(value);
    return 0;
}

int16_t TSimAcr120::ACR120_RequestDLLVersion(uint8_t& length, std::array<char, 31>& version) {
    std::lock_guard lock(m_mutex);
    version.fill(0);
    length = uint8_t(std::min<qsizetype>(m_dllVersion.size(), qsizetype(version.size())));
    std::copy_n(m_dllVersion.constData(), length, version.begin());
    return 0;
}

int16_t TSimAcr120::ACR120_Status(int16_t handle, std::array<uint8_t, 20>& firmware,
                                  TAcr120Status& status) {
    std::lock_guard lock(m_mutex);
    TReader* r = readerOf(handle);
    if (!r)
        return Acr120::ERR_HANDLE_INVALID;
    firmware.fill(0);
    const auto n = std::min<qsizetype>(m_firmware.size(), qsizetype(firmware.size()));
    std::copy_n(reinterpret_cast<const uint8_t*>(m_firmware.constData()), n, firmware.begin());
    status = {};
    status.userPort = r->userPort.isEmpty() ? 0 : r->userPort.last();
    return 0;
}

// ---- control ----

bool TSimAcr120::PlaceCard(int readerPort, const TSimCard& card) {
    if (readerPort < 0 || readerPort >= SIM_READER_PORTS || !validSerialLength(card.serial.size()))
        return false;
    TSimCard c = card;
    const int unit = c.IsUltralight() ? 4 : 16;
    if (c.memory.size() != c.BlockCount() * unit)
        c.memory = TSimCard::Blank(c.type, c.serial).memory;
    std::lock_guard lock(m_mutex);
    TReader& r = m_readers[size_t(readerPort)];
    r.card = c;
    r.selected = false;
    r.authSector = -1;
    saveLocked();
    return true;
}

void TSimAcr120::RemoveCard(int readerPort) {
    if (readerPort < 0 || readerPort >= SIM_READER_PORTS)
        return;
    std::lock_guard lock(m_mutex);
    TReader& r = m_readers[size_t(readerPort)];
    r.card.reset();
    r.selected = false;
    r.authSector = -1;
    saveLocked();
}

void TSimAcr120::RemoveAllCards() {
    std::lock_guard lock(m_mutex);
    for (TReader& r : m_readers) {
        r.card.reset();
        r.selected = false;
        r.authSector = -1;
        r.userPort.clear();
    }
    saveLocked();
}

std::optional<TSimCard> TSimAcr120::Card(int readerPort) const {
    if (readerPort < 0 || readerPort >= SIM_READER_PORTS)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    return m_readers[size_t(readerPort)].card;
}

QVector<uint8_t> TSimAcr120::UserPortWrites(int readerPort) const {
    if (readerPort < 0 || readerPort >= SIM_READER_PORTS)
        return {};
    std::lock_guard lock(m_mutex);
    return m_readers[size_t(readerPort)].userPort;
}

void TSimAcr120::SetVersionTexts(const QByteArray& dllVersion, const QByteArray& firmware) {
    std::lock_guard lock(m_mutex);
    m_dllVersion = dllVersion;
    m_firmware = firmware;
}

// ---- card file ----

namespace {
QByteArray cardFileText(const std::array<std::optional<TSimCard>, SIM_READER_PORTS>& cards) {
    QJsonArray readers;
    for (int port = 0; port < SIM_READER_PORTS; ++port) {
        if (!cards[size_t(port)])
            continue;
        const TSimCard& c = *cards[size_t(port)];
        QJsonArray blocks;
        for (int b = 0; b < c.BlockCount(); ++b)
            blocks.append(QString::fromLatin1(c.Block(b).toHex().toUpper()));
        QJsonObject card{{"type", int(c.type)},
                         {"serial", QString::fromLatin1(c.serial.toHex().toUpper())},
                         {"blocks", blocks}};
        readers.append(QJsonObject{{"port", port}, {"card", card}});
    }
    return QJsonDocument(QJsonObject{{"readers", readers}}).toJson(QJsonDocument::Indented);
}

bool isHex(const QString& s) {
    for (const QChar ch : s)
        if (!ch.isDigit() &&
            !(ch.toUpper() >= QLatin1Char('A') && ch.toUpper() <= QLatin1Char('F')))
            return false;
    return s.size() % 2 == 0;
}

// Parses a card file; a reader entry with a card but no blocks gets a factory-fresh card.
bool parseCardFile(const QByteArray& text,
                   std::array<std::optional<TSimCard>, SIM_READER_PORTS>& cards, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &pe);
    if (pe.error != QJsonParseError::NoError)
        return fail(
            QStringLiteral("not JSON: %1 at offset %2").arg(pe.errorString()).arg(pe.offset));
    if (!doc.isObject() || !doc.object().value("readers").isArray())
        return fail(QStringLiteral("no \"readers\" list"));
    for (const QJsonValue& rv : doc.object().value("readers").toArray()) {
        const QJsonObject r = rv.toObject();
        const int port = r.value("port").toInt(-1);
        if (port < 0 || port >= SIM_READER_PORTS)
            return fail(QStringLiteral("reader port out of range 0..%1").arg(SIM_READER_PORTS - 1));
        if (!r.value("card").isObject())
            continue;
        const QJsonObject co = r.value("card").toObject();
        const int type = co.value("type").toInt(-1);
        const QString serialHex = co.value("serial").toString();
        if (type < 0 || type > 255)
            return fail(QStringLiteral("reader %1: card type out of range").arg(port));
        if (!isHex(serialHex) || !validSerialLength(serialHex.size() / 2))
            return fail(QStringLiteral("reader %1: serial must be 8 or 14 hex digits").arg(port));
        TSimCard c = TSimCard::Blank(uint8_t(type), QByteArray::fromHex(serialHex.toLatin1()));
        if (co.contains("blocks")) {
            const QJsonArray blocks = co.value("blocks").toArray();
            const int unit = c.IsUltralight() ? 4 : 16;
            if (blocks.size() != c.BlockCount())
                return fail(
                    QStringLiteral("reader %1: %2 blocks expected").arg(port).arg(c.BlockCount()));
            for (int b = 0; b < blocks.size(); ++b) {
                const QString hex = blocks[b].toString();
                if (!isHex(hex) || hex.size() != unit * 2)
                    return fail(QStringLiteral("reader %1: block %2 is not %3 hex digits")
                                    .arg(port)
                                    .arg(b)
                                    .arg(unit * 2));
                c.SetBlock(b, QByteArray::fromHex(hex.toLatin1()));
            }
        }
        cards[size_t(port)] = c;
    }
    return true;
}
} // namespace

bool TSimAcr120::loadLocked(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    const QByteArray text = f.read(4 * 1024 * 1024);
    std::array<std::optional<TSimCard>, SIM_READER_PORTS> cards;
    QString why;
    if (!parseCardFile(text, cards, &why)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    for (int p = 0; p < SIM_READER_PORTS; ++p) {
        TReader& r = m_readers[size_t(p)];
        r.card = cards[size_t(p)];
        r.selected = false;
        r.authSector = -1;
    }
    return true;
}

bool TSimAcr120::saveLocked(const QString& path, QString* error) const {
    std::array<std::optional<TSimCard>, SIM_READER_PORTS> cards;
    for (int p = 0; p < SIM_READER_PORTS; ++p)
        cards[size_t(p)] = m_readers[size_t(p)].card;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    // Card trailers hold sector keys: owner only.
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.write(cardFileText(cards));
    if (!f.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

void TSimAcr120::saveLocked() {
    if (m_cardFile.isEmpty())
        return;
    QString error;
    if (!saveLocked(m_cardFile, &error)) {
        DebugLog(QStringLiteral("TSimAcr120: card file not saved: ") + error);
        return;
    }
    QFile f(m_cardFile);
    if (f.open(QIODevice::ReadOnly))
        m_cardFileContent = f.read(4 * 1024 * 1024);
}

void TSimAcr120::reloadIfChangedLocked() {
    if (m_cardFile.isEmpty())
        return;
    QFile f(m_cardFile);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = f.read(4 * 1024 * 1024);
    if (content == m_cardFileContent)
        return;
    m_cardFileContent = content;
    QString error;
    if (!loadLocked(m_cardFile, &error))
        DebugLog(QStringLiteral("TSimAcr120: card file not loaded: ") + error);
}

bool TSimAcr120::SetCardFile(const QString& path, QString* error) {
    std::lock_guard lock(m_mutex);
    m_cardFile = path;
    m_cardFileContent.clear();
    if (path.isEmpty() || !QFile::exists(path))
        return true;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        m_cardFileContent = f.read(4 * 1024 * 1024);
    return loadLocked(path, error);
}

bool TSimAcr120::LoadCardFile(const QString& path, QString* error) {
    std::lock_guard lock(m_mutex);
    return loadLocked(path, error);
}

bool TSimAcr120::SaveCardFile(const QString& path, QString* error) const {
    std::lock_guard lock(m_mutex);
    return saveLocked(path, error);
}

std::shared_ptr<TSimAcr120> SimAcr120() {
    static const std::shared_ptr<TSimAcr120> sim = std::make_shared<TSimAcr120>();
    return sim;
}
