#include "unitRFIDKeys.h"

#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>

namespace {
const QString SECTION_KEYS = QStringLiteral("Keys");
const QString SECTION_DERIVATION = QStringLiteral("Derivation");
constexpr uint64_t MASK48 = (uint64_t(1) << 48) - 1;

QString hex12(uint64_t v) {
    return QStringLiteral("%1").arg(v & MASK48, 12, 16, QLatin1Char('0')).toUpper();
}

bool parseHex48(const QString& text, uint64_t& v) {
    if (text.size() != 12)
        return false;
    bool ok = false;
    v = text.toULongLong(&ok, 16);
    return ok;
}
} // namespace

QString RFIDKeysPath(const QString& folder) {
    return QDir(folder).filePath(QString::fromLatin1(RFID_KEYS_FILE_NAME));
}

bool RFIDKeyFromHex(const QString& text, TAcr120Key& key) {
    uint64_t v = 0;
    if (!parseHex48(text.trimmed(), v))
        return false;
    for (int i = 0; i < 6; ++i)
        key[size_t(i)] = uint8_t(v >> (8 * (5 - i)));
    return true;
}

bool RFIDKeys_Create_b(const QString& folder, QString* error, bool overwrite) {
    const QString path = RFIDKeysPath(folder);
    if (!overwrite && QFile::exists(path))
        return true;
    QRandomGenerator* rng = QRandomGenerator::system();
    QStringList lines;
    lines << QStringLiteral("; Contactless site keys: keep this file private (mode 0600).");
    lines << QStringLiteral("[%1]").arg(SECTION_KEYS);
    lines << QStringLiteral("SiteDefaultKey=") + hex12(rng->generate64());
    // The maintenance key is six equal bytes.
    const uint64_t m = rng->bounded(256u);
    lines << QStringLiteral("MaintenanceKey=") + hex12(m * 0x010101010101ULL);
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[size_t(i)] = uint8_t(i);
    for (int i = 255; i > 0; --i)
        std::swap(table[size_t(i)], table[size_t(rng->bounded(i + 1))]);
    lines
        << QStringLiteral("Substitution=") +
               QString::fromLatin1(
                   QByteArray(reinterpret_cast<const char*>(table.data()), 256).toHex().toUpper());
    lines << QStringLiteral("[%1]").arg(SECTION_DERIVATION);
    for (int i = 0; i < 16; ++i)
        lines << QStringLiteral("K%1=").arg(i) + hex12(rng->generate64());

    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.write(lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
    if (!f.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

bool RFIDKeys_Read_b(const QString& folder, TRFIDKeyMaterial& keys, QString* error) {
    keys = {};
    const QString path = RFIDKeysPath(folder);
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    };
    if (!QFile::exists(path))
        return fail(QStringLiteral("site key file not found"));
    const TIniFile ini(path);
    if (!RFIDKeyFromHex(ini.ReadString(SECTION_KEYS, QStringLiteral("SiteDefaultKey"), {}),
                        keys.siteDefaultKey))
        return fail(QStringLiteral("SiteDefaultKey is not 12 hex digits"));
    if (!RFIDKeyFromHex(ini.ReadString(SECTION_KEYS, QStringLiteral("MaintenanceKey"), {}),
                        keys.maintenanceKey))
        return fail(QStringLiteral("MaintenanceKey is not 12 hex digits"));
    const QByteArray sub =
        ini.ReadString(SECTION_KEYS, QStringLiteral("Substitution"), {}).trimmed().toLatin1();
    const QByteArray table = QByteArray::fromHex(sub);
    if (sub.size() != 512 || table.size() != 256 || table.toHex().toUpper() != sub.toUpper())
        return fail(QStringLiteral("Substitution is not 512 hex digits"));
    std::array<bool, 256> seen{};
    for (int i = 0; i < 256; ++i) {
        const uint8_t v = uint8_t(table[i]);
        if (seen[v])
            return fail(QStringLiteral("Substitution is not a permutation of 00..FF"));
        seen[v] = true;
        keys.substitution[size_t(i)] = v;
    }
    for (int i = 0; i < 16; ++i) {
        if (!parseHex48(
                ini.ReadString(SECTION_DERIVATION, QStringLiteral("K%1").arg(i), {}).trimmed(),
                keys.derivation[size_t(i)]))
            return fail(QStringLiteral("K%1 is not 12 hex digits").arg(i));
    }
    keys.valid = true;
    return true;
}

TAcr120Key RFIDDeriveKey(const QString& serialHex, const TRFIDKeyMaterial& keys) {
    if (serialHex.isEmpty())
        return keys.siteDefaultKey;
    auto digit = [&serialHex](int pos) { // 1-based; a missing or non-hex digit counts 0
        if (pos > serialHex.size())
            return 0;
        const int v = QString(serialHex[pos - 1]).toInt(nullptr, 16);
        return v < 0 ? 0 : v;
    };
    const int d = digit(2) + digit(5) + digit(7);
    const QString h = QStringLiteral("%1").arg(d, 2, 16, QLatin1Char('0')).toUpper();
    // Only the last 48 bits of N matter for the last 12 digits of N + K, so a 7-byte serial
    // (18 digits) cannot overflow.
    const QString n = (h + serialHex + h).right(12);
    bool ok = false;
    const uint64_t nv = n.toULongLong(&ok, 16);
    const uint64_t sum = ((ok ? nv : 0) + keys.derivation[size_t(d % 16)]) & MASK48;
    TAcr120Key key{};
    for (int i = 0; i < 6; ++i)
        key[size_t(i)] = uint8_t(sum >> (8 * (5 - i)));
    return key;
}

QByteArray RFIDUnscramble(const QByteArray& keyData, const TRFIDKeyMaterial& keys) {
    QByteArray out(keyData.size(), '\0');
    for (qsizetype i = 0; i < keyData.size(); ++i)
        out[i] = char(keys.substitution[uint8_t(keyData[i])]);
    return out;
}

QByteArray RFIDScramble(const QByteArray& plain, const TRFIDKeyMaterial& keys) {
    std::array<uint8_t, 256> inverse{};
    for (int i = 0; i < 256; ++i)
        inverse[keys.substitution[size_t(i)]] = uint8_t(i);
    QByteArray out(plain.size(), '\0');
    for (qsizetype i = 0; i < plain.size(); ++i)
        out[i] = char(inverse[uint8_t(plain[i])]);
    return out;
}
