#include "MonitorEntry.h"
#include "PortStore.h"
#include "Recorders.h"
#include "RegistryMonitor.h"
#include "SystemErrorText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

constexpr DWORD kSentinel = 0xdeadbeef;
const std::wstring kMonitorName = L"Prentova Port Monitor";
const std::wstring kDescription = L"Printer Port to send print jobs to Prentova Server";

DWORD bytes(const std::wstring& text) { return static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)); }

class MonitorEntry : public testing::Test {
protected:
    void SetUp() override {
        // The record lives only during the call, as in a spooler that passes a local one.
        MONITORINIT init = registry_.handle().init;
        table_ = InitializePrintMonitor2(&init, &monitor_);
        std::memset(&init, 0xCC, sizeof init);
        ASSERT_NE(table_, nullptr);
    }
    void TearDown() override { table_->pfnShutdown(monitor_); }

    void addPorts(std::initializer_list<const wchar_t*> names) {
        PortStore store(registry_.handle());
        for (const wchar_t* name : names) store.createPortKey(name);
    }
    DWORD levelOneSize(const std::wstring& name) { return sizeof(PORT_INFO_1W) + bytes(name); }
    DWORD levelTwoSize(const std::wstring& name) {
        return sizeof(PORT_INFO_2W) + bytes(name) + bytes(kMonitorName) + bytes(kDescription);
    }

    struct EnumResult {
        BOOL ok;
        DWORD lastError, needed, returned;
    };
    EnumResult enumerate(DWORD level, BYTE* buffer, DWORD size, LPWSTR server = nullptr) {
        EnumResult result{};
        result.needed = result.returned = kSentinel;
        SetLastError(kSentinel);
        result.ok = table_->pfnEnumPorts(monitor_, server, level, buffer, size, &result.needed, &result.returned);
        result.lastError = GetLastError();
        return result;
    }

    qrxtest::RegistryMonitor registry_;
    HANDLE monitor_ = nullptr;
    LPMONITOR2 table_ = nullptr;
};

TEST_F(MonitorEntry, TheTableOffersExactlyThisMonitorsSlots) {
    EXPECT_EQ(table_->cbSize, sizeof(void*) == 8 ? 160u : 80u);
    const MONITORINIT& kept = static_cast<MonitorHandle*>(monitor_)->init;
    EXPECT_EQ(kept.hckRegistryRoot, registry_.handle().init.hckRegistryRoot);
    EXPECT_EQ(kept.hSpooler, registry_.handle().init.hSpooler);
    EXPECT_EQ(kept.pMonitorReg, registry_.handle().init.pMonitorReg);
    EXPECT_NE(table_->pfnEnumPorts, nullptr);
    EXPECT_NE(table_->pfnOpenPort, nullptr);
    EXPECT_NE(table_->pfnReadPort, nullptr);
    EXPECT_NE(table_->pfnClosePort, nullptr);
    EXPECT_NE(table_->pfnXcvOpenPort, nullptr);
    EXPECT_NE(table_->pfnXcvClosePort, nullptr);
    EXPECT_NE(table_->pfnShutdown, nullptr);
    EXPECT_EQ(table_->pfnOpenPortEx, nullptr);
    EXPECT_EQ(table_->pfnAddPort, nullptr);
    EXPECT_EQ(table_->pfnAddPortEx, nullptr);
    EXPECT_EQ(table_->pfnConfigurePort, nullptr);
    EXPECT_EQ(table_->pfnDeletePort, nullptr);
    EXPECT_EQ(table_->pfnGetPrinterDataFromPort, nullptr);
    EXPECT_EQ(table_->pfnSetPortTimeOuts, nullptr);
    EXPECT_EQ(table_->pfnSendRecvBidiDataFromPort, nullptr);
}

