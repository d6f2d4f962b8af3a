#include "UIDll.h"

#include "EventIds.h"

#include <commctrl.h>

bool UIDll::initInstance() {
    // The list view, hot key, extended combo box and standard control classes
    // of the dialogs.
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_LISTVIEW_CLASSES | ICC_HOTKEY_CLASS | ICC_USEREX_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    return startModule(kUIEventSource);
}

void UIDll::exitInstance() { freeResourceLibrary(); }

// The module's one application object.
UIDll theUIDll;
