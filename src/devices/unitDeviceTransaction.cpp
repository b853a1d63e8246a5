#include "unitDeviceTransaction.h"

#include "unitRFID.h"

#include "Errors.h"
#include "unitEncoderFrame.h"
#include "unitFargoWrite.h"

#include <exception>

namespace {
constexpr int kWaitOnlyCommand = 0x64;
}

TDeviceSession::TDeviceSession(THalvexError& error, std::atomic<bool>& escape,
                               TSerialPortFactory factory)
    : m_error(error), m_escape(escape), m_link(error, escape, std::move(factory)) {}

bool TDeviceSession::ComInit(int interfaceType, int portNumber, int baud, bool usb) {
    switch (interfaceType) {
    case 1:
        return m_link.ComInit(portNumber, baud, usb);
    case 3:
        return ContactlessComInit(portNumber);
    default:
        return true;
    }
}

bool TDeviceSession::DeviceTransaction(int interfaceType, TDeviceTransactionData& t,
                                       QByteArray& answer) {
    m_error.Clear();
    m_escape = false;
    answer.clear();
    switch (interfaceType) {
    case 2:
        return PrinterDeviceTransaction(t, answer);
    case 3:
        return ContactlessDeviceTransaction(t, answer);
    default:
        return SerialDeviceTransaction(t, answer);
    }
}

bool TDeviceSession::SerialDeviceTransaction(TDeviceTransactionData& t, QByteArray& answer) {
    try {
        answer.clear();
        if (t.command < 0 || t.command > 255)
            throw EUlmex(QStringLiteral("Range check error: command %1").arg(t.command));
        const QByteArray text = EncoderFrame::CommandText(t.command, t.data);
        // Command 0x64 sends nothing: the encoder reports on its own and we only listen.
        if (t.command != kWaitOnlyCommand && !m_link.SendCommand(text))
            return false;
        m_link.Pause(m_responsePauseMs);
        answer = m_link.ReceiveResponse(t.delaySecs);
        return EncoderFrame::AnswerAccepted(answer, t.expectedResponse);
    } catch (const std::exception& e) {
        m_error.Record(-99, {QStringLiteral("Error - Device Transaction"), ExceptionText(e)});
        return false;
    }
}

bool TDeviceSession::PrinterDeviceTransaction(TDeviceTransactionData& t, QByteArray& answer) {
    return PrinterDispatch(t.command, t.deviceName, t.printLayout, t.data, answer, m_error);
}
