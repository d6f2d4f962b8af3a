// The transceive commands through Wine's real spooler, as the UI library will
// send them: OpenPrinterW on the monitor's or a port's Xcv name, XcvDataW,
// and the store read back from the registry where the spooler keeps it.
#include "LoopbackPeer.h"
#include "XcvReply.h"

#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using qrxtest::inputOf;
using qrxtest::kSentinel;
using qrxtest::XcvReply;

const std::wstring kMonitorChannel = L",XcvMonitor Prentova Port Monitor";
const std::wstring kPortsKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Prentova Port Monitor\\Ports";
constexpr DWORD kInsufficient = ERROR_INSUFFICIENT_BUFFER;

// One transceive channel, opened and closed as the UI library does it.
class XcvClient {
public:
    // Without an access the channel is opened with no defaults at all.
    explicit XcvClient(const std::wstring& object = kMonitorChannel,
                       std::optional<ACCESS_MASK> access = SERVER_ACCESS_ADMINISTER) {
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, access.value_or(0)};
        if (!OpenPrinterW(const_cast<LPWSTR>(object.c_str()), &printer_, access ? &defaults : nullptr)) {
            openError_ = GetLastError();
            printer_ = nullptr;
        }
    }
    ~XcvClient() {
        if (printer_) ClosePrinter(printer_);
    }
    XcvClient(const XcvClient&) = delete;
    XcvClient& operator=(const XcvClient&) = delete;

    bool isOpen() const { return printer_ != nullptr; }
    DWORD openError() const { return openError_; }
    HANDLE printer() const { return printer_; }

    // The reply's status is the sentinel when the spooler did not deliver the call.
    XcvReply send(const wchar_t* command, const std::wstring& input, DWORD outputSize = 0) {
        std::vector<BYTE> in = inputOf(input);
        XcvReply reply(outputSize);
        SetLastError(kSentinel);
        if (!XcvDataW(printer_, command, in.data(), static_cast<DWORD>(in.size()), reply.data(), outputSize,
                      &reply.needed, &reply.status))
            reply.status = kSentinel;
        reply.lastError = GetLastError();
        return reply;
    }
    DWORD run(const wchar_t* command, const std::wstring& input) { return send(command, input).status; }
    // The sizing call, then the copy call with the size it asked for.
    XcvReply fetch(const wchar_t* command, const std::wstring& input) {
        XcvReply sizing = send(command, input, 0);
        EXPECT_EQ(sizing.status, kInsufficient) << command;
        if (sizing.status != kInsufficient || sizing.needed == 0) return sizing;
        return send(command, input, sizing.needed);
    }

private:
    HANDLE printer_ = nullptr;
    DWORD openError_ = 0;
};

std::wstring keyOf(const std::wstring& port) { return kPortsKey + L"\\" + port; }

bool portKeyExists(const std::wstring& port) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyOf(port).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

DWORD valueCount(const std::wstring& port) {
    HKEY key = nullptr;
    DWORD values = kSentinel;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyOf(port).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return values;
}

// The value's type and bytes exactly as the registry holds them.
testing::AssertionResult stored(const std::wstring& port, const std::wstring& name, DWORD type,
                                const std::vector<BYTE>& expected) {
    DWORD actualType = REG_NONE, size = 0;
    std::vector<BYTE> data(64 * 1024);
    size = static_cast<DWORD>(data.size());
    LONG status = RegGetValueW(HKEY_LOCAL_MACHINE, keyOf(port).c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                               &actualType, data.data(), &size);
    if (status != ERROR_SUCCESS) return testing::AssertionFailure() << "no value, " << status;
    data.resize(size);
    if (actualType != type) return testing::AssertionFailure() << "type " << actualType;
    if (data != expected) return testing::AssertionFailure() << size << " bytes of another value";
    return testing::AssertionSuccess();
}
testing::AssertionResult storedString(const std::wstring& port, const std::wstring& name, const std::wstring& text) {
    return stored(port, name, REG_SZ, inputOf(text));
}
testing::AssertionResult storedFlag(const std::wstring& port, const std::wstring& name, DWORD flag) {
    return stored(port, name, REG_DWORD, std::vector<BYTE>{static_cast<BYTE>(flag), 0, 0, 0});
}

