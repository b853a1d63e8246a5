#include "unitVRQMain.h"

#include "Errors.h"
#include "UlmexMsgBox.h"
#include "unitComLog.h"
#include "unitPropertyConfigSettings.h"
#include "unitServerState.h"
#include "unitSharedSettings.h"
#include "unitSharedStuff.h"
#include "unitTrace.h"
#include "unitUtils.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <QWidget>

void ReportStepError(const QString& step, const QString& text, int timeOutSecs) {
    const QString message = QCoreApplication::translate("Resource", "%s: An error occurred: ")
                                .replace(QStringLiteral("%s"), step) +
                            QStringLiteral("\r\n") + text + QStringLiteral("\r\n");
    MsgCatalogBox(0, timeOutSecs, {QString(), QString(), message});
}

namespace {
QString res(const char* text) {
    return QCoreApplication::translate("Resource", text);
}
const QString kAppMutexName = QStringLiteral("Global\\MUTEX_NAME_VRQ_APPLICATION");
} // namespace

TVRQMain::TVRQMain(QWidget* form, std::function<void()> refreshBrowseLists,
                   IMessageHandler* handler)
    : QObject(form), m_form(form), m_refreshBrowseLists(std::move(refreshBrowseLists)),
      m_handler(handler) {
    DebugLog(QStringLiteral("TVRQMain.create"));
    m_serverSocket =
        form ? form->findChild<TServerWSocket*>(QStringLiteral("ServerWSocket")) : nullptr;
    if (!m_serverSocket)
        m_serverSocket = new TServerWSocket(this);
    connect(m_serverSocket, &TServerWSocket::IncomingDescriptor, this, &TVRQMain::Accept);
    m_ipCheckTimer = FindOrCreateTimer("UlmexETimer_IPCheck", 30600, false);
    m_logonCheckTimer = FindOrCreateTimer("UlmexETimer_LogonCheck", 3600500, true);
    m_listenCheckTimer = FindOrCreateTimer("UlmexETimer_ListenCheck", 10123, false);
    m_hideAppTimer = FindOrCreateTimer("UlmexETimer_HideApp", 1000, false);
    connect(m_listenCheckTimer, &QTimer::timeout, this, &TVRQMain::ListenCheck);
    connect(m_ipCheckTimer, &QTimer::timeout, this, &TVRQMain::IPCheck);
    connect(m_logonCheckTimer, &QTimer::timeout, this, [this] {
        auto* chk = m_form
                        ? m_form->findChild<QAbstractButton*>(QStringLiteral("chkAutoLogonCheck"))
                        : nullptr;
        if (chk && chk->isChecked())
            LogonCheck();
    });
}

TVRQMain::~TVRQMain() {
    CloseAllConnections();
}

QTimer* TVRQMain::FindOrCreateTimer(const char* name, int intervalMs, bool enabled) {
    QTimer* t = m_form ? m_form->findChild<QTimer*>(QLatin1String(name)) : nullptr;
    if (!t) {
        t = new QTimer(this);
        t->setObjectName(QLatin1String(name));
        t->setInterval(intervalMs);
        if (enabled)
            t->start();
    }
    return t;
}

void TVRQMain::SetControlText(const char* name, const QString& text) {
    if (!m_form)
        return;
    QWidget* w = m_form->findChild<QWidget*>(QLatin1String(name));
    if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
}

void TVRQMain::SetControlEnabled(const char* name, bool enabled) {
    if (!m_form)
        return;
    if (QWidget* w = m_form->findChild<QWidget*>(QLatin1String(name)))
        w->setEnabled(enabled);
}

// ---- Start-up, show, close --------------------------------------------------------------

