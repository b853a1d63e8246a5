#pragma once
// Connects the server core with the data modules and the device layers.

#include "unitDispatch.h"

class TfrmMain;

class TServerWiring {
public:
    TServerWiring();
    ~TServerWiring();

    // Creates the data modules in their order; false when that failed.
    bool CreateDataModules();
    TDispatcher& Dispatcher() { return m_dispatcher; }
    // Hooks the controller's start-up dialog, listening port and the station lists.
    void Attach(TfrmMain& window);

private:
    TDispatcher m_dispatcher;
};
