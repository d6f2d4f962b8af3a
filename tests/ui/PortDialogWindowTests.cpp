// The port dialogs as an administrator meets them: Wine's spooler runs
// AddPortW, ConfigurePortW and DeletePortW through the installed monitor and
// its UI library, and the test drives the real windows against the
// reference print server.
#include "LoopbackPeer.h"
#include "ReferenceServer.h"
#include "ResourceIds.h"
#include "StoredPort.h"
#include "SystemErrorText.h"
#include "WindowDriver.h"

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qrxtest::runScripted;
using qrxtest::WindowDriver;

constexpr wchar_t kMonitor[] = L"Prentova Port Monitor";
constexpr wchar_t kAddCaption[] = L"Prentova Port";
constexpr wchar_t kConfigureCaption[] = L"Prentova Port Configuration";
constexpr wchar_t kOptionsCaption[] = L"Prentova Port Monitor Options";
constexpr wchar_t kBoxCaption[] = L"Prentova Port Monitor";

std::wstring screenshot(const wchar_t* name) { return std::wstring(QRX_TEST_SCREENSHOTS_DIR) + L"\\" + name; }

// A port key the monitor made, removed whatever the test left.
class PortKeyRemoved {
public:
    explicit PortKeyRemoved(std::wstring name) : path_(qrxtest::kMonitorPortsKey + L"\\" + name) {}
    ~PortKeyRemoved() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str());
    }
    bool exists() const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    std::wstring text(const wchar_t* value) const {
        wchar_t text[512] = {};
        DWORD size = sizeof text;
        RegGetValueW(HKEY_LOCAL_MACHINE, path_.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size);
        return text;
    }
    DWORD flag(const wchar_t* value) const {
        DWORD flag = 0xdeadbeef, size = sizeof flag;
        RegGetValueW(HKEY_LOCAL_MACHINE, path_.c_str(), value, RRF_RT_REG_DWORD, nullptr, &flag, &size);
        return flag;
    }

private:
    std::wstring path_;
};

// The list view of the configure dialog, read from the test's thread.
int rowCount(HWND dialog) {
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_CFG_PRINTER_LIST), LVM_GETITEMCOUNT, 0, 0));
}

std::wstring cell(HWND dialog, int row, int column) {
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(GetDlgItem(dialog, IDC_CFG_PRINTER_LIST), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<std::wstring> column(HWND dialog, int columnIndex) {
    std::vector<std::wstring> texts;
    for (int row = 0; row < rowCount(dialog); ++row) texts.push_back(cell(dialog, row, columnIndex));
    return texts;
}

int selectedRow(HWND dialog) {
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_CFG_PRINTER_LIST), LVM_GETNEXTITEM, WPARAM(-1),
                                         LVNI_SELECTED));
}

// Clicks a button whose handler shows a message box, returns the box's text
// and closes the box.
std::wstring warningOf(WindowDriver& driver, HWND dialog, int button, const wchar_t* screenshotName = nullptr) {
    driver.clickWithoutWaiting(dialog, button);
    auto box = driver.waitForMessageBox(kBoxCaption);
    if (screenshotName) driver.saveScreenshot(box.window, screenshot(screenshotName));
    driver.closeMessageBox(box);
    return box.text;
}

// AddPortW as a printer's properties call it, keeping its last error.
INT_PTR addPort(DWORD& error) {
    BOOL ok = AddPortW(nullptr, nullptr, const_cast<LPWSTR>(kMonitor));
    error = GetLastError();
    return ok;
}

class PortDialogs : public testing::Test {
protected:
    static refserver::ServerOptions serverOptions() {
        refserver::ServerOptions options;
        options.printers = {{L"PRT1", L"Floor 2", L"Laser, duplex"}, {L"PRT2", L"Floor 1", L"Colour"},
                            {L"Alpha", L"Basement", L"Plotter"},      {L"PRT", L"Floor 3", L"Labels"},
                            {L"alpha", L"Garden", L"Test"}};
        return options;
    }
    refserver::ReferenceServer server_{serverOptions()};
    const std::wstring port_ = std::to_wstring(server_.port());
};

