// qrxport's commands through Wine's spooler with the installed monitor and
// the reference server: in this process, as a program of its own, and over a
// stand-in spooler for a Set that fails after "AddPort".
#include "PortCommands.h"
#include "PortDocument.h"
#include "Recorders.h"
#include "ReferenceServer.h"
#include "RegistryKey.h"
#include "ResourceIds.h"
#include "SpoolerPorts.h"
#include "StandIns.h"
#include "StoredPort.h"
#include "SystemErrorText.h"
#include "TestPaths.h"
#include "Text.h"
#include "TextFiles.h"
#include "WinHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <sstream>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using Args = std::vector<std::wstring>;

struct Outcome {
    int status = -1;
    std::wstring out, err;
    // The exit status and everything printed, as one text.
    std::wstring all() const { return std::to_wstring(status) + L"|" + out + err; }
};

Outcome inProcess(const Args& args) {
    std::wostringstream out, err;
    int status = runCommandLine(args, out, err);
    return {status, out.str(), err.str()};
}

std::wstring withoutCarriageReturns(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    return text;
}

// The system's text as qrxport prints it: one line, no line break after it.
std::wstring systemLine(DWORD code) {
    std::wstring text = withoutCarriageReturns(systemErrorText(code));
    return text.substr(0, text.find_last_not_of(L'\n') + 1);
}

// What the monitor keeps: the ports the spooler lists for it, and every value
// of every port in its store.
struct MonitorState {
    std::vector<std::wstring> listed;
    std::map<std::wstring, std::wstring> stored;
    bool operator==(const MonitorState& other) const { return listed == other.listed && stored == other.stored; }
};

MonitorState monitorState() {
    MonitorState state;
    for (const SpoolerPort& port : spoolerPorts(nullptr))
        if (port.monitor == L"Prentova Port Monitor") state.listed.push_back(port.name);
    auto ports = RegistryKey::open(HKEY_LOCAL_MACHINE, qrxtest::kMonitorPortsKey, KEY_READ);
    wchar_t name[256], value[256], data[1024];
    for (DWORD i = 0, size = 256; ports && !RegEnumKeyExW(ports->handle(), i, name, &size, 0, 0, 0, 0);
         ++i, size = 256) {
        auto port = RegistryKey::open(ports->handle(), name, KEY_READ);
        for (DWORD j = 0, size = 256, bytes = sizeof data, type = 0;
             port && !RegEnumValueW(port->handle(), j, value, &size, 0, &type, reinterpret_cast<BYTE*>(data), &bytes);
             ++j, size = 256, bytes = sizeof data) {
            DWORD flag = 0;
            std::memcpy(&flag, data, sizeof flag);
            state.stored[std::wstring(name) + L"\\" + value] =
                type == REG_DWORD ? std::to_wstring(flag) : std::wstring(data, bytes / sizeof(wchar_t)).c_str();
        }
    }
    return state;
}

// Values stored for a port, each followed by "|" (empty when missing).
std::wstring values(const std::wstring& port, std::initializer_list<const wchar_t*> names) {
    MonitorState state = monitorState();
    std::wstring text;
    for (const wchar_t* name : names) text += state.stored[port + L"\\" + name] + L"|";
    return text;
}

// A table with its padding as single blanks.
std::wstring collapsed(const std::wstring& text) {
    std::wstring result;
    for (wchar_t c : text)
        if (c != L' ' || result.empty() || result.back() != L' ') result += c;
    return result;
}

// Ports the tests add go again, whatever the tests did.
struct PortsRemoved {
    explicit PortsRemoved(Args names) : names(std::move(names)) { remove(); }
    ~PortsRemoved() { remove(); }
    void remove() const {
        for (const std::wstring& name : names) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, (qrxtest::kMonitorPortsKey + L"\\" + name).c_str());
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, (qrxtest::kMonitorPortsKey + L"\\" + name).c_str());
        }
    }
    Args names;
};

class Qrxport : public testing::Test {
protected:
    static refserver::ServerOptions serverOptions() {
        refserver::ServerOptions options;
        options.printers = {{L"PRT1", L"Floor 2", L"Laser, duplex"}, {L"PRT2", L"Basement", L"Labels"}};
        return options;
    }
    // A loopback port on which nothing listens: the reference server's, once stopped.
    static std::wstring deadPort() {
        refserver::ReferenceServer gone{refserver::ServerOptions{}};
        return std::to_wstring(gone.port());
    }

    refserver::ReferenceServer server_{serverOptions()};
    const std::wstring port_ = std::to_wstring(server_.port());
    PortsRemoved removed_{{L"QRXCLI1:", L"QRXCLI2:", L"QRXCLI3:"}};
};

