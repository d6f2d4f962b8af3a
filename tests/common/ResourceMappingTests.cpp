// A language library is mapped as a resource-only image: none of its code
// runs, and its strings, dialogs and icons are still read through the handle.
// The dialogs need a display (the tests run under Xvfb).
#include "MappedImages.h"
#include "MarkerLibrary.h"
#include "ModuleState.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "TestPaths.h"
#include "Utilities.h"

#include <gtest/gtest.h>

namespace {

bool markLeft() { return GetEnvironmentVariableW(kMarkerVariable, nullptr, 0) != 0; }

// The resource library of the module for the length of one test.
class UsedResources {
public:
    explicit UsedResources(HMODULE library) : saved_(module::resources()) { module::setResources(library); }
    ~UsedResources() { module::setResources(saved_); }
    UsedResources(const UsedResources&) = delete;
    UsedResources& operator=(const UsedResources&) = delete;

private:
    HMODULE saved_;
};

TEST(ResourceMapping, RunsNoCodeOfTheLibraryYetReadsItsStrings) {
    qrxtest::ScratchFolder folder{L"mapping"};
    const std::wstring planted = folder.file(resourceLibraryName(1031));
    ASSERT_TRUE(CopyFileW(qrxtest::plantedLibraryPath().c_str(), planted.c_str(), FALSE));
    SetEnvironmentVariableW(kMarkerVariable, nullptr);

    HMODULE library = loadResourceLibrary(1031, {folder.path()}, mapResourceLibrary);
    ASSERT_NE(library, nullptr) << GetLastError();
    EXPECT_FALSE(markLeft()) << "the library's entry point ran";
    EXPECT_EQ(GetModuleHandleW(resourceLibraryName(1031).c_str()), nullptr) << "loaded as a module that runs";
    EXPECT_EQ(qrxtest::mappedImages(resourceLibraryName(1031)).size(), 1u);
    {
        UsedResources used(library);
        EXPECT_EQ(loadResourceString(QRX_MARKER_TEXT_ID), L"" QRX_MARKER_TEXT);
    }
    EXPECT_TRUE(FreeLibrary(library));
    EXPECT_TRUE(qrxtest::mappedImages(resourceLibraryName(1031)).empty()) << "FreeLibrary lets the mapping go";

    // The mark is seen when the library is loaded to run: the check above can fail.
    HMODULE running = LoadLibraryW(planted.c_str());
    ASSERT_NE(running, nullptr) << GetLastError();
    EXPECT_TRUE(markLeft());
    FreeLibrary(running);
    SetEnvironmentVariableW(kMarkerVariable, nullptr);
}

// The English library as the modules map it.
class MappedEnglishLibrary : public testing::Test {
protected:
    void SetUp() override {
        library_ = loadResourceLibrary(kEnglishLanguage, {qrxtest::deliverablesFolder()}, mapResourceLibrary);
        ASSERT_NE(library_, nullptr) << GetLastError();
    }
    void TearDown() override {
        if (library_) FreeLibrary(library_);
    }
    HMODULE library_ = nullptr;
};

// What a dialog held when it started. The dialog ends there: one that is
// shown costs about 2 s under Xvfb (Wine waits for a window manager that is
// not there), and only the options dialog, visible by its template, is.
struct DialogSeen {
    std::wstring caption;
    bool headerIcon = false;
};

INT_PTR CALLBACK recordAndEnd(HWND dialog, UINT message, WPARAM, LPARAM parameter) {
    if (message != WM_INITDIALOG) return FALSE;
    auto* seen = reinterpret_cast<DialogSeen*>(parameter);
    wchar_t caption[100] = {};
    GetWindowTextW(dialog, caption, 100);
    seen->caption = caption;
    // The header's static control loads its icon from the dialog's instance:
    // the mapped library.
    seen->headerIcon = SendDlgItemMessageW(dialog, IDC_HEADER_ICON, STM_GETICON, 0, 0) != 0;
    EndDialog(dialog, IDOK);
    return TRUE;
}

TEST_F(MappedEnglishLibrary, GivesDialogsWithTheirHeaderIcons) {
    const struct {
        int id;
        const wchar_t* caption;
    } dialogs[] = {
        {IDD_CONFIGURE_PORT, L"Prentova Port Configuration"},
        {IDD_OPTIONS, L"Prentova Port Monitor Options"},
        {IDD_ADD_PORT, L"Prentova Port"},
    };
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.id);
        DialogSeen seen;
        INT_PTR result = DialogBoxParamW(library_, MAKEINTRESOURCEW(d.id), nullptr, recordAndEnd,
                                         reinterpret_cast<LPARAM>(&seen));
        EXPECT_EQ(result, IDOK) << GetLastError();
        EXPECT_EQ(seen.caption, d.caption);
        EXPECT_TRUE(seen.headerIcon);
    }
}

TEST_F(MappedEnglishLibrary, GivesIcons) {
    for (int id : {IDI_HEADER, IDI_PRINTER_ROW}) {
        SCOPED_TRACE(id);
        HICON icon = LoadIconW(library_, MAKEINTRESOURCEW(id));
        EXPECT_NE(icon, nullptr) << GetLastError();
        HANDLE small = LoadImageW(library_, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0);
        EXPECT_NE(small, nullptr) << GetLastError();
        if (small) DestroyIcon(static_cast<HICON>(small));
    }
}

}  // namespace
