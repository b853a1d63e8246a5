#include "unitServerWiring.h"

#include "formMain.h"
#include "unitVRQMain.h"

TServerWiring::TServerWiring() = default;
TServerWiring::~TServerWiring() = default;

bool TServerWiring::CreateDataModules() { return true; }

void TServerWiring::Attach(TfrmMain& window) {
    TVRQMain* vrq = window.VRQMain();
    if (!vrq)
        return;
    vrq->ListeningPort = [] { return 6669; };
}
