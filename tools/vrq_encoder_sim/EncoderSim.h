#pragma once
// A serial card encoder played in software: it reads framed commands from a file descriptor
// (a pseudo-terminal master, a serial device or a TCP connection), answers ACK / NAK and sends
// framed answers with a response code, and can be told to misbehave.

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

struct TEncoderSimOptions {
    int nakCount = 0;      // NAK the first n good command frames
    int badCheckCount = 0; // the first n answers carry a wrong check byte; -1: every answer
    int delayMs = 0;       // before each answer
    QByteArray noise;      // sent before the STX of each answer
    bool silent = false;   // neither handshake nor answer
    bool noAnswer = false; // ACK, then no answer frame
    bool usb = false;      // no ACK / NAK either way
    int responseCode = -1; // -1: the code a station expects for the command
    QByteArray responseText = "001001000";
    QByteArray statusText = "320010010000000BFEA0001127A11127A1"; // answer to command 1
    int stallAfter = -1; // >= 0: pause after this many bytes of an answer
    int stallMs = 0;
    int handshakeWaitMs = 3000; // how long an answer waits for the host's ACK / NAK
};

class TEncoderSim {
public:
    explicit TEncoderSim(TEncoderSimOptions options = {});

    void SetOptions(const TEncoderSimOptions& options);
    TEncoderSimOptions Options() const;

    // Serves fd until stop is set or fd fails or reaches its end; returns false on a fault.
    bool Serve(int fd, const std::atomic<bool>& stop);

    // Thread-safe: sends a framed text on its own (as the encoder does after command 0x64).
    void SendUnsolicited(const QByteArray& text);

    // What the host did, thread-safe copies.
    int FramesReceived() const;         // every frame, good check byte or not
    QList<QByteArray> Commands() const; // texts of the frames that were accepted
    QByteArray HostHandshakes() const;  // ACK / NAK bytes the host sent after answers
    QByteArray BytesReceived() const;   // everything, in order
    void ResetRecord();

    // The answer text for a command text (without STX / ETX).
    static QByteArray AnswerText(const TEncoderSimOptions& options, const QByteArray& command);
    // The response code a station expects for a command.
    static int ExpectedResponse(int command);

private:
    int readByte(int fd, int timeoutMs, char& c, const std::atomic<bool>& stop);
    bool writeAll(int fd, const QByteArray& bytes);
    bool sendAnswer(int fd, const TEncoderSimOptions& o, const QByteArray& text,
                    const std::atomic<bool>& stop);
    void sleepMs(int ms, const std::atomic<bool>& stop);

    mutable std::mutex m_mutex;
    TEncoderSimOptions m_options;
    int m_naksLeft = 0;
    int m_badChecksLeft = 0;
    int m_frames = 0;
    QList<QByteArray> m_commands;
    QByteArray m_handshakes;
    QByteArray m_received;
    QList<QByteArray> m_unsolicited;
    QByteArray m_in; // read from fd, not yet taken
};

// The simulator on the master side of a fresh pseudo-terminal, served by its own thread.
class TEncoderSimPty {
public:
    explicit TEncoderSimPty(TEncoderSimOptions options = {});
    ~TEncoderSimPty();
    TEncoderSimPty(const TEncoderSimPty&) = delete;
    TEncoderSimPty& operator=(const TEncoderSimPty&) = delete;

    bool Ok() const { return m_master >= 0; }
    QString ErrorText() const { return m_error; }
    // The device the link opens.
    QString SlavePath() const { return m_slavePath; }
    TEncoderSim& Sim() { return m_sim; }

private:
    TEncoderSim m_sim;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_error;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Opens a pseudo-terminal pair in raw mode; the slave fd must stay open while it is used.
bool OpenRawPty(int& master, int& slave, QString& slavePath, QString& error);
