#pragma once
// A connection's error record: a code (0 none, -99 a caught failure, others from the device
// layers) and a text made of parts joined with "->". Sent back as strErrorCode / strErrorData.

#include <QString>
#include <QStringList>
#include <cstdint>

class THalvexError {
public:
    int32_t Code() const { return m_code; }
    const QString& Text() const { return m_text; }
    bool IsSet() const { return m_code != 0 || !m_text.isEmpty(); }

    void Clear() {
        m_code = 0;
        m_text.clear();
    }
    void SetCode(int32_t code) { m_code = code; }
    // Appends a part; parts are joined with "->".
    void Add(const QString& part) {
        if (part.isEmpty())
            return;
        m_text = m_text.isEmpty() ? part : m_text + QStringLiteral("->") + part;
    }
    void Set(int32_t code, const QString& part) {
        m_code = code;
        Add(part);
    }

    // Records a failure: a code of 0 is stored as -99, the text is the parts joined with "->".
    void Record(int32_t code, const QStringList& parts) {
        m_code = code == 0 ? -99 : code;
        m_text = parts.join(QStringLiteral("->"));
    }

private:
    int32_t m_code = 0;
    QString m_text;
};
