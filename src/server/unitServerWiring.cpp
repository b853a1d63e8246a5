#include "unitServerWiring.h"

#include "formMain.h"
#include "unitFargoWrite.h"
#include "untFileDrops.h"
#include "unitVRQMain.h"

TServerWiring::TServerWiring() {
    TDispatchServices& s = m_dispatcher.Services();
    s.PrinterDispatch = [](TClientConnection& conn, TDeviceRequest& r, QByteArray& answer) {
        return PrinterDispatch(r.command, r.deviceName, r.printLayout, r.data, answer, conn.Error());
    };
    s.GenericFileWrite = [](const QByteArray& data, const QString& format) {
        GenericFileWrite(data, format);
    };
}
TServerWiring::~TServerWiring() = default;

bool TServerWiring::CreateDataModules() { return true; }

void TServerWiring::Attach(TfrmMain& window) {
    TVRQMain* vrq = window.VRQMain();
    if (!vrq)
        return;
    vrq->ListeningPort = [] { return 6669; };
}
