// The monitor DLL's application object: its start-up and exit.
#pragma once

#include "ModuleState.h"
#include "Utilities.h"

class ServerDll : public ModuleApplication, public Utilities {
public:
    bool initInstance() override;
    void exitInstance() override;
};
