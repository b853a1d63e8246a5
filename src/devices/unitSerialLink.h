#pragma once
// One station connection's link to its serial card encoder: port set-up and opening, raw reads
// and writes, and the framed command / response exchange with ACK / NAK.
// Created in the connection worker's thread and used only there.

#include "THalvexError.h"
#include "unitSerialPort.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>

// Debug mode ("\ULMEXDEBUG"): a failed open also shows a message box.
void SetComDebugMode(bool on);
bool ComDebugMode();

// The link's waits. Time-outs are given in whole seconds; a second lasts secondMs, which tests
// shorten. The program keeps the defaults.
struct TSerialLinkTimings {
    int secondMs = 1000;
    int openRetryMs = 500;      // between open attempts
    int handshakePauseMs = 100; // after reading ACK / NAK
    int handshakeSecs = 2;      // ACK / NAK, check byte and output drain
    int pollSliceMs = 10;       // longest wait for input before the thread's events run
};

class TSerialLink {
public:
    // error and escape belong to the connection and outlive the link.
    TSerialLink(THalvexError& error, std::atomic<bool>& escape, TSerialPortFactory factory = {});
    ~TSerialLink();
    TSerialLink(const TSerialLink&) = delete;
    TSerialLink& operator=(const TSerialLink&) = delete;

    // Stores the USB flag, port number (0..65535) and baud, then ComOpen(2).
    bool ComInit(int portNumber, int baud, bool usb);
    // Opens the port unless open; attempts 500 ms apart. Failures: 184 / 198.
    bool ComOpen(int attempts);
    bool ComClose();
    void ComFlush();
    // Sends the bytes and waits until they left or timeOutSecs passed.
    bool ComWrite(const QByteArray& bytes, int timeOutSecs);
    // count > 0: that many characters; else from a start character to an end character.
    // Empty text when the read did not complete (time-out, escape, thread end, fault).
    QByteArray ComRead(int count, int timeOutSecs, const QByteArray& startSet,
                       const QByteArray& endSet);

    // Frame, up to three sends; true on ACK (or at once in USB mode).
    bool SendCommand(const QByteArray& commandText);
    // The good frame STX .. ETX, answered with ACK / NAK; empty text on failure.
    QByteArray ReceiveResponse(int timeOutSecs);

    // Waits ms while the thread's events keep flowing.
    void Pause(int ms) const;

    bool IsOpen() const;
    bool Usb() const { return m_usb; }
    int PortNumber() const { return m_portNumber; }
    int BaudRate() const { return m_baud; }
    // The device the port number maps to (halvex.ini [ComPorts]).
    QString DeviceName() const;

    THalvexError& Error() { return m_error; }
    std::atomic<bool>& Escape() { return m_escape; }
    TSerialLinkTimings& Timings() { return m_timings; }

private:
    void recordFailure(int code, const QString& heading, const QString& text);
    bool readPending(QByteArray& chunk);
    void logChunk(bool out, const QByteArray& bytes) const;
    bool stopRequested() const;
    void closeFaulted();

    THalvexError& m_error;
    std::atomic<bool>& m_escape;
    TSerialPortFactory m_factory;
    std::unique_ptr<ISerialPort> m_port;
    QByteArray m_input;   // taken from the port, not yet consumed by a read
    QString m_openDevice; // device of the open port
    TSerialLinkTimings m_timings;
    int m_portNumber = 0;
    int m_baud = 0;
    bool m_usb = false;
    bool m_comLog;
};