TEST_F(Qrxport, AddsShowsListsChangesTestsAndDeletesAPort) {
    Outcome add = inProcess({L"add", L"QRXCLI1:", L"--host", L"127.0.0.1", L"--port", port_, L"--queue", L"PRT1",
                             L"--unattended", L"--name", L"Ann O'Hara", L"--address", L"1 Main St", L"--address",
                             L"Springfield", L"--attributes", L"copies=2", L"--prompt", L"--retry-minutes", L"5"});
    EXPECT_EQ(add.all(), L"0|Port QRXCLI1: added.\n");
    EXPECT_EQ(values(L"QRXCLI1:", {L"Device", L"Host", L"Port", L"Printer", L"Unattended", L"Name", L"Attr", L"Show",
                                   L"RetryMinutes"}),
              L"Printer|127.0.0.1|" + port_ + L"|PRT1|1|Ann O'Hara|copies=2|1|5|");
    EXPECT_EQ(values(L"QRXCLI1:", {L"Addr"}), L"1 Main St\nSpringfield\n\n|") << "four lines, three line feeds";

    Outcome show = inProcess({L"show", L"QRXCLI1:"});
    EXPECT_NE(collapsed(show.out).find(L"Host: 127.0.0.1\nLPD port: " + port_ +
                                       L"\nPrinter: PRT1\n"
                                       L"Unattended: yes\nRetry minutes: 5\nName: Ann O'Hara\n"),
              std::wstring::npos)
        << show.out;
    EXPECT_NE(collapsed(show.out).find(L"Address: 1 Main St\n Springfield\nAttributes: copies=2\nPrompt: yes\n"),
              std::wstring::npos)
        << show.out;
    Outcome list = inProcess({L"list"});
    EXPECT_EQ(collapsed(list.out).rfind(L"Port Host LPD port Printer Unattended\n", 0), 0u) << list.out;
    EXPECT_NE(collapsed(list.out).find(L"\nQRXCLI1: 127.0.0.1 " + port_ + L" PRT1 yes\n"), std::wstring::npos);

    Outcome set = inProcess({L"set", L"QRXCLI1:", L"--no-unattended", L"--room", L"14", L"--address", L"PO Box 7"});
    EXPECT_EQ(set.all(), L"0|Port QRXCLI1: changed.\n");
    EXPECT_EQ(values(L"QRXCLI1:", {L"Room", L"Name", L"Host", L"Printer", L"Unattended", L"Addr", L"RetryMinutes"}),
              L"14|Ann O'Hara|127.0.0.1|PRT1|0|PO Box 7\n\n\n|5|")
        << "what was not given stays";
    EXPECT_EQ(inProcess({L"set", L"QRXCLI1:", L"--retry-minutes", L"0"}).all(), L"0|Port QRXCLI1: changed.\n");
    EXPECT_EQ(values(L"QRXCLI1:", {L"RetryMinutes", L"Room"}), L"0|14|") << "a waiting time alone changes";
    EXPECT_EQ(inProcess({L"set", L"QRXCLI1:", L"--retry-minutes", L"10081"}).status, 2) << "more than a week";
    // The word after an option is its value, help words too; the first and
    // the last TCP port are port numbers.
    for (const wchar_t* lpdPort : {L"1", L"65535"})
        EXPECT_EQ(inProcess({L"set", L"QRXCLI1:", L"--room", L"-h", L"--attributes", L"/?", L"--port", lpdPort}).all(),
                  L"0|Port QRXCLI1: changed.\n");
    EXPECT_EQ(values(L"QRXCLI1:", {L"Room", L"Attr", L"Port"}), L"-h|/?|65535|");
    inProcess({L"set", L"QRXCLI1:", L"--port", port_});

    EXPECT_EQ(inProcess({L"printers", L"127.0.0.1", port_}).out,
              L"Printer  Location  Description\nPRT1     Floor 2   Laser, duplex\nPRT2     Basement  Labels\n");
    Outcome offered = inProcess({L"test", L"QRXCLI1:"});
    EXPECT_EQ(offered.all(), L"0|127.0.0.1:" + port_ + L" offers the port's printer \"PRT1\".\n");
    inProcess({L"set", L"QRXCLI1:", L"--queue", L"PRT9"});
    Outcome missing = inProcess({L"test", L"QRXCLI1:"});
    EXPECT_EQ(missing.all(),
              L"1|127.0.0.1:" + port_ + L" does not offer the port's printer \"PRT9\"; it offers PRT1, PRT2.\n");

    Outcome deleted = inProcess({L"delete", L"QRXCLI1:"});
    EXPECT_EQ(deleted.all(), L"0|Port QRXCLI1: deleted.\n");
    const MonitorState after = monitorState();
    EXPECT_EQ(std::count(after.listed.begin(), after.listed.end(), L"QRXCLI1:") + after.stored.count(L"QRXCLI1:\\Host"),
              0u);
}