TEST_F(MonitorEntry, LevelOnePacksNamesFromTheEndOfTheBuffer) {
    addPorts({L"P1", L"Second"});
    EnumResult sizing = enumerate(1, nullptr, 0);
    EXPECT_FALSE(sizing.ok);
    EXPECT_EQ(sizing.lastError, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(sizing.returned, 0u);
    ASSERT_EQ(sizing.needed, levelOneSize(L"P1") + levelOneSize(L"Second"));

    std::vector<BYTE> buffer(sizing.needed);
    EnumResult full = enumerate(1, buffer.data(), sizing.needed);
    ASSERT_TRUE(full.ok);
    EXPECT_EQ(full.needed, sizing.needed);
    EXPECT_EQ(full.returned, 2u);
    auto* records = reinterpret_cast<PORT_INFO_1W*>(buffer.data());
    EXPECT_EQ(std::wstring(records[0].pName), L"P1");
    EXPECT_EQ(std::wstring(records[1].pName), L"Second");
    // The first name sits at the very end; the second below it.
    EXPECT_EQ(reinterpret_cast<BYTE*>(records[0].pName), buffer.data() + buffer.size() - bytes(L"P1"));
    EXPECT_EQ(reinterpret_cast<BYTE*>(records[1].pName), buffer.data() + buffer.size() - bytes(L"P1") - bytes(L"Second"));
}

TEST_F(MonitorEntry, LevelTwoCarriesTheMonitorNameAndDescription) {
    addPorts({L"P1", L"P2"});
    EnumResult sizing = enumerate(2, nullptr, 0);
    ASSERT_EQ(sizing.needed, levelTwoSize(L"P1") + levelTwoSize(L"P2"));
    std::vector<BYTE> buffer(sizing.needed);
    EnumResult full = enumerate(2, buffer.data(), sizing.needed);
    ASSERT_TRUE(full.ok);
    ASSERT_EQ(full.returned, 2u);
    auto* records = reinterpret_cast<PORT_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < 2; ++i) {
        EXPECT_EQ(std::wstring(records[i].pPortName), i == 0 ? L"P1" : L"P2");
        EXPECT_EQ(std::wstring(records[i].pMonitorName), kMonitorName);
        EXPECT_EQ(std::wstring(records[i].pDescription), kDescription);
        EXPECT_EQ(records[i].fPortType, 0u);
        EXPECT_EQ(records[i].Reserved, 0u);
    }
    // Port name first from the top, then the monitor name, then the description.
    BYTE* top = buffer.data() + buffer.size();
    EXPECT_EQ(reinterpret_cast<BYTE*>(records[0].pPortName), top - bytes(L"P1"));
    EXPECT_EQ(reinterpret_cast<BYTE*>(records[0].pMonitorName), top - bytes(L"P1") - bytes(kMonitorName));
}

TEST_F(MonitorEntry, ABufferForOneOfThreePortsHoldsOneRecordAndAsksForAll) {
    addPorts({L"P1", L"P2", L"P3"});
    DWORD all = 3 * levelTwoSize(L"P1");
    DWORD one = levelTwoSize(L"P1");
    std::vector<BYTE> buffer(one + 16, 0xAB);
    EnumResult result = enumerate(2, buffer.data(), one + 10);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.lastError, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(result.needed, all);
    EXPECT_EQ(result.returned, 1u);
    auto* record = reinterpret_cast<PORT_INFO_2W*>(buffer.data());
    EXPECT_EQ(std::wstring(record->pPortName), L"P1");
    for (size_t i = one + 10; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xAB) << "written past the buffer at " << i;
}

TEST_F(MonitorEntry, AnOddSizeLeavesItsLastByteAlone) {
    addPorts({L"P1"});
    DWORD needed = levelOneSize(L"P1");
    std::vector<BYTE> buffer(needed + 1, 0xAB);
    EnumResult result = enumerate(1, buffer.data(), needed + 1);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(buffer[needed], 0xAB);
    auto* record = reinterpret_cast<PORT_INFO_1W*>(buffer.data());
    EXPECT_EQ(reinterpret_cast<BYTE*>(record->pName), buffer.data() + needed - bytes(L"P1"));

    EnumResult shortByOne = enumerate(1, buffer.data(), needed - 1);
    EXPECT_FALSE(shortByOne.ok);
    EXPECT_EQ(shortByOne.returned, 0u);
}

TEST_F(MonitorEntry, AServerNameListsNothing) {
    addPorts({L"P1"});
    EnumResult result = enumerate(1, nullptr, 0, const_cast<LPWSTR>(L"\\\\other"));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.needed, 0u);
    EXPECT_EQ(result.returned, 0u);
}

TEST_F(MonitorEntry, AFreshInstallationCreatesThePortsKeyAndListsNothing) {
    EnumResult result = enumerate(2, nullptr, 0);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.needed, 0u);
    EXPECT_EQ(result.returned, 0u);
    HKEY ports = nullptr;
    EXPECT_EQ(RegOpenKeyExW(registry_.root(), L"Ports", 0, KEY_READ, &ports), ERROR_SUCCESS);
    RegCloseKey(ports);
}

TEST_F(MonitorEntry, LevelThreeIsAPortListError) {
    qrxtest::RecordingEventLog log;
    EnumResult result = enumerate(3, nullptr, 0);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.lastError, static_cast<DWORD>(ERROR_INVALID_LEVEL));
    auto events = log.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].eventId, 0xCFFF0003u);
    EXPECT_EQ(events[0].source, L"Prentova Port Monitor Server");
    EXPECT_EQ(events[0].message,
              L"VAV5054E Port list error.\nlevel: 3\nerror code: 124\n" + systemErrorText(ERROR_INVALID_LEVEL));
}