void TVRQMain::FormCreate(const QStringList& args) {
    DebugLogStart(QStringLiteral("TVRQMain.FormCreate"));
    g_Attach().MultiDBMode = true;
    const QString caption = res("Vorqen");
    if (m_form)
        m_form->setWindowTitle(caption);

    const QString displayFormat = DateDisplayFormat_str() + u' ' + TimeDisplayFormat_str();
    m_startup.startedAt = QDateTime::currentDateTime();
    SetControlText("lblStarted", FormatDateTime(displayFormat, TDateTime::Now()));

    m_startup.keepWindow = false;
    m_machineID = 0;
    m_currentIP.clear();
    m_preferredIP.clear();
    SetRequiredVersions(3.6, 3.6, 1.0, 4.5);
    for (const QString& a : args) {
        if (a == QStringLiteral("/COMLOG")) {
            m_startup.comLog = true;
            SetComLogEnabled(true);
        } else if (a == QStringLiteral("/MAXIMIZE"))
            m_startup.keepWindow = true;
    }

    int code = 0;
    const bool ok = RunStartupDialog ? RunStartupDialog(&code) : true;
    if (!ok || code != 0) {
        DebugLog(QStringLiteral("frmSplash.ModalResult<>mrOK, g_intAppInitReturnCode = ") +
                 QString::number(code));
        m_startup.startupFailed = true;
        CloseVRQ(true);
        DebugLogEnd(QStringLiteral("TVRQMain.FormCreate"));
        return;
    }
    m_startup.allowDatacardCP60 = g_bAllowDatacardCP60();
    const int port = ListeningPort ? ListeningPort() : 6669;
    SetControlText("EditPort", QString::number(port));
    m_startup.shouldListen = true;

    m_appMutex.reset();
    TMutexCreateResult mutex = Mutex_CreateAndRecord(m_startup.identity, kAppMutexName, false);
    DebugLog(QStringLiteral("Create Mutex"));
    if (!mutex.handle || mutex.lastError == ERROR_ALREADY_EXISTS) {
        DebugLog(QStringLiteral("Self.Mutex_Create=false"));
        m_startup.startupFailed = true;
        Q_EMIT TerminateRequested(1);
        DebugLogEnd(QStringLiteral("TVRQMain.FormCreate"));
        return;
    }
    m_appMutex = std::move(mutex.handle);

    DebugLog(ProcessStarted_Set_str(m_startup.identity, false));
    if (m_form)
        m_form->setWindowTitle(caption + QStringLiteral("  (") + ComputerName_str() + u')');

    TIniFile ini = HalvexIni();
    int ipcPort = ini.ReadInteger(QStringLiteral("IPCPort"), QStringLiteral("HalvexVRQ"), -1);
    if (ipcPort < 0 || ipcPort > 99999) {
        ipcPort = 13264;
        ini.WriteInteger(QStringLiteral("IPCPort"), QStringLiteral("HalvexVRQ"), ipcPort);
    }
    m_startup.ipcPort = ipcPort;

    RefreshComputerInformation();

    const QString interval = ini.ReadString(
        QStringLiteral("VRQ"), QStringLiteral("IPCheckInterval"), QStringLiteral("306000"));
    bool numeric = false;
    const qint64 ms = interval.trimmed().toLongLong(&numeric);
    m_startup.ipCheckIntervalMs = interval.trimmed() == QStringLiteral("0") ? 0
                                  : (numeric && ms > 0)                     ? ms
                                                                            : 306000;

    WriteStartupIni();
    if (m_startup.ipCheckIntervalMs > 0) {
        m_ipCheckTimer->setInterval(int(std::min<qint64>(m_startup.ipCheckIntervalMs, INT_MAX)));
        m_ipCheckTimer->start();
    } else {
        m_ipCheckTimer->stop();
    }
    m_hideAppTimer->stop();
    ShowListening();
    DebugLogEnd(QStringLiteral("TVRQMain.FormCreate"));
}

void TVRQMain::WriteStartupIni() {
    TIniFile ini = HalvexIni();
    ini.WriteString(QStringLiteral("Programs"), m_startup.identity, m_startup.programFileName);
    const QLineEdit* ip =
        m_form ? m_form->findChild<QLineEdit*>(QStringLiteral("EditIPAddress")) : nullptr;
    const int port = ListeningPort ? ListeningPort() : 6669;
    ini.WriteString(QStringLiteral("GoDeaf"), QStringLiteral("ServiceVRQ"),
                    (ip ? ip->text() : QString()) + u'/' + QString::number(port));
}

