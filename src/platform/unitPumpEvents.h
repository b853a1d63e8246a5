#pragma once
// Waits that keep the calling thread's events flowing, so that a message dispatched on the same
// connection (an escape, a beacon answer) is handled during the wait.

#include <atomic>
#include <functional>

// Processes events until done() is true or timeoutMs passed; returns done().
bool PumpEventsUntil(const std::function<bool()>& done, int timeoutMs, int sliceMs = 20);

// A thread's waits end early once the flag its worker registered here is set (a close request).
void SetThreadAbortFlag(const std::atomic<bool>* flag);
bool ThreadAbortRequested();
