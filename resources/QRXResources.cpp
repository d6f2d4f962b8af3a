// Entry point of the language resource library. The library holds resources
// only; the entry point leaves a trace for debuggers and asks not to be called
// for every thread that starts or ends in the process.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH)
        OutputDebugStringW(L"QRMRESOURCES.DLL Initializing!\n");
    else if (reason == DLL_PROCESS_DETACH)
        OutputDebugStringW(L"QRMRESOURCES.DLL Terminating!\n");
    DisableThreadLibraryCalls(instance);
    return TRUE;
}
