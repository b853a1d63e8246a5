#pragma once
// Connects the server core with the data modules and the device layers.

#include "unitDispatch.h"

#include <memory>

class TFbConnection;
class TfrmMain;

// The IP address of the station "TIME" (the network encoder configuration uses it).
QString& g_strTimeStationIPAddr();

class TServerWiring {
public:
    TServerWiring();
    ~TServerWiring();

    // Creates the data modules in their order; false when that failed.
    bool CreateDataModules();
    TDispatcher& Dispatcher() { return m_dispatcher; }
    // Hooks the controller's start-up dialog, listening port and the station lists.
    void Attach(TfrmMain& window);

    // Fills both station grids of the window; remembers the time station's address.
    void RefreshBrowseLists(TfrmMain& window);

private:
    TDispatcher m_dispatcher;
    // Serial numbers' own connection; used under the serial lock only.
    std::unique_ptr<TFbConnection> m_serialConnection;
};
