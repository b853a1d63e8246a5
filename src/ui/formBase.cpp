#include "formBase.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

namespace {
QString res(const char* text) {
    return QCoreApplication::translate("Resource", text);
}
} // namespace

TfrmBase::TfrmBase(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmBase"));
    resize(435, 300);
    UlmexETimer1 = new TUlmexETimer(this);
    UlmexETimer1->setObjectName(QStringLiteral("UlmexETimer1"));
    UlmexETimer1->setInterval(310000);
    UlmexETimer1->SetSnoozeSecs(310);
    connect(UlmexETimer1, &QTimer::timeout, this, &TfrmBase::UlmexETimer1Timer);
    CenterOnScreen();
}

void TfrmBase::CenterOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect s = screen->geometry();
    move(s.left() + (s.width() - width()) / 2, s.top() + (s.height() - height()) / 2);
}

void TfrmBase::reject() {
    const QList<TUlmexBitBtn*> buttons = findChildren<TUlmexBitBtn*>();
    for (TUlmexBitBtn* b : buttons) {
        if (b->Cancel() && b->isVisible() && b->isEnabled()) {
            b->click();
            return;
        }
    }
}

void TfrmBase::closeEvent(QCloseEvent* event) {
    if (isVisible())
        SetModalResult(mrCancel);
    event->accept();
}

void TfrmBase::UlmexETimer1Timer() {
    if (UlmexETimer1->Expired())
        SetModalResult(mrCancel);
}

void TfrmBase::showEvent(QShowEvent* event) {
    // Derived windows size themselves after the base constructor ran, so centre once more.
    if (!m_centred) {
        m_centred = true;
        CenterOnScreen();
    }
    QDialog::showEvent(event);
}

TfrmBaseDialog::TfrmBaseDialog(QWidget* parent) : TfrmBase(parent) {
    setObjectName(QStringLiteral("frmBaseDialog"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
}

TfrmBaseDialogTimeOut::TfrmBaseDialogTimeOut(QWidget* parent) : TfrmBaseDialog(parent) {
    setObjectName(QStringLiteral("frmBaseDialogTimeOut"));
}

void TfrmBaseDialogTimeOut::UlmexETimer1Timer() {
    if (UlmexETimer1->Expired())
        SetModalResult(mrCancel);
}

void TfrmBaseDialogTimeOut::showEvent(QShowEvent* event) {
    TfrmBaseDialog::showEvent(event);
    UlmexETimer1->Reset();
    UlmexETimer1->start();
}

void TfrmBaseDialogTimeOut::hideEvent(QHideEvent* event) {
    UlmexETimer1->stop();
    TfrmBaseDialog::hideEvent(event);
}

TfrmBaseEdit::TfrmBaseEdit(QWidget* parent) : TfrmBase(parent) {
    setObjectName(QStringLiteral("frmBaseEdit"));
    setWindowTitle(res(QT_TRANSLATE_NOOP("Resource", "Edit Form")));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    resize(435, 307);
    btnOK = new TUlmexBitBtn(this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->SetKind(bkOK);
    btnCancel = new TUlmexBitBtn(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->SetKind(bkCancel);
    PlaceButtons();
    CenterOnScreen();
}

void TfrmBaseEdit::resizeEvent(QResizeEvent* event) {
    TfrmBase::resizeEvent(event);
    PlaceButtons();
}

void TfrmBaseEdit::PlaceButtons() {
    const int top = height() - 25 - 10;
    btnCancel->setGeometry(width() - 75 - 10, top, 75, 25);
    btnOK->setGeometry(width() - 2 * 75 - 18, top, 75, 25);
}
