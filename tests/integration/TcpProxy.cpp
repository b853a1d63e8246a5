#include "TcpProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

sockaddr_in loopback(quint16 port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A peer that stops reading must not hold the forwarding thread for ever.
void boundWrites(int fd) {
    const timeval t{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
}

bool writeAll(int fd, const char* p, ssize_t n) {
    while (n > 0) {
        const ssize_t w = ::send(fd, p, size_t(n), MSG_NOSIGNAL);
        if (w <= 0)
            return false;
        p += w;
        n -= w;
    }
    return true;
}

void cut(int fd) {
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

} // namespace

TTcpProxy::TTcpProxy(quint16 upstreamPort) : m_upstream(upstreamPort) {}

TTcpProxy::~TTcpProxy() {
    Stop();
}

bool TTcpProxy::Listen() {
    if (m_thread.joinable())
        return true;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in a = loopback(m_port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return false;
    }
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_stop = false;
    m_thread = std::thread([this, fd] { run(fd); });
    return true;
}

void TTcpProxy::Stop() {
    if (!m_thread.joinable())
        return;
    m_stop = true;
    m_thread.join();
}

void TTcpProxy::run(int listenFd) {
    struct Pair {
        int a, b;
    };
    std::vector<Pair> pairs;
    std::vector<char> buf(64 * 1024);
    while (!m_stop) {
        std::vector<pollfd> fds{{listenFd, POLLIN, 0}};
        for (const Pair& p : pairs) {
            fds.push_back({p.a, POLLIN, 0});
            fds.push_back({p.b, POLLIN, 0});
        }
        if (::poll(fds.data(), nfds_t(fds.size()), 50) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                const int up = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                const sockaddr_in a = loopback(m_upstream);
                if (up >= 0 &&
                    ::connect(up, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) {
                    boundWrites(client);
                    boundWrites(up);
                    pairs.push_back({client, up});
                    ++m_accepted;
                } else {
                    if (up >= 0)
                        ::close(up);
                    cut(client);
                }
            }
        }
        // Pairs added above have no entry in fds yet; they are polled next round.
        std::vector<Pair> kept;
        for (size_t i = 0; i + 1 < fds.size(); i += 2) {
            const Pair p = pairs[i / 2];
            bool alive = true;
            for (const auto& [from, to, ev] : {std::tuple{p.a, p.b, fds[i + 1].revents},
                                               std::tuple{p.b, p.a, fds[i + 2].revents}}) {
                if (!alive || !(ev & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t n = ::recv(from, buf.data(), buf.size(), 0);
                alive = n > 0 && writeAll(to, buf.data(), n);
            }
            if (alive) {
                kept.push_back(p);
            } else {
                cut(p.a);
                cut(p.b);
            }
        }
        for (size_t i = (fds.size() - 1) / 2; i < pairs.size(); ++i)
            kept.push_back(pairs[i]);
        pairs.swap(kept);
    }
    for (const Pair& p : pairs) {
        cut(p.a);
        cut(p.b);
    }
    ::close(listenFd);
}
