// Stations that misbehave must not stop the server from answering the others.
#include "ProgramFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpSocket>
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
