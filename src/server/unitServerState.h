#pragma once
// Server-wide state the connection workers share.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <mutex>

class TClientThread;

// The database flag holder: a connection, nobody, or the server itself.
namespace DBFlag {
// Stands for the server while the logon check and the log-off run; shown as 00000001.
TClientThread* const ServerSentinel = reinterpret_cast<TClientThread*>(uintptr_t(1));
} // namespace DBFlag

struct TServerState {
    std::mutex flagLock;
    std::mutex serialLock;
    std::mutex innerRangeFileLock;
    std::mutex genericFileLock;

    // The worker thread object lives until the main thread has removed its connection.
    std::atomic<TClientThread*> flagHolder{nullptr};
    // "Success" for LINK while listening.
    std::atomic<bool> linkAnswer{true};
};

TServerState& ServerState();
