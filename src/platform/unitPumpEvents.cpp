#include "unitPumpEvents.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QEventLoop>
#include <QTimer>

namespace {
thread_local const std::atomic<bool>* t_abort = nullptr;
}

void SetThreadAbortFlag(const std::atomic<bool>* flag) { t_abort = flag; }

bool ThreadAbortRequested() { return t_abort && t_abort->load(); }

bool PumpEventsUntil(const std::function<bool()>& done, int timeoutMs, int sliceMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (ThreadAbortRequested())
            return false;
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return done();
        const int slice = int(std::min<qint64>(sliceMs, left < 0 ? sliceMs : left));
        if (!QCoreApplication::instance()) {
            // Without an application object no event loop can run; just wait.
            QThread::msleep(std::max(1, slice));
            continue;
        }
        QEventLoop loop;
        QTimer::singleShot(slice, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
