// Station round trips against a real Halvex_VRQ, compared with a bare TCP echo server measured
// in the same run; serial transactions against their wire time; serial numbers embedded and
// through a Firebird server. Prints one table; every loop is bounded in count and time;
// loopback only.
#include "IniFile.h"

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
#include <csignal>
#include <cstdio>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
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
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
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

// A bare echo server, one thread per connection, as the reference. In its own process it pays
// what the server pays (stations and server are separate processes, and a switch between
// address spaces costs several microseconds on a virtual machine); in this process it shows the
// floor. The process variant is made before any other thread exists.
class EchoServer {
public:
    explicit EchoServer(bool ownProcess) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_fd, 1024);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        if (!ownProcess) {
            m_accept = std::thread([fd = m_fd] { serve(fd); });
            return;
        }
        m_child = ::fork();
        if (m_child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            serve(m_fd);
            ::_exit(0);
        }
        ::close(m_fd);
        m_fd = -1;
    }
    ~EchoServer() {
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
            return;
        }
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_accept.join();
    }
    EchoServer(const EchoServer&) = delete;
    EchoServer& operator=(const EchoServer&) = delete;
    uint16_t Port() const { return m_port; }

private:
    static void serve(int listenFd) {
        for (;;) {
            const int c = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
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
    }

    int m_fd = -1;
    uint16_t m_port = 0;
    pid_t m_child = -1;
    std::thread m_accept;
};

struct RunResult {
    std::vector<double> latUs;
    double secs = 0;
    long sent = 0, answered = 0;

    void Add(const RunResult& r) {
        latUs.insert(latUs.end(), r.latUs.begin(), r.latUs.end());
        secs += r.secs;
        sent += r.sent;
        answered += r.answered;
    }
    double Rps() const { return secs > 0 ? double(answered) / secs : 0; }
};

