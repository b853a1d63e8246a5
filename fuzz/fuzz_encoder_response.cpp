// Bytes from an encoder through the frame reader and the answer rules.
#include "unitEncoderFrame.h"

#include <cstddef>
#include <cstdint>

using namespace EncoderFrame;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFrameReader reader;
    for (size_t i = 0; i < size; ++i) {
        if (reader.Feed(char(data[i]))) {
            const QByteArray frame = reader.Frame();
            (void)reader.CheckMatches();
            (void)ResponseCode(frame);
            (void)FrameText(frame);
            (void)AnswerAccepted(frame, 50);
        }
    }
    return 0;
}
