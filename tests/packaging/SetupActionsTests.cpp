// The packages' setup actions through their entry points, in a session of the
// built package, against Wine's spooler with the monitor installed (Wine's
// installer runs no rollback, so the rollback actions are called here the way
// Windows Installer calls them) and a stand-in Print Spooler service, which
// plays what Wine cannot show (its spooler runs in the calling process): a
// stopped, a disabled and a never-starting service, and a failing
// registration. Also the registry tree that carries a removal's ports to its
// rollback.
#include "MonitorRegistration.h"
#include "PortKeys.h"
#include "PrinterSetup.h"
#include "RegistryTree.h"
#include "RuntimeError.h"
#include "SpoolerService.h"
#include "StoredPort.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using qrxtest::StoredPort;
using qrxtest::StoredValue;

std::vector<BYTE> bytesOf(const std::wstring& text) {
    const BYTE* start = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(start, start + (text.size() + 1) * sizeof(wchar_t));
}

// A scratch key of the current user, removed with everything below it.
class ScratchKey {
public:
    explicit ScratchKey(const std::wstring& name)
        : path_(L"Software\\QRX setup action tests " + std::to_wstring(GetCurrentProcessId()) + L"\\" + name) {}
    ~ScratchKey() { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const std::wstring& path() const { return path_; }
    void set(const std::wstring& key, const std::wstring& value, DWORD type, const std::vector<BYTE>& bytes) const {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, (path_ + key).c_str(), value.c_str(), type, bytes.data(),
                                  DWORD(bytes.size())),
                  ERROR_SUCCESS);
    }
    std::optional<StoredValue> raw(const std::wstring& key, const std::wstring& value) const {
        StoredValue stored{REG_NONE, std::vector<BYTE>(1024)};
        DWORD size = DWORD(stored.bytes.size());
        if (RegGetValueW(HKEY_CURRENT_USER, (path_ + key).c_str(), value.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                         &stored.type, stored.bytes.data(), &size) != ERROR_SUCCESS)
            return std::nullopt;
        stored.bytes.resize(size);
        return stored;
    }
    bool exists() const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

private:
    std::wstring path_;
};

TEST(RegistryTree, KeepsEveryKeyAndValueThroughItsText) {
    ScratchKey source(L"source"), copy(L"copy");
    const DWORD flag = 1;
    const ULONGLONG large = 0x0123456789ABCDEFull;
    const wchar_t multi[] = L"one\0two\0";
    const std::vector<std::pair<std::wstring, StoredValue>> values = {
        {L"", {REG_SZ, bytesOf(L"the key's default value")}},
        {L"Host", {REG_SZ, bytesOf(L"printhost.example")}},
        {L"Addr", {REG_SZ, bytesOf(L"1 Main St\nSpringfield\r\n[Room] 12% = 100%")}},
        {L"Unattended", {REG_DWORD, std::vector<BYTE>((const BYTE*)&flag, (const BYTE*)&flag + sizeof flag)}},
        {L"Large", {REG_QWORD, std::vector<BYTE>((const BYTE*)&large, (const BYTE*)&large + sizeof large)}},
        {L"Path", {REG_EXPAND_SZ, bytesOf(L"%SystemRoot%\\System32")}},
        {L"Lines", {REG_MULTI_SZ, std::vector<BYTE>((const BYTE*)multi, (const BYTE*)multi + sizeof multi)}},
        {L"Empty", {REG_BINARY, {}}},
        {L"Name = [odd]%\nline", {REG_SZ, bytesOf(L"Ann O'Hara, Ærøskøbing")}},
    };
    const std::vector<std::wstring> keys = {L"", L"\\Ports\\QRX1:", L"\\Ports\\QRX%[2]=:", L"\\Ports\\Empty key"};
    for (const std::wstring& key : keys)
        for (const auto& [name, value] : values) source.set(key, name, value.type, value.bytes);

    auto read = RegistryTree::read(HKEY_CURRENT_USER, source.path());
    ASSERT_TRUE(read);
    RegistryTree::fromText(read->text()).write(HKEY_CURRENT_USER, copy.path());

    for (const std::wstring& key : keys)
        for (const auto& [name, value] : values) EXPECT_EQ(copy.raw(key, name), value) << key << L" " << name;
    EXPECT_EQ(RegistryTree::read(HKEY_CURRENT_USER, copy.path())->text(), read->text());
    EXPECT_FALSE(RegistryTree::read(HKEY_CURRENT_USER, copy.path() + L"\\absent"));
}

