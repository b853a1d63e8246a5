#include "UlmexMsgBox.h"

#include "formUlmexMsg.h"
#include "unitTrace.h"

#include <QApplication>
#include <QThread>
#include <atomic>

TUlmexMsgBoxOverrideSlot g_UlmexMsgBox_Override;

bool UnattendedMode_b() {
    return qgetenv("VRQ_UNATTENDED").trimmed() == "1";
}

namespace {

// Notices from connection workers on screen or waiting for the main thread.
std::atomic<int> g_workerNotices{0};
constexpr int kMaxWorkerNotices = 8;
struct TNoticeShown {
    TNoticeShown() = default;
    TNoticeShown(const TNoticeShown&) = delete;
    TNoticeShown& operator=(const TNoticeShown&) = delete;
    ~TNoticeShown() { --g_workerNotices; }
};

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
        // Windows live in the main thread. A worker waits there only for a question: a notice
        // is left to the operator while the worker goes on, since it may hold a lock other
        // stations need (the printer, the reader). Notices beyond a few on screen are logged.
        if (args.buttons == UlmexMB_OK) {
            DebugLog(QStringLiteral("UlmexMsgBox (from a connection): ") + args.title +
                     QStringLiteral("\r\n") + args.centredText + QStringLiteral("\r\n") +
                     args.leftText);
            if (g_workerNotices.fetch_add(1) >= kMaxWorkerNotices) {
                --g_workerNotices;
                return -2;
            }
            QMetaObject::invokeMethod(
                app,
                [args]() {
                    const TNoticeShown shown;
                    ShowBox(args);
                },
                Qt::QueuedConnection);
            return -2;
        }
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
