#include "unitStationProtocol.h"

#include <gtest/gtest.h>

using namespace StationProtocol;

namespace {

struct BodyCase {
    const char* name;
    QByteArray block;
    QByteArray body;
    TMessageKind kind;
    QByteArray action;
};

TEST(StationProtocolTest, BlocksBecomeBodiesAndKinds) {
    const BodyCase cases[] = {
        {"bytes around the frame", "ab\x02strAction=LINK\r\n\x03" "cd", "strAction=LINK\r\n",
         TMessageKind::Action, "LINK"},
        {"two frames, first wins", "\x02strAction=LINK\x03\x02strAction=DBFLAGSTATUS\x03",
         "strAction=LINK", TMessageKind::Action, "LINK"},
        {"lower-case action", "\x02strAction=datetimerequest\r\n\x03", "strAction=datetimerequest\r\n",
         TMessageKind::Action, "DATETIMEREQUEST"},
        {"unframed beacon answer", "BEACONREPLY", "BEACONREPLY", TMessageKind::BeaconReply, ""},
        {"framed beacon request", "\x02" "BEACONREQUEST\x03", "BEACONREQUEST",
         TMessageKind::BeaconRequest, ""},
        {"listen with more text", "\x02GOLISTENNOW\x03", "GOLISTENNOW", TMessageKind::GoListen, ""},
        {"listen in mixed case is an action", "\x02GoListen\x03", "GoListen", TMessageKind::Action, ""},
        {"partial deaf", "\x02GOPARTIALDEAF\x03", "GOPARTIALDEAF", TMessageKind::GoPartialDeaf, ""},
        {"NUL ends the body", QByteArray("\x02strAction=LINK\0junk\x03", 21), "strAction=LINK",
         TMessageKind::Action, "LINK"},
        {"beacon answer with a check byte", "\x02" "BEACONREPLY\x03\x7f", "BEACONREPLY",
         TMessageKind::BeaconReply, ""},
    };
    for (const BodyCase& c : cases) {
        const QByteArray body = ExtractBody(c.block);
        EXPECT_EQ(body, c.body) << c.name;
        EXPECT_EQ(Classify(body), c.kind) << c.name;
        EXPECT_EQ(TStationMessage(body).Action(), c.action) << c.name;
    }
}

TEST(StationProtocolTest, FieldsAreCaseInsensitiveFirstWinsValueUnchanged) {
    const TStationMessage m("strAction=x\r\nSTRDATA=A=B\r\nstrData=second\n\nintDelay=abc\r"
                            "bytCommand=7\r\n strValue= padded \r\nintBaudRate=4294967297");
    EXPECT_EQ(m.Field("strData"), QByteArray("A=B"));
    EXPECT_EQ(m.IntField("intDelay", 2), 2);
    EXPECT_EQ(m.IntField("bytCommand", 0), 7);
    EXPECT_EQ(m.IntField("intComPort", 0), 0);
    EXPECT_EQ(m.Field("strTrack2"), QByteArray());
    EXPECT_EQ(m.Field(" strValue"), QByteArray(" padded "));
    EXPECT_EQ(m.IntField("intBaudRate", 9600), 9600) << "out of range, not wrapped to 1";
    EXPECT_EQ(m.Lines().size(), 7);
}

TEST(StationProtocolTest, RepliesEndEveryLineWithCrLfInsideTheFrame) {
    EXPECT_EQ(TReply("LINK").AddLine("strResult=Success").Frame(),
              QByteArray("\x02strAction=LINK\r\nstrResult=Success\r\n\x03"));
    EXPECT_EQ(FrameBare("BEACONREPLY"), QByteArray("\x02" "BEACONREPLY\x03"));
    EXPECT_EQ(Greeting("HOST1"), QByteArray("CHN=HOST1"));
}

TEST(StationProtocolTest, AssemblerJoinsASplitFrameAndBoundsWhatItKeeps) {
    TBlockAssembler a;
    EXPECT_TRUE(a.Feed("\x02strAction=LI", 0).isEmpty());
    EXPECT_EQ(a.Feed("NK\r\n\x03", 10), QByteArrayList{"\x02strAction=LINK\r\n\x03"});
    EXPECT_EQ(a.Feed("BEACONREPLY", 20), QByteArrayList{"BEACONREPLY"});

    // A partial frame older than the limit is dropped before the next block is looked at.
    EXPECT_TRUE(a.Feed("\x02strAction=LI", 100).isEmpty());
    EXPECT_EQ(a.Feed("\x02strAction=LINK\x03", 100 + TBlockAssembler::kPendingMs + 1),
              QByteArrayList{"\x02strAction=LINK\x03"});

    // A partial frame that outgrows the limit is dropped.
    EXPECT_TRUE(a.Feed("\x02" + QByteArray(TBlockAssembler::kMaxPending, 'x'), 0).isEmpty());
    EXPECT_TRUE(a.Feed("yy", 1).isEmpty());
    EXPECT_FALSE(a.HasPending());
}

} // namespace
