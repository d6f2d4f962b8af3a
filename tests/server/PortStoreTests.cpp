#include "ErrorCapture.h"
#include "MonitorRegistryKey.h"
#include "PortStore.h"
#include "Recorders.h"
#include "RegistryMonitor.h"
#include "RuntimeError.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::RegistryCall;

class PortStoreTest : public testing::Test {
protected:
    // Writes a value straight into the registry, below the port's key.
    void putValue(const std::wstring& port, const std::wstring& name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(monitor_.root(), portKeyPath(port).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void putString(const std::wstring& port, const std::wstring& name, const std::wstring& value) {
        putValue(port, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    void putDword(const std::wstring& port, const std::wstring& name, DWORD value) {
        putValue(port, name, REG_DWORD, &value, sizeof value);
    }
    bool keyExists(const std::wstring& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(monitor_.root(), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    void TearDown() override { EXPECT_EQ(monitor_.openKeys(), 0) << "a key was left open"; }

    qrxtest::RegistryMonitor monitor_;
    PortStore store_{monitor_.handle()};
};

TEST_F(PortStoreTest, AKeyWithoutValuesLoadsEmptyEvenWhereTheRecordsHaveDefaults) {
    store_.createPortKey(L"P1");
    PortConfiguration port = store_.loadPort(L"P1");
    EXPECT_EQ(port.settings.portName, L"P1");
    EXPECT_EQ(port.settings.deviceType, L"");
    EXPECT_EQ(port.settings.hostName, L"");
    EXPECT_EQ(port.settings.portNumber, L"");
    EXPECT_EQ(port.settings.printerName, L"");
    EXPECT_EQ(port.settings.unattended, 0u);
    EXPECT_EQ(port.options.portName, L"P1");
    EXPECT_EQ(port.options.address + port.options.building + port.options.department + port.options.jobAttributes +
                  port.options.name + port.options.room,
              L"");
    EXPECT_EQ(port.options.promptFlag, 0u);
}

TEST_F(PortStoreTest, EveryValueLandsInItsOwnField) {
    const std::vector<std::pair<std::wstring, std::wstring>> strings = {
        {L"Device", L"dev"}, {L"Host", L"host"}, {L"Port", L"1515"}, {L"Printer", L"queue"}, {L"Addr", L"a1\na2"},
        {L"Bld", L"bld"},    {L"Dept", L"dept"}, {L"Attr", L"attr"}, {L"Name", L"name"},     {L"Room", L"room"}};
    for (const auto& [name, value] : strings) putString(L"P1", name, value);
    putDword(L"P1", L"Unattended", 1);
    putDword(L"P1", L"Show", 5);

    PortConfiguration port = store_.loadPort(L"P1");
    EXPECT_EQ(port.settings.deviceType, L"dev");
    EXPECT_EQ(port.settings.hostName, L"host");
    EXPECT_EQ(port.settings.portNumber, L"1515");
    EXPECT_EQ(port.settings.printerName, L"queue");
    EXPECT_EQ(port.settings.unattended, 1u);
    EXPECT_EQ(port.options.address, L"a1\na2");
    EXPECT_EQ(port.options.building, L"bld");
    EXPECT_EQ(port.options.department, L"dept");
    EXPECT_EQ(port.options.jobAttributes, L"attr");
    EXPECT_EQ(port.options.name, L"name");
    EXPECT_EQ(port.options.room, L"room");
    EXPECT_EQ(port.options.promptFlag, 1u) << "any nonzero flag reads as 1";
}

TEST_F(PortStoreTest, FlagsReadAsZeroOrOne) {
    store_.createPortKey(L"P1");
    DWORD flag = 0xdeadbeef;
    EXPECT_FALSE(store_.readPortValue(L"P1", L"Show", flag));
    EXPECT_EQ(flag, 0xdeadbeefu) << "an absent flag leaves the output alone";
    putDword(L"P1", L"Show", 0);
    EXPECT_TRUE(store_.readPortValue(L"P1", L"Show", flag));
    EXPECT_EQ(flag, 0u);
    putDword(L"P1", L"Show", 5);
    EXPECT_TRUE(store_.readPortValue(L"P1", L"Show", flag));
    EXPECT_EQ(flag, 1u);
}

TEST_F(PortStoreTest, StringsOf2048CharactersReadWholeAndLongerOnesReadAsAbsent) {
    putString(L"P1", L"Attr", std::wstring(2048, L'a'));
    putString(L"P1", L"Name", std::wstring(2049, L'n'));
    std::wstring value = L"unchanged";
    EXPECT_TRUE(store_.readPortValue(L"P1", L"Attr", value));
    EXPECT_EQ(value, std::wstring(2048, L'a'));
    value = L"unchanged";
    EXPECT_FALSE(store_.readPortValue(L"P1", L"Name", value));
    EXPECT_EQ(value, L"unchanged");
    EXPECT_EQ(store_.loadPort(L"P1").options.name, L"");
}

TEST_F(PortStoreTest, AStringStoredWithoutItsNulStillEnds) {
    const wchar_t text[] = {L'a', L'b', L'c'};
    putValue(L"P1", L"Host", REG_SZ, text, sizeof text);
    std::wstring value;
    EXPECT_TRUE(store_.readPortValue(L"P1", L"Host", value));
    EXPECT_EQ(value, L"abc");
}

TEST_F(PortStoreTest, WritesStoreStringsWithTheirNulAndFlagsAsZeroOrOne) {
    store_.createPortKey(L"P1");
    store_.writePortValue(L"P1", L"Host", std::wstring(L"server1"));
    store_.writePortValue(L"P1", L"Unattended", DWORD{7});

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(monitor_.root(), L"Ports\\P1", 0, KEY_READ, &key), ERROR_SUCCESS);
    BYTE data[64] = {};
    DWORD type = 0, size = sizeof data;
    ASSERT_EQ(RegQueryValueExW(key, L"Host", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 8u * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(data)), L"server1");
    size = sizeof data;
    ASSERT_EQ(RegQueryValueExW(key, L"Unattended", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(*reinterpret_cast<DWORD*>(data), 1u);
    RegCloseKey(key);
}

TEST_F(PortStoreTest, AMissingPortRaisesTheRegistryErrorOfTheOpen) {
    RuntimeError error = qrxtest::thrownError([this] { store_.loadPort(L"Nowhere"); });
    EXPECT_EQ(error.code(), 2u);
    EXPECT_EQ(error.message().rfind(
                  L"VAV5050E Registry error: fpOpenKey() failed.\nname: Ports\\Nowhere\nerror code: 2\n", 0),
              0u)
        << std::string(error.message().begin(), error.message().end());
    RuntimeError write = qrxtest::thrownError([this] { store_.writePortValue(L"Nowhere", L"Host", std::wstring(L"h")); });
    EXPECT_EQ(write.code(), 2u);
    EXPECT_FALSE(keyExists(L"Ports\\Nowhere")) << "a write must not create the port";
}

TEST_F(PortStoreTest, NamesThatWouldNestOrVanishAreRefused) {
    for (const std::wstring& name : {std::wstring(L"A\\B"), std::wstring(L"")}) {
        RuntimeError error = qrxtest::thrownError([&] { store_.createPortKey(name); });
        EXPECT_EQ(error.code(), static_cast<DWORD>(ERROR_INVALID_NAME));
        EXPECT_NE(error.message().find(L"fpCreateKey()"), std::wstring::npos);
    }
    EXPECT_FALSE(keyExists(L"Ports\\A"));
    EXPECT_TRUE(store_.listPorts().empty());
}

TEST_F(PortStoreTest, DeletingAPortRemovesItsValuesAndAddingItAgainStartsEmpty) {
    store_.createPortKey(L"P1");
    store_.writePortValue(L"P1", L"Host", std::wstring(L"h"));
    store_.deletePortKey(L"P1");
    EXPECT_FALSE(keyExists(L"Ports\\P1"));
    store_.createPortKey(L"P1");
    std::wstring host = L"none";
    EXPECT_FALSE(store_.readPortValue(L"P1", L"Host", host));
    EXPECT_EQ(host, L"none");
}

TEST_F(PortStoreTest, ListingCreatesTheContainerAndMissesNoPort) {
    EXPECT_FALSE(keyExists(L"Ports"));
    EXPECT_TRUE(store_.listPorts().empty());
    EXPECT_TRUE(keyExists(L"Ports"));
    for (const wchar_t* name : {L"A:", L"B", L"C port"}) store_.createPortKey(name);
    EXPECT_EQ(store_.listPorts(), (std::vector<std::wstring>{L"A:", L"B", L"C port"}));
}

TEST_F(PortStoreTest, FailingRegistryCallsRaiseWithTheirNamesAndCodes) {
    store_.createPortKey(L"P1");
    struct Case {
        RegistryCall call;
        std::function<void()> operation;
        const wchar_t* name;
    };
    const Case cases[] = {
        {RegistryCall::SetValue, [this] { store_.writePortValue(L"P1", L"Host", std::wstring(L"h")); },
         L"fpSetValue()"},
        {RegistryCall::SetValue, [this] { store_.writePortValue(L"P1", L"Show", DWORD{1}); }, L"fpSetValue()"},
        {RegistryCall::DeleteKey, [this] { store_.deletePortKey(L"P1"); }, L"fpDeleteKey()"},
        {RegistryCall::CreateKey, [this] { store_.createPortKey(L"P2"); }, L"fpCreateKey()"},
        {RegistryCall::CreateKey, [this] { store_.listPorts(); }, L"fpCreateKey()"},
    };
    for (const Case& c : cases) {
        monitor_.failNext(c.call, ERROR_ACCESS_DENIED);
        RuntimeError error = qrxtest::thrownError(c.operation);
        EXPECT_EQ(error.code(), 5u);
        EXPECT_NE(error.message().find(c.name), std::wstring::npos);
    }
    EXPECT_TRUE(keyExists(L"Ports\\P1"));
}

TEST_F(PortStoreTest, ReadsReopenAKeyOpenedForWriting) {
    store_.createPortKey(L"P1");
    MonitorRegistryKey key(monitor_.handle(), L"Ports\\P1");
    key.writeString(L"Host", L"h1");
    std::wstring host;
    EXPECT_TRUE(key.readString(L"Host", host));
    EXPECT_EQ(host, L"h1");
    key.writeFlag(L"Show", 1);
    DWORD flag = 0;
    EXPECT_TRUE(key.readFlag(L"Show", flag));
    EXPECT_EQ(flag, 1u);
}

}  // namespace
