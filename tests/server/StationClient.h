#pragma once
// A station on loopback for tests: waits keep the test thread's events flowing so the server's
// calls into the main thread are served meanwhile.

#include <QByteArray>
#include <QTcpSocket>

class TTestStation {
public:
    explicit TTestStation(quint16 port);
    bool Connected() const;
    // Bytes received so far (greeting included until taken).
    QByteArray Greeting(int timeoutMs = 5000);
    void SendRaw(const QByteArray& bytes);
    // Sends STX + body + ETX and waits for a framed reply; empty when none came.
    QByteArray Request(const QByteArray& body, int timeoutMs = 5000);
    QByteArray WaitFrame(int timeoutMs);
    // Field of the last reply.
    static QByteArray Field(const QByteArray& frame, const QByteArray& name);
    void Close();
    bool WaitDisconnected(int timeoutMs);
    QTcpSocket& Socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
};