TEST_F(PortDialogs, AnAdministratorAddsAndConfiguresAPortThenDeletesIt) {
    PortKeyRemoved added(L"QRXUI1:");
    qrxtest::StoredPort existing(L"QRXUIA:");
    existing.set(L"Host", L"127.0.0.1");
    DWORD error = 0;
    INT_PTR result = runScripted(
        [&] { return addPort(error); },
        [&](WindowDriver& driver) {
            HWND add = driver.waitForWindow(kAddCaption);
            driver.saveScreenshot(add, screenshot(L"add-port-dialog.png"));
            EXPECT_EQ(warningOf(driver, add, IDOK, L"warning.png"), L"VAV5001I Enter a name for the Prentova port.");
            // A name is taken whatever its letter case, another monitor's too.
            for (const std::wstring taken : {L"LPT1:", L"lpt1:", L"qrxuia:"}) {
                driver.setText(add, IDC_ADD_PORT_NAME, taken);
                EXPECT_EQ(warningOf(driver, add, IDOK), L"DAV5007I Port " + taken + L" already exists.");
            }
            driver.setText(add, IDC_ADD_PORT_NAME, L"QRXUI1:");
            driver.clickWithoutWaiting(add, IDOK);

            HWND configure = driver.waitForWindow(kConfigureCaption);
            EXPECT_TRUE(added.exists()) << "AddPort came before the configure dialog";
            EXPECT_EQ(driver.text(configure, IDC_CFG_HOST_PORT), L"515") << "no stored port number";
            EXPECT_EQ(rowCount(configure), 0);
            EXPECT_EQ(warningOf(driver, configure, IDOK),
                      L"VAV5004I Enter the host name of the Hostra system in Host Name.");
            driver.setText(configure, IDC_CFG_HOST_NAME, L"127.0.0.1");
            driver.setText(configure, IDC_CFG_HOST_PORT, L"");
            EXPECT_EQ(warningOf(driver, configure, IDC_CFG_GET_PRINTER_LIST),
                      L"VAV5005I Enter the port number of the Prentova Server LPD in Host Port.");
            driver.setText(configure, IDC_CFG_HOST_PORT, L"5x");
            EXPECT_EQ(warningOf(driver, configure, IDC_CFG_GET_PRINTER_LIST),
                      L"VAV5008I The port numer must be an integer.");
            for (const wchar_t* noTcpPort : {L"0", L"65536", L"70001"}) {
                driver.setText(configure, IDC_CFG_HOST_PORT, noTcpPort);
                EXPECT_EQ(warningOf(driver, configure, IDC_CFG_GET_PRINTER_LIST),
                          L"VAV5009I The port number must be between 1 and 65535.")
                    << noTcpPort;
            }
            const std::wstring dead = qrxtest::closedPort();
            driver.setText(configure, IDC_CFG_HOST_PORT, dead);
            const std::wstring refused = systemErrorText(WSAECONNREFUSED);
            EXPECT_EQ(warningOf(driver, configure, IDC_CFG_GET_PRINTER_LIST),
                      refused.substr(0, refused.find(L'\r')) + L"\nhost: 127.0.0.1, port " + dead)
                << "the system's text, then the server that was asked";
            driver.setText(configure, IDC_CFG_HOST_PORT, port_);
            driver.click(configure, IDC_CFG_GET_PRINTER_LIST);
            EXPECT_EQ(column(configure, 0), (std::vector<std::wstring>{L"PRT1", L"PRT2", L"Alpha", L"PRT", L"alpha"}));
            EXPECT_EQ(column(configure, 2),
                      (std::vector<std::wstring>{L"Laser, duplex", L"Colour", L"Plotter", L"Labels", L"Test"}));
            EXPECT_EQ(warningOf(driver, configure, IDOK),
                      L"DAV5006I Click Get Printer List. Then select the printer you want to use from the Printer "
                      L"Selection list.");

            // The clicks are queued as the mouse's would be: wait for the sort.
            const std::vector<std::wstring> byLocation{L"Basement", L"Floor 1", L"Floor 2", L"Floor 3", L"Garden"};
            driver.clickListColumn(configure, IDC_CFG_PRINTER_LIST, 1);
            driver.waitUntil([&] { return column(configure, 1) == byLocation; }, "rows sorted by location");
            // Sorted by location the names are already led by "Alpha": wait for the order to change.
            const std::vector<std::wstring> namesByLocation = column(configure, 0);
            driver.clickListColumn(configure, IDC_CFG_PRINTER_LIST, 0);
            driver.waitUntil([&] { return column(configure, 0) != namesByLocation; }, "rows sorted by name");
            EXPECT_EQ(column(configure, 0), (std::vector<std::wstring>{L"Alpha", L"PRT", L"PRT1", L"PRT2", L"alpha"}))
                << "ordinal: a prefix first, lower case after upper case";
            driver.clickListColumn(configure, IDC_CFG_PRINTER_LIST, 1);
            driver.clickListColumn(configure, IDC_CFG_PRINTER_LIST, 1);
            driver.waitUntil([&] { return column(configure, 1) == byLocation; }, "a second click sorts ascending again");
            driver.clickListRow(configure, IDC_CFG_PRINTER_LIST, 1);
            driver.waitUntil([&] { return driver.text(configure, IDC_CFG_SELECTED_PRINTER) == L"PRT2"; },
                             "the clicked printer in Selected Printer");
            driver.click(configure, IDC_CFG_UNATTENDED);
            driver.saveScreenshot(configure, screenshot(L"configure-port-dialog.png"));

            driver.clickWithoutWaiting(configure, IDC_CFG_OPTIONS);
            HWND options = driver.waitForWindow(kOptionsCaption);
            EXPECT_FALSE(IsWindowEnabled(configure)) << "the configure dialog takes no clicks meanwhile";
            driver.setText(options, IDC_OPT_NAME, L"Ann O'Hara");
            driver.setText(options, IDC_OPT_ADDRESS_1, L"1 Main Street");
            driver.setText(options, IDC_OPT_JOB_ATTRIBUTES, L"copies=2");
            driver.click(options, IDC_OPT_PROMPT);
            driver.clickWithoutWaiting(options, IDOK);
            driver.waitUntilClosed(options);
            driver.waitUntil([&] { return IsWindowEnabled(configure) != FALSE; }, "the configure dialog enabled");
            // The configure dialog is enabled as soon as the options dialog
            // ends, before the options are written; the prompt flag is written last.
            driver.waitUntil([&] { return added.flag(L"Show") == 1u; }, "the options stored");
            EXPECT_EQ(added.text(L"Name"), L"Ann O'Hara") << "options are stored at once";
            EXPECT_EQ(added.text(L"Addr"), L"1 Main Street\n\n\n");
            EXPECT_EQ(added.text(L"Attr"), L"copies=2");
            EXPECT_EQ(added.flag(L"Show"), 1u);

            driver.clickWithoutWaiting(configure, IDOK);
            driver.waitUntilClosed(configure);
        });
    EXPECT_EQ(result, TRUE) << error;
    EXPECT_EQ(added.text(L"Host"), L"127.0.0.1");
    EXPECT_EQ(added.text(L"Port"), port_);
    EXPECT_EQ(added.text(L"Printer"), L"PRT2");
    EXPECT_EQ(added.flag(L"Unattended"), 1u);

    EXPECT_EQ(existing.get(L"Host"), L"127.0.0.1") << "the port of the other letter case is unchanged";

    SetLastError(0xdeadbeef);
    EXPECT_TRUE(DeletePortW(nullptr, nullptr, const_cast<LPWSTR>(L"QRXUI1:"))) << GetLastError();
    EXPECT_FALSE(added.exists());
}

