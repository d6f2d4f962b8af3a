// The options a job prints with after its port asked the user for them.
#pragma once

#include "PortStore.h"
#include "PromptLauncher.h"

// Logs why a prompt was not shown or was ended, or why its program did not
// start; the job then prints with the options as stored. Puts the answers
// of a confirmed prompt into the job's options and stores them in the
// port's key with the spooler's own rights, then gives the thread back the
// identity it had. Only the seven option values are ever taken; what is left
// out is logged in one event. A failed store is logged too: the job still
// carries the answers.
void takePromptAnswers(const PromptRun& run, const std::wstring& programPath, PortConfiguration& port,
                       const PortStore& store);
