#include "unitContactless.h"

#include "Errors.h"
#include "unitPumpEvents.h"
#include "unitTrace.h"

#include <QApplication>
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
constexpr char STX = 0x02;
constexpr char ETX = 0x03;

// The contactless lock hands the reader to its waiters in the order they came, so a station
// that asks again and again cannot keep it from the others.
struct TLockState {
    std::mutex mutex;
    std::condition_variable cv;
    bool held = false;
    std::thread::id owner;
    std::deque<std::thread::id> waiting;
};
TLockState& lockState() {
    static TLockState s;
    return s;
}

QByteArray framed(const QByteArray& answer) {
    return answer.isEmpty() ? answer : STX + answer + ETX;
}

// Holds the contactless lock for a scope; the driver's pause of 200 ms comes before release.
class TLockHold {
public:
    TLockHold(TACR_PROX& prox, const std::atomic<bool>* escape) : m_prox(prox) {
        m_held = ContactlessLock().Acquire(CONTACTLESS_LOCK_TIMEOUT_MS, escape);
    }
    ~TLockHold() {
        if (!m_held)
            return;
        try {
            m_prox.Pause(200);
        } catch (...) {
        }
        ContactlessLock().Release();
    }
    bool Held() const { return m_held; }
    TLockHold(const TLockHold&) = delete;
    TLockHold& operator=(const TLockHold&) = delete;

private:
    TACR_PROX& m_prox;
    bool m_held = false;
};

void informationBeep() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMetaObject::invokeMethod(
            app, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

bool keysMissing(const TACR_PROX& prox, THalvexError& error, const QString& step) {
    if (prox.KeysAvailable_b())
        return false;
    error.Record(-99, {step, prox.KeysProblem_str()});
    return true;
}
} // namespace

bool TContactlessLock::Acquire(int timeoutMs, const std::atomic<bool>* escape) {
    TLockState& s = lockState();
    std::unique_lock lock(s.mutex);
    const std::thread::id me = std::this_thread::get_id();
    if (s.held && s.owner == me)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    s.waiting.push_back(me);
    while (s.held || s.waiting.front() != me) {
        if ((escape && escape->load()) || ThreadAbortRequested() ||
            std::chrono::steady_clock::now() >= deadline) {
            s.waiting.erase(std::find(s.waiting.begin(), s.waiting.end(), me));
            lock.unlock();
            s.cv.notify_all(); // the next in line may be free to go now
            return false;
        }
        s.cv.wait_for(lock, std::chrono::milliseconds(50));
    }
    s.waiting.pop_front();
    s.held = true;
    s.owner = me;
    return true;
}

void TContactlessLock::Release() {
    TLockState& s = lockState();
    {
        std::lock_guard lock(s.mutex);
        s.held = false;
        s.owner = {};
    }
    s.cv.notify_all();
}

int TContactlessLock::Waiting() const {
    TLockState& s = lockState();
    std::lock_guard lock(s.mutex);
    return int(s.waiting.size());
}

bool TContactlessLock::HeldByThisThread() const {
    TLockState& s = lockState();
    std::lock_guard lock(s.mutex);
    return s.held && s.owner == std::this_thread::get_id();
}

TContactlessLock& ContactlessLock() {
    static TContactlessLock lock;
    return lock;
}

bool ContactlessComInit(TACR_PROX& prox, int port, THalvexError& error) {
    try {
        prox.Reset();
        if (keysMissing(prox, error, QStringLiteral("Error - Com Init")))
            return false;
        // In 64 bits: the lowest int has no positive counterpart.
        if (prox.Open(int(std::min<int64_t>(std::abs(int64_t(port)) - 1, INT_MAX))))
            return true;
        error.Record(prox.LastResult(), {QStringLiteral("Error - Com Init"), prox.ErrorText()});
        return false;
    } catch (const std::exception& e) {
        error.Record(-99, {QStringLiteral("Error - Com Init"), ExceptionText(e)});
        return false;
    }
}

bool WaitForCard(TACR_PROX& prox, QByteArray& answer, QString& serial, int& cardType,
                 const std::atomic<bool>* escape) {
    const QString previous = serial;
    for (int attempt = 1; attempt <= CARD_WAIT_ATTEMPTS; ++attempt) {
        QString s;
        int type = 0;
        if (prox.Select(s, type) && s != previous) {
            serial = s;
            cardType = type;
            return true;
        }
        if (prox.LastResult() < 0)
            prox.ClearLastResult();
        if (escape && escape->load())
            break;
        prox.Pause(CARD_WAIT_PAUSE_MS);
    }
    answer = CONTACTLESS_NO_CARD_ANSWER;
    return false;
}