TEST_F(MonitorEntry, RegistryFailuresAreLoggedExceptABadPath) {
    qrxtest::RecordingEventLog log;
    registry_.failNext(qrxtest::RegistryCall::CreateKey, ERROR_ACCESS_DENIED);
    EnumResult denied = enumerate(1, nullptr, 0);
    EXPECT_FALSE(denied.ok);
    EXPECT_EQ(denied.lastError, 5u);
    ASSERT_EQ(log.events().size(), 1u);
    EXPECT_EQ(log.events()[0].message.rfind(L"VAV5050E Registry error: fpCreateKey() failed.\nname: Ports\n", 0), 0u);

    registry_.failNext(qrxtest::RegistryCall::CreateKey, ERROR_BAD_PATHNAME);
    EnumResult badPath = enumerate(1, nullptr, 0);
    EXPECT_FALSE(badPath.ok);
    EXPECT_EQ(badPath.lastError, kSentinel) << "a bad path sets no last error";
    EXPECT_EQ(log.events().size(), 1u) << "and logs nothing";
}

TEST_F(MonitorEntry, NullOutPointersAreInvalidParameters) {
    DWORD value = 0;
    SetLastError(kSentinel);
    EXPECT_FALSE(table_->pfnEnumPorts(monitor_, nullptr, 1, nullptr, 0, nullptr, &value));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(kSentinel);
    EXPECT_FALSE(table_->pfnEnumPorts(monitor_, nullptr, 1, nullptr, 0, &value, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(kSentinel);
    EXPECT_FALSE(table_->pfnOpenPort(monitor_, const_cast<LPWSTR>(L"P1"), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(kSentinel);
    EXPECT_FALSE(table_->pfnXcvOpenPort(monitor_, L"", SERVER_ACCESS_ADMINISTER, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(MonitorEntry, PortsOpenAndCloseWhetherConfiguredOrNot) {
    HANDLE port = nullptr;
    ASSERT_TRUE(table_->pfnOpenPort(monitor_, const_cast<LPWSTR>(L"NotConfigured"), &port));
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(table_->pfnClosePort(port));
    SetLastError(kSentinel);
    EXPECT_FALSE(table_->pfnClosePort(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
}

TEST_F(MonitorEntry, ReadPortAlwaysFails) {
    HANDLE port = nullptr;
    ASSERT_TRUE(table_->pfnOpenPort(monitor_, const_cast<LPWSTR>(L"P1"), &port));
    BYTE buffer[8];
    DWORD read = kSentinel;
    SetLastError(kSentinel);
    EXPECT_FALSE(table_->pfnReadPort(port, buffer, sizeof buffer, &read));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(read, 0u);
    SetLastError(kSentinel);
    EXPECT_FALSE(table_->pfnReadPort(nullptr, buffer, sizeof buffer, &read));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
    EXPECT_TRUE(table_->pfnClosePort(port));
}

TEST_F(MonitorEntry, XcvHandlesHoldTheGrantedAccessAndTheMonitor) {
    HANDLE xcv = nullptr;
    ASSERT_TRUE(table_->pfnXcvOpenPort(monitor_, L"AnyPort", SERVER_ACCESS_ADMINISTER, &xcv));
    auto* handle = static_cast<XcvHandle*>(xcv);
    EXPECT_EQ(handle->grantedAccess, static_cast<ACCESS_MASK>(SERVER_ACCESS_ADMINISTER));
    EXPECT_EQ(handle->monitor, monitor_);
    EXPECT_TRUE(table_->pfnXcvClosePort(xcv));
}

LONG WINAPI notImplementedOpen(HANDLE, LPCWSTR, REGSAM, PHANDLE, HANDLE) { return ERROR_CALL_NOT_IMPLEMENTED; }

TEST(MonitorRegistryFallback, StubRegistryFunctionsGiveWayToTheMonitorsKey) {
    // A spooler whose registry functions are stubs, as Wine's are.
    MONITORREG stubs{};
    stubs.cbSize = sizeof stubs;
    stubs.fpOpenKey = notImplementedOpen;
    MONITORINIT init{};
    init.cbSize = sizeof init;
    init.pMonitorReg = &stubs;
    const std::wstring portKey =
        L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Prentova Port Monitor\\Ports\\QRXFALLBACK:";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, portKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    HANDLE monitor = nullptr;
    LPMONITOR2 table = InitializePrintMonitor2(&init, &monitor);
    ASSERT_NE(table, nullptr);
    DWORD needed = 0, returned = 0;
    table->pfnEnumPorts(monitor, nullptr, 1, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(table->pfnEnumPorts(monitor, nullptr, 1, buffer.data(), needed, &needed, &returned));
    bool found = false;
    for (DWORD i = 0; i < returned; ++i)
        found |= std::wstring(reinterpret_cast<PORT_INFO_1W*>(buffer.data())[i].pName) == L"QRXFALLBACK:";
    table->pfnShutdown(monitor);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, portKey.c_str());
    EXPECT_TRUE(found);
}

}  // namespace
