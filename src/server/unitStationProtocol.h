#pragma once
// The station request protocol: frames, name=value bodies, replies, the greeting.

#include <QByteArray>
#include <QByteArrayList>
#include <cstdint>

namespace StationProtocol {

inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr const char* CRLF = "\r\n";

// The message body of one received block: after the first STX, before the first ETX after it;
// a NUL ends the body. A block without STX or ETX is taken whole.
QByteArray ExtractBody(const QByteArray& block);
// Lines split at CR, LF or CR LF; empty lines dropped.
QByteArrayList SplitLines(const QByteArray& body);
// Upper case of ASCII letters only.
QByteArray AsciiUpper(const QByteArray& text);

// A received request: field lookup by case-insensitive name, first line wins, value after the
// first "=" unchanged.
class TStationMessage {
public:
    TStationMessage() = default;
    explicit TStationMessage(QByteArray body);

    const QByteArray& Body() const { return m_body; }
    QByteArrayList Lines() const;
    QByteArray Field(const QByteArray& name, bool* found = nullptr) const;
    // Decimal 32-bit integer; the default when missing, not a number, or out of range (a wrapped
    // value would pass the range checks that follow).
    int IntField(const QByteArray& name, int def) const;
    // The same in 64 bits, for fields whose range is checked by the caller.
    int64_t IntField64(const QByteArray& name, int64_t def) const;
    // Upper case of strAction.
    const QByteArray& Action() const { return m_action; }

private:
    QByteArray m_body;
    QByteArray m_action;
};

// Message kinds in the order they are tested.
enum class TMessageKind { BeaconReply, BeaconRequest, GoListen, GoPartialDeaf, Action };
TMessageKind Classify(const QByteArray& body);
// How the handling of a message may run. SetsAFlag: it only sets a mark of the connection (beacon
// answer, escape flag) and is answered with nothing. NeverWaits: it never runs the connection's
// own event loop (no device, file or database work; calls into the main thread block without
// it), so it may run inside the socket's read notification. MayWait: everything else.
enum class TRunKind { SetsAFlag, NeverWaits, MayWait };
TRunKind RunKind(const TStationMessage& msg);

// Reply lines collected in order: "strAction=" + action first.
class TReply {
public:
    explicit TReply(const QByteArray& action);
    TReply& Add(const QByteArray& name, const QByteArray& value);
    TReply& AddLine(const QByteArray& line);
    // STX + every line followed by CR LF + ETX.
    QByteArray Frame() const;
    const QByteArrayList& Lines() const { return m_lines; }

private:
    QByteArrayList m_lines;
};

QByteArray FrameBare(const QByteArray& keyword);
QByteArray Greeting(const QByteArray& computerName);

// Collects the blocks of one connection. A block with an STX but no ETX yet is kept and later
// blocks are appended until an ETX arrives, so a request split by TCP is not lost; at most
// kMaxPending bytes and kPendingSecs seconds are kept, then the partial frame is dropped.
class TBlockAssembler {
public:
    static constexpr int kMaxPending = 64 * 1024;
    static constexpr int kPendingMs = 5000;

    // Feeds one block read at nowMs; returns the blocks that are complete messages now.
    QByteArrayList Feed(const QByteArray& block, int64_t nowMs);
    bool HasPending() const { return !m_pending.isEmpty(); }
    void Clear() { m_pending.clear(); }

private:
    QByteArray m_pending;
    int64_t m_pendingSinceMs = 0;
};

} // namespace StationProtocol
