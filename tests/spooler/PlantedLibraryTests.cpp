// The monitor as a German user's process loads it, with a library of the
// German library's name planted in a folder on PATH. There is no German
// library of ours: the monitor must take the English one from its own folder
// or the system directory and never load, or run, the planted one.
#include "MappedImages.h"
#include "MarkerLibrary.h"
#include "TestPaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(PlantedLanguageLibrary, IsNeverLoadedAndTheMonitorTakesTheEnglishLibrary) {
    // What the test stands on: the user's language is German, and the
    // system's search for the German library's bare name finds the planted one.
    ASSERT_EQ(GetUserDefaultUILanguage(), 1031) << "LANG should make the user German";
    wchar_t found[MAX_PATH] = {};
    ASSERT_NE(SearchPathW(nullptr, L"QRXPM1031U.dll", nullptr, MAX_PATH, found, nullptr), 0u)
        << "the planted library should be on PATH";
    EXPECT_EQ(CompareStringOrdinal(found, -1, qrxtest::plantedLibraryPath().c_str(), -1, TRUE), CSTR_EQUAL) << found;
    ASSERT_EQ(GetModuleHandleW(L"QRXServerDll.dll"), nullptr) << "the monitor must not be loaded yet";
    SetEnvironmentVariableW(kMarkerVariable, nullptr);

    HMODULE monitor = LoadLibraryW(L"QRXServerDll.dll");
    ASSERT_NE(monitor, nullptr) << "the monitor did not start: " << GetLastError();
    EXPECT_EQ(GetEnvironmentVariableW(kMarkerVariable, nullptr, 0), 0u) << "the planted library's code ran";
    EXPECT_TRUE(qrxtest::mappedImages(L"QRXPM1031U.dll").empty()) << "the planted library was mapped";
    std::vector<std::wstring> english = qrxtest::mappedImages(L"QRXPM1033U.dll");
    ASSERT_EQ(english.size(), 1u) << "the monitor took the English library";
    EXPECT_TRUE(qrxtest::isMappingOf(english[0], qrxtest::systemFilePath(L"QRXPM1033U.dll"))) << english[0];
    FreeLibrary(monitor);
}

}  // namespace