TEST(RegistryTree, RefusesDamagedTextAndWritesNothing) {
    const std::vector<std::wstring> damaged = {
        L"",                                  // nothing at all
        L"Host=1:41\n",                       // a value before any key
        L"[Ports]\n",                         // the tree's own key is not first
        L"[]\n[]\n",                          // the tree's own key twice
        L"[]\n[Ports\n",                      // a key's line not closed
        L"[]\nHost=1:4100",                   // cut short: no line end
        L"[]\nHost=1:410\n",                  // odd hex digits
        L"[]\nHost=1:4G00\n",                 // not hex
        L"[]\nHost1:4100\n",                  // no "="
        L"[]\nHost=:4100\n",                  // no type
        L"[]\nHost=x:4100\n",                 // type not a number
        L"[]\nHost=99999999999:00\n",         // type beyond 32 bits
        L"[]\nHo%2=1:4100\n",                 // escape cut short
        L"[]\nHo]st=1:4100\n",                // an unescaped bracket in a name
    };
    ScratchKey target(L"target");
    for (const std::wstring& text : damaged) {
        try {
            RegistryTree::fromText(text).write(HKEY_CURRENT_USER, target.path());
            ADD_FAILURE() << L"taken: " << text;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.code(), DWORD(ERROR_INVALID_DATA)) << text;
        }
        EXPECT_FALSE(target.exists()) << text;
    }
}

// --- the setup actions ---------------------------------------------------------

extern "C" {
UINT __stdcall CheckRemoval(MSIHANDLE);
UINT __stdcall StartSpooler(MSIHANDLE);
UINT __stdcall SaveMonitorForRollback(MSIHANDLE);
UINT __stdcall UnregisterMonitor(MSIHANDLE);
UINT __stdcall RollbackUnregisterMonitor(MSIHANDLE);
UINT __stdcall RegisterMonitor(MSIHANDLE);
UINT __stdcall RollbackRegisterMonitor(MSIHANDLE);
}

using SetupAction = UINT(__stdcall*)(MSIHANDLE);

bool monitorListed() {
    DWORD needed = 0, count = 0;
    EnumMonitorsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    if (!EnumMonitorsW(nullptr, 2, buffer.data(), needed, &needed, &count)) return false;
    const auto* monitors = reinterpret_cast<const MONITOR_INFO_2W*>(buffer.data());
    for (DWORD index = 0; index < count; ++index)
        if (std::wstring(monitors[index].pName) == kMonitorName) return true;
    return false;
}

// The ports the spooler lists under the monitor.
std::vector<std::wstring> monitorPorts() {
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    std::vector<std::wstring> ports;
    if (!EnumPortsW(nullptr, 2, buffer.data(), needed, &needed, &count)) return ports;
    const auto* listed = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
    for (DWORD index = 0; index < count; ++index)
        if (listed[index].pMonitorName && std::wstring(listed[index].pMonitorName) == kMonitorName)
            ports.push_back(listed[index].pPortName);
    return ports;
}

std::wstring monitorKeyText() {
    auto tree = RegistryTree::read(HKEY_LOCAL_MACHINE, kMonitorRootPath);
    return tree ? tree->text() : L"";
}

