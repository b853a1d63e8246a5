#pragma once
// Base windows every window of the program derives from.

#include "UlmexBitBtn.h"
#include "UlmexETimer.h"

#include <QDialog>

class TfrmBase : public QDialog {
    Q_OBJECT

public:
    explicit TfrmBase(QWidget* parent = nullptr);

    TUlmexETimer* UlmexETimer1 = nullptr;

    // left = (screen width - width) / 2, top = (screen height - height) / 2.
    void CenterOnScreen();
    // Ends a modal run with the given result (also hides a window shown without exec).
    void SetModalResult(int result) { done(result); }
    // Escape presses the visible Cancel button, if any (VCL's Cancel property).
    void reject() override;

protected Q_SLOTS:
    // The idle timer's handler: cancel (2) once the idle period has passed.
    virtual void UlmexETimer1Timer();

protected:
    void showEvent(QShowEvent* event) override;
    // Closing the window ends a modal run with cancel (2).
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_centred = false;
};

// A dialog without the close icon; its timer has no handler.
class TfrmBaseDialog : public TfrmBase {
    Q_OBJECT

public:
    explicit TfrmBaseDialog(QWidget* parent = nullptr);

protected:
    void UlmexETimer1Timer() override {}
};

// A dialog that closes itself with cancel after the idle period.
class TfrmBaseDialogTimeOut : public TfrmBaseDialog {
    Q_OBJECT

public:
    explicit TfrmBaseDialogTimeOut(QWidget* parent = nullptr);

protected:
    void UlmexETimer1Timer() override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

// An editing window with OK and Cancel.
class TfrmBaseEdit : public TfrmBase {
    Q_OBJECT

public:
    explicit TfrmBaseEdit(QWidget* parent = nullptr);

    TUlmexBitBtn* btnOK = nullptr;
    TUlmexBitBtn* btnCancel = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceButtons();
};
