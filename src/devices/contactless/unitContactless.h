#pragma once
// Interface type 3 of a connection: opening the reader (COMLINK) and the device transaction
// commands 1 (status), 2 (version), 3 and 33 (card read), 4 (card write), all card work under
// the process-wide contactless lock.

#include "THalvexError.h"
#include "unitRFID.h"

#include <QByteArray>
#include <atomic>

inline constexpr int CARD_WAIT_ATTEMPTS = 14;
inline constexpr int CARD_WAIT_PAUSE_MS = 500;
inline constexpr int CONTACTLESS_LOCK_TIMEOUT_MS = 60000;

inline const QByteArray CONTACTLESS_STATUS_ANSWER = "320010010000000BBE00001127A11127A1";
inline const QByteArray CONTACTLESS_WRITTEN_ANSWER = "39001001000";
inline const QByteArray CONTACTLESS_NO_CARD_ANSWER = "3A00100100000036002";
inline const QByteArray CONTACTLESS_FAILED_ANSWER = "3A00100100000036021";
inline const QByteArray CONTACTLESS_WRITE_FAILED_PREFIX = "3A00100100000036";
inline const QByteArray CONTACTLESS_READ_PREFIX = "4300100100030517";

// One contactless read or write at a time in the whole process. A thread that already holds it
// (a request dispatched during its own card wait) is refused instead of deadlocking.
class TContactlessLock {
public:
    bool Acquire(int timeoutMs, const std::atomic<bool>* escape = nullptr);
    void Release();
    bool HeldByThisThread() const;
    // Threads waiting for the lock.
    int Waiting() const;
};
TContactlessLock& ContactlessLock();

// COMLINK: reset the driver and open reader port |port| - 1.
bool ContactlessComInit(TACR_PROX& prox, int port, THalvexError& error);

// DEVICETRANSACTION for interface type 3; answer and the in/out fields filled.
bool ContactlessTransaction(TACR_PROX& prox, int command, const QByteArray& data,
                            QByteArray& addlInfo, QByteArray& variableInfo, QByteArray& track2,
                            QByteArray& elevator, QByteArray& answer, THalvexError& error,
                            const std::atomic<bool>& escape);

// Up to 14 selections 500 ms apart (the driver's pause) until a card other than serial answers;
// an escape ends the wait early. On failure the answer is the no-card text (not yet framed).
bool WaitForCard(TACR_PROX& prox, QByteArray& answer, QString& serial, int& cardType,
                 const std::atomic<bool>* escape = nullptr);

bool ACR120Read(TACR_PROX& prox, int mode, QByteArray& answer, QByteArray& elevator,
                QByteArray& track2, QByteArray& variableInfo, THalvexError& error,
                const std::atomic<bool>* escape = nullptr);
bool ACR120Write(TACR_PROX& prox, const QByteArray& data, const QByteArray& variableInfo,
                 QByteArray& addlInfo, QByteArray& answer, const QByteArray& elevator,
                 const QByteArray& track2, THalvexError& error,
                 const std::atomic<bool>* escape = nullptr);
