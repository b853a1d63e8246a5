#include "EncoderSim.h"

#include "unitEncoderFrame.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace EncoderFrame;

namespace {
constexpr int kSliceMs = 20;
constexpr qsizetype kMaxRecord = 1 << 20;
} // namespace

TEncoderSim::TEncoderSim(TEncoderSimOptions options) {
    SetOptions(options);
}

void TEncoderSim::SetOptions(const TEncoderSimOptions& options) {
    const std::lock_guard lock(m_mutex);
    m_options = options;
    m_naksLeft = options.nakCount;
    m_badChecksLeft = options.badCheckCount;
}

TEncoderSimOptions TEncoderSim::Options() const {
    const std::lock_guard lock(m_mutex);
    return m_options;
}

void TEncoderSim::SendUnsolicited(const QByteArray& text) {
    const std::lock_guard lock(m_mutex);
    m_unsolicited.append(text);
}

int TEncoderSim::FramesReceived() const {
    const std::lock_guard lock(m_mutex);
    return m_frames;
}
QList<QByteArray> TEncoderSim::Commands() const {
    const std::lock_guard lock(m_mutex);
    return m_commands;
}
QByteArray TEncoderSim::HostHandshakes() const {
    const std::lock_guard lock(m_mutex);
    return m_handshakes;
}
QByteArray TEncoderSim::BytesReceived() const {
    const std::lock_guard lock(m_mutex);
    return m_received;
}
void TEncoderSim::ResetRecord() {
    const std::lock_guard lock(m_mutex);
    m_frames = 0;
    m_commands.clear();
    m_handshakes.clear();
    m_received.clear();
}

int TEncoderSim::ExpectedResponse(int command) {
    switch (command) {
    case 0:
        return 0;
    case 1:
        return 0x32;
    case 2:
        return 0x33;
    case 3:
    case 33:
        return 0x34;
    case 10:
        return 0x37;
    case 28:
        return 0x41;
    case 29:
        return 0x42;
    case 35:
    case 37:
        return 0x43;
    case 41:
        return 0x44;
    case 42:
        return 0x45;
    default:
        return 0x39;
    }
}

QByteArray TEncoderSim::AnswerText(const TEncoderSimOptions& o, const QByteArray& command) {
    const int number = CommandNumber(command);
    if (number == 1 && o.responseCode < 0)
        return o.statusText;
    int code = o.responseCode >= 0 ? o.responseCode : ExpectedResponse(number);
    if (code < 0)
        code = 0x39;
    QByteArray text =
        QByteArray::number(code & 0xFF, 16).toUpper().rightJustified(2, '0') + o.responseText;
    // The host only takes a 0x41 answer with its full data part.
    if (code == 0x41 && text.size() < 15)
        text = text.leftJustified(15, '0');
    return text;
}

void TEncoderSim::sleepMs(int ms, const std::atomic<bool>& stop) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 5)));
}

int TEncoderSim::readByte(int fd, int timeoutMs, char& c, const std::atomic<bool>& stop) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_in.isEmpty()) {
        if (stop)
            return 0;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return 0;
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, int(std::min<long long>(left, kSliceMs)));
        if (r < 0 && errno != EINTR)
            return -1;
        if (r <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0)
            return -1;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return -1;
        }
        m_in.append(buf, n);
        const std::lock_guard lock(m_mutex);
        if (m_received.size() < kMaxRecord)
            m_received.append(buf, n);
    }
    c = m_in.front();
    m_in.remove(0, 1);
    return 1;
}

bool TEncoderSim::writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            return false;
        }
        done += n;
    }
    return true;
}

bool TEncoderSim::sendAnswer(int fd, const TEncoderSimOptions& o, const QByteArray& text,
                             const std::atomic<bool>& stop) {
    for (int attempt = 1; attempt <= 3 && !stop; ++attempt) {
        QByteArray frame = BuildFrame(text);
        {
            const std::lock_guard lock(m_mutex);
            if (m_badChecksLeft != 0) {
                frame.back() = char(frame.back() ^ 0x5A);
                if (m_badChecksLeft > 0)
                    --m_badChecksLeft;
            }
        }
        const QByteArray bytes = o.noise + frame;
        if (o.stallAfter >= 0 && o.stallAfter < bytes.size()) {
            if (!writeAll(fd, bytes.left(o.stallAfter)))
                return false;
            sleepMs(o.stallMs, stop);
            if (!writeAll(fd, bytes.mid(o.stallAfter)))
                return false;
        } else if (!writeAll(fd, bytes)) {
            return false;
        }
        if (o.usb)
            return true;
        // The host's ACK / NAK; a new command (STX) ends the wait and stays for the next read.
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(o.handshakeWaitMs);
        char answer = 0;
        while (!stop && std::chrono::steady_clock::now() < end) {
            char c = 0;
            const int r = readByte(fd, kSliceMs, c, stop);
            if (r < 0)
                return false;
            if (r == 0)
                continue;
            if (c == STX) {
                m_in.prepend(c);
                break;
            }
            if (c == ACK || c == NAK) {
                answer = c;
                break;
            }
        }
        if (answer == 0)
            return true;
        {
            const std::lock_guard lock(m_mutex);
            m_handshakes.append(answer);
        }
        if (answer == ACK)
            return true;
    }
    return true;
}

bool TEncoderSim::Serve(int fd, const std::atomic<bool>& stop) {
    TFrameReader reader;
    m_in.clear();
    while (!stop) {
        QList<QByteArray> unsolicited;
        {
            const std::lock_guard lock(m_mutex);
            unsolicited.swap(m_unsolicited);
        }
        for (const QByteArray& text : unsolicited)
            if (!sendAnswer(fd, Options(), text, stop))
                return false;

        char c = 0;
        const int r = readByte(fd, kSliceMs, c, stop);
        if (r < 0)
            return stop.load();
        if (r == 0 || !reader.Feed(c))
            continue;

        const TEncoderSimOptions o = Options();
        bool nak = false;
        {
            const std::lock_guard lock(m_mutex);
            ++m_frames;
            if (o.silent)
                continue;
            nak = !reader.CheckMatches();
            if (!nak && m_naksLeft > 0) {
                --m_naksLeft;
                nak = true;
            }
            if (!nak)
                m_commands.append(FrameText(reader.Frame()));
        }
        if (!o.usb && !writeAll(fd, QByteArray(1, nak ? NAK : ACK)))
            return false;
        if (nak || o.noAnswer)
            continue;
        sleepMs(o.delayMs, stop);
        if (!sendAnswer(fd, o, AnswerText(o, FrameText(reader.Frame())), stop))
            return false;
    }
    return true;
}

bool OpenRawPty(int& master, int& slave, QString& slavePath, QString& error) {
    termios tio{};
    cfmakeraw(&tio);
    char name[256] = {};
    if (::openpty(&master, &slave, name, &tio, nullptr) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        master = slave = -1;
        return false;
    }
    slavePath = QString::fromLocal8Bit(name);
    return true;
}

TEncoderSimPty::TEncoderSimPty(TEncoderSimOptions options) : m_sim(std::move(options)) {
    if (!OpenRawPty(m_master, m_slave, m_slavePath, m_error))
        return;
    m_thread = std::thread([this] { m_sim.Serve(m_master, m_stop); });
}

TEncoderSimPty::~TEncoderSimPty() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}
