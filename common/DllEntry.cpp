// Entry point of the DLLs that have an application object.
#include "ModuleState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return module::runEntry(instance, reason, reserved);
}
