#include "unitPumpEvents.h"

#include <QDeadlineTimer>
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
        QEventLoop loop;
        QTimer::singleShot(int(std::min<qint64>(sliceMs, left < 0 ? sliceMs : left)), &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
