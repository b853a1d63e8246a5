#include "formMain.h"

#include "UlmexMsgBox.h"
#include "formUlmexAbout.h"
#include "unitServerState.h"
#include "unitSharedSettings.h"
#include "unitTrace.h"
#include "unitVRQMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QString res(const char* text) { return QCoreApplication::translate("Resource", text); }

template <class T> T* named(T* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QTimer* timer(QObject* parent, const char* name, int ms, bool enabled) {
    auto* t = named(new TUlmexETimer(parent), name);
    t->setInterval(ms);
    if (enabled)
        t->start();
    return t;
}

QPushButton* button(const char* name, const QString& caption) {
    return named(new QPushButton(caption), name);
}
} // namespace

TfrmMain::TfrmMain(IMessageHandler* handler, QWidget* parent)
    : TfrmBase(parent), m_handler(handler) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowFlags(Qt::Window);
    UlmexETimer1->SetSnoozeSecs(120);
    UlmexETimer1->stop();
    build();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::build() {
    auto* root = new QVBoxLayout(this);
    m_menu = named(new QMenuBar(this), "MainMenu1");
    root->setMenuBar(m_menu);
    QMenu* file = m_menu->addMenu(res("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    m_mnuFileLogon = file->addAction(res("&Logon"));
    m_mnuFileLogon->setObjectName(QStringLiteral("mnuFileLogon"));
    m_mnuFileLogon->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));
    QAction* minimize = file->addAction(res("&Minimize"));
    minimize->setObjectName(QStringLiteral("mnuFileMinimize"));
    minimize->setShortcut(QKeySequence(QStringLiteral("Ctrl+M")));
    file->addSeparator();
    m_mnuSwitchLanguage = file->addAction(res("Switch Language"));
    m_mnuSwitchLanguage->setObjectName(QStringLiteral("mnuSwitchLanguage"));
    m_mnuSwitchLanguage->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    m_mnuFileExit = file->addAction(res("E&xit"));
    m_mnuFileExit->setObjectName(QStringLiteral("mnuFileExit"));
    m_mnuFileExit->setShortcut(QKeySequence(QStringLiteral("Alt+F4")));
    QMenu* help = m_menu->addMenu(res("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction* about = help->addAction(res("&About..."));
    about->setObjectName(QStringLiteral("mnuHelpAbout"));

    m_stxtLogon = named(new QLabel(res("Must Logon")), "stxtLogon");
    m_stxtLogon->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    auto* header = new QHBoxLayout;
    header->addWidget(m_stxtLogon);
    header->addStretch();
    header->addWidget(named(new QLabel(res("Listening")), "lblSocket_State"));
    header->addWidget(new QLabel(res("Started: ")));
    header->addWidget(named(new QLabel, "lblStarted"));
    root->addLayout(header);

    auto* pc = named(new QTabWidget, "pcTaskInfo");
    root->addWidget(pc);

    // Status page.
    auto* status = named(new QWidget, "tsStatus");
    auto* sl = new QGridLayout(status);
    sl->addWidget(named(new QLabel(res("<No Flag Set>")), "lblDBFlag"), 0, 0, 1, 2);
    m_clientListBox = named(new QListWidget, "ClientListBox");
    sl->addWidget(m_clientListBox, 1, 0, 4, 1);
    auto* disconnect = button("DisconnectButton", res("Disconnect"));
    auto* disconnectAll = button("DisconnectAllButton", res("DisconnectAll"));
    sl->addWidget(disconnect, 1, 1);
    sl->addWidget(disconnectAll, 2, 1);
    auto* logonCheck = button("btnLogonCheck", res("Logon Check"));
    auto* logoffAll = button("btnLogoffAll", res("Log Off All"));
    sl->addWidget(logonCheck, 3, 1);
    sl->addWidget(logoffAll, 4, 1);
    auto* chkDBFlag = named(new QCheckBox(QStringLiteral("DBFlag")), "chkDBFlag");
    chkDBFlag->setVisible(false);
    sl->addWidget(chkDBFlag, 5, 1);
    auto* autoCheck = named(new QCheckBox(res("Automatic Logon Check")), "chkAutoLogonCheck");
    sl->addWidget(autoCheck, 5, 0);

    auto* g3 = named(new QGroupBox(res("Computer Information")), "GroupBox3");
    auto* gl3 = new QGridLayout(g3);
    gl3->addWidget(new QLabel(res("Computer Name:")), 0, 0);
    gl3->addWidget(named(new QLineEdit, "EditComputerName"), 0, 1);
    gl3->addWidget(new QLabel(res("IP Address:")), 1, 0);
    gl3->addWidget(named(new QLineEdit, "EditIPAddress"), 1, 1);
    gl3->addWidget(button("btnSelectIP", QStringLiteral("...")), 1, 2);
    gl3->addWidget(new QLabel(res("Machine ID:")), 2, 0);
    gl3->addWidget(named(new QLineEdit, "EditMachineID"), 2, 1);
    gl3->addWidget(new QLabel(res("Listening Port:")), 3, 0);
    gl3->addWidget(named(new QLineEdit, "EditPort"), 3, 1);
    gl3->addWidget(new QLabel(res("IPC Port:")), 4, 0);
    gl3->addWidget(named(new QLineEdit, "txtIPCPort"), 4, 1);
    gl3->addWidget(button("BitBtnRefresh_ComputerInformation", res("Refresh")), 5, 1);
    for (auto* e : g3->findChildren<QLineEdit*>())
        e->setReadOnly(true);
    sl->addWidget(g3, 6, 0, 1, 2);
    pc->addTab(status, res("Status"));

    // Settings page.
    auto* settings = named(new QWidget, "tsSettings");
    auto* stl = new QVBoxLayout(settings);
    auto* g1 = named(new QGroupBox(res("Station ID assignments for this computer")), "GroupBox1");
    auto* gl1 = new QGridLayout(g1);
    m_sgrdThisStation = named(new QTableWidget, "sgrdThisStation");
    gl1->addWidget(m_sgrdThisStation, 0, 0, 1, 3);
    gl1->addWidget(button("BitBtnAdd", res("&Add")), 1, 0);
    gl1->addWidget(button("BitBtnEdit", res("&Edit")), 1, 1);
    gl1->addWidget(button("BitBtnDelete", res("&Delete")), 1, 2);
    stl->addWidget(g1);
    auto* g2 = named(new QGroupBox(res("Station ID assignments for the entire Halvex System")),
                     "GroupBox2");
    auto* gl2 = new QGridLayout(g2);
    m_sgrdAllClientMachines = named(new QTableWidget, "sgrdAllClientMachines");
    gl2->addWidget(m_sgrdAllClientMachines, 0, 0, 1, 4);
    gl2->addWidget(button("BitBtnRefresh", res("Refresh")), 1, 0);
    gl2->addWidget(button("btnSystemEdit", res("Edit")), 1, 1);
    gl2->addWidget(button("btnSystemAdd", res("Add")), 1, 2);
    gl2->addWidget(button("btnSystemDelete", res("Delete")), 1, 3);
    stl->addWidget(g2);
    pc->addTab(settings, res("Settings"));
    for (QTableWidget* g : {m_sgrdThisStation, m_sgrdAllClientMachines}) {
        g->setEditTriggers(QAbstractItemView::NoEditTriggers);
        g->setSelectionBehavior(QAbstractItemView::SelectRows);
        g->setSelectionMode(QAbstractItemView::SingleSelection);
        g->verticalHeader()->setVisible(false);
    }

    timer(this, "UlmexETimer_IPCheck", 30600, false);
    timer(this, "UlmexETimer_LogonCheck", 3600500, true);
    m_hideApp = timer(this, "UlmexETimer_HideApp", 1000, false);
    m_hideApp->setSingleShot(true);
    timer(this, "UlmexETimer_ListenCheck", 10123, false);
    connect(m_hideApp, &QTimer::timeout, this, &TfrmMain::onHideAppTimer);

    m_tray = named(new QSystemTrayIcon(this), "kbTrayIcon1");
    m_tray->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick)
            ShowFromTray();
    });

    connect(disconnect, &QPushButton::clicked, this, [this] {
        if (m_vrqMain && m_clientListBox->currentItem())
            m_vrqMain->CloseConnection(m_clientListBox->currentItem()->text().left(8));
    });
    connect(disconnectAll, &QPushButton::clicked, this, [this] {
        if (m_vrqMain)
            m_vrqMain->CloseAllConnections();
    });
    connect(logonCheck, &QPushButton::clicked, this, [this] {
        if (m_vrqMain)
            m_vrqMain->LogonCheck();
    });
    connect(logoffAll, &QPushButton::clicked, this, [this] {
        if (m_vrqMain)
            m_vrqMain->LogoffAllStations();
    });
    connect(chkDBFlag, &QCheckBox::clicked, this, [](bool checked) {
        ServerState().flagHolder = checked ? DBFlag::ServerSentinel : nullptr;
    });
    connect(file, &QMenu::aboutToShow, this, [this] {
        m_mnuFileLogon->setEnabled(!(m_vrqMain && m_vrqMain->IsDeaf()));
    });
    connect(minimize, &QAction::triggered, this, &TfrmMain::Minimize);
    connect(m_mnuFileExit, &QAction::triggered, this, &TfrmMain::Exit);
    connect(about, &QAction::triggered, this,
            [] { ShowAboutWindow(QString(), QStringLiteral("Halvex_VRQSVC.EXE")); });
    connect(this, &TfrmMain::ActivateRequested, this, &TfrmMain::ShowFromTray);
    resize(640, 520);
}

