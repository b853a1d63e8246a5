// The serial encoder link and the serial device transaction over real pseudo-terminals, with
// the encoder simulator on the master side.
#include "EncoderSim.h"
#include "UlmexMsgBox.h"
#include "unitComLog.h"
#include "unitDeviceTransaction.h"
#include "unitEncoderFrame.h"
#include "unitSharedSettings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace EncoderFrame;

namespace {

const QByteArray kStatus = "320010010000000BFEA0001127A11127A1";
QByteArray framed(const QByteArray& text) {
    return STX + text + ETX;
}

template <class Set> TEncoderSimOptions opt(Set set) {
    TEncoderSimOptions o;
    set(o);
    return o;
}

// Waits (bounded) until pred holds, keeping this thread's events flowing.
template <class Pred> bool eventually(Pred pred, int ms = 3000) {
    const QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return true;
}

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        SetAppPath(m_dir.path());
    }
    void TearDown() override {
        m_session.reset();
        m_sim.reset();
        SetComLogEnabled(false);
        SetComDebugMode(false);
        g_UlmexMsgBox_Override = {};
    }

    // A fresh encoder on its own pseudo-terminal, mapped to COM5, and a connection's devices.
    void Start(const TEncoderSimOptions& options = {}) {
        m_sim = std::make_unique<TEncoderSimPty>(options);
        ASSERT_TRUE(m_sim->Ok()) << qPrintable(m_sim->ErrorText());
        ASSERT_TRUE(HalvexIni().WriteString("ComPorts", "COM5", m_sim->SlavePath()));
        m_session = std::make_unique<TDeviceSession>(m_error, m_escape);
    }
    TSerialLink& Link() { return m_session->Link(); }
    TEncoderSim& Sim() { return m_sim->Sim(); }

    static TDeviceTransactionData StatusRequest(int delaySecs = 2) {
        TDeviceTransactionData t;
        t.command = 1;
        t.expectedResponse = 0x32;
        t.delaySecs = delaySecs;
        return t;
    }

    QTemporaryDir m_dir;
    THalvexError m_error;
    std::atomic<bool> m_escape{false};
    std::unique_ptr<TEncoderSimPty> m_sim;
    std::unique_ptr<TDeviceSession> m_session;
};

TEST_F(SerialLinkTest, StatusCommand_ReturnsTheEncoderFrameAndAcknowledgesIt) {
    Start();
    ASSERT_TRUE(m_session->ComInit(1, 5, 9600, false)) << qPrintable(m_error.Text());
    TDeviceTransactionData t = StatusRequest();
    QByteArray answer;
    EXPECT_TRUE(m_session->DeviceTransaction(1, t, answer));
    EXPECT_EQ(answer, framed(kStatus));
    EXPECT_EQ(Sim().Commands(), QList<QByteArray>{"01000000000"});
    EXPECT_TRUE(eventually([&] { return Sim().HostHandshakes() == QByteArray(1, ACK); }));
    EXPECT_EQ(m_error.Code(), 0);
    EXPECT_TRUE(m_error.Text().isEmpty());
}

