#include "untComThread.h"

#include "Errors.h"
#include "unitDeviceTransaction.h"
#include "unitPumpEvents.h"
#include "unitStationSocket.h"
#include "unitTrace.h"
#include "unitUtils.h"
#include "unitVRQMain.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

using namespace StationProtocol;

namespace {
std::atomic<int> g_beaconTimeOutSecs{35};
} // namespace

int TClientThread::BeaconTimeOutSecs() {
    return g_beaconTimeOutSecs.load();
}
void TClientThread::SetBeaconTimeOutSecs(int secs) {
    g_beaconTimeOutSecs = secs;
}

TClientConnection::TClientConnection(qintptr handle, TClientThread& thread)
    : m_thread(thread), m_socket(std::make_unique<TStationSocket>(handle)) {}

TClientConnection::~TClientConnection() {
    m_devices.reset(); // closes the COM port in this thread
    m_socket.reset();  // and the connection
}

TDeviceSession& TClientConnection::Devices() {
    if (!m_devices)
        m_devices = std::make_unique<TDeviceSession>(m_error, m_escape);
    return *m_devices;
}

const QString& TClientConnection::Identity() const {
    return m_thread.Identity();
}

TVRQMain* TClientConnection::Main() const {
    return m_thread.Main();
}

bool TClientConnection::Start() {
    QString error;
    if (!m_socket->Open(&error)) {
        DebugLog(QStringLiteral("TClientThread: socket could not take the connection: ") + error);
        return false;
    }
    connect(m_socket.get(), &TStationSocket::Received, this, &TClientConnection::OnReceived);
    connect(m_socket.get(), &TStationSocket::Disconnected, this,
            &TClientConnection::OnDisconnected);
    m_beaconTimer = new QTimer(this);
    m_beaconTimer->setInterval(1000);
    m_beaconTimer->setSingleShot(false);
    connect(m_beaconTimer, &QTimer::timeout, this, &TClientConnection::OnBeaconTimer);
    m_escape = false;
    m_interfaceType = 1;
    QString name = ComputerName_str();
    if (name.isEmpty())
        name = QCoreApplication::translate("Resource", "Unknown");
    Send(Greeting(name.toLocal8Bit()));
    return true;
}

bool TClientConnection::Send(const QByteArray& bytes) {
    return m_socket->Write(bytes);
}

void TClientConnection::OnReceived(const QByteArray& block) {
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (const QByteArray& complete : m_assembler.Feed(block, now)) {
        TStationMessage msg(ExtractBody(complete));
        if (msg.Body().isEmpty())
            continue;
        const TRunKind kind = RunKind(msg);
        // Flags (escape, beacon answer) take effect at once: a waiting request listens for
        // them. A request that never waits is answered here, saving a trip through the event
        // loop, unless requests are queued before it (replies keep their order).
        if (kind == TRunKind::SetsAFlag || (kind == TRunKind::NeverWaits && m_queued.empty())) {
            Dispatch(msg);
            continue;
        }
        if (qsizetype(m_queued.size()) >= kMaxQueuedRequests ||
            m_queuedBytes + msg.Body().size() > kMaxQueuedBytes) {
            DebugLog(QStringLiteral("Too many requests waiting, closing ") + Identity());
            m_queued.clear();
            m_queuedBytes = 0;
            Close();
            return;
        }
        m_queuedBytes += msg.Body().size();
        m_queued.push_back(std::move(msg));
        if (!m_drainPosted) {
            m_drainPosted = true;
            QMetaObject::invokeMethod(this, &TClientConnection::DrainQueue, Qt::QueuedConnection);
        }
    }
}

void TClientConnection::DrainQueue() {
    m_drainPosted = false;
    // A drain posted while a queued request waits (its wait keeps events flowing) leaves the
    // rest to the running drain: requests run after one another, never inside one another, so
    // a station cannot stack waits without end.
    if (m_draining)
        return;
    m_draining = true;
    while (!m_queued.empty() && !m_thread.CloseRequested()) {
        const TStationMessage next = std::move(m_queued.front());
        m_queued.pop_front();
        m_queuedBytes -= next.Body().size();
        Dispatch(next);
    }
    m_draining = false;
}

