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

const std::wstring& helpFilePath() { return helpPath(); }
void setHelpFilePath(std::wstring path) { helpPath() = std::move(path); }

}  // namespace module
