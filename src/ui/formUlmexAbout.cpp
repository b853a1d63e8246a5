#include "formUlmexAbout.h"

#include "AppInfo.h"
#include "UlmexMsgBox.h"
#include "unitSharedSettings.h"
#include "unitTrace.h"
#include "unitUtils.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QString res(const char* text) {
    return QCoreApplication::translate("Resource", text);
}
QString dictionary(const QString& text) {
    return QCoreApplication::translate("Resource", text.toUtf8().constData());
}

// The service program's information; the name is tried as given and without ".EXE".
bool ServiceInfo_b(const QString& name, TAppInfo& info) {
    QStringList candidates;
    const QString base = QDir::isAbsolutePath(name) ? name : g_strAppPath() + name;
    candidates << base;
    if (base.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        candidates << base.left(base.size() - 4);
    for (const QString& path : candidates) {
        if (!QFileInfo(path).isFile())
            continue;
        try {
            AppInfo(path, info);
            return true;
        } catch (const std::exception&) {
        }
    }
    return false;
}

} // namespace

TfrmUlmexAbout::TfrmUlmexAbout(const QString& caption, const QString& serviceExeName,
                               QWidget* parent)
    : TfrmBaseDialogTimeOut(parent), m_caption(caption), m_serviceExeName(serviceExeName) {
    setObjectName(QStringLiteral("frmUlmexAbout"));
    setWindowTitle(res(QT_TRANSLATE_NOOP("Resource", "About")));

    auto* top = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    imgProgramIcon = new QLabel(this);
    imgProgramIcon->setObjectName(QStringLiteral("imgProgramIcon"));
    imgProgramIcon->setFixedSize(32, 32);
    head->addWidget(imgProgramIcon, 0, Qt::AlignTop);
    auto* grid = new QGridLayout;
    lblName = new QLabel(this);
    lblName->setObjectName(QStringLiteral("lblName"));
    QFont bold = lblName->font();
    bold.setBold(true);
    lblName->setFont(bold);
    grid->addWidget(lblName, 0, 0, 1, 2);
    lblVersionLabel = new QLabel(QStringLiteral("Version:"), this);
    lblVersionLabel->setObjectName(QStringLiteral("lblVersionLabel"));
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    grid->addWidget(lblVersionLabel, 1, 0);
    grid->addWidget(lblVersion, 1, 1);
    lblServiceLabel = new QLabel(res(QT_TRANSLATE_NOOP("Resource", "Service:")), this);
    lblServiceLabel->setObjectName(QStringLiteral("lblServiceLabel"));
    lblService = new QLabel(this);
    lblService->setObjectName(QStringLiteral("lblService"));
    lblServiceLabel->hide();
    lblService->hide();
    grid->addWidget(lblServiceLabel, 2, 0);
    grid->addWidget(lblService, 2, 1);
    grid->setColumnStretch(1, 1);
    head->addLayout(grid, 1);
    top->addLayout(head);

    lblLegalCopyright = new QLabel(this);
    lblLegalCopyright->setObjectName(QStringLiteral("lblLegalCopyright"));
    lblLegalCopyright->setWordWrap(true);
    top->addWidget(lblLegalCopyright, 1);

    BitBtnOK = new TUlmexBitBtn(this);
    BitBtnOK->setObjectName(QStringLiteral("BitBtnOK"));
    BitBtnOK->SetKind(bkOK);
    BitBtnOK->setFixedSize(75, 25);
    top->addWidget(BitBtnOK, 0, Qt::AlignHCenter);

    setFixedSize(360, 200);
    CenterOnScreen();
}

void TfrmUlmexAbout::showEvent(QShowEvent* event) {
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
    TfrmBaseDialogTimeOut::showEvent(event);
}

void TfrmUlmexAbout::FormShow() {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    imgProgramIcon->setPixmap(icon.pixmap(32, 32));

    const TAppInfo info = OwnAppInfo();
    lblLegalCopyright->clear();
    lblLegalCopyright->setText(dictionary(info.LegalCopyright));
    lblVersion->setText(VersionText_str(info.FileVersion, true));
    setWindowTitle(m_caption.isEmpty() ? res(QT_TRANSLATE_NOOP("Resource", "About")) + u' ' +
                                             dictionary(info.FileDescription)
                                       : m_caption);
    lblName->setText(dictionary(info.FileDescription));

    BitBtnOK->setFocus();

    TAppInfo service;
    if (!m_serviceExeName.isEmpty() && ServiceInfo_b(m_serviceExeName, service)) {
        lblVersionLabel->setText(res(QT_TRANSLATE_NOOP("Resource", "GUI")));
        lblServiceLabel->show();
        lblService->setText(VersionText_str(service.FileVersion, true));
        lblService->show();
    }
}

int ShowAboutWindow(const QString& caption, const QString& serviceExeName) {
    if (UnattendedMode_b() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        DebugLog(QStringLiteral("About (unattended): ") + caption);
        return -2;
    }
    TfrmUlmexAbout form(caption, serviceExeName);
    return form.exec();
}