void TVRQMain::FormShow() {
    if (m_startup.startupFailed)
        return;
    m_startup.shownAt = QDateTime::currentDateTime();
    RefreshDBFlagLabel();
    if (!m_startup.firstShow)
        return;
    m_startup.firstShow = false;
    const int port = ListeningPort ? ListeningPort() : 6669;
    DebugLog(QStringLiteral("Should Listen - ") + BoolToStr_str(m_startup.shouldListen));
    if (m_startup.shouldListen) {
        DebugLog(QStringLiteral("Before Listening"));
        QString error;
        if (Listen(QHostAddress(QStringLiteral("0.0.0.0")), quint16(port), &error)) {
            DebugLog(QStringLiteral("After Listening"));
        } else {
            DebugLog(QStringLiteral("Error - ") + error);
            ReportStepError(QStringLiteral("TfrmMain.FormShow:"), error);
        }
    }
    RefreshComputerInformation();
    m_hideAppTimer->start();
    if (m_form)
        WindowsHandle_INIFile_Store_str(m_startup.identity, qint64(m_form->winId()));
}

void TVRQMain::FormClose() {
    DebugLogStart(QStringLiteral("TfrmMain.FormClose"));
    CloseAllConnections();
    m_appMutex.reset();
    WindowsHandle_INIFile_Store_str(m_startup.identity, 0);
    DebugLogEnd(QStringLiteral("TfrmMain.FormClose"));
}

void TVRQMain::CloseVRQ(bool terminate) {
    DebugLog(QStringLiteral("CloseVRQ Terminate = ") + BoolToStr_str(terminate));
    ProcessStarted_Set_str(m_startup.identity, !terminate);
    if (terminate)
        Q_EMIT TerminateRequested(1);
    else if (m_form)
        m_form->close();
}

// ---- Listener and connections -----------------------------------------------------------

bool TVRQMain::Listen(const QHostAddress& address, quint16 port, QString* error) {
    if (m_serverSocket->isListening())
        return true;
    if (!m_serverSocket->listen(address, port)) {
        if (error)
            *error = m_serverSocket->errorString();
        return false;
    }
    return true;
}

quint16 TVRQMain::ServerPort() const {
    return m_serverSocket->serverPort();
}

QString TVRQMain::NewIdentity(const void* object) const {
    const auto a = quint64(reinterpret_cast<uintptr_t>(object));
    quint32 id = quint32(a ^ (a >> 32));
    for (;;) {
        const QString text = QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')).toUpper();
        // 00000001 is the server's own flag sentinel.
        if (id > 1 && !m_threads.contains(text))
            return text;
        id = QRandomGenerator::global()->generate();
    }
}

void TVRQMain::Accept(qintptr handle) {
    // Freed by ConnectionEnded once its thread has finished.
    auto* thread = new TClientThread(handle, QString(), this, m_handler);
    // The identity comes from an address that stays unique while the thread lives.
    const QString identity = NewIdentity(thread);
    thread->SetIdentity(identity);
    connect(thread, &QThread::finished, this, [this, thread] { ConnectionEnded(thread); });
    m_threads.insert(identity, thread);
    m_list.append(identity);
    RebuildClientListBox();
    thread->start();
}

void TVRQMain::ConnectionEnded(TClientThread* thread) {
    const QString identity = thread->Identity();
    for (int i = 0; i < m_list.size(); ++i) {
        if (m_list[i].left(8) == identity) {
            m_list.removeAt(i);
            break;
        }
    }
    m_threads.remove(identity);
    TServerState& state = ServerState();
    TClientThread* expected = thread;
    if (state.flagHolder.compare_exchange_strong(expected, nullptr))
        RefreshDBFlagLabel();
    thread->wait(5000);
    thread->deleteLater();
    RebuildClientListBox();
}

void TVRQMain::RebuildClientListBox() {
    Q_EMIT ConnectionListChanged();
    // A burst of connections refills the box once, not once per connection (which grew with
    // the square of the connection count).
    if (!m_form || m_listBoxRefreshQueued)
        return;
    m_listBoxRefreshQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_listBoxRefreshQueued = false;
        RefreshClientListBox();
    });
}

