#pragma once
// One worker per station connection: its own thread, event loop, socket, beacon timer and
// device objects.

#include "THalvexError.h"
#include "unitStationProtocol.h"

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QThread>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class TStationSocket;
class TDeviceSession;
class QTimer;
class TVRQMain;
class TClientThread;

// Handles the messages of a connection (the dispatcher); called in the worker's thread.
class IMessageHandler {
public:
    virtual ~IMessageHandler() = default;
    virtual void HandleMessage(class TClientConnection& conn,
                               const StationProtocol::TStationMessage& msg) = 0;
};

// Lives in the worker's thread; everything here is used from that thread only unless noted.
class TClientConnection : public QObject {
    Q_OBJECT
public:
    TClientConnection(qintptr handle, TClientThread& thread);
    ~TClientConnection() override;

    bool Start();
    const QString& Identity() const;
    TVRQMain* Main() const;
    TClientThread& Thread() const { return m_thread; }

    THalvexError& Error() { return m_error; }
    int InterfaceType() const { return m_interfaceType; }
    void SetInterfaceType(int t) { m_interfaceType = t; }
    std::atomic<bool>& Escape() { return m_escape; }

    // The connection's encoder objects, created on first use in this thread.
    TDeviceSession& Devices();

    bool Send(const QByteArray& bytes);
    // Runs the beacon of this connection; returns whether it was answered.
    bool RunBeacon();
    void SetBeaconAnswered() { m_beaconAnswered = true; }
    // Starts the 1000 ms beacon timer unless a beacon is running.
    void EnableBeaconTimer();
    bool BeaconRunning() const { return m_beaconRunning; }
    // Asks the worker to end (from its own thread).
    void Close();

private Q_SLOTS:
    void OnReceived(const QByteArray& block);
    void OnDisconnected();
    void OnBeaconTimer();

private:
    // A station sends one request and waits for its reply; more than this many (or this many
    // bytes) waiting to run is a station out of step, and its connection is closed.
    static constexpr qsizetype kMaxQueuedRequests = 64;
    static constexpr qsizetype kMaxQueuedBytes = 256 * 1024;

    void DrainQueue();
    void Dispatch(const StationProtocol::TStationMessage& msg);

    TClientThread& m_thread;
    std::unique_ptr<TStationSocket> m_socket;
    QTimer* m_beaconTimer = nullptr;
    StationProtocol::TBlockAssembler m_assembler;
    THalvexError m_error;
    std::atomic<bool> m_escape{false};
    int m_interfaceType = 1;
    bool m_beaconRunning = false;
    bool m_beaconAnswered = false;
    // Requests that wait (or stand behind one that does), run in order from the event loop.
    std::deque<StationProtocol::TStationMessage> m_queued;
    qsizetype m_queuedBytes = 0;
    bool m_drainPosted = false;
    bool m_draining = false;
    std::unique_ptr<TDeviceSession> m_devices;
};

class TClientThread : public QThread {
    Q_OBJECT
public:
    TClientThread(qintptr handle, QString identity, TVRQMain* main, IMessageHandler* handler);
    ~TClientThread() override;

    const QString& Identity() const { return m_identity; }
    // Set once, before start().
    void SetIdentity(const QString& identity) { m_identity = identity; }
    TVRQMain* Main() const { return m_main; }
    IMessageHandler* Handler() const { return m_handler; }
    // Thread-safe: the worker leaves its loop and every wait of it ends.
    void RequestClose();
    const std::atomic<bool>& CloseRequested() const { return m_closeRequested; }
    // Thread-safe: runs a beacon in the worker's thread unless one is running.
    void StartBeacon();
    // The connection object while the thread runs (for identity comparisons only).
    TClientConnection* Connection() const {
        const std::lock_guard lock(m_connectionMutex);
        return m_connection;
    }

    // Seconds a beacon waits for its answer.
    static int BeaconTimeOutSecs();
    static void SetBeaconTimeOutSecs(int secs);

protected:
    void run() override;

private:
    qintptr m_handle;
    QString m_identity;
    TVRQMain* m_main;
    IMessageHandler* m_handler;
    std::atomic<bool> m_closeRequested{false};
    mutable std::mutex m_connectionMutex;
    TClientConnection* m_connection = nullptr;
};
