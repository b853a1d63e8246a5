#include "unitServerState.h"

TServerState& ServerState() {
    static TServerState state;
    return state;
}