// Input the dialogs would refuse, ports that are not the monitor's, a command
// line that cannot be read and a server that is down: a clear message, a
// non-zero exit, and nothing changed.
TEST_F(Qrxport, RefusesBadInputWithItsMessageAndChangesNothing) {
    qrxtest::StoredPort existing(L"QRXCLI2:");
    existing.set(L"Host", L"127.0.0.1");
    existing.set(L"Port", port_);
    existing.set(L"Printer", L"PRT1");
    qrxtest::StoredPort down(L"QRXCLI3:");
    down.set(L"Host", L"127.0.0.1");
    const std::wstring dead = deadPort();
    down.set(L"Port", dead);
    down.set(L"Printer", L"PRT1");

    const std::wstring unknown = systemLine(ERROR_UNKNOWN_PORT) + L"\nname: ";
    const std::wstring noHost = L"VAV5004I Enter the host name of the Hostra system in Host Name.";
    const std::wstring notInteger = L"VAV5008I The port numer must be an integer.";
    const std::wstring outOfRange = L"VAV5009I The port number must be between 1 and 65535.";
    const std::wstring help = L"\nqrxport --help shows the usage.";
    const wchar_t* const host[] = {L"--host", L"127.0.0.1"};
    auto add = [&](const wchar_t* port, Args more) {
        Args args{L"add", port, host[0], host[1]};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const struct {
        Args args;
        int status;
        std::wstring err;
    } cases[] = {
        {{L"add", L"QRXCLI1:", L"--queue", L"PRT1"}, 1, noHost},
        {add(L"QRXCLI1:", {L"--port", L"5x15", L"--queue", L"PRT1"}), 1, notInteger},
        {add(L"QRXCLI1:", {L"--port=", L"--queue", L"PRT1"}), 1,
         L"VAV5005I Enter the port number of the Prentova Server LPD in Host Port."},
        {add(L"QRXCLI1:", {}), 1,
         L"DAV5006I Click Get Printer List. Then select the printer you want to use from the Printer Selection list."},
        {add(L"QRXCLI2:", {L"--queue", L"PRT1"}), 1, L"DAV5007I Port QRXCLI2: already exists."},
        {add(L"LPT1:", {L"--queue", L"PRT1"}), 1, L"DAV5007I Port LPT1: already exists."},
        {add(L"qrxcli2:", {L"--queue", L"PRT2"}), 1, L"DAV5007I Port qrxcli2: already exists."},
        {add(L"lpt2:", {L"--queue", L"PRT1"}), 1, L"DAV5007I Port lpt2: already exists."},
        {add(L"QRXCLI1:", {L"--port", L"0", L"--queue", L"PRT1"}), 1, outOfRange},
        {add(L"QRXCLI1:", {L"--port", L"65536", L"--queue", L"PRT1"}), 1, outOfRange},
        {{L"set", L"QRXCLI2:", L"--port", L"70001"}, 1, outOfRange},
        {{L"printers", L"127.0.0.1", L"71137"}, 1, outOfRange},
        {add(L"", {L"--queue", L"PRT1"}), 1, L"VAV5001I Enter a name for the Prentova port."},
        {{L"set", L"QRXCLI2:", L"--port", L"abc", L"--room", L"9"}, 1, notInteger},
        {{L"set", L"QRXCLI2:", L"--host="}, 1, noHost},
        {{L"set", L"QRXCLI1:", L"--room", L"9"}, 1, unknown + L"QRXCLI1:"},
        {{L"show", L"QRXCLI1:"}, 1, unknown + L"QRXCLI1:"},
        {{L"delete", L"QRXCLI1:"}, 1, unknown + L"QRXCLI1:"},
        {{L"test", L"QRXCLI1:"}, 1, unknown + L"QRXCLI1:"},
        {{L"delete", L"LPT1:"}, 1, unknown + L"LPT1:"},
        {{L"test", L"QRXCLI3:"}, 1, systemLine(WSAECONNREFUSED) + L"\nhost: 127.0.0.1, port " + dead},
        {{L"printers", L"127.0.0.1", dead}, 1, systemLine(WSAECONNREFUSED) + L"\nhost: 127.0.0.1, port " + dead},
        {{L"printers", L"127.0.0.1", L"51x"}, 1, notInteger},
        {add(L"QRXCLI1:", {L"--queue", L"PRT1", L"--colour", L"red"}), 2, L"unknown option --colour" + help},
        {{L"remove", L"QRXCLI2:"}, 2, L"unknown command \"remove\"" + help},
    };
    const MonitorState before = monitorState();
    ASSERT_EQ(std::count(before.listed.begin(), before.listed.end(), L"QRXCLI2:"), 1);
    for (const auto& c : cases) {
        std::wstring line;
        for (const std::wstring& arg : c.args) line += L" " + arg;
        SCOPED_TRACE(testing::Message() << "qrxport" << line);
        EXPECT_EQ(inProcess(c.args).all(), std::to_wstring(c.status) + L"|qrxport: " + c.err + L"\n");
        EXPECT_TRUE(monitorState() == before) << "something changed";
    }
}

// The administrator's view of a remote spooler: Wine's takes this machine's
// own name as a server name, and refuses any other.
TEST_F(Qrxport, TalksToTheSpoolerOfTheServerGiven) {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(name, &size));
    const std::wstring server = L"\\\\" + std::wstring(name);
    ASSERT_EQ(inProcess({L"add", L"QRXCLI1:", L"--server", server, L"--host", L"127.0.0.1", L"--port", port_,
                         L"--queue", L"PRT2"})
                  .status,
              0);
    EXPECT_NE(inProcess({L"list", L"--server", server}).out.find(L"QRXCLI1:"), std::wstring::npos);
    EXPECT_EQ(inProcess({L"test", L"QRXCLI1:", L"--server", server}).status, 0);

    Outcome elsewhere = inProcess({L"show", L"QRXCLI1:", L"--server", L"\\\\QRX-NO-SUCH-HOST"});
    EXPECT_EQ(elsewhere.status, 1);
    EXPECT_EQ(elsewhere.err.rfind(L"qrxport: VAV5000E The OpenPrinter function failed.\nerror code: ", 0), 0u)
        << elsewhere.err;
    EXPECT_EQ(inProcess({L"delete", L"QRXCLI1:", L"--server", server}).status, 0);
    EXPECT_EQ(monitorState().stored.count(L"QRXCLI1:\\Host"), 0u);
}

