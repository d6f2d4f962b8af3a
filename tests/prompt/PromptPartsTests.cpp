// The prompt program's parts in this process: the command-line rule, and the
// type rules by which the port key is read. The program as a whole, with the
// values it writes, is tested as a process (PromptProgramTests.cpp).
#include "PortOptionsKey.h"
#include "PromptCommandLine.h"
#include "Recorders.h"
#include "RuntimeError.h"
#include "StoredPort.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::StoredPort;

TEST(PromptCommandLine, ThePortNameIsEverythingAfterTheProgramNameAndTheBlanksThatFollowIt) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Windows\\System32\\QRXPromptApp.exe QRX1:", L"QRX1:"},
        {L"QRXPromptApp.exe  two words  ", L"two words  "},
        {L"QRXPromptApp.exe\t\x01\x1F inner\ttab", L"inner\ttab"},
        {L"\"C:\\Program Files\\QRXPromptApp.exe\" \"quoted\"", L"\"quoted\""},
        {L"a\"b c\"d e", L"e"},
        {L"QRXPromptApp.exe \x7F", L"\x7F"},
        {L"QRXPromptApp.exe   ", L""},
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

TEST(PortOptionsKey, ReadsEachValueByItsTypeAndStoredSize) {
    struct Case {
        const char* what;
        const wchar_t* value;
        DWORD type;
        std::vector<BYTE> bytes;
        std::wstring name;  // the name field, which starts as "before"
        DWORD flag;         // the prompt flag, which starts as 1
    };
    const std::wstring longest(2048, L'x');
    const Case cases[] = {
        {"text without a null", L"Name", REG_SZ, bytesOf(L"Ann", false), L"Ann", 1},
        {"text up to its first null", L"Name", REG_SZ, bytesOf(std::wstring(L"A\0B", 3)), L"A", 1},
        {"an odd last byte is no character", L"Name", REG_SZ, {'A', 0, 'B'}, L"A", 1},
        {"2048 characters", L"Name", REG_SZ, bytesOf(longest), longest, 1},
        {"2049 characters are not read", L"Name", REG_SZ, bytesOf(longest + L"y"), L"before", 1},
        {"an empty string keeps the field", L"Name", REG_SZ, bytesOf(L""), L"before", 1},
        {"one byte keeps the field", L"Name", REG_SZ, {'A'}, L"before", 1},
        {"a list of texts is emptied", L"Name", REG_MULTI_SZ, bytesOf(std::wstring(L"A\0B\0", 4)), L"", 1},
        {"a number is emptied", L"Name", REG_DWORD, dwordBytes(5), L"", 1},
        {"Show 0", L"Show", REG_DWORD, dwordBytes(0), L"before", 0},
        {"Show 5", L"Show", REG_DWORD, dwordBytes(5), L"before", 1},
        {"Show of four zero bytes", L"Show", REG_BINARY, dwordBytes(0), L"before", 0},
        {"Show as text", L"Show", REG_SZ, bytesOf(L"1"), L"before", 0},
        {"Show longer than 4 bytes is not read", L"Show", REG_QWORD, std::vector<BYTE>(8), L"before", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StoredPort port(L"QRXREADRULES:");
        port.setRaw(c.value, c.type, c.bytes);
        PortOptions options(port.name());
        options.name = L"before";
        options.promptFlag = 1;
        PortOptionsKey(port.name()).read(options);
        EXPECT_EQ(options.name, c.name);
        EXPECT_EQ(options.promptFlag, c.flag);
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
