#include "ActivationHook.h"

#include <cwchar>

namespace {

// What the hooks share across the processes they run in.
struct SharedState {
    LONG refusing;
    LONG flashes;
    wchar_t caption[128];
};

HMODULE self = nullptr;
HANDLE mapping = nullptr;
SharedState* state = nullptr;
HHOOK activationHook = nullptr;
HHOOK messageHook = nullptr;

bool isWatched(HWND window) {
    if (!state || !state->caption[0]) return false;
    wchar_t caption[128] = {};
    GetWindowTextW(window, caption, 128);
    return std::wcscmp(caption, state->caption) == 0;
}

LRESULT CALLBACK onActivation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && state && state->refusing && isWatched(reinterpret_cast<HWND>(wParam))) return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK onMessage(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_NCACTIVATE && message->wParam && state && state->refusing &&
        isWatched(message->hwnd))
        InterlockedIncrement(&state->flashes);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedState),
                                     L"Local\\QRXActivationHookState");
        if (mapping) state = static_cast<SharedState*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    } else if (reason == DLL_PROCESS_DETACH) {
        if (state) UnmapViewOfFile(state);
        if (mapping) CloseHandle(mapping);
    }
    return TRUE;
}

BOOL qrxHookActivation(const wchar_t* caption, BOOL refusing) {
    if (!state) return FALSE;
    wcsncpy(state->caption, caption, 127);
    state->flashes = 0;
    state->refusing = refusing;
    activationHook = SetWindowsHookExW(WH_CBT, onActivation, self, 0);
    messageHook = SetWindowsHookExW(WH_CALLWNDPROC, onMessage, self, 0);
    return activationHook && messageHook;
}

void qrxAllowActivation() {
    if (state) state->refusing = 0;
}

LONG qrxRefusedFlashes() { return state ? state->flashes : 0; }

void qrxUnhookActivation() {
    if (activationHook) UnhookWindowsHookEx(activationHook);
    if (messageHook) UnhookWindowsHookEx(messageHook);
    activationHook = messageHook = nullptr;
    if (state) state->caption[0] = L'\0';
}