// A port that the test adds over the channel; its key goes whatever the outcome.
class TestPort {
public:
    TestPort(XcvClient& client, std::wstring name) : name_(std::move(name)) {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyOf(name_).c_str());
        EXPECT_EQ(client.run(L"AddPort", name_), 0u);
    }
    ~TestPort() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyOf(name_).c_str()); }
    const std::wstring& name() const { return name_; }
    std::wstring with(const std::wstring& value) const { return name_ + L"\\" + value; }

private:
    std::wstring name_;
};

struct Setting {
    const wchar_t* setter;
    const wchar_t* getter;  // nullptr: no command reads it back
    const wchar_t* valueName;
    bool isFlag;
};
const Setting kSettings[] = {
    {L"SetDeviceType", nullptr, L"Device", false},
    {L"SetHostName", L"GetHostName", L"Host", false},
    {L"SetPortNo", L"GetPortNo", L"Port", false},
    {L"SetPrinterName", L"GetPrinterName", L"Printer", false},
    {L"SetUnattendedFlag", L"GetUnattendedFlag", L"Unattended", true},
    {L"SetAddress", L"GetAddress", L"Addr", false},
    {L"SetBuilding", L"GetBuilding", L"Bld", false},
    {L"SetDepartment", L"GetDepartment", L"Dept", false},
    {L"SetJobAttributes", L"GetJobAttributes", L"Attr", false},
    {L"SetName", L"GetName", L"Name", false},
    {L"SetRoom", L"GetRoom", L"Room", false},
    {L"SetPromptFlag", L"GetPropmtFlag", L"Show", true},
};
const DWORD kSettingCount = static_cast<DWORD>(std::size(kSettings));

class XcvThroughSpooler : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(client_.isOpen()) << "OpenPrinterW failed with " << client_.openError(); }
    XcvClient client_;
};

TEST_F(XcvThroughSpooler, EveryCommandReachesTheStoreAndAnswers) {
    TestPort port(client_, L"QRXXCV1:");
    EXPECT_EQ(valueCount(port.name()), 0u);
    EXPECT_EQ(client_.run(L"PortExists", port.name()), 3537u) << "the spooler now lists the port";

    for (const Setting& setting : kSettings) {
        const std::wstring value = setting.isFlag ? L"true" : std::wstring(L"value of ") + setting.valueName;
        ASSERT_EQ(client_.run(setting.setter, port.with(value)), 0u) << setting.setter;
        EXPECT_TRUE(setting.isFlag ? storedFlag(port.name(), setting.valueName, 1)
                                   : storedString(port.name(), setting.valueName, value))
            << setting.valueName;
    }
    EXPECT_EQ(valueCount(port.name()), kSettingCount);

    for (const Setting& setting : kSettings) {
        if (!setting.getter) continue;
        XcvReply reply = client_.fetch(setting.getter, port.name());
        EXPECT_EQ(reply.status, 0u) << setting.getter;
        EXPECT_TRUE(reply.guardsIntact()) << setting.getter;
        if (setting.isFlag)
            EXPECT_EQ(reply.flag(), 1u) << setting.getter;
        else
            EXPECT_EQ(reply.text(), std::wstring(L"value of ") + setting.valueName);
    }
    XcvReply ui = client_.fetch(L"MonitorUI", L"");
    EXPECT_EQ(ui.status, 0u);
    EXPECT_EQ(ui.needed, 26u);
    EXPECT_EQ(ui.text(), L"QRXUIDll.dll");

    EXPECT_EQ(client_.run(L"DeletePort", port.name()), 0u);
    EXPECT_FALSE(portKeyExists(port.name()));
    EXPECT_EQ(client_.run(L"PortExists", port.name()), 0u);
}

