#include "UIDll.h"

#include "Dialog.h"
#include "EventIds.h"

bool UIDll::initInstance() {
    registerDialogControls();
    return startModule(kUIEventSource);
}

void UIDll::exitInstance() { freeResourceLibrary(); }

// The module's one application object.
UIDll theUIDll;
