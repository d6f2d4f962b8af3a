#include "ServerDll.h"

#include "EventIds.h"

#include <winsock2.h>

bool ServerDll::initInstance() {
    // A Winsock that cannot start fails each connection later, with its own error.
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);

    HMODULE library = loadResourceLibrary();
    if (!library) return false;
    resourceLibrary_ = library;
    module::setResources(library);

    registerEventSource(kServerEventSource);
    module::setHelpFilePath(helpFilePath());
    DisableThreadLibraryCalls(module::instanceHandle());
    return true;
}

void ServerDll::exitInstance() {
    if (resourceLibrary_) FreeLibrary(resourceLibrary_);
    resourceLibrary_ = nullptr;
    module::setResources(nullptr);
    WSACleanup();
}

// The module's one application object.
ServerDll theServerDll;
