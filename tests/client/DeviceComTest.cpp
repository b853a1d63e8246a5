#include "unitDeviceCom.h"
#include "unitDispatch.h"
#include "unitPumpEvents.h"
#include "unitServerState.h"
#include "unitSharedSettings.h"
#include "unitUtils.h"
#include "unitVRQMain.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Stations kept in memory, served by an in-process controller on a loopback port.
class FakeDirectory : public IStationDirectory {
public:
    QHash<QString, TEncoderMapRow> rows;
    int port = 0;
    std::optional<TEncoderMapRow> EncoderMap(const QString& id) override {
        if (!rows.contains(id))
            return std::nullopt;
        return rows.value(id);
    }
    int VRQPort() override { return port; }
    QByteArray PrintLayoutText(int) override { return "LAYOUT"; }
};

class DeviceComTest : public ::testing::Test {
protected:
    QTemporaryDir work;
    TDispatcher dispatcher;
    std::unique_ptr<TVRQMain> vrq;
    FakeDirectory dir;
    TDeviceRequest lastRequest;

    void SetUp() override {
        SetAppPath(work.path());
        ServerState().flagHolder = nullptr;
        dispatcher.Services().DeviceTransaction = [this](TClientConnection&, TDeviceRequest& r,
                                                         QByteArray& answer) {
            lastRequest = r;
            answer = "\x02" "320010010000000BFEA0001127A11127A1\x03";
            r.track2 = "T2";
            return true;
        };
        dispatcher.Services().ComInit = [](TClientConnection&, int port, int, bool) { return port == 3; };
        vrq = std::make_unique<TVRQMain>(nullptr, nullptr, &dispatcher);
        ASSERT_TRUE(vrq->Listen(QHostAddress::LocalHost, 0));
        vrq->ShowListening();
        dir.port = vrq->ServerPort();
        TEncoderMapRow row;
        row.strStationID = QStringLiteral("FD1");
        row.strName = ComputerName_str().toLower();
        row.strIPAddr = QStringLiteral("127.0.0.1");
        row.lngPort = 3;
        row.lngEncoder_Baud = 9600;
        dir.rows.insert(row.strStationID, row);
        row.strStationID = QStringLiteral("BAD");
        row.strName = QStringLiteral("OTHERHOST");
        dir.rows.insert(row.strStationID, row);
    }
    void TearDown() override {
        vrq->CloseAllConnections();
        vrq.reset();
        SetAppPath(QString());
    }
};

TEST_F(DeviceComTest, LinkThroughTheServerThenTransactionsAndQueries) {
    TDeviceCom com(1, &dir, QStringLiteral("FD1"));
    ASSERT_TRUE(com.Link(true)) << com.LastErrorCode();
    EXPECT_EQ(com.LastErrorCode(), 0);
    QByteArray e, t2, v, a, answer;
    ASSERT_TRUE(com.Transaction(1, "DATA", e, t2, v, a, answer, 2));
    EXPECT_EQ(answer, QByteArray("\x02" "320010010000000BFEA0001127A11127A1\x03"));
    EXPECT_EQ(t2, QByteArray("T2"));
    EXPECT_EQ(lastRequest.expectedResponse, 50);
    EXPECT_EQ(lastRequest.data, QByteArray("DATA"));

    TDeviceStatus status;
    ASSERT_TRUE(com.StatusGet(status));
    EXPECT_EQ(status.intDeviceKind, 1);
    EXPECT_EQ(status.intFeatureWord, 0xBFEA);
    EXPECT_EQ(status.datVersion1.ToQDateTime().date(), QDate(2001, 11, 27));

    com.ThreadTypeSet('L');
    EXPECT_TRUE(PumpEventsUntil([&] { return vrq->CountConnectionsOfType(u'L') == 1; }, 5000));
    EXPECT_EQ(com.ThreadTypeCount('L'), 1);
    TDateTime now;
    EXPECT_TRUE(com.DateTimeGet(now));
    EXPECT_LT(std::abs(now.ToQDateTime().secsTo(QDateTime::currentDateTime())), 5);
    bool set = true;
    EXPECT_TRUE(com.DbFlagStatus(set));
    EXPECT_FALSE(set);
}

TEST_F(DeviceComTest, LinkFailuresGiveTheirCodes) {
    {
        TDeviceCom com(1, &dir, QStringLiteral("NONE"));
        EXPECT_FALSE(com.Link(false));
        EXPECT_EQ(com.LastErrorCode(), 161);
        EXPECT_EQ(com.ErrorTexts()[0], QStringLiteral("NONE"));
    }
    {
        TDeviceCom com(1, &dir, QStringLiteral("BAD"));
        EXPECT_FALSE(com.Link(false));
        EXPECT_EQ(com.LastErrorCode(), 163);
        EXPECT_EQ(com.ErrorTexts()[1], QStringLiteral("OTHERHOST"));
        EXPECT_EQ(com.ErrorTexts()[2].toUpper(), ComputerName_str().toUpper());
    }
    {
        FakeDirectory closed = dir;
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closed.port = probe.serverPort();
        probe.close(); // nobody listens there now
        TDeviceCom com(1, &closed, QStringLiteral("FD1"));
        EXPECT_FALSE(com.Link(false));
        EXPECT_EQ(com.LastErrorCode(), 162);
    }
}