double percentile(std::vector<double> v, double p) {
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
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    Clock::time_point t0;
    for (int s = 0; s < stations; ++s)
        threads.emplace_back([&, s] {
            const int fd = connectLoopback(port);
            std::string greet;
            if (fd >= 0)
                readUntil(fd, greet, '\xff', 300); // the greeting has no terminator
            // Every station starts together, once all are connected.
            ++ready;
            while (!go)
                std::this_thread::yield();
            if (fd < 0)
                return;
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
    while (ready < stations)
        std::this_thread::yield();
    t0 = Clock::now();
    go = true;
    for (auto& t : threads)
        t.join();
    RunResult r;
    r.secs = std::chrono::duration<double>(Clock::now() - t0).count();
    r.sent = sent;
    r.answered = answered;
    for (auto& v : lat)
        r.latUs.insert(r.latUs.end(), v.begin(), v.end());
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

// One Halvex_VRQ on a site, with its own work folder (halvex.ini, logs, lock files).
class TServerRun {
public:
    // Creates the site with vrq_initdb (through `fbServer` when set) in `siteDir`.
    TServerRun(const QString& bin, const QString& siteDir, const QString& fbServer = {})
        : m_bin(bin), m_site(siteDir), m_port(freePort()) {
        QStringList args{QStringLiteral("--site"), m_site, QStringLiteral("--port"),
                         QString::number(m_port)};
        if (!fbServer.isEmpty())
            args << QStringLiteral("--server") << fbServer;
        QProcess init;
        init.start(m_bin + QStringLiteral("/vrq_initdb"), args);
        if (!init.waitForFinished(120000) || init.exitCode() != 0) {
            m_error = QStringLiteral("vrq_initdb failed: ") +
                      QString::fromLocal8Bit(init.readAllStandardError());
            return;
        }
        Ini().WriteString(QStringLiteral("Database"), QStringLiteral("LinkPath"), m_site + u'/');
    }
    ~TServerRun() { Stop(); }

    TIniFile Ini() const { return TIniFile(m_work.filePath(QStringLiteral("halvex.ini"))); }
    bool Start() {
        if (!m_error.isEmpty())
            return false;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HALVEX_WORK_FOLDER"), m_work.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_work.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("VRQ_UNATTENDED"), QStringLiteral("1"));
        m_proc.setProcessEnvironment(env);
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.setStandardOutputFile(QProcess::nullDevice());
        m_proc.start(m_bin + QStringLiteral("/Halvex_VRQ"), {QStringLiteral("/MAXIMIZE")});
        for (int i = 0; i < 300; ++i) {
            const int probe = connectLoopback(m_port);
            if (probe >= 0) {
                ::close(probe);
                return true;
            }
            if (m_proc.state() == QProcess::NotRunning)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        m_error = QStringLiteral("Halvex_VRQ did not listen on %1").arg(m_port);
        return false;
    }
    void Stop() {
        if (m_proc.state() == QProcess::NotRunning)
            return;
        m_proc.terminate();
        if (!m_proc.waitForFinished(30000)) {
            m_proc.kill();
            m_proc.waitForFinished(5000);
        }
    }
    QString DebugText() const {
        QString all;
        for (const QString& f :
             QDir(m_work.path()).entryList({QStringLiteral("DebugLogMessage_*")})) {
            QFile file(m_work.filePath(f));
            if (file.open(QIODevice::ReadOnly))
                all += QString::fromLocal8Bit(file.readAll());
        }
        return all;
    }
    uint16_t Port() const { return m_port; }
    qint64 Pid() const { return m_proc.processId(); }
    const QString& Error() const { return m_error; }

private:
    QTemporaryDir m_work;
    QString m_bin;
    QString m_site;
    uint16_t m_port;
    QProcess m_proc;
    QString m_error;
};

// Sends one framed request and reads its reply; empty on time-out.
std::string request(int fd, const std::string& body, int timeoutMs) {
    const std::string framed = "\x02" + body + "\x03";
    if (::send(fd, framed.data(), framed.size(), MSG_NOSIGNAL) != ssize_t(framed.size()))
        return {};
    std::string reply;
    return readUntil(fd, reply, '\x03', timeoutMs) ? reply : std::string();
}

std::string field(const std::string& reply, const std::string& name) {
    const size_t at = reply.find(name + "=");
    if (at == std::string::npos)
        return {};
    const size_t from = at + name.size() + 1;
    return reply.substr(from, reply.find("\r\n", from) - from);
}

// NEXTSERIALNUM from `stations` connections at once; prints one row.
void serialNumbers(uint16_t port, const char* label, int stations) {
    std::mutex m;
    QSet<QByteArray> seen;
    long dup = 0, failed = 0;
    std::atomic<long> total{0};
    std::vector<std::thread> threads;
    const auto stop = Clock::now() + std::chrono::seconds(60);
    const auto t0 = Clock::now();
    for (int s = 0; s < stations; ++s)
        threads.emplace_back([&] {
            const int fd = connectLoopback(port);
            if (fd < 0)
                return;
            std::string g;
            readUntil(fd, g, '\xff', 200);
            for (int i = 0; i < 2000 / stations && Clock::now() < stop; ++i) {
                const std::string reply = request(fd, "strAction=NEXTSERIALNUM\r\n", 10000);
                const QByteArray n = QByteArray::fromStdString(field(reply, "strRecv"));
                const std::lock_guard lock(m);
                if (reply.empty() || field(reply, "strResult") != "Success" || n.isEmpty()) {
                    ++failed;
                    break;
                }
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
    std::printf("| NEXTSERIALNUM %s | %d | | | %.0f | %ld failed, %ld duplicates of %ld | | |\n",
                label, stations, double(total) / secs, failed, dup, long(total));
}

void serialNumbersSkipped(const char* label, const char* why) {
    for (int stations : {1, 8})
        std::printf("| NEXTSERIALNUM %s | %d | | | skipped (%s) | | | |\n", label, stations, why);
}

// NEXTSERIALNUM through the Firebird server named by VRQ_FB_SERVER, on a site under VRQ_FB_DATA.
void serialNumbersOnServer(const QString& bin) {
    const QString server = qEnvironmentVariable("VRQ_FB_SERVER");
    const QString data = qEnvironmentVariable("VRQ_FB_DATA");
    if (server.isEmpty() || data.isEmpty()) {
        serialNumbersSkipped("Firebird server", "no Firebird server");
        return;
    }
    QTemporaryDir dir(data + QStringLiteral("/bench-XXXXXX"));
    // The server's own user writes the database files.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    TServerRun vrq(bin, dir.filePath(QStringLiteral("site")), server);
    if (!dir.isValid() || !vrq.Start()) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(vrq.Error()));
        serialNumbersSkipped("Firebird server", "no Firebird server");
        return;
    }
    // A failed server probe falls back to opening the files in-process.
    if (vrq.DebugText().contains(QStringLiteral("Server type 1 probe"))) {
        serialNumbersSkipped("Firebird server", "server probe failed");
        return;
    }
    for (int stations : {1, 8})
        serialNumbers(vrq.Port(), "Firebird server", stations);
}

// DEVICETRANSACTION status requests to the encoder simulator on a pseudo-terminal at 115200
// baud, against the wire time of the bytes exchanged.
void serialTransactions(uint16_t port, bool simReady) {
    constexpr int kBaud = 115200;
    constexpr int kRequests = 100;
    if (!simReady) {
        std::printf(
            "| DEVICETRANSACTION serial %d | 1 | | | skipped (no encoder simulator) | | | |\n",
            kBaud);
        return;
    }
    const int fd = connectLoopback(port);
    std::string g;
    readUntil(fd, g, '\xff', 300);
    const std::string link =
        request(fd, "strAction=COMLINK\r\nintComPort=5\r\nintBaudRate=115200\r\nbUSB=0\r\n", 20000);
    if (field(link, "strResult") != "Success") {
        std::printf("| DEVICETRANSACTION serial %d | 1 | | | COMLINK failed: %s | | | |\n", kBaud,
                    field(link, "strErrorData").c_str());
        ::close(fd);
        return;
    }
    std::vector<double> lat;
    long lost = 0;
    size_t answerBytes = 0;
    const auto stop = Clock::now() + std::chrono::seconds(60);
    const auto t0 = Clock::now();
    for (int i = 0; i < kRequests && Clock::now() < stop; ++i) {
        const auto a = Clock::now();
        const std::string reply = request(
            fd, "strAction=DEVICETRANSACTION\r\nbytCommand=1\r\nintResponse=50\r\nintDelay=3\r\n",
            8000);
        if (field(reply, "strResult") != "Success") {
            ++lost;
            continue;
        }
        lat.push_back(std::chrono::duration<double, std::micro>(Clock::now() - a).count());
        answerBytes = field(reply, "strRecv").size();
    }
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    ::close(fd);
    // Command frame (STX, 2 + 9 characters, ETX, check), the encoder's ACK, its answer frame and
    // check byte, the host's ACK; 10 bits a byte.
    const size_t wire = 14 + 1 + (answerBytes + 1) + 1;
    const double floorUs = double(wire) * 10.0 / kBaud * 1e6;
    // The serial link pauses 100 ms after the encoder's ACK and 100 ms before reading its
    // answer; the second ratio takes them into the floor.
    constexpr double kPausesUs = 200000;
    const double median = percentile(lat, 0.5);
    std::printf("| DEVICETRANSACTION serial %d (%zu bytes) | 1 | %.0f | %.0f | %.1f | %ld | %.0f "
                "(wire) | %.1f (%.2f with the 200 ms pauses) |\n",
                kBaud, wire, median, percentile(lat, 0.99), double(lat.size()) / secs, lost,
                floorUs, median / floorUs, median / (floorUs + kPausesUs));
}

// 1000 stations at once, each sending LINK once a second for a few seconds. The accept rate
// counts until every station has its greeting, so it covers the whole accept path.
void capacity(uint16_t port, qint64 pid) {
    const long before = rssKiB(pid);
    constexpr int n = 1000;
    std::vector<int> fds;
    const auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        const int fd = connectLoopback(port);
        if (fd >= 0)
            fds.push_back(fd);
    }
    std::vector<bool> greeted(fds.size(), false);
    size_t left = fds.size();
    std::vector<pollfd> p;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (left > 0 && Clock::now() < deadline) {
        p.clear();
        for (size_t i = 0; i < fds.size(); ++i)
            if (!greeted[i])
                p.push_back({fds[i], POLLIN, 0});
        if (::poll(p.data(), nfds_t(p.size()), 1000) <= 0)
            continue;
        for (const pollfd& q : p) {
            if (!(q.revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char tmp[512];
            (void)::recv(q.fd, tmp, sizeof tmp, 0);
            const size_t i = size_t(std::find(fds.begin(), fds.end(), q.fd) - fds.begin());
            greeted[i] = true;
            --left;
        }
    }
    const double acceptSecs = std::chrono::duration<double>(Clock::now() - t0).count();
    const size_t served = fds.size() - left;
    std::vector<double> lat;
    long lost = 0;
    const std::string link = "\x02strAction=LINK\r\n\x03";
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
    const long during = rssKiB(pid);
    std::printf("| capacity | %zu | %.0f | %.0f | %.0f accepts/s | %ld | RSS/conn %.1f KiB | |\n",
                served, percentile(lat, 0.5), percentile(lat, 0.99),
                double(served) / std::max(acceptSecs, 1e-6), lost,
                double(during - before) / double(std::max<size_t>(fds.size(), 1)));
    for (int fd : fds)
        ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    const EchoServer echo(true);
    QCoreApplication app(argc, argv);
    raiseFileLimit();
    const QString bin = QCoreApplication::applicationDirPath();
    QTemporaryDir work;

    // The encoder simulator prints its pseudo-terminal first; the server maps COM5 to it.
    QProcess sim;
    sim.start(bin + QStringLiteral("/vrq_encoder_sim"));
    QString device;
    if (sim.waitForReadyRead(10000))
        device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    TServerRun vrq(bin, work.filePath(QStringLiteral("site")));
    if (device.startsWith(QStringLiteral("/dev/")))
        vrq.Ini().WriteString(QStringLiteral("ComPorts"), QStringLiteral("COM5"), device);
    if (!vrq.Start()) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(vrq.Error()));
        return 1;
    }
    const uint16_t port = vrq.Port();

    const EchoServer echoHere(false);
    const std::string link = "\x02strAction=LINK\r\n\x03";
    const std::string datetime = "\x02strAction=DATETIMEREQUEST\r\n\x03";

    std::printf("| benchmark | stations | median us | p99 us | req/s | lost | echo median us (own "
                "process / in this process) | ratio to echo (own process / in this process) |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    // Rounds alternate between the echo servers and the server, so that a slow spell of the
    // machine falls on all alike.
    constexpr int kRounds = 8;
    for (int stations : {1, 16, 64}) {
        const int per = (stations == 1 ? 4000 : 32000 / stations) / kRounds;
        RunResult echoRun, echoHereRun, linkRun, timeRun;
        for (int round = 0; round < kRounds; ++round) {
            echoRun.Add(roundTrips(echo.Port(), stations, per, link, 10000));
            echoHereRun.Add(roundTrips(echoHere.Port(), stations, per, link, 10000));
            linkRun.Add(roundTrips(port, stations, per, link, 10000));
            timeRun.Add(roundTrips(port, stations, per, datetime, 10000));
        }
        const double echoMedian = percentile(echoRun.latUs, 0.5);
        const double echoHereMedian = percentile(echoHereRun.latUs, 0.5);
        for (const auto& [name, r] :
             {std::pair<const char*, const RunResult&>{"LINK", linkRun},
              std::pair<const char*, const RunResult&>{"DATETIMEREQUEST", timeRun}}) {
            const double median = percentile(r.latUs, 0.5);
            std::printf("| %s | %d | %.0f | %.0f | %.0f | %ld | %.0f / %.0f | %.2f / %.2f |\n",
                        name, stations, median, percentile(r.latUs, 0.99), r.Rps(),
                        r.sent - r.answered, echoMedian, echoHereMedian,
                        echoMedian > 0 ? median / echoMedian : 0.0,
                        echoHereMedian > 0 ? median / echoHereMedian : 0.0);
        }
    }
    capacity(port, vrq.Pid());
    for (int stations : {1, 8})
        serialNumbers(port, "embedded", stations);
    serialTransactions(port, device.startsWith(QStringLiteral("/dev/")));
    vrq.Stop();
    serialNumbersOnServer(bin);

    sim.kill();
    sim.waitForFinished(5000);
    return 0;
}