void TVRQMain::RefreshClientListBox() {
    auto* box = m_form ? m_form->findChild<QListWidget*>(QStringLiteral("ClientListBox")) : nullptr;
    if (!box)
        return;
    const QString selected = box->currentItem() ? box->currentItem()->text() : QString();
    box->clear();
    box->addItems(m_list);
    const int again = m_list.indexOf(selected);
    if (!selected.isEmpty() && again >= 0)
        box->setCurrentRow(again);
}

void TVRQMain::CloseConnection(const QString& identity) {
    for (int i = m_list.size() - 1; i >= 0; --i) {
        const QString id = m_list[i].left(8);
        if (id.compare(identity, Qt::CaseInsensitive) != 0)
            continue;
        TClientThread* t = m_threads.value(id);
        if (!t) {
            m_list.removeAt(i);
            RebuildClientListBox();
            continue;
        }
        t->RequestClose();
        return;
    }
}

void TVRQMain::CloseAllConnections() {
    while (!m_list.isEmpty()) {
        const QString id = m_list.first().left(8);
        if (TClientThread* t = m_threads.value(id)) {
            t->RequestClose();
        } else {
            m_list.removeFirst();
            RebuildClientListBox();
        }
        QThread::msleep(100);
        QCoreApplication::processEvents();
    }
}

int TVRQMain::CountConnectionsOfType(QChar type) const {
    int n = 0;
    for (const QString& e : m_list)
        if (e.mid(8).trimmed() == QString(type))
            ++n;
    return n;
}

void TVRQMain::SetConnectionType(const QString& identity, QChar type) {
    for (QString& e : m_list)
        if (e.left(8) == identity) {
            e = identity + type;
            return;
        }
}

void TVRQMain::StartBeacon(const QString& identity) {
    if (TClientThread* t = m_threads.value(identity.left(8)))
        t->StartBeacon();
}

// ---- Listen state -----------------------------------------------------------------------

void TVRQMain::GoListen() {
    m_listenCheckTimer->stop();
    ShowListening();
}

void TVRQMain::GoPartialDeaf() {
    LogoffAllStations();
    ShowDeaf();
    const int secs =
        HalvexIni().ReadInteger(QStringLiteral("Misc"), QStringLiteral("DeafTimeOut"), 3600);
    m_deafUntil = QDateTime::currentDateTime().addSecs(secs);
    m_listenCheckTimer->start();
}

void TVRQMain::ShowListening() {
    ServerState().linkAnswer = true;
    m_deaf = false;
    SetControlText("lblSocket_State", res("Listening"));
    for (const char* g : {"GroupBox1", "GroupBox2", "GroupBox3"})
        SetControlEnabled(g, true);
    DebugLog(QStringLiteral("TVRQMain.ShowListening ") + QStringLiteral("  Go Listen") +
             (m_autoListen ? QStringLiteral(" - Auto Turn On") : QString()));
    m_autoListen = false;
}

void TVRQMain::ShowDeaf() {
    ServerState().linkAnswer = false;
    m_autoListen = false;
    m_deaf = true;
    SetControlText("lblSocket_State", res("Deaf"));
    for (const char* g : {"GroupBox1", "GroupBox2", "GroupBox3"})
        SetControlEnabled(g, false);
    DebugLog(QStringLiteral("ShowDeaf"));
}

void TVRQMain::ListenCheck() {
    if (QDateTime::currentDateTime() >= m_deafUntil) {
        m_autoListen = true;
        GoListen();
    }
}

// ---- Computer information and IP address ----------------------------------------------