// The Print Spooler service as a test plays it, running unless told
// otherwise. A start makes a stopped service pending; it runs once
// startsAfter milliseconds have been waited (never: kNever), or stops again.
// Pauses only count. While it does not run, the spooler's calls fail as on
// Windows; while it runs they go to Wine's spooler, except a registration
// when registrationError is set. Each registration notes the monitor's key
// at that moment.
struct StandInSpooler : WindowsSpoolerService {
    static constexpr DWORD kNever = MAXDWORD;

    SpoolerStatus status() override { return {state, disabled}; }
    void start() override {
        ++starts;
        state = stopsAgain ? SERVICE_STOPPED : startsAfter ? SERVICE_START_PENDING : SERVICE_RUNNING;
    }
    void pause(DWORD milliseconds) override {
        waited += milliseconds;
        if (state == SERVICE_START_PENDING && waited >= startsAfter) state = SERVICE_RUNNING;
    }
    BOOL addMonitor(MONITOR_INFO_2W& info) override {
        keyAtRegistration.push_back(monitorKeyText());
        if (registrationError) return fail(registrationError);
        return answers() && WindowsSpoolerService::addMonitor(info);
    }
    BOOL deleteMonitor(const wchar_t* name) override {
        return answers() && WindowsSpoolerService::deleteMonitor(name);
    }
    BOOL enumPorts(BYTE* records, DWORD size, DWORD* needed, DWORD* count) override {
        return answers() && WindowsSpoolerService::enumPorts(records, size, needed, count);
    }
    BOOL enumPrinters(BYTE* records, DWORD size, DWORD* needed, DWORD* count) override {
        return answers() && WindowsSpoolerService::enumPrinters(records, size, needed, count);
    }

    DWORD state = SERVICE_RUNNING;
    bool disabled = false;
    DWORD startsAfter = 0;
    bool stopsAgain = false;
    DWORD registrationError = 0;
    int starts = 0;
    DWORD waited = 0;
    std::vector<std::wstring> keyAtRegistration;

private:
    static BOOL fail(DWORD error) {
        SetLastError(error);
        return FALSE;
    }
    BOOL answers() const { return state == SERVICE_RUNNING || fail(RPC_S_SERVER_UNAVAILABLE); }
};

// The errors shown, as long as the beginning expected; all of them when no
// error is expected.
std::wstring shownStart(const std::wstring& errors, const std::wstring& expected) {
    return expected.empty() ? errors : errors.substr(0, expected.size());
}