// A Set that fails after "AddPort" takes the new port away again and says
// so, or says that this failed too; the server given names the channel.
TEST(QrxportAdd, DeletesTheNewPortAgainWhenASetFails) {
    const qrxtest::XcvAnswer done{0}, denied{ERROR_ACCESS_DENIED, 0, {}, ERROR_ACCESS_DENIED};
    const std::wstring deniedText = systemLine(ERROR_ACCESS_DENIED) + L"\nerror code: 5";
    const struct {
        const wchar_t* what;
        qrxtest::XcvAnswer deleteAnswer;
        std::wstring err;
    } cases[] = {
        {L"deleted", done, deniedText + L"\nVAV5002I The port has been deleted."},
        {L"not deleted", denied, deniedText + L"\nDeletePort failed.\n" + deniedText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qrxtest::StandInSpooler spooler;
        qrxtest::RecordingMessageBoxes boxes;
        // PortExists, AddPort, SetDeviceType, SetHostName, SetPortNo (refused), DeletePort.
        spooler.script = {done, done, done, done, denied, c.deleteAnswer};
        EXPECT_EQ(inProcess({L"add", L"QRXS1:", L"--host", L"h", L"--queue", L"Q", L"--server", L"\\\\PRINTSRV"}).all(),
                  L"1|qrxport: " + c.err + L"\n");
        EXPECT_EQ(spooler.trace, (std::vector<std::wstring>{
                                     L"open \\\\PRINTSRV\\,XcvMonitor Prentova Port Monitor", L"PortExists QRXS1:",
                                     L"AddPort QRXS1:\\0", L"SetDeviceType QRXS1:\\Printer", L"SetHostName QRXS1:\\h",
                                     L"SetPortNo QRXS1:\\515", L"DeletePort QRXS1:\\0", L"close"}));
        EXPECT_TRUE(boxes.boxes().empty()) << "a command shows no message boxes";
    }
}

// A Set that fails halfway puts back, with the values read before, what the
// change had written, and says whether that worked.
TEST(QrxportSet, MakesAChangeWholeOrNotAtAll) {
    const qrxtest::XcvAnswer done{0}, denied{ERROR_ACCESS_DENIED, 0, {}, ERROR_ACCESS_DENIED};
    const std::wstring deniedText = systemLine(ERROR_ACCESS_DENIED);
    using Lines = std::vector<std::wstring>;
    const Lines written = {L"SetDeviceType QRXS1:\\Printer", L"SetHostName QRXS1:\\new.example",
                           L"SetPortNo QRXS1:\\515",        L"SetPrinterName QRXS1:\\PRT1",
                           L"SetUnattendedFlag QRXS1:\\false", L"SetAddress QRXS1:\\",
                           L"SetBuilding QRXS1:\\",          L"SetDepartment QRXS1:\\",
                           L"SetJobAttributes QRXS1:\\",     L"SetName QRXS1:\\",
                           L"SetRoom QRXS1:\\9"};
    const struct {
        const wchar_t* what;
        std::deque<qrxtest::XcvAnswer> hostWrites;
        std::wstring outcome;
    } cases[] = {
        {L"put back", {}, L"The port's settings are as they were before."},
        {L"not put back", {done, denied}, L"These settings could not be put back: SetHostName"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qrxtest::StandInSpooler spooler;
        spooler.stored = {{L"GetHostName", qrxtest::bytesOf(L"old.example")}, {L"GetPrinterName", qrxtest::bytesOf(L"PRT1")}};
        spooler.script = {{IDS_PORT_EXISTS}};
        spooler.commandScript[L"SetHostName"] = c.hostWrites;
        spooler.fault = qrxtest::StandInSpooler::Fault{L"SetRoom", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED};
        EXPECT_EQ(inProcess({L"set", L"QRXS1:", L"--host", L"new.example", L"--room", L"9"}).all(),
                  L"1|qrxport: " + deniedText + L"\n" + c.outcome + L"\nerror code: 5\n");
        Lines trace(spooler.trace.end() - 3, spooler.trace.end());
        EXPECT_EQ(trace, (Lines{written.back(), L"SetHostName QRXS1:\\old.example", L"close"}))
            << "only what differs is written back";
        EXPECT_EQ(std::search(spooler.trace.begin(), spooler.trace.end(), written.begin(), written.end()) !=
                      spooler.trace.end(),
                  true);
    }
}

// Ports that move between machines: a document written from the monitor's
// ports and read back into it.
class QrxportTransfer : public Qrxport {
protected:
    // Writes the document into the scratch folder; the path.
    std::wstring documentFile(const std::string& bytes) {
        const std::wstring path = folder_.file(L"ports " + std::to_wstring(++files_) + L".json");
        writeFileBytes(path, bytes);
        return path;
    }
    // A document of version 1 with these port objects.
    static std::string document(const std::string& ports) { return R"({"version": 1, "ports": [)" + ports + "]}"; }
    std::string port(const char* name, const std::string& settings, const std::string& more = {}) const {
        return std::string(R"({"name": ")") + name + R"(", "settings": {"host": "127.0.0.1", "port": )" +
               toUtf8(port_) + R"(, "queue": "PRT1")" + settings + "}" + more + "}";
    }

    qrxtest::ScratchFolder folder_{L"qrxport-transfer"};
    int files_ = 0;
    PortsRemoved named_{{L"QRX Front Desk:", L"qrxcli Mixed:"}};
};

TEST_F(QrxportTransfer, ExportsEveryPortAndImportsThemBackWhole) {
    ASSERT_EQ(inProcess({L"add",
                         L"QRXCLI1:",
                         L"--host",
                         L"127.0.0.1",
                         L"--port",
                         port_,
                         L"--queue",
                         L"PRT1",
                         L"--unattended",
                         L"--name",
                         L"Zoë Müller",
                         L"--department",
                         L"Sales & Support",
                         L"--room",
                         L"-h",
                         L"--building",
                         L"B 7 \U0001D11E",
                         L"--address",
                         L"1 Main St",
                         L"--address",
                         L"",
                         L"--address",
                         L"Springfield",
                         L"--attributes",
                         L"copies=2 \"quoted\" back\\slash",
                         L"--prompt",
                         L"--retry-minutes",
                         L"5"})
                  .status,
              0);
    ASSERT_EQ(inProcess({L"add", L"QRX Front Desk:", L"--host", L"printhost", L"--queue", L"PRT2"}).status, 0);
    ASSERT_EQ(inProcess({L"add", L"qrxcli Mixed:", L"--host", L"h", L"--port", L"1", L"--queue", L"q"}).status, 0);

    const std::wstring shown =
        L"{\n"
        L"  \"name\": \"QRXCLI1:\",\n"
        L"  \"settings\": {\n"
        L"    \"host\": \"127.0.0.1\",\n"
        L"    \"port\": " +
        port_ +
        L",\n"
        L"    \"queue\": \"PRT1\",\n"
        L"    \"unattended\": true,\n"
        L"    \"retryMinutes\": 5\n"
        L"  },\n"
        L"  \"options\": {\n"
        L"    \"name\": \"Zo\\u00eb M\\u00fcller\",\n"
        L"    \"department\": \"Sales & Support\",\n"
        L"    \"room\": \"-h\",\n"
        L"    \"building\": \"B 7 \\ud834\\udd1e\",\n"
        L"    \"address\": [\n"
        L"      \"1 Main St\",\n"
        L"      \"\",\n"
        L"      \"Springfield\"\n"
        L"    ],\n"
        L"    \"attributes\": \"copies=2 \\\"quoted\\\" back\\\\slash\",\n"
        L"    \"prompt\": true\n"
        L"  }\n"
        L"}\n";
    EXPECT_EQ(inProcess({L"show", L"QRXCLI1:", L"--json"}).all(), L"0|" + shown);
    const Outcome exported = inProcess({L"export"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out.rfind(L"{\n  \"version\": 1,\n  \"ports\": [\n", 0), 0u) << exported.out;
    EXPECT_EQ(inProcess({L"list", L"--json"}).all(), exported.all()) << "list --json prints the same document";
    const std::wstring file = folder_.file(L"exported ports.json");
    const MonitorState before = monitorState();
    const Outcome toFile = inProcess({L"export", file});
    EXPECT_EQ(toFile.all(), L"0|" + std::to_wstring(before.listed.size()) + L" ports exported to " + file + L".\n");
    EXPECT_EQ(readFileBytes(file), fileText(exported.out)) << "the file holds what the output shows";

    for (const std::wstring& name : before.listed) ASSERT_EQ(inProcess({L"delete", name}).status, 0) << name;
    ASSERT_TRUE(monitorState().listed.empty());
    const Outcome imported = inProcess({L"import", file});
    EXPECT_EQ(imported.status, 0) << imported.err;
    for (const std::wstring& name : before.listed)
        EXPECT_NE(imported.out.find(L"Port " + name + L" added.\n"), std::wstring::npos) << imported.out;
    // An import writes every value; one that was absent reads as empty
    // text or 0 and comes back as that.
    auto meaningful = [](MonitorState state) {
        for (auto value = state.stored.begin(); value != state.stored.end();)
            value = value->second.empty() || value->second == L"0" ? state.stored.erase(value) : std::next(value);
        return state;
    };
    const MonitorState after = monitorState();
    EXPECT_EQ(after.listed, before.listed);
    EXPECT_EQ(meaningful(after).stored, meaningful(before).stored) << "every port and value as before";
    EXPECT_EQ(inProcess({L"export"}).out, exported.out) << "the two documents are identical";
}

// A document with any problem is refused whole, with every problem and
// where it is; nothing changes, not even its good ports.
TEST_F(QrxportTransfer, RefusesADocumentWithAnyProblemAndChangesNothing) {
    qrxtest::StoredPort existing(L"QRXCLI2:");
    existing.set(L"Host", L"127.0.0.1");
    const std::string good = port("QRXCLI3:", "") + ", ";
    const std::string valid = document(good + port("QRXCLI1:", ""));
    const struct {
        const char* what;
        std::string bytes;
        std::wstring problems;
    } cases[] = {
        {"version", R"({"version": 2, "ports": []})", L"version: 2 is not a version this qrxport reads (1)"},
        {"no version", R"({"ports": []})", L"version: missing"},
        {"version as text", R"({"version": "1", "ports": []})",
         L"version: \"1\" is not a version this qrxport reads (1)"},
        {"no ports", R"({"version": 1})", L"ports: missing"},
        {"unknown key", R"({"version": 1, "ports": [], "comment": "x"})", L"comment: unknown key"},
        {"unknown port key", document(good + port("QRXCLI1:", "", R"(, "colour": "red")")),
         L"ports[1] \"QRXCLI1:\" colour: unknown key"},
        {"unknown setting", document(good + port("QRXCLI1:", R"(, "speed": 9)")),
         L"ports[1] \"QRXCLI1:\" settings.speed: unknown key"},
        {"port 70001",
         document(good + R"({"name": "QRXCLI1:", "settings": {"host": "h", "port": 70001, "queue": "q"}})"),
         L"ports[1] \"QRXCLI1:\" settings.port: VAV5009I The port number must be between 1 and 65535."},
        {"port 0", document(good + R"({"name": "QRXCLI1:", "settings": {"host": "h", "port": 0, "queue": "q"}})"),
         L"ports[1] \"QRXCLI1:\" settings.port: VAV5009I The port number must be between 1 and 65535."},
        {"port as text",
         document(good + R"({"name": "QRXCLI1:", "settings": {"host": "h", "port": "515", "queue": "q"}})"),
         L"ports[1] \"QRXCLI1:\" settings.port: a number from 1 to 65535 is expected"},
        {"flag as text", document(good + port("QRXCLI1:", R"(, "unattended": "yes")")),
         L"ports[1] \"QRXCLI1:\" settings.unattended: true or false is expected"},
        {"no host, no printer", document(good + R"({"name": "QRXCLI1:", "settings": {"host": ""}})"),
         L"ports[1] \"QRXCLI1:\" settings.host: VAV5004I Enter the host name of the Hostra system in Host Name.\n"
         L"ports[1] \"QRXCLI1:\" settings.queue: DAV5006I Click Get Printer List. Then select the printer you want "
         L"to use from the Printer Selection list."},
        {"no settings", document(good + R"({"name": "QRXCLI1:"})"), L"ports[1] \"QRXCLI1:\" settings: missing"},
        {"five address lines",
         document(good + port("QRXCLI1:", "", R"(, "options": {"address": ["1","2","3","4","5"]})")),
         L"ports[1] \"QRXCLI1:\" options.address: a list of up to four texts is expected"},
        {"empty name", document(good + port("", "")),
         L"ports[1] \"\" name: VAV5001I Enter a name for the Prentova port."},
        {"a name twice", document(good + port("qrxcli3:", "")),
         L"ports[1] \"qrxcli3:\" name: the same port as ports[0] \"QRXCLI3:\" (port names are the same in any letter "
         L"case)"},
        {"another monitor's port", document(good + port("lpt1:", "")),
         L"ports[1] \"lpt1:\" name: DAV5007I Port lpt1: already exists. It is another monitor's port."},
        {"an existing port in other letter case", document(good + port("qrxcli2:", "")),
         L"ports[1] \"qrxcli2:\" name: the monitor has this port as \"QRXCLI2:\" (port names are the same in any "
         L"letter case)"},
        {"not JSON", R"({"version": 1, "ports": [})",
         L"not a JSON document: parse error at line 1, column 26: syntax error while parsing value - unexpected '}'; "
         L"expected '[', '{', or a literal"},
        {"truncated", valid.substr(0, valid.size() - 30),
         L"not a JSON document: parse error at line 1, column " + std::to_wstring(valid.size() - 29) +
             L": syntax error while parsing object key - invalid string: missing closing quote; last read: "
             L"'\"por'; expected string literal"},
        {"not an object", "[]", L"the document is not a JSON object"},
        {"UTF-16", std::string("\xFF\xFE{\0}\0", 6),
         L"the document is UTF-16; qrxport reads UTF-8 (PowerShell: Out-File -Encoding utf8)"},
    };
    const MonitorState before = monitorState();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring file = documentFile(c.bytes);
        EXPECT_EQ(inProcess({L"import", file, L"--replace"}).all(),
                  L"1|qrxport: the file " + file + L" is refused; nothing was changed:\n" + c.problems + L"\n");
        EXPECT_TRUE(monitorState() == before) << "something changed";
    }
    const std::wstring missing = folder_.file(L"none.json");
    EXPECT_EQ(inProcess({L"import", missing}).all(), L"1|qrxport: the file " + missing +
                                                         L" cannot be opened\nerror code: 2\n" +
                                                         systemLine(ERROR_FILE_NOT_FOUND) + L"\n");
    EXPECT_TRUE(monitorState() == before) << "something changed";
}

// An existing port is kept and reported, and the import fails, unless
// --replace is given: then it takes the document's values, all of them.
TEST_F(QrxportTransfer, KeepsExistingPortsUnlessToldToReplaceThem) {
    ASSERT_EQ(
        inProcess({L"add", L"QRXCLI2:", L"--host", L"old.example", L"--queue", L"OLD", L"--room", L"9", L"--prompt"})
            .status,
        0);
    // With a byte order mark, as PowerShell's Out-File -Encoding utf8 writes it.
    const std::wstring file = documentFile(
        "\xEF\xBB\xBF" + document(port("QRXCLI1:", "") + ", " +
                                  port("QRXCLI2:", R"(, "unattended": true)", R"(, "options": {"name": "N"})")));
    EXPECT_EQ(inProcess({L"import", file}).all(),
              L"1|Port QRXCLI1: added.\nPort QRXCLI2: kept: it exists already (--replace overwrites it).\n"
              L"qrxport: 1 of 2 ports not imported.\n");
    EXPECT_EQ(values(L"QRXCLI2:", {L"Host", L"Printer", L"Room", L"Show", L"Name"}), L"old.example|OLD|9|1||");
    EXPECT_EQ(values(L"QRXCLI1:", {L"Host", L"Port", L"Printer", L"Unattended"}), L"127.0.0.1|" + port_ + L"|PRT1|0|");

    EXPECT_EQ(inProcess({L"import", file, L"--replace"}).all(),
              L"0|Port QRXCLI1: replaced.\nPort QRXCLI2: replaced.\n");
    EXPECT_EQ(values(L"QRXCLI2:", {L"Host", L"Port", L"Printer", L"Unattended", L"Room", L"Show", L"Name", L"Addr"}),
              L"127.0.0.1|" + port_ + L"|PRT1|1||0|N||")
        << "what the document leaves out is as a new port has it";
}

// A write that fails part-way leaves each port whole: a new port is deleted
// again, an existing one gets back what had been written; the other ports
// go on, and the exit status says that not all were imported.
TEST(QrxportImport, LeavesEachPortWholeWhenAWriteFails) {
    const qrxtest::XcvAnswer done{0}, exists{IDS_PORT_EXISTS}, denied{ERROR_ACCESS_DENIED, 0, {}, ERROR_ACCESS_DENIED};
    qrxtest::ScratchFolder folder(L"qrxport-import");
    const std::wstring file = folder.file(L"ports.json");
    writeFileBytes(file, R"({"version": 1, "ports": [
        {"name": "QRXS1:", "settings": {"host": "h", "queue": "Q"}},
        {"name": "QRXS2:", "settings": {"host": "new.example", "queue": "PRT1"}, "options": {"room": "9"}},
        {"name": "QRXS3:", "settings": {"host": "h", "queue": "Q"}}]})");
    qrxtest::StandInSpooler spooler;
    spooler.stored = {{L"GetHostName", qrxtest::bytesOf(L"old.example")},
                      {L"GetPrinterName", qrxtest::bytesOf(L"PRT1")}};
    spooler.commandScript[L"PortExists"] = {done, exists, done};
    spooler.commandScript[L"SetPortNo"] = {denied};  // QRXS1's, the new port's
    spooler.commandScript[L"SetRoom"] = {denied};    // QRXS2's, the existing one's
    const std::wstring deniedText = systemLine(ERROR_ACCESS_DENIED);
    EXPECT_EQ(inProcess({L"import", file, L"--replace"}).all(),
              L"1|Port QRXS1: not imported: " + deniedText +
                  L"\nerror code: 5\nVAV5002I The port has been deleted.\n"
                  L"Port QRXS2: not imported: " +
                  deniedText + L"\n" + qrxtest::kSettingsPutBack +
                  L"\nerror code: 5\n"
                  L"Port QRXS3: added.\nqrxport: 2 of 3 ports not imported.\n");
    using Lines = std::vector<std::wstring>;
    auto follows = [&](const Lines& steps) {
        return std::search(spooler.trace.begin(), spooler.trace.end(), steps.begin(), steps.end()) !=
               spooler.trace.end();
    };
    EXPECT_TRUE(follows({L"SetPortNo QRXS1:\\515", L"DeletePort QRXS1:\\0", L"GetHostName QRXS2:"}));
    EXPECT_TRUE(follows({L"SetRoom QRXS2:\\9", L"SetHostName QRXS2:\\old.example", L"AddPort QRXS3:\\0"}))
        << "only what differs is written back";
    EXPECT_EQ(spooler.trace.back(), L"close");
}

// qrxport.exe as an administrator runs it: its own process, its own language
// library, its output and exit status as the shell sees them.
class Program : public Qrxport {
protected:
    static std::wstring text(const std::wstring& path) {
        refserver::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        std::string bytes(GetFileSize(file.get(), nullptr), '\0');
        DWORD read = 0;
        ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        return withoutCarriageReturns(refserver::fromFileText(bytes));
    }

    // Runs the program with its output in files.
    Outcome run(const Args& args) {
        qrxtest::ScratchFolder folder(L"qrxport");
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        auto create = [&](const wchar_t* name) {
            return refserver::FileHandle(
                CreateFileW(folder.file(name).c_str(), GENERIC_WRITE, 0, &inherited, CREATE_ALWAYS, 0, nullptr));
        };
        Outcome result;
        {
            refserver::FileHandle out = create(L"out.txt"), err = create(L"err.txt");
            result.status = runWith(args, out.get(), err.get());
        }
        result.out = text(folder.file(L"out.txt"));
        result.err = text(folder.file(L"err.txt"));
        return result;
    }

    // The bytes of what the program writes into a pipe, as a shell pipeline
    // takes them; its exit status must be 0.
    std::string piped(const Args& args) {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        // Room for all of the output: the program has ended before it is read.
        if (!CreatePipe(&readEnd, &writeEnd, &inherited, 1 << 20)) {
            ADD_FAILURE() << "CreatePipe failed: " << GetLastError();
            return {};
        }
        refserver::FileHandle reader(readEnd);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        {
            refserver::FileHandle writer(writeEnd);
            EXPECT_EQ(runWith(args, writer.get(), writer.get()), 0);
        }
        std::string bytes;
        char block[4096];
        for (DWORD read = 0; ReadFile(reader.get(), block, sizeof block, &read, nullptr) && read;)
            bytes.append(block, read);
        return bytes;
    }

private:
    // Runs the program with these output handles; its exit status. One that
    // runs longer than a minute is ended and fails the test.
    static int runWith(const Args& args, HANDLE out, HANDLE err) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = err;
        const std::wstring program = qrxtest::deliverablePath(L"qrxport.exe");
        std::wstring line = L"\"" + program + L"\"";
        for (const std::wstring& arg : args) line += L" \"" + arg + L"\"";
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(program.c_str(), line.data(), 0, 0, TRUE, 0, 0, 0, &startup, &process)) {
            ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
            return -1;
        }
        refserver::FileHandle running(process.hProcess), thread(process.hThread);
        if (WaitForSingleObject(running.get(), 60000) != WAIT_OBJECT_0) {
            TerminateProcess(running.get(), 99);
            WaitForSingleObject(running.get(), 10000);
            ADD_FAILURE() << "qrxport ran longer than a minute";
        }
        DWORD status = 0;
        GetExitCodeProcess(running.get(), &status);
        return static_cast<int>(status);
    }
};

