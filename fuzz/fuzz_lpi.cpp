// The lock interface information parser on arbitrary raw lock-log texts.
#include "unitLPIClass.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qputenv("VRQ_UNATTENDED", "1");
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    TGeneralLockIntInfo info([](int n) { return n % 2 ? QStringLiteral("Room") : QString(); });
    (void)info.Parse(text);
    return 0;
}
