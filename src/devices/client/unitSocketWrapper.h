#pragma once
// The station side's TCP client: queued framed messages, waits that keep the thread's events
// flowing, and the raw beacon answer of a logon link.

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QString>

class QTcpSocket;

class TSocketWrapper : public QObject {
    Q_OBJECT
public:
    explicit TSocketWrapper(QObject* parent = nullptr);
    ~TSocketWrapper() override;

    // Seconds Connect waits for the connection.
    static constexpr int kConnectWaitSecs = 15;

    bool Connect(const QString& address, int port, bool raise, int* errorCode);
    bool Disconnect();
    bool Connected() const { return m_connected; }
    // Sends text (framed with STX/ETX and, with check, the XOR check byte) and waits up to
    // timeOutSecs + 3 s for the first message; answer empty when none came.
    void Request(int timeOutSecs, const QByteArray& text, QByteArray* answer, bool frame, bool check);
    bool Send(const QByteArray& text);
    QByteArray NextMessage();
    // Waits up to ms for a first queued message (the greeting of a server).
    QByteArray WaitMessage(int ms);
    void StopWait() { m_stopWait = true; }

    QByteArray BeaconRequestText;
    QByteArray BeaconReplyText;

    // The message a received chunk yields (after the first STX, before the last ETX).
    static QByteArray MessageOf(const QByteArray& chunk);

private:
    void OnReadyRead();

    QTcpSocket* m_socket;
    QByteArrayList m_queue;
    int m_readPos = 0;
    bool m_connected = false;
    int m_connectResult = -1;
    bool m_stopWait = false;
    QString m_address;
    int m_port = 0;
};

// Reports a fault of the station side through the message routine (heading and text).
void ReportDeviceFault(const QString& heading, const QString& text);
