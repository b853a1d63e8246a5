#include "UlmexMsgBox.h"

#include "formUlmexMsg.h"
#include "unitTrace.h"

#include <QApplication>
#include <QThread>

TUlmexMsgBoxOverrideSlot g_UlmexMsgBox_Override;

bool UnattendedMode_b() {
    return qgetenv("VRQ_UNATTENDED").trimmed() == "1";
}

namespace {

int ShowBox(const TUlmexMsgArgs& args) {
    TfrmUlmexMsg form;
    form.SetUp(args);
    form.setModal(true);
    return form.exec();
}

} // namespace

int UlmexMsgBox(const TUlmexMsgArgs& args) {
    if (g_UlmexMsgBox_Override.fn)
        return g_UlmexMsgBox_Override.fn(
            args.title, args.centredText, args.leftText, args.autoSizeWidth, args.timeOutSecs,
            args.icon, args.defaultButton, args.buttons, g_UlmexMsgBox_Override.context);
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (UnattendedMode_b() || !app) {
        DebugLog(QStringLiteral("UlmexMsgBox (unattended): ") + args.title +
                 QStringLiteral("\r\n") + args.centredText + QStringLiteral("\r\n") +
                 args.leftText);
        return -2;
    }
    if (QThread::currentThread() != app->thread()) {
        // Windows live in the main thread; a worker waits there for the answer.
        int result = -2;
        QMetaObject::invokeMethod(
            app, [&args]() { return ShowBox(args); }, Qt::BlockingQueuedConnection, &result);
        return result;
    }
    return ShowBox(args);
}

int UlmexMsgBox(const QString& title, const QString& centredText, const QString& leftText,
                bool autoSizeWidth, int timeOutSecs, TUlmexIconType icon,
                TUlmexDefaultButtonType defaultButton, TUlmexButtonsType buttons) {
    TUlmexMsgArgs args;
    args.title = title;
    args.centredText = centredText;
    args.leftText = leftText;
    args.autoSizeWidth = autoSizeWidth;
    args.timeOutSecs = timeOutSecs;
    args.icon = icon;
    args.defaultButton = defaultButton;
    args.buttons = buttons;
    return UlmexMsgBox(args);
}
