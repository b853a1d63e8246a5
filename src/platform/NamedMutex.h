#pragma once
// Named mutexes as exclusive non-blocking flock locks on a file named after the mutex in
// $XDG_RUNTIME_DIR (else /tmp). The kernel drops the lock when the holder dies.

#include <QString>

constexpr int ERROR_ALREADY_EXISTS = 183;

class TNamedMutex {
public:
    // Creates (opens) the mutex; LastError() is 183 when another process holds it.
    explicit TNamedMutex(const QString& name);
    ~TNamedMutex();
    TNamedMutex(const TNamedMutex&) = delete;
    TNamedMutex& operator=(const TNamedMutex&) = delete;

    // The handle exists (the lock file could be opened).
    bool IsValid() const { return m_fd >= 0; }
    // This object holds the lock.
    bool IsOwner() const { return m_owner; }
    int LastError() const { return m_lastError; }
    QString Name() const { return m_name; }
    static QString LockFilePath(const QString& name);

private:
    QString m_name;
    int m_fd = -1;
    bool m_owner = false;
    int m_lastError = 0;
};