bool ACR120Read(TACR_PROX& prox, int mode, QByteArray& answer, QByteArray& elevator,
                QByteArray& track2, QByteArray& variableInfo, THalvexError& error,
                const std::atomic<bool>* escape) {
    answer.clear();
    bool result = false;
    {
        TLockHold hold(prox, escape);
        if (!hold.Held()) {
            error.Record(-99, {QStringLiteral("Error - TClientThread.ACR120Read"),
                               QStringLiteral("The contactless reader is busy")});
            return false;
        }
        try {
            QString serial;
            int cardType = 0;
            if (WaitForCard(prox, answer, serial, cardType, escape)) {
                if (cardType != Acr120::TAG_ULTRALIGHT && !prox.Login()) {
                    answer = CONTACTLESS_FAILED_ANSWER;
                } else {
                    int fKind = 0;
                    QByteArray fText, eText, keyHex;
                    if (prox.Read(cardType, mode, fKind, elevator, track2, variableInfo, fText,
                                  eText, keyHex)) {
                        std::reverse(keyHex.begin(), keyHex.end());
                        answer = CONTACTLESS_READ_PREFIX + keyHex;
                        if (!eText.isEmpty())
                            answer +=
                                "E00" +
                                QByteArray::number(eText.size()).rightJustified(2, '0').right(2) +
                                eText;
                        if (!fText.isEmpty())
                            answer +=
                                'F' +
                                QByteArray::number(fKind, 16).rightJustified(2, '0').toUpper() +
                                "99" + fText;
                        result = true;
                    } else {
                        answer = CONTACTLESS_FAILED_ANSWER;
                    }
                }
                if (!result)
                    DebugLog(QStringLiteral("ACR120Read: ") + prox.ErrorText());
            }
        } catch (const std::exception& e) {
            result = false;
            error.Record(prox.LastResult(),
                         {QStringLiteral("Error - TClientThread.ACR120Read"), ExceptionText(e)});
        }
    }
    answer = framed(answer);
    return result;
}

bool ACR120Write(TACR_PROX& prox, const QByteArray& data, const QByteArray& variableInfo,
                 QByteArray& addlInfo, QByteArray& answer, const QByteArray& elevator,
                 const QByteArray& track2, THalvexError& error, const std::atomic<bool>* escape) {
    answer.clear();
    if (data.size() <= 36 || data[0] != '3')
        return false;
    QByteArray keyHex = data.mid(3, 34);
    std::reverse(keyHex.begin(), keyHex.end());
    QByteArray keyData;
    if (std::all_of(keyHex.begin(), keyHex.end(), [](char c) { return std::isxdigit(uint8_t(c)); }))
        keyData = QByteArray::fromHex(keyHex);

    bool result = false;
    int writeResult = 0;
    {
        TLockHold hold(prox, escape);
        if (!hold.Held()) {
            error.Record(-99, {QStringLiteral("Error - TClientThread.ACR120Write"),
                               QStringLiteral("The contactless reader is busy")});
            return false;
        }
        try {
            QString serial;
            int cardType = 0;
            if (WaitForCard(prox, answer, serial, cardType, escape)) {
                addlInfo = serial.toLatin1() + '^' + QByteArray::number(cardType);
                answer = CONTACTLESS_FAILED_ANSWER;
                if (cardType == Acr120::TAG_ULTRALIGHT || prox.Login()) {
                    prox.Pause(1000);
                    writeResult = prox.Write(cardType, keyData, prox.Settings().UseProxWriteBuzzer,
                                             false, elevator, track2, variableInfo);
                    if (writeResult == 0) {
                        answer = CONTACTLESS_WRITTEN_ANSWER;
                        result = true;
                        informationBeep();
                    } else {
                        answer = CONTACTLESS_WRITE_FAILED_PREFIX +
                                 ("000" + QByteArray::number(writeResult)).right(3);
                    }
                }
                if (!result)
                    DebugLog(QStringLiteral("ACR120Write: ") + prox.ErrorText());
            }
        } catch (const std::exception& e) {
            result = false;
            error.Record(writeResult != 0 ? writeResult : -99,
                         {QStringLiteral("Error - TClientThread.ACR120Write"), ExceptionText(e)});
        }
    }
    answer = framed(answer);
    return result;
}

bool ContactlessTransaction(TACR_PROX& prox, int command, const QByteArray& data,
                            QByteArray& addlInfo, QByteArray& variableInfo, QByteArray& track2,
                            QByteArray& elevator, QByteArray& answer, THalvexError& error,
                            const std::atomic<bool>& escape) {
    answer.clear();
    try {
        switch (command) {
        case 1:
            answer = framed(CONTACTLESS_STATUS_ANSWER);
            return true;
        case 2: {
            QString text;
            const bool ok = prox.Version(text);
            answer = text.toLatin1();
            return ok;
        }
        case 3:
        case 33:
            if (keysMissing(prox, error, QStringLiteral("Error - TClientThread.ACR120Read")))
                return false;
            return ACR120Read(prox, command == 33 ? 1 : 0, answer, elevator, track2, variableInfo,
                              error, &escape);
        case 4:
            if (keysMissing(prox, error, QStringLiteral("Error - TClientThread.ACR120Write")))
                return false;
            return ACR120Write(prox, data, variableInfo, addlInfo, answer, elevator, track2, error,
                               &escape);
        default:
            return false;
        }
    } catch (const std::exception& e) {
        error.Record(-99, {QStringLiteral("Error - Device Transaction"), ExceptionText(e)});
        return false;
    }
}
