// Against Wine's real spooler, with the deliverables installed in the prefix.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring kMonitorName = L"Prentova Port Monitor";
const std::wstring kPortsKey = L"System\\CurrentControlSet\\Control\\Print\\Monitors\\Prentova Port Monitor\\Ports";

struct ListedPort {
    std::wstring name, monitor, description;
};

std::vector<ListedPort> enumeratePorts(DWORD level) {
    DWORD needed = 0, returned = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnumPortsW(nullptr, level, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buffer(needed);
    EXPECT_TRUE(EnumPortsW(nullptr, level, buffer.data(), needed, &needed, &returned)) << GetLastError();
    std::vector<ListedPort> ports;
    for (DWORD i = 0; i < returned; ++i) {
        if (level == 1) {
            ports.push_back({reinterpret_cast<PORT_INFO_1W*>(buffer.data())[i].pName, L"", L""});
        } else {
            const PORT_INFO_2W& info = reinterpret_cast<PORT_INFO_2W*>(buffer.data())[i];
            ports.push_back({info.pPortName, info.pMonitorName ? info.pMonitorName : L"",
                             info.pDescription ? info.pDescription : L""});
        }
    }
    return ports;
}

const ListedPort* find(const std::vector<ListedPort>& ports, const std::wstring& name) {
    for (const ListedPort& port : ports)
        if (port.name == name) return &port;
    return nullptr;
}

// A port made the way the monitor's store keeps it: a key below "Ports".
class StoredPort {
public:
    explicit StoredPort(std::wstring name) : name_(std::move(name)) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kPortsKey + L"\\" + name_).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ~StoredPort() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kPortsKey + L"\\" + name_).c_str()); }

private:
    std::wstring name_;
};

std::wstring systemFile(const std::wstring& name) {
    wchar_t dir[MAX_PATH];
    GetSystemDirectoryW(dir, MAX_PATH);
    return std::wstring(dir) + L"\\" + name;
}

std::wstring serverMessageFile() {
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text;
    RegGetValueW(HKEY_LOCAL_MACHINE,
                 L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Prentova Port Monitor Server",
                 L"EventMessageFile", RRF_RT_ANY | RRF_NOEXPAND, nullptr, text, &size);
    return text;
}

TEST(MonitorStartUp, RewritesTheEventSourceAndStopsWithoutTheEnglishLibrary) {
    ASSERT_EQ(GetModuleHandleW(L"QRXServerDll.dll"), nullptr) << "the monitor must not be loaded yet";
    const std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Prentova Port Monitor Server";
    const std::wstring stale = L"stale.dll";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"EventMessageFile", REG_EXPAND_SZ, stale.c_str(),
                              static_cast<DWORD>((stale.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    HMODULE monitor = LoadLibraryW(L"QRXServerDll.dll");
    ASSERT_NE(monitor, nullptr) << GetLastError();
    EXPECT_NE(GetModuleHandleW(L"QRXPM1033U.dll"), nullptr) << "start-up loads the English library";
    EXPECT_EQ(serverMessageFile(), L"%SystemRoot%\\System32\\QRX_EVENT_RU1033RI.DLL");
    FreeLibrary(monitor);
    EXPECT_EQ(GetModuleHandleW(L"QRXPM1033U.dll"), nullptr) << "exit frees the library again";

    const std::wstring english = systemFile(L"QRXPM1033U.dll");
    const std::wstring aside = english + L".aside";
    ASSERT_TRUE(MoveFileW(english.c_str(), aside.c_str()));
    HMODULE withoutResources = LoadLibraryW(L"QRXServerDll.dll");
    DWORD error = GetLastError();
    ASSERT_TRUE(MoveFileW(aside.c_str(), english.c_str()));
    EXPECT_EQ(withoutResources, nullptr);
    EXPECT_NE(error, 0u);
    if (withoutResources) FreeLibrary(withoutResources);
}

TEST(Spooler, KnowsTheInstalledMonitor) {
    DWORD needed = 0, returned = 0;
    EnumMonitorsW(nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(EnumMonitorsW(nullptr, 2, buffer.data(), needed, &needed, &returned));
    bool found = false;
    for (DWORD i = 0; i < returned; ++i) {
        const MONITOR_INFO_2W& info = reinterpret_cast<MONITOR_INFO_2W*>(buffer.data())[i];
        if (info.pName == kMonitorName) {
            found = true;
            EXPECT_STREQ(info.pDLLName, L"QRXServerDll.dll");
        }
    }
    EXPECT_TRUE(found);
}

TEST(Spooler, ListsAStoredPortWithTheMonitorsNameAndDescription) {
    StoredPort port(L"QRXSPOOL1:");
    const auto levelTwo = enumeratePorts(2);
    const ListedPort* listed = find(levelTwo, L"QRXSPOOL1:");
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->monitor, kMonitorName);
    EXPECT_EQ(listed->description, L"Printer Port to send print jobs to Prentova Server");
    EXPECT_NE(find(levelTwo, L"LPT1:"), nullptr) << "Wine's own ports are listed beside ours";
    EXPECT_NE(find(enumeratePorts(1), L"QRXSPOOL1:"), nullptr);
}

TEST(Spooler, ADeletedPortIsNoLongerListed) {
    { StoredPort port(L"QRXSPOOL2:"); }
    EXPECT_EQ(find(enumeratePorts(2), L"QRXSPOOL2:"), nullptr);
}

}  // namespace
