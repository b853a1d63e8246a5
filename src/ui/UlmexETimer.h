#pragma once
// Idle timer: ticks when no keyboard or mouse input came for SnoozeSecs seconds.

#include <QTimer>
#include <cstdint>
#include <functional>

// Milliseconds on a continuous scale; replaceable so that tests need not wait for real periods.
using TUlmexClock = std::function<int64_t()>;
void SetUlmexClock(TUlmexClock clock); // empty: the system clock
int64_t UlmexClockNow();

// The time of the last keyboard or mouse input seen by the application-wide recorder.
int64_t LastUserInputTime();
// Records input now (the recorder calls it; tests use it to simulate input).
void NoteUserInput();
// Number of existing idle timers (the recorder exists while it is above 0).
int UlmexETimerCount();

class TUlmexETimer : public QTimer {
    Q_OBJECT
    Q_PROPERTY(int SnoozeSecs READ SnoozeSecs WRITE SetSnoozeSecs)

public:
    explicit TUlmexETimer(QObject* parent = nullptr);
    ~TUlmexETimer() override;

    int SnoozeSecs() const { return m_snoozeSecs; }
    // A value above 0 also sets the interval to SnoozeSecs x 1000 ms.
    void SetSnoozeSecs(int secs);

    // Milliseconds since the later of the last reset and the last input.
    int64_t ElapsedMs();
    void Reset();
    // True (and reset) when the idle period has passed; otherwise the next tick is moved to the
    // end of the period.
    bool Expired();

    int64_t ReferenceTime() const { return m_reference; }

private:
    int m_snoozeSecs = 0;
    int64_t m_reference = 0;
};
