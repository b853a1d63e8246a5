#include "unitSocketWrapper.h"

#include "Errors.h"
#include "UlmexMsgBox.h"
#include "unitPumpEvents.h"
#include "unitTrace.h"
#include "unitUtils.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>

namespace {
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
// A peer that never frames must not make the queue grow without end.
constexpr int kMaxQueued = 256;
constexpr qint64 kMaxChunk = 1024 * 1024;
} // namespace

void ReportDeviceFault(const QString& heading, const QString& text) {
    DebugLog(heading + QStringLiteral("->") + text);
    MsgCatalogBox(0, 0, {QString(), heading, text});
}

TSocketWrapper::TSocketWrapper(QObject* parent) : QObject(parent), m_socket(new QTcpSocket(this)) {
    connect(m_socket, &QTcpSocket::readyRead, this, &TSocketWrapper::OnReadyRead);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_connected = true;
        m_connectResult = 0;
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { m_connected = false; });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (m_connectResult < 0)
            m_connectResult = 10000 + int(e) + 1; // never 0, never negative
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            m_connected = false;
    });
}

TSocketWrapper::~TSocketWrapper() { m_socket->abort(); }

QByteArray TSocketWrapper::MessageOf(const QByteArray& chunk) {
    QByteArray m = chunk;
    const qsizetype stx = m.indexOf(STX);
    if (stx >= 0)
        m = m.mid(stx + 1);
    const qsizetype etx = m.lastIndexOf(ETX);
    if (etx >= 0)
        m.truncate(etx);
    return m;
}

void TSocketWrapper::OnReadyRead() {
    const QByteArray chunk = m_socket->read(kMaxChunk);
    const QByteArray m = MessageOf(chunk);
    if (m.isEmpty())
        return;
    if (!BeaconRequestText.isEmpty() && m == BeaconRequestText) {
        if (!BeaconReplyText.isEmpty())
            Send(BeaconReplyText);
        return;
    }
    if (m_queue.size() - m_readPos >= kMaxQueued)
        return;
    m_queue.append(m);
}

bool TSocketWrapper::Connect(const QString& address, int port, bool raise, int* errorCode) {
    try {
        if (m_connected && address == m_address && port == m_port)
            return true;
        if (m_connected)
            Disconnect();
        m_queue.clear();
        m_readPos = 0;
        m_address = address;
        m_port = port;
        m_connectResult = -1;
        m_socket->abort();
        m_socket->connectToHost(address, quint16(port));
        const int64_t started = SecondClock();
        PumpEventsUntil([&] { return m_connectResult >= 0 || SecondClock() - started >= kConnectWaitSecs; },
                        (kConnectWaitSecs + 1) * 1000);
        if (m_connectResult == 0)
            return true;
        if (m_connectResult < 0) {
            m_socket->abort();
            m_connectResult = 10060; // timed out
        }
        if (errorCode)
            *errorCode = m_connectResult;
        if (raise) {
            QString t = QCoreApplication::translate(
                "Resource", "Failed to access the server socket at IP Address %1:s%0:sdue to error "
                            "code %2:s.%0:sEither the IP address is invalid or%0:sthe server socket "
                            "program is not running.");
            t.replace(QStringLiteral("%0:s"), QStringLiteral("\r\n"));
            t.replace(QStringLiteral("%1:s"), address);
            t.replace(QStringLiteral("%2:s"), QString::number(m_connectResult));
            throw EUlmex(t);
        }
        return false;
    } catch (const std::exception& e) {
        ReportDeviceFault(QStringLiteral("Error - Server Socket Connect"), ExceptionText(e));
        return false;
    }
}

bool TSocketWrapper::Disconnect() {
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_socket->disconnectFromHost();
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            PumpEventsUntil([this] { return m_socket->state() == QAbstractSocket::UnconnectedState; },
                            2000);
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            m_socket->abort();
    }
    m_connected = false;
    return true;
}

bool TSocketWrapper::Send(const QByteArray& text) {
    if (!m_connected)
        return false;
    const bool ok = m_socket->write(text) == text.size();
    m_socket->flush();
    return ok;
}

QByteArray TSocketWrapper::NextMessage() {
    if (m_readPos >= m_queue.size())
        return {};
    return m_queue[m_readPos++];
}

QByteArray TSocketWrapper::WaitMessage(int ms) {
    PumpEventsUntil([this] { return m_readPos < m_queue.size() || !m_connected; }, ms);
    return NextMessage();
}

void TSocketWrapper::Request(int timeOutSecs, const QByteArray& text, QByteArray* answer, bool frame,
                             bool check) {
    if (answer)
        answer->clear();
    try {
        if (!m_connected)
            return;
        m_queue.clear();
        m_readPos = 0;
        m_stopWait = false;
        QByteArray out = text;
        if (frame) {
            out = STX + text + ETX;
            if (check)
                out.append(char(XorCheck(text + ETX)));
        }
        Send(out);
        if (timeOutSecs > 0) {
            const int64_t started = SecondClock();
            const int limit = timeOutSecs + 3;
            PumpEventsUntil(
                [&] {
                    return m_readPos < m_queue.size() || !m_connected || m_stopWait ||
                           SecondClock() - started >= limit;
                },
                (limit + 1) * 1000);
            if (answer)
                *answer = NextMessage();
        }
        m_stopWait = false;
    } catch (const std::exception& e) {
        m_stopWait = false;
        ReportDeviceFault(QStringLiteral("Error - Socket Wrapper Request Send"), ExceptionText(e));
    }
}
