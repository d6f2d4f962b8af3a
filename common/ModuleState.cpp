#include "ModuleState.h"

namespace {

ModuleApplication* application = nullptr;
HMODULE instance = nullptr;
HMODULE resourceLibrary = nullptr;

std::wstring& helpPath() {
    static std::wstring path;
    return path;
}

}  // namespace

ModuleApplication::ModuleApplication() { application = this; }

ModuleApplication::~ModuleApplication() {
    if (application == this) application = nullptr;
}

ModuleApplication* ModuleApplication::instance() { return application; }

namespace module {

HMODULE instanceHandle() { return instance; }
void setInstanceHandle(HMODULE module) { instance = module; }

HMODULE resources() { return resourceLibrary; }
void setResources(HMODULE library) { resourceLibrary = library; }

BOOL runEntry(HMODULE dll, DWORD reason, LPVOID reserved) {
    ModuleApplication* app = ModuleApplication::instance();
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        setInstanceHandle(dll);
        return app && app->initInstance() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        // At process termination (reserved not null) the process is going
        // away: other threads are already gone, and Winsock may not be
        // cleaned up from here. Only an unload cleans up.
        if (app && !reserved) app->exitInstance();
        return TRUE;
    default:
        return TRUE;
    }
}

const std::wstring& helpFilePath() { return helpPath(); }
void setHelpFilePath(std::wstring path) { helpPath() = std::move(path); }

}  // namespace module
