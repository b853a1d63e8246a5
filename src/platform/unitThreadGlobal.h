#pragma once
// Per-thread scratch records keyed by the thread number.

#include <QMap>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

struct TThreadGlobal {
    int64_t intValue = 0;
    QString strValue;
    int64_t intValue1 = 0;
    int64_t intValue2 = 0;
    int64_t intValue3 = 0;
    std::array<int64_t, 11> intValues{};
    std::array<QString, 11> strValues{};
};

class TThreadGlobalList {
public:
    TThreadGlobalList();
    ~TThreadGlobalList();
    // Adds a record for the thread number when none exists; true when one was added.
    bool Register(int64_t threadID);
    // The record, or nullptr; mustExist throws EUlmex("TThreadGlobal object is not assigned!").
    TThreadGlobal* Find(int64_t threadID, bool mustExist = false);
    QString MutexName() const { return m_mutexName; }

private:
    QString m_mutexName;
    std::timed_mutex m_mutex;
    QMap<int64_t, std::shared_ptr<TThreadGlobal>> m_records;
};

// The process-wide list, created at program start with a record for the main thread.
TThreadGlobalList& ThreadGlobalList();
