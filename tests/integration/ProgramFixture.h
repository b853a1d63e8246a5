#pragma once
// A real Halvex_VRQ on a site made by vrq_initdb in a temporary work folder, isolated from other
// tests: its own port, its own mutex folder, its own local-socket folder.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

class QTcpSocket;

class TProgramFixture {
public:
    TProgramFixture();
    ~TProgramFixture();

    bool Ok() const { return m_ok; }
    const QString& Error() const { return m_error; }
    quint16 Port() const { return m_port; }
    QString WorkPath() const { return m_work.path(); }
    QString SitePath() const { return m_work.filePath(QStringLiteral("site")); }
    QString BinDir() const;
    QProcessEnvironment Environment() const;

    // Starts Halvex_VRQ (or another program file) with args; the process is owned here.
    QProcess& Start(const QStringList& args = {}, const QString& programFile = {});
    // Waits until the debug message file holds the text.
    bool WaitForDebugLine(const QString& text, int timeoutMs = 30000) const;
    QString DebugText() const;
    QString IniValue(const QString& section, const QString& key) const;
    // Starts vrq_encoder_sim on a pseudo-terminal and maps COM port n to it in halvex.ini;
    // returns the device path, empty when the simulator did not start. Stopped with the rest.
    QString StartEncoderSim(int comPort);
    // Stops every started process (SIGTERM, then kill).
    void StopAll();

private:
    QTemporaryDir m_work;
    quint16 m_port = 0;
    bool m_ok = false;
    QString m_error;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    std::unique_ptr<QProcess> m_sim;
};

// Reads the greeting of a station connecting to the port.
QByteArray ReadGreeting(quint16 port, int timeoutMs = 5000);

// A station on loopback: connects, takes the greeting, sends framed requests.
class TLoopbackStation {
public:
    explicit TLoopbackStation(quint16 port);
    // Sends STX + body + ETX and waits for a reply up to its last ETX; empty without one.
    QByteArray Request(const QByteArray& body, int timeoutMs = 15000);
    void Send(const QByteArray& body);
    void Abort();

private:
    std::unique_ptr<QTcpSocket> m_s;
};

// A field of a framed reply (name=value lines inside STX .. ETX).
QByteArray ReplyField(const QByteArray& reply, const QByteArray& name);
