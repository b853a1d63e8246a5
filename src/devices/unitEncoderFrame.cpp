#include "unitEncoderFrame.h"

#include "unitUtils.h"

namespace EncoderFrame {

namespace {
int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Value of one or two hex digits; -1 when empty or not hex.
int hexValue(const QByteArray& digits) {
    if (digits.isEmpty())
        return -1;
    int v = 0;
    for (const char c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}
} // namespace

uint8_t CheckByte(const QByteArray& text) {
    return XorCheck(text) ^ uint8_t(ETX);
}

QByteArray BuildFrame(const QByteArray& text) {
    QByteArray frame;
    frame.reserve(text.size() + 3);
    frame.append(STX);                   // start of frame
    frame.append(text);                  // frame text
    frame.append(ETX);                   // end of frame
    frame.append(char(CheckByte(text))); // XOR of text and ETX
    return frame;
}

uint8_t FrameCheck(const QByteArray& frame) {
    return frame.isEmpty() ? 0 : XorCheck(frame.mid(1));
}

QByteArray FrameText(const QByteArray& frame) {
    if (frame.size() >= 2 && frame.front() == STX && frame.back() == ETX)
        return frame.mid(1, frame.size() - 2);
    return frame;
}

QByteArray CommandText(int command, const QByteArray& data) {
    if (command < 0 || command > 255)
        return {};
    return QByteArray::number(command, 16).toUpper().rightJustified(2, '0') + "000000000" + data;
}

int CommandNumber(const QByteArray& commandText) {
    return commandText.size() < 2 ? -1 : hexValue(commandText.left(2));
}

int ResponseCode(const QByteArray& answer) {
    const int v = hexValue(answer.mid(1, 2));
    return v < 0 ? 0 : v;
}

bool AnswerAccepted(const QByteArray& answer, int expectedResponse) {
    if (answer.size() <= 1)
        return false;
    const int code = ResponseCode(answer);
    // The encoder's 0x41 answer is only meaningful with its full data part.
    if (code == 0x41 && answer.size() < 17)
        return false;
    return expectedResponse < 0 || code == expectedResponse;
}

TReadCollector::TReadCollector(int count, QByteArray startSet, QByteArray endSet)
    : m_count(count), m_start(std::move(startSet)), m_end(std::move(endSet)), m_started(count > 0) {
}

bool TReadCollector::Feed(char c) {
    if (m_complete || m_overflow)
        return m_complete;
    if (!m_started && m_start.contains(c))
        m_started = true;
    if (m_started) {
        if (m_text.size() >= kMaxFrameLength) {
            m_overflow = true;
            return false;
        }
        m_text.append(c);
    }
    if (m_count <= 0)
        m_complete = m_end.contains(c);
    else
        m_complete = m_text.size() >= m_count;
    return m_complete;
}

bool TFrameReader::Feed(char c) {
    switch (m_state) {
    case TState::Idle:
        if (c == STX) {
            m_frame = QByteArray(1, STX);
            m_state = TState::Text;
        }
        return false;
    case TState::Text:
        if (m_frame.size() >= kMaxFrameLength) {
            Reset();
            return false;
        }
        m_frame.append(c);
        if (c == ETX)
            m_state = TState::Check;
        return false;
    case TState::Check:
        m_check = c;
        m_state = TState::Idle;
        return true;
    }
    return false;
}

void TFrameReader::Reset() {
    m_state = TState::Idle;
    m_frame.clear();
    m_check = 0;
}

} // namespace EncoderFrame
