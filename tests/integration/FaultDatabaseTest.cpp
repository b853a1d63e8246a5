// The database server goes away while stations work: serial numbers fail without a reply and
// without using up a number, the other actions go on, and the numbers continue once it is back.
// Two kinds of outage: the Firebird server itself stopped and started again (root only, through
// the script that runs it for the tests), and the network path to it cut by a proxy while the
// server keeps running.
#include "IniFile.h"
#include "ProgramFixture.h"
#include "TcpProxy.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>
#include <QUuid>
#include <algorithm>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

const QString kRecorded = QStringLiteral("Error - Server WSocket Data Available");

// A Firebird configuration root for Halvex_VRQ like the build's own, whose client reaches servers
// on the given port instead of 3050.
QString clientRootFor(const TProgramFixture& site, quint16 port, QString* error) {
    const QDir source(site.BinDir() + QStringLiteral("/../firebird-root"));
    QFile conf(source.filePath(QStringLiteral("firebird.conf")));
    if (!conf.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("no ") + conf.fileName();
        return {};
    }
    const QString root = site.WorkPath() + QStringLiteral("/firebird-root");
    QDir().mkpath(root);
    for (const QFileInfo& entry :
         source.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        if (entry.fileName() != QStringLiteral("firebird.conf"))
            QFile::link(entry.isSymLink() ? entry.symLinkTarget() : entry.absoluteFilePath(),
                        root + u'/' + entry.fileName());
    }
    QFile out(root + QStringLiteral("/firebird.conf"));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write ") + out.fileName();
        return {};
    }
    out.write(conf.readAll() + "\nRemoteServicePort = " + QByteArray::number(port) + '\n');
    return root;
}

enum class TOutage { ServerStopped, NetworkCut };

std::string outageName(const ::testing::TestParamInfo<TOutage>& info) {
    return info.param == TOutage::ServerStopped ? "ServerStopped" : "NetworkCut";
}

// Runs the test script that starts and stops the Firebird server; false with its output.
bool firebirdScript(const QString& verb, QString* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("bash"),
            {QStringLiteral(VRQ_TEST_SOURCE_DIR "/scripts/firebird-server.sh"), verb});
    const bool ok =
        p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    *output = QString::fromLocal8Bit(p.readAll());
    return ok;
}

class FaultDatabaseTest : public ::testing::TestWithParam<TOutage> {
protected:
    void SetUp() override {
        const QString server = qEnvironmentVariable("VRQ_FB_SERVER");
        const QString data = qEnvironmentVariable("VRQ_FB_DATA");
        if (server.isEmpty() || data.isEmpty())
            GTEST_SKIP() << "no Firebird server (scripts/firebird-server.sh start)";
        if (GetParam() == TOutage::ServerStopped &&
            (::geteuid() != 0 || !QFile::exists(QStringLiteral("/tmp/vrq-firebird.pid"))))
            GTEST_SKIP() << "the Firebird server is not one that scripts/firebird-server.sh runs";
        m_site = std::make_unique<TProgramFixture>(TSiteLocation{
            server, data + QStringLiteral("/fault-") + QUuid::createUuid().toString(QUuid::Id128)});
        ASSERT_TRUE(m_site->Ok()) << m_site->Error().toStdString();
        if (GetParam() == TOutage::NetworkCut) {
            ASSERT_TRUE(m_proxy.Listen());
            QString error;
            const QString root = clientRootFor(*m_site, m_proxy.Port(), &error);
            ASSERT_FALSE(root.isEmpty()) << error.toStdString();
            m_site->SetEnvironment(QStringLiteral("FIREBIRD"), root);
        }
        // The address check opens the main connection every second, so it meets the outage too.
        TIniFile(m_site->WorkPath() + QStringLiteral("/halvex.ini"))
            .WriteString(QStringLiteral("VRQ"), QStringLiteral("IPCheckInterval"),
                         QStringLiteral("1000"));
    }

    void beginOutage() {
        if (GetParam() == TOutage::NetworkCut) {
            m_proxy.Stop();
            return;
        }
        QString output;
        ASSERT_TRUE(firebirdScript(QStringLiteral("stop"), &output)) << output.toStdString();
        m_serverStopped = true;
    }

    void endOutage() {
        if (GetParam() == TOutage::NetworkCut) {
            ASSERT_TRUE(m_proxy.Listen());
            return;
        }
        QString output;
        ASSERT_TRUE(firebirdScript(QStringLiteral("start"), &output) &&
                    output.contains(QStringLiteral("VRQ_FB_SERVER")))
            << output.toStdString();
        m_serverStopped = false;
    }

