#include "unitStationSocket.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
bool transient(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}
} // namespace

TStationSocket::TStationSocket(qintptr descriptor, QObject* parent)
    : QObject(parent), m_fd(int(descriptor)) {}

TStationSocket::~TStationSocket() {
    // The notifiers go before the descriptor they watch.
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TStationSocket::Open(QString* error) {
    const int flags = m_fd >= 0 ? ::fcntl(m_fd, F_GETFL) : -1;
    if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_readNotifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &TStationSocket::OnReadable);
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &TStationSocket::OnWritable);
    m_connected = true;
    return true;
}

bool TStationSocket::Write(const QByteArray& bytes) {
    if (!m_connected)
        return false;
    qsizetype done = 0;
    if (m_pending.isEmpty()) {
        const ssize_t n = ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
        if (n < 0 && !transient(errno)) {
            Lost();
            return false;
        }
        done = std::max<qsizetype>(n, 0);
        if (done == bytes.size())
            return true;
    }
    if (Pending() + bytes.size() - done > kMaxPending) {
        Lost();
        return false;
    }
    m_pending.append(bytes.constData() + done, bytes.size() - done);
    m_writeNotifier->setEnabled(true);
    return true;
}

void TStationSocket::OnReadable() {
    // Only the pages a receive writes are touched, so a small request costs one page.
    char buffer[kReadSize];
    const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (n > 0) {
        Q_EMIT Received(QByteArray(buffer, qsizetype(n)));
        return;
    }
    if (n < 0 && transient(errno))
        return;
    Lost(); // closed by the peer, or reset
}

void TStationSocket::OnWritable() {
    const ssize_t n = ::send(m_fd, m_pending.constData() + m_sent, size_t(Pending()), MSG_NOSIGNAL);
    if (n < 0) {
        if (!transient(errno))
            Lost();
        return;
    }
    m_sent += qsizetype(n);
    if (Pending() == 0) {
        m_pending.clear();
        m_sent = 0;
        m_writeNotifier->setEnabled(false);
    } else if (m_sent > m_pending.size() / 2) {
        // Sent bytes are dropped now and then, not after every send.
        m_pending.remove(0, m_sent);
        m_sent = 0;
    }
}

void TStationSocket::Lost() {
    if (!m_connected)
        return;
    m_connected = false;
    m_pending.clear();
    m_sent = 0;
    // The station sees the end now, even while this worker is still busy.
    ::shutdown(m_fd, SHUT_RDWR);
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    Q_EMIT Disconnected();
}
