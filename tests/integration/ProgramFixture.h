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

// Where the site's databases are: the embedded engine in the work folder (no server), or a
// Firebird server that keeps them in a folder of its host.
struct TSiteLocation {
    QString server;    // host given to vrq_initdb --server
    QString directory; // the site folder; removed with the fixture
};

class TProgramFixture {
public:
    explicit TProgramFixture(const TSiteLocation& location = {});
    ~TProgramFixture();

    bool Ok() const { return m_ok; }
    const QString& Error() const { return m_error; }
    quint16 Port() const { return m_port; }
    QString WorkPath() const { return m_work.path(); }
    QString SitePath() const { return m_sitePath; }
    QString BinDir() const;
    QProcessEnvironment Environment() const;
    // A variable for the programs started from now on.
    void SetEnvironment(const QString& name, const QString& value);

    // Starts Halvex_VRQ (or another program file) with args; the process is owned here.
    QProcess& Start(const QStringList& args = {}, const QString& programFile = {});
    // Waits until the debug message file holds the text.
    bool WaitForDebugLine(const QString& text, int timeoutMs = 30000) const;
    QString DebugText() const;
    QString IniValue(const QString& section, const QString& key) const;
    // Starts vrq_encoder_sim on a pseudo-terminal and maps COM port n to it in halvex.ini;
    // returns the device path, empty when the simulator did not start. Stopped with the rest.
    // A second call replaces the first simulator (stopped) by a new one on a new terminal.
    QString StartEncoderSim(int comPort, const QStringList& args = {});
    // The simulator's process id, 0 when none runs.
    qint64 EncoderSimPid() const;
    // Stops every started process (SIGTERM, then kill).
    void StopAll();

private:
    QTemporaryDir m_work;
    QString m_sitePath;
    bool m_removeSite = false;
    QProcessEnvironment m_extraEnv;
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
    // Waits for a reply to what was sent before; empty without one.
    QByteArray Receive(int timeoutMs = 15000);
    void Abort();

private:
    std::unique_ptr<QTcpSocket> m_s;
};

// A field of a framed reply (name=value lines inside STX .. ETX).
QByteArray ReplyField(const QByteArray& reply, const QByteArray& name);
