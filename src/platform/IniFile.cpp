#include "IniFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A profile larger than this is not a settings file; refuse rather than read it whole.
constexpr qint64 kMaxIniBytes = 8 * 1024 * 1024;

QString readText(const QString& fileName) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.read(kMaxIniBytes);
    return QString::fromLocal8Bit(bytes);
}

struct Line {
    QString raw;
    bool isSection = false;
    QString name; // section name, or key name for key lines
    bool isKey = false;
};

Line classify(const QString& raw) {
    Line l;
    l.raw = raw;
    const QString t = raw.trimmed();
    if (t.startsWith(u'[')) {
        const int close = t.indexOf(u']');
        if (close > 0) {
            l.isSection = true;
            l.name = t.mid(1, close - 1).trimmed();
        }
        return l;
    }
    if (t.isEmpty() || t.startsWith(u';'))
        return l;
    const int eq = t.indexOf(u'=');
    if (eq > 0) {
        l.isKey = true;
        l.name = t.left(eq).trimmed();
    }
    return l;
}

QList<Line> splitLines(const QString& text) {
    QList<Line> lines;
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(u'\r', u'\n');
    const QStringList parts = normalised.split(u'\n');
    for (int i = 0; i < parts.size(); ++i) {
        if (i == parts.size() - 1 && parts[i].isEmpty())
            break; // the final line break
        lines.append(classify(parts[i]));
    }
    return lines;
}

QString valueOf(const QString& raw) {
    const int eq = raw.indexOf(u'=');
    return eq < 0 ? QString() : raw.mid(eq + 1).trimmed();
}

bool same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Serialises read-modify-write between processes; released by the destructor or process death.
class FileLock {
public:
    explicit FileLock(const QString& iniFile) {
        // Beside the file would litter shared folders; every process of the computer meets in /tmp.
        const QString folder = QStringLiteral("/tmp");
        const QByteArray key =
            QCryptographicHash::hash(QFileInfo(iniFile).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1)
                .toHex()
                .left(16);
        const QString lockName = folder + QStringLiteral("/vrq-ini-") + QString::fromLatin1(key) +
                                 QStringLiteral(".lock");
        m_fd = ::open(QFile::encodeName(lockName).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~FileLock() {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_UN);
            ::close(m_fd);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd = -1;
};

} // namespace

namespace IniText {
QString Lookup(const QString& text, const QString& section, const QString& key, bool* found) {
    bool inSection = false;
    for (const Line& l : splitLines(text)) {
        if (l.isSection) {
            inSection = same(l.name, section);
        } else if (inSection && l.isKey && same(l.name, key)) {
            if (found)
                *found = true;
            return valueOf(l.raw);
        }
    }
    if (found)
        *found = false;
    return {};
}
} // namespace IniText

TIniFile::TIniFile(QString fileName) : m_fileName(std::move(fileName)) {}

QString TIniFile::ReadString(const QString& section, const QString& key,
                             const QString& def) const {
    bool found = false;
    const QString v = IniText::Lookup(readText(m_fileName), section, key, &found);
    return found ? v : def;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    bool found = false;
    const QString v = IniText::Lookup(readText(m_fileName), section, key, &found);
    if (!found)
        return def;
    bool ok = false;
    int n = v.toInt(&ok);
    if (!ok && (v.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive) || v.startsWith(u'$')))
        n = v.mid(v.startsWith(u'$') ? 1 : 2).toInt(&ok, 16);
    return ok ? n : def;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const {
    bool found = false;
    const QString v = IniText::Lookup(readText(m_fileName), section, key, &found);
    if (!found)
        return def;
    const QString u = v.toUpper();
    return u == QStringLiteral("TRUE") || u == QStringLiteral("YES");
}

bool TIniFile::KeyExists(const QString& section, const QString& key) const {
    bool found = false;
    IniText::Lookup(readText(m_fileName), section, key, &found);
    return found;
}

bool TIniFile::SectionExists(const QString& section) const {
    for (const Line& l : splitLines(readText(m_fileName)))
        if (l.isSection && same(l.name, section))
            return true;
    return false;
}

QStringList TIniFile::ReadSection(const QString& section) const {
    QStringList keys;
    bool inSection = false;
    for (const Line& l : splitLines(readText(m_fileName))) {
        if (l.isSection)
            inSection = same(l.name, section);
        else if (inSection && l.isKey)
            keys.append(l.name);
    }
    return keys;
}

QStringList TIniFile::ReadSections() const {
    QStringList sections;
    for (const Line& l : splitLines(readText(m_fileName)))
        if (l.isSection)
            sections.append(l.name);
    return sections;
}

bool TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    return modify(section, key, &value, false);
}

