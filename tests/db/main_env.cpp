// Firebird's root and lock folder are fixed before any test attaches.
#include "unitFbDatabase.h"

namespace {
const bool g_prepared = [] {
    FirebirdEnvironment_Prepare();
    return true;
}();
} // namespace
