#include "DialogSoak.h"

#include "Dialog.h"
#include "InstalledMonitorHeld.h"
#include "ModuleState.h"
#include "PortKeys.h"
#include "ReferenceServer.h"
#include "RegistryKey.h"
#include "ResourceIds.h"
#include "TestPaths.h"
#include "WindowDriver.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <winspool.h>
#include <winsplp.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using qrxtest::WindowDriver;

constexpr wchar_t kPortName[] = L"QRXSOAKUI:";
constexpr wchar_t kConfigureCaption[] = L"Prentova Port Configuration";
constexpr wchar_t kBoxCaption[] = L"Prentova Port Monitor";
constexpr size_t kWarmUpRuns = 20;

// The installed UI library, loaded as the spooler loads it, and its table.
class UILibrary {
public:
    UILibrary() {
        library_ = LoadLibraryW(qrxtest::systemFilePath(L"QRXUIDll.dll").c_str());
        using Initialize = PMONITORUI(WINAPI*)();
        auto initialize =
            library_ ? reinterpret_cast<Initialize>(GetProcAddress(library_, "InitializePrintMonitorUI")) : nullptr;
        table_ = initialize ? initialize() : nullptr;
    }
    ~UILibrary() {
        if (library_) FreeLibrary(library_);
    }
    UILibrary(const UILibrary&) = delete;
    UILibrary& operator=(const UILibrary&) = delete;
    bool loaded() const { return table_ != nullptr; }
    void configure() const { table_->pfnConfigurePortUI(nullptr, nullptr, const_cast<LPWSTR>(kPortName)); }

private:
    HMODULE library_ = nullptr;
    PMONITORUI table_ = nullptr;
};

// The port the dialog configures, stored where the spooler finds it.
class SoakPort {
public:
    explicit SoakPort(unsigned short serverPort) {
        auto key = RegistryKey::create(HKEY_LOCAL_MACHINE, path_, KEY_ALL_ACCESS);
        key->setString(L"Host", L"127.0.0.1");
        key->setString(L"Printer", L"PRT2");
        pointAt(serverPort);
    }
    ~SoakPort() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str()); }
    void pointAt(unsigned short serverPort) const {
        RegistryKey::create(HKEY_LOCAL_MACHINE, path_, KEY_ALL_ACCESS)->setString(L"Port", std::to_wstring(serverPort));
    }

private:
    std::wstring path_ = std::wstring(kMonitorRootPath) + L"\\" + portKeyPath(kPortName);
};

// A loopback port that nothing listens on: a fetch from it is refused.
unsigned short closedLoopbackPort() {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(probe);
    return ntohs(address.sin_port);
}

int rowCount(HWND dialog) {
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_CFG_PRINTER_LIST), LVM_GETITEMCOUNT, 0, 0));
}

// One thread for the whole run answers each dialog: a driver thread per
// run would grow the process by itself.
class DialogAnswerer {
public:
    explicit DialogAnswerer(DWORD dialogThread) : dialogThread_(dialogThread), thread_([this] { serve(); }) {}
    ~DialogAnswerer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            over_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    // What the dialog thread is about to show.
    enum class Expected { Dialog, DialogAfterRefusal, BoxOnly };

    // Before the dialog thread opens the windows of a run.
    void expect(Expected what) {
        std::lock_guard<std::mutex> lock(mutex_);
        expected_ = what;
        finished_ = false;
        ++started_;
        changed_.notify_all();
    }
    // After the dialog has returned; true when the run went as due.
    bool finish() {
        finished_ = true;
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return answered_ == started_; });
        return lastAnswered_;
    }

private:
    void serve() {
        for (;;) {
            Expected what;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return over_ || started_ != answered_; });
                if (over_) return;
                what = expected_;
            }
            bool answered = true;
            try {
                answer(what);
            } catch (const std::exception&) {
                answered = false;
                closeWhatIsLeft();
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                lastAnswered_ = answered;
                ++answered_;
            }
            changed_.notify_all();
        }
    }

    void answer(Expected what) {
        WindowDriver driver(&finished_);
        const bool refused = what != Expected::Dialog;
        if (refused) driver.closeMessageBox(driver.waitForMessageBox(kBoxCaption));
        if (what == Expected::BoxOnly) return;
        HWND dialog = driver.waitForWindow(kConfigureCaption);
        if (!refused) driver.waitUntil([&] { return rowCount(dialog) > 0; }, "the printer list");
        driver.clickWithoutWaiting(dialog, IDCANCEL);
        driver.waitUntilClosed(dialog);
    }

    static BOOL CALLBACK closeWindow(HWND window, LPARAM) { return PostMessageW(window, WM_CLOSE, 0, 0); }

    void closeWhatIsLeft() {
        while (!finished_) {
            EnumThreadWindows(dialogThread_, closeWindow, 0);
            Sleep(50);
        }
    }

    DWORD dialogThread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool over_ = false;
    Expected expected_ = Expected::Dialog;
    std::atomic<bool> finished_{false};
    size_t started_ = 0;
    size_t answered_ = 0;
    bool lastAnswered_ = true;
    std::thread thread_;
};