void TfrmMain::FormCreate(bool firstInstance, const QStringList& /*args*/) {
    DebugLogStart(QStringLiteral("TfrmMain.FormCreate"));
    if (!firstInstance) {
        DebugLogEnd(QStringLiteral("TfrmMain.FormCreate"));
        return;
    }
    m_tray->show();
    findChild<QTabWidget*>(QStringLiteral("pcTaskInfo"))->setCurrentIndex(0);
    m_vrqMain = new TVRQMain(this, [this] {
        if (RefreshBrowseLists)
            RefreshBrowseLists();
    }, m_handler);
    m_tray->setToolTip(windowTitle());
    SetControlStates();
    DebugLogEnd(QStringLiteral("TfrmMain.FormCreate"));
}

void TfrmMain::SetControlStates() {
    // The logon of an operator comes with the users' logon; nobody is logged on until then.
    const bool loggedOn = false;
    for (const char* name : {"DisconnectButton", "DisconnectAllButton", "BitBtnAdd", "BitBtnEdit",
                             "BitBtnDelete", "btnLogonCheck", "btnSystemAdd", "btnSystemEdit",
                             "btnSystemDelete", "chkAutoLogonCheck", "btnSelectIP"})
        if (QWidget* w = findChild<QWidget*>(QLatin1String(name)))
            w->setEnabled(loggedOn);
    m_mnuFileExit->setEnabled(loggedOn);
    if (QWidget* w = findChild<QWidget*>(QStringLiteral("btnLogoffAll")))
        w->setVisible(false);
    m_mnuFileLogon->setText(loggedOn ? res("&Log off") : res("&Log on"));
    m_stxtLogon->setText(res("Must Logon"));
}