// Handshake and answer faults: what the host makes of them and what the encoder saw.
TEST_F(SerialLinkTest, HandshakeAndAnswerFaults_Table) {
    struct Row {
        const char* name;
        TEncoderSimOptions sim;
        bool usb;
        int secondMs;
        bool result;
        bool answered;         // the answer is the encoder's frame
        int framesSent;        // command frames the encoder received
        QByteArray handshakes; // host's ACK / NAK after answers
    };
    const QByteArray ack(1, ACK), nak(1, NAK);
    const Row rows[] = {
        {"NAK then ACK", opt([](auto& o) { o.nakCount = 1; }), false, 1000, true, true, 2, ack},
        {"three NAKs: three sends, no answer",
         opt([](auto& o) { o.nakCount = 3; }),
         false,
         1000,
         false,
         false,
         3,
         {}},
        {"bad check byte once: NAK, then the good frame", opt([](auto& o) { o.badCheckCount = 1; }),
         false, 1000, true, true, 1, nak + ack},
        {"bad check byte always: three receptions", opt([](auto& o) {
             o.badCheckCount = -1;
             o.handshakeWaitMs = 500;
         }),
         false, 1000, false, false, 1, nak + nak + nak},
        {"noise before STX is dropped", opt([](auto& o) { o.noise = "zz\x15q"; }), false, 1000,
         true, true, 1, ack},
        {"response code not the expected one", opt([](auto& o) { o.statusText = "39001"; }), false,
         1000, false, true, 1, ack},
        {"USB: no handshake", opt([](auto& o) { o.usb = true; }), true, 1000, true, true, 1, {}},
        {"USB: bad check byte gives empty text at once",
         opt([](auto& o) {
             o.usb = true;
             o.badCheckCount = 1;
         }),
         true,
         1000,
         false,
         false,
         1,
         {}},
        {"silent encoder: no handshake",
         opt([](auto& o) { o.silent = true; }),
         false,
         100,
         false,
         false,
         1,
         {}},
        {"no answer after ACK: time-out",
         opt([](auto& o) { o.noAnswer = true; }),
         false,
         100,
         false,
         false,
         1,
         {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Start(r.sim);
        Link().Timings().secondMs = r.secondMs;
        ASSERT_TRUE(m_session->ComInit(1, 5, 9600, r.usb)) << qPrintable(m_error.Text());
        TDeviceTransactionData t = StatusRequest();
        QByteArray answer;
        EXPECT_EQ(m_session->DeviceTransaction(1, t, answer), r.result);
        if (r.answered)
            EXPECT_EQ(answer, framed(r.sim.statusText));
        else
            EXPECT_TRUE(answer.isEmpty()) << answer.toHex(' ').constData();
        EXPECT_EQ(Sim().FramesReceived(), r.framesSent);
        EXPECT_TRUE(eventually([&] { return Sim().HostHandshakes() == r.handshakes; }))
            << Sim().HostHandshakes().toHex(' ').constData();
        if (r.usb) {
            // Nothing but the command frame ever went to the encoder.
            QThread::msleep(50);
            EXPECT_EQ(Sim().BytesReceived(), BuildFrame("01000000000"));
        }
        // Faults of the exchange are not errors of the link.
        EXPECT_EQ(m_error.Code(), 0);
    }
}

TEST_F(SerialLinkTest, WaitOnlyCommand_SendsNothingAndTakesTheEncodersOwnFrame) {
    Start();
    ASSERT_TRUE(m_session->ComInit(1, 5, 9600, false));
    Sim().SendUnsolicited("43001001000305170011");
    TDeviceTransactionData t;
    t.command = 0x64;
    t.expectedResponse = -1;
    QByteArray answer;
    EXPECT_TRUE(m_session->DeviceTransaction(1, t, answer));
    EXPECT_EQ(answer, framed("43001001000305170011"));
    EXPECT_TRUE(eventually([&] { return Sim().HostHandshakes() == QByteArray(1, ACK); }));
    EXPECT_EQ(Sim().BytesReceived(), QByteArray(1, ACK));
}

TEST_F(SerialLinkTest, EtxBeforeStx_EndsTheResponseWaitEmpty) {
    Start(opt([](auto& o) { o.noAnswer = true; }));
    ASSERT_TRUE(m_session->ComInit(1, 5, 9600, false));
    ASSERT_TRUE(Link().SendCommand("01000000000"));
    // A lone ETX ahead of the encoder's frame.
    TEncoderSimOptions o = Sim().Options();
    o.noise = QByteArray(1, ETX);
    Sim().SetOptions(o);
    Sim().SendUnsolicited("late");
    EXPECT_TRUE(Link().ReceiveResponse(2).isEmpty());
}

TEST_F(SerialLinkTest, OpenFailures_Table) {
    Start();
    // The encoder's port is held by another connection.
    THalvexError otherError;
    std::atomic<bool> otherEscape{false};
    TSerialLink holder(otherError, otherEscape);
    ASSERT_TRUE(holder.ComInit(5, 9600, false)) << qPrintable(otherError.Text());
    ASSERT_TRUE(HalvexIni().WriteString("ComPorts", "COM9", m_dir.filePath("no-such-tty")));

    struct Row {
        const char* name;
        int port;
        int code;
        QString textStart;
    } rows[] = {
        {"port 0", 0, 184, "Error - Com Open->Invalid Port Number!"},
        {"port held elsewhere", 5, 198, "Error - Com Open->"},
        {"no such device", 9, 184, "Error - Com Open->"},
        {"port number out of range", 70000, -99, "Error - Com Init->Range check error"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        m_error.Clear();
        EXPECT_FALSE(m_session->ComInit(1, r.port, 9600, false));
        EXPECT_EQ(m_error.Code(), r.code);
        EXPECT_TRUE(m_error.Text().startsWith(r.textStart)) << qPrintable(m_error.Text());
        EXPECT_GT(m_error.Text().size(), r.textStart.size() - 1);
        EXPECT_FALSE(Link().IsOpen());
    }
    EXPECT_EQ(m_error.Text().count(QStringLiteral("->")), 1);
}

TEST_F(SerialLinkTest, ComInit_OtherInterfaceTypesTouchNoPort) {
    Start();
    EXPECT_TRUE(m_session->ComInit(2, 0, 0, false));
    EXPECT_TRUE(m_session->ComInit(4, 0, 0, false));
    EXPECT_FALSE(Link().IsOpen());
    EXPECT_EQ(m_error.Code(), 0);
}

TEST_F(SerialLinkTest, OpenFailureInDebugMode_ShowsTheBoxOnEveryAttempt) {
    Start();
    ASSERT_TRUE(HalvexIni().WriteString("ComPorts", "COM9", m_dir.filePath("no-such-tty")));
    QStringList boxes;
    g_UlmexMsgBox_Override.fn = [&boxes](const QString&, const QString& centred, const QString&,
                                         bool, int, TUlmexIconType, TUlmexDefaultButtonType,
                                         TUlmexButtonsType, void*) {
        boxes.append(centred);
        return -2;
    };
    SetComDebugMode(true);
    EXPECT_FALSE(m_session->ComInit(1, 9, 9600, false));
    ASSERT_EQ(boxes.size(), 2);
    for (const QString& b : boxes)
        EXPECT_TRUE(b.startsWith(QStringLiteral("Error - ComOpen\r\n"))) << qPrintable(b);
}

TEST_F(SerialLinkTest, EscapeBeforeTheFirstByte_EndsTheWaitEmptyAndClearsTheFlag) {
    Start(opt([](auto& o) { o.delayMs = 1500; }));
    ASSERT_TRUE(m_session->ComInit(1, 5, 9600, false));
    QObject context;
    // Set the way a re-entrantly dispatched ESCAPEFLAGSET sets it: from this thread's events.
    QTimer::singleShot(400, &context, [this] { m_escape = true; });
    TDeviceTransactionData t = StatusRequest(3);
    QByteArray answer;
    EXPECT_FALSE(m_session->DeviceTransaction(1, t, answer));
    EXPECT_TRUE(answer.isEmpty()) << answer.toHex(' ').constData();
    EXPECT_FALSE(m_escape.load());
}

TEST_F(SerialLinkTest, EscapeAfterTheFirstByte_WaitGoesOnToEtx) {
    Start(opt([](auto& o) {
        o.stallAfter = 1;
        o.stallMs = 800;
    }));
    ASSERT_TRUE(m_session->ComInit(1, 5, 9600, false));
    QObject context;
    QTimer::singleShot(400, &context, [this] { m_escape = true; });
    TDeviceTransactionData t = StatusRequest(3);
    QByteArray answer;
    EXPECT_TRUE(m_session->DeviceTransaction(1, t, answer));
    EXPECT_EQ(answer, framed(kStatus));
    EXPECT_FALSE(m_escape.load());
}

TEST_F(SerialLinkTest, ComLog_WritesOneLinePerChunkWithDirectionAndHex) {
    SetComLogEnabled(true);
    Start();
    ASSERT_TRUE(m_session->ComInit(1, 5, 9600, false));
    TDeviceTransactionData t = StatusRequest();
    QByteArray answer;
    ASSERT_TRUE(m_session->DeviceTransaction(1, t, answer));

    QFile log(m_dir.filePath("PellCom.Log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromLocal8Bit(log.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QRegularExpression shape(
        QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (\S+) (Out|In)( [0-9A-F]{2})+$)"));
    QString out, in;
    for (const QString& line : lines) {
        const auto m = shape.match(line);
        ASSERT_TRUE(m.hasMatch()) << qPrintable(line);
        EXPECT_EQ(m.captured(1), m_sim->SlavePath());
        const QString bytes = line.section(u' ', 4);
        (m.captured(2) == QLatin1String("Out") ? out : in) += bytes + u' ';
    }
    EXPECT_EQ(out.trimmed(),
              QString::fromLatin1(BuildFrame("01000000000").toHex(' ').toUpper() + " 06"));
    EXPECT_EQ(in.trimmed(),
              QString::fromLatin1((QByteArray(1, ACK) + BuildFrame(kStatus)).toHex(' ').toUpper()));
}

TEST_F(SerialLinkTest, EncoderGoneWhileWaiting_RecordsComRead) {
    Start(opt([](auto& o) { o.noAnswer = true; }));
    ASSERT_TRUE(m_session->ComInit(1, 5, 9600, false));
    ASSERT_TRUE(Link().SendCommand("01000000000"));
    m_sim.reset();
    EXPECT_TRUE(Link().ReceiveResponse(2).isEmpty());
    EXPECT_EQ(m_error.Code(), -99);
    EXPECT_TRUE(m_error.Text().startsWith(QStringLiteral("Error - Com Read->")))
        << qPrintable(m_error.Text());
}

TEST_F(SerialLinkTest, EscapeQueuedToTheWorkerThread_CutsItsWait) {
    Start(opt([](auto& o) { o.delayMs = 1500; }));
    QThread worker;
    worker.start();
    auto* inWorker = new QObject;
    inWorker->moveToThread(&worker);
    std::atomic<bool> done{false};
    bool result = true;
    QByteArray answer;
    // The connection's devices live in the worker, as in a station connection.
    QMetaObject::invokeMethod(
        inWorker,
        [&] {
            TDeviceSession session(m_error, m_escape);
            if (session.ComInit(1, 5, 9600, false)) {
                TDeviceTransactionData t = StatusRequest(3);
                result = session.DeviceTransaction(1, t, answer);
            }
            done = true;
        },
        Qt::QueuedConnection);
    QThread::msleep(400);
    QMetaObject::invokeMethod(
        inWorker, [this] { m_escape = true; }, Qt::QueuedConnection);
    EXPECT_TRUE(eventually([&] { return done.load(); }, 10000));
    inWorker->deleteLater();
    worker.quit();
    ASSERT_TRUE(worker.wait(5000));
    EXPECT_FALSE(result);
    EXPECT_TRUE(answer.isEmpty()) << answer.toHex(' ').constData();
    EXPECT_FALSE(m_escape.load());
}

// The simulator as its own program: a pseudo-terminal for the link, and a network encoder.
class EncoderSimProgramTest : public SerialLinkTest {
protected:
    void TearDown() override {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(3000);
        }
        SerialLinkTest::TearDown();
    }
    // Starts the program and returns its first line.
    QByteArray Launch(const QStringList& args) {
        const QString program = qEnvironmentVariable("VRQ_BIN_DIR") + "/vrq_encoder_sim";
        m_process.start(program, args);
        if (!m_process.waitForStarted(5000))
            return {};
        const QDeadlineTimer deadline(5000);
        while (!m_process.canReadLine() && !deadline.hasExpired())
            m_process.waitForReadyRead(100);
        return m_process.readLine().trimmed();
    }
    QProcess m_process;
};

TEST_F(EncoderSimProgramTest, PseudoTerminal_ServesATransactionAfterANak) {
    const QByteArray path = Launch({"--nak", "1"});
    ASSERT_TRUE(path.startsWith("/dev/")) << path.constData();
    ASSERT_TRUE(HalvexIni().WriteString("ComPorts", "COM5", QString::fromLocal8Bit(path)));
    TDeviceSession session(m_error, m_escape);
    ASSERT_TRUE(session.ComInit(1, 5, 115200, false)) << qPrintable(m_error.Text());
    TDeviceTransactionData t = StatusRequest();
    QByteArray answer;
    EXPECT_TRUE(session.DeviceTransaction(1, t, answer));
    EXPECT_EQ(answer, framed(kStatus));
}

TEST_F(EncoderSimProgramTest, Tcp_AnswersWithAckAndTheExpectedCode) {
    const QByteArray where = Launch({"--tcp", "0"});
    ASSERT_TRUE(where.startsWith("127.0.0.1:")) << where.constData();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(where.mid(10).toUInt()));
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write(BuildFrame(CommandText(2, "")));
    const QByteArray expected = ACK + BuildFrame("33001001000");
    QByteArray got;
    const QDeadlineTimer deadline(5000);
    while (got.size() < expected.size() && !deadline.hasExpired())
        if (socket.waitForReadyRead(100))
            got += socket.readAll();
    EXPECT_EQ(got.toHex(' '), expected.toHex(' '));
}

} // namespace
