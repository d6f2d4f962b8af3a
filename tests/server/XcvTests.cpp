// The transceive commands called directly, as the spooler calls them, on a
// monitor whose store is a test key of the ordinary registry: what the
// spooler tests cannot see (events, faults, pointers, odd inputs), and a
// randomised run of thousands of calls.
#include "LoopbackPeer.h"
#include "MonitorEntry.h"
#include "PortStore.h"
#include "Recorders.h"
#include "RegistryMonitor.h"
#include "SystemErrorText.h"
#include "XcvCommands.h"
#include "XcvReply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cwctype>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::inputOf;
using qrxtest::kSentinel;
using qrxtest::XcvReply;

constexpr DWORD kInsufficient = ERROR_INSUFFICIENT_BUFFER;

// A transceive handle on a monitor started the way the spooler starts it.
class Channel {
public:
    Channel(qrxtest::RegistryMonitor& registry, ACCESS_MASK access) {
        MONITORINIT init = registry.handle().init;
        table_ = InitializePrintMonitor2(&init, &monitor_);
        table_->pfnXcvOpenPort(monitor_, L"", access, &xcv_);
    }
    ~Channel() {
        table_->pfnXcvClosePort(xcv_);
        table_->pfnShutdown(monitor_);
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    XcvReply send(const wchar_t* command, const std::vector<BYTE>& input, DWORD outputSize = 0) {
        XcvReply reply(outputSize);
        SetLastError(kSentinel);
        reply.status = table_->pfnXcvDataPort(xcv_, command, input.empty() ? nullptr : const_cast<BYTE*>(input.data()),
                                              static_cast<DWORD>(input.size()), reply.data(), outputSize,
                                              &reply.needed);
        reply.lastError = GetLastError();
        return reply;
    }
    XcvReply send(const wchar_t* command, const std::wstring& input, DWORD outputSize = 0) {
        return send(command, inputOf(input), outputSize);
    }
    DWORD call(const wchar_t* command, BYTE* input, DWORD inputSize, BYTE* output, DWORD outputSize, DWORD* needed) {
        return table_->pfnXcvDataPort(xcv_, command, input, inputSize, output, outputSize, needed);
    }

private:
    HANDLE monitor_ = nullptr;
    HANDLE xcv_ = nullptr;
    LPMONITOR2 table_ = nullptr;
};

class XcvCommandsTest : public testing::Test {
protected:
    std::wstring storedString(const std::wstring& port, const wchar_t* name) {
        std::wstring value = L"(absent)";
        PortStore(registry_.handle()).readPortValue(port, name, value);
        return value;
    }
    DWORD valueCount(const std::wstring& path) {
        HKEY key = nullptr;
        DWORD values = kSentinel;
        if (RegOpenKeyExW(registry_.root(), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        RegCloseKey(key);
        return values;
    }
    std::vector<std::wstring> ports() { return PortStore(registry_.handle()).listPorts(); }
    void addPort(const std::wstring& port) { ASSERT_EQ(channel_.send(L"AddPort", port).status, 0u); }
    void set(const wchar_t* command, const std::vector<BYTE>& input) {
        ASSERT_EQ(channel_.send(command, input).status, 0u) << command;
    }

    void TearDown() override { EXPECT_EQ(registry_.openKeys(), 0) << "a key was left open"; }

    qrxtest::RecordingEventLog log_;
    qrxtest::RegistryMonitor registry_;
    Channel channel_{registry_, SERVER_ACCESS_ADMINISTER};
};

TEST_F(XcvCommandsTest, WithoutAdministratorAccessNoCommandTouchesAnything) {
    Channel reader(registry_, SERVER_ACCESS_ENUMERATE);
    addPort(L"P1");
    for (const XcvCommand& command : xcvCommands()) {
        XcvReply reply = reader.send(command.name, L"P1\\value", 64);
        EXPECT_EQ(reply.status, static_cast<DWORD>(ERROR_ACCESS_DENIED)) << command.name;
        EXPECT_EQ(reply.needed, kSentinel) << command.name;
        EXPECT_EQ(reply.lastError, kSentinel) << command.name;
        EXPECT_TRUE(reply.untouched()) << command.name;
    }
    EXPECT_EQ(reader.send(L"NoSuchCommand", L"").status, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ports(), std::vector<std::wstring>{L"P1"}) << "neither DeletePort nor AddPort ran";
    EXPECT_EQ(valueCount(portKeyPath(L"P1")), 0u) << "no Set command ran";
    EXPECT_TRUE(log_.events().empty());
}

TEST_F(XcvCommandsTest, MissingPointersAreInvalidParametersAndUnknownNamesInvalidData) {
    BYTE output[64];
    DWORD needed = kSentinel;
    std::vector<BYTE> input = inputOf(L"P1");
    const DWORD size = static_cast<DWORD>(input.size());
    const DWORD invalid = ERROR_INVALID_PARAMETER;
    EXPECT_EQ(channel_.call(L"AddPort", nullptr, size, nullptr, 0, &needed), invalid);
    EXPECT_EQ(channel_.call(L"GetHostName", input.data(), size, output, sizeof output, nullptr), invalid);
    EXPECT_EQ(channel_.call(L"MonitorUI", nullptr, 0, nullptr, 64, &needed), invalid);
    EXPECT_EQ(channel_.call(nullptr, input.data(), size, output, sizeof output, &needed), invalid);
    EXPECT_EQ(needed, kSentinel);
    EXPECT_TRUE(ports().empty());
    // No input at all is the empty text.
    EXPECT_EQ(channel_.call(L"PortExists", nullptr, 0, nullptr, 0, &needed), 0u);

    for (const wchar_t* name : {L"AddPort ", L"AddPor", L" MonitorUI", L"GetPromptFlag"})
        EXPECT_EQ(channel_.send(name, L"P1").status, static_cast<DWORD>(ERROR_INVALID_DATA)) << name;
    EXPECT_TRUE(ports().empty());
    EXPECT_TRUE(log_.events().empty());
}

TEST_F(XcvCommandsTest, InputIsReadUpToItsNulOrItsLastWholeCharacterFromAnyAddress) {
    addPort(L"P1");
    std::vector<BYTE> oddWithoutNul = inputOf(L"P1\\host-a", false);
    oddWithoutNul.push_back('Z');
    set(L"SetHostName", oddWithoutNul);
    EXPECT_EQ(storedString(L"P1", L"Host"), L"host-a");

    set(L"SetHostName", inputOf(std::wstring(L"P1\\ho\0st", 8)));
    EXPECT_EQ(storedString(L"P1", L"Host"), L"ho");

    DWORD needed = kSentinel;
    std::vector<BYTE> unaligned(1, 0);
    std::vector<BYTE> text = inputOf(L"P1\\host-c");
    unaligned.insert(unaligned.end(), text.begin(), text.end());
    EXPECT_EQ(channel_.call(L"SetHostName", unaligned.data() + 1, static_cast<DWORD>(text.size()), nullptr, 0,
                            &needed),
              0u);
    EXPECT_EQ(storedString(L"P1", L"Host"), L"host-c");
}

TEST_F(XcvCommandsTest, AMegabyteOfInputIsReadWholeAndAnswersWhatTheStoreReads) {
    addPort(L"P1");
    const std::wstring longValue(512 * 1024 - 8, L'x');
    set(L"SetJobAttributes", inputOf(L"P1\\" + longValue));
    DWORD size = 0;
    EXPECT_EQ(RegGetValueW(registry_.root(), portKeyPath(L"P1").c_str(), L"Attr", RRF_RT_REG_SZ, nullptr,
                           nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, (longValue.size() + 1) * sizeof(wchar_t));
    // Longer than the store reads whole, so it reads as absent: the empty text.
    EXPECT_EQ(channel_.send(L"GetJobAttributes", L"P1").needed, 2u);

    EXPECT_NE(channel_.send(L"AddPort", std::wstring(512 * 1024, L'n')).status, 0u) << "no key has such a name";
    EXPECT_EQ(ports(), std::vector<std::wstring>{L"P1"});
}

TEST_F(XcvCommandsTest, TextAnswersSizeThenCopyAndRefuseShortBuffers) {
    addPort(L"P1");
    set(L"SetHostName", inputOf(L"P1\\print.example"));
    const DWORD bytes = (13 + 1) * sizeof(wchar_t);

    XcvReply sizing = channel_.send(L"GetHostName", L"P1", 0);
    EXPECT_EQ(sizing.status, kInsufficient);
    EXPECT_EQ(sizing.needed, bytes);
    EXPECT_EQ(sizing.lastError, kSentinel);

    XcvReply larger = channel_.send(L"GetHostName", L"P1", 301);
    EXPECT_EQ(larger.status, 0u);
    EXPECT_EQ(larger.needed, 301u) << "the copy call answers the buffer's size";
    EXPECT_EQ(larger.text(), L"print.example");
    EXPECT_EQ(larger.at(bytes), XcvReply::kGuard) << "nothing after the NUL";

    for (DWORD size : {DWORD{1}, DWORD{2}, bytes - 2, bytes - 1}) {
        XcvReply reply = channel_.send(L"GetHostName", L"P1", size);
        EXPECT_EQ(reply.status, kInsufficient) << size;
        EXPECT_EQ(reply.needed, bytes) << size;
        EXPECT_TRUE(reply.untouched()) << size;
        EXPECT_TRUE(reply.guardsIntact()) << size;
    }
}

TEST_F(XcvCommandsTest, FlagAnswersWriteFourBytesOnlyForAStoredFlag) {
    addPort(L"P1");
    XcvReply absent = channel_.send(L"GetUnattendedFlag", L"P1", 4);
    EXPECT_EQ(absent.status, 0u);
    EXPECT_EQ(absent.needed, 4u);
    EXPECT_TRUE(absent.untouched()) << "an absent flag leaves the buffer as it was";
    EXPECT_EQ(channel_.send(L"GetUnattendedFlag", L"P1", 2).status, 0u) << "nothing to write, nothing too small";

    set(L"SetPromptFlag", inputOf(L"P1\\true"));
    XcvReply sizing = channel_.send(L"GetPropmtFlag", L"P1", 0);
    EXPECT_EQ(sizing.status, kInsufficient);
    EXPECT_EQ(sizing.needed, 4u);
    XcvReply copy = channel_.send(L"GetPropmtFlag", L"P1", 8);
    EXPECT_EQ(copy.status, 0u);
    EXPECT_EQ(copy.needed, 8u);
    EXPECT_EQ(copy.flag(), 1u);
    EXPECT_EQ(copy.at(4), XcvReply::kGuard);

    XcvReply tooSmall = channel_.send(L"GetPropmtFlag", L"P1", 3);
    EXPECT_EQ(tooSmall.status, kInsufficient);
    EXPECT_EQ(tooSmall.needed, 4u);
    EXPECT_TRUE(tooSmall.untouched());
    EXPECT_TRUE(tooSmall.guardsIntact());
}

TEST_F(XcvCommandsTest, AFailureIsLoggedAndItsCodeIsTheStatusAndTheLastError) {
    XcvReply missing = channel_.send(L"GetHostName", L"Missing", 64);
    EXPECT_EQ(missing.status, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(missing.lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(missing.needed, kSentinel) << "a failed command answers no size";
    EXPECT_TRUE(missing.untouched());
    auto events = log_.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].eventId, 0xCFFF0003u);
    EXPECT_EQ(events[0].source, L"Prentova Port Monitor Server");
    EXPECT_EQ(events[0].message, L"VAV5050E Registry error: fpOpenKey() failed.\nname: Ports\\Missing\nerror code: 2\n" +
                                     systemErrorText(ERROR_FILE_NOT_FOUND));
    for (const wchar_t* command : {L"GetPropmtFlag", L"SetHostName", L"DeletePort"})
        EXPECT_EQ(channel_.send(command, L"Missing").status, static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << command;
    EXPECT_TRUE(ports().empty()) << "a Set does not create its port";

    addPort(L"P1");
    registry_.failNext(qrxtest::RegistryCall::SetValue, ERROR_ACCESS_DENIED);
    XcvReply denied = channel_.send(L"SetHostName", L"P1\\h");
    EXPECT_EQ(denied.status, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(denied.lastError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(log_.events().back().message.rfind(L"VAV5050E Registry error: fpSetValue() failed.\nname: Ports\\P1\n", 0),
              0u);

    const std::wstring closed = qrxtest::closedPort();
    XcvReply unreachable = channel_.send(L"GetPrinterList", L"127.0.0.1\\" + closed);
    EXPECT_EQ(unreachable.status, static_cast<DWORD>(WSAECONNREFUSED));
    EXPECT_EQ(unreachable.lastError, static_cast<DWORD>(WSAECONNREFUSED));
    EXPECT_NE(log_.events().back().message.find(L"host: 127.0.0.1, port " + closed), std::wstring::npos);
    EXPECT_EQ(log_.events().size(), 6u);
}

TEST_F(XcvCommandsTest, NamesThatCannotBePortsAreRefusedByEveryCommandThatAddressesAPort) {
    addPort(L"P1");
    for (const wchar_t* input : {L"", L"P1\\sub", L"\\"}) {
        XcvReply reply = channel_.send(L"AddPort", input);
        EXPECT_EQ(reply.status, static_cast<DWORD>(ERROR_INVALID_NAME));
        EXPECT_EQ(reply.lastError, static_cast<DWORD>(ERROR_INVALID_NAME));
    }
    EXPECT_EQ(log_.events().size(), 3u);
    EXPECT_EQ(valueCount(portKeyPath(L"P1\\sub")), kSentinel) << "no key below a port";
    // An empty name would address the container of all ports itself.
    for (const wchar_t* command : {L"SetHostName", L"SetPromptFlag", L"GetHostName", L"GetPropmtFlag", L"DeletePort"})
        EXPECT_EQ(channel_.send(command, L"\\value", 64).status, static_cast<DWORD>(ERROR_INVALID_NAME)) << command;
    EXPECT_EQ(valueCount(kPortsKey), 0u);
    EXPECT_EQ(ports(), std::vector<std::wstring>{L"P1"});
}

TEST_F(XcvCommandsTest, AListingAsksTheServerOnceAndEveryListingAfreshForItsWholeList) {
    // Each connection lists one printer more than the one before.
    auto connections = std::make_shared<std::atomic<int>>(0);
    qrxtest::LoopbackPeer server(
        [connections](qrxtest::PeerConnection& connection) {
            connection.readLine();
            std::string list;
            for (int printer = 0; printer <= *connections; ++printer) list += "P" + std::to_string(printer) + "\nL\nD\n";
            ++*connections;
            connection.send(list);
        },
        AF_INET, 6);
    const std::wstring input = L"127.0.0.1\\" + server.port();
    constexpr DWORD kNeeded = 0xFFFFFFFF;  // the size the call before said it needs
    struct Step {
        const char* what;
        const wchar_t* command;
        std::wstring input;
        DWORD size;
        DWORD status;
        int connections;  // made to the server so far
        size_t printers;  // in the text copied; 0 when none was
    };
    const Step steps[] = {
        {"sizing", L"GetPrinterList", input, 0, kInsufficient, 1, 0},
        {"the copy that follows", L"GetPrinterList", input, kNeeded, 0, 1, 1},
        {"a second listing's sizing", L"GetPrinterList", input, 0, kInsufficient, 2, 0},
        {"its copy into too small a buffer", L"GetPrinterList", input, 8, kInsufficient, 2, 0},
        {"its copy", L"GetPrinterList", input, kNeeded, 0, 2, 2},
        {"a copy without a sizing", L"GetPrinterList", input, 4096, 0, 3, 3},
        {"sizing", L"GetPrinterList", input, 0, kInsufficient, 4, 0},
        {"another command between", L"MonitorUI", L"", 4096, 0, 4, 0},
        {"a copy after it", L"GetPrinterList", input, 4096, 0, 5, 5},
        {"sizing", L"GetPrinterList", input, 0, kInsufficient, 6, 0},
        {"a copy with another input", L"GetPrinterList", L"127.0.0.1\\" + qrxtest::closedPort(), 4096,
         WSAECONNREFUSED, 6, 0},
    };
    DWORD needed = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        XcvReply reply = channel_.send(step.command, step.input, step.size == kNeeded ? needed : step.size);
        EXPECT_EQ(reply.status, step.status);
        EXPECT_EQ(connections->load(), step.connections);
        needed = reply.needed;
        if (step.printers == 0 || step.command != std::wstring(L"GetPrinterList")) continue;
        const std::wstring text = reply.text();
        EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'), std::ptrdiff_t(3 * step.printers)) << "the whole list";
        EXPECT_TRUE(reply.guardsIntact());
    }
    server.join();
}

// Generated command names, inputs and output sizes.
class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {
        for (const XcvCommand& command : xcvCommands()) realNames_.push_back(command.name);
    }
    bool chance(unsigned percent) { return below(100) < percent; }
    unsigned below(unsigned bound) { return std::uniform_int_distribution<unsigned>(0, bound - 1)(rng_); }

    // Mostly real names, "AddPort" more often so that the others find ports;
    // else a near miss of a real name, or anything.
    std::wstring commandName() {
        std::wstring name = chance(8) ? L"AddPort" : realNames_[below(static_cast<unsigned>(realNames_.size()))];
        if (chance(65)) return name;
        switch (below(5)) {
        case 0: {
            wchar_t& c = name[below(static_cast<unsigned>(name.size()))];
            c = std::iswupper(c) ? std::towlower(c) : std::towupper(c);
            return name;
        }
        case 1: return name.substr(0, name.size() - 1);
        case 2: return name + character();
        case 3: return L"";
        default: return text(below(40));
        }
    }
    // Mostly a port and a value shaped for the command, from a small pool of
    // ports so that calls meet; else raw bytes up to 64 KiB, odd or even.
    std::vector<BYTE> input(const XcvCommand* command) {
        if (chance(80)) {
            static const std::vector<std::wstring> pool = {L"R0:", L"R1:", L"R2", L"LPT1:", L"r0:", L""};
            std::wstring value = chance(80) ? pool[below(static_cast<unsigned>(pool.size()))]
                                            : text(chance(90) ? below(20) : 200 + below(200));
            const bool takesValue = !command || command->input != XcvInputShape::PortName;
            if (chance(takesValue ? 80 : 15)) value += L"\\" + text(chance(90) ? below(30) : below(3000));
            return inputOf(value, chance(80));
        }
        std::vector<BYTE> bytes(chance(80) ? below(512) : below(64 * 1024 + 1));
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<BYTE>(below(256));
            if (i % 2 == 1 && chance(12)) {
                bytes[i - 1] = chance(80) ? '\\' : 0;
                bytes[i] = 0;
            }
        }
        return bytes;
    }
    DWORD outputSize() {
        const unsigned limits[] = {1, 9, 40, 600, 64 * 1024 + 1};
        return below(limits[below(5)]);
    }

private:
    wchar_t character() {
        static const std::wstring alphabet = L"abcXYZ019:-_ .\\\\\\/*?\x00e9\x4e2d";
        return alphabet[below(static_cast<unsigned>(alphabet.size()))];
    }
    std::wstring text(size_t length) {
        std::wstring result;
        while (result.size() < length) result += character();
        return result;
    }

    std::mt19937 rng_;
    std::vector<std::wstring> realNames_;
};

// Thousands of events are only counted.
class CountingEventLog : public EventLogWriter {
public:
    CountingEventLog() { setEventLog(this); }
    ~CountingEventLog() override { setEventLog(nullptr); }
    void reportError(const std::wstring&, DWORD, const std::wstring&) override { ++count_; }
    size_t count() const { return count_; }

private:
    size_t count_ = 0;
};

// Whether the input's text is this name, letter case aside as the registry
// compares key names, followed by a NUL or the input's end.
bool inputNames(const std::vector<BYTE>& input, const std::wstring& name) {
    const size_t bytes = name.size() * sizeof(wchar_t);
    if (input.size() < bytes) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        wchar_t c;
        std::memcpy(&c, input.data() + i * sizeof c, sizeof c);
        if (std::towupper(c) != std::towupper(name[i])) return false;
    }
    return input.size() < bytes + 2 || (input[bytes] == 0 && input[bytes + 1] == 0);
}

TEST(XcvRandomised, EveryCallReturnsStaysInItsBufferAndAddsOnlyWhatAddPortAdds) {
    const char* fixed = std::getenv("QRX_XCV_SEED");
    const unsigned seed = fixed ? static_cast<unsigned>(std::strtoul(fixed, nullptr, 10)) : std::random_device{}();
    SCOPED_TRACE("QRX_XCV_SEED=" + std::to_string(seed));
    Generator generate(seed);
    CountingEventLog log;
    qrxtest::RegistryMonitor registry;
    Channel channel(registry, SERVER_ACCESS_ADMINISTER);
    PortStore store(registry.handle());
    // "GetPrinterList" goes to a loopback port that nothing listens on:
    // no generated host name is ever looked up.
    const std::vector<BYTE> unreachable = inputOf(L"127.0.0.1\\" + qrxtest::closedPort());

    auto listed = [&] {
        std::vector<std::wstring> names = store.listPorts();
        return std::set<std::wstring>(names.begin(), names.end());
    };
    std::set<std::wstring> ports = listed();
    int calls = 0, succeeded = 0, added = 0, deleted = 0;
    for (; calls < 3000 && !testing::Test::HasFailure(); ++calls) {
        const std::wstring name = generate.commandName();
        const XcvCommand* command = findXcvCommand(name.c_str());
        const std::vector<BYTE> input = name == L"GetPrinterList" ? unreachable : generate.input(command);
        const DWORD outputSize = generate.outputSize();
        const size_t eventsBefore = log.count();
        XcvReply reply = channel.send(name.c_str(), input, outputSize);
        SCOPED_TRACE(testing::Message() << "call " << calls << ": \"" << name << "\", " << input.size()
                                        << " input bytes, " << outputSize << " output bytes, status " << reply.status);

        ASSERT_TRUE(reply.guardsIntact()) << "written past the output buffer";
        if (!command || command->answer == XcvAnswerKind::None) {
            ASSERT_TRUE(reply.untouched()) << "no answer, nothing written";
        }
        const bool logged = log.count() > eventsBefore;
        if (reply.status == ERROR_SUCCESS) {
            ++succeeded;
            if (command->answer == XcvAnswerKind::Text) {
                ASSERT_LE((reply.text().size() + 1) * sizeof(wchar_t), outputSize);
            }
        } else if (reply.status == kInsufficient) {
            ASSERT_TRUE(outputSize == 0 || reply.needed > outputSize) << "needed " << reply.needed;
            ASSERT_TRUE(reply.untouched()) << "a refused buffer is left alone";
        } else if (reply.status == ERROR_INVALID_DATA || reply.status == 3537) {
            ASSERT_FALSE(logged);
            ASSERT_EQ(reply.lastError, kSentinel);
        } else {
            // The failure rule: logged, and the status is the last error.
            ASSERT_TRUE(logged);
            ASSERT_EQ(reply.lastError, reply.status);
            ASSERT_TRUE(reply.untouched());
        }

        const std::set<std::wstring> now = listed();
        if (now == ports) continue;
        const bool adding = name == L"AddPort" && reply.status == ERROR_SUCCESS;
        const bool deleting = name == L"DeletePort" && reply.status == ERROR_SUCCESS;
        ASSERT_TRUE(adding || deleting) << "the ports changed";
        ASSERT_EQ(now.size(), adding ? ports.size() + 1 : ports.size() - 1);
        for (const std::wstring& port : adding ? now : ports) {
            if ((adding ? ports : now).count(port)) continue;
            ASSERT_TRUE(inputNames(input, port)) << "the port is the one the input names";
        }
        ++(adding ? added : deleted);
        ports = now;
    }
    EXPECT_EQ(calls, 3000);
    // Nothing went into the container itself, and no port holds a key.
    HKEY container = nullptr;
    ASSERT_EQ(RegOpenKeyExW(registry.root(), kPortsKey, 0, KEY_READ, &container), ERROR_SUCCESS);
    DWORD values = kSentinel;
    RegQueryInfoKeyW(container, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(container);
    EXPECT_EQ(values, 0u);
    for (const std::wstring& port : ports) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(registry.root(), portKeyPath(port).c_str(), 0, KEY_READ, &key), 0);
        DWORD nested = kSentinel;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &nested, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr);
        RegCloseKey(key);
        EXPECT_EQ(nested, 0u) << port;
    }
    EXPECT_EQ(registry.openKeys(), 0);
    // The mix reached the store: ports came and went, commands succeeded.
    EXPECT_GT(added, 0);
    EXPECT_GT(deleted, 0);
    EXPECT_GT(succeeded, calls / 10);
}

}  // namespace
