// Wine's spooler loads the installed monitor for every call that reaches it
// (a port listing, a transceive channel) and unloads it again; a Windows
// spooler loads it once. Holding it loaded while the object lives makes a
// long run count what the monitor keeps, not what Wine's loader keeps of
// every load (the cost of a load is the business of a test of its own).
#pragma once

#include "TestPaths.h"

#include <windows.h>

class InstalledMonitorHeld {
public:
    InstalledMonitorHeld() {
        module_ = LoadLibraryW(qrxtest::systemFilePath(L"QRXServerDll.dll").c_str());
    }
    ~InstalledMonitorHeld() {
        if (module_) FreeLibrary(module_);
    }
    InstalledMonitorHeld(const InstalledMonitorHeld&) = delete;
    InstalledMonitorHeld& operator=(const InstalledMonitorHeld&) = delete;

private:
    HMODULE module_;
};
