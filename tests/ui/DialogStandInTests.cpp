// The port dialogs as real windows over a stand-in for the spooler, for the
// refusals that the installed monitor cannot be made to give.
#include "AddPortDialog.h"
#include "ConfigurePortDialog.h"
#include "Recorders.h"
#include "ResourceIds.h"
#include "StandIns.h"
#include "SystemErrorText.h"
#include "WindowDriver.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::runScripted;
using qrxtest::WindowDriver;

constexpr wchar_t kBoxCaption[] = L"Prentova Port Monitor";

// Every refusal of "PortExists" is worded: the monitor's string for its
// string identifiers, the system's text for any other status.
TEST(AddPortDialogRefusals, EveryStatusIsWorded) {
    struct Case {
        DWORD status;
        std::wstring warning;
    };
    const Case cases[] = {
        {3537, L"DAV5007I Port QRX9: already exists."},
        {ERROR_ACCESS_DENIED, systemErrorText(ERROR_ACCESS_DENIED)},
        {ERROR_NOT_ENOUGH_MEMORY, systemErrorText(ERROR_NOT_ENOUGH_MEMORY)},
    };
    qrxtest::StandInSpooler spooler;
    for (const Case& c : cases) spooler.script.push_back({c.status});
    spooler.script.push_back({0});
    XcvChannel channel(nullptr, ChannelKind::Monitor, L"Prentova Port Monitor");
    AddPortDialog dialog(nullptr, channel);
    INT_PTR result = runScripted([&] { return dialog.runModal(); },
                                 [&](WindowDriver& driver) {
                                     HWND add = driver.waitForWindow(L"Prentova Port");
                                     driver.setText(add, IDC_ADD_PORT_NAME, L"QRX9:");
                                     for (const Case& c : cases) {
                                         driver.clickWithoutWaiting(add, IDOK);
                                         auto box = driver.waitForMessageBox(kBoxCaption);
                                         EXPECT_FALSE(box.text.empty());
                                         EXPECT_EQ(box.text, c.warning) << c.status;
                                         driver.closeMessageBox(box);
                                     }
                                     driver.clickWithoutWaiting(add, IDOK);
                                     driver.waitUntilClosed(add);
                                 });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.portName(), L"QRX9:");
    EXPECT_EQ(std::count(spooler.trace.begin(), spooler.trace.end(), L"PortExists QRX9:"), 4)
        << "the name without its terminator, once per OK";
}

// The configure dialog of the port QRX9: over a stand-in spooler, driven by
// a window script: the dialog's result.
class ConfigureDialogOverStandIn : public testing::Test {
protected:
    INT_PTR run(const std::function<void(WindowDriver&, HWND)>& script) {
        ConfigurePortDialog dialog(settings_, channel_, nullptr);
        return runScripted([&] { return dialog.runModal(); },
                           [&](WindowDriver& driver) {
                               HWND configure = driver.waitForWindow(L"Prentova Port Configuration");
                               script(driver, configure);
                               driver.waitUntilClosed(configure);
                           });
    }

    qrxtest::StandInSpooler spooler_;
    qrxtest::RecordingEventLog log_;
    XcvChannel channel_{nullptr, ChannelKind::Port, L"QRX9:"};
    PortSettings settings_{L"QRX9:"};
};

TEST_F(ConfigureDialogOverStandIn, AFailedOptionQueryIsShownAndLoggedAndTheDialogStays) {
    spooler_.fault = qrxtest::StandInSpooler::Fault{L"GetBuilding", ERROR_ACCESS_DENIED, 0};
    INT_PTR result = run([&](WindowDriver& driver, HWND configure) {
        driver.clickWithoutWaiting(configure, IDC_CFG_OPTIONS);
        auto box = driver.waitForMessageBox(kBoxCaption);
        EXPECT_EQ(box.text, systemErrorText(ERROR_ACCESS_DENIED));
        driver.closeMessageBox(box);
        EXPECT_TRUE(IsWindowEnabled(configure));
        driver.clickWithoutWaiting(configure, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_EQ(log_.events().size(), 1u);
    EXPECT_EQ(log_.events()[0].eventId, 0xCFFE0001u);
    EXPECT_EQ(std::count_if(spooler_.trace.begin(), spooler_.trace.end(),
                            [](const std::wstring& call) { return call.rfind(L"Set", 0) == 0; }),
              0)
        << "nothing is written after a failed query";
}

// A click on a row takes the printer's whole name from the list behind it,
// however long, and the row that was clicked also after a sort.
TEST_F(ConfigureDialogOverStandIn, AClickedPrinterIsTakenWholeWhateverTheOrder) {
    const std::wstring longName = std::wstring(2000, L'Q') + L"-end";
    spooler_.stored[L"GetPrinterList"] = qrxtest::bytesOf(L"Zeta\nFloor 1\nSmall\n" + longName + L"\nFloor 2\nLong\n");
    settings_.hostName = L"printhost";
    auto firstRowStart = [](HWND configure) {
        wchar_t text[5] = {};
        LVITEMW item{};
        item.pszText = text;
        item.cchTextMax = 5;
        SendMessageW(GetDlgItem(configure, IDC_CFG_PRINTER_LIST), LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
        return std::wstring(text);
    };
    INT_PTR result = run([&](WindowDriver& driver, HWND configure) {
        EXPECT_EQ(firstRowStart(configure), L"Zeta");
        driver.clickListColumn(configure, IDC_CFG_PRINTER_LIST, 0);
        driver.waitUntil([&] { return firstRowStart(configure) == L"QQQQ"; }, "the sort");
        driver.clickListRow(configure, IDC_CFG_PRINTER_LIST, 0);
        driver.waitUntil([&] { return driver.text(configure, IDC_CFG_SELECTED_PRINTER) == longName; },
                         "the whole name in Selected Printer");
        driver.clickWithoutWaiting(configure, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(settings_.printerName, longName);
}

// A box speaks for the dialog underneath: it is owned by it, and the dialog
// takes no clicks (a second Get Printer List) until the box is closed.
TEST_F(ConfigureDialogOverStandIn, BoxesBelongToTheDialogWhichTakesNoClicksMeanwhile) {
    spooler_.fault = qrxtest::StandInSpooler::Fault{L"GetPrinterList", WSAECONNREFUSED, 0};
    const struct {
        const wchar_t* host;
        std::wstring text;
    } cases[] = {
        {L"", L"VAV5004I Enter the host name of the Hostra system in Host Name."},
        {L"127.0.0.1", systemErrorText(WSAECONNREFUSED).substr(0, systemErrorText(WSAECONNREFUSED).find(L'\r')) +
                           L"\nhost: 127.0.0.1, port 515"},
    };
    run([&](WindowDriver& driver, HWND configure) {
        for (const auto& c : cases) {
            driver.setText(configure, IDC_CFG_HOST_NAME, c.host);
            driver.clickWithoutWaiting(configure, IDC_CFG_GET_PRINTER_LIST);
            auto box = driver.waitForMessageBox(kBoxCaption);
            EXPECT_EQ(box.text, c.text);
            EXPECT_EQ(GetWindow(box.window, GW_OWNER), configure);
            EXPECT_FALSE(IsWindowEnabled(configure)) << "the dialog takes no clicks";
            driver.closeMessageBox(box);
            EXPECT_TRUE(IsWindowEnabled(configure));
        }
        driver.clickWithoutWaiting(configure, IDCANCEL);
    });
}

}  // namespace
