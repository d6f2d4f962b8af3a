// The monitor UI library's application object: its start-up and exit.
#pragma once

#include "ModuleState.h"
#include "Utilities.h"

class UIDll : public ModuleApplication, public Utilities {
public:
    bool initInstance() override;
    void exitInstance() override;
};