TEST_F(XcvThroughSpooler, APortsOwnChannelCarriesTheSameCommands) {
    TestPort port(client_, L"QRXXCV2:");
    XcvClient portChannel(L",XcvPort " + port.name());
    ASSERT_TRUE(portChannel.isOpen()) << portChannel.openError();
    EXPECT_EQ(portChannel.run(L"SetHostName", port.with(L"host.example")), 0u);
    EXPECT_EQ(portChannel.fetch(L"GetHostName", port.name()).text(), L"host.example");
    EXPECT_TRUE(storedString(port.name(), L"Host", L"host.example"));
}

TEST_F(XcvThroughSpooler, WithoutAdministratorAccessEvenReadingIsRefused) {
    TestPort port(client_, L"QRXXCV3:");
    XcvClient reader(kMonitorChannel, SERVER_ACCESS_ENUMERATE);
    XcvClient noDefaults(kMonitorChannel, std::nullopt);
    for (XcvClient* client : {&reader, &noDefaults}) {
        ASSERT_TRUE(client->isOpen()) << client->openError();
        for (const wchar_t* command : {L"MonitorUI", L"PortExists", L"GetHostName", L"DeletePort"}) {
            XcvReply reply = client->send(command, port.name(), 64);
            EXPECT_EQ(reply.status, static_cast<DWORD>(ERROR_ACCESS_DENIED)) << command;
            EXPECT_TRUE(reply.untouched()) << command;
        }
    }
    EXPECT_TRUE(portKeyExists(port.name()));
}

