// The profile-file reader on arbitrary file contents.
#include "IniFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromLocal8Bit(reinterpret_cast<const char*>(data), qsizetype(size));
    bool found = false;
    for (const char* section : {"Database", "Misc", "Trace", ""})
        for (const char* key : {"LinkPath", "LangID", "Halvex_VRQ", ""})
            (void)IniText::Lookup(text, QString::fromLatin1(section), QString::fromLatin1(key), &found);
    return 0;
}
