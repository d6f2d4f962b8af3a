// The installed library as the spooler loads it, in a program of its own.
#include "MappedImages.h"
#include "StoredPort.h"
#include "TestPaths.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <gtest/gtest.h>

namespace {

TEST(UIDll, StartsWithItsResourcesOffersItsTableAndServesTheSpooler) {
    const std::wstring path = qrxtest::systemFilePath(L"QRXUIDll.dll");
    HMODULE library = LoadLibraryW(path.c_str());
    ASSERT_NE(library, nullptr) << GetLastError();
    EXPECT_EQ(qrxtest::mappedImages(L"QRXPM1033U.dll").size(), 1u) << "start-up loads the English library";
    using Initialize = PMONITORUI(WINAPI*)();
    auto initialize = reinterpret_cast<Initialize>(GetProcAddress(library, "InitializePrintMonitorUI"));
    ASSERT_NE(initialize, nullptr) << "exported under its plain name";
    PMONITORUI table = initialize();
    EXPECT_EQ(table->dwMonitorUISize, sizeof(void*) == 8 ? 32u : 16u);
    EXPECT_TRUE(table->pfnAddPortUI && table->pfnConfigurePortUI && table->pfnDeletePortUI);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(table->pfnDeletePortUI(nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    FreeLibrary(library);
    EXPECT_TRUE(qrxtest::mappedImages(L"QRXPM1033U.dll").empty()) << "exit frees the library again";

    // Wine's spooler deletes a port of a monitor without a DeletePort of its
    // own through the monitor's UI library only.
    qrxtest::StoredPort port(L"QRXUIDLL:");
    EXPECT_TRUE(DeletePortW(nullptr, nullptr, const_cast<LPWSTR>(port.name().c_str()))) << GetLastError();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (qrxtest::kMonitorPortsKey + L"\\" + port.name()).c_str(), 0,
                            KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
}

}  // namespace