    // The program's own account of a failure.
    void TearDown() override {
        if (m_site && HasFailure())
            std::cerr << m_site->DebugText().toStdString() << '\n';
        // The server is shared by the tests that follow.
        QString output;
        if (m_serverStopped && !firebirdScript(QStringLiteral("start"), &output))
            std::cerr << output.toStdString() << '\n';
    }

    // Waits until the debug log holds the text at least n times.
    bool waitForCount(const QString& text, qsizetype n, int timeoutMs = 15000) const {
        const QDeadlineTimer deadline(timeoutMs);
        do {
            if (m_site->DebugText().count(text) >= n)
                return true;
            QThread::msleep(50);
        } while (!deadline.hasExpired());
        return false;
    }

    TTcpProxy m_proxy{3050};
    std::unique_ptr<TProgramFixture> m_site;
    bool m_serverStopped = false;
};

long long serialOf(const QByteArray& reply) {
    return ReplyField(reply, "strRecv").toLongLong();
}

TEST_P(FaultDatabaseTest, ServerGoneMidSessionFailsOnlySerialNumbersAndTheyResumeWithoutAGap) {
    QProcess& server = m_site->Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(m_site->WaitForDebugLine(QStringLiteral("After Listening")))
        << m_site->DebugText().toStdString();
    if (GetParam() == TOutage::NetworkCut) {
        ASSERT_GT(m_proxy.Accepted(), 0) << "the program must reach the database through the proxy";
    }

    // Stations 0..2 ask during the outage (the first meets the lost attachment, the others find
    // no server); station 3 stays quiet until the server is back.
    std::vector<std::unique_ptr<TLoopbackStation>> stations;
    for (int i = 0; i < 4; ++i)
        stations.push_back(std::make_unique<TLoopbackStation>(m_site->Port()));
    std::vector<long long> numbers;
    for (int round = 0; round < 3; ++round)
        for (auto& s : stations) {
            const QByteArray r = s->Request("strAction=NEXTSERIALNUM");
            ASSERT_EQ(ReplyField(r, "strResult"), "Success") << r.constData();
            numbers.push_back(serialOf(r));
        }

    ASSERT_NO_FATAL_FAILURE(beginOutage());
    qsizetype recorded = m_site->DebugText().count(kRecorded);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        TLoopbackStation& s = *stations[size_t(i)];
        // Twice each: neither the lost attachment nor a new one gives a number.
        for (int attempt = 0; attempt < 2; ++attempt) {
            s.Send("strAction=NEXTSERIALNUM");
            ASSERT_TRUE(waitForCount(kRecorded, ++recorded))
                << "the failed request is not recorded";
        }
        // Replies come in order: the LINK answer is the first thing the station hears.
        const QByteArray link = s.Request("strAction=LINK");
        EXPECT_FALSE(link.contains("NEXTSERIALNUM")) << link.constData();
        EXPECT_EQ(ReplyField(link, "strResult"), "Success") << link.constData();
        const QByteArray time = s.Request("strAction=DATETIMEREQUEST");
        EXPECT_EQ(ReplyField(time, "strResult"), "Success") << time.constData();
        EXPECT_EQ(ReplyField(time, "strRecv").size(), 14) << time.constData();
    }
    {
        TLoopbackStation fresh(m_site->Port());
        EXPECT_EQ(ReplyField(fresh.Request("strAction=LINK"), "strResult"), "Success");
    }
    // A few rounds of the address check against the missing server.
    QThread::msleep(2500);
    ASSERT_EQ(server.state(), QProcess::Running);

    ASSERT_NO_FATAL_FAILURE(endOutage());
    for (int round = 0; round < 3; ++round)
        for (size_t i = 0; i < stations.size(); ++i) {
            SCOPED_TRACE(i);
            const QByteArray r = stations[i]->Request("strAction=NEXTSERIALNUM");
            EXPECT_EQ(ReplyField(r, "strResult"), "Success") << r.constData();
            if (r.contains("strRecv="))
                numbers.push_back(serialOf(r));
        }
    {
        TLoopbackStation fresh(m_site->Port());
        const QByteArray r = fresh.Request("strAction=NEXTSERIALNUM");
        EXPECT_EQ(ReplyField(r, "strResult"), "Success") << r.constData();
        numbers.push_back(serialOf(r));
    }
    std::sort(numbers.begin(), numbers.end());
    ASSERT_EQ(numbers.size(), 25u);
    for (size_t i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1) << "at " << i;
    EXPECT_EQ(server.state(), QProcess::Running);
}

INSTANTIATE_TEST_SUITE_P(Outages, FaultDatabaseTest,
                         ::testing::Values(TOutage::ServerStopped, TOutage::NetworkCut),
                         outageName);

} // namespace