bool TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    return WriteString(section, key, QString::number(value));
}

bool TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    return WriteString(section, key, value ? QStringLiteral("True") : QStringLiteral("False"));
}

bool TIniFile::DeleteKey(const QString& section, const QString& key) {
    return modify(section, key, nullptr, false);
}

bool TIniFile::EraseSection(const QString& section) { return modify(section, {}, nullptr, true); }

bool TIniFile::modify(const QString& section, const QString& key, const QString* value,
                      bool eraseSection) {
    m_lastError.clear();
    if (m_fileName.isEmpty()) {
        m_lastError = QStringLiteral("No file name");
        return false;
    }
    const FileLock lock(m_fileName);
    QList<Line> lines = splitLines(readText(m_fileName));

    int sectionStart = -1; // index of the section line
    int sectionEnd = -1;   // one past the last non-blank line of the section
    int keyLine = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        if (l.isSection) {
            if (sectionStart >= 0)
                break;
            if (same(l.name, section)) {
                sectionStart = i;
                sectionEnd = i + 1;
            }
            continue;
        }
        if (sectionStart < 0)
            continue;
        if (!l.raw.trimmed().isEmpty())
            sectionEnd = i + 1;
        if (l.isKey && keyLine < 0 && same(l.name, key))
            keyLine = i;
    }

    if (eraseSection) {
        if (sectionStart < 0)
            return true;
        int end = sectionStart + 1;
        while (end < lines.size() && !lines[end].isSection)
            ++end;
        lines.erase(lines.begin() + sectionStart, lines.begin() + end);
    } else if (!value) {
        if (keyLine < 0)
            return true;
        lines.removeAt(keyLine);
    } else {
        const Line newLine = classify(key + u'=' + *value);
        if (keyLine >= 0) {
            if (valueOf(lines[keyLine].raw) == value->trimmed() &&
                lines[keyLine].raw == newLine.raw)
                return true;
            lines[keyLine] = newLine;
        } else if (sectionStart >= 0) {
            lines.insert(sectionEnd, newLine);
        } else {
            if (!lines.isEmpty() && !lines.last().raw.trimmed().isEmpty())
                lines.append(classify(QString()));
            lines.append(classify(u'[' + section + u']'));
            lines.append(newLine);
        }
    }

    // Keep the file's own line ends; a new file gets CR LF.
    QString eol = QStringLiteral("\r\n");
    {
        QFile probe(m_fileName);
        if (probe.open(QIODevice::ReadOnly)) {
            const QByteArray head = probe.read(64 * 1024);
            const int lf = head.indexOf('\n');
            if (lf >= 0 && (lf == 0 || head[lf - 1] != '\r'))
                eol = QStringLiteral("\n");
        }
    }
    QString out;
    for (const Line& l : lines)
        out += l.raw + eol;

    QSaveFile save(m_fileName);
    if (!save.open(QIODevice::WriteOnly)) {
        m_lastError = save.errorString();
        return false;
    }
    save.write(out.toLocal8Bit());
    if (!save.commit()) {
        m_lastError = save.errorString();
        return false;
    }
    return true;
}
