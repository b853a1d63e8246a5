#include "UlmexETimer.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <mutex>

namespace {

std::mutex g_clockLock;
TUlmexClock g_clock;
std::atomic<int64_t> g_lastInput{0};
int g_timerCount = 0; // main thread only

// Stands in for the keyboard and mouse hooks: sees every input event of the application.
class TInputRecorder : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
            NoteUserInput();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};

QPointer<TInputRecorder> g_recorder;

} // namespace

void SetUlmexClock(TUlmexClock clock) {
    const std::lock_guard<std::mutex> lock(g_clockLock);
    g_clock = std::move(clock);
}

int64_t UlmexClockNow() {
    {
        const std::lock_guard<std::mutex> lock(g_clockLock);
        if (g_clock)
            return g_clock();
    }
    return QDateTime::currentMSecsSinceEpoch();
}

int64_t LastUserInputTime() {
    return g_lastInput.load();
}

void NoteUserInput() {
    g_lastInput.store(UlmexClockNow());
}

int UlmexETimerCount() {
    return g_timerCount;
}

TUlmexETimer::TUlmexETimer(QObject* parent) : QTimer(parent), m_reference(UlmexClockNow()) {
    ++g_timerCount;
    QCoreApplication* app = QCoreApplication::instance();
    if (g_timerCount == 1 && app && !g_recorder && QThread::currentThread() == app->thread()) {
        g_recorder = new TInputRecorder(app);
        app->installEventFilter(g_recorder);
    }
}

TUlmexETimer::~TUlmexETimer() {
    --g_timerCount;
    if (g_timerCount == 0 && g_recorder) {
        QCoreApplication::instance()->removeEventFilter(g_recorder);
        delete g_recorder.data();
    }
}

void TUlmexETimer::SetSnoozeSecs(int secs) {
    m_snoozeSecs = secs;
    if (secs > 0)
        setInterval(secs * 1000);
}

int64_t TUlmexETimer::ElapsedMs() {
    const int64_t input = LastUserInputTime();
    if (m_reference < input)
        m_reference = input;
    // A clock set back must not make the window wait longer than one period.
    return qMax<int64_t>(0, UlmexClockNow() - m_reference);
}

void TUlmexETimer::Reset() {
    m_reference = UlmexClockNow();
}

bool TUlmexETimer::Expired() {
    const int64_t elapsedSecs = ElapsedMs() / 1000;
    if (elapsedSecs >= m_snoozeSecs) {
        Reset();
        return true;
    }
    setInterval(int(m_snoozeSecs - elapsedSecs) * 1000);
    return false;
}
