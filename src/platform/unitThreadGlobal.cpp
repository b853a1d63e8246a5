#include "unitThreadGlobal.h"

#include "DateTime.h"
#include "Errors.h"
#include "unitUtils.h"

#include <chrono>

namespace {
constexpr auto kLockWait = std::chrono::milliseconds(1000);
}

TThreadGlobalList::TThreadGlobalList()
    : m_mutexName(QStringLiteral("THREAD_LOCKLIST_MUTEX_NAME_") +
                  QString::number(Ulmex_GetCurrentThreadID()) + u'_' +
                  FormatDateTime(QStringLiteral("yyyymmddhhnnsszzz"), TDateTime::Now())) {}

TThreadGlobalList::~TThreadGlobalList() {
    std::unique_lock lock(m_mutex, kLockWait);
    // Last to first, as they were added.
    while (!m_records.isEmpty())
        m_records.erase(std::prev(m_records.end()));
}

bool TThreadGlobalList::Register(int64_t threadID) {
    std::unique_lock lock(m_mutex, kLockWait);
    if (!lock.owns_lock() || m_records.contains(threadID))
        return false;
    m_records.insert(threadID, std::make_shared<TThreadGlobal>());
    return true;
}

TThreadGlobal* TThreadGlobalList::Find(int64_t threadID, bool mustExist) {
    TThreadGlobal* found = nullptr;
    {
        std::unique_lock lock(m_mutex, kLockWait);
        if (lock.owns_lock()) {
            const auto it = m_records.constFind(threadID);
            if (it != m_records.constEnd())
                found = it->get();
        }
    }
    if (!found && mustExist)
        throw EUlmex(QStringLiteral("Could not find ") + QString::number(threadID) +
                     QStringLiteral("\r\nTThreadGlobal object is not assigned!"));
    return found;
}

TThreadGlobalList& ThreadGlobalList() {
    static TThreadGlobalList list;
    return list;
}
