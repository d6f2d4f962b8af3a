// A long run of the monitor through its own function table, as the spooler
// calls it: jobs with faults on several ports at once, transceive commands
// and port listings, with the process's counts taken between slices.
#pragma once

#include "ResourceCounts.h"

#include <cstddef>
#include <functional>
#include <vector>

struct MonitorSoakPlan {
    size_t jobs = 10000;
    size_t xcvCommands = 100000;
    size_t enumPortsCalls = 10000;
    size_t ports = 8;
    size_t slices = 10;
};

struct MonitorSoakResult {
    // After the warm-up, then after each slice.
    std::vector<ResourceCounts> checkpoints;
    size_t jobsPrinted = 0;
    size_t jobsFailed = 0;            // on purpose, with a fault of the server's
    size_t byteMismatches = 0;        // a printed job whose data the server got otherwise
    size_t wrongOutcomes = 0;         // a job that failed unplanned, succeeded despite its fault, or failed with another code
    // The first few of them: what the job met and the code it ended with.
    struct WrongOutcome {
        const char* fault;
        unsigned long code;
    };
    std::vector<WrongOutcome> firstWrongOutcomes;
    size_t jobsNotDeleted = 0;        // a job the monitor did not delete from the spooler
    size_t xcvCommands = 0;
    size_t xcvUnexpected = 0;         // a command whose status was not the one due
    size_t enumPortsCalls = 0;
    size_t enumPortsFailures = 0;
};

// Each count is also handed to onCheckpoint as it is taken (0: after the warm-up).
MonitorSoakResult runMonitorSoak(const MonitorSoakPlan& plan,
                                 const std::function<void(size_t, const ResourceCounts&)>& onCheckpoint);
