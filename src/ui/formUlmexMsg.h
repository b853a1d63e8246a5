#pragma once
// The program's own message window.

#include "UlmexMsgBox.h"
#include "formBase.h"

class QFrame;
class QLabel;

class TfrmUlmexMsg : public TfrmBaseDialog {
    Q_OBJECT

public:
    explicit TfrmUlmexMsg(QWidget* parent = nullptr);

    // Caption, flags and texts; each text is wrapped unless autoSizeWidth.
    void SetUp(const TUlmexMsgArgs& args);
    // Breaks text at the last blank once a line measures more than 500 pixels; a non-empty result
    // ends with two CR LF.
    QString WrapText(const QString& text) const;
    static int LabelHeight(int measuredHeight) { return 13 * ((13 + measuredHeight) / 78 + 2); }

    int TimeOutMs() const { return m_timeOutMs; }
    QString CentredText() const { return m_centredText; }
    QString LeftJustText() const { return m_leftText; }

    QFrame* pnlMessages = nullptr;
    QLabel* imgInformation = nullptr;
    QLabel* imgExclamation = nullptr;
    QLabel* imgQuestion = nullptr;
    QLabel* imgCancel = nullptr;
    QLabel* lblCenteredMessageText = nullptr;
    QLabel* lblLeftJustMessageText = nullptr;
    QLabel* lblLengthCalc = nullptr;
    TUlmexBitBtn* BitBtnOK = nullptr;
    TUlmexBitBtn* BitBtnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void UlmexETimer1Timer() override;

private:
    void FormShow();

    bool m_autoSize = false;
    TUlmexIconType m_icon = UlmexMB_IconInformation;
    TUlmexDefaultButtonType m_defaultButton = Ulmex_DefaultButton1;
    TUlmexButtonsType m_buttons = UlmexMB_OK;
    int m_timeOutMs = 0;
    QString m_centredText;
    QString m_leftText;
    bool m_shown = false;

    // Designed geometry, the base of all growth.
    QRect m_dCentred, m_dLeft, m_dPanel, m_dOK, m_dCancel, m_dImage;
    QSize m_dClient;
};
