#include "ServerDll.h"

#include "EventIds.h"

#include <winsock2.h>

bool ServerDll::initInstance() {
    // A Winsock that cannot start fails each connection later, with its own error.
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    return startModule(kServerEventSource);
}

void ServerDll::exitInstance() {
    freeResourceLibrary();
    WSACleanup();
}

// The module's one application object.
ServerDll theServerDll;
