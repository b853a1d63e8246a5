#include "StationClient.h"
#include "unitDispatch.h"
#include "unitPumpEvents.h"
#include "unitServerState.h"
#include "unitSharedSettings.h"
#include "unitTrace.h"
#include "unitUtils.h"
#include "unitVRQMain.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A controller without a window, listening on a free loopback port, with a work folder.
class ConnectionTest : public ::testing::Test {
protected:
    QTemporaryDir work;
    TDispatcher dispatcher;
    std::unique_ptr<TVRQMain> vrq;
    quint16 port = 0;
    std::atomic<int> deviceCalls{0};

    void SetUp() override {
        SetAppPath(work.path());
        TraceInit(work.filePath(QStringLiteral("Halvex_VRQ")), {});
        ServerState().flagHolder = nullptr;
        TClientThread::SetBeaconTimeOutSecs(35);
        dispatcher.Services().DeviceTransaction = [this](TClientConnection&, TDeviceRequest& r,
                                                         QByteArray& answer) {
            ++deviceCalls;
            answer = "\x02"
                     "50OK\x03";
            r.addlInfo = "changed";
            return true;
        };
        vrq = std::make_unique<TVRQMain>(nullptr, nullptr, &dispatcher);
        ASSERT_TRUE(vrq->Listen(QHostAddress::LocalHost, 0));
        vrq->ShowListening();
        port = vrq->ServerPort();
    }
    void TearDown() override {
        vrq->CloseAllConnections();
        vrq.reset();
        SetAppPath(QString());
    }
    bool waitListSize(int n, int timeoutMs = 5000) {
        return PumpEventsUntil([&] { return vrq->ConnectionList().size() == n; }, timeoutMs);
    }
    QString debugText() {
        QFile f(work.filePath(QStringLiteral("DebugLogMessage_") +
                              QDate::currentDate().toString(QStringLiteral("yyyyMM")) +
                              QStringLiteral(".txt")));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }
};

TEST_F(ConnectionTest, GreetingIsChnAndTheComputerNameWithNoTerminator) {
    TTestStation s(port);
    ASSERT_TRUE(s.Connected());
    EXPECT_EQ(s.Greeting(), "CHN=" + ComputerName_str().toLocal8Bit());
}

TEST_F(ConnectionTest, RequestsAreAnsweredAsFramedReplies) {
    TTestStation s(port);
    s.Greeting();
    struct {
        const char* name;
        QByteArray sent;
        QByteArray reply; // empty: no reply expected
    } cases[] = {
        {"link with bytes around",
         "ab\x02strAction=LINK\r\n\x03"
         "cd",
         "\x02strAction=LINK\r\nstrResult=Success\r\n\x03"},
        {"beacon request",
         "\x02"
         "BEACONREQUEST\x03",
         "\x02"
         "BEACONREPLY\x03"},
        {"unknown action", "\x02strAction=NOSUCH\x03", ""},
        {"no action", "\x02strData=1\x03", ""},
        {"unframed beacon answer", "BEACONREPLY", ""},
        {"command out of range", "\x02strAction=DEVICETRANSACTION\r\nbytCommand=300\x03", ""},
        {"thread type set", "\x02strAction=THREADTYPESET\r\nstrData=L\x03", ""},
        {"count of empty type", "\x02strAction=THREADTYPECOUNT\x03",
         "\x02strAction=THREADTYPECOUNT\r\nstrRecv=0\r\nstrResult=Failure\r\n\x03"},
        {"count of type L", "\x02strAction=threadtypecount\r\nstrData=L\x03",
         "\x02strAction=THREADTYPECOUNT\r\nstrRecv=1\r\nstrResult=Success\r\n\x03"},
        {"flag status", "\x02strAction=DBFLAGSTATUS\x03",
         "\x02strAction=DBFLAGSTATUS\r\nstrRecv=DBFLAG_NOT_SET\r\nstrResult=Success\r\n\x03"},
    };
    for (const auto& c : cases) {
        s.SendRaw(c.sent);
        EXPECT_EQ(s.WaitFrame(c.reply.isEmpty() ? 400 : 5000), c.reply) << c.name;
    }
    EXPECT_EQ(s.Field(s.Request("strAction=datetimerequest"), "strRecv").size(), 14);
    EXPECT_EQ(deviceCalls.load(), 0);
}