void TfrmMain::UlmexETimer1Timer() {
    if (!UlmexETimer1->Expired())
        return;
    UlmexETimer1->stop();
    // The logged-on operator is logged off here once users can log on; nobody is yet.
    SetControlStates();
}

void TfrmMain::showEvent(QShowEvent* e) {
    TfrmBase::showEvent(e);
    if (m_vrqMain)
        m_vrqMain->FormShow();
}

void TfrmMain::onHideAppTimer() {
    m_hideApp->stop();
    if (m_vrqMain && !m_vrqMain->Startup().keepWindow)
        Minimize();
}

void TfrmMain::Minimize() {
    hide();
}

void TfrmMain::ShowFromTray() {
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TfrmMain::Exit() {
    if (m_vrqMain)
        m_vrqMain->EnablePeriodicWork(false);
    QString text = GUIStopService_b()
                       ? res("IF YOU EXIT AND CLOSE THE PROGRAM, NO COMMUNICATIONS%0:sWITH THE "
                             "ATTACHED HALVEX DEVICES CAN BE PERFORMED!%0:s%0:sNormally, you "
                             "should instead minimize the program.%0:s%0:sSelect CANCEL to abort "
                             "the exit then select%0:sFile menu-Minimize.%0:sSelect OK to "
                             "continue exiting the program.%0:sYou will then have to manually "
                             "restart it later.")
                       : res("YOU ARE CLOSING THIS WINDOW ONLY.%0:s%0:sThe Halvex VRQ service goes "
                             "on running and keeps serving the attached Halvex devices.%0:s%0:s"
                             "Select OK to close the window or CANCEL to keep it open.");
    text.replace(QStringLiteral("%0:s"), QStringLiteral("\r\n"));
    const int r = UlmexMsgBox(QString(), text, QString(), false, 0, UlmexMB_IconExclamation,
                              Ulmex_DefaultButton1, UlmexMB_OKCancel);
    if (r == 1) {
        if (m_vrqMain)
            m_vrqMain->CloseVRQ(false);
    } else if (m_vrqMain) {
        m_vrqMain->EnablePeriodicWork(true);
    }
}

void TfrmMain::closeEvent(QCloseEvent* e) {
    if (!m_closed && m_vrqMain) {
        m_closed = true;
        m_vrqMain->FormClose();
    }
    m_tray->hide();
    e->accept();
    QCoreApplication::processEvents();
    QCoreApplication::quit();
}