TEST_F(Program, RunsEachCommandAndReportsThroughItsExitStatus) {
    EXPECT_EQ(run({L"add", L"--help"}).all().rfind(L"0|usage: qrxport add PORT --host HOST", 0), 0u);
    EXPECT_EQ(run({L"add", L"QRXCLI1:", L"--host", L"127.0.0.1", L"--port", port_, L"--queue", L"PRT2", L"--name",
                   L"Zoë Müller"})
                  .all(),
              L"0|Port QRXCLI1: added.\n");
    EXPECT_EQ(values(L"QRXCLI1:", {L"Name"}), L"Zoë Müller|");
    EXPECT_NE(collapsed(run({L"show", L"QRXCLI1:"}).out).find(L"Name: Zoë Müller\n"), std::wstring::npos) << "UTF-8";
    EXPECT_EQ(run({L"test", L"QRXCLI1:"}).status, 0);

    const MonitorState before = monitorState();
    EXPECT_EQ(run({L"add", L"QRXCLI2:", L"--queue", L"PRT1"}).all(),
              L"1|qrxport: VAV5004I Enter the host name of the Hostra system in Host Name.\n");
    EXPECT_EQ(run({L"list", L"--verbose"}).all(),
              L"2|qrxport: unknown option --verbose\nqrxport --help shows the usage.\n");
    EXPECT_TRUE(monitorState() == before) << "something changed";

    EXPECT_EQ(run({L"delete", L"QRXCLI1:"}).all(), L"0|Port QRXCLI1: deleted.\n");
    EXPECT_EQ(run({L"show", L"QRXCLI1:"}).status, 1);
}