INT_PTR CALLBACK plainDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The configure dialog's template made into a window without the UI
// library's code, drawn, with a box over it when asked (as a refused fetch
// shows one), and destroyed; false when it could not be made.
bool showPlainDialog(DialogAnswerer* boxCloser) {
    HWND dialog = CreateDialogParamW(module::resources(), MAKEINTRESOURCEW(IDD_CONFIGURE_PORT), nullptr,
                                     plainDialog, 0);
    if (!dialog) return false;
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
    if (boxCloser) {
        boxCloser->expect(DialogAnswerer::Expected::BoxOnly);
        MessageBoxW(dialog, L"VAV0001E no list now", kBoxCaption, MB_OK | MB_ICONERROR);
        boxCloser->finish();
    }
    DestroyWindow(dialog);
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
    return true;
}

// Wine's window system keeps up to 64 cached window DCs (a DC, a region and
// a bitmap each) and makes another only when every one is in use at once,
// which depends on how the threads' painting happens to overlap. Under Wine
// 10 a cached DC also holds the drawing surface of the last window it served
// (a bitmap and a region, 512x640 for the configure dialog, 256x128 for a
// box) until it serves another, long after that window is destroyed; how
// many such surfaces the cache holds at a given moment depends on the same
// overlap. Taking more DCs than cached at once, on a window of our own that
// is destroyed after, fills the cache to its limit and lets go of every such
// surface: a count taken right after reads neither how far the cache grew
// nor which windows it served last.
ResourceCounts countWithWindowDCsReleased() {
    constexpr int kMoreThanCached = 80;
    if (HWND window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) {
        std::vector<HDC> taken;
        for (int i = 0; i < kMoreThanCached; ++i)
            if (HDC dc = GetDCEx(window, nullptr, DCX_CACHE)) taken.push_back(dc);
        for (HDC dc : taken) ReleaseDC(window, dc);
        DestroyWindow(window);
    }
    return takeCounts();
}

}  // namespace

DialogSoakResult runDialogSoak(size_t runs) {
    DialogSoakResult result;
    refserver::ServerOptions options;
    options.keepRecords = false;
    options.keepWireBytes = 0;
    options.printers = {{L"PRT1", L"Room 1", L"First"}, {L"PRT2", L"Room 2", L"Second"}, {L"PRT3", L"", L""}};
    refserver::ReferenceServer server(options);
    SoakPort port(server.port());
    const unsigned short refusingPort = closedLoopbackPort();
    const InstalledMonitorHeld installedMonitor;
    UILibrary library;
    if (!library.loaded()) {
        result.scriptFailures = runs;
        return result;
    }
    DialogAnswerer answerer(GetCurrentThreadId());
    for (size_t run = 0; run < kWarmUpRuns + runs; ++run) {
        if (run == kWarmUpRuns) result.start = countWithWindowDCsReleased();
        const bool refused = run % 10 == 9;
        port.pointAt(refused ? refusingPort : server.port());
        answerer.expect(refused ? DialogAnswerer::Expected::DialogAfterRefusal : DialogAnswerer::Expected::Dialog);
        library.configure();
        const bool asDue = answerer.finish();
        if (run < kWarmUpRuns) continue;
        ++result.runs;
        if (refused) ++result.refusedFetches;
        if (!asDue) ++result.scriptFailures;
    }
    result.end = countWithWindowDCsReleased();
    // The template's list view needs the common controls in this process too.
    registerDialogControls();
    for (size_t run = 0; run < kWarmUpRuns + runs; ++run) {
        if (run == kWarmUpRuns) result.plainStart = countWithWindowDCsReleased();
        const bool withBox = run % 10 == 9;
        if (!showPlainDialog(withBox ? &answerer : nullptr) && run >= kWarmUpRuns) ++result.scriptFailures;
    }
    result.plainEnd = countWithWindowDCsReleased();
    return result;
}