TEST_F(PortDialogs, CancellingTheConfigurationOfANewPortDeletesIt) {
    PortKeyRemoved added(L"QRXUI2:");
    DWORD error = 0;
    INT_PTR result = runScripted(
        [&] { return addPort(error); },
        [&](WindowDriver& driver) {
            HWND add = driver.waitForWindow(kAddCaption);
            driver.setText(add, IDC_ADD_PORT_NAME, L"QRXUI2:");
            driver.clickWithoutWaiting(add, IDOK);
            HWND configure = driver.waitForWindow(kConfigureCaption);
            EXPECT_EQ(warningOf(driver, configure, IDCANCEL), L"VAV5002I The port has been deleted.");
        });
    EXPECT_EQ(result, FALSE);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_CANCELLED));
    EXPECT_FALSE(added.exists());
}

// The configure action of the installed UI library, called as the spooler
// calls it.
BOOL configureThroughTheLibrary(const wchar_t* portName) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    HMODULE library = LoadLibraryW((std::wstring(system) + L"\\QRXUIDll.dll").c_str());
    if (!library) return FALSE;
    using Initialize = PMONITORUI(WINAPI*)();
    auto initialize = reinterpret_cast<Initialize>(GetProcAddress(library, "InitializePrintMonitorUI"));
    BOOL ok = initialize ? initialize()->pfnConfigurePortUI(nullptr, nullptr, const_cast<LPWSTR>(portName)) : FALSE;
    DWORD error = GetLastError();
    FreeLibrary(library);
    SetLastError(error);
    return ok;
}

