// Against Wine's real spooler, with the deliverables installed in the prefix.
#include <windows.h>
#include <winspool.h>

#include "StoredPort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qrxtest::StoredPort;

const std::wstring kMonitorName = L"Prentova Port Monitor";

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