TEST_F(ConnectionTest, RequestSplitOverTwoWritesIsAnswered) {
    TTestStation s(port);
    s.Greeting();
    s.SendRaw("\x02strAction=LI");
    PumpEventsUntil([] { return false; }, 150);
    s.SendRaw("NK\r\n\x03");
    EXPECT_EQ(s.Field(s.WaitFrame(5000), "strResult"), "Success");
}

TEST_F(ConnectionTest, DeviceTransactionRepliesOnlyWithADelay) {
    TTestStation s(port);
    s.Greeting();
    const QByteArray reply =
        s.Request("strAction=DEVICETRANSACTION\r\nbytCommand=1\r\nintDelay=3\r\n"
                  "strAddlInfo=x");
    EXPECT_EQ(
        reply,
        QByteArray("\x02strAction=DEVICETRANSACTION\r\nintCommand=1\r\nstrResult=Success"
                   "\r\nstrRecv=\x02"
                   "50OK\x03\r\nstrAddlInfo=changed\r\nstrVariableInfo="
                   "\r\nstrTrack2=\r\nstrElevator=\r\nstrErrorCode=0\r\nstrErrorData=\r\n\x03"));
    EXPECT_EQ(s.Request("strAction=DEVICETRANSACTION\r\nbytCommand=1\r\nintDelay=0", 400),
              QByteArray());
    EXPECT_EQ(deviceCalls.load(), 2);
}

TEST_F(ConnectionTest, PartialDeafAnswersLinkWithFailureUntilListenAgain) {
    TTestStation a(port), b(port);
    a.Greeting();
    b.Greeting();
    a.SendRaw("\x02GOPARTIALDEAF\x03");
    ASSERT_TRUE(PumpEventsUntil([&] { return vrq->IsDeaf(); }, 5000));
    EXPECT_EQ(b.Field(b.Request("strAction=LINK"), "strResult"), "Failure");
    a.SendRaw("\x02GoListen\x03");
    EXPECT_EQ(b.Field(b.Request("strAction=LINK"), "strResult"), "Failure");
    a.SendRaw("\x02GOLISTEN\x03");
    ASSERT_TRUE(PumpEventsUntil([&] { return !vrq->IsDeaf(); }, 5000));
    EXPECT_EQ(b.Field(b.Request("strAction=LINK"), "strResult"), "Success");
}

TEST_F(ConnectionTest, DeafTimeOutEndsTheDeafPeriodAutomatically) {
    HalvexIni().WriteString(QStringLiteral("Misc"), QStringLiteral("DeafTimeOut"),
                            QStringLiteral("1"));
    TTestStation a(port);
    a.Greeting();
    a.SendRaw("\x02GOPARTIALDEAF\x03");
    ASSERT_TRUE(PumpEventsUntil([&] { return vrq->IsDeaf(); }, 5000));
    const QDateTime until = vrq->DeafUntil();
    EXPECT_NEAR(QDateTime::currentDateTime().secsTo(until), 1, 1);
    vrq->ListenCheck(); // before the time: stays deaf
    EXPECT_TRUE(vrq->IsDeaf());
    PumpEventsUntil([&] { return QDateTime::currentDateTime() >= until; }, 3000);
    vrq->ListenCheck();
    EXPECT_FALSE(vrq->IsDeaf());
    EXPECT_TRUE(
        debugText().contains(QStringLiteral("TVRQMain.ShowListening   Go Listen - Auto Turn On")));
}

