#pragma once
// "Program Information": the program's version and the versions of its databases.

#include "formBase.h"

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;

// Required minimum and actual version of one database kind (-1: not read).
struct TDatabaseVersion {
    double Minimum = 0;
    double Actual = -1;
};
struct TDatabaseVersions {
    TDatabaseVersion DSN, DAT, SYS, LOG, MSG, MLG, ARCH;
};

// Process-wide versions; the database layer fills them (minima at start-up, actuals when read).
TDatabaseVersions& g_DatabaseVersions();
// Auto-hide period of the versions window in seconds (10).
int& g_intVersionsAutoHideSecs();

// The database layer's VersionDatabase_Check_str; without one the check adds nothing.
using TVersionCheck = std::function<QString(bool checkMSG, bool checkMLG)>;
void SetVersionCheck(TVersionCheck check);
QString RunVersionCheck_str(bool checkMSG, bool checkMLG);

// "%7.2f", trimmed.
QString VersionFormat_str(double version);

class TfrmVersions : public TfrmBaseDialogTimeOut {
    Q_OBJECT

public:
    // checkText is the check's result (the window grows to 550 pixels when it is not empty).
    TfrmVersions(const TDatabaseVersions& versions, const QString& errorsText,
                 const QString& checkText, bool databasesUpdated, bool autoHide,
                 bool showMessengerRows, QWidget* parent = nullptr);

    QLabel* lblVersion = nullptr;
    QLabel* lblName = nullptr;
    QLineEdit* EditDSN_MIN = nullptr;
    QLineEdit* EditDSN_ACT = nullptr;
    QLineEdit* EditDAT_MIN = nullptr;
    QLineEdit* EditDAT_ACT = nullptr;
    QLineEdit* EditLOG_MIN = nullptr;
    QLineEdit* EditLOG_ACT = nullptr;
    QLineEdit* EditSYS_MIN = nullptr;
    QLineEdit* EditSYS_ACT = nullptr;
    QLineEdit* EditARCH_MIN = nullptr;
    QLineEdit* EditARCH_ACT = nullptr;
    QLineEdit* EditMSG_MIN = nullptr;
    QLineEdit* EditMSG_ACT = nullptr;
    QLineEdit* EditMLG_MIN = nullptr;
    QLineEdit* EditMLG_ACT = nullptr;
    QPlainTextEdit* MemoErrors = nullptr;
    QLabel* lblDatabasesUpdated = nullptr;
    QTimer* TimerAutoHide = nullptr;
    TUlmexBitBtn* BitBtnOK = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();

    TDatabaseVersions m_versions;
    bool m_autoHide = false;
    bool m_showMessengerRows = false;
    bool m_shown = false;
    QList<QWidget*> m_messengerRow;
};

// Shows the window modally with the process-wide versions and the check (without MSG and MLG);
// under VRQ_UNATTENDED=1 only logs and returns -2.
int ShowVersionsWindow(const QString& errorsText, bool databasesUpdated, bool autoHide,
                       bool showMessengerRows);
