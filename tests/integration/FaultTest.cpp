// Stations that misbehave must not stop the server from answering the others.
#include "IniFile.h"
#include "ProgramFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

long rssKiB(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// LINK on a fresh connection; the milliseconds it took, -1 without an answer.
qint64 linkMs(quint16 port) {
    QElapsedTimer t;
    t.start();
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(5000) || !s.waitForReadyRead(5000))
        return -1;
    s.readAll();
    s.write("\x02strAction=LINK\r\n\x03");
    QByteArray reply;
    while (!reply.endsWith('\x03') && s.waitForReadyRead(5000))
        reply += s.readAll();
    return reply.contains("strResult=Success") ? t.elapsed() : -1;
}

TEST(FaultTest, FloodsRandomBytesAndIdleConnectionsLeaveTheServerAnswering) {
    TProgramFixture site;
    ASSERT_TRUE(site.Ok()) << site.Error().toStdString();
    QProcess& server = site.Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening")));
    ASSERT_GE(linkMs(site.Port()), 0);
    const long before = rssKiB(server.processId());

    // 10 MiB after an STX and never an ETX.
    QTcpSocket flood;
    flood.connectToHost(QStringLiteral("127.0.0.1"), site.Port());
    ASSERT_TRUE(flood.waitForConnected(5000));
    const QByteArray chunk(64 * 1024, 'x');
    flood.write("\x02");
    for (int i = 0; i < 160; ++i) {
        flood.write(chunk);
        flood.waitForBytesWritten(5000);
    }
    // Random bytes from another station.
    QTcpSocket noise;
    noise.connectToHost(QStringLiteral("127.0.0.1"), site.Port());
    ASSERT_TRUE(noise.waitForConnected(5000));
    QByteArray random(256 * 1024, '\0');
    QRandomGenerator gen(42);
    for (char& c : random)
        c = char(gen.bounded(256));
    noise.write(random);
    noise.waitForBytesWritten(5000);
    // 500 stations that say nothing.
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 500; ++i) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QStringLiteral("127.0.0.1"), site.Port());
        if (s->waitForConnected(5000))
            idle.push_back(std::move(s));
    }
    EXPECT_EQ(idle.size(), 500u);

    const qint64 ms = linkMs(site.Port());
    EXPECT_GE(ms, 0) << "no answer to LINK";
    EXPECT_LT(ms, 1000) << "LINK took " << ms << " ms";
    const long after = rssKiB(server.processId());
    EXPECT_LT(after - before, 256 * 1024) << "RSS grew by " << (after - before) << " KiB";
    EXPECT_EQ(server.state(), QProcess::Running);
}

} // namespace

namespace {

TEST(FaultTest, StationGoneDuringATransactionReleasesThePort) {
    TProgramFixture site;
    ASSERT_TRUE(site.Ok()) << site.Error().toStdString();
    const QString device = site.StartEncoderSim(7);
    ASSERT_TRUE(device.startsWith(QStringLiteral("/dev/"))) << device.toStdString();
    site.Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening")));
    const QByteArray comLink = "strAction=COMLINK\r\nintComPort=7\r\nintBaudRate=115200\r\nbUSB=0";
    {
        TLoopbackStation a(site.Port());
        ASSERT_TRUE(a.Request(comLink).contains("strResult=Success"));
        // Command 0x64 only waits for the encoder; the station leaves during that wait.
        a.Send("strAction=DEVICETRANSACTION\r\nbytCommand=100\r\nintResponse=-1\r\nintDelay=20");
        QThread::msleep(500);
        a.Abort();
    }
    QThread::msleep(1500);
    TLoopbackStation b(site.Port());
    const QByteArray reply = b.Request(comLink);
    EXPECT_TRUE(reply.contains("strResult=Success")) << reply.constData();
}

TEST(FaultTest, KilledServerContinuesAfterTheHighestNumberHandedOut) {
    TProgramFixture site;
    ASSERT_TRUE(site.Ok()) << site.Error().toStdString();
    QProcess& server = site.Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening")));
    std::vector<std::unique_ptr<TLoopbackStation>> stations;
    for (int i = 0; i < 8; ++i)
        stations.push_back(std::make_unique<TLoopbackStation>(site.Port()));
    long long highest = 0;
    for (int round = 0; round < 20; ++round)
        for (auto& s : stations) {
            const QByteArray r = s->Request("strAction=NEXTSERIALNUM", 5000);
            const int at = r.indexOf("strRecv=");
            if (at >= 0)
                highest = std::max(highest, r.mid(at + 8).split('\r').value(0).toLongLong());
        }
    ASSERT_GT(highest, 0);
    ::kill(pid_t(server.processId()), SIGKILL);
    ASSERT_TRUE(server.waitForFinished(10000));
    stations.clear();
    site.Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening"), 30000));
    // The killed copy's listening line is in the log too; wait for the new one to answer.
    QByteArray r;
    for (int i = 0; i < 50 && !r.contains("strRecv="); ++i) {
        TLoopbackStation s(site.Port());
        r = s.Request("strAction=NEXTSERIALNUM", 2000);
        if (!r.contains("strRecv="))
            QThread::msleep(200);
    }
    EXPECT_EQ(r.mid(r.indexOf("strRecv=") + 8).split('\r').value(0).toLongLong(), highest + 1)
        << r.constData();
}

} // namespace

