// Entry point of the DLLs that have an application object.
#include "ModuleState.h"

#include <windows.h>
#include <pthread.h>

// Frees the C++ runtime's emergency exception pool (part of the runtime
// linked into this DLL).
namespace __gnu_cxx {
void __freeres() noexcept;
}

// The threading library's record of a thread, the value it keeps in its
// thread-local slot.
extern "C" void* __pth_gpointer_locked(pthread_t thread);

namespace {

// The threading library linked into this DLL keeps per-thread state for
// every thread that used exceptions or guarded statics in it, in a
// thread-local slot it allocates once and never frees, and frees the state
// only when the thread ends. A DLL that is unloaded while the thread lives
// (a spooler may load and unload the monitor again and again) would leave a
// thread handle, an event, memory and the slot behind on every load, and
// the process would run out of slots after about a thousand loads. So on an
// unload the callbacks placed after this one, the threading library's, are
// told that this thread is done, and its slot is freed.
void NTAPI releaseThreadStateOnUnload(PVOID module, DWORD reason, PVOID reserved);

// Sections .CRT$XLA to .CRT$XLZ make the TLS callback array, in the order of
// their names: the C runtime's callbacks use XLC and XLD, the threading
// library's XLF.
extern "C" __attribute__((section(".CRT$XLE"), used)) const PIMAGE_TLS_CALLBACK qrxReleaseThreadStateOnUnload =
    releaseThreadStateOnUnload;

// The slot of the threading library: the one that holds its record of
// this thread.
DWORD threadingLibrarySlot() {
    constexpr DWORD kSlots = TLS_MINIMUM_AVAILABLE + 1024;
    void* record = __pth_gpointer_locked(pthread_self());
    for (DWORD slot = 0; record && slot < kSlots; ++slot)
        if (TlsGetValue(slot) == record) return slot;
    return TLS_OUT_OF_INDEXES;
}

const IMAGE_TLS_DIRECTORY* tlsDirectoryOf(PVOID module) {
    const auto* base = static_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& tls = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_TLS];
    return tls.VirtualAddress ? reinterpret_cast<const IMAGE_TLS_DIRECTORY*>(base + tls.VirtualAddress) : nullptr;
}

void NTAPI releaseThreadStateOnUnload(PVOID module, DWORD reason, PVOID reserved) {
    // At process end (reserved not null) the loader ends every thread anyway.
    if (reason != DLL_PROCESS_DETACH || reserved) return;
    const IMAGE_TLS_DIRECTORY* tls = tlsDirectoryOf(module);
    if (!tls) return;
    auto* callback = reinterpret_cast<const PIMAGE_TLS_CALLBACK*>(tls->AddressOfCallBacks);
    while (*callback && *callback != releaseThreadStateOnUnload) ++callback;
    if (!*callback) return;
    // The caller of FreeLibrary may still be reporting its own last error.
    const DWORD lastError = GetLastError();
    const DWORD slot = threadingLibrarySlot();
    for (++callback; *callback; ++callback) (*callback)(module, DLL_THREAD_DETACH, nullptr);
    if (slot != TLS_OUT_OF_INDEXES) TlsFree(slot);
    SetLastError(lastError);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    // An unload runs inside the caller's FreeLibrary (or a spooler call that
    // unloads), whose caller may still be reporting its own last error.
    const DWORD lastError = GetLastError();
    const BOOL result = module::runEntry(instance, reason, reserved);
    if (reason == DLL_PROCESS_DETACH && !reserved) {
        __gnu_cxx::__freeres();
        SetLastError(lastError);
    }
    return result;
}
