#include "unitSerialLink.h"

#include "UlmexMsgBox.h"
#include "unitComLog.h"
#include "unitEncoderFrame.h"
#include "unitPumpEvents.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>

using namespace EncoderFrame;

namespace {
std::atomic<bool> g_comDebugMode{false};
} // namespace

void SetComDebugMode(bool on) {
    g_comDebugMode = on;
}
bool ComDebugMode() {
    return g_comDebugMode.load();
}

TSerialLink::TSerialLink(THalvexError& error, std::atomic<bool>& escape, TSerialPortFactory factory)
    : m_error(error), m_escape(escape),
      m_factory(factory ? std::move(factory) : TSerialPortFactory(&CreateQtSerialPort)),
      m_port(m_factory()), m_comLog(ComLogEnabled()) {}

TSerialLink::~TSerialLink() {
    if (m_port)
        m_port->Close();
}

void TSerialLink::recordFailure(int code, const QString& heading, const QString& text) {
    m_error.Record(code, {heading, text});
}

void TSerialLink::logChunk(bool out, const QByteArray& bytes) const {
    if (m_comLog && !bytes.isEmpty())
        ComLogWrite(m_openDevice, out ? TComLogDirection::Out : TComLogDirection::In, bytes);
}

bool TSerialLink::stopRequested() const {
    return ThreadAbortRequested() || QThread::currentThread()->isInterruptionRequested();
}

void TSerialLink::closeFaulted() {
    // A device that failed while open (adapter unplugged) is closed, so the next open retries it.
    if (m_port->Faulted())
        m_port->Close();
    m_input.clear();
}

bool TSerialLink::IsOpen() const {
    return m_port && m_port->IsOpen();
}

QString TSerialLink::DeviceName() const {
    return ComPortDeviceName(m_portNumber);
}

void TSerialLink::Pause(int ms) const {
    if (ms <= 0)
        return;
    // Without an application object an event loop cannot run (tools, early start-up).
    if (!QCoreApplication::instance())
        QThread::msleep(ulong(ms));
    else
        PumpEventsUntil([] { return false; }, ms);
}

bool TSerialLink::ComInit(int portNumber, int baud, bool usb) {
    if (portNumber < 0 || portNumber > 65535) {
        recordFailure(-99, QStringLiteral("Error - Com Init"),
                      QStringLiteral("Range check error: port number %1").arg(portNumber));
        return false;
    }
    m_usb = usb;
    if (IsOpen() && portNumber != m_portNumber) {
        // Another COM number: the open port is the wrong device now.
        m_port->Close();
    }
    m_portNumber = portNumber;
    m_baud = baud;
    if (IsOpen() && !m_port->SetBaudRate(baud)) {
        recordFailure(-99, QStringLiteral("Error - Com Init"), m_port->ErrorText());
        return false;
    }
    return ComOpen(2);
}

bool TSerialLink::ComOpen(int attempts) {
    if (!m_port)
        return false;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (m_port->IsOpen())
            return true;
        if (m_portNumber == 0) {
            recordFailure(184, QStringLiteral("Error - Com Open"),
                          QStringLiteral("Invalid Port Number!"));
            continue;
        }
        const QString device = DeviceName();
        if (m_port->Open(device, m_baud)) {
            m_openDevice = device;
            m_input.clear();
            return true;
        }
        const QString text = m_port->ErrorText();
        if (ComDebugMode())
            UlmexMsgBox(QString(), QStringLiteral("Error - ComOpen\r\n") + text, QString(), false,
                        0, UlmexMB_ICONERROR);
        if (attempt < attempts) {
            Pause(m_timings.openRetryMs);
            continue;
        }
        const bool inUse = m_port->OpenFailure() == ISerialPort::TOpenFailure::InUse;
        recordFailure(inUse ? 198 : 184, QStringLiteral("Error - Com Open"), text);
    }
    return false;
}

bool TSerialLink::ComClose() {
    if (IsOpen())
        m_port->Close();
    m_input.clear();
    return true;
}

void TSerialLink::ComFlush() {
    if (!IsOpen())
        return;
    m_port->Clear();
    m_input.clear();
}

