// Received blocks through the framing, field lookup, classification and the block assembler.
#include "unitStationProtocol.h"

#include <cstddef>
#include <cstdint>

using namespace StationProtocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray block(reinterpret_cast<const char*>(data), qsizetype(size));
    static TBlockAssembler assembler;
    static int64_t clock = 0;
    clock += 700;
    for (const QByteArray& complete : assembler.Feed(block, clock)) {
        const QByteArray body = ExtractBody(complete);
        const TStationMessage msg(body);
        (void)Classify(body);
        (void)msg.Action();
        for (const char* f : {"intInterfaceType", "bytCommand", "intDelay", "intResponse"})
            (void)msg.IntField(f, 1);
        for (const char* f : {"strData", "strPrintLayout", "strValue", "strAction"})
            (void)msg.Field(f);
        TReply reply(msg.Action());
        reply.Add("strRecv", msg.Field("strData"));
        if (reply.Frame().isEmpty())
            __builtin_trap();
    }
    return 0;
}
