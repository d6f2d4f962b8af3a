// Entry point of the DLLs that have an application object: start-up and exit
// of the module run the object's instance start and exit.
#include "ModuleState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    ModuleApplication* app = ModuleApplication::instance();
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        module::setInstanceHandle(instance);
        return app && app->initInstance() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        if (app) app->exitInstance();
        return TRUE;
    default:
        return TRUE;
    }
}
