#pragma once
// "About": the program's name, version and legal notice, and the service program's version.

#include "formBase.h"

class QLabel;

class TfrmUlmexAbout : public TfrmBaseDialogTimeOut {
    Q_OBJECT

public:
    // caption empty: "About" + the file description; serviceExeName relative to the work folder.
    TfrmUlmexAbout(const QString& caption, const QString& serviceExeName,
                   QWidget* parent = nullptr);

    QLabel* imgProgramIcon = nullptr;
    QLabel* lblName = nullptr;
    QLabel* lblVersionLabel = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblServiceLabel = nullptr;
    QLabel* lblService = nullptr;
    QLabel* lblLegalCopyright = nullptr;
    TUlmexBitBtn* BitBtnOK = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();

    QString m_caption;
    QString m_serviceExeName;
    bool m_shown = false;
};

// The main window's "&About..." calls ShowAboutWindow({}, "Halvex_VRQSVC.EXE").
// Under VRQ_UNATTENDED=1 only logs and returns -2.
int ShowAboutWindow(const QString& caption, const QString& serviceExeName);