TEST_F(XcvThroughSpooler, PortExistsKnowsThePortsOfEveryMonitorWhateverTheirLetterCase) {
    TestPort port(client_, L"QRXCASE:");
    const struct {
        const wchar_t* name;
        DWORD status;
    } cases[] = {
        {L"LPT1:", 3537}, {L"lpt1:", 3537}, {L"Lpt1:", 3537},         {L"QRXCASE:", 3537},
        {L"qrxcase:", 3537}, {L"QRXCASE", 0}, {L"QRXNOSUCHPORT:", 0}, {L"LPT1: ", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(client_.run(L"PortExists", c.name), c.status) << c.name;
}

TEST_F(XcvThroughSpooler, OnlyTheExactTextTrueStoresOne) {
    TestPort port(client_, L"QRXXCV4:");
    for (const wchar_t* value : {L"True", L"1", L"TRUE", L"false", L""}) {
        EXPECT_EQ(client_.run(L"SetUnattendedFlag", port.with(value)), 0u);
        EXPECT_TRUE(storedFlag(port.name(), L"Unattended", 0)) << value;
    }
    EXPECT_EQ(client_.run(L"SetUnattendedFlag", port.with(L"true")), 0u);
    EXPECT_TRUE(storedFlag(port.name(), L"Unattended", 1));
}

TEST_F(XcvThroughSpooler, TheFirstBackslashAloneSplitsPortAndValue) {
    TestPort port(client_, L"P1");
    EXPECT_EQ(client_.run(L"SetHostName", L"P1"), 0u);
    EXPECT_TRUE(storedString(L"P1", L"Host", L"P1"));
    EXPECT_EQ(client_.run(L"SetAddress", L"P1\\Main Street 1\\Floor 2"), 0u);
    EXPECT_TRUE(storedString(L"P1", L"Addr", L"Main Street 1\\Floor 2"));
    EXPECT_EQ(client_.run(L"SetRoom", L"P1\\"), 0u);
    EXPECT_TRUE(storedString(L"P1", L"Room", L""));
}

TEST_F(XcvThroughSpooler, AbsentValuesAnswerTheEmptyTextAndNoFlag) {
    TestPort port(client_, L"QRXXCV5:");
    XcvReply sizing = client_.send(L"GetHostName", port.name(), 0);
    EXPECT_EQ(sizing.status, kInsufficient);
    EXPECT_EQ(sizing.needed, 2u);
    XcvReply copy = client_.send(L"GetHostName", port.name(), 2);
    EXPECT_EQ(copy.status, 0u);
    EXPECT_EQ(copy.text(), L"");
    EXPECT_EQ(copy.at(0) | copy.at(1), 0) << "the NUL is written";

    XcvReply flag = client_.send(L"GetUnattendedFlag", port.name(), 0);
    EXPECT_EQ(flag.status, kInsufficient);
    EXPECT_EQ(flag.needed, 0u);
}

TEST_F(XcvThroughSpooler, AMissingPortIsFileNotFoundAndTheCallersLastError) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyOf(L"QRXMISSING:").c_str());
    XcvReply reply = client_.send(L"GetHostName", L"QRXMISSING:", 64);
    EXPECT_EQ(reply.status, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(reply.lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(reply.untouched());
    EXPECT_FALSE(portKeyExists(L"QRXMISSING:"));
}

TEST_F(XcvThroughSpooler, BuffersAreSizedAndNeverOverrun) {
    XcvReply ui = client_.send(L"MonitorUI", L"", 25);
    EXPECT_EQ(ui.status, kInsufficient);
    EXPECT_EQ(ui.needed, 26u);
    EXPECT_TRUE(ui.untouched());
    EXPECT_TRUE(ui.guardsIntact());

    TestPort port(client_, L"QRXXCV6:");
    EXPECT_EQ(client_.run(L"SetRoom", port.with(L"Room 101")), 0u);
    XcvReply room = client_.send(L"GetRoom", port.name(), 17);
    EXPECT_EQ(room.status, kInsufficient);
    EXPECT_EQ(room.needed, 18u);
    EXPECT_TRUE(room.untouched());
    EXPECT_TRUE(room.guardsIntact());
}

TEST_F(XcvThroughSpooler, UnknownNamesAndAnInputSizeWithoutItsBufferAreRefused) {
    for (const wchar_t* name : {L"DisplayOptions", L"monitorui", L"GetHostname", L""}) {
        XcvReply reply = client_.send(name, L"", 64);
        EXPECT_EQ(reply.status, static_cast<DWORD>(ERROR_INVALID_DATA)) << L"\"" << name << L"\"";
        EXPECT_TRUE(reply.untouched());
    }
    // The spooler hands this one on as it is (missing output pointers it refuses itself).
    DWORD needed = kSentinel, status = kSentinel;
    EXPECT_TRUE(XcvDataW(client_.printer(), L"AddPort", nullptr, 12, nullptr, 0, &needed, &status));
    EXPECT_EQ(status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(XcvThroughSpooler, ThePrinterListComesFromTheServerOverOneConnection) {
    std::vector<std::string> received;
    qrxtest::LoopbackPeer server(
        [&](qrxtest::PeerConnection& connection) {
            received.push_back(connection.readLine());
            connection.send("Queue1\nFloor 1\nLaser\nQueue2\nFloor 2\nColour\n");
        },
        AF_INET, 1);
    XcvReply list = client_.fetch(L"GetPrinterList", L"127.0.0.1\\" + server.port());
    server.join();
    EXPECT_EQ(list.status, 0u);
    EXPECT_EQ(list.text(), L"Queue1\nFloor 1\nLaser\nQueue2\nFloor 2\nColour\n");
    EXPECT_EQ(received, std::vector<std::string>{"\x04\n"}) << "the sizing call's reply answered the copy";
}

TEST_F(XcvThroughSpooler, ADeletedPortLeavesNothingAndComesBackEmpty) {
    TestPort port(client_, L"QRXXCV7:");
    for (const Setting& setting : kSettings) EXPECT_EQ(client_.run(setting.setter, port.with(L"true")), 0u);
    EXPECT_EQ(valueCount(port.name()), kSettingCount);
    EXPECT_EQ(client_.run(L"DeletePort", port.name()), 0u);
    EXPECT_FALSE(portKeyExists(port.name()));
    EXPECT_EQ(client_.run(L"AddPort", port.name()), 0u);
    EXPECT_EQ(valueCount(port.name()), 0u);
}

TEST_F(XcvThroughSpooler, AddPortRefusesNamesThatCannotBePorts) {
    EXPECT_EQ(client_.run(L"AddPort", L""), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(client_.run(L"AddPort", L"QRXXCV8:\\inner"), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_FALSE(portKeyExists(L"QRXXCV8:"));
}

// Each thread adds, configures, reads back and deletes its own port on its
// own channel, round after round; every port must end with exactly the
// values of its own thread's last round. (A port's own name is not asked
// for with PortExists here: the monitor lists its ports by index, and a
// port deleted meanwhile can make the listing skip another.)
TEST(XcvThroughSpoolerThreads, PortsOfDifferentThreadsKeepTheirOwnValues) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 12;
    auto portName = [](int thread) { return L"QRXMT" + std::to_wstring(thread) + L":"; };
    auto valueOf = [](int thread, int round, const Setting& setting) -> std::wstring {
        if (setting.isFlag) return (thread + round) % 2 ? L"true" : L"false";
        return L"t" + std::to_wstring(thread) + L"r" + std::to_wstring(round) + L"-" + setting.valueName;
    };
    std::vector<std::wstring> failures(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            auto fail = [&](const std::wstring& what) {
                if (failures[t].empty()) failures[t] = what;
            };
            XcvClient client;
            if (!client.isOpen()) return fail(L"OpenPrinterW: " + std::to_wstring(client.openError()));
            const std::wstring port = portName(t);
            for (int round = 0; round < kRounds && failures[t].empty(); ++round) {
                if (client.run(L"AddPort", port) != 0) fail(L"AddPort");
                // The spooler's listing while other threads add and delete ports.
                if (DWORD status = client.run(L"PortExists", L"LPT1:"); status != 3537)
                    fail(L"PortExists: " + std::to_wstring(status));
                for (const Setting& setting : kSettings)
                    if (client.run(setting.setter, port + L"\\" + valueOf(t, round, setting)) != 0)
                        fail(setting.setter);
                for (const Setting& setting : kSettings) {
                    if (!setting.getter) continue;
                    XcvReply reply = client.fetch(setting.getter, port);
                    const std::wstring expected = valueOf(t, round, setting);
                    const bool same = setting.isFlag ? reply.flag() == (expected == L"true" ? 1u : 0u)
                                                     : reply.text() == expected;
                    if (reply.status != 0 || !same) fail(setting.getter);
                }
                if (round + 1 < kRounds && client.run(L"DeletePort", port) != 0) fail(L"DeletePort");
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        const std::wstring port = portName(t);
        EXPECT_EQ(failures[t], L"") << port;
        for (const Setting& setting : kSettings) {
            const std::wstring value = valueOf(t, kRounds - 1, setting);
            EXPECT_TRUE(setting.isFlag ? storedFlag(port, setting.valueName, value == L"true" ? 1 : 0)
                                       : storedString(port, setting.valueName, value))
                << port << " " << setting.valueName;
        }
        EXPECT_EQ(valueCount(port), kSettingCount);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyOf(port).c_str());
    }
}

// Wine's spooler lists the ports in two passes over the monitors; ports
// that come and go between them tear its listing. PortExists must still
// find a port that stays.
TEST(XcvThroughSpoolerThreads, PortExistsFindsAStayingPortWhileOthersComeAndGo) {
    std::atomic<bool> asking{true};
    std::vector<std::thread> churn;
    for (int t = 0; t < 2; ++t) {
        churn.emplace_back([&asking, t] {
            XcvClient client;
            const std::wstring port = L"QRXCHURN" + std::to_wstring(t) + L":";
            for (int i = 0; asking && client.isOpen(); ++i)
                client.run(i % 2 ? L"DeletePort" : L"AddPort", port + std::to_wstring(i % 7));
        });
    }
    XcvClient client;
    ASSERT_TRUE(client.isOpen());
    int found = 0;
    for (int i = 0; i < 200; ++i) found += client.run(L"PortExists", L"LPT1:") == 3537;
    asking = false;
    for (std::thread& thread : churn) thread.join();
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < 7; ++i)
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyOf(L"QRXCHURN" + std::to_wstring(t) + L":" + std::to_wstring(i)).c_str());
    EXPECT_EQ(found, 200);
}

}  // namespace
