// The encoder's wire format from bytes: frames, check bytes, command texts, answer rules and
// the collection rule of a serial read.
#include "unitEncoderFrame.h"

#include <QList>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace EncoderFrame;

namespace {
QByteArray hex(const char* h) {
    return QByteArray::fromHex(h);
}
QByteArray stx(const QByteArray& text) {
    return STX + text + ETX;
}
} // namespace

TEST(EncoderFrame, BuildFrame_KnownAnswers) {
    struct Row {
        const char* name;
        QByteArray text;
        QByteArray frame;
    } rows[] = {
        {"abc", "abc",
         hex("0261626303"
             "63")},
        {"empty text", "",
         hex("0203"
             "03")},
        {"status command", "01000000000",
         hex("023031303030303030303030"
             "03"
             "32")},
        {"check byte equal to STX", QByteArray(1, '\x01'),
         hex("0201"
             "03"
             "02")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(BuildFrame(r.text).toHex(' '), r.frame.toHex(' '));
        EXPECT_EQ(FrameCheck(r.frame.chopped(1)), uint8_t(r.frame.back()));
        EXPECT_EQ(FrameText(r.frame.chopped(1)), r.text);
    }
}

TEST(EncoderFrame, CommandText_HexCommandNineZerosThenData) {
    EXPECT_EQ(CommandText(1, ""), QByteArray("01000000000"));
    EXPECT_EQ(CommandText(0x2A, "K;9"), QByteArray("2A000000000K;9"));
    EXPECT_EQ(CommandText(255, "x"), QByteArray("FF000000000x"));
    EXPECT_TRUE(CommandText(256, "x").isEmpty());
    EXPECT_TRUE(CommandText(-1, "x").isEmpty());
    EXPECT_EQ(CommandNumber("FF000000000x"), 255);
    EXPECT_EQ(CommandNumber("G1"), -1);
}

TEST(EncoderFrame, AnswerAccepted_ResponseCodeRules) {
    const QByteArray status = stx("320010010000000BFEA0001127A11127A1");
    struct Row {
        const char* name;
        QByteArray answer;
        int expected;
        int code;
        bool accepted;
    } rows[] = {
        {"status, expected 0x32", status, 0x32, 0x32, true},
        {"status, other code expected", status, 0x39, 0x32, false},
        {"any code accepted", stx("39001001000"), -1, 0x39, true},
        {"lower-case hex", stx("3a0"), 0x3A, 0x3A, true},
        {"not hex reads as 0", stx("ZZ1"), 0, 0, true},
        {"one character fails", QByteArray(1, STX), -1, 0, false},
        {"empty fails", QByteArray(), -1, 0, false},
        {"STX ETX is two characters", stx(""), 0, 0, true},
        {"0x41 short (16) fails", stx("41001001000000"), 0x41, 0x41, false},
        {"0x41 short fails with any code", stx("41001001000000"), -1, 0x41, false},
        {"0x41 at 17 passes", stx("410010010000000"), 0x41, 0x41, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(ResponseCode(r.answer), r.code);
        EXPECT_EQ(AnswerAccepted(r.answer, r.expected), r.accepted);
    }
}

// Feeds bytes to a read; the text it yields (empty when incomplete) and how many bytes it took.
struct ReadRow {
    const char* name;
    int count;
    QByteArray start, end;
    QByteArray input;
    bool complete;
    QByteArray text;
    int taken;
};

TEST(EncoderFrame, ReadCollector_Table) {
    const QByteArray s(1, STX), e(1, ETX), hs = QByteArray(1, ACK) + NAK;
    const ReadRow rows[] = {
        {"frame", 0, s, e, stx("ab") + "C", true, stx("ab"), 4},
        {"noise before STX dropped", 0, s, e, "xy" + stx("ab"), true, stx("ab"), 6},
        {"ETX before STX ends with empty text", 0, s, e, "x" + e + stx("ab"), true, "", 2},
        {"no ETX yet", 0, s, e, s + "ab", false, s + "ab", 3},
        {"ACK", 0, hs, hs, "z" + QByteArray(1, ACK) + "q", true, QByteArray(1, ACK), 2},
        {"NAK", 0, hs, hs, QByteArray(1, NAK), true, QByteArray(1, NAK), 1},
        {"count one takes any byte", 1, {}, {}, e + "x", true, e, 1},
        {"count three", 3, {}, {}, "ab", false, "ab", 2},
    };
    for (const ReadRow& r : rows) {
        SCOPED_TRACE(r.name);
        TReadCollector c(r.count, r.start, r.end);
        int taken = 0;
        for (const char ch : r.input) {
            ++taken;
            if (c.Feed(ch))
                break;
        }
        EXPECT_EQ(c.Complete(), r.complete);
        EXPECT_EQ(c.Text().toHex(' '), r.text.toHex(' '));
        EXPECT_EQ(taken, r.taken);
    }
}

TEST(EncoderFrame, ReadCollector_StopsAtTheBound) {
    TReadCollector c(0, QByteArray(1, STX), QByteArray(1, ETX));
    c.Feed(STX);
    for (int i = 0; i < kMaxFrameLength + 10; ++i)
        c.Feed('a');
    EXPECT_TRUE(c.Overflowed());
    EXPECT_FALSE(c.Complete());
    EXPECT_LE(c.Text().size(), kMaxFrameLength);
}

// Property: a stream of frames with noise between them splits back into the same frames, and
// each check byte is the XOR of its parts.
TEST(EncoderFrame, FrameReader_StreamOfFramesSplitsIntoTheParts) {
    QRandomGenerator rng(20240611);
    for (int round = 0; round < 50; ++round) {
        QList<QByteArray> texts;
        QByteArray stream;
        for (int n = 0; n < 5; ++n) {
            QByteArray text;
            const int len = int(rng.bounded(40));
            for (int i = 0; i < len; ++i) {
                char c = char(rng.bounded(256));
                if (c == STX || c == ETX)
                    c = 'x';
                text.append(c);
            }
            texts.append(text);
            stream += QByteArray("noise").left(int(rng.bounded(6))).replace(char(STX), 'n');
            stream += BuildFrame(text);
        }
        TFrameReader reader;
        QList<QByteArray> got;
        for (const char c : stream)
            if (reader.Feed(c)) {
                EXPECT_TRUE(reader.CheckMatches());
                got.append(FrameText(reader.Frame()));
            }
        ASSERT_EQ(got, texts) << "round " << round;
        for (const QByteArray& t : texts) {
            const QByteArray a = t.left(t.size() / 2), b = t.mid(t.size() / 2);
            EXPECT_EQ(CheckByte(t), uint8_t(CheckByte(a) ^ CheckByte(b) ^ uint8_t(ETX)));
        }
    }
}

TEST(EncoderFrame, FrameReader_BadCheckByteIsReported) {
    QByteArray frame = BuildFrame("39001001000");
    frame.back() = char(frame.back() ^ 1);
    TFrameReader reader;
    bool done = false;
    for (const char c : frame)
        done = reader.Feed(c);
    ASSERT_TRUE(done);
    EXPECT_FALSE(reader.CheckMatches());
}
