// Layout texts and key strings from a station through their parsers.
#include "Errors.h"
#include "unitKeyPrintLayoutBase.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    TKeyPrintLayoutBase layout;
    (void)layout.SetCommString(text);
    TKeyStringData parts;
    try {
        (void)ParseHalvexKeyString_b(text, parts);
    } catch (const EUlmex&) {
    }
    return 0;
}
