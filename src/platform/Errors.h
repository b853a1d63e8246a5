#pragma once
// The failure raised where a routine "raises" a text; caught at every event boundary.

#include <QString>
#include <exception>

class EUlmex : public std::exception {
public:
    explicit EUlmex(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& Message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The text of any caught failure.
inline QString ExceptionText(const std::exception& e) {
    if (const auto* u = dynamic_cast<const EUlmex*>(&e))
        return u->Message();
    return QString::fromUtf8(e.what());
}
