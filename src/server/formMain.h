#pragma once
// The server's only permanent window. Component names are the controller's handles on it.

#include "formBase.h"

#include <QWidget>
#include <functional>

class QAction;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class QCheckBox;
class QGroupBox;
class QSystemTrayIcon;
class QTabWidget;
class QTableWidget;
class QTimer;
class TVRQMain;
class IMessageHandler;

class TfrmMain : public TfrmBase {
    Q_OBJECT
public:
    explicit TfrmMain(IMessageHandler* handler = nullptr, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Runs the creation steps: instance check result, tray icon, controller and its start-up.
    void FormCreate(bool firstInstance, const QStringList& args);
    TVRQMain* VRQMain() const { return m_vrqMain; }

    // Station grids (filled by RefreshBrowseLists).
    QTableWidget* ThisStationGrid() const { return m_sgrdThisStation; }
    QTableWidget* AllClientMachinesGrid() const { return m_sgrdAllClientMachines; }
    std::function<void()> RefreshBrowseLists;

    void Minimize();
    void ShowFromTray();
    // The Exit command: asks, then CloseVRQ(false) on OK.
    void Exit();
    void SetControlStates();
    // Escape does not close the server.
    void reject() override {}

Q_SIGNALS:
    void ActivateRequested();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Operator inactivity log-off.
    void UlmexETimer1Timer() override;

private:
    void build();
    void onHideAppTimer();

    IMessageHandler* m_handler;
    TVRQMain* m_vrqMain = nullptr;
    QMenuBar* m_menu = nullptr;
    QAction* m_mnuFileLogon = nullptr;
    QAction* m_mnuFileExit = nullptr;
    QAction* m_mnuSwitchLanguage = nullptr;
    QLabel* m_stxtLogon = nullptr;
    QListWidget* m_clientListBox = nullptr;
    QTableWidget* m_sgrdThisStation = nullptr;
    QTableWidget* m_sgrdAllClientMachines = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QTimer* m_hideApp = nullptr;
    bool m_closed = false;
};
