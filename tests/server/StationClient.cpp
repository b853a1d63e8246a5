#include "StationClient.h"

#include "unitPumpEvents.h"
#include "unitStationProtocol.h"

TTestStation::TTestStation(quint16 port) {
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    PumpEventsUntil([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 5000);
}

bool TTestStation::Connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

QByteArray TTestStation::Greeting(int timeoutMs) {
    PumpEventsUntil(
        [this] {
            m_buffer += m_socket.readAll();
            return !m_buffer.isEmpty();
        },
        timeoutMs);
    // The greeting is sent raw; whatever arrived before a request is the greeting.
    PumpEventsUntil([] { return false; }, 100);
    m_buffer += m_socket.readAll();
    QByteArray g = m_buffer;
    m_buffer.clear();
    return g;
}

void TTestStation::SendRaw(const QByteArray& bytes) {
    m_socket.write(bytes);
    m_socket.flush();
}

QByteArray TTestStation::WaitFrame(int timeoutMs) {
    QByteArray frame;
    PumpEventsUntil(
        [&] {
            m_buffer += m_socket.readAll();
            const qsizetype stx = m_buffer.indexOf(StationProtocol::STX);
            if (stx < 0)
                return false;
            const qsizetype etx = m_buffer.lastIndexOf(StationProtocol::ETX);
            if (etx < stx)
                return false;
            frame = m_buffer.mid(stx, etx - stx + 1);
            m_buffer.remove(0, etx + 1);
            return true;
        },
        timeoutMs);
    return frame;
}

QByteArray TTestStation::Request(const QByteArray& body, int timeoutMs) {
    SendRaw(StationProtocol::STX + body + StationProtocol::ETX);
    return WaitFrame(timeoutMs);
}

QByteArray TTestStation::Field(const QByteArray& frame, const QByteArray& name) {
    return StationProtocol::TStationMessage(StationProtocol::ExtractBody(frame)).Field(name);
}

void TTestStation::Close() {
    m_socket.disconnectFromHost();
    PumpEventsUntil([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, 2000);
}

bool TTestStation::WaitDisconnected(int timeoutMs) {
    return PumpEventsUntil(
        [this] {
            m_buffer += m_socket.readAll();
            return m_socket.state() == QAbstractSocket::UnconnectedState;
        },
        timeoutMs);
}
