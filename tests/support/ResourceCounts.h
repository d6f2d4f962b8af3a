// What a process holds, counted from inside it: kernel handles, committed
// private memory, working set, GDI and USER objects. Under Wine the
// system's own counters answer 0 for handles, private bytes and GUI objects,
// so each is counted another way there (see ResourceCounts.cpp).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

struct ResourceCounts {
    size_t handles = 0;
    size_t privateBytes = 0;
    size_t workingSet = 0;
    size_t gdiObjects = 0;
    // The same objects by type (GetObjectType's OBJ_BITMAP, OBJ_REGION, ...)
    // where they are counted by walking the process's GDI table (under
    // Wine); empty where the system counts them itself.
    std::map<unsigned long, size_t> gdiObjectsByType;
    size_t userObjects = 0;
};

ResourceCounts takeCounts();

// Leaves 40 handles, 2 MiB, 10 GDI objects and 10 windows behind for a
// moment and names each count that did not see them: a flat figure from a
// blind count proves nothing.
std::vector<std::string> blindCounts();