TEST_F(DeviceComTest, TransactionWithoutDelayNeedsNoAnswer) {
    dispatcher.Services().DeviceTransaction = [](TClientConnection&, TDeviceRequest&, QByteArray&) {
        return false;
    };
    TDeviceCom com(1, &dir, QStringLiteral("FD1"));
    ASSERT_TRUE(com.Link(false));
    QByteArray e, t2, v, a, answer;
    EXPECT_TRUE(com.Transaction(4, "X", e, t2, v, a, answer, 0));
    EXPECT_FALSE(com.Transaction(4, "X", e, t2, v, a, answer, 1));
}

TEST(SocketWrapperTest, MessageIsTheTextUpToTheLastEtx) {
    EXPECT_EQ(TSocketWrapper::MessageOf("x\x02" "abc\x03\x03y"), QByteArray("abc\x03"));
    EXPECT_EQ(TSocketWrapper::MessageOf("CHN=HOST"), QByteArray("CHN=HOST"));
}

TEST(SocketWrapperTest, LogonLinkAnswersABeaconRawAndQueuesNothing) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TLogonCom logon(QStringLiteral("X"), nullptr);
    int code = 0;
    ASSERT_TRUE(logon.Socket().Connect(QStringLiteral("127.0.0.1"), server.serverPort(), false, &code));
    ASSERT_TRUE(PumpEventsUntil([&] { return server.hasPendingConnections(); }, 5000));
    QTcpSocket* peer = server.nextPendingConnection();
    peer->write("\x02" "BEACONREQUEST\x03");
    QByteArray got;
    PumpEventsUntil(
        [&] {
            got += peer->readAll();
            return got.size() >= 11;
        },
        5000);
    EXPECT_EQ(got, QByteArray("BEACONREPLY"));
    EXPECT_EQ(logon.Socket().NextMessage(), QByteArray());
}

TEST(DeviceStatusTest, QuilAndLpiAnswers) {
    TDeviceStatus quil;
    EXPECT_TRUE(DeviceStatusFill("QUILEN*0-1a-2-B3-4-5*x*y*z*V1.2*w", quil));
    EXPECT_EQ(quil.intDeviceKind, 3);
    EXPECT_EQ(quil.strMACAddress, QStringLiteral("00-1a-02-B3-04-05"));
    EXPECT_EQ(quil.strVersion1, QStringLiteral("V1.2"));
    TDeviceStatus lpi;
    // Feature word 0x6000: bits 15 and 14 set, an LPI; year 02 below 90 is 2002.
    const QByteArray lpiAnswer = QByteArray("\x02") + "32001001000" + "0" + "000" + "6000" + "000" +
                                 "022002" + "022002" + "\x03";
    EXPECT_TRUE(DeviceStatusFill(lpiAnswer, lpi));
    EXPECT_EQ(lpi.intDeviceKind, 2);
    EXPECT_EQ(lpi.datVersion2.ToQDateTime().date(), QDate(2002, 2, 20));
    EXPECT_TRUE(lpi.bLateVersion);
    TDeviceStatus shortOne;
    EXPECT_FALSE(DeviceStatusFill("\x02" "32\x03", shortOne));
}

TEST(DeviceComTableTest, ExpectedResponsesAndDatacardRequest) {
    const std::pair<int, int> table[] = {{0, 0},   {1, 50},  {2, 51},  {3, 52},  {33, 52},
                                         {10, 55}, {13, -1}, {100, -1}, {28, 65}, {29, 66},
                                         {35, 67}, {37, 67}, {41, 68}, {42, 69}, {4, 57}};
    for (const auto& [cmd, expected] : table)
        EXPECT_EQ(ExpectedResponse_int(cmd), expected) << cmd;
    TKeyStringParts p;
    p.track1 = "B123";
    p.track3 = "T3";
    p.printTexts = {"ROOM 101", "SMITH"};
    EXPECT_EQ(DatacardRequest(p), QByteArray("<ROOM 101\nSMITH\n\"%B123?_;T3?>\r\n"));
    EXPECT_EQ(DatacardRequest({}), QByteArray("< \n\">\r\n"));
}

} // namespace

namespace {

// A network encoder answers without the ACK / NAK handshake of the serial link.
TEST(DirectEncoderTest, TransactionGoesStraightToANetworkEncoder) {
    QProcess sim;
    sim.start(qEnvironmentVariable("VRQ_BIN_DIR") + QStringLiteral("/vrq_encoder_sim"),
              {QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--usb")});
    ASSERT_TRUE(sim.waitForReadyRead(10000));
    const QByteArray where = sim.readLine().trimmed();
    const int port = where.mid(where.indexOf(':') + 1).toInt();
    ASSERT_GT(port, 0) << where.constData();
    TDeviceCom com(1, nullptr, QStringLiteral("NET1"));
    ASSERT_TRUE(com.ConnectDirect(QStringLiteral("127.0.0.1"), port));
    QByteArray e, t2, v, a, answer;
    ASSERT_TRUE(com.Transaction(1, {}, e, t2, v, a, answer, 3));
    EXPECT_EQ(answer, QByteArray("\x02" "320010010000000BFEA0001127A11127A1\x03"));
    TDeviceStatus status;
    ASSERT_TRUE(com.StatusGet(status));
    EXPECT_EQ(status.intFeatureWord, 0xBFEA);
    com.Disconnect();
    sim.kill();
    sim.waitForFinished(5000);
}

} // namespace
