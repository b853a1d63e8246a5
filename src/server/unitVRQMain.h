#pragma once
// The server controller: start-up sequence, listener, connection list, listen state, database
// flag label and the housekeeping timers. Finds the window's controls by component name and
// creates the ones that are missing.

#include "NamedMutex.h"
#include "untComThread.h"

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <functional>
#include <memory>

class QTimer;
class QWidget;

// Reports a failed step through the generic message: "<step>: An error occurred: " + text.
void ReportStepError(const QString& step, const QString& text, int timeOutSecs = 65);

// The listening socket; hands accepted descriptors to the controller.
class TServerWSocket : public QTcpServer {
    Q_OBJECT
public:
    // Connections the kernel holds for us while the main thread is busy; Qt's default of 50
    // made a burst of stations wait for SYN retries (a second each) once it was full.
    static constexpr int kListenBacklog = 1024;

    explicit TServerWSocket(QObject* parent = nullptr) : QTcpServer(parent) {
        setObjectName(QStringLiteral("ServerWSocket"));
        setListenBacklogSize(kListenBacklog);
    }

Q_SIGNALS:
    void IncomingDescriptor(qintptr handle);

protected:
    void incomingConnection(qintptr handle) override { Q_EMIT IncomingDescriptor(handle); }
};

// Start-up switches and state of the process.
struct TStartupState {
    bool comLog = false;     // "/COMLOG"
    bool keepWindow = false; // "/MAXIMIZE"
    bool startupFailed = false;
    bool firstShow = true;
    bool shouldListen = false;
    bool allowDatacardCP60 = false;
    QDateTime startedAt;
    QDateTime shownAt;
    int ipcPort = -1;
    int64_t ipCheckIntervalMs = 306000;
    QString identity = QStringLiteral("APPLICATIONVRQ");
    QString programFileName = QStringLiteral("Halvex_VRQ.EXE");
};

// The registry calls of the housekeeping (machine row of this computer and its addresses).
struct THousekeepingServices {
    // Machine number of the computer name (a row is created when missing); 0 on failure.
    std::function<int(const QString& computerName)> MachineID_Get;
    // Reads STRIPADDR / STRPREFERREDIPADDR of the machine; false when there is no row.
    std::function<bool(int machineID, QString* current, QString* preferred)> ReadIPAddresses;
    // Writes both addresses into the machine's row; false when there is no row.
    std::function<bool(int machineID, const QString& address, const QString& preferred)>
        WriteIPAddresses;
    // Opens / closes the main database connection around a step.
    std::function<void(bool open)> Connection;
};

// All IPv4 addresses of this computer, the primary one first.
QStringList LocalIPv4Addresses();

class TVRQMain : public QObject {
    Q_OBJECT
public:
    TVRQMain(QWidget* form, std::function<void()> refreshBrowseLists = {},
             IMessageHandler* handler = nullptr);
    ~TVRQMain() override;

    void SetMessageHandler(IMessageHandler* handler) { m_handler = handler; }

    // Start-up sequence, first show, close sequence.
    void FormCreate(const QStringList& args);
    void FormShow();
    void FormClose();
    // Stamps Process_Started and ends the application (terminate) or closes the window.
    void CloseVRQ(bool terminate);
    const TStartupState& Startup() const { return m_startup; }
    // Runs the start-up dialog (database attachment); returns the dialog's OK and the code.
    std::function<bool(int* appInitCode)> RunStartupDialog;
    // The listening port (lngVRQPort of the configuration record).
    std::function<int()> ListeningPort;

    // Listener.
    bool Listen(const QHostAddress& address, quint16 port, QString* error = nullptr);
    quint16 ServerPort() const;
    TServerWSocket* ServerWSocket() const { return m_serverSocket; }

    // Connection list (main thread).
    QStringList ConnectionList() const { return m_list; }
    void CloseConnection(const QString& identity);
    void CloseAllConnections();
    int CountConnectionsOfType(QChar type) const;
    void SetConnectionType(const QString& identity, QChar type);
    void StartBeacon(const QString& identity);

    // Listen state.
    Q_INVOKABLE void GoListen();
    Q_INVOKABLE void GoPartialDeaf();
    void ShowListening();
    void ShowDeaf();
    bool IsDeaf() const { return m_deaf; }
    QDateTime DeafUntil() const { return m_deafUntil; }
    void ListenCheck();

    // Database flag.
    void RefreshDBFlagLabel();
    static QString FlagHolderText();

    // Housekeeping.
    THousekeepingServices Housekeeping;
    void RefreshComputerInformation();
    void SetComputerInformation();
    void GetIPinDB();
    void ApplyCurrentIP(const QString& address);
    bool SetIPinDB(const QString& address);
    void IPAddresses_UpdateDB(bool force);
    void IPCheck();
    // The local address list is injectable for tests.
    std::function<QStringList()> LocalAddresses = &LocalIPv4Addresses;
    int MachineID() const { return m_machineID; }
    QString CurrentIPAddress() const { return m_currentIP; }
    QString PreferredIPAddress() const { return m_preferredIP; }
    QString ComputerName() const { return m_computerName; }
    // Whether an operator is logged on in the window (the users' logon sets it).
    std::function<bool()> OperatorLoggedOn;
    void LogonCheck();
    void LogoffAllStations();
    void EnablePeriodicWork(bool enable);

Q_SIGNALS:
    void ConnectionListChanged();
    void TerminateRequested(int exitCode);

private:
    void Accept(qintptr handle);
    void ConnectionEnded(TClientThread* thread);
    QString NewIdentity(const void* object) const;
    void RebuildClientListBox();
    void RefreshClientListBox();
    void SetControlText(const char* name, const QString& text);
    void SetControlEnabled(const char* name, bool enabled);
    QTimer* FindOrCreateTimer(const char* name, int intervalMs, bool enabled);
    void WriteStartupIni();

    QWidget* m_form;
    std::function<void()> m_refreshBrowseLists;
    IMessageHandler* m_handler;
    TServerWSocket* m_serverSocket = nullptr;
    QTimer* m_ipCheckTimer = nullptr;
    QTimer* m_logonCheckTimer = nullptr;
    QTimer* m_listenCheckTimer = nullptr;
    QTimer* m_hideAppTimer = nullptr;
    QStringList m_list;
    QHash<QString, TClientThread*> m_threads;
    TStartupState m_startup;
    std::unique_ptr<TNamedMutex> m_appMutex;
    int m_machineID = 0;
    QString m_computerName;
    QString m_currentIP;
    QString m_preferredIP;
    bool m_deaf = false;
    bool m_autoListen = false;
    bool m_listBoxRefreshQueued = false;
    QDateTime m_deafUntil;
};
