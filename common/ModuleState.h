// The least application-module layer the modules need: each module (DLL or
// program) has one application object, started and ended with the module,
// and one current resource library from which every text, dialog and icon
// is taken. Every module links its own copy, so these are per module.
#pragma once

#include <windows.h>

#include <string>

class ModuleApplication {
public:
    ModuleApplication();
    virtual ~ModuleApplication();
    ModuleApplication(const ModuleApplication&) = delete;
    ModuleApplication& operator=(const ModuleApplication&) = delete;

    // Start-up of the instance; false makes the module's load fail.
    virtual bool initInstance() = 0;
    virtual void exitInstance() = 0;

    // The module's one application object, or nullptr.
    static ModuleApplication* instance();
};

namespace module {

HMODULE instanceHandle();
void setInstanceHandle(HMODULE module);

// The library searched for strings, dialogs and icons; null until loaded.
HMODULE resources();
void setResources(HMODULE library);

// What the DLL entry point does: start-up and exit of the module run the
// application object's instance start and exit.
BOOL runEntry(HMODULE instance, DWORD reason, LPVOID reserved);

const std::wstring& helpFilePath();
void setHelpFilePath(std::wstring path);

}  // namespace module
