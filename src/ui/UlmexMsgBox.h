#pragma once
// The program's message box. Implemented in UlmexMsgBox.cpp (window TfrmUlmexMsg).

#include <QString>
#include <QStringList>
#include <functional>

enum TUlmexButtonsType {
    UlmexMB_OK = 0,
    UlmexMB_OKCancel = 1,
    UlmexMB_Cancel = 2,
    UlmexMB_YesNo = 3,
    UlmexMB_RetryCancel = 4
};
enum TUlmexDefaultButtonType { Ulmex_DefaultButton1 = 0, Ulmex_DefaultButton2 = 1 };
enum TUlmexIconType {
    UlmexMB_IconInformation = 0,
    UlmexMB_IconExclamation = 1,
    UlmexMB_IconQuestion = 2,
    UlmexMB_ICONERROR = 3
};

// Results: 1 left button, -1 right button, -2 time-out / unattended / no answer.
int UlmexMsgBox(const QString& title, const QString& centredText, const QString& leftText,
                bool autoSizeWidth = false, int timeOutSecs = 0,
                TUlmexIconType icon = UlmexMB_IconInformation,
                TUlmexDefaultButtonType defaultButton = Ulmex_DefaultButton1,
                TUlmexButtonsType buttons = UlmexMB_OK);

using TUlmexMsgBoxOverride =
    std::function<int(const QString& title, const QString& centredText, const QString& leftText,
                      bool autoSizeWidth, int timeOutSecs, TUlmexIconType icon,
                      TUlmexDefaultButtonType defaultButton, TUlmexButtonsType buttons,
                      void* context)>;
struct TUlmexMsgBoxOverrideSlot {
    TUlmexMsgBoxOverride fn;
    void* context = nullptr;
};
extern TUlmexMsgBoxOverrideSlot g_UlmexMsgBox_Override;

// True when VRQ_UNATTENDED=1: boxes log their texts and return -2 at once.
bool UnattendedMode_b();

// Catalogued messages.
QString MsgFieldMarker(int n);
QString MsgInsertFields(const QString& text, const QStringList& fields, int highestIndex);
int MsgCatalogBox(int messageNumber, int timeOutSecs, const QStringList& fields);
int MsgTextsBox(TUlmexIconType icon, const QStringList& texts, int highestIndex);
