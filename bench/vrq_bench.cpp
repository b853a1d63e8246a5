// Station round trips against a real Halvex_VRQ, compared with a bare TCP echo server measured
// in the same run. Prints one table; every loop is bounded in count and time; loopback only.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int connectLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// Reads until the buffer ends with `until` (or holds n bytes); false on time-out or close.
bool readUntil(int fd, std::string& buf, char until, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!buf.empty() && buf.back() == until)
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(left)) <= 0)
            return false;
        char tmp[4096];
        const ssize_t n = ::recv(fd, tmp, sizeof tmp, 0);
        if (n <= 0)
            return false;
        buf.append(tmp, size_t(n));
    }
}

// A bare echo server, one thread per connection, as the reference.
class EchoServer {
public:
    EchoServer() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_fd, 1024);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_accept = std::thread([this] {
            for (;;) {
                const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (c < 0)
                    return;
                const int one = 1;
                ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                // Greets like the server so that clients run the same code.
                ::send(c, "CHN=echo", 8, MSG_NOSIGNAL);
                std::thread([c] {
                    char buf[4096];
                    for (;;) {
                        const ssize_t n = ::recv(c, buf, sizeof buf, 0);
                        if (n <= 0)
                            break;
                        ::send(c, buf, size_t(n), MSG_NOSIGNAL);
                    }
                    ::close(c);
                }).detach();
            }
        });
    }
    ~EchoServer() {
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_accept.join();
    }
    uint16_t Port() const { return m_port; }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
    std::thread m_accept;
};

struct RunResult {
    double medianUs = 0, p99Us = 0, rps = 0;
    long sent = 0, answered = 0;
};

double percentile(std::vector<double>& v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// `stations` clients each send `perStation` requests back to back.
RunResult roundTrips(uint16_t port, int stations, int perStation, const std::string& request,
                     int timeLimitMs) {
    std::vector<std::vector<double>> lat(static_cast<size_t>(stations));
    std::atomic<long> sent{0}, answered{0};
    const auto stop = Clock::now() + std::chrono::milliseconds(timeLimitMs);
    std::vector<std::thread> threads;
    const auto t0 = Clock::now();
    for (int s = 0; s < stations; ++s)
        threads.emplace_back([&, s] {
            const int fd = connectLoopback(port);
            if (fd < 0)
                return;
            std::string greet;
            readUntil(fd, greet, '\xff', 300); // the greeting has no terminator
            for (int i = 0; i < perStation && Clock::now() < stop; ++i) {
                const auto a = Clock::now();
                ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
                ++sent;
                std::string reply;
                if (!readUntil(fd, reply, '\x03', 5000))
                    break;
                ++answered;
                lat[size_t(s)].push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - a).count());
            }
            ::close(fd);
        });
    for (auto& t : threads)
        t.join();
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    std::vector<double> all;
    for (auto& v : lat)
        all.insert(all.end(), v.begin(), v.end());
    RunResult r;
    r.sent = sent;
    r.answered = answered;
    r.rps = double(answered) / secs;
    r.medianUs = percentile(all, 0.5);
    r.p99Us = percentile(all, 0.99);
    return r;
}

