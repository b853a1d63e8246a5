// A stand-in for a site's own database client library: it hands out libfbclient's entry point
// and counts how often it was asked.
#include <dlfcn.h>

namespace {
int g_calls = 0;
}

extern "C" __attribute__((visibility("default"))) int UlmexDB_Client_Calls() {
    return g_calls;
}

extern "C" __attribute__((visibility("default"))) void* fb_get_master_interface() {
    ++g_calls;
    static void* const lib = dlopen("libfbclient.so.2", RTLD_NOW | RTLD_LOCAL);
    using Entry = void* (*)();
    const auto entry =
        lib ? reinterpret_cast<Entry>(dlsym(lib, "fb_get_master_interface")) : nullptr;
    return entry ? entry() : nullptr;
}
