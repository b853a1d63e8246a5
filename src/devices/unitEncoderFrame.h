#pragma once
// The serial encoder's wire format: frames, check bytes, command texts and answer codes.
// Pure functions on bytes, shared by the server's serial link, the station client and the
// encoder simulator.

#include <QByteArray>
#include <cstdint>

namespace EncoderFrame {

inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char ACK = 0x06;
inline constexpr char NAK = 0x15;

// Longest frame or read we collect; a device that never ends its frame cannot grow a buffer
// past this.
inline constexpr int kMaxFrameLength = 64 * 1024;

// XOR of the frame text and the ETX (STX is not part of it).
uint8_t CheckByte(const QByteArray& text);

// STX, text, ETX, check byte.
QByteArray BuildFrame(const QByteArray& text);

// The check byte a received frame (STX .. ETX inclusive) must be followed by: XOR of every byte
// after the STX up to and including the ETX.
uint8_t FrameCheck(const QByteArray& frame);

// The text between STX and ETX of a frame (STX .. ETX); the bytes given when they are not framed.
QByteArray FrameText(const QByteArray& frame);

// Serial device transaction command: two upper-case hex digits of the command (0..255),
// "000000000", the data unchanged. A command outside 0..255 gives empty text.
QByteArray CommandText(int command, const QByteArray& data);
// The command number of a command text, -1 when its first two characters are not hex digits.
int CommandNumber(const QByteArray& commandText);

// The response code of an answer frame: the two characters after STX read as hexadecimal,
// 0 when they are not hexadecimal.
int ResponseCode(const QByteArray& answer);

// Whether a serial answer frame (STX .. ETX) is a success for the expected response code
// (negative accepts any code): answers of one character or none fail, and code 0x41 with an
// answer shorter than 17 characters fails whatever was expected.
bool AnswerAccepted(const QByteArray& answer, int expectedResponse);

// The collection rule of one serial read: a count of characters, or from a character of the
// start set (earlier characters dropped) up to one of the end set. Every character taken is
// fed here; Complete() tells when the read is done.
class TReadCollector {
public:
    TReadCollector(int count, QByteArray startSet, QByteArray endSet);

    // Takes one character; returns Complete().
    bool Feed(char c);
    bool Complete() const { return m_complete; }
    bool Overflowed() const { return m_overflow; }
    // The collected characters (start and end characters included).
    const QByteArray& Text() const { return m_text; }

private:
    int m_count;
    QByteArray m_start;
    QByteArray m_end;
    QByteArray m_text;
    bool m_started;
    bool m_complete = false;
    bool m_overflow = false;
};

// Splits a byte stream into frames followed by their check byte: bytes before STX are dropped,
// a frame longer than kMaxFrameLength is dropped whole.
class TFrameReader {
public:
    // Takes one byte; true when a frame and its check byte are complete (read them, then feed on).
    bool Feed(char c);
    // The last complete frame, STX .. ETX inclusive.
    const QByteArray& Frame() const { return m_frame; }
    char Check() const { return m_check; }
    bool CheckMatches() const { return uint8_t(m_check) == FrameCheck(m_frame); }
    // True between the STX of a frame and its check byte.
    bool InFrame() const { return m_state != TState::Idle; }
    void Reset();

private:
    enum class TState { Idle, Text, Check };
    TState m_state = TState::Idle;
    QByteArray m_frame;
    char m_check = 0;
};

} // namespace EncoderFrame