QStringList LocalIPv4Addresses() {
    QStringList out;
    QStringList loopback;
    for (const QNetworkInterface& nif : QNetworkInterface::allInterfaces()) {
        if (!(nif.flags() & QNetworkInterface::IsUp))
            continue;
        for (const QNetworkAddressEntry& e : nif.addressEntries()) {
            const QHostAddress a = e.ip();
            if (a.protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            (a.isLoopback() ? loopback : out).append(a.toString());
        }
    }
    return out.isEmpty() ? loopback : out;
}

namespace {
// Opens the main connection for a step and closes it again on every way out.
class TConnectionScope {
public:
    explicit TConnectionScope(const THousekeepingServices& s) : m_s(s) {
        if (m_s.Connection)
            m_s.Connection(true);
    }
    ~TConnectionScope() {
        if (m_s.Connection)
            m_s.Connection(false);
    }
    TConnectionScope(const TConnectionScope&) = delete;
    TConnectionScope& operator=(const TConnectionScope&) = delete;

private:
    const THousekeepingServices& m_s;
};
} // namespace

void TVRQMain::RefreshComputerInformation() {
    if (m_form)
        m_form->setEnabled(false);
    m_ipCheckTimer->stop();
    SetComputerInformation();
    if (m_refreshBrowseLists)
        m_refreshBrowseLists();
    if (m_startup.ipCheckIntervalMs > 0 && !m_startup.startupFailed)
        m_ipCheckTimer->start();
    if (m_form)
        m_form->setEnabled(true);
}

void TVRQMain::SetComputerInformation() {
    try {
        const TConnectionScope scope(Housekeeping);
        m_computerName = ComputerName_str();
        if (m_computerName.isEmpty())
            m_computerName = res("Unknown");
        if (m_form)
            m_form->setWindowTitle(res("Vorqen") + QStringLiteral("  (") + m_computerName + u')');
        m_machineID = Housekeeping.MachineID_Get ? Housekeeping.MachineID_Get(m_computerName) : 0;
        GetIPinDB();
        ApplyCurrentIP(m_currentIP);
        SetControlText("EditComputerName", m_computerName);
        SetControlText("EditMachineID", QString::number(m_machineID));
    } catch (const std::exception& e) {
        ReportStepError(QStringLiteral("TfrmMain.SetComputerInformation:"), ExceptionText(e));
    }
    IPAddresses_UpdateDB(false);
}

void TVRQMain::GetIPinDB() {
    int step = 0;
    try {
        const TConnectionScope scope(Housekeeping);
        step = 10;
        QString current, preferred;
        step = 20;
        const bool found = Housekeeping.ReadIPAddresses &&
                           Housekeeping.ReadIPAddresses(m_machineID, &current, &preferred);
        step = 30;
        if (found) {
            m_currentIP = current;
            m_preferredIP = preferred;
        }
        step = 40;
    } catch (const std::exception& e) {
        ReportStepError(QStringLiteral("TfrmMain.GetIPinDB: (%1)").arg(step), ExceptionText(e));
    }
}

void TVRQMain::ApplyCurrentIP(const QString& address) {
    int step = 0;
    try {
        m_currentIP = address;
        step = 10;
        SetControlText("EditIPAddress", address);
        step = 20;
        const int port = ListeningPort ? ListeningPort() : 6669;
        HalvexIni().WriteString(QStringLiteral("GoDeaf"), m_startup.identity,
                                address + u'/' + QString::number(port));
        step = 40;
    } catch (const std::exception& e) {
        ReportStepError(QStringLiteral("TVRQMain.SetIPinDB: (%1)").arg(step), ExceptionText(e));
    }
}

bool TVRQMain::SetIPinDB(const QString& address) {
    int step = 0;
    bool changed = false;
    try {
        DebugLog(QStringLiteral("updating database with ") + address);
        const TConnectionScope scope(Housekeeping);
        step = 10;
        QString current, preferred;
        const bool found = Housekeeping.ReadIPAddresses &&
                           Housekeeping.ReadIPAddresses(m_machineID, &current, &preferred);
        step = 20;
        if (found) {
            step = 30;
            if (current != address) {
                step = 32;
                DebugLog(QStringLiteral("Inside SetIPinDB - FstrPreferredIPAddr = ") +
                         m_preferredIP);
                if (Housekeeping.WriteIPAddresses)
                    Housekeeping.WriteIPAddresses(m_machineID, address, m_preferredIP);
                step = 35;
                DebugLog(QStringLiteral("database updated with ") + address +
                         QStringLiteral(". Preferred is ") + m_preferredIP);
                changed = true;
            }
            step = 40;
            ApplyCurrentIP(address);
        }
        step = 50;
        if (m_refreshBrowseLists)
            m_refreshBrowseLists();
        step = 60;
    } catch (const std::exception& e) {
        ReportStepError(QStringLiteral("TVRQMain.SetIPinDB: (%1)").arg(step), ExceptionText(e));
    }
    return changed;
}

void TVRQMain::IPAddresses_UpdateDB(bool force) {
    QAction* logon = m_form ? m_form->findChild<QAction*>(QStringLiteral("mnuFileLogon")) : nullptr;
    if (logon)
        logon->setEnabled(false);
    try {
        const QStringList list = LocalAddresses ? LocalAddresses() : QStringList();
        const QString listText = list.join(QStringLiteral(", "));
        const QString primary = list.value(0);
        if (!m_preferredIP.isEmpty() && listText.contains(m_preferredIP) &&
            m_preferredIP != m_currentIP)
            SetIPinDB(m_preferredIP);
        if (force || (m_currentIP.isEmpty() && !primary.isEmpty()) ||
            (!m_currentIP.isEmpty() && !listText.contains(m_currentIP)))
            SetIPinDB(primary);
    } catch (const std::exception& e) {
        ReportStepError(QStringLiteral("TfrmMain.IPAddresses_UpdateDB:"), ExceptionText(e));
    }
    if (logon)
        logon->setEnabled(!m_deaf);
}

void TVRQMain::IPCheck() {
    const bool loggedOn = OperatorLoggedOn && OperatorLoggedOn();
    if (!loggedOn && m_startup.shouldListen && !m_deaf)
        IPAddresses_UpdateDB(false);
}

// ---- Database flag, logon check, log-off ------------------------------------------------

QString TVRQMain::FlagHolderText() {
    TClientThread* h = ServerState().flagHolder.load();
    if (!h)
        return res("<No Flag Set>");
    if (h == DBFlag::ServerSentinel)
        return QStringLiteral("00000001");
    return h->Identity();
}

void TVRQMain::RefreshDBFlagLabel() {
    SetControlText("lblDBFlag", FlagHolderText());
}

void TVRQMain::EnablePeriodicWork(bool enable) {
    if (enable) {
        if (m_startup.ipCheckIntervalMs > 0)
            m_ipCheckTimer->start();
        m_logonCheckTimer->start();
    } else {
        m_ipCheckTimer->stop();
        m_logonCheckTimer->stop();
    }
}

void TVRQMain::LogonCheck() {
    TServerState& state = ServerState();
    // Taken in one step: a station's flag request between a test and a store would be
    // overwritten while the station believes it holds the flag.
    TClientThread* expected = nullptr;
    if (!state.flagHolder.compare_exchange_strong(expected, DBFlag::ServerSentinel))
        return;
    EnablePeriodicWork(false);
    RefreshDBFlagLabel();
    int failures = 0;
    for (const QString& e : QStringList(m_list)) {
        if (e.mid(8, 1) != QStringLiteral("L"))
            continue;
        try {
            StartBeacon(e);
        } catch (...) {
            ++failures;
        }
    }
    if (failures)
        DebugLog(QStringLiteral("LogonCheck: %1 beacon(s) could not start").arg(failures));
    expected = DBFlag::ServerSentinel;
    state.flagHolder.compare_exchange_strong(expected, nullptr);
    RefreshDBFlagLabel();
    EnablePeriodicWork(true);
}

void TVRQMain::LogoffAllStations() {
    TServerState& state = ServerState();
    TClientThread* expected = nullptr;
    if (!state.flagHolder.compare_exchange_strong(expected, DBFlag::ServerSentinel))
        return;
    RefreshDBFlagLabel();
    for (int i = m_list.size() - 1; i >= 0; --i) {
        if (i >= m_list.size() || m_list[i].mid(8, 1) != QStringLiteral("L"))
            continue;
        if (TClientThread* t = m_threads.value(m_list[i].left(8)))
            t->RequestClose();
        QCoreApplication::processEvents();
    }
    state.flagHolder = nullptr;
    RefreshDBFlagLabel();
}