// A printer of Wine's spooler, deleted again at the end. Wine keeps it where
// Windows does, in a key below ...\Control\Print\Printers with its ports in
// the value "Port", all that a stopped spooler leaves to read; the list of
// ports given is written there.
class TestPrinter {
public:
    TestPrinter(const std::wstring& name, const std::wstring& ports) : name_(name) {
        HANDLE printer = openOrAddPrinter(name, L"LPT1:");
        EXPECT_TRUE(printer) << GetLastError();
        if (printer) ClosePrinter(printer);
        const std::wstring path = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + name;
        EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"Port", REG_SZ, ports.c_str(),
                                  DWORD((ports.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    ~TestPrinter() {
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterW(name_.data(), &printer, &access)) return;
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
    TestPrinter(const TestPrinter&) = delete;
    TestPrinter& operator=(const TestPrinter&) = delete;

private:
    std::wstring name_;
};

// A session of the built package, as Windows Installer gives it to a custom
// action, with the error messages the actions show, and the stand-in
// spooler service; the monitor's registration and ports as they were before
// each test are put back after it.
class SetupActions : public testing::Test {
protected:
    void SetUp() override {
        setSpoolerService(&spooler_);
        before_ = monitorRegistration::savedState();
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        MsiSetExternalUIW(&SetupActions::recordError, INSTALLLOGMODE_ERROR, this);
        ASSERT_EQ(MsiOpenPackageW(QRX_TEST_PACKAGE, &session_), UINT(ERROR_SUCCESS));
    }
    void TearDown() override {
        spooler_ = StandInSpooler{};
        monitorRegistration::remove();
        monitorRegistration::restore(before_);
        MsiSetExternalUIW(nullptr, 0, nullptr);
        setSpoolerService(nullptr);
    }

    UINT run(SetupAction action) {
        errors_.clear();
        return action(session_);
    }
    std::wstring property(const wchar_t* name) {
        DWORD size = 0;
        wchar_t none[1] = L"";
        if (MsiGetPropertyW(session_, name, none, &size) != ERROR_MORE_DATA) return L"";
        std::wstring value(++size, L'\0');
        MsiGetPropertyW(session_, name, &value[0], &size);
        value.resize(size);
        return value;
    }
    // What a deferred or rollback action finds as its data.
    void giveData(const std::wstring& data) {
        ASSERT_EQ(MsiSetPropertyW(session_, L"CustomActionData", data.c_str()), UINT(ERROR_SUCCESS));
    }

    StandInSpooler spooler_;
    // The error messages of the last action, one a line.
    std::wstring errors_;

private:
    static int WINAPI recordError(void* context, UINT, LPCWSTR message) {
        if (message) static_cast<SetupActions*>(context)->errors_ += std::wstring(message) + L"\n";
        return IDOK;
    }

    std::wstring before_;
    PMSIHANDLE session_;
};

// An installation first makes sure the spooler runs; the registration comes
// only after that succeeded, as the package sequences them.
TEST_F(SetupActions, StartsAStoppedSpoolerBeforeTheRegistrationOrFailsSayingWhatToDo) {
    const struct {
        const char* name;
        DWORD state;
        bool disabled;
        DWORD startsAfter;
        bool stopsAgain;
        UINT result;
        int starts;
        DWORD waited;
        std::wstring message;  // how the error shown begins; none: no error
    } cases[] = {
        {"running", SERVICE_RUNNING, false, 0, false, ERROR_SUCCESS, 0, 0, L""},
        {"stopped", SERVICE_STOPPED, false, 1000, false, ERROR_SUCCESS, 1, 1000, L""},
        {"starting already", SERVICE_START_PENDING, false, 500, false, ERROR_SUCCESS, 0, 500, L""},
        {"disabled", SERVICE_STOPPED, true, 0, false, ERROR_INSTALL_FAILURE, 0, 0,
         L"The Print Spooler service (Spooler) is disabled, and the Prentova Port Monitor cannot register without "
         L"it. Set its startup type to Automatic (services.msc, or \"sc config Spooler start= auto\"), then run the "
         L"setup again. Nothing was changed."},
        {"never starts", SERVICE_STOPPED, false, StandInSpooler::kNever, false, ERROR_INSTALL_FAILURE, 1,
         kSpoolerStartBound,
         L"The Print Spooler service (Spooler) did not start within 30 seconds, and the Prentova Port Monitor "
         L"cannot register without it. Look in the System event log for why, start it in services.msc (or \"net "
         L"start spooler\"), then run the setup again."},
        {"stops again", SERVICE_STOPPED, false, 0, true, ERROR_INSTALL_FAILURE, 1, 0,
         L"The Print Spooler service (Spooler) stopped again while it started, and the Prentova Port Monitor"},
    };
    for (const auto& c : cases) {
        spooler_ = StandInSpooler{};
        monitorRegistration::remove();
        spooler_.state = c.state;
        spooler_.disabled = c.disabled;
        spooler_.startsAfter = c.startsAfter;
        spooler_.stopsAgain = c.stopsAgain;

        const UINT result = run(StartSpooler);
        const std::wstring errors = errors_;
        if (result == ERROR_SUCCESS) {
            EXPECT_EQ(run(RegisterMonitor), UINT(ERROR_SUCCESS)) << c.name;
        }
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(spooler_.starts, c.starts) << c.name;
        EXPECT_EQ(spooler_.waited, c.waited) << c.name;
        EXPECT_EQ(monitorListed(), c.result == ERROR_SUCCESS) << c.name;
        if (c.result != ERROR_SUCCESS) {
            EXPECT_EQ(monitorKeyText(), L"") << c.name << ": something changed";
        }
        EXPECT_EQ(shownStart(errors, c.message), c.message) << c.name;
    }
}

// With the spooler stopped the printers and ports come from the registry,
// which a stopped spooler reads when it starts; the answer is the same.
TEST_F(SetupActions, RefusesARemovalWhileAPrinterUsesAPortWhetherTheSpoolerRunsOrNot) {
    ASSERT_TRUE(monitorListed());
    StoredPort first(L"QRXROLL1:"), second(L"QRXROLL2:");
    first.set(portvalue::kHost, L"printhost.example");
    second.set(portvalue::kHost, L"10.0.0.7");
    const struct {
        const char* name;
        DWORD state;
        const wchar_t* ports;
        const wchar_t* refused;
    } cases[] = {
        {"running, a printer on a port", SERVICE_RUNNING, L"LPT1:, QRXROLL2:", L"QRX Setup Test (QRXROLL2:)"},
        {"running, no printer on its ports", SERVICE_RUNNING, L"LPT1:", nullptr},
        {"stopped, a printer on a port", SERVICE_STOPPED, L"LPT1:, QRXROLL2:", L"QRX Setup Test (QRXROLL2:)"},
        {"stopped, a printer on two ports", SERVICE_STOPPED, L"QRXROLL1:,QRXROLL2:",
         L"QRX Setup Test (QRXROLL1:), QRX Setup Test (QRXROLL2:)"},
        {"stopped, no printer on its ports", SERVICE_STOPPED, L"LPT1:", nullptr},
    };
    const std::wstring keyBefore = monitorKeyText();
    for (const auto& c : cases) {
        TestPrinter printer(L"QRX Setup Test", c.ports);
        spooler_.state = c.state;
        EXPECT_EQ(run(CheckRemoval), c.refused ? UINT(ERROR_INSTALL_FAILURE) : UINT(ERROR_SUCCESS)) << c.name;
        const std::wstring refusal = c.refused ? L"The Prentova Port Monitor cannot be removed while printers "
                                                 L"print to its ports: " +
                                                     std::wstring(c.refused) + L". Delete these printers"
                                               : L"";
        EXPECT_EQ(shownStart(errors_, refusal), refusal) << c.name;
        EXPECT_EQ(monitorKeyText(), keyBefore) << c.name << ": something changed";
    }
}

TEST_F(SetupActions, RollingBackAnInstallationRemovesTheRegistrationItMade) {
    monitorRegistration::remove();
    ASSERT_FALSE(monitorListed());

    EXPECT_EQ(run(RegisterMonitor), UINT(ERROR_SUCCESS));
    EXPECT_TRUE(monitorListed());
    EXPECT_EQ(run(RollbackRegisterMonitor), UINT(ERROR_SUCCESS));
    EXPECT_FALSE(monitorListed());
    EXPECT_EQ(monitorKeyText(), L"");
}

// A removal's rollback writes the saved key whole, then registers the
// monitor: a spooler lists a monitor's ports when it loads it. A failed
// registration leaves the ports written. With the spooler stopped the
// removal takes the key itself and its rollback only writes it back.
TEST_F(SetupActions, RollingBackARemovalWritesEveryPortBeforeItRegistersTheMonitor) {
    ASSERT_TRUE(monitorListed());
    StoredPort first(L"QRXROLL1:"), second(L"QRXROLL2:");
    first.set(portvalue::kHost, L"printhost.example");
    first.set(portvalue::kPort, L"5515");
    first.set(portvalue::kPrinter, L"PRT1");
    first.set(portvalue::kUnattended, DWORD(1));
    first.set(portvalue::kAddress, L"1 Main St\nSpringfield");
    first.set(portvalue::kName, L"Ann O'Hara");
    first.set(portvalue::kShow, DWORD(0));
    second.set(portvalue::kHost, L"10.0.0.7");
    second.set(portvalue::kPrinter, L"PRT2");
    second.set(portvalue::kAttributes, L"copies=2 [draft] 100%");
    second.set(portvalue::kShow, DWORD(1));
    const std::wstring keyBefore = monitorKeyText();
    ASSERT_NE(keyBefore.find(L"[Ports\\QRXROLL2:]\nAttr=1:"), std::wstring::npos);

    const struct {
        const char* name;
        DWORD state;
        DWORD registrationError;
        UINT result;
        size_t registrations;
        std::wstring message;  // how the error shown begins; none: no error
    } cases[] = {
        {"spooler running", SERVICE_RUNNING, 0, ERROR_SUCCESS, 1, L""},
        {"registration fails", SERVICE_RUNNING, RPC_S_SERVER_UNAVAILABLE, ERROR_INSTALL_FAILURE, 1,
         L"Registering the monitor \"Prentova Port Monitor\" with the spooler failed (AddMonitorW, error 1722)"},
        {"spooler stopped", SERVICE_STOPPED, 0, ERROR_SUCCESS, 0, L""},
    };
    for (const auto& c : cases) {
        spooler_ = StandInSpooler{};
        spooler_.state = c.state;
        spooler_.registrationError = c.registrationError;
        EXPECT_EQ(run(SaveMonitorForRollback), UINT(ERROR_SUCCESS)) << c.name;
        const std::wstring saved = property(L"RollbackUnregisterMonitor");
        EXPECT_FALSE(saved.empty()) << c.name;
        giveData(saved);
        EXPECT_EQ(run(UnregisterMonitor), UINT(ERROR_SUCCESS)) << c.name;
        EXPECT_FALSE(monitorListed()) << c.name;
        EXPECT_EQ(monitorKeyText(), L"") << c.name;

        EXPECT_EQ(run(RollbackUnregisterMonitor), c.result) << c.name;
        EXPECT_EQ(spooler_.keyAtRegistration, std::vector<std::wstring>(c.registrations, keyBefore))
            << c.name << ": the ports were not written before AddMonitorW";
        // The text of the whole key, with every value's type and bytes (the
        // tree's own test checks that text against the values themselves).
        EXPECT_EQ(monitorKeyText(), keyBefore) << c.name;
        EXPECT_EQ(shownStart(errors_, c.message), c.message) << c.name;
        if (c.result != ERROR_SUCCESS) continue;
        EXPECT_TRUE(monitorListed()) << c.name;
        const auto listed = monitorPorts();
        for (const StoredPort* port : {&first, &second})
            EXPECT_NE(std::find(listed.begin(), listed.end(), port->name()), listed.end())
                << c.name << ": " << port->name();
    }
}

// A removal's rollback with no saved monitor, or with damaged data, leaves
// the spooler as it is; the damaged data fails the action.
TEST_F(SetupActions, RollingBackARemovalWithoutUsableDataRegistersNothing) {
    monitorRegistration::remove();
    EXPECT_EQ(run(SaveMonitorForRollback), UINT(ERROR_SUCCESS));
    EXPECT_EQ(property(L"RollbackUnregisterMonitor"), L"");

    const struct {
        std::wstring data;
        UINT result;
    } cases[] = {{L"", ERROR_SUCCESS}, {L"[]\nDriver=1:5100", ERROR_INSTALL_FAILURE}};
    for (const auto& c : cases) {
        giveData(c.data);
        EXPECT_EQ(run(RollbackUnregisterMonitor), c.result) << c.data;
        EXPECT_FALSE(monitorListed()) << c.data;
        EXPECT_EQ(monitorKeyText(), L"") << c.data;
    }
}

}  // namespace