// The documents through the program: in the file and on the output, and the
// exit status of each outcome.
TEST_F(Program, ExportsAndImportsThroughItsExitStatus) {
    qrxtest::ScratchFolder folder(L"qrxport-program");
    const std::wstring file = folder.file(L"ports.json");
    ASSERT_EQ(run({L"add", L"QRXCLI1:", L"--host", L"127.0.0.1", L"--port", port_, L"--queue", L"PRT2", L"--name",
                   L"Zoë Müller"})
                  .status,
              0);
    EXPECT_EQ(run({L"export", file}).status, 0);
    const Outcome printed = run({L"export"});
    EXPECT_EQ(printed.status, 0);
    EXPECT_NE(printed.out.find(L"\"name\": \"Zo\\u00eb M\\u00fcller\""), std::wstring::npos) << printed.out;
    EXPECT_EQ(withoutCarriageReturns(fromUtf8(readFileBytes(file))), printed.out);

    EXPECT_EQ(run({L"import", file}).status, 1) << "the port exists and is kept";
    EXPECT_EQ(run({L"import"}).status, 2);
    ASSERT_EQ(run({L"delete", L"QRXCLI1:"}).status, 0);
    EXPECT_EQ(run({L"import", file}).all(), L"0|Port QRXCLI1: added.\n");
    EXPECT_EQ(values(L"QRXCLI1:", {L"Name", L"Printer"}), L"Zoë Müller|PRT2|");
}

