// The command line of the qrx-prentova-server program.
#pragma once

#include "FaultPlan.h"
#include "ReferenceServer.h"

#include <optional>
#include <string>
#include <vector>

namespace refserver {

struct ProgramSettings {
    ServerOptions server;             // log is left to the program
    std::wstring printerFile;         // empty: no printers
    std::optional<FaultPlan> fault;
    size_t jobs = 0;                  // end after this many jobs; 0: run until ended
    bool help = false;
};

// The arguments after the program name. Throws UsageError.
ProgramSettings parseCommandLine(const std::vector<std::wstring>& arguments);

const char* usageText();

}  // namespace refserver