bool TSerialLink::ComWrite(const QByteArray& bytes, int timeOutSecs) {
    if (!ComOpen(1))
        return false;
    logChunk(true, bytes);
    if (m_port->Write(bytes) != bytes.size()) {
        recordFailure(-99, QStringLiteral("Error - Com Write"), m_port->ErrorText());
        closeFaulted();
        return false;
    }
    const QDeadlineTimer deadline(qint64(std::max(timeOutSecs, 0)) * m_timings.secondMs);
    while (m_port->PendingOutput() > 0 && !deadline.hasExpired()) {
        if (!m_port->WaitForWritten(int(std::clamp<qint64>(deadline.remainingTime(), 1, 100))) &&
            m_port->Faulted()) {
            recordFailure(-99, QStringLiteral("Error - Com Write"), m_port->ErrorText());
            closeFaulted();
            return false;
        }
    }
    return m_port->PendingOutput() == 0;
}

bool TSerialLink::readPending(QByteArray& chunk) {
    chunk = m_port->ReadAvailable(kMaxFrameLength);
    if (chunk.isEmpty())
        return false;
    logChunk(false, chunk);
    m_input.append(chunk);
    return true;
}

QByteArray TSerialLink::ComRead(int count, int timeOutSecs, const QByteArray& startSet,
                                const QByteArray& endSet) {
    if (!ComOpen(1)) {
        m_escape = false;
        return {};
    }
    TReadCollector collector(count, startSet, endSet);
    const QDeadlineTimer deadline(qint64(std::max(timeOutSecs, 0)) * m_timings.secondMs);
    QByteArray chunk;
    for (;;) {
        if (m_input.isEmpty())
            readPending(chunk);
        qsizetype used = 0;
        while (used < m_input.size() && !collector.Complete() && !collector.Overflowed())
            collector.Feed(m_input.at(used++));
        m_input.remove(0, used);
        if (collector.Complete() || collector.Overflowed())
            break;
        if (m_port->Faulted()) {
            recordFailure(-99, QStringLiteral("Error - Com Read"), m_port->ErrorText());
            closeFaulted();
            break;
        }
        // Requests on this connection (ESCAPEFLAGSET) are dispatched here, re-entrantly.
        QCoreApplication::processEvents();
        if ((m_escape && collector.Text().isEmpty()) || stopRequested() || deadline.hasExpired() ||
            !IsOpen())
            break;
        if (m_input.isEmpty())
            m_port->WaitForInput(
                int(std::clamp<qint64>(deadline.remainingTime(), 1, m_timings.pollSliceMs)));
    }
    m_escape = false;
    return collector.Complete() ? collector.Text() : QByteArray();
}

bool TSerialLink::SendCommand(const QByteArray& commandText) {
    const QByteArray frame = BuildFrame(commandText);
    const QByteArray handshake{QByteArray(1, ACK) + QByteArray(1, NAK)};
    for (int send = 1; send <= 3; ++send) {
        ComFlush();
        if (!ComWrite(frame, m_timings.handshakeSecs))
            return false;
        if (m_usb)
            return true;
        const QByteArray answer = ComRead(0, m_timings.handshakeSecs, handshake, handshake);
        Pause(m_timings.handshakePauseMs);
        if (answer.isEmpty())
            return false;
        if (answer.back() == ACK)
            return true;
        // NAK: the encoder wants the frame again.
    }
    return false;
}

QByteArray TSerialLink::ReceiveResponse(int timeOutSecs) {
    for (int reception = 1; reception <= 3; ++reception) {
        const QByteArray frame = ComRead(0, timeOutSecs, QByteArray(1, STX), QByteArray(1, ETX));
        if (frame.isEmpty())
            return {};
        const QByteArray check = ComRead(1, m_timings.handshakeSecs, {}, {});
        ComFlush();
        if (check.isEmpty())
            return {};
        const bool good = uint8_t(check.front()) == FrameCheck(frame);
        if (!m_usb)
            ComWrite(QByteArray(1, good ? ACK : NAK), m_timings.handshakeSecs);
        if (good)
            return frame;
        if (m_usb)
            return {};
    }
    return {};
}