// Every JSON document is plain ASCII, so that any reader in any code page
// gets the text: Windows PowerShell 5.1 decodes a program's output with the
// console's OEM code page (437 in the United States) and reads a file
// without a byte order mark as ANSI.
TEST_F(Program, WritesJsonThatEveryCodePageReads) {
    qrxtest::ScratchFolder folder(L"qrxport-ascii");
    const std::wstring file = folder.file(L"ports.json");
    ASSERT_EQ(run({L"add", L"QRXCLI1:", L"--host", L"127.0.0.1", L"--port", port_, L"--queue", L"PRT2", L"--name",
                   L"Ann Müller", L"--building", L"Hall \U0001D11E"})
                  .status,
              0);
    ASSERT_EQ(run({L"export", file}).status, 0);
    const std::string shown = piped({L"show", L"QRXCLI1:", L"--json"});
    const std::pair<const char*, std::string> documents[] = {
        {"show --json", shown},
        {"list --json", piped({L"list", L"--json"})},
        {"export", piped({L"export"})},
        {"export to a file", readFileBytes(file)},
    };
    for (const auto& [what, bytes] : documents) {
        EXPECT_NE(bytes.find("\"QRXCLI1:\""), std::string::npos) << what << ": " << bytes;
        auto beyond =
            std::find_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        EXPECT_EQ(beyond, bytes.end()) << what << ": a byte above 0x7F at " << (beyond - bytes.begin());
    }

    // As PowerShell reads it through a pipe on a US console, then as JSON.
    std::wstring decoded(shown.size(), L'\0');
    decoded.resize(MultiByteToWideChar(437, 0, shown.data(), int(shown.size()), decoded.data(), int(decoded.size())));
    const std::vector<PortRecord> read =
        readPortDocument(toUtf8(L"{\"version\": 1, \"ports\": [" + decoded + L"]}"));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].options.name, L"Ann Müller");
    EXPECT_EQ(read[0].options.building, L"Hall \U0001D11E");
}

}  // namespace
