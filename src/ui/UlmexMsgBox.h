#pragma once
// The program's message box (window TfrmUlmexMsg in formUlmexMsg.h) and the message catalogue.

#include <QList>
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

// Everything one box needs (the arguments of UlmexMsgBox).
struct TUlmexMsgArgs {
    QString title;
    QString centredText;
    QString leftText;
    bool autoSizeWidth = false;
    int timeOutSecs = 0;
    TUlmexIconType icon = UlmexMB_IconInformation;
    TUlmexDefaultButtonType defaultButton = Ulmex_DefaultButton1;
    TUlmexButtonsType buttons = UlmexMB_OK;
};

// Results: 1 left button, -1 right button, -2 time-out / unattended / no answer.
int UlmexMsgBox(const QString& title, const QString& centredText, const QString& leftText,
                bool autoSizeWidth = false, int timeOutSecs = 0,
                TUlmexIconType icon = UlmexMB_IconInformation,
                TUlmexDefaultButtonType defaultButton = Ulmex_DefaultButton1,
                TUlmexButtonsType buttons = UlmexMB_OK);

int UlmexMsgBox(const TUlmexMsgArgs& args);

using TUlmexMsgBoxOverride = std::function<int(
    const QString& title, const QString& centredText, const QString& leftText, bool autoSizeWidth,
    int timeOutSecs, TUlmexIconType icon, TUlmexDefaultButtonType defaultButton,
    TUlmexButtonsType buttons, void* context)>;
struct TUlmexMsgBoxOverrideSlot {
    TUlmexMsgBoxOverride fn;
    void* context = nullptr;
};
extern TUlmexMsgBoxOverrideSlot g_UlmexMsgBox_Override;

// True when VRQ_UNATTENDED=1: boxes log their texts and return -2 at once.
bool UnattendedMode_b();

// Catalogued messages.
// 0x01, n in decimal, a blank: refers to caller field n (0-based) inside a composed text.
QString MsgFieldMarker(int n);
QString MsgInsertFields(const QString& text, const QStringList& fields, int highestIndex);
// Text k-1 for table entry k of element elementNumber (empty for entry 0), preceded by CR LF;
// "[MSG ELEMENT n]" when the element or its text does not exist.
QString MsgElement(const QList<int>& elements, int highestIndex, int elementNumber,
                   const QStringList& texts, int highestTextIndex);
// Shows catalogued message messageNumber; fields are the caller's values (highest index =
// fields.size() - 1).
int MsgCatalogBox(int messageNumber, int timeOutSecs, const QStringList& fields);
int MsgTextsBox(TUlmexIconType icon, const QStringList& texts, int highestIndex);
// The box MsgCatalogBox would show; false for an unknown number (args then hold the
// "Ulmex Message Box" notice).
bool MsgCatalogCompose_b(int messageNumber, int timeOutSecs, const QStringList& fields,
                         TUlmexMsgArgs& args);
// Every catalogued number, in ascending order.
QList<int> MsgCatalogNumbers();
