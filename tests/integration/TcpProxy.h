#pragma once
// A loopback TCP forwarder a test can cut: stopping it closes every forwarded connection and the
// listening socket, as if the server behind it had gone; listening again brings it back on the
// same port.

#include <QtGlobal>
#include <atomic>
#include <thread>

class TTcpProxy {
public:
    explicit TTcpProxy(quint16 upstreamPort);
    ~TTcpProxy();
    TTcpProxy(const TTcpProxy&) = delete;
    TTcpProxy& operator=(const TTcpProxy&) = delete;

    // Listens on 127.0.0.1 (a free port the first time, the same one afterwards).
    bool Listen();
    // Stops listening and cuts every forwarded connection; returns when they are closed.
    void Stop();
    quint16 Port() const { return m_port; }
    // Connections forwarded since construction.
    int Accepted() const { return m_accepted; }

private:
    void run(int listenFd);

    quint16 m_upstream;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    std::thread m_thread;
};