namespace {

// Waits until the file holds the text.
bool waitForFileText(const QString& path, const QByteArray& text, int timeoutMs = 10000) {
    const QDeadlineTimer deadline(timeoutMs);
    do {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly) && f.readAll().contains(text))
            return true;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

// Whether the process has the file open (a removed device still counts).
bool holdsFile(qint64 pid, const QString& path) {
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd :
         fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        const QString target = QFile::symLinkTarget(fds.filePath(fd));
        if (target == path || target.startsWith(path + QStringLiteral(" (")))
            return true;
    }
    return false;
}

// The encoder goes away (its simulator killed) while a worker waits for its answer: the worker
// answers with the read failure, and the port is free for the encoder that comes next.
TEST(FaultTest, EncoderGoneDuringAReadFailsTheTransactionAndFreesThePort) {
    TProgramFixture site;
    ASSERT_TRUE(site.Ok()) << site.Error().toStdString();
    // It takes the command (ACK) and never answers.
    const QString first = site.StartEncoderSim(7, {QStringLiteral("--no-answer")});
    ASSERT_TRUE(first.startsWith(QStringLiteral("/dev/"))) << first.toStdString();
    QProcess& server = site.Start({QStringLiteral("/MAXIMIZE"), QStringLiteral("/COMLOG")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening")));
    const QByteArray comLink = "strAction=COMLINK\r\nintComPort=7\r\nintBaudRate=115200\r\nbUSB=0";
    const QByteArray status =
        "strAction=DEVICETRANSACTION\r\nbytCommand=1\r\nintResponse=50\r\nintDelay=";

    TLoopbackStation a(site.Port());
    ASSERT_EQ(ReplyField(a.Request(comLink), "strResult"), "Success");
    ASSERT_TRUE(holdsFile(server.processId(), first));
    a.Send(status + "20");
    // The ACK in the port log: the worker now waits for the answer.
    ASSERT_TRUE(waitForFileText(site.WorkPath() + QStringLiteral("/PellCom.Log"), " In 06"));
    ASSERT_EQ(::kill(pid_t(site.EncoderSimPid()), SIGKILL), 0);
    const QByteArray failed = a.Receive(30000);
    EXPECT_EQ(ReplyField(failed, "strResult"), "Failure") << failed.constData();
    EXPECT_TRUE(ReplyField(failed, "strErrorData").startsWith("Error - Com Read"))
        << "the vanished device, not a time-out: " << failed.constData();
    ASSERT_EQ(server.state(), QProcess::Running);
    EXPECT_FALSE(holdsFile(server.processId(), first)) << "the dead device is still open";
    EXPECT_EQ(ReplyField(a.Request("strAction=LINK"), "strResult"), "Success");

    const QString second = site.StartEncoderSim(7);
    ASSERT_TRUE(second.startsWith(QStringLiteral("/dev/"))) << second.toStdString();
    TLoopbackStation b(site.Port());
    const QByteArray linked = b.Request(comLink);
    EXPECT_EQ(ReplyField(linked, "strResult"), "Success") << linked.constData();
    const QByteArray answered = b.Request(status + "3");
    EXPECT_EQ(ReplyField(answered, "strResult"), "Success") << answered.constData();
    EXPECT_EQ(ReplyField(answered, "strRecv"),
              QByteArray("\x02"
                         "320010010000000BFEA0001127A11127A1\x03"));
}

} // namespace
