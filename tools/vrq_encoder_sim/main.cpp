// vrq_encoder_sim: a serial card encoder for tests and demonstrations.
// Prints the device to use on its first line, then serves until SIGINT / SIGTERM.
#include "EncoderSim.h"

#include <QByteArray>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {
std::atomic<bool> g_stop{false};
void onSignal(int) {
    g_stop = true;
}

void usage() {
    std::fputs("usage: vrq_encoder_sim [--device PATH | --tcp PORT] [options]\n"
               "  (default: a new pseudo-terminal; its slave path is printed on the first line)\n"
               "  --device PATH        serve an existing serial device (e.g. one end of socat)\n"
               "  --tcp PORT           serve the protocol as a network encoder on 127.0.0.1:PORT\n"
               "  --nak N              NAK the first N commands\n"
               "  --bad-check N        wrong check byte on the first N answers (-1: always)\n"
               "  --delay MS           wait before each answer\n"
               "  --noise TEXT         send TEXT before the STX of each answer\n"
               "  --silent             neither ACK/NAK nor answer\n"
               "  --no-answer          ACK, then no answer\n"
               "  --usb                no ACK/NAK handshake\n"
               "  --response-code HEX  response code of every answer (default: per command)\n"
               "  --response-text TEXT text after the response code (default 001001000)\n"
               "  --status TEXT        answer to command 1\n"
               "  --stall-after N --stall-ms MS   pause inside an answer after N bytes\n",
               stderr);
}

bool parseInt(const char* text, int base, int& out) {
    bool ok = false;
    out = QByteArray(text).toInt(&ok, base);
    return ok;
}

int serveTcp(TEncoderSim& sim, int port) {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    if (server < 0) {
        std::perror("socket");
        return 1;
    }
    const int yes = 1;
    ::setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(server, 4) != 0) {
        std::perror("bind/listen");
        ::close(server);
        return 1;
    }
    socklen_t len = sizeof addr;
    ::getsockname(server, reinterpret_cast<sockaddr*>(&addr), &len);
    std::printf("127.0.0.1:%d\n", int(ntohs(addr.sin_port)));
    std::fflush(stdout);
    while (!g_stop) {
        pollfd p{server, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const int client = ::accept(server, nullptr, nullptr);
        if (client < 0)
            continue;
        sim.Serve(client, g_stop);
        ::close(client);
    }
    ::close(server);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    TEncoderSimOptions o;
    const char* device = nullptr;
    int tcpPort = -1;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        const bool hasValue = i + 1 < argc;
        auto intArg = [&](int base, int& out) {
            if (!hasValue || !parseInt(argv[++i], base, out)) {
                std::fprintf(stderr, "vrq_encoder_sim: %s needs a number\n", a.constData());
                std::exit(2);
            }
        };
        auto textArg = [&]() -> QByteArray {
            if (!hasValue) {
                std::fprintf(stderr, "vrq_encoder_sim: %s needs a value\n", a.constData());
                std::exit(2);
            }
            return QByteArray(argv[++i]);
        };
        if (a == "--device")
            device = hasValue ? argv[++i] : nullptr;
        else if (a == "--tcp")
            intArg(10, tcpPort);
        else if (a == "--nak")
            intArg(10, o.nakCount);
        else if (a == "--bad-check")
            intArg(10, o.badCheckCount);
        else if (a == "--delay")
            intArg(10, o.delayMs);
        else if (a == "--noise")
            o.noise = textArg();
        else if (a == "--silent")
            o.silent = true;
        else if (a == "--no-answer")
            o.noAnswer = true;
        else if (a == "--usb")
            o.usb = true;
        else if (a == "--response-code")
            intArg(16, o.responseCode);
        else if (a == "--response-text")
            o.responseText = textArg();
        else if (a == "--status")
            o.statusText = textArg();
        else if (a == "--stall-after")
            intArg(10, o.stallAfter);
        else if (a == "--stall-ms")
            intArg(10, o.stallMs);
        else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "vrq_encoder_sim: unknown argument %s\n", a.constData());
            usage();
            return 2;
        }
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    TEncoderSim sim(o);
    if (tcpPort >= 0)
        return serveTcp(sim, tcpPort);

    int master = -1;
    int slave = -1;
    QString path;
    if (device) {
        master = ::open(device, O_RDWR | O_NOCTTY);
        if (master < 0) {
            std::fprintf(stderr, "vrq_encoder_sim: %s: %s\n", device, std::strerror(errno));
            return 1;
        }
        termios tio{};
        if (::tcgetattr(master, &tio) == 0) {
            cfmakeraw(&tio);
            ::tcsetattr(master, TCSANOW, &tio);
        }
        path = QString::fromLocal8Bit(device);
    } else {
        QString error;
        if (!OpenRawPty(master, slave, path, error)) {
            std::fprintf(stderr, "vrq_encoder_sim: openpty: %s\n", qPrintable(error));
            return 1;
        }
    }
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);
    const bool ok = sim.Serve(master, g_stop);
    ::close(master);
    if (slave >= 0)
        ::close(slave);
    return ok ? 0 : 1;
}