// A stored port opens with the server's list fetched at once; its printer is
// selected only when the list names it exactly. Once through the spooler's
// ConfigurePortW; once through the library's own action, whose last error
// the spooler's own clean-up does not overwrite (Wine's leaves 0).
class StoredPortDialog : public PortDialogs, public testing::WithParamInterface<bool> {};

TEST_P(StoredPortDialog, FetchesTheListAtOnceAndSelectsOnlyAnExactMatch) {
    const bool exact = GetParam();
    qrxtest::StoredPort port(L"QRXUI3:");
    port.set(L"Host", L"127.0.0.1");
    port.set(L"Port", port_);
    port.set(L"Printer", exact ? L"PRT2" : L"prt2");
    DWORD error = 0;
    INT_PTR result = runScripted(
        [&]() -> INT_PTR {
            BOOL ok = exact ? ConfigurePortW(nullptr, nullptr, const_cast<LPWSTR>(L"QRXUI3:"))
                            : configureThroughTheLibrary(L"QRXUI3:");
            error = GetLastError();
            return ok;
        },
        [&](WindowDriver& driver) {
            HWND configure = driver.waitForWindow(kConfigureCaption);
            EXPECT_EQ(rowCount(configure), 5);
            EXPECT_EQ(selectedRow(configure), exact ? 1 : -1);
            EXPECT_EQ(driver.text(configure, IDC_CFG_SELECTED_PRINTER), exact ? L"PRT2" : L"prt2");
            driver.setText(configure, IDC_CFG_HOST_NAME, L"127.0.0.1 ");
            EXPECT_EQ(rowCount(configure), 0) << "another host forgets the list";
            EXPECT_EQ(driver.text(configure, IDC_CFG_SELECTED_PRINTER), L"");
            driver.clickWithoutWaiting(configure, IDCANCEL);
            driver.waitUntilClosed(configure);
        });
    EXPECT_EQ(result, TRUE) << "a cancelled configuration is no failure of the action";
    if (!exact) {
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_CANCELLED));
    }
    EXPECT_EQ(port.get(L"Printer"), exact ? L"PRT2" : L"prt2") << "Cancel sends nothing";
    EXPECT_EQ(port.get(L"Host"), L"127.0.0.1");
}

INSTANTIATE_TEST_SUITE_P(ExactAndOtherCase, StoredPortDialog, testing::Bool());

}  // namespace
