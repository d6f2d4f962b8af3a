// The monitor's start-up and exit as the spooler's load runs them, in a
// program of its own so that nothing else has loaded the monitor or its
// resource library before.
#include "MappedImages.h"
#include "ResourceCounts.h"
#include "TestPaths.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring serverMessageFile() {
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text;
    RegGetValueW(HKEY_LOCAL_MACHINE,
                 L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Prentova Port Monitor Server",
                 L"EventMessageFile", RRF_RT_ANY | RRF_NOEXPAND, nullptr, text, &size);
    return text;
}

TEST(MonitorStartUp, RewritesTheEventSourceAndStopsWithoutTheEnglishLibrary) {
    ASSERT_EQ(GetModuleHandleW(L"QRXServerDll.dll"), nullptr) << "the monitor must not be loaded yet";
    const std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Prentova Port Monitor Server";
    const std::wstring stale = L"stale.dll";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"EventMessageFile", REG_EXPAND_SZ, stale.c_str(),
                              static_cast<DWORD>((stale.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    HMODULE monitor = LoadLibraryW(L"QRXServerDll.dll");
    ASSERT_NE(monitor, nullptr) << GetLastError();
    // The library is mapped as data, so it is in no module list: it is seen
    // among the process's mappings.
    std::vector<std::wstring> mapped = qrxtest::mappedImages(L"QRXPM1033U.dll");
    ASSERT_EQ(mapped.size(), 1u) << "start-up loads the English library";
    EXPECT_TRUE(qrxtest::isMappingOf(mapped[0], qrxtest::systemFilePath(L"QRXPM1033U.dll"))) << mapped[0];
    EXPECT_EQ(serverMessageFile(), L"%SystemRoot%\\System32\\QRX_EVENT_RU1033RI.DLL");
    FreeLibrary(monitor);
    EXPECT_TRUE(qrxtest::mappedImages(L"QRXPM1033U.dll").empty()) << "exit frees the library again";

    const std::wstring english = qrxtest::systemFilePath(L"QRXPM1033U.dll");
    const std::wstring aside = english + L".aside";
    ASSERT_TRUE(MoveFileW(english.c_str(), aside.c_str()));
    HMODULE withoutResources = LoadLibraryW(L"QRXServerDll.dll");
    DWORD error = GetLastError();
    ASSERT_TRUE(MoveFileW(aside.c_str(), english.c_str()));
    EXPECT_EQ(withoutResources, nullptr);
    EXPECT_NE(error, 0u);
    if (withoutResources) FreeLibrary(withoutResources);
}

// A spooler may load a library, use it and unload it again for every call
// (Wine's does so with the monitor; Windows' client side with the UI
// library). Every load must take back what it took: the C++ runtime linked
// into the libraries keeps per-thread state, a thread-local slot and an
// exception pool, and the process ran out of slots after about a thousand
// loads.
TEST(MonitorStartUp, LoadedAndUnloadedAgainAndAgainTheLibrariesLeaveNothingBehind) {
    constexpr int kLoads = 1200;  // more than a process has thread-local slots
    constexpr size_t kHandleGrowth = 2;
    constexpr size_t kByteGrowth = 1024 * 1024;
    // Wine's spooler client library keeps a mutex of every load of its own.
    HMODULE spoolerClient = LoadLibraryW(L"winspool.drv");
    for (const wchar_t* name : {L"QRXServerDll.dll", L"QRXUIDll.dll"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        const std::wstring path = qrxtest::systemFilePath(name);
        const auto cycle = [&] {
            HMODULE library = LoadLibraryW(path.c_str());
            if (!library) return false;
            using Initialize = LPMONITOR2(WINAPI*)(PMONITORINIT, PHANDLE);
            if (auto initialize = reinterpret_cast<Initialize>(GetProcAddress(library, "InitializePrintMonitor2"))) {
                MONITORINIT init{};
                HANDLE monitor = nullptr;
                if (LPMONITOR2 table = initialize(&init, &monitor)) table->pfnShutdown(monitor);
            }
            return FreeLibrary(library) != FALSE;
        };
        ASSERT_TRUE(cycle()) << GetLastError();
        const ResourceCounts before = takeCounts();
        int loads = 1;
        while (loads < kLoads && cycle()) ++loads;
        const ResourceCounts after = takeCounts();
        EXPECT_EQ(loads, kLoads);
        EXPECT_LE(after.handles, before.handles + kHandleGrowth);
        EXPECT_LE(after.privateBytes, before.privateBytes + kByteGrowth);
        const DWORD slot = TlsAlloc();
        EXPECT_NE(slot, TLS_OUT_OF_INDEXES);
        TlsFree(slot);
    }
    FreeLibrary(spoolerClient);
}

}  // namespace
