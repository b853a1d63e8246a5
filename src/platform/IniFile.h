#pragma once
// Windows-profile semantics for halvex.ini and NetworkInfo.INI: case-insensitive section and key
// names, value = everything after the first "=" trimmed, every call opens and closes the file.
// Writes keep every other line, go through a temporary file and rename, and are serialised
// between processes by an flock on a sidecar lock file.

#include <QString>
#include <QStringList>

class TIniFile {
public:
    explicit TIniFile(QString fileName);

    const QString& FileName() const { return m_fileName; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // True for "True"/"Yes" in any case (the text-to-boolean rule), false for other text,
    // the default when the key is missing.
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    bool KeyExists(const QString& section, const QString& key) const;
    bool SectionExists(const QString& section) const;
    // Key names of a section in file order.
    QStringList ReadSection(const QString& section) const;
    QStringList ReadSections() const;

    // Each returns false (and sets LastError) when the file could not be written.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInteger(const QString& section, const QString& key, int value);
    bool WriteBool(const QString& section, const QString& key, bool value);
    bool DeleteKey(const QString& section, const QString& key);
    bool EraseSection(const QString& section);

    QString LastError() const { return m_lastError; }

private:
    bool modify(const QString& section, const QString& key, const QString* value,
                bool eraseSection);

    QString m_fileName;
    mutable QString m_lastError;
};

// Parsing of one profile text, shared with the fuzz target.
namespace IniText {
// Returns the value of section/key in text (first match wins); found = whether it exists.
QString Lookup(const QString& text, const QString& section, const QString& key, bool* found);
}
