// The options a job prints with after its port asked the user for them.
#pragma once

#include "PortStore.h"
#include "PromptLauncher.h"

// Puts the answers of a confirmed prompt into the job's options and stores
// them in the port's key with the spooler's own rights, then gives the
// thread back the identity it had. Only the seven option values are ever
// taken; what is left out is logged. A failed store is logged too: the job
// still carries the answers.
void takePromptAnswers(const PromptRun& run, PortConfiguration& port, const PortStore& store);
