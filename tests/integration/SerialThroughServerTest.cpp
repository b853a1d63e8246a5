// A serial-encoder station links and runs transactions through a running Halvex_VRQ, with the
// encoder simulator on a pseudo-terminal behind it.
#include "IniFile.h"
#include "ProgramFixture.h"

#include <QFile>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

class TStation {
public:
    explicit TStation(quint16 port) {
        m_s.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (m_s.waitForConnected(5000) && m_s.waitForReadyRead(5000))
            m_s.readAll(); // the greeting
    }
    QByteArray Request(const QByteArray& body, int timeoutMs = 15000) {
        m_s.write("\x02" + body + "\x03");
        QByteArray reply;
        while (!reply.endsWith('\x03') && m_s.waitForReadyRead(timeoutMs))
            reply += m_s.readAll();
        return reply;
    }
    void Send(const QByteArray& body) {
        m_s.write("\x02" + body + "\x03");
        m_s.flush();
    }

private:
    QTcpSocket m_s;
};

QByteArray field(const QByteArray& reply, const QByteArray& name) {
    const QByteArray body = reply.mid(1, reply.size() - 2);
    for (const QByteArray& line : body.split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if (l.startsWith(name + '='))
            return l.mid(name.size() + 1);
    }
    return {};
}

TEST(SerialThroughServerTest, ComLinkAndTransactionsReachTheEncoder) {
    TProgramFixture site;
    ASSERT_TRUE(site.Ok()) << site.Error().toStdString();
    QProcess sim;
    sim.start(site.BinDir() + QStringLiteral("/vrq_encoder_sim"));
    ASSERT_TRUE(sim.waitForReadyRead(10000));
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    ASSERT_TRUE(device.startsWith(QStringLiteral("/dev/"))) << device.toStdString();
    TIniFile(site.WorkPath() + QStringLiteral("/halvex.ini"))
        .WriteString(QStringLiteral("ComPorts"), QStringLiteral("COM5"), device);
    site.Start({QStringLiteral("/MAXIMIZE"), QStringLiteral("/COMLOG")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening")));

    TStation st(site.Port());
    const QByteArray link = st.Request("strAction=COMLINK\r\nintComPort=5\r\nintBaudRate=115200\r\nbUSB=0\r\n");
    EXPECT_EQ(field(link, "strResult"), "Success") << link.constData();
    EXPECT_EQ(field(link, "strErrorCode"), "0");

    const QByteArray status =
        st.Request("strAction=DEVICETRANSACTION\r\nbytCommand=1\r\nintResponse=50\r\nintDelay=3\r\n");
    EXPECT_EQ(field(status, "strResult"), "Success") << status.constData();
    EXPECT_EQ(field(status, "strRecv"), QByteArray("\x02" "320010010000000BFEA0001127A11127A1\x03"));

    const QByteArray wrong = st.Request("strAction=DEVICETRANSACTION\r\nbytCommand=1\r\nintResponse=99\r\nintDelay=3\r\n");
    EXPECT_EQ(field(wrong, "strResult"), "Failure") << "the response code is not the one expected";

    // A second port that does not exist.
    const QByteArray bad = st.Request("strAction=COMLINK\r\nintComPort=0\r\nintBaudRate=9600\r\nbUSB=0\r\n");
    EXPECT_EQ(field(bad, "strResult"), "Failure");
    EXPECT_EQ(field(bad, "strErrorCode"), "184");
    EXPECT_TRUE(QFile::exists(site.WorkPath() + QStringLiteral("/PellCom.Log")));
    sim.kill();
    sim.waitForFinished(5000);
}

} // namespace
