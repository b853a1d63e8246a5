#include "ProgramFixture.h"

#include "IniFile.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <csignal>

namespace {
quint16 freePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}
} // namespace

QString TProgramFixture::BinDir() const {
    return qEnvironmentVariable("VRQ_BIN_DIR");
}

TProgramFixture::TProgramFixture(const TSiteLocation& location) {
    m_port = freePort();
    m_sitePath =
        location.directory.isEmpty() ? m_work.filePath(QStringLiteral("site")) : location.directory;
    QStringList args{QStringLiteral("--site"), m_sitePath, QStringLiteral("--port"),
                     QString::number(m_port)};
    if (!location.server.isEmpty()) {
        args << QStringLiteral("--server") << location.server;
        m_removeSite = true;
    }
    QProcess init;
    init.setProcessEnvironment(Environment());
    init.start(BinDir() + QStringLiteral("/vrq_initdb"), args);
    if (!init.waitForFinished(120000) || init.exitStatus() != QProcess::NormalExit ||
        init.exitCode() != 0) {
        m_error = QStringLiteral("vrq_initdb failed: ") +
                  QString::fromLocal8Bit(init.readAllStandardError());
        return;
    }
    TIniFile ini(m_work.filePath(QStringLiteral("halvex.ini")));
    ini.WriteString(QStringLiteral("Database"), QStringLiteral("LinkPath"), SitePath() + u'/');
    m_ok = true;
}

TProgramFixture::~TProgramFixture() {
    StopAll();
    if (m_removeSite)
        QDir(m_sitePath).removeRecursively();
}

void TProgramFixture::SetEnvironment(const QString& name, const QString& value) {
    m_extraEnv.insert(name, value);
}

QProcessEnvironment TProgramFixture::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HALVEX_WORK_FOLDER"), m_work.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_work.path());
    env.insert(QStringLiteral("TMPDIR"), m_work.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VRQ_UNATTENDED"), QStringLiteral("1"));
    env.insert(m_extraEnv);
    return env;
}

QProcess& TProgramFixture::Start(const QStringList& args, const QString& programFile) {
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(Environment());
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(programFile.isEmpty() ? BinDir() + QStringLiteral("/Halvex_VRQ") : programFile, args);
    p->waitForStarted(10000);
    m_processes.push_back(std::move(p));
    return *m_processes.back();
}

QString TProgramFixture::DebugText() const {
    QFile f(m_work.filePath(QStringLiteral("DebugLogMessage_") +
                            QDate::currentDate().toString(QStringLiteral("yyyyMM")) +
                            QStringLiteral(".txt")));
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

bool TProgramFixture::WaitForDebugLine(const QString& text, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (DebugText().contains(text))
            return true;
        QThread::msleep(50);
    }
    return DebugText().contains(text);
}

QString TProgramFixture::IniValue(const QString& section, const QString& key) const {
    return TIniFile(m_work.filePath(QStringLiteral("halvex.ini")))
        .ReadString(section, key, QStringLiteral("<missing>"));
}

QString TProgramFixture::StartEncoderSim(int comPort, const QStringList& args) {
    if (m_sim) {
        m_sim->kill();
        m_sim->waitForFinished(5000);
    }
    m_sim = std::make_unique<QProcess>();
    m_sim->start(BinDir() + QStringLiteral("/vrq_encoder_sim"), args);
    if (!m_sim->waitForReadyRead(10000))
        return {};
    const QString device = QString::fromLocal8Bit(m_sim->readLine()).trimmed();
    TIniFile(m_work.filePath(QStringLiteral("halvex.ini")))
        .WriteString(QStringLiteral("ComPorts"), QStringLiteral("COM%1").arg(comPort), device);
    return device;
}

qint64 TProgramFixture::EncoderSimPid() const {
    return m_sim && m_sim->state() == QProcess::Running ? m_sim->processId() : 0;
}

void TProgramFixture::StopAll() {
    for (auto& p : m_processes) {
        if (p->state() == QProcess::NotRunning)
            continue;
        ::kill(pid_t(p->processId()), SIGTERM);
        if (!p->waitForFinished(15000)) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
    if (m_sim) {
        m_sim->kill();
        m_sim->waitForFinished(5000);
    }
}

QByteArray ReadGreeting(quint16 port, int timeoutMs) {
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(timeoutMs))
        return {};
    QByteArray got;
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() &&
           s.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())))) {
        got += s.readAll();
        if (s.waitForReadyRead(200))
            got += s.readAll();
        break;
    }
    return got;
}

TLoopbackStation::TLoopbackStation(quint16 port) : m_s(std::make_unique<QTcpSocket>()) {
    m_s->connectToHost(QStringLiteral("127.0.0.1"), port);
    if (m_s->waitForConnected(5000) && m_s->waitForReadyRead(5000))
        m_s->readAll(); // the greeting
}

QByteArray TLoopbackStation::Request(const QByteArray& body, int timeoutMs) {
    Send(body);
    return Receive(timeoutMs);
}

QByteArray TLoopbackStation::Receive(int timeoutMs) {
    QByteArray reply;
    while (!reply.endsWith('\x03') && m_s->waitForReadyRead(timeoutMs))
        reply += m_s->readAll();
    return reply;
}

void TLoopbackStation::Send(const QByteArray& body) {
    m_s->write("\x02" + body + "\x03");
    m_s->waitForBytesWritten(2000);
}

void TLoopbackStation::Abort() {
    m_s->abort();
}

QByteArray ReplyField(const QByteArray& reply, const QByteArray& name) {
    const qsizetype stx = reply.indexOf('\x02');
    const qsizetype etx = reply.lastIndexOf('\x03');
    const QByteArray body = stx >= 0 && etx > stx ? reply.mid(stx + 1, etx - stx - 1) : reply;
    for (const QByteArray& line : body.split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if (l.startsWith(name + '='))
            return l.mid(name.size() + 1);
    }
    return {};
}
