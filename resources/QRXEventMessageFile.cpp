// Entry point of the event message file. The event log viewer loads the
// library only to read its message table; nothing needs to run, and thread
// notifications are turned off.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
    DisableThreadLibraryCalls(instance);
    return TRUE;
}