long rssKiB(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

void raiseFileLimit() {
    rlimit r{};
    if (::getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur < r.rlim_max) {
        r.rlim_cur = std::min<rlim_t>(r.rlim_max, 65536);
        ::setrlimit(RLIMIT_NOFILE, &r);
    }
}

uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    raiseFileLimit();
    const QString bin = QCoreApplication::applicationDirPath();
    QTemporaryDir work;
    const uint16_t port = freePort();
    const QString site = work.filePath(QStringLiteral("site"));

    QProcess init;
    init.start(bin + QStringLiteral("/vrq_initdb"),
               {QStringLiteral("--site"), site, QStringLiteral("--port"), QString::number(port)});
    if (!init.waitForFinished(120000) || init.exitCode() != 0) {
        std::fprintf(stderr, "bench: vrq_initdb failed: %s\n", init.readAllStandardError().constData());
        return 1;
    }
    {
        QFile ini(work.filePath(QStringLiteral("halvex.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write(QStringLiteral("[Database]\r\nLinkPath=%1/\r\n").arg(site).toLocal8Bit());
    }
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HALVEX_WORK_FOLDER"), work.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VRQ_UNATTENDED"), QStringLiteral("1"));
    server.setProcessEnvironment(env);
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(bin + QStringLiteral("/Halvex_VRQ"), {QStringLiteral("/MAXIMIZE")});
    int probe = -1;
    for (int i = 0; i < 300 && probe < 0; ++i) {
        probe = connectLoopback(port);
        if (probe < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (probe < 0) {
        std::fprintf(stderr, "bench: Halvex_VRQ did not listen on %u\n", port);
        server.kill();
        return 1;
    }
    ::close(probe);

    EchoServer echo;
    const std::string link = "\x02strAction=LINK\r\n\x03";
    const std::string datetime = "\x02strAction=DATETIMEREQUEST\r\n\x03";
    const std::string serial = "\x02strAction=NEXTSERIALNUM\r\n\x03";

    std::printf("| benchmark | stations | median us | p99 us | req/s | lost | echo median us | ratio |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (int stations : {1, 16, 64}) {
        const int per = stations == 1 ? 2000 : 20000 / stations;
        const RunResult e = roundTrips(echo.Port(), stations, per, link, 20000);
        for (const auto& [name, req] : {std::pair{"LINK", link}, std::pair{"DATETIMEREQUEST", datetime}}) {
            const RunResult r = roundTrips(port, stations, per, req, 20000);
            std::printf("| %s | %d | %.0f | %.0f | %.0f | %ld | %.0f | %.2f |\n", name, stations,
                        r.medianUs, r.p99Us, r.rps, r.sent - r.answered, e.medianUs,
                        e.medianUs > 0 ? r.medianUs / e.medianUs : 0.0);
        }
    }

    // Capacity: 1000 stations at once, each sending LINK once a second for a few seconds.
    {
        const long before = rssKiB(server.processId());
        constexpr int n = 1000;
        std::vector<int> fds;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i) {
            const int fd = connectLoopback(port);
            if (fd >= 0)
                fds.push_back(fd);
        }
        const double acceptSecs = t.elapsed() / 1000.0;
        for (int fd : fds) {
            std::string g;
            readUntil(fd, g, '\xff', 50);
        }
        std::vector<double> lat;
        long lost = 0;
        for (int round = 0; round < 3; ++round) {
            const auto roundStart = Clock::now();
            for (int fd : fds) {
                const auto a = Clock::now();
                ::send(fd, link.data(), link.size(), MSG_NOSIGNAL);
                std::string reply;
                if (readUntil(fd, reply, '\x03', 5000))
                    lat.push_back(std::chrono::duration<double, std::micro>(Clock::now() - a).count());
                else
                    ++lost;
            }
            std::this_thread::sleep_until(roundStart + std::chrono::seconds(1));
        }
        const long during = rssKiB(server.processId());
        std::printf("| capacity | %zu | %.0f | %.0f | %.0f accepts/s | %ld | RSS/conn %.1f KiB | |\n",
                    fds.size(), percentile(lat, 0.5), percentile(lat, 0.99),
                    double(fds.size()) / std::max(acceptSecs, 1e-6), lost,
                    double(during - before) / double(std::max<size_t>(fds.size(), 1)));
        for (int fd : fds)
            ::close(fd);
    }

    // Serial numbers: every number distinct.
    for (int stations : {1, 8}) {
        std::mutex m;
        QSet<QByteArray> seen;
        long dup = 0;
        std::atomic<long> total{0};
        std::vector<std::thread> threads;
        const auto t0 = Clock::now();
        for (int s = 0; s < stations; ++s)
            threads.emplace_back([&] {
                const int fd = connectLoopback(port);
                std::string g;
                readUntil(fd, g, '\xff', 200);
                for (int i = 0; i < 2000 / stations; ++i) {
                    ::send(fd, serial.data(), serial.size(), MSG_NOSIGNAL);
                    std::string reply;
                    if (!readUntil(fd, reply, '\x03', 5000))
                        break;
                    const size_t at = reply.find("strRecv=");
                    const QByteArray n = QByteArray::fromStdString(reply.substr(at + 8)).split('\r').value(0);
                    const std::lock_guard lock(m);
                    if (seen.contains(n))
                        ++dup;
                    seen.insert(n);
                    ++total;
                }
                ::close(fd);
            });
        for (auto& t : threads)
            t.join();
        const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
        std::printf("| NEXTSERIALNUM embedded | %d | | | %.0f | %ld duplicates | | |\n", stations,
                    double(total) / secs, dup);
    }

    server.terminate();
    if (!server.waitForFinished(30000))
        server.kill();
    return 0;
}
