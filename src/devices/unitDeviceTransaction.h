#pragma once
// Device transactions of one station connection: COMLINK's ComInit and DEVICETRANSACTION,
// routed by the connection's interface type (1 serial encoder, 2 printer encoder, 3 contactless
// encoder; any other value is handled like 1).

#include "THalvexError.h"
#include "unitSerialLink.h"

#include <QByteArray>
#include <atomic>
#include <memory>

// One DEVICETRANSACTION request; the in/out fields come back as the device left them.
struct TDeviceTransactionData {
    int command = 0;          // bytCommand
    QByteArray data;          // strData
    QByteArray elevator;      // strElevator (in/out)
    QByteArray track2;        // strTrack2 (in/out)
    QByteArray variableInfo;  // strVariableInfo (in/out)
    QByteArray addlInfo;      // strAddlInfo (in/out)
    int delaySecs = 2;        // intDelay
    int expectedResponse = 0; // intResponse; negative accepts any code
    QByteArray deviceName;    // strDeviceName (printer encoder)
    QByteArray printLayout;   // strPrintLayout (printer encoder)
};

class TACR_PROX;

// The device side of a connection worker; create it in the worker's thread.
class TDeviceSession {
public:
    TDeviceSession(THalvexError& error, std::atomic<bool>& escape, TSerialPortFactory factory = {});
    ~TDeviceSession();

    // COMLINK: type 1 opens the serial port, type 3 the contactless reader, others do nothing.
    bool ComInit(int interfaceType, int portNumber, int baud, bool usb);
    // Clears the error record and the escape flag, then runs the transaction of the type.
    bool DeviceTransaction(int interfaceType, TDeviceTransactionData& t, QByteArray& answer);

    // Interface type 1: command text, handshake, the encoder's answer frame.
    bool SerialDeviceTransaction(TDeviceTransactionData& t, QByteArray& answer);
    // Interface type 2: status or card print through the printer lock.
    bool PrinterDeviceTransaction(TDeviceTransactionData& t, QByteArray& answer);
    // Interface type 3: the contactless encoder (reader open and card read / write).
    bool ContactlessComInit(int portNumber);
    bool ContactlessDeviceTransaction(TDeviceTransactionData& t, QByteArray& answer);

    TSerialLink& Link() { return m_link; }
    THalvexError& Error() { return m_error; }
    std::atomic<bool>& Escape() { return m_escape; }
    // The pause between the command and the response wait (100 ms); tests may shorten it.
    void SetResponsePauseMs(int ms) { m_responsePauseMs = ms; }

private:
    THalvexError& m_error;
    std::atomic<bool>& m_escape;
    TSerialLink m_link;
    int m_responsePauseMs = 100;
    std::unique_ptr<TACR_PROX> m_prox; // the contactless driver, made on first use
};
