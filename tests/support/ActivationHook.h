// Hooks in every process of the desktop that refuse activation to the
// windows of one caption, as Windows refuses the foreground to a program
// that a service starts, and count the flashes of those windows' captions
// meanwhile (a flash draws the caption active, with WM_NCACTIVATE, although
// the window is not).
#pragma once

#include <windows.h>

extern "C" {
// Installs the hooks for windows of that caption; refusing says whether
// their activation is refused from the start. False when they cannot be set.
__declspec(dllexport) BOOL qrxHookActivation(const wchar_t* caption, BOOL refusing);
// Lets the windows be activated from now on.
__declspec(dllexport) void qrxAllowActivation();
// How many times a window of the caption was drawn active while refused.
__declspec(dllexport) LONG qrxRefusedFlashes();
__declspec(dllexport) void qrxUnhookActivation();
}
