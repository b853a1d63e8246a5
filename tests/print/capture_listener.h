#pragma once
// A printer's socket end on 127.0.0.1: every connection the scheduler's socket backend opens is
// one job, kept byte for byte.

#include <QByteArray>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace print_test {

class CaptureListener {
public:
    CaptureListener() = default;
    CaptureListener(const CaptureListener&) = delete;
    CaptureListener& operator=(const CaptureListener&) = delete;
    ~CaptureListener() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool Start() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0)
            return false;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        socklen_t len = sizeof addr;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(m_fd, 8) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return false;
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Run(); });
        return true;
    }
    int Port() const { return m_port; }

    // The jobs received so far once there are at least n, or what came within timeoutMs.
    std::vector<QByteArray> WaitForJobs(size_t n, int timeoutMs) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return m_jobs.size() >= n; });
        return m_jobs;
    }

private:
    void Run() {
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const int conn = ::accept(m_fd, nullptr, nullptr);
            if (conn < 0)
                continue;
            QByteArray job;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!m_stop && std::chrono::steady_clock::now() < deadline &&
                   job.size() < 64 * 1024 * 1024) {
                pollfd c{conn, POLLIN, 0};
                if (::poll(&c, 1, 100) <= 0)
                    continue;
                char buf[16384];
                const ssize_t got = ::recv(conn, buf, sizeof buf, 0);
                if (got <= 0)
                    break;
                job.append(buf, got);
            }
            ::close(conn);
            {
                std::lock_guard lock(m_mutex);
                m_jobs.push_back(job);
            }
            m_changed.notify_all();
        }
    }

    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<QByteArray> m_jobs;
};

} // namespace print_test