void TClientConnection::Dispatch(const TStationMessage& msg) {
    if (m_thread.CloseRequested())
        return;
    const QByteArray& body = msg.Body();
    m_interfaceType = msg.IntField("intInterfaceType", 1);
    try {
        switch (Classify(body)) {
        case TMessageKind::BeaconReply:
            m_beaconAnswered = true;
            return;
        case TMessageKind::BeaconRequest:
            Send(FrameBare("BEACONREPLY"));
            return;
        case TMessageKind::GoListen:
            if (TVRQMain* main = Main())
                QMetaObject::invokeMethod(main, &TVRQMain::GoListen, Qt::BlockingQueuedConnection);
            return;
        case TMessageKind::GoPartialDeaf:
            if (TVRQMain* main = Main())
                QMetaObject::invokeMethod(main, &TVRQMain::GoPartialDeaf,
                                          Qt::BlockingQueuedConnection);
            return;
        case TMessageKind::Action:
            break;
        }
        if (IMessageHandler* h = m_thread.Handler())
            h->HandleMessage(*this, msg);
    } catch (const std::exception& e) {
        m_error.Record(-99,
                       {QStringLiteral("Error - Server WSocket Data Available"), ExceptionText(e)});
        DebugLog(m_error.Text());
    }
}

void TClientConnection::OnDisconnected() {
    Close();
}

void TClientConnection::Close() {
    m_thread.RequestClose();
}

void TClientConnection::EnableBeaconTimer() {
    if (!m_beaconRunning && m_beaconTimer)
        m_beaconTimer->start();
}

void TClientConnection::OnBeaconTimer() {
    m_beaconTimer->stop();
    if (!m_beaconRunning)
        RunBeacon();
}

bool TClientConnection::RunBeacon() {
    m_beaconRunning = true;
    m_beaconAnswered = false;
    Send(FrameBare("BEACONREQUEST"));
    const int64_t started = SecondClock();
    const int limit = TClientThread::BeaconTimeOutSecs();
    PumpEventsUntil(
        [&] {
            return m_beaconAnswered || m_thread.CloseRequested() ||
                   SecondClock() - started >= limit;
        },
        (limit + 2) * 1000, 50);
    const bool answered = m_beaconAnswered;
    if (!answered) {
        DebugLog(QStringLiteral("Beacon unanswered, closing ") + Identity());
        Close();
    }
    m_beaconRunning = false;
    return answered;
}

TClientThread::TClientThread(qintptr handle, QString identity, TVRQMain* main,
                             IMessageHandler* handler)
    : m_handle(handle), m_identity(std::move(identity)), m_main(main), m_handler(handler) {}

TClientThread::~TClientThread() {
    RequestClose();
    wait(5000);
}

void TClientThread::RequestClose() {
    m_closeRequested = true;
    quit();
}

void TClientThread::StartBeacon() {
    // Posting under the lock keeps the connection alive until the event is queued; Qt drops
    // events of an object that is deleted later.
    const std::lock_guard lock(m_connectionMutex);
    if (TClientConnection* c = m_connection)
        QMetaObject::invokeMethod(c, &TClientConnection::EnableBeaconTimer, Qt::QueuedConnection);
}

void TClientThread::run() {
    SetThreadAbortFlag(&m_closeRequested);
    {
        TClientConnection conn(m_handle, *this);
        {
            const std::lock_guard lock(m_connectionMutex);
            m_connection = &conn;
        }
        if (conn.Start() && !m_closeRequested)
            exec();
        const std::lock_guard lock(m_connectionMutex);
        m_connection = nullptr;
    }
    SetThreadAbortFlag(nullptr);
}
