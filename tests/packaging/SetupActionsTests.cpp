// The packages' setup actions through their entry points, in a session of the
// built package, against Wine's spooler with the monitor installed (Wine's
// installer runs no rollback, so the rollback actions are called here the way
// Windows Installer calls them); and the registry tree that carries a
// removal's ports to its rollback.
#include "MonitorRegistration.h"
#include "PortKeys.h"
#include "RegistryTree.h"
#include "RuntimeError.h"
#include "StoredPort.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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

using SetupAction = UINT(__stdcall*)(MSIHANDLE);

struct LibraryRelease {
    void operator()(HMODULE library) const { FreeLibrary(library); }
};

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

// The setup actions' library and a session of the built package, as Windows
// Installer gives them to a custom action; the monitor's registration and
// ports as they were before each test are put back after it.
class SetupActions : public testing::Test {
protected:
    void SetUp() override {
        before_ = monitorRegistration::savedState();
        library_.reset(LoadLibraryW(QRX_TEST_SETUP_ACTIONS));
        ASSERT_TRUE(library_) << GetLastError();
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        ASSERT_EQ(MsiOpenPackageW(QRX_TEST_PACKAGE, &session_), UINT(ERROR_SUCCESS));
    }
    void TearDown() override {
        monitorRegistration::remove();
        monitorRegistration::restore(before_);
    }

    UINT run(const char* entry) {
        auto action = reinterpret_cast<SetupAction>(GetProcAddress(library_.get(), entry));
        EXPECT_TRUE(action) << entry;
        return action ? action(session_) : UINT(ERROR_PROC_NOT_FOUND);
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

private:
    std::wstring before_;
    std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryRelease> library_;
    PMSIHANDLE session_;
};

TEST_F(SetupActions, RollingBackAnInstallationRemovesTheRegistrationItMade) {
    monitorRegistration::remove();
    ASSERT_FALSE(monitorListed());

    EXPECT_EQ(run("RegisterMonitor"), UINT(ERROR_SUCCESS));
    EXPECT_TRUE(monitorListed());
    EXPECT_EQ(run("RollbackRegisterMonitor"), UINT(ERROR_SUCCESS));
    EXPECT_FALSE(monitorListed());
    EXPECT_EQ(monitorKeyText(), L"");
}

TEST_F(SetupActions, RollingBackARemovalRestoresTheMonitorWithEveryPortAndValue) {
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

    EXPECT_EQ(run("SaveMonitorForRollback"), UINT(ERROR_SUCCESS));
    const std::wstring saved = property(L"RollbackUnregisterMonitor");
    EXPECT_FALSE(saved.empty());
    giveData(saved);
    EXPECT_EQ(run("UnregisterMonitor"), UINT(ERROR_SUCCESS));
    EXPECT_FALSE(monitorListed());
    EXPECT_FALSE(first.exists());
    EXPECT_FALSE(second.exists());

    EXPECT_EQ(run("RollbackUnregisterMonitor"), UINT(ERROR_SUCCESS));
    EXPECT_TRUE(monitorListed());
    const auto listed = monitorPorts();
    for (const StoredPort* port : {&first, &second})
        EXPECT_NE(std::find(listed.begin(), listed.end(), port->name()), listed.end()) << port->name();
    // The text of the whole key, with every value's type and bytes (the tree's
    // own test checks that text against the values themselves).
    EXPECT_EQ(monitorKeyText(), keyBefore);
}

// A removal's rollback with no saved monitor, or with damaged data, leaves
// the spooler as it is; the damaged data fails the action.
TEST_F(SetupActions, RollingBackARemovalWithoutUsableDataRegistersNothing) {
    monitorRegistration::remove();
    EXPECT_EQ(run("SaveMonitorForRollback"), UINT(ERROR_SUCCESS));
    EXPECT_EQ(property(L"RollbackUnregisterMonitor"), L"");

    const struct {
        std::wstring data;
        UINT result;
    } cases[] = {{L"", ERROR_SUCCESS}, {L"[]\nDriver=1:5100", ERROR_INSTALL_FAILURE}};
    for (const auto& c : cases) {
        giveData(c.data);
        EXPECT_EQ(run("RollbackUnregisterMonitor"), c.result) << c.data;
        EXPECT_FALSE(monitorListed()) << c.data;
        EXPECT_EQ(monitorKeyText(), L"") << c.data;
    }
}

}  // namespace
