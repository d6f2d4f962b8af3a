// Prints how long the configure dialog takes with a large printer list: the
// first fill, a refill by a second Get Printer List, and a sort by each
// column, each from the click until the list has drawn, in the real dialog.
// The server's answer comes from a stand-in spooler, so the figures are the
// dialog's own.
//   qrx-bench-printer-list [printers=10000] [rounds=3]
#include "ConfigurePortDialog.h"
#include "Dialog.h"
#include "ModuleState.h"
#include "ResourceIds.h"
#include "StandIns.h"
#include "TestPaths.h"
#include "Utilities.h"
#include "WindowDriver.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Three lines per printer, as the server answers.
std::wstring printerList(int count) {
    std::wstring reply;
    for (int i = 0; i < count; ++i) {
        // Names in an order that a sort has to change.
        std::wstring name = L"PRT" + std::to_wstring((i * 7919) % count);
        reply += name + L"\n" + L"Floor " + std::to_wstring(i % 17) + L"\n" + L"Printer number " +
                 std::to_wstring(i) + L"\n";
    }
    return reply;
}

double millisecondsOf(const std::function<void()>& work) {
    auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int printers = argc > 1 ? _wtoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? _wtoi(argv[2]) : 3;
    HMODULE resources = mapResourceLibrary(qrxtest::deliverablePath(L"QRXPM1033U.dll"));
    if (!resources) {
        std::fwprintf(stderr, L"cannot load the built QRXPM1033U.dll\n");
        return 1;
    }
    module::setResources(resources);
    registerDialogControls();

    qrxtest::StandInSpooler spooler;
    spooler.stored[L"GetPrinterList"] = qrxtest::bytesOf(printerList(printers));
    XcvChannel channel(nullptr, ChannelKind::Port, L"QRXBENCH:");
    PortSettings settings(L"QRXBENCH:");
    ConfigurePortDialog dialog(settings, channel, nullptr);
    std::thread windows([&] { dialog.runModal(); });

    std::vector<double> fills, refills, sorts[3];
    try {
        qrxtest::WindowDriver driver(nullptr, std::chrono::minutes(3));
        HWND configure = driver.waitForWindow(L"Prentova Port Configuration");
        HWND list = GetDlgItem(configure, IDC_CFG_PRINTER_LIST);
        for (int round = 0; round < rounds; ++round) {
            // A changed host empties the list: the next click fills it anew.
            driver.setText(configure, IDC_CFG_HOST_NAME, L"bench" + std::to_wstring(round));
            driver.setText(configure, IDC_CFG_HOST_PORT, L"515");
            // Each figure ends once the list has drawn what the user sees.
            auto getPrinterList = [&] {
                driver.click(configure, IDC_CFG_GET_PRINTER_LIST);
                UpdateWindow(list);
            };
            fills.push_back(millisecondsOf(getPrinterList));
            refills.push_back(millisecondsOf(getPrinterList));
            if (SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) != printers) {
                std::fwprintf(stderr, L"the list does not hold %d rows\n", printers);
                return 1;
            }
            for (int column = 0; column < 3; ++column) {
                NMLISTVIEW click{};
                click.hdr = {list, IDC_CFG_PRINTER_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
                click.iSubItem = column;
                sorts[column].push_back(millisecondsOf([&] {
                    SendMessageW(configure, WM_NOTIFY, IDC_CFG_PRINTER_LIST, reinterpret_cast<LPARAM>(&click));
                    UpdateWindow(list);
                }));
            }
        }
        PostMessageW(configure, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        windows.detach();
        return 1;
    }
    windows.join();

    std::wprintf(L"The configure dialog with %d printers, median of %d rounds (Wine on this machine):\n", printers,
                 rounds);
    std::wprintf(L"  first fill (Get Printer List)   %8.0f ms   target <= 1000 ms\n", median(fills));
    std::wprintf(L"  refill (Get Printer List again) %8.0f ms   target <= 1000 ms\n", median(refills));
    const wchar_t* columns[] = {L"printer", L"location", L"description"};
    for (int column = 0; column < 3; ++column)
        std::wprintf(L"  sort by %-12ls             %8.0f ms   target <= 500 ms\n", columns[column],
                     median(sorts[column]));
    module::setResources(nullptr);
    FreeLibrary(resources);
    return 0;
}
