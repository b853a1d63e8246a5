#include "NamedMutex.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString TNamedMutex::LockFilePath(const QString& name) {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QStringLiteral("/tmp");
    QString safe = name;
    for (QChar& c : safe)
        if (c == u'/' || c == u'\\' || c == u':' || c.isSpace())
            c = u'_';
    return folder + QStringLiteral("/vrq-mutex-") + safe + QStringLiteral(".lock");
}

TNamedMutex::TNamedMutex(const QString& name) : m_name(name) {
    const QByteArray path = QFile::encodeName(LockFilePath(name));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        m_lastError = errno;
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_owner = true;
        m_lastError = 0;
    } else {
        m_lastError = errno == EWOULDBLOCK ? ERROR_ALREADY_EXISTS : errno;
    }
}

TNamedMutex::~TNamedMutex() {
    if (m_fd >= 0) {
        if (m_owner)
            ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
}