TEST_F(ConnectionTest, ConnectAndCloseLeavesTheListEmpty) {
    {
        TTestStation s(port);
        ASSERT_TRUE(waitListSize(1));
        EXPECT_EQ(vrq->ConnectionList().first().size(), 8);
        EXPECT_EQ(vrq->ConnectionList().first(), vrq->ConnectionList().first().toUpper());
        s.Close();
    }
    EXPECT_TRUE(waitListSize(0));
}

TEST_F(ConnectionTest, CloseAllReturnsAfterEveryStationIsGone) {
    TTestStation a(port), b(port), c(port);
    ASSERT_TRUE(waitListSize(3));
    vrq->CloseAllConnections();
    EXPECT_TRUE(vrq->ConnectionList().isEmpty());
    EXPECT_TRUE(a.WaitDisconnected(5000));
    EXPECT_TRUE(b.WaitDisconnected(5000));
    EXPECT_TRUE(c.WaitDisconnected(5000));
}

TEST_F(ConnectionTest, UnansweredBeaconClosesTheConnectionAnsweredKeepsIt) {
    TClientThread::SetBeaconTimeOutSecs(1);
    TTestStation quiet(port), answering(port);
    quiet.Greeting();
    answering.Greeting();
    ASSERT_TRUE(waitListSize(2));
    for (const QString& id : vrq->ConnectionList())
        vrq->StartBeacon(id);
    const QByteArray request = answering.WaitFrame(5000);
    EXPECT_EQ(request, QByteArray("\x02"
                                  "BEACONREQUEST\x03"));
    answering.SendRaw("BEACONREPLY");
    EXPECT_TRUE(quiet.WaitDisconnected(8000));
    EXPECT_TRUE(waitListSize(1));
    EXPECT_TRUE(answering.Connected());
}

TEST_F(ConnectionTest, DatabaseFlagBelongsToOneStationAtATime) {
    TTestStation a(port), b(port);
    a.Greeting();
    b.Greeting();
    EXPECT_EQ(a.Field(a.Request("strAction=DBFLAGREQUEST"), "strResult"), "Success");
    EXPECT_EQ(a.Field(a.Request("strAction=DBFLAGREQUEST"), "strResult"), "Success");
    EXPECT_EQ(b.Field(b.Request("strAction=DBFLAGREQUEST"), "strResult"), "Failure");
    EXPECT_EQ(b.Field(b.Request("strAction=DBFLAGCLEAR"), "strResult"), "Success");
    EXPECT_EQ(b.Field(b.Request("strAction=DBFLAGSTATUS"), "strRecv"), "DBFLAG_SET");
    EXPECT_EQ(TVRQMain::FlagHolderText(), vrq->ConnectionList().first().left(8));
    a.Close();
    ASSERT_TRUE(waitListSize(1));
    EXPECT_EQ(TVRQMain::FlagHolderText(), QStringLiteral("<No Flag Set>"));
    EXPECT_EQ(b.Field(b.Request("strAction=DBFLAGREQUEST"), "strResult"), "Success");
}

TEST_F(ConnectionTest, ServerSentinelRefusesStationsAndLogoffAllClosesOnlyLogonConnections) {
    TTestStation logon(port), other(port);
    logon.Greeting();
    other.Greeting();
    logon.SendRaw("\x02strAction=THREADTYPESET\r\nstrData=L\x03");
    ASSERT_TRUE(PumpEventsUntil([&] { return vrq->CountConnectionsOfType(u'L') == 1; }, 5000));
    ServerState().flagHolder = DBFlag::ServerSentinel;
    EXPECT_EQ(other.Field(other.Request("strAction=DBFLAGREQUEST"), "strResult"), "Failure");
    ServerState().flagHolder = nullptr;
    other.SendRaw("\x02strAction=LOGOFFALL\x03");
    EXPECT_TRUE(logon.WaitDisconnected(5000));
    EXPECT_TRUE(waitListSize(1));
    EXPECT_TRUE(other.Connected());
}

