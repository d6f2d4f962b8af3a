// The prompt program's parts in this process: the command-line rule, and the
// rules by which it and the monitor read the port's key. The program as a
// whole, with what it writes, is tested as a process (PromptProgramTests.cpp).
#include "OrdinaryRegistry.h"
#include "PortKeys.h"
#include "PortOptionsKey.h"
#include "PortStore.h"
#include "PromptCommandLine.h"
#include "Recorders.h"
#include "RuntimeError.h"
#include "StoredPort.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::StoredPort;

TEST(PromptCommandLine, ThePortNameIsEverythingAfterTheProgramNameAndTheOneBlankThatFollowsIt) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Windows\\System32\\QRXPromptApp.exe QRX1:", L"QRX1:"},
        {L"C:\\Windows\\System32\\QRXPromptApp.exe  P1", L" P1"},
        {L"QRXPromptApp.exe  two words  ", L" two words  "},
        {L"QRXPromptApp.exe\t\x01 inner\ttab", L"\x01 inner\ttab"},
        {L"\"C:\\Program Files\\QRXPromptApp.exe\" \"quoted\"", L"\"quoted\""},
        {L"a\"b c\"d e", L"e"},
        {L"QRXPromptApp.exe \x7F", L"\x7F"},
        {L"QRXPromptApp.exe", L""},
        {L"\"C:\\unended quote QRX1:", L""},
    };
    for (const auto& [commandLine, portName] : cases)
        EXPECT_EQ(portNameFromCommandLine(commandLine), portName) << testing::PrintToString(std::wstring(commandLine));
}

std::vector<BYTE> bytesOf(const std::wstring& text, bool withNull = true) {
    std::vector<BYTE> bytes((text.size() + (withNull ? 1 : 0)) * sizeof(wchar_t), 0);
    std::memcpy(bytes.data(), text.data(), text.size() * sizeof(wchar_t));
    return bytes;
}

std::vector<BYTE> dwordBytes(DWORD value) { return {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)}; }

// The monitor's store over the machine's registry, where the prompt program
// reads, as the monitor keeps it under Wine.
class MachineMonitor {
public:
    MachineMonitor() {
        handle_.ownRoot = RegistryKey::create(HKEY_LOCAL_MACHINE, kMonitorRootPath, KEY_ALL_ACCESS);
        handle_.init.hckRegistryRoot = handle_.ownRoot->handle();
        handle_.init.pMonitorReg = const_cast<PMONITORREG>(&ordinaryRegistryFunctions());
    }
    PortOptions optionsOf(const std::wstring& port) const { return PortStore(handle_).loadPort(port).options; }

private:
    MonitorHandle handle_;
};

TEST(PortOptionsReading, TheMonitorAndThePromptProgramReadEveryStoredFormAlike) {
    struct Case {
        const char* what;
        const wchar_t* value;
        DWORD type;
        std::vector<BYTE> bytes;
        std::wstring name;
        DWORD flag;
    };
    const std::wstring longest(2048, L'x');
    const Case cases[] = {
        {"Show as the text 1", L"Show", REG_SZ, bytesOf(L"1"), L"", 1},
        {"Show as the text 0", L"Show", REG_SZ, bytesOf(L"0"), L"", 0},
        {"Show as a word", L"Show", REG_SZ, bytesOf(L"yes"), L"", 0},
        {"Show 1", L"Show", REG_DWORD, dwordBytes(1), L"", 1},
        {"Show 0", L"Show", REG_DWORD, dwordBytes(0), L"", 0},
        {"Show 5", L"Show", REG_DWORD, dwordBytes(5), L"", 1},
        {"Show longer than 4 bytes", L"Show", REG_QWORD, std::vector<BYTE>(8, 1), L"", 0},
        {"text without a null", L"Name", REG_SZ, bytesOf(L"Ann", false), L"Ann", 0},
        {"text up to its first null", L"Name", REG_SZ, bytesOf(std::wstring(L"A\0B", 3)), L"A", 0},
        {"an odd last byte is no character", L"Name", REG_SZ, {'A', 0, 'B'}, L"A", 0},
        {"expandable text, unexpanded", L"Name", REG_EXPAND_SZ, bytesOf(L"%USERNAME%"), L"%USERNAME%", 0},
        {"a list of texts", L"Name", REG_MULTI_SZ, bytesOf(std::wstring(L"A\0B\0", 4)), L"", 0},
        {"a number as the name", L"Name", REG_DWORD, dwordBytes(5), L"", 0},
        {"2048 characters", L"Name", REG_SZ, bytesOf(longest), longest, 0},
        {"2049 characters", L"Name", REG_SZ, bytesOf(longest + L"y"), L"", 0},
    };
    const MachineMonitor monitor;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StoredPort port(L"QRXREADRULES:");
        port.setRaw(c.value, c.type, c.bytes);
        PortOptions shown(port.name());
        PortOptionsKey(port.name()).read(shown);
        const PortOptions used = monitor.optionsOf(port.name());
        EXPECT_EQ(shown.name, c.name);
        EXPECT_EQ(shown.promptFlag, c.flag);
        EXPECT_EQ(used.name, c.name);
        EXPECT_EQ(used.promptFlag, c.flag);
    }
}

TEST(PortOptionsKey, AFailedWriteIsARegistryErrorNamingTheCallTheKeyAndTheCode) {
    StoredPort port(L"QRXDELETED:");
    PortOptionsKey key(port.name());
    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, port.path().c_str()), ERROR_SUCCESS);
    try {
        key.write(PortOptions(port.name()));
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.message().substr(0, error.message().find(L"\nerror code")),
                  L"VAV5050E Registry error: RegSetValueEx() failed.\nname: " + port.path());
        EXPECT_EQ(error.code(), static_cast<DWORD>(ERROR_KEY_DELETED));
    }
    EXPECT_FALSE(port.exists()) << "a deleted key is not made again";
}

}  // namespace
