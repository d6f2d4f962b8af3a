// The UI library's share of a long run: its configure dialog opened through
// the library's own table again and again, the server's printer list
// fetched (now and then refused), and cancelled.
#pragma once

#include "ResourceCounts.h"

#include <cstddef>

struct DialogSoakResult {
    // After a few runs of warm-up, and after the last run.
    ResourceCounts start;
    ResourceCounts end;
    // The same for as many windows made from the same template by the
    // system's dialog procedure alone, shown and destroyed: what the window
    // system itself keeps of such windows (Wine keeps GDI objects of every
    // window it destroys), against which the dialog's own figures are read.
    ResourceCounts plainStart;
    ResourceCounts plainEnd;
    size_t runs = 0;
    size_t refusedFetches = 0;   // runs whose fetch the server refused, each shown in a box
    size_t scriptFailures = 0;   // runs whose windows did not come or answer as due, or plain windows not made
};

DialogSoakResult runDialogSoak(size_t runs);