TEST_F(ConnectionTest, EscapeFlagFollowsStrValue) {
    std::atomic<bool>* escape = nullptr;
    dispatcher.Services().DeviceTransaction = [&](TClientConnection& c, TDeviceRequest&,
                                                  QByteArray&) {
        escape = &c.Escape();
        // Waits like an encoder read until the station sends its escape on this connection.
        return PumpEventsUntil([&c] { return c.Escape().load(); }, 5000);
    };
    TTestStation s(port);
    s.Greeting();
    s.SendRaw("\x02strAction=DEVICETRANSACTION\r\nbytCommand=1\r\nintDelay=5\x03");
    PumpEventsUntil([&] { return escape != nullptr; }, 3000);
    s.SendRaw("\x02strAction=ESCAPEFLAGSET\r\nstrValue=true\x03");
    EXPECT_EQ(s.Field(s.WaitFrame(5000), "strResult"), "Success");
}

// A station that sends device requests without waiting for the replies: each runs after the
// one before, not inside its wait, and the replies keep the order of the requests. One that
// piles up more than the server holds loses its connection instead of the server's stack.
TEST_F(ConnectionTest, RequestsSentDuringAWaitRunAfterItInOrderAndAreBounded) {
    std::atomic<int> depth{0}, deepest{0};
    dispatcher.Services().DeviceTransaction = [&](TClientConnection&, TDeviceRequest& r,
                                                  QByteArray& answer) {
        deepest = std::max(deepest.load(), ++depth);
        answer = r.data;
        PumpEventsUntil([] { return false; }, r.data == "hold" ? 3000 : 40);
        --depth;
        return true;
    };
    const auto request = [](const QByteArray& data) {
        return "\x02strAction=DEVICETRANSACTION\r\nbytCommand=1\r\nintDelay=1\r\nstrData=" + data +
               "\x03";
    };
    TTestStation s(port);
    s.Greeting();
    for (int i = 0; i < 6; ++i) {
        s.SendRaw(request(QByteArray::number(i)));
        PumpEventsUntil([] { return false; }, 10); // one read each
    }
    QByteArray all;
    PumpEventsUntil(
        [&] {
            all += s.Socket().readAll();
            return all.count("strRecv=") == 6;
        },
        5000);
    QByteArrayList order;
    for (qsizetype at = all.indexOf("strRecv="); at >= 0; at = all.indexOf("strRecv=", at + 1))
        order.append(all.mid(at + 8, all.indexOf('\r', at) - at - 8));
    EXPECT_EQ(order, QByteArrayList({"0", "1", "2", "3", "4", "5"}));
    EXPECT_EQ(deepest, 1);

    TTestStation flood(port);
    flood.Greeting();
    flood.SendRaw(request("hold"));
    ASSERT_TRUE(PumpEventsUntil([&] { return depth == 1; }, 5000));
    for (int i = 0; i < 300 && flood.Connected(); ++i) {
        flood.SendRaw(request(QByteArray::number(i)));
        PumpEventsUntil([] { return false; }, 3);
    }
    EXPECT_TRUE(flood.WaitDisconnected(5000));
    EXPECT_TRUE(debugText().contains(QStringLiteral("Too many requests waiting")));
    EXPECT_EQ(deepest, 1);
    ASSERT_TRUE(PumpEventsUntil([&] { return depth == 0; }, 5000)) << "the held request ended";

    // A few large requests reach the byte bound long before the count bound.
    TTestStation large(port);
    large.Greeting();
    large.SendRaw(request("hold"));
    ASSERT_TRUE(PumpEventsUntil([&] { return depth == 1; }, 5000));
    const QByteArray bulk(60 * 1024, 'x');
    for (int i = 0; i < 16 && large.Connected(); ++i) {
        large.SendRaw(request(bulk));
        PumpEventsUntil([] { return false; }, 20);
    }
    EXPECT_TRUE(large.WaitDisconnected(5000)) << "sixteen requests of 60 KiB were all kept";
}

} // namespace
