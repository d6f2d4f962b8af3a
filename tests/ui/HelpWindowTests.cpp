// The installed help file under Wine's help viewer: each dialog's context id
// opens a help window, an id the file does not map opens none, and the Help
// button of the add port dialog (run by Wine's spooler through the installed
// UI library) opens it too.
#include "ResourceIds.h"
#include "TestPaths.h"
#include "Utilities.h"
#include "WindowDriver.h"

#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using qrxtest::runScripted;
using qrxtest::WindowDriver;

// The help file's title, which the viewer shows as its window's caption.
constexpr wchar_t kHelpCaption[] = L"Prentova Port Monitor Help";
constexpr UINT kHelpContext = 0x000F;  // HH_HELP_CONTEXT

using HtmlHelp = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

class HelpViewer : public testing::Test {
protected:
    void SetUp() override {
        viewer_ = LoadLibraryW(qrxtest::systemFilePath(L"hhctrl.ocx").c_str());
        ASSERT_NE(viewer_, nullptr);
        htmlHelp_ = reinterpret_cast<HtmlHelp>(GetProcAddress(viewer_, "HtmlHelpW"));
        ASSERT_NE(htmlHelp_, nullptr);
    }
    void TearDown() override {
        if (htmlHelp_) htmlHelp_(nullptr, nullptr, 0x0012 /* HH_CLOSE_ALL */, 0);
        if (viewer_) FreeLibrary(viewer_);
    }
    HMODULE viewer_ = nullptr;
    HtmlHelp htmlHelp_ = nullptr;
};

TEST_F(HelpViewer, OpensAWindowForEachDialogsContextIdAndNoneForAnother) {
    const std::wstring path = Utilities::helpFilePath();
    ASSERT_FALSE(path.empty()) << "no INSTALLDIR: the monitor is not installed";
    ASSERT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "the help file is not installed";
    for (DWORD topic : {IDD_CONFIGURE_PORT, IDD_OPTIONS, IDD_ADD_PORT}) {
        SCOPED_TRACE(topic);
        HWND window = htmlHelp_(nullptr, path.c_str(), kHelpContext, topic);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(WindowDriver::caption(window), kHelpCaption);
    }
    EXPECT_EQ(htmlHelp_(nullptr, path.c_str(), kHelpContext, IDI_HEADER), nullptr) << "an id without a topic";
}

TEST(HelpButton, OfTheAddPortDialogOpensTheHelpWindow) {
    runScripted(
        [] { return static_cast<INT_PTR>(AddPortW(nullptr, nullptr, const_cast<LPWSTR>(L"Prentova Port Monitor"))); },
        [](WindowDriver& driver) {
            HWND add = driver.waitForWindow(L"Prentova Port");
            driver.click(add, IDC_HELP_BUTTON);
            HWND help = driver.waitForWindow(kHelpCaption);
            PostMessageW(help, WM_CLOSE, 0, 0);
            driver.waitUntilClosed(help);
            EXPECT_TRUE(IsWindowVisible(add)) << "the dialog stays open";
            driver.clickWithoutWaiting(add, IDCANCEL);
            driver.waitUntilClosed(add);
        });
}

}  // namespace
