#include "formVersions.h"

#include "AppInfo.h"
#include "UlmexMsgBox.h"
#include "unitTrace.h"
#include "unitUtils.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString res(const char* text) {
    return QCoreApplication::translate("Resource", text);
}

TVersionCheck& VersionCheck() {
    static TVersionCheck check;
    return check;
}

QLineEdit* VersionEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true);
    e->setAlignment(Qt::AlignRight);
    e->setFixedWidth(80);
    return e;
}

} // namespace

TDatabaseVersions& g_DatabaseVersions() {
    static TDatabaseVersions versions;
    return versions;
}

int& g_intVersionsAutoHideSecs() {
    static int secs = 10;
    return secs;
}

void SetVersionCheck(TVersionCheck check) {
    VersionCheck() = std::move(check);
}

QString RunVersionCheck_str(bool checkMSG, bool checkMLG) {
    return VersionCheck() ? VersionCheck()(checkMSG, checkMLG) : QString();
}

QString VersionFormat_str(double version) {
    return QString::asprintf("%7.2f", version).trimmed();
}

TfrmVersions::TfrmVersions(const TDatabaseVersions& versions, const QString& errorsText,
                           const QString& checkText, bool databasesUpdated, bool autoHide,
                           bool showMessengerRows, QWidget* parent)
    : TfrmBaseDialogTimeOut(parent), m_versions(versions), m_autoHide(autoHide),
      m_showMessengerRows(showMessengerRows) {
    setObjectName(QStringLiteral("frmVersions"));
    setWindowTitle(res(QT_TRANSLATE_NOOP("Resource", "Program Information")));

    auto* top = new QVBoxLayout(this);
    lblName = new QLabel(QStringLiteral("Name: UNKNOWN"), this);
    lblName->setObjectName(QStringLiteral("lblName"));
    lblVersion = new QLabel(QStringLiteral("Version: UNKNOWN"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    top->addWidget(lblName);
    top->addWidget(lblVersion);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(res(QT_TRANSLATE_NOOP("Resource", "Minimum")), this), 0, 1,
                    Qt::AlignRight);
    grid->addWidget(new QLabel(res(QT_TRANSLATE_NOOP("Resource", "Actual")), this), 0, 2,
                    Qt::AlignRight);
    struct TRow {
        const char* kind;
        QLineEdit** min;
        const char* minName;
        QLineEdit** act;
        const char* actName;
    };
    const TRow rows[] = {
        {"DSN", &EditDSN_MIN, "EditDSN_MIN", &EditDSN_ACT, "EditDSN_ACT"},
        {"DAT", &EditDAT_MIN, "EditDAT_MIN", &EditDAT_ACT, "EditDAT_ACT"},
        {"LOG", &EditLOG_MIN, "EditLOG_MIN", &EditLOG_ACT, "EditLOG_ACT"},
        {"SYS", &EditSYS_MIN, "EditSYS_MIN", &EditSYS_ACT, "EditSYS_ACT"},
        {"ARCH", &EditARCH_MIN, "EditARCH_MIN", &EditARCH_ACT, "EditARCH_ACT"},
        {"MSG", &EditMSG_MIN, "EditMSG_MIN", &EditMSG_ACT, "EditMSG_ACT"},
        {"MLG", &EditMLG_MIN, "EditMLG_MIN", &EditMLG_ACT, "EditMLG_ACT"},
    };
    int r = 1;
    for (const TRow& row : rows) {
        auto* label = new QLabel(QLatin1String(row.kind), this);
        label->setObjectName(QStringLiteral("lbl") + QLatin1String(row.kind));
        *row.min = VersionEdit(this, row.minName);
        *row.act = VersionEdit(this, row.actName);
        grid->addWidget(label, r, 0);
        grid->addWidget(*row.min, r, 1);
        grid->addWidget(*row.act, r, 2);
        if (r >= 6)
            m_messengerRow << label << *row.min << *row.act;
        ++r;
    }
    grid->setColumnStretch(3, 1);
    top->addLayout(grid);

    lblDatabasesUpdated = new QLabel(QStringLiteral("*** DATABASES HAVE BEEN UPDATED ***"), this);
    lblDatabasesUpdated->setObjectName(QStringLiteral("lblDatabasesUpdated"));
    QFont bold = lblDatabasesUpdated->font();
    bold.setBold(true);
    lblDatabasesUpdated->setFont(bold);
    lblDatabasesUpdated->setAlignment(Qt::AlignCenter);
    lblDatabasesUpdated->setVisible(databasesUpdated);
    top->addWidget(lblDatabasesUpdated);

    MemoErrors = new QPlainTextEdit(this);
    MemoErrors->setObjectName(QStringLiteral("MemoErrors"));
    MemoErrors->setReadOnly(true);
    MemoErrors->setPlainText(errorsText + checkText);
    top->addWidget(MemoErrors, 1);

    BitBtnOK = new TUlmexBitBtn(this);
    BitBtnOK->setObjectName(QStringLiteral("BitBtnOK"));
    BitBtnOK->SetKind(bkOK);
    BitBtnOK->setFixedSize(75, 25);
    top->addWidget(BitBtnOK, 0, Qt::AlignHCenter);

    TimerAutoHide = new QTimer(this);
    TimerAutoHide->setObjectName(QStringLiteral("TimerAutoHide"));
    TimerAutoHide->setSingleShot(true);
    connect(TimerAutoHide, &QTimer::timeout, this, [this]() { SetModalResult(mrOk); });

    setFixedSize(420, checkText.isEmpty() ? 400 : 550);
    CenterOnScreen();
}

void TfrmVersions::showEvent(QShowEvent* event) {
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
    TfrmBaseDialogTimeOut::showEvent(event);
}

void TfrmVersions::FormShow() {
    setWindowIcon(QApplication::windowIcon());
    const TAppInfo info = OwnAppInfo();
    lblVersion->setText(res(QT_TRANSLATE_NOOP("Resource", "Version")) + QStringLiteral(": ") +
                        VersionText_str(info.FileVersion, true));
    setWindowTitle(res(QT_TRANSLATE_NOOP("Resource", "About")) + u' ' + info.FileDescription);
    lblName->setText(res(QT_TRANSLATE_NOOP("Resource", "Name")) + QStringLiteral(": ") +
                     info.FileDescription);

    const auto put = [](QLineEdit* edit, double v) { edit->setText(VersionFormat_str(v)); };
    put(EditDSN_MIN, m_versions.DSN.Minimum);
    put(EditDSN_ACT, m_versions.DSN.Actual);
    put(EditDAT_MIN, m_versions.DAT.Minimum);
    put(EditDAT_ACT, m_versions.DAT.Actual);
    put(EditLOG_MIN, m_versions.LOG.Minimum);
    put(EditLOG_ACT, m_versions.LOG.Actual);
    put(EditSYS_MIN, m_versions.SYS.Minimum);
    put(EditSYS_ACT, m_versions.SYS.Actual);
    // Archives are checked against the log database's minimum.
    put(EditARCH_MIN, m_versions.LOG.Minimum);
    if (m_versions.ARCH.Actual < 0)
        EditARCH_ACT->setText(QStringLiteral("N/A"));
    else
        put(EditARCH_ACT, m_versions.ARCH.Actual);
    put(EditMSG_MIN, m_versions.MSG.Minimum);
    put(EditMSG_ACT, m_versions.MSG.Actual);
    put(EditMLG_MIN, m_versions.MLG.Minimum);
    put(EditMLG_ACT, m_versions.MLG.Actual);
    for (QWidget* w : m_messengerRow)
        w->setVisible(m_showMessengerRows);

    BitBtnOK->setFocus();

    const int period = g_intVersionsAutoHideSecs();
    if (m_autoHide && period > 0)
        TimerAutoHide->start(period * 1000);
}

int ShowVersionsWindow(const QString& errorsText, bool databasesUpdated, bool autoHide,
                       bool showMessengerRows) {
    const QString check = RunVersionCheck_str(false, false);
    if (UnattendedMode_b() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        DebugLog(QStringLiteral("Program Information (unattended): ") + errorsText + check);
        return -2;
    }
    TfrmVersions form(g_DatabaseVersions(), errorsText, check, databasesUpdated, autoHide,
                      showMessengerRows);
    const int result = form.exec();
    QCoreApplication::processEvents();
    return result;
}
